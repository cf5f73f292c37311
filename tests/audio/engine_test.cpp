// The output engine against the fake device: sizes, the ring, the stop paths, pause, and
// what happens when the device fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_out.h"
#include "audio/fake_device.h"
#include "audio/notice_queue.h"

namespace velmora {
namespace {

TEST(AudioOutSettings, Defaults) {
  FakeDevice device;
  TAudioOut out(device);
  EXPECT_EQ(out.BufferSize(), 8192);
  EXPECT_EQ(out.NumBuffers(), 4);
  EXPECT_EQ(out.FrameRate(), 22050);
  EXPECT_FALSE(out.Stereo());
  EXPECT_EQ(out.Quantization(), 16);
  EXPECT_EQ(out.WaveDevice(), 0xFFFFFFFFu);
  EXPECT_FALSE(out.Paused());
  EXPECT_FALSE(out.Active());
  EXPECT_EQ(out.ErrorMessage(), "");
  EXPECT_EQ(out.WaveFormat().avgBytesPerSec, 44100u);
}

struct SizeCase {
  int32_t requested;
  bool stereo;
  uint16_t bits;
  int32_t effective;
  uint16_t blockAlign;
};

TEST(AudioOutSettings, EffectiveBufferSizeIsWholeFramesOfAtLeast512Bytes) {
  const SizeCase cases[] = {
      {100, false, 16, 512, 2},   {100, true, 16, 512, 4},   {100, true, 24, 510, 6},
      {8192, true, 24, 8190, 6},  {8192, false, 24, 8190, 3}, {8192, true, 16, 8192, 4},
      {-5, false, 16, 512, 2},    {65536, true, 24, 65532, 6}, {1001, true, 16, 1000, 4},
  };
  for (const auto& c : cases) {
    FakeDevice device;
    TAudioOut out(device);
    out.setStereo(c.stereo);
    out.setQuantization(c.bits);
    out.setBufferSize(c.requested);
    SCOPED_TRACE(testing::Message() << c.requested << " bytes, " << c.bits << " bits, stereo " << c.stereo);
    EXPECT_EQ(out.BufferSize(), c.effective);
    EXPECT_EQ(out.WaveFormat().blockAlign, c.blockAlign);
  }
}

TEST(AudioOutSettings, ClampsAndDerivedValues) {
  FakeDevice device;
  TAudioOut out(device);
  const std::pair<int32_t, int32_t> rings[] = {{1, 2}, {2, 2}, {3, 3}, {4, 4}, {9, 4}, {-1, 2}};
  for (auto [set, got] : rings) {
    out.setNumBuffers(set);
    EXPECT_EQ(out.NumBuffers(), got) << "NumBuffers := " << set;
  }
  // 32 bits are float samples; other sizes are integer ones of at most 24 bits.
  const std::pair<uint16_t, uint16_t> bits[] = {{4, 8}, {8, 8}, {16, 16}, {24, 24}, {30, 24}, {32, 32}, {40, 24}};
  for (auto [set, got] : bits) {
    out.setQuantization(set);
    EXPECT_EQ(out.Quantization(), got) << "Quantization := " << set;
    EXPECT_EQ(out.WaveFormat().formatTag, set == 32 ? kPcmFormatFloat : kPcmFormatInteger);
  }
  out.setQuantization(24);
  out.setStereo(true);
  out.setFrameRate(96000);
  EXPECT_EQ(out.WaveFormat().blockAlign, 6);
  EXPECT_EQ(out.WaveFormat().avgBytesPerSec, 576000u);
  // The format change alone recomputes the effective size of the same request.
  EXPECT_EQ(out.BufferSize(), 8190);
  out.setFrameRate(1000000);  // stored as it is; the device refuses it at the start
  EXPECT_EQ(out.FrameRate(), 1000000);
}

// A small engine set up the way the generator sets it: 16-bit stereo, four buffers of
// 1024 bytes. Each fill writes a byte pattern unique to that fill and records it, so the
// bytes the fake device played can be checked against what was produced.
class AudioOutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out.setStereo(true);
    out.setQuantization(16);
    out.setFrameRate(48000);
    out.setNumBuffers(4);
    out.setBufferSize(1024);
    out.OnStart = [this] { events.push_back("start"); };
    out.OnStop = [this] { events.push_back("stop"); };
    out.OnFillBuffer = [this](uint8_t* buffer, int32_t& size) {
      const int n = fillCalls++;
      sizesAsked.push_back(size);
      for (int32_t i = 0; i < size; ++i) buffer[i] = static_cast<uint8_t>(n * 31 + i);
      fills.emplace_back(buffer, buffer + size);
      if (inFill) inFill(n, size);
      return answer(n);
    };
  }

