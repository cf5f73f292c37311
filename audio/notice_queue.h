#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include "audio/device_notice.h"

namespace velmora {

// The plain notice route: a thread-safe FIFO that the owner's own loop drains. Used by the
// command-line player and by the tests; the window program uses the Qt route instead.
//
// Notices are delivered one at a time without the lock held, so a receiver may pump the
// queue again from inside a delivery (a nested loop) and devices may post meanwhile.
class NoticeQueue final : public NoticeRoute {
 public:
  // Owner's thread. Allocates the queue's storage once.
  explicit NoticeQueue(std::size_t capacity = 256);

  // Any thread. Takes the lock briefly; allocates only if more than `capacity` notices are
  // waiting, which means the owner's loop has stalled.
  void post(const DeviceNotice& notice) override;
  // Owner's thread.
  void forget(const NoticeReceiver* receiver) override;

  // Owner's thread: delivers what is queued (and what is posted while it runs) until the
  // queue is empty; returns the number delivered. Never waits.
  int processPending();
  // Owner's thread: delivers notices as they come until `done` is true or `timeout` has
  // passed; returns `done()`. Sleeps while nothing is queued.
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Any thread.
  std::size_t pending() const;

 private:
  bool popFront(DeviceNotice& out);

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<DeviceNotice> ring_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
};

}  // namespace velmora
