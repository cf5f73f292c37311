#include "audio/qt/qt_notice_route.h"

#include <QCoreApplication>
#include <QEvent>

namespace velmora {

namespace {
const QEvent::Type kNoticeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
}  // namespace

class QtNoticeRoute::Waker final : public QObject {
 public:
  explicit Waker(QtNoticeRoute& route) : route_(route) {}

  bool event(QEvent* e) override {
    if (e->type() != kNoticeEvent) return QObject::event(e);
    // Cleared before draining: a notice posted during the drain posts a fresh event.
    route_.wakePending_.store(false);
    route_.queue_.processPending();
    return true;
  }

 private:
  QtNoticeRoute& route_;
};

QtNoticeRoute::QtNoticeRoute() : waker_(std::make_unique<Waker>(*this)) {}

QtNoticeRoute::~QtNoticeRoute() {
  // Drops an event still on its way to the waker.
  QCoreApplication::removePostedEvents(waker_.get(), kNoticeEvent);
}

void QtNoticeRoute::post(const DeviceNotice& notice) {
  queue_.post(notice);
  if (!wakePending_.exchange(true)) QCoreApplication::postEvent(waker_.get(), new QEvent(kNoticeEvent));
}

void QtNoticeRoute::forget(const NoticeReceiver* receiver) { queue_.forget(receiver); }

int QtNoticeRoute::processPending() { return queue_.processPending(); }

}  // namespace velmora
