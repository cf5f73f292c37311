#pragma once
// The frequency slider window "Constant Tone Frequency": one logarithmic slider per channel
// that sets the channel's constant-tone frequency, rounded to a chosen step, between a lower
// and an upper end typed in hertz. The main window keeps each slider at its channel's
// frequency (setSliderPosition). Window thread; the handlers may show the window's error box.

#include "engine/generator.h"

#include <QWidget>

#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QSlider;

namespace velmora::ui {

class ControlBinding;

class TfrmFreqSlider final : public QWidget {
    Q_OBJECT
public:
    // `menuItem` is the View menu's "&Frequency Slider" (checkable): its check mark shows
    // whether the window is shown. The frequency fields are reached through `binding`.
    TfrmFreqSlider(Generator& generator, ControlBinding& binding, QAction* menuItem);
    ~TfrmFreqSlider() override;

    QLabel* Label1 = nullptr;
    QSlider* FreqSliderLeft = nullptr;
    QLabel* Label2 = nullptr;
    QSlider* FreqSliderRight = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* MinFreqEdit = nullptr;
    QLabel* lblUpper = nullptr;
    QLineEdit* MaxFreqEdit = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtRound = nullptr;
    QLabel* Label4 = nullptr;

    QSlider* slider(Channel c) const { return c == Channel::Left ? FreqSliderLeft : FreqSliderRight; }

    // The menu item: toggles its check mark, then applies it (FreqSlider1Click).
    void FreqSlider1Click();
    // What a check mark of `checked` means: shown with the maxima and upper end taken from
    // the sampling rate, or hidden; either way both channels play constant tones. Run by
    // the menu item, whose check mark Qt has already toggled.
    void applyMenuCheck(bool checked);
    // The sampling rate changed: slider maxima and the upper end follow it.
    void samplingRateChanged();
    // The main window's frequency recompute: the slider of `c` moves to `position`. A
    // position set from code sets no frequency: the field keeps what plays.
    void setSliderPosition(Channel c, int position);

    // Handlers, also for code that drives the window.
    void FreqSliderChange(Channel c);
    void FreqSliderMouseDown(Channel c);
    void FreqSliderMouseUp(Channel c);
    void MinFreqEditExit();
    void MaxFreqEditExit();
    void txtRoundExit();
    void FormResize();

    // For the persisted window state: where the window stands and how wide it is; the
    // three texts are read and written through the edits themselves (no handler runs).
    QRect placement() const { return {pos(), size()}; }
    void place(int left, int top, int width);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void setMaximaFromRate();
    // An end's text set from code (a restore, the reset, the rate) moves that end of both
    // sliders to it, so that the sliders reach exactly what the fields show; the frequencies
    // stay. Text the user is typing waits for the field's exit handler.
    void adoptEnd(QLineEdit* edit);
    // The number an end's field holds when it is one the sliders can take.
    std::optional<double> endValue(QLineEdit* edit) const;
    void highlight(Channel c, bool on);
    QLineEdit* frequencyField(Channel c) const;
    // The frequency field's number, when it holds one.
    std::optional<double> frequency(Channel c) const;
    void setFrequency(Channel c, double hertz);
    double halfRate() const;
    // Runs `change` (a position or range set from code) with the sliders' change handler
    // setting no frequency.
    template <typename F>
    void moveFromCode(F&& change);

    Generator& generator_;
    ControlBinding& binding_;
    QAction* menuItem_;
    bool centred_ = false;
    int codeMoves_ = 0;
};

} // namespace velmora::ui
