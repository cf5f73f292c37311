#pragma once
// One long measuring step (writing a sweep, deconvolving a recording) on a worker thread.
// The window thread starts it, reads its progress, may cancel it, and is told on its own
// thread when it has ended; it never waits for the work itself (only, after a cancel, for
// the worker to notice it, which takes a block's time).

#include <QObject>
#include <QTimer>

#include <atomic>
#include <exception>
#include <functional>
#include <thread>

namespace velmora::ui {

class MeasureJob final : public QObject {
    Q_OBJECT
public:
    // The work: reports its fraction done (0..1) through `progress` and gives up with an
    // exception once `cancel` is set. Runs on the worker.
    using Work = std::function<void(const std::function<void(double)>& progress, const std::atomic<bool>* cancel)>;
    // Window thread, once the work has ended: null when it succeeded, else what it threw.
    using Done = std::function<void(std::exception_ptr failure)>;

    explicit MeasureJob(QObject* parent = nullptr);
    // Cancels a running job and waits for its worker.
    ~MeasureJob() override;

    // false (nothing started) while another job runs.
    bool start(Work work, Done done);
    void cancel() { cancel_ = true; }
    bool running() const { return thread_.joinable(); }
    // 0..100, as far as the worker has said.
    int percent() const;

signals:
    // Window thread, while the work runs, whenever the percentage moved.
    void progressed(int percent);

private:
    void poll();

    QTimer poll_;
    std::thread thread_;
    std::atomic<double> fraction_{0};
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{false};
    std::exception_ptr failure_;
    Done done_;
    int shown_ = -1;
};

} // namespace velmora::ui
