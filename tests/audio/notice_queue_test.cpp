// The plain notice route: notices from other threads arrive on the draining thread, in
// each poster's order, also when a receiver drains again from inside a delivery.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "audio/notice_queue.h"

namespace velmora {
namespace {

struct Recorder final : NoticeReceiver {
  std::vector<DeviceNotice> got;
  std::function<void()> onNotice;
  void handleNotice(NoticeKind kind, uint32_t stream) override {
    got.push_back({this, kind, stream});
    if (onNotice) onNotice();
  }
};

TEST(NoticeQueue, DeliversEveryPosterInOrderOnTheDrainingThread) {
  NoticeQueue queue(4);  // small, so that it has to grow
  Recorder a, b;
  const std::thread::id owner = std::this_thread::get_id();
  bool wrongThread = false;
  a.onNotice = b.onNotice = [&] { wrongThread |= std::this_thread::get_id() != owner; };
  constexpr uint32_t kEach = 5000;
  std::thread ta([&] { for (uint32_t i = 0; i < kEach; ++i) queue.post({&a, NoticeKind::Done, i}); });
  std::thread tb([&] { for (uint32_t i = 0; i < kEach; ++i) queue.post({&b, NoticeKind::Done, i}); });
  const bool all = queue.runUntil([&] { return a.got.size() == kEach && b.got.size() == kEach; },
                                  std::chrono::seconds(20));
  ta.join();
  tb.join();
  ASSERT_TRUE(all);
  EXPECT_FALSE(wrongThread);
  for (uint32_t i = 0; i < kEach; ++i) {
    ASSERT_EQ(a.got[i].stream, i);
    ASSERT_EQ(b.got[i].stream, i);
  }
  EXPECT_EQ(queue.pending(), 0u);
}

TEST(NoticeQueue, ReceiverMayDrainAgainFromInsideADelivery) {
  NoticeQueue queue;
  Recorder r;
  int depth = 0, maxDepth = 0;
  r.onNotice = [&] {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    if (r.got.size() == 1) queue.processPending();  // a nested loop, as a modal box would run
    --depth;
  };
  for (uint32_t i = 0; i < 3; ++i) queue.post({&r, NoticeKind::Done, i});
  EXPECT_EQ(queue.processPending(), 1) << "the nested drain delivered the other two";
  ASSERT_EQ(r.got.size(), 3u);
  EXPECT_EQ(r.got[2].stream, 2u);
  EXPECT_EQ(maxDepth, 2);
}

TEST(NoticeQueue, ForgetDropsOnlyThatReceiversNotices) {
  NoticeQueue queue;
  Recorder keep, drop;
  queue.post({&keep, NoticeKind::Open, 1});
  queue.post({&drop, NoticeKind::Open, 1});
  queue.post({&keep, NoticeKind::Close, 1});
  queue.forget(&drop);
  EXPECT_EQ(queue.processPending(), 2);
  EXPECT_TRUE(drop.got.empty());
  ASSERT_EQ(keep.got.size(), 2u);
  EXPECT_EQ(keep.got[1].kind, NoticeKind::Close);
}

TEST(NoticeQueue, RunUntilGivesUpAfterItsTimeout) {
  NoticeQueue queue;
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(queue.runUntil([] { return false; }, std::chrono::milliseconds(30)));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(30));
}

}  // namespace
}  // namespace velmora
