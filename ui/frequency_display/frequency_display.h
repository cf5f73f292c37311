#pragma once
// The frequency display: a black tool window that reads out, in large lime digits, the
// frequency each channel is producing (while the generator is off, the one it would start
// with). It follows sweeps and glides because the buffer fill refreshes it once per buffer.
// Closing it only hides it. Window thread.

#include <QWidget>

#include <functional>

class QAction;
class QLabel;

namespace velmora {
class Generator;
}

namespace velmora::ui {

class TfrmFrequencyDisplay final : public QWidget {
    Q_OBJECT
public:
    // Hidden until shown. `menuItem` (FrequencyDisplay1, checkable) carries the check mark
    // that tells whether the window is visible; `generator` must outlive the window.
    TfrmFrequencyDisplay(const Generator& generator, QAction* menuItem, QWidget* parent = nullptr);

    QLabel* lblDisplay = nullptr;
    // Whether the generator plays: then the display reads the oscillators, otherwise what a
    // start would play. Empty: never playing.
    std::function<bool()> playing;

    // Writes the current frequencies into lblDisplay; allocates one short string.
    void UpdateFrequencyDisplay();
    // Sizes the digits to the client height and the width to the layout (6 : 1 mono,
    // 12 : 1 stereo), never wider than the screen. Also run by the channel-layout change.
    void FormResize();
    // The menu item's handler: its check mark (already toggled) says show or hide.
    void FrequencyDisplay1Click();

    // For the persisted window state: visibility with the check mark in step, and the
    // placement (frame position, client size).
    void setShown(bool shown);
    bool shown() const { return isVisible(); }
    QRect placement() const;
    void setPlacement(const QRect& placement);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    const Generator& generator_;
    QAction* menuItem_;
    bool resizing_ = false;
};

} // namespace velmora::ui
