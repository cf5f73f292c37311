#include "audio/alsa/alsa_device.h"
#include "audio/alsa/alsa_device_list.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace velmora {

namespace {

// How long the worker sleeps in one wait for room in ALSA's buffer: short enough that a
// reset, pause or close is seen promptly.
constexpr int kWaitMs = 10;

// ALSA's buffer spans about one engine buffer, within these bounds: below about 50 ms a
// sound server (PulseAudio, PipeWire) behind ALSA's default device drops out now and then
// on a loaded machine whatever the engine does; above 500 ms a close would wait too long.
constexpr unsigned kMinLatencyUs = 50000;
constexpr unsigned kMaxLatencyUs = 500000;

using Clock = std::chrono::steady_clock;

}  // namespace

class AlsaDevice::Stream {
 public:
  Stream(snd_pcm_t* pcm, int frameBytes, const NoticeTarget& notices, bool canPause,
         std::atomic<uint64_t>& underruns, std::atomic<int64_t>& firstWriteNanos)
      : pcm_(pcm),
        frameBytes_(frameBytes),
        notices_(notices),
        canPause_(canPause),
        underruns_(underruns),
        firstWriteNanos_(firstWriteNanos) {
    worker_ = std::thread(&Stream::run, this);
  }

  ~Stream() {
    if (worker_.joinable()) worker_.join();
  }

  DeviceResult write(const uint8_t* data, int32_t bytes) {
    {
      std::lock_guard lock(mutex_);
      if (failed_) return device_error::DeviceLost;
      if (count_ == queue_.size()) return device_error::QueueFull;
      queue_[(head_ + count_) % queue_.size()] = Item{data, bytes};
      ++count_;
    }
    wake_.notify_one();
    return 0;
  }

  // Returns once the worker has handed every queued buffer back, so that nothing written
  // afterwards can be mistaken for a buffer of before.
  void reset() {
    std::unique_lock lock(mutex_);
    resetRequested_ = true;
    wake_.notify_one();
    resetDone_.wait(lock, [this] { return !resetRequested_.load(); });
  }

  void setPaused(bool paused) {
    {
      std::lock_guard lock(mutex_);
      paused_ = paused;
    }
    wake_.notify_one();
  }

  // Asks the worker to play out what ALSA holds, close the PCM and post Close.
  void finish() {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    wake_.notify_one();
  }

  uint32_t position() const { return position_.load(std::memory_order_relaxed); }

 private:
  struct Item {
    const uint8_t* data = nullptr;
    int32_t bytes = 0;
  };
  enum class Outcome { Written, Interrupted, Failed };

