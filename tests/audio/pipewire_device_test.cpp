// The PipeWire device's contract on the test PipeWire server (tools/services.sh starts it
// and names its folder in VELMORA_PIPEWIRE_RUNTIME; without it every test skips): one Done
// per buffer in hand-over order, Open first and Close last, pause and reset, the position,
// dropouts counted only in the middle of a stream, and the refusals.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_out.h"
#include "audio/notice_queue.h"
#include "audio/pipewire/pipewire_device.h"
#include "audio/system/system_device.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

struct Recorder final : NoticeReceiver {
  std::vector<NoticeKind> got;
  void handleNotice(NoticeKind kind, uint32_t) override { got.push_back(kind); }
  int count(NoticeKind k) const { return static_cast<int>(std::count(got.begin(), got.end(), k)); }
};

PcmFormat format(uint16_t channels, uint16_t bits, uint32_t rate, bool floating = false) {
  PcmFormat f;
  f.formatTag = floating ? kPcmFormatFloat : kPcmFormatInteger;
  f.channels = channels;
  f.bitsPerSample = bits;
  f.samplesPerSec = rate;
  f.blockAlign = static_cast<uint16_t>(bits / 8 * channels);
  f.avgBytesPerSec = rate * f.blockAlign;
  return f;
}

// Delivers notices and looks at `done` at least every 20 ms (the queue's own wait looks only
// when a notice comes).
bool pollUntil(NoticeQueue& queue, const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    queue.runUntil(done, 20ms);
  }
  return true;
}

class PipeWireDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* runtime = std::getenv("VELMORA_PIPEWIRE_RUNTIME");
    if (runtime == nullptr || !std::filesystem::exists(std::string(runtime) + "/pipewire-0"))
      GTEST_SKIP() << "no PipeWire test server (run through tools/test.sh)";
    ::setenv("PIPEWIRE_RUNTIME_DIR", runtime, 1);
  }
};

TEST_F(PipeWireDeviceTest, EveryBufferComesBackOnceBetweenOpenAndClose) {
  for (const PcmFormat& f : {format(2, 16, 48000), format(1, 24, 8000), format(2, 32, 96000, true)}) {
    SCOPED_TRACE(testing::Message() << f.bitsPerSample << " bits, " << f.samplesPerSec << " Hz");
    NoticeQueue queue;
    Recorder r;
    PipeWireDevice device;
    std::vector<uint8_t> buffer(6000, 0);
    const DeviceResult opened = device.open(-1, f, 6000, {&queue, &r, 1});
    ASSERT_EQ(opened, 0) << device.errorText(opened);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(device.write(buffer.data(), 6000), 0);
    ASSERT_EQ(device.write(buffer.data(), 100), 0);  // partial frames are dropped
    ASSERT_EQ(device.write(buffer.data(), 0), 0);
    ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Done) == 6; }, 10s));
    const uint32_t frames = 4 * 6000 / f.blockAlign + 100 / f.blockAlign;
    uint32_t position = 0;
    EXPECT_EQ(device.position(position), 0);
    EXPECT_LE(position, frames);
    EXPECT_EQ(device.close(), 0);
    ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Close) == 1; }, 10s));
    EXPECT_EQ(r.got.front(), NoticeKind::Open);
    EXPECT_EQ(r.got.back(), NoticeKind::Close);
    EXPECT_EQ(r.got.size(), 8u);
    EXPECT_FALSE(device.streamLost());
    EXPECT_EQ(device.underruns(), 0u) << "the end of a stream is no dropout";
  }
}

