#pragma once
// The start-up splash: a frameless window the size of its picture, centred on the screen,
// that fades in while the main windows are made, holds for a moment (or until clicked) and
// fades out before the main window appears. Its waits sleep on the window thread and then
// process pending events, so the splash paints and can be clicked meanwhile. Window thread.

#include <QImage>
#include <QWidget>

#include <functional>

namespace velmora::ui {

class TfrmStartSplash final : public QWidget {
    Q_OBJECT
public:
    // Made hidden, fully transparent.
    explicit TfrmStartSplash(QWidget* parent = nullptr);

    // Shows the splash and raises its alpha 16, 32, ... 240, waiting 20 ms after each step.
    void fadeIn();
    // Clears the click flag and waits in rounds of 50 ms until the picture is clicked or seven
    // rounds (350 ms) have passed. Returns the rounds waited.
    int hold();
    // Lowers the alpha 240, 224, ... 16, 20 ms a step, then hides the splash.
    void fadeOut();

    // The window-wide alpha, 0 ... 255.
    int alpha() const;
    bool clicked() const { return clicked_; }

    // Each wait: sleep, then process pending events. Tests may observe or replace it.
    std::function<void(int milliseconds)> wait;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void setAlpha(int alpha);
    void imgSplashClick() { clicked_ = true; }

    QImage picture_;
    bool clicked_ = false;
};

} // namespace velmora::ui