  void run() {
    bool devicePaused = false;
    for (;;) {
      Item item;
      bool haveItem = false;
      bool doReset = false;
      uint32_t handBack = 0;
      bool wantPause = false;
      bool quitting = false;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] {
          return resetRequested_ || quit_ || paused_ != devicePaused || (count_ > 0 && !paused_);
        });
        doReset = resetRequested_;
        if (doReset) {
          handBack = static_cast<uint32_t>(count_);
          count_ = 0;
        }
        wantPause = paused_;
        quitting = quit_;
        haveItem = count_ > 0;
        if (haveItem) item = queue_[head_];
      }
      if (doReset) {
        offset_ = 0;
        framesSinceReset_ = 0;
        snd_pcm_drop(pcm_);
        snd_pcm_prepare(pcm_);
        devicePaused = false;
        handBackBuffers(handBack);
        {
          std::lock_guard lock(mutex_);
          resetRequested_ = false;
        }
        resetDone_.notify_all();
        continue;
      }
      if (wantPause != devicePaused) {
        applyPause(wantPause);
        devicePaused = wantPause;
        continue;
      }
      if (quitting) break;
      if (!haveItem) continue;

      const Outcome outcome = writeItem(item);
      if (outcome == Outcome::Written) {
        {
          std::lock_guard lock(mutex_);
          head_ = (head_ + 1) % queue_.size();
          --count_;
        }
        offset_ = 0;
        notices_.post(NoticeKind::Done);
      } else if (outcome == Outcome::Failed) {
        {
          std::lock_guard lock(mutex_);
          failed_ = true;
          handBack = static_cast<uint32_t>(count_);
          count_ = 0;
        }
        offset_ = 0;
        handBackBuffers(handBack);
      }
    }

    // Closing. Buffers still queued were not asked to play; hand them back first.
    uint32_t handBack = 0;
    bool failed = false;
    {
      std::lock_guard lock(mutex_);
      handBack = static_cast<uint32_t>(count_);
      count_ = 0;
      failed = failed_;
    }
    handBackBuffers(handBack);
    if (!failed && !devicePaused && framesSinceReset_ > 0) {
      // Let what ALSA holds play out. A stream shorter than ALSA's start threshold has
      // not started yet.
      if (snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm_);
      snd_pcm_nonblock(pcm_, 0);
      snd_pcm_drain(pcm_);
    } else {
      snd_pcm_drop(pcm_);
    }
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
    notices_.post(NoticeKind::Close);
  }

  void handBackBuffers(uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) notices_.post(NoticeKind::Done);
  }

  void applyPause(bool pause) {
    const snd_pcm_state_t state = snd_pcm_state(pcm_);
    if (pause) {
      if (canPause_ && state == SND_PCM_STATE_RUNNING) snd_pcm_pause(pcm_, 1);
      // Without hardware pause the worker simply stops writing; ALSA runs dry.
    } else if (state == SND_PCM_STATE_PAUSED) {
      snd_pcm_pause(pcm_, 0);
    } else if (state == SND_PCM_STATE_XRUN) {
      snd_pcm_prepare(pcm_);  // ran dry on purpose while paused: not an underrun
    }
  }

  Outcome writeItem(const Item& item) {
    const snd_pcm_uframes_t frames = static_cast<snd_pcm_uframes_t>(item.bytes / frameBytes_);
    while (offset_ < frames) {
      if (resetRequested_.load(std::memory_order_relaxed) || quit_.load(std::memory_order_relaxed) ||
          paused_.load(std::memory_order_relaxed))
        return Outcome::Interrupted;
      const snd_pcm_sframes_t n =
          snd_pcm_writei(pcm_, item.data + offset_ * frameBytes_, frames - offset_);
      if (n == -EAGAIN) {
        snd_pcm_wait(pcm_, kWaitMs);
        updatePosition();
        continue;
      }
      if (n < 0) {
        if (n == -EPIPE) underruns_.fetch_add(1, std::memory_order_relaxed);
        if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0) return Outcome::Failed;
        continue;
      }
      if (framesWritten_ == 0 && n > 0) {
        firstWriteNanos_.store(
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(),
            std::memory_order_relaxed);
      }
      offset_ += static_cast<snd_pcm_uframes_t>(n);
      framesWritten_ += static_cast<uint64_t>(n);
      framesSinceReset_ += static_cast<uint64_t>(n);
      updatePosition();
    }
    return Outcome::Written;
  }

  void updatePosition() {
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm_, &delay) < 0) return;
    const int64_t played = static_cast<int64_t>(framesWritten_) - std::max<int64_t>(delay, 0);
    position_.store(static_cast<uint32_t>(std::max<int64_t>(played, 0)), std::memory_order_relaxed);
  }

  snd_pcm_t* pcm_;
  const int frameBytes_;
  const NoticeTarget notices_;
  const bool canPause_;
  std::atomic<uint64_t>& underruns_;
  std::atomic<int64_t>& firstWriteNanos_;

  // Shared with the owner's thread; the flags are also read without the lock between
  // two writes so that the worker notices them promptly.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable resetDone_;
  std::array<Item, 8> queue_{};
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  std::atomic<bool> resetRequested_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> quit_{false};
  bool failed_ = false;
  std::atomic<uint32_t> position_{0};

  // The worker's own.
  snd_pcm_uframes_t offset_ = 0;  // frames of the head buffer already written
  uint64_t framesWritten_ = 0;
  uint64_t framesSinceReset_ = 0;

  std::thread worker_;  // last: starts once everything above exists
};