  // Plays `n` buffers one by one, delivering the notices after each as the loop would.
  void play(int n) {
    for (int i = 0; i < n; ++i) {
      device.complete(1);
      notices.processPending();
    }
  }

  std::vector<uint8_t> concat(std::initializer_list<int> which) const {
    std::vector<uint8_t> all;
    for (int i : which) all.insert(all.end(), fills[i].begin(), fills[i].end());
    return all;
  }

  FakeDevice device;
  NoticeQueue notices;
  TAudioOut out{device};
  std::vector<std::string> events;
  std::vector<std::vector<uint8_t>> fills;
  std::vector<int32_t> sizesAsked;
  int fillCalls = 0;
  std::function<bool(int)> answer = [](int) { return true; };
  std::function<void(int, int32_t&)> inFill;
};

TEST_F(AudioOutTest, StartPrimesTheRingAndRefillsInRingOrder) {
  ASSERT_TRUE(out.Start(notices)) << out.ErrorMessage();
  EXPECT_EQ(fillCalls, 4);
  EXPECT_EQ(device.queued(), 4u);
  EXPECT_EQ(out.State(), AudioOutState::Playing);
  EXPECT_TRUE(out.Active());
  EXPECT_EQ(out.FilledBuffers(), 4);
  EXPECT_EQ(out.QueuedBuffers(), 4);
  EXPECT_TRUE(events.empty()) << "the open notice is delivered from the loop, after Start";
  EXPECT_EQ(device.openedFormat().samplesPerSec, 48000u);
  EXPECT_EQ(device.openedId(), -1);

  notices.processPending();
  EXPECT_EQ(events, std::vector<std::string>{"start"});

  play(1);
  EXPECT_EQ(fillCalls, 5);
  EXPECT_EQ(out.ProcessedBuffers(), 1);
  EXPECT_EQ(out.FilledBuffers(), 5);
  EXPECT_EQ(out.QueuedBuffers(), 4);
  play(6);
  EXPECT_EQ(out.ProcessedBuffers(), 7);
  EXPECT_EQ(device.played(), concat({0, 1, 2, 3, 4, 5, 6}));
  for (int32_t s : sizesAsked) EXPECT_EQ(s, 1024);

  out.StopAtOnce();
  notices.processPending();
  EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));
  EXPECT_EQ(out.State(), AudioOutState::Idle);
  EXPECT_EQ(device.closedWithQueued(), 0);
}

TEST_F(AudioOutTest, LaterDeclinedFillsStillPrimeTheWholeRing) {
  answer = [](int n) { return n == 0; };
  ASSERT_TRUE(out.Start(notices));
  EXPECT_EQ(device.queued(), 4u) << "every buffer of the ring goes out at the start";
  // The fill is asked after each returned buffer until none is left at the device.
  for (int back = 1; back <= 3; ++back) {
    play(1);
    EXPECT_EQ(out.State(), AudioOutState::Playing);
    EXPECT_EQ(fillCalls, 4 + back);
  }
  play(1);
  EXPECT_EQ(fillCalls, 8);
  EXPECT_EQ(out.State(), AudioOutState::Idle);
  EXPECT_FALSE(out.Active());
  EXPECT_EQ(device.played(), concat({0, 1, 2, 3}));
  EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));
}

TEST_F(AudioOutTest, DeclinedFirstBufferFailsButStillReportsOpenAndClose) {
  answer = [](int) { return false; };
  EXPECT_FALSE(out.Start(notices));
  EXPECT_EQ(out.ErrorMessage(), "There must be at least one filled buffer");
  EXPECT_EQ(out.State(), AudioOutState::Idle);
  EXPECT_FALSE(out.Active());
  EXPECT_EQ(fillCalls, 1);
  EXPECT_EQ(device.writes(), 0);
  notices.processPending();
  EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));

  answer = [](int) { return true; };
  EXPECT_TRUE(out.Start(notices)) << "a failed start leaves the engine ready for the next";
}

