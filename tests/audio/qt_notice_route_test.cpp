// The Qt route delivers notices posted from other threads on the thread that made it,
// from its event loop.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <thread>
#include <vector>

#include "audio/qt/qt_notice_route.h"

namespace velmora {
namespace {

struct Recorder final : NoticeReceiver {
  std::vector<uint32_t> streams;
  std::thread::id lastThread;
  void handleNotice(NoticeKind, uint32_t stream) override {
    streams.push_back(stream);
    lastThread = std::this_thread::get_id();
  }
};

TEST(QtNoticeRoute, DeliversOnTheWindowThreadInOrder) {
  int argc = 1;
  char arg0[] = "audio_qt_route_test";
  char* argv[] = {arg0, nullptr};
  QCoreApplication app(argc, argv);
  QtNoticeRoute route;
  Recorder r, dropped;
  constexpr uint32_t kCount = 2000;
  std::thread poster([&] {
    for (uint32_t i = 0; i < kCount; ++i) route.post({&r, NoticeKind::Done, i});
  });
  poster.join();
  route.post({&dropped, NoticeKind::Open, 0});
  route.forget(&dropped);
  EXPECT_TRUE(r.streams.empty()) << "nothing is delivered outside the event loop";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (r.streams.size() < kCount && std::chrono::steady_clock::now() < deadline)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  ASSERT_EQ(r.streams.size(), kCount);
  for (uint32_t i = 0; i < kCount; ++i) ASSERT_EQ(r.streams[i], i);
  EXPECT_EQ(r.lastThread, std::this_thread::get_id());
  EXPECT_TRUE(dropped.streams.empty());
}

}  // namespace
}  // namespace velmora
