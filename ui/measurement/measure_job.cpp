#include "ui/measurement/measure_job.h"

#include <algorithm>
#include <cmath>

namespace velmora::ui {

MeasureJob::MeasureJob(QObject* parent) : QObject(parent)
{
    poll_.setInterval(50);
    connect(&poll_, &QTimer::timeout, this, &MeasureJob::poll);
}

MeasureJob::~MeasureJob()
{
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
}

bool MeasureJob::start(Work work, Done done)
{
    if (running()) return false;
    fraction_ = 0;
    cancel_ = false;
    finished_ = false;
    failure_ = nullptr;
    shown_ = -1;
    done_ = std::move(done);
    thread_ = std::thread([this, work = std::move(work)] {
        try {
            work([this](double f) { fraction_.store(std::clamp(f, 0.0, 1.0), std::memory_order_relaxed); },
                 &cancel_);
        } catch (...) {
            failure_ = std::current_exception();
        }
        finished_.store(true, std::memory_order_release);
    });
    poll_.start();
    return true;
}

int MeasureJob::percent() const
{
    return static_cast<int>(std::lround(fraction_.load(std::memory_order_relaxed) * 100));
}

void MeasureJob::poll()
{
    const int p = percent();
    if (p != shown_) {
        shown_ = p;
        emit progressed(p);
    }
    if (!finished_.load(std::memory_order_acquire)) return;
    poll_.stop();
    thread_.join();
    // The handler may start the next job.
    Done done = std::move(done_);
    std::exception_ptr failure = failure_;
    failure_ = nullptr;
    if (done) done(failure);
}

} // namespace velmora::ui
