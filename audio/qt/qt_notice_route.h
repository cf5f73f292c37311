#pragma once

#include <QObject>

#include <atomic>
#include <memory>

#include "audio/notice_queue.h"

namespace velmora {

// The notice route of the window program: devices post from their own threads, and the
// notices are delivered on the thread that made this object (the window thread) from its
// event loop, between the window's other events.
class QtNoticeRoute final : public NoticeRoute {
 public:
  // Window thread.
  QtNoticeRoute();
  ~QtNoticeRoute() override;

  // Any thread. Queues the notice and, when none is waiting yet, posts one Qt event to
  // the window thread (which allocates that event); later notices ride on the same event.
  void post(const DeviceNotice& notice) override;
  // Window thread.
  void forget(const NoticeReceiver* receiver) override;
  // Window thread: delivers what is queued now, for loops that wait without Qt events.
  int processPending();

 private:
  class Waker;
  NoticeQueue queue_;
  std::atomic<bool> wakePending_{false};
  std::unique_ptr<Waker> waker_;
};

}  // namespace velmora
