#pragma once
// The waveform display "WaveForm": an oscilloscope screen of 10 x 10 divisions showing the
// samples the output device is playing (left or mono in lime, right in a second colour when
// stereo), triggered on the channel that carries a signal (a rising zero crossing, or the
// edge of a pulse), with a time base and a vertical zoom. What is heard lags behind what is
// filled by all that the engine's ring and the device hold: the picture is that much behind
// the newest fill. Window thread. bufferFilled runs inside the buffer fill and only copies
// into a ring; the picture is repainted by a timer, at most kPicturesPerSecond times a
// second, only while the window shows and the generator runs, and only when it changed.

#include "audio/live/generator_output.h"
#include "ui/waveform_display/scope_trace.h"

#include <QImage>
#include <QPolygonF>
#include <QTimer>
#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QPainter;
class QSlider;

namespace velmora::ui {

class TfrmWaveForm final : public QWidget {
    Q_OBJECT
public:
    // `menuItem` is the hidden View item "&Waveform Display" (checkable, Ctrl+W). The rate
    // is read from `settings` when the window is drawn.
    TfrmWaveForm(const GeneratorSettings& settings, QAction* menuItem);

    static constexpr int kPicturesPerSecond = 20;

    // Frames filled but not yet played (the output engine's FramesAhead); unset: none.
    std::function<int64_t()> framesAhead;

    QWidget* pbxScope = nullptr;
    QSlider* tbTDiv = nullptr;
    QLabel* lbltDiv = nullptr;
    QSlider* tbZoom = nullptr;
    QLabel* lblZoom = nullptr;
    // The drawn grid, kept off screen and copied under every picture.
    QImage imgPhantomScopeGrid;

    // The menu item: toggles its check mark and shows or hides the window.
    void WaveformDisplay1Click();
    void applyMenuCheck(bool checked);

    // Handlers, also for code that drives the window.
    void tbTDivChange();
    void tbZoomChange();
    void pbxScopePaint(QPainter& painter);

    // The samples of one buffer on their way to the device. Window thread, inside the fill:
    // copies them, nothing more.
    void bufferFilled(const FilledBuffer& buffer);
    // The generator switched on or off; off shows the zero line and forgets the samples.
    void setGeneratorRunning(bool running);
    // The output rate changed: the ring is sized for it.
    void samplingRateChanged();

    double timePerDivision() const { return timePerDivision_; }
    int zoomFactor() const;
    ScopeScale scale() const;
    // The points of the last picture's traces; the right one is empty unless stereo.
    const QPolygonF& lastTrace(Channel c) const { return trace_[index(c)]; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void build();
    void drawGrid();
    void sizeRing();
    void updateTimer();
    bool showing() const;
    void makeTraces();
    void traceSignal(const ScopeScale& s);

    const GeneratorSettings& settings_;
    QAction* menuItem_;
    double timePerDivision_ = 0.0005;
    bool running_ = false;
    ScopeRing ring_;
    std::array<QPolygonF, 2> trace_;
    QTimer repaintTimer_;
    bool holdingPulse_ = false; // the traces show the last pulse until another one comes
    bool tracesMade_ = false;   // trace_ was made for the picture the timer asked for
    QImage frame_; // the picture being made: the grid, then the traces
};

} // namespace velmora::ui