TEST_F(AudioOutTest, StartWhileOpenIsRefusedAndChangesNothing) {
  ASSERT_TRUE(out.Start(notices));
  EXPECT_FALSE(out.Start(notices));
  EXPECT_EQ(out.ErrorMessage(), "Wave output device is already open");
  EXPECT_EQ(out.State(), AudioOutState::Playing);
  EXPECT_EQ(device.opens(), 1);
  EXPECT_EQ(fillCalls, 4);
}

TEST_F(AudioOutTest, GracefulStopPlaysOutTheFourQueuedBuffers) {
  ASSERT_TRUE(out.Start(notices));
  notices.processPending();
  out.StopGracefully();
  EXPECT_EQ(out.State(), AudioOutState::Draining);
  for (int back = 1; back <= 3; ++back) {
    play(1);
    EXPECT_EQ(out.State(), AudioOutState::Draining);
    EXPECT_TRUE(out.Active());
    EXPECT_EQ(out.QueuedBuffers(), 4 - back);
  }
  play(1);
  EXPECT_EQ(fillCalls, 4) << "no fill after the graceful stop";
  EXPECT_EQ(out.State(), AudioOutState::Idle);
  EXPECT_EQ(device.played(), concat({0, 1, 2, 3}));
  EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));
}

TEST_F(AudioOutTest, StopAtOnceWhileIdleDoesNothing) {
  out.StopAtOnce();
  out.StopGracefully();
  notices.processPending();
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(device.resets(), 0);
  EXPECT_EQ(device.closes(), 0);
}

TEST_F(AudioOutTest, StopAtOnceWhilePausedResetsClosesAndClearsPaused) {
  ASSERT_TRUE(out.Start(notices));
  out.setPaused(true);
  EXPECT_TRUE(device.paused());
  EXPECT_EQ(device.complete(1), 0) << "a paused device plays nothing";
  out.StopAtOnce();
  EXPECT_FALSE(out.Paused());
  EXPECT_EQ(out.State(), AudioOutState::Idle);
  EXPECT_EQ(device.resets(), 1);
  EXPECT_EQ(device.closes(), 1);
  notices.processPending();  // four Done notices of the reset, then the close
  EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));
  EXPECT_EQ(fillCalls, 4);
  EXPECT_TRUE(device.played().empty());

  // Not paused any more: the next stream starts audible.
  ASSERT_TRUE(out.Start(notices));
  EXPECT_FALSE(device.paused());
}

TEST_F(AudioOutTest, PauseWhileIdleMakesTheNextStreamStartSilent) {
  out.setPaused(true);
  EXPECT_TRUE(out.Paused());
  ASSERT_TRUE(out.Start(notices));
  EXPECT_EQ(out.State(), AudioOutState::Playing);
  EXPECT_TRUE(device.paused());
  EXPECT_EQ(device.queued(), 4u) << "the ring is queued but silent";
  EXPECT_EQ(device.complete(4), 0);
  EXPECT_DOUBLE_EQ(out.ElapsedTime(), 0.0);

  out.setPaused(false);
  EXPECT_FALSE(device.paused());
  play(2);
  EXPECT_EQ(device.played(), concat({0, 1}));
}

TEST_F(AudioOutTest, PauseAndResumeWhilePlaying) {
  ASSERT_TRUE(out.Start(notices));
  play(1);
  out.setPaused(true);
  EXPECT_TRUE(device.paused());
  EXPECT_EQ(device.complete(1), 0);
  out.setPaused(false);
  play(1);
  EXPECT_EQ(device.played(), concat({0, 1}));
}

TEST_F(AudioOutTest, HandlerSizeDecidesHowManyBytesPlay) {
  // Fill 1 lowers the size to 100 bytes, fill 2 claims more than the buffer holds.
  inFill = [](int n, int32_t& size) {
    if (n == 1) size = 100;
    if (n == 2) size = 5000;
  };
  ASSERT_TRUE(out.Start(notices));
  play(3);
  ASSERT_EQ(device.played().size(), 1024u + 100u + 1024u);
  EXPECT_TRUE(std::equal(fills[1].begin(), fills[1].begin() + 100, device.played().begin() + 1024));
}