AlsaDevice::AlsaDevice(std::string defaultPcm) : defaultPcm_(std::move(defaultPcm)) {
  // ALSA reads its configuration files at the first open; doing it here keeps those
  // milliseconds out of the first start.
  snd_config_update();
}

AlsaDevice::~AlsaDevice() {
  if (stream_) {
    stream_->reset();
    stream_->finish();
  }
  stream_.reset();
  finishing_.reset();
}

DeviceResult AlsaDevice::doOpen(int32_t id, const PcmFormat& format, int32_t bufferBytes,
                                const NoticeTarget& notices) {
  finishing_.reset();  // the previous stream must have let go of the device
  std::string name = defaultPcm_;
  if (id >= 0) {
    if (!listed_) doListDevices();
    if (id >= static_cast<int32_t>(pcmNames_.size())) return device_error::BadDeviceId;
    name = pcmNames_[static_cast<std::size_t>(id)];
  }

  snd_pcm_t* pcm = nullptr;
  int r = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
  if (r < 0) return r;
  const snd_pcm_format_t sampleFormat =
      format.bitsPerSample == 24 ? SND_PCM_FORMAT_S24_3LE : SND_PCM_FORMAT_S16_LE;
  const double bufferUs =
      1e6 * std::max(bufferBytes, 0) / format.blockAlign / static_cast<double>(format.samplesPerSec);
  const unsigned latencyUs =
      std::clamp(static_cast<unsigned>(bufferUs), kMinLatencyUs, kMaxLatencyUs);
  r = snd_pcm_set_params(pcm, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.channels,
                         format.samplesPerSec, 1, latencyUs);
  if (r < 0) {
    snd_pcm_close(pcm);
    return r;
  }
  bool canPause = false;
  snd_pcm_hw_params_t* hw = nullptr;
  snd_pcm_hw_params_alloca(&hw);
  if (snd_pcm_hw_params_current(pcm, hw) == 0) {
    canPause = snd_pcm_hw_params_can_pause(hw) != 0;
    snd_pcm_uframes_t frames = 0;
    if (snd_pcm_hw_params_get_buffer_size(hw, &frames) == 0) alsaBufferFrames_ = frames;
  }

  firstWriteNanos_.store(-1, std::memory_order_relaxed);
  notices.post(NoticeKind::Open);
  stream_ = std::make_unique<Stream>(pcm, format.blockAlign, notices, canPause, underruns_,
                                     firstWriteNanos_);
  return 0;
}

DeviceResult AlsaDevice::doWrite(const uint8_t* data, int32_t bytes) {
  return stream_->write(data, bytes);
}

DeviceResult AlsaDevice::doReset() {
  stream_->reset();
  return 0;
}

DeviceResult AlsaDevice::doPause() {
  stream_->setPaused(true);
  return 0;
}

DeviceResult AlsaDevice::doRestart() {
  stream_->setPaused(false);
  return 0;
}

DeviceResult AlsaDevice::doClose() {
  finishing_.reset();
  stream_->finish();
  finishing_ = std::move(stream_);
  return 0;
}

void AlsaDevice::doWaitClosed() { finishing_.reset(); }

DeviceResult AlsaDevice::doPosition(uint32_t& samples) {
  samples = stream_->position();
  return 0;
}

std::string AlsaDevice::doErrorText(DeviceResult code) const {
  return code < 0 ? std::string(snd_strerror(code)) : "Audio device error " + std::to_string(code);
}

std::vector<std::string> AlsaDevice::doListDevices() {
  std::vector<std::string> texts;
  pcmNames_.clear();
  listed_ = true;
  for (OutputDeviceChoice& choice : alsaOutputDevices()) {
    pcmNames_.push_back(std::move(choice.pcm));
    texts.push_back(std::move(choice.text));
  }
  return texts;
}

}  // namespace velmora