TEST_F(PipeWireDeviceTest, PauseHoldsThePositionAndResetHandsEverythingBack) {
  NoticeQueue queue;
  Recorder r;
  PipeWireDevice device;
  const PcmFormat f = format(2, 16, 48000);
  std::vector<uint8_t> buffer(48000 * 4, 0);  // 1 s
  ASSERT_EQ(device.open(-1, f, 8192, {&queue, &r, 1}), 0);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(device.write(buffer.data(), static_cast<int32_t>(buffer.size())), 0);
  uint32_t before = 0;
  ASSERT_TRUE(pollUntil(queue, [&] { return device.position(before) == 0 && before > 4800; }, 5s))
      << "it did not play";
  ASSERT_EQ(device.pause(), 0);
  pollUntil(queue, [] { return false; }, 200ms);
  uint32_t paused = 0, later = 0;
  device.position(paused);
  pollUntil(queue, [] { return false; }, 400ms);
  device.position(later);
  EXPECT_EQ(later, paused) << "the position moved while paused";
  EXPECT_EQ(r.count(NoticeKind::Done), 0);
  ASSERT_EQ(device.restart(), 0);
  uint32_t resumed = 0;
  EXPECT_TRUE(pollUntil(queue, [&] { return device.position(resumed) == 0 && resumed > later + 4800; }, 5s))
      << "it did not go on after the pause";
  // A reset hands back whatever is queued before it returns.
  ASSERT_EQ(device.reset(), 0);
  queue.processPending();
  EXPECT_EQ(r.count(NoticeKind::Done), 3);
  ASSERT_EQ(device.close(), 0);
  ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Close) == 1; }, 3s));
  EXPECT_EQ(r.got.back(), NoticeKind::Close);
  EXPECT_EQ(device.underruns(), 0u);
}

TEST_F(PipeWireDeviceTest, AGapInTheMiddleIsOneUnderrun) {
  NoticeQueue queue;
  Recorder r;
  PipeWireDevice device;
  std::vector<uint8_t> buffer(4800 * 4, 0);  // 100 ms
  ASSERT_EQ(device.open(-1, format(2, 16, 48000), static_cast<int32_t>(buffer.size()), {&queue, &r, 1}), 0);
  ASSERT_EQ(device.write(buffer.data(), static_cast<int32_t>(buffer.size())), 0);
  ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Done) == 1; }, 5s));
  pollUntil(queue, [] { return false; }, 300ms);  // the server runs dry
  EXPECT_EQ(device.underruns(), 0u) << "not yet: the stream might have ended";
  ASSERT_EQ(device.write(buffer.data(), static_cast<int32_t>(buffer.size())), 0);
  ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Done) == 2; }, 5s));
  EXPECT_EQ(device.underruns(), 1u);
  ASSERT_EQ(device.close(), 0);
  ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Close) == 1; }, 3s));
}

TEST_F(PipeWireDeviceTest, TheEngineRingPlaysAFiniteSignalToTheEnd) {
  // 0.5 s through the engine's ring of four buffers: every buffer comes back, the stream
  // drains and closes, and the position has reached the whole signal by then.
  NoticeQueue queue;
  PipeWireDevice device;
  TAudioOut out(device);
  out.setStereo(true);
  out.setFrameRate(48000);
  out.setBufferSize(4096);
  int fills = 0;
  out.OnFillBuffer = [&](uint8_t* b, int32_t& size) {
    std::fill(b, b + size, uint8_t{0});
    return ++fills <= 23;  // 23 x 1024 frames
  };
  bool stopped = false;
  double elapsed = 0;
  out.OnStop = [&] { stopped = true; };
  ASSERT_TRUE(out.Start(queue)) << out.ErrorMessage();
  ASSERT_TRUE(pollUntil(
      queue,
      [&] {
        if (out.Active()) elapsed = out.ElapsedTime();
        return stopped;
      },
      10s));
  EXPECT_TRUE(out.ErrorMessage().empty()) << out.ErrorMessage();
  EXPECT_GT(elapsed, 0.3) << "the position did not follow the stream";
  EXPECT_LE(elapsed, 23 * 1024 / 48000.0 + 1e-9);
}

TEST_F(PipeWireDeviceTest, RefusalsCarryReadableTexts) {
  NoticeQueue queue;
  Recorder r;
  PipeWireDevice device;
  EXPECT_EQ(device.open(5000, format(2, 16, 48000), 8192, {&queue, &r, 1}), device_error::BadDeviceId);
  // No server where the program looks for one.
  const std::string empty = ::testing::TempDir() + "/velmora-no-pipewire";
  std::filesystem::create_directories(empty);
  ::setenv("PIPEWIRE_RUNTIME_DIR", empty.c_str(), 1);
  const DeviceResult none = device.open(-1, format(2, 16, 48000), 8192, {&queue, &r, 1});
  EXPECT_EQ(none, PipeWireDevice::kNoServer);
  EXPECT_EQ(device.errorText(none), "No PipeWire sound server answers");
  EXPECT_FALSE(pipeWireSinks(800).answered);
  queue.processPending();
  EXPECT_TRUE(r.got.empty()) << "a failed open posts nothing";
}

