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
// Threads: the AudioDevice operations from the owner's thread; the statistics from any.
class AlsaDevice final : public AudioDevice {
 public:
  // `defaultPcm` is the ALSA device that id -1 opens.
  explicit AlsaDevice(std::string defaultPcm = "default");
  ~AlsaDevice() override;

  // Underruns recovered since this object was made. Any thread.
  uint64_t underruns() const { return underruns_.load(std::memory_order_relaxed); }
  // When ALSA accepted the first frames of the latest stream, in steady_clock
  // nanoseconds since its epoch; -1 before that. Any thread.
  int64_t firstWriteNanos() const { return firstWriteNanos_.load(std::memory_order_relaxed); }
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
  std::string defaultPcm_;
  std::unique_ptr<Stream> stream_;     // the open stream
  std::unique_ptr<Stream> finishing_;  // closed, still playing out on its worker
  std::vector<std::string> pcmNames_;  // ALSA names of the listed devices, by id
  bool listed_ = false;
  uint64_t alsaBufferFrames_ = 0;
  std::atomic<uint64_t> underruns_{0};
  std::atomic<int64_t> firstWriteNanos_{-1};
};

}  // namespace velmora