TEST_F(AudioOutTest, ElapsedTimeCountsPlayedFramesOfThisStream) {
  EXPECT_DOUBLE_EQ(out.ElapsedTime(), 0.0);
  ASSERT_TRUE(out.Start(notices));
  EXPECT_DOUBLE_EQ(out.ElapsedTime(), 0.0);
  play(3);  // 3 × 256 frames at 48000 Hz
  EXPECT_DOUBLE_EQ(out.ElapsedTime(), 768.0 / 48000.0);
  out.StopAtOnce();
  EXPECT_DOUBLE_EQ(out.ElapsedTime(), 0.0);
}

TEST_F(AudioOutTest, LateCompletionsOfAClosedStreamAreIgnored) {
  ASSERT_TRUE(out.Start(notices));
  notices.processPending();
  out.StopAtOnce();  // the reset's four Done notices are still queued
  ASSERT_TRUE(out.Start(notices));
  EXPECT_EQ(fillCalls, 8);
  notices.processPending();  // old Done ×4, old close, new open
  EXPECT_EQ(fillCalls, 8) << "completions of the closed stream must not refill";
  EXPECT_EQ(out.ProcessedBuffers(), 0);
  EXPECT_EQ(out.QueuedBuffers(), 4);
  EXPECT_EQ(events, (std::vector<std::string>{"start", "stop", "start"}));
  play(1);
  EXPECT_EQ(out.ProcessedBuffers(), 1);
  EXPECT_EQ(device.played(), concat({4}));
}

TEST_F(AudioOutTest, FillThatStopsTheEngineEndsTheStreamCleanly) {
  // What the generator does when it runs behind: StopAtOnce from inside the fill.
  inFill = [this](int n, int32_t&) {
    if (n == 5) out.StopAtOnce();
  };
  ASSERT_TRUE(out.Start(notices));
  play(2);
  EXPECT_EQ(out.State(), AudioOutState::Idle);
  EXPECT_EQ(out.ErrorMessage(), "");
  EXPECT_EQ(device.writes(), 5);
  EXPECT_EQ(device.closedWithQueued(), 0);
  notices.processPending();
  EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));
}

TEST_F(AudioOutTest, FillThatStopsTheEngineDuringPrimingHandsNothingOver) {
  inFill = [this](int n, int32_t&) {
    if (n == 1) out.StopAtOnce();
  };
  EXPECT_TRUE(out.Start(notices));
  EXPECT_EQ(out.State(), AudioOutState::Idle);
  EXPECT_EQ(device.writes(), 0);
  EXPECT_EQ(fillCalls, 2);
  notices.processPending();
  EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));
}

TEST_F(AudioOutTest, RingLengthRaisedAfterBufferSizeStillGetsItsBuffers) {
  out.setNumBuffers(2);
  out.setBufferSize(2048);
  out.setNumBuffers(4);
  ASSERT_TRUE(out.Start(notices)) << out.ErrorMessage();
  EXPECT_EQ(device.queued(), 4u);
  play(4);
  EXPECT_EQ(device.played(), concat({0, 1, 2, 3}));
}

TEST_F(AudioOutTest, SettingsChangedWhilePlayingWaitForTheNextStart) {
  ASSERT_TRUE(out.Start(notices));
  out.setNumBuffers(2);
  out.setBufferSize(4096);
  EXPECT_EQ(out.BufferSize(), 4096);
  play(5);  // the queued buffers stay intact and the ring keeps its length
  EXPECT_EQ(device.played(), concat({0, 1, 2, 3, 4}));
  EXPECT_EQ(device.queued(), 4u);
  EXPECT_EQ(sizesAsked.back(), 1024);
  out.StopAtOnce();
  ASSERT_TRUE(out.Start(notices));
  EXPECT_EQ(device.queued(), 2u);
  EXPECT_EQ(sizesAsked.back(), 4096);
}

TEST_F(AudioOutTest, DestroyingAPlayingEngineClosesTheDevice) {
  auto engine = std::make_unique<TAudioOut>(device);
  engine->OnFillBuffer = [](uint8_t*, int32_t&) { return true; };
  bool stopped = false;
  engine->OnStop = [&] { stopped = true; };
  ASSERT_TRUE(engine->Start(notices));
  engine.reset();
  EXPECT_FALSE(device.isOpen());
  EXPECT_EQ(notices.processPending(), 0) << "no notice may reach the destroyed engine";
  EXPECT_FALSE(stopped);
}

