#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "audio/audio_device.h"

namespace velmora {

// A device that moves only when a test tells it to: no threads, no timers. Written
// buffers wait in a queue until `complete` "plays" them; the bytes played are kept for
// the test to read back. Notices are posted to the route at once, on the caller's thread.
// Failures can be injected for the next open, for a later write, or as a lost device.
//
// Threads: one thread, the test's. Writing queues a pointer and allocates only when the
// queue grows; the played bytes are copied into a growing vector.
class FakeDevice final : public AudioDevice {
 public:
  static constexpr DeviceResult kRefused = 0x7F01;  // the injected failure's code

  explicit FakeDevice(std::vector<std::string> names = {"Fake Output"});

  // Plays the oldest `count` queued buffers and posts their Done notices. Returns how many
  // were played: none while paused or when nothing is queued.
  int complete(int count = 1);
  // Plays everything queued.
  int completeAll() { return complete(static_cast<int>(queue_.size())); }

  // The next open fails with `code`.
  void failNextOpen(DeviceResult code = kRefused) { openFailure_ = code; }
  // The write after `okWrites` more successful ones fails with `code` (once).
  void failWriteAfter(int okWrites, DeviceResult code = kRefused) {
    writesUntilFailure_ = okWrites;
    writeFailure_ = code;
  }
  // The device goes away: what is queued comes back unplayed and later writes fail
  // until the next open.
  void disappear();
  // The device reports `count` more dropouts.
  void addUnderruns(uint64_t count) { underruns_ += count; }
  // What streamWarning answers from now on.
  void setStreamWarning(std::string text) { warning_ = std::move(text); }
  std::string streamWarning() const override { return warning_; }
  uint64_t underruns() const override { return underruns_; }
  // The devices the next listing reports (devices plugged in or taken out).
  void setDeviceNames(std::vector<std::string> names) { names_ = std::move(names); }
  // What a sound server's sinks coming or going does: calls the watcher, if any.
  void announceDeviceChange() {
    if (watcher_) watcher_();
  }
  bool watched() const { return static_cast<bool>(watcher_); }
  void watchDevices(std::function<void()> changed) override { watcher_ = std::move(changed); }

  // What the test inspects.
  const std::vector<uint8_t>& played() const { return played_; }
  void clearPlayed() { played_.clear(); }
  std::size_t queued() const { return queue_.size(); }
  bool paused() const { return paused_; }
  int opens() const { return opens_; }
  int closes() const { return closes_; }
  int resets() const { return resets_; }
  int writes() const { return writes_; }
  // Buffers still queued when the stream was closed (the engine should never leave any).
  int closedWithQueued() const { return closedWithQueued_; }
  int32_t openedId() const { return id_; }
  const PcmFormat& openedFormat() const { return format_; }

 protected:
  DeviceResult doOpen(int32_t id, const PcmFormat& format, int32_t bufferBytes,
                      const NoticeTarget& notices) override;
  DeviceResult doWrite(const uint8_t* data, int32_t bytes) override;
  DeviceResult doReset() override;
  DeviceResult doPause() override;
  DeviceResult doRestart() override;
  DeviceResult doClose() override;
  DeviceResult doPosition(uint32_t& samples) override;
  std::string doErrorText(DeviceResult code) const override;
  std::vector<std::string> doListDevices() override { return names_; }

 private:
  struct Pending {
    const uint8_t* data;
    int32_t bytes;
  };
  void handBackAll();

  std::vector<std::string> names_;
  std::function<void()> watcher_;
  NoticeTarget target_;
  PcmFormat format_;
  int32_t id_ = 0;
  std::deque<Pending> queue_;
  std::vector<uint8_t> played_;
  uint64_t framesPlayed_ = 0;
  bool paused_ = false;
  bool lost_ = false;
  DeviceResult openFailure_ = 0;
  int writesUntilFailure_ = -1;
  DeviceResult writeFailure_ = 0;
  int opens_ = 0, closes_ = 0, resets_ = 0, writes_ = 0, closedWithQueued_ = 0;
  uint64_t underruns_ = 0;
  std::string warning_;
};

}  // namespace velmora
