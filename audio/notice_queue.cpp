#include "audio/notice_queue.h"

namespace velmora {

NoticeQueue::NoticeQueue(std::size_t capacity) : ring_(capacity < 4 ? 4 : capacity) {}

void NoticeQueue::post(const DeviceNotice& notice) {
  // Notified under the lock: once the owner has seen the notice it may destroy the queue,
  // and this call must not touch it after that.
  std::lock_guard lock(mutex_);
  if (count_ == ring_.size()) {
    // Unroll into a larger ring; only happens when the owner has stopped draining.
    std::vector<DeviceNotice> grown(ring_.size() * 2);
    for (std::size_t i = 0; i < count_; ++i) grown[i] = ring_[(head_ + i) % ring_.size()];
    ring_.swap(grown);
    head_ = 0;
  }
  ring_[(head_ + count_) % ring_.size()] = notice;
  ++count_;
  posted_.notify_one();
}

void NoticeQueue::forget(const NoticeReceiver* receiver) {
  std::lock_guard lock(mutex_);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count_; ++i) {
    const DeviceNotice n = ring_[(head_ + i) % ring_.size()];
    if (n.receiver != receiver) ring_[(head_ + kept++) % ring_.size()] = n;
  }
  count_ = kept;
}

bool NoticeQueue::popFront(DeviceNotice& out) {
  std::lock_guard lock(mutex_);
  if (count_ == 0) return false;
  out = ring_[head_];
  head_ = (head_ + 1) % ring_.size();
  --count_;
  return true;
}

int NoticeQueue::processPending() {
  int delivered = 0;
  DeviceNotice n;
  while (popFront(n)) {
    n.receiver->handleNotice(n.kind, n.stream);
    ++delivered;
  }
  return delivered;
}

bool NoticeQueue::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    processPending();
    if (done()) return true;
    std::unique_lock lock(mutex_);
    if (!posted_.wait_until(lock, deadline, [this] { return count_ > 0; })) {
      lock.unlock();
      processPending();
      return done();
    }
  }
}

std::size_t NoticeQueue::pending() const {
  std::lock_guard lock(mutex_);
  return count_;
}

}  // namespace velmora
