#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_device.h"

namespace velmora {

// The ALSA output device. Each open stream has a worker thread that writes the handed-over
// buffers in order with snd_pcm_writei and posts one Done per buffer once its last frame
// is in ALSA's buffer, which is kept at about one engine buffer so that the engine's ring
// stays the real cushion. Underruns are recovered and counted, never fatal; an error that
// cannot be recovered (the device went away) hands every queued buffer back and makes
// later writes fail with device_error::DeviceLost.
//
// The worker allocates nothing, builds no strings and takes only the hand-over lock per
// buffer. Close returns at once: the worker lets what ALSA still holds play out, closes the
// PCM and then posts Close; the next open waits for that.
//
// A sound server that stops answering must not take the owner's thread with it: no call
// of the owner waits on the device for longer than about a second. A stream whose device
// has not answered within that time (a call into ALSA that does not return, or a stream
// that accepts no frames) is abandoned: its queued buffers are handed back, later writes
// fail with DeviceLost, its Close is posted at once, and its worker closes the PCM if and
// when the server answers again, posting nothing more. An open that gets no answer fails
// with device_error::NoAnswer.
//
// Threads: the AudioDevice operations from the owner's thread; the statistics from any.
class AlsaDevice final : public AudioDevice {
 public:
  // `defaultPcm` is the ALSA device that id -1 opens.
  explicit AlsaDevice(std::string defaultPcm = "default");
  ~AlsaDevice() override;

  // The ALSA device that id -1 opens from the next open on. Owner's thread.
  void setDefaultPcm(std::string pcm) { defaultPcm_ = std::move(pcm); }

  // Underruns recovered since this object was made. Any thread.
  uint64_t underruns() const override { return stats_->underruns.load(std::memory_order_relaxed); }
  // When ALSA accepted the first frames of the latest stream, in steady_clock
  // nanoseconds since its epoch; -1 before that. Any thread.
  int64_t firstWriteNanos() const { return stats_->firstWriteNanos.load(std::memory_order_relaxed); }
  // A stream of this device was lost (it failed or stopped answering) since the last open.
  // Owner's thread.
  bool streamLost() const;
  // Streams of any AlsaDevice in this process that were given up while a call into ALSA
  // had not returned; their workers may still be blocked inside the library. Any thread.
  static int abandonedStreams();

  // How long the owner waits for the device before giving it up.
  static constexpr int kAnswerWithinMs = 800;

  // Counters shared with the workers, which may outlive the device.
  struct Stats {
    std::atomic<uint64_t> underruns{0};
    std::atomic<int64_t> firstWriteNanos{-1};
  };
  // ALSA's buffer of the latest stream, in frames. Owner's thread.
  uint64_t alsaBufferFrames() const { return alsaBufferFrames_; }

  class Stream;

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
  std::vector<std::string> doListDevices() override;
  void doWaitClosed() override;

 private:
  // Waits (bounded) for a closed stream's worker to end, or gives the stream up.
  static void release(std::shared_ptr<Stream>& stream);

  std::string defaultPcm_;
  std::shared_ptr<Stream> stream_;     // the open stream
  std::shared_ptr<Stream> finishing_;  // closed, still playing out on its worker
  std::vector<std::string> pcmNames_;  // ALSA names of the listed devices, by id
  bool listed_ = false;
  bool lost_ = false;                  // a stream since the last open failed
  uint64_t alsaBufferFrames_ = 0;
  std::shared_ptr<Stats> stats_ = std::make_shared<Stats>();
};

}  // namespace velmora
