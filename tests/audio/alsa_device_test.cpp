// The ALSA device's contract, on ALSA's "null" device, which needs no sound card: one Done
// per buffer in hand-over order, Open first and Close last, reset and pause, the texts.
#include <gtest/gtest.h>

#include <alsa/asoundlib.h>

#include <thread>
#include <vector>

#include "audio/alsa/alsa_device.h"
#include "audio/audio_out.h"
#include "audio/device_list.h"
#include "audio/notice_queue.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

struct Recorder final : NoticeReceiver {
  std::vector<NoticeKind> got;
  void handleNotice(NoticeKind kind, uint32_t) override { got.push_back(kind); }
  int count(NoticeKind k) const { return static_cast<int>(std::count(got.begin(), got.end(), k)); }
};

PcmFormat format(uint16_t channels, uint16_t bits, uint32_t rate) {
  PcmFormat f;
  f.channels = channels;
  f.bitsPerSample = bits;
  f.samplesPerSec = rate;
  f.blockAlign = static_cast<uint16_t>(bits / 8 * channels);
  f.avgBytesPerSec = rate * f.blockAlign;
  return f;
}

TEST(AlsaDevice, EveryBufferComesBackOnceBetweenOpenAndClose) {
  for (const PcmFormat& f : {format(2, 16, 48000), format(1, 24, 8000), format(2, 24, 384000)}) {
    SCOPED_TRACE(testing::Message() << f.bitsPerSample << " bits, " << f.samplesPerSec << " Hz");
    NoticeQueue queue;
    Recorder r;
    AlsaDevice device("null");
    std::vector<uint8_t> buffer(6000);
    ASSERT_EQ(device.open(-1, f, 6000, {&queue, &r, 1}), 0);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(device.write(buffer.data(), 6000), 0);
    ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Done) == 4; }, 10s));
    ASSERT_EQ(device.write(buffer.data(), 100), 0);  // partial frames are dropped
    ASSERT_EQ(device.write(buffer.data(), 0), 0);
    ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Done) == 6; }, 10s));
    uint32_t frames = 0;
    EXPECT_EQ(device.position(frames), 0);
    EXPECT_LE(frames, 4u * 6000 / f.blockAlign + 100 / f.blockAlign);
    EXPECT_EQ(device.close(), 0);
    ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Close) == 1; }, 10s));
    EXPECT_EQ(r.got.front(), NoticeKind::Open);
    EXPECT_EQ(r.got.back(), NoticeKind::Close);
    EXPECT_EQ(r.got.size(), 8u);
  }
}

TEST(AlsaDevice, ResetHandsBackEverythingAndPauseHoldsTheQueue) {
  NoticeQueue queue;
  AlsaDevice device("null");
  Recorder r;
  std::vector<uint8_t> buffer(4096);
  ASSERT_EQ(device.open(-1, format(2, 16, 48000), 4096, {&queue, &r, 1}), 0);
  ASSERT_EQ(device.pause(), 0);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(device.write(buffer.data(), 4096), 0);
  queue.runUntil([] { return false; }, 50ms);
  EXPECT_EQ(r.count(NoticeKind::Done), 0) << "nothing plays while paused";
  ASSERT_EQ(device.reset(), 0);
  ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Done) == 4; }, 10s));
  ASSERT_EQ(device.restart(), 0);
  ASSERT_EQ(device.write(buffer.data(), 4096), 0);
  ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Done) == 5; }, 10s));
  device.close();
  ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Close) == 1; }, 10s));
}

TEST(AlsaDevice, RefusalsCarryReadableTexts) {
  NoticeQueue queue;
  AlsaDevice device("velmora_no_such_pcm");
  Recorder r;
  const DeviceResult missing = device.open(-1, format(2, 16, 48000), 4096, {&queue, &r, 1});
  EXPECT_LT(missing, 0);
  EXPECT_FALSE(device.errorText(missing).empty());
  EXPECT_EQ(device.errorText(missing), snd_strerror(missing));
  EXPECT_EQ(device.open(1000000, format(2, 16, 48000), 4096, {&queue, &r, 1}),
            device_error::BadDeviceId);
  EXPECT_EQ(device.open(-1, format(2, 8, 48000), 4096, {&queue, &r, 1}), device_error::BadFormat);
  EXPECT_EQ(device.write(nullptr, 0), device_error::NotOpen);
  EXPECT_EQ(queue.processPending(), 0);
}

TEST(AlsaDevice, DeviceListStartsWithTheSystemDefault) {
  AlsaDevice device;
  const auto entries = outputDeviceEntries(device);
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0], "System Default");
  for (const auto& e : entries) EXPECT_EQ(e.find('\n'), std::string::npos);
  EXPECT_EQ(deviceIdForEntry(0), -1);
  EXPECT_EQ(deviceIdForEntry(3), 2);
}

TEST(AlsaDevice, EnginePlaysAFiniteStreamToTheEnd) {
  NoticeQueue queue;
  AlsaDevice device("null");
  TAudioOut out(device);
  out.setStereo(true);
  out.setQuantization(24);
  out.setFrameRate(96000);
  out.setNumBuffers(3);
  out.setBufferSize(6000);
  int fills = 0;
  bool started = false, stopped = false;
  out.OnStart = [&] { started = true; };
  out.OnStop = [&] { stopped = true; };
  out.OnFillBuffer = [&](uint8_t* b, int32_t& size) {
    std::fill(b, b + size, uint8_t{0});
    return ++fills <= 20;
  };
  for (int run = 0; run < 3; ++run) {
    fills = 0;
    started = stopped = false;
    ASSERT_TRUE(out.Start(queue)) << out.ErrorMessage();
    ASSERT_TRUE(queue.runUntil([&] { return stopped; }, 20s));
    EXPECT_TRUE(started);
    EXPECT_EQ(out.ProcessedBuffers(), 20);
    EXPECT_EQ(out.State(), AudioOutState::Idle);
  }
}

TEST(AlsaDevice, StopAtOnceWhilePlayingAndPaused) {
  NoticeQueue queue;
  AlsaDevice device("null");
  TAudioOut out(device);
  out.OnFillBuffer = [](uint8_t* b, int32_t& size) {
    std::fill(b, b + size, uint8_t{0});
    return true;
  };
  int stops = 0;
  out.OnStop = [&] { ++stops; };
  ASSERT_TRUE(out.Start(queue));
  queue.runUntil([&] { return out.ProcessedBuffers() >= 10; }, 10s);
  out.setPaused(true);
  out.StopAtOnce();
  EXPECT_FALSE(out.Paused());
  ASSERT_TRUE(out.Start(queue)) << out.ErrorMessage();
  out.StopAtOnce();
  ASSERT_TRUE(queue.runUntil([&] { return stops == 2; }, 10s));
}

TEST(AlsaDevice, EngineDestroyedWhilePlayingLeavesNoNoticeBehind) {
  NoticeQueue queue;
  AlsaDevice device("null");
  for (int i = 0; i < 5; ++i) {
    auto out = std::make_unique<TAudioOut>(device);
    out->OnFillBuffer = [](uint8_t* b, int32_t& size) {
      std::fill(b, b + size, uint8_t{0});
      return true;
    };
    ASSERT_TRUE(out->Start(queue)) << out->ErrorMessage();
    queue.runUntil([&] { return out->ProcessedBuffers() >= i; }, 10s);
    out.reset();
    // Whatever the worker still posts must have been dropped along with the engine.
    queue.runUntil([] { return false; }, 20ms);
    EXPECT_EQ(queue.pending(), 0u);
  }
}

}  // namespace
}  // namespace velmora