TEST_F(PipeWireDeviceTest, TheListNamesTheSinksAndTheirIdsOpenThem) {
  const PipeWireSinks server = pipeWireSinks(800);
  ASSERT_TRUE(server.answered);
  const char* sink = std::getenv("VELMORA_PIPEWIRE_SINK");
  const char* text = std::getenv("VELMORA_PIPEWIRE_SINK_TEXT");
  ASSERT_NE(sink, nullptr);
  ASSERT_NE(text, nullptr);
  bool seen = false;
  for (const PipeWireSink& s : server.sinks) seen = seen || (s.name == sink && s.description == text);
  EXPECT_TRUE(seen) << "the test sink is not listed by its description";

  // The program's device: the server's sinks first, each opening through PipeWire.
  bool answered = false;
  const std::vector<SystemOutputChoice> choices = systemOutputChoices(&answered);
  EXPECT_TRUE(answered);
  ASSERT_FALSE(choices.empty());
  EXPECT_EQ(choices.front().backend, SystemOutputChoice::Backend::PipeWire);
  SystemAudioDevice device;
  const std::vector<std::string> texts = device.listDevices();
  const auto at = std::find(texts.begin(), texts.end(), std::string(text));
  ASSERT_NE(at, texts.end());
  NoticeQueue queue;
  Recorder r;
  EXPECT_EQ(device.deviceKey(static_cast<int32_t>(at - texts.begin())), sink) << "kept by its node name";
  EXPECT_EQ(device.deviceKey(static_cast<int32_t>(texts.size())), "");
  ASSERT_EQ(device.open(static_cast<int32_t>(at - texts.begin()), format(2, 16, 48000), 8192, {&queue, &r, 1}), 0);
  EXPECT_TRUE(device.playingThroughPipeWire());
  ASSERT_EQ(device.close(), 0);
  ASSERT_TRUE(queue.runUntil([&] { return r.count(NoticeKind::Close) == 1; }, 3s));
}

// Runs a command in the test server's environment; its first line of output.
std::string run(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char line[512];
    if (std::fgets(line, sizeof line, p) != nullptr) out = line;
    ::pclose(p);
  }
  return out;
}

// Sinks added to and removed from the server call the watcher (the ones already there do
// not); the listing then has them, or no longer has them.
TEST_F(PipeWireDeviceTest, TheWatcherSeesSinksComeAndGo) {
  std::atomic<int> calls{0};
  SystemAudioDevice device;
  device.watchDevices([&] { ++calls; });
  const auto settles = [&](int at_least) {
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (calls.load() < at_least && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
    return calls.load() >= at_least;
  };
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(calls.load(), 0) << "the sinks already there";
  const auto listed = [&] {
    const std::vector<std::string> texts = device.listDevices();
    return std::find(texts.begin(), texts.end(), "Velmora Watch Sink") != texts.end();
  };
  EXPECT_FALSE(listed());

  run("pw-cli create-node adapter '{ factory.name=support.null-audio-sink node.name=velmora_watch_sink "
      "node.description=\"Velmora Watch Sink\" media.class=Audio/Sink object.linger=true "
      "audio.channels=2 audio.position=[FL FR] }' 2>&1");
  ASSERT_TRUE(settles(1)) << "no call for the added sink";
  EXPECT_TRUE(listed());
  const int before = calls.load();
  run("pw-cli destroy velmora_watch_sink 2>&1");
  ASSERT_TRUE(settles(before + 1)) << "no call for the removed sink";
  EXPECT_FALSE(listed());

  // No calls once the watch ended.
  device.watchDevices({});
  const int after = calls.load();
  run("pw-cli create-node adapter '{ factory.name=support.null-audio-sink node.name=velmora_watch_sink2 "
      "media.class=Audio/Sink object.linger=true }' 2>&1");
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(calls.load(), after);
  run("pw-cli destroy velmora_watch_sink2 2>&1");
}

}  // namespace
}  // namespace velmora
