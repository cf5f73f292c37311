#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>

#include <QLabel>

namespace velmora {
class AudioDevice;
class TAudioOut;
}

namespace velmora::ui {

// Shows beside lblFS (left of it, clear of the status lamp) how many dropouts (underruns) the device had since the generator was
// last switched on, once there was one: a measurement that hides a dropout is worse than
// one that fails. The count stays after the stream ends, until the next start.
//
// Threads: the window thread; looks at the device's count a few times a second. The owner
// keeps it no longer than the device and the engine.
class UnderrunIndicator final : public QObject {
public:
    // `beside` is lblFS; the indicator's label (lblUnderruns) goes to its right.
    UnderrunIndicator(QLabel* beside, const AudioDevice& device, const TAudioOut& engine);

    // Looks at the count now (the timer does this on its own).
    void refresh();
    QLabel* label() const { return label_; }

private:
    void place();
    // The labels belong to the window, which may go first.
    QPointer<QLabel> beside_;
    QPointer<QLabel> label_;
    const AudioDevice& device_;
    const TAudioOut& engine_;
    QTimer timer_;
    bool wasOpen_ = false;
    uint64_t atStart_ = 0;
};

} // namespace velmora::ui
