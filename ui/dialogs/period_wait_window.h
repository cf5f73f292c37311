#pragma once
// What switching on shows while a worker still makes the period the signal needs (a long
// multitone or periodic noise can take seconds to minutes): "Making the signal's period ...",
// a busy bar, the seconds so far and Cancel (also Escape). A wait shorter than a moment
// shows nothing. Modal over the program; events other than the user's (remote messages,
// the device's notices) go on meanwhile. Window thread.

#include <QWidget>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace velmora::ui {

class PeriodWaitWindow final : public QWidget {
    Q_OBJECT
public:
    // `owner` (may be null) is the window it is centred over.
    explicit PeriodWaitWindow(QWidget* owner = nullptr);

    QLabel* lblPeriodWait = nullptr;
    QLabel* lblPeriodWaitTime = nullptr;
    QProgressBar* barPeriodWait = nullptr;
    QPushButton* btnPeriodWaitCancel = nullptr;

    // How long a wait goes on before the window shows (tests set 0).
    int showAfterMs = 400;

    // Waits until `finished` answers true (true back) or the user cancels, or `givenUp`
    // answers true (false back); both are asked every few milliseconds. `samples` is the
    // length of the longest period being made, for the text.
    bool wait(const std::function<bool()>& finished, const std::function<bool()>& givenUp, qint64 samples);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* owner_;
    bool cancelled_ = false;
};

} // namespace velmora::ui