// Failures of the device: the text is reported, the engine ends in the stated state, and
// the next start works.
TEST_F(AudioOutTest, OpenFailuresLeaveTheEngineIdle) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string message;
  };
  const Case cases[] = {
      {"device refuses", [this] { device.failNextOpen(); }, "The fake device refused"},
      {"no such device", [this] { out.setWaveDevice(5); },
       "There is no audio output device with this number"},
      {"no selection (-2)", [this] { out.setWaveDevice(0xFFFFFFFE); },
       "There is no audio output device with this number"},
      {"8-bit", [this] { out.setQuantization(8); },
       "The audio format is not supported (16 or 24 bits or 32-bit float, 1 or 2 channels, 8000 to 384000 Hz)"},
      {"rate too high", [this] { out.setFrameRate(400000); },
       "The audio format is not supported (16 or 24 bits or 32-bit float, 1 or 2 channels, 8000 to 384000 Hz)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.arrange();
    EXPECT_FALSE(out.Start(notices));
    EXPECT_EQ(out.ErrorMessage(), c.message);
    EXPECT_EQ(out.State(), AudioOutState::Idle);
    EXPECT_FALSE(out.Active());
    EXPECT_EQ(notices.processPending(), 0) << "a device that did not open sends nothing";
    EXPECT_EQ(fillCalls, 0);

    out.setWaveDevice(0xFFFFFFFF);
    out.setQuantization(16);
    out.setFrameRate(48000);
    ASSERT_TRUE(out.Start(notices)) << out.ErrorMessage();
    out.StopAtOnce();
    notices.processPending();
    events.clear();
    fillCalls = 0;
  }
}

TEST_F(AudioOutTest, RejectedFirstWriteFailsTheStart) {
  device.failWriteAfter(0);
  EXPECT_FALSE(out.Start(notices));
  EXPECT_EQ(out.ErrorMessage(), "The fake device refused");
  EXPECT_EQ(out.State(), AudioOutState::Idle);
  notices.processPending();
  EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));
  ASSERT_TRUE(out.Start(notices));
  EXPECT_EQ(device.queued(), 4u);
}

TEST_F(AudioOutTest, RejectedWriteDuringPrimingDrainsWhatWentOut) {
  device.failWriteAfter(2);
  EXPECT_TRUE(out.Start(notices));
  EXPECT_EQ(out.ErrorMessage(), "The fake device refused");
  EXPECT_EQ(out.State(), AudioOutState::Draining);
  EXPECT_EQ(device.queued(), 2u);
  play(2);
  EXPECT_EQ(out.State(), AudioOutState::Idle);
  EXPECT_EQ(device.played(), concat({0, 1}));
  EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));
}

TEST_F(AudioOutTest, RejectedRefillDrainsTheRest) {
  device.failWriteAfter(4);
  ASSERT_TRUE(out.Start(notices));
  play(1);
  EXPECT_EQ(out.ErrorMessage(), "The fake device refused");
  EXPECT_EQ(out.State(), AudioOutState::Draining);
  play(3);
  EXPECT_EQ(out.State(), AudioOutState::Idle);
  EXPECT_EQ(fillCalls, 5);
  EXPECT_EQ(device.played(), concat({0, 1, 2, 3}));
}

TEST_F(AudioOutTest, DeviceThatDisappearsEndsTheStreamAndTheNextStartWorks) {
  ASSERT_TRUE(out.Start(notices));
  play(2);
  device.disappear();  // hands back what was queued; writes fail from now on
  notices.processPending();
  EXPECT_EQ(out.ErrorMessage(), "The audio device is no longer available");
  EXPECT_EQ(out.State(), AudioOutState::Idle);
  EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));
  EXPECT_EQ(device.closedWithQueued(), 0);

  ASSERT_TRUE(out.Start(notices)) << out.ErrorMessage();
  play(1);
  EXPECT_EQ(out.State(), AudioOutState::Playing);
}

}  // namespace
}  // namespace velmora
