#pragma once

#include <cstdint>

namespace velmora {

// The three notices a device sends about a stream (MM_WOM_OPEN, MM_WOM_DONE, MM_WOM_CLOSE).
enum class NoticeKind : uint8_t { Open, Done, Close };

class NoticeReceiver;

// One notice on its way to the owner's thread. `stream` is the number the owner gave the
// device when it opened the stream, so that late notices of a closed stream can be told
// apart from those of the current one.
struct DeviceNotice {
  NoticeReceiver* receiver = nullptr;
  NoticeKind kind = NoticeKind::Open;
  uint32_t stream = 0;
};

// The object a notice is addressed to (the engine's callback object).
class NoticeReceiver {
 public:
  // Owner's thread only, from the route's delivery. May do anything the owner may do,
  // including filling and handing over buffers and pumping the route again.
  virtual void handleNotice(NoticeKind kind, uint32_t stream) = 0;

 protected:
  ~NoticeReceiver() = default;
};

// Carries notices from whatever thread a device posts them on to the owner's thread.
class NoticeRoute {
 public:
  virtual ~NoticeRoute() = default;
  // Any thread, also a device's real-time worker: must not block for long and does not
  // allocate in the steady state.
  virtual void post(const DeviceNotice& notice) = 0;
  // Owner's thread: drops every queued notice for `receiver`, which is going away.
  virtual void forget(const NoticeReceiver* receiver) = 0;
};

// Where a device sends the notices of one stream.
struct NoticeTarget {
  NoticeRoute* route = nullptr;
  NoticeReceiver* receiver = nullptr;
  uint32_t stream = 0;

  void post(NoticeKind kind) const { route->post(DeviceNotice{receiver, kind, stream}); }
};

}  // namespace velmora
