#include "audio/alsa/alsa_device.h"
#include "audio/alsa/alsa_device_list.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include <unistd.h>

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
constexpr auto kAnswerWithin = std::chrono::milliseconds(AlsaDevice::kAnswerWithinMs);
// A stream that accepts no frame for this long, or a call into ALSA that takes this long
// while nobody waits for the stream, has a device that stopped: ALSA's buffer (at most
// 500 ms) has room again well within it, even behind a sound server that sleeps while idle
// (PulseAudio's null sink wakes only every 2 s) or is starved on a loaded machine.
constexpr auto kStallLimit = std::chrono::milliseconds(5000);
// How often the watchdog looks at a call into ALSA that has not returned.
constexpr auto kWatchEvery = std::chrono::milliseconds(100);

std::atomic<int> g_abandoned{0};

int64_t nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// ALSA's library prints its own diagnostics ("ALSA lib pcm.c:...: ...") to stderr, several
// lines for one failure that the program reports itself in one line. They are kept out of
// the terminal; VELMORA_ALSA_DEBUG=1 shows each as one line with its control characters
// escaped. Runs on whichever thread called into ALSA; allocates nothing.
extern "C" void alsaLibraryMessage(const char* file, int line, const char* function, int err,
                                   const char* fmt, ...) {
  static const bool show = [] {
    const char* v = std::getenv("VELMORA_ALSA_DEBUG");
    return v != nullptr && v[0] != '\0' && v[0] != '0';
  }();
  if (!show) return;
  char text[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  char line_[700];
  std::size_t n = static_cast<std::size_t>(std::snprintf(
      line_, sizeof line_, "ALSA: %s:%d %s: ", file ? file : "?", line, function ? function : "?"));
  n = std::min(n, sizeof line_ - 1);
  for (const char* c = text; *c != '\0' && n + 5 < sizeof line_; ++c) {
    const unsigned char u = static_cast<unsigned char>(*c);
    if (u < 0x20 || u == 0x7f)
      n += static_cast<std::size_t>(std::snprintf(line_ + n, sizeof line_ - n, "\\x%02x", u));
    else
      line_[n++] = *c;
  }
  if (err != 0 && n + 40 < sizeof line_)
    n += static_cast<std::size_t>(std::snprintf(line_ + n, sizeof line_ - n, " (%s)", snd_strerror(err)));
  line_[n++] = '\n';
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line_, n);
}

// The outcome of an open made on a helper thread, shared with it: a server that does not
// answer keeps that thread inside snd_pcm_open, and the owner must not wait for it.
struct PendingOpen {
  std::mutex mutex;
  std::condition_variable doneChanged;
  bool done = false;
  bool abandoned = false;
  snd_pcm_t* pcm = nullptr;
  int result = 0;
  bool canPause = false;
  snd_pcm_uframes_t bufferFrames = 0;
};

void openPcm(PendingOpen& p, const std::string& name, snd_pcm_format_t sampleFormat,
             unsigned channels, unsigned rate, unsigned latencyUs) {
  snd_pcm_t* pcm = nullptr;
  int r = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
  if (r == 0) {
    r = snd_pcm_set_params(pcm, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, channels, rate, 1,
                           latencyUs);
    if (r < 0) {
      snd_pcm_close(pcm);
      pcm = nullptr;
    }
  }
  bool canPause = false;
  snd_pcm_uframes_t frames = 0;
  if (pcm != nullptr) {
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    if (snd_pcm_hw_params_current(pcm, hw) == 0) {
      canPause = snd_pcm_hw_params_can_pause(hw) != 0;
      if (snd_pcm_hw_params_get_buffer_size(hw, &frames) != 0) frames = 0;
    }
  }
  std::unique_lock lock(p.mutex);
  if (p.abandoned) {
    lock.unlock();
    if (pcm != nullptr) snd_pcm_close(pcm);
    return;
  }
  p.done = true;
  p.pcm = pcm;
  p.result = r;
  p.canPause = canPause;
  p.bufferFrames = frames;
  p.doneChanged.notify_all();
}

}  // namespace

// One open stream: its worker, which makes every call into ALSA, and a watchdog that gives
// the stream up when one of those calls does not return in time. Shared between the owner
// and both threads, so that a stream given up may outlive its device.
class AlsaDevice::Stream : public std::enable_shared_from_this<AlsaDevice::Stream> {
 public:
  Stream(snd_pcm_t* pcm, int frameBytes, const NoticeTarget& notices, bool canPause,
         std::shared_ptr<Stats> stats)
      : pcm_(pcm), frameBytes_(frameBytes), notices_(notices), canPause_(canPause), stats_(std::move(stats)) {}

  // Starts both threads; they keep the stream alive until they end.
  void start() {
    worker_ = std::thread([self = shared_from_this()] { self->run(); });
    watchdog_ = std::thread([self = shared_from_this()] { self->watch(); });
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

  // Returns once every queued buffer has been handed back, so that nothing written
  // afterwards can be mistaken for a buffer of before; gives the stream up when the
  // worker does not get there in time.
  void reset() {
    std::unique_lock lock(mutex_);
    if (abandoned_) return;
    resetRequested_ = true;
    wake_.notify_one();
    if (!resetDone_.wait_for(lock, kAnswerWithin, [this] { return !resetRequested_.load(); }))
      abandonLocked();
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
      if (abandoned_) postCloseLocked();
    }
    wake_.notify_one();
  }

  // Waits up to kAnswerWithin for the worker to end; true if it has.
  bool waitFinished() {
    std::unique_lock lock(mutex_);
    // A stream given up has had its time already.
    if (abandoned_) return finished_;
    return finishedChanged_.wait_for(lock, kAnswerWithin, [this] { return finished_ || abandoned_; }) &&
           finished_;
  }

  // Joins both threads (the worker has ended) or, when it has not, gives the stream up and
  // lets both threads go.
  void release() {
    if (waitFinished()) {
      {
        std::lock_guard lock(mutex_);
        watchdogQuit_ = true;
      }
      watchChanged_.notify_all();
      worker_.join();
      watchdog_.join();
      return;
    }
    {
      std::lock_guard lock(mutex_);
      abandonLocked();
    }
    worker_.detach();
    watchdog_.detach();
  }

  bool failed() {
    std::lock_guard lock(mutex_);
    return failed_;
  }

  uint32_t position() const { return position_.load(std::memory_order_relaxed); }

 private:
  struct Item {
    const uint8_t* data = nullptr;
    int32_t bytes = 0;
  };
  enum class Outcome { Written, Interrupted, Failed };

  // Runs one call into ALSA with the watchdog looking on.
  template <class Call>
  auto device(Call call) {
    busySince_.store(nowNanos(), std::memory_order_relaxed);
    auto result = call();
    busySince_.store(0, std::memory_order_relaxed);
    return result;
  }

  // Gives the stream up: hands back what is queued, fails later writes, answers a waiting
  // reset and posts Close if the owner has closed. The worker posts nothing afterwards.
  void abandonLocked() {
    if (abandoned_) return;
    abandoned_ = true;
    abandonedFlag_.store(true, std::memory_order_relaxed);
    failed_ = true;
    g_abandoned.fetch_add(1, std::memory_order_relaxed);
    for (; count_ > 0; --count_) notices_.post(NoticeKind::Done);
    if (resetRequested_) {
      resetRequested_ = false;
      resetDone_.notify_all();
    }
    if (quit_) postCloseLocked();
    wake_.notify_all();
    watchChanged_.notify_all();
  }

  void postCloseLocked() {
    if (closePosted_) return;
    closePosted_ = true;
    notices_.post(NoticeKind::Close);
  }

  // Hands back `n` buffers from the head of the queue, unless the stream was given up
  // meanwhile (which handed them back already).
  void handBackLocked(std::size_t n) {
    if (abandoned_) return;
    n = std::min(n, count_);
    for (std::size_t i = 0; i < n; ++i) {
      head_ = (head_ + 1) % queue_.size();
      --count_;
      notices_.post(NoticeKind::Done);
    }
  }

  void watch() {
    std::unique_lock lock(mutex_);
    while (!watchdogQuit_ && !abandoned_ && !finished_) {
      watchChanged_.wait_for(lock, kWatchEvery);
      // Once the owner has closed the stream it is owed a prompt Close; while the stream
      // plays, a slow call is given as long as a stalled write (a reset is bounded by
      // the owner's own wait).
      const int64_t since = busySince_.load(std::memory_order_relaxed);
      const auto limit = quit_ ? std::chrono::nanoseconds(kAnswerWithin) : std::chrono::nanoseconds(kStallLimit);
      if (since != 0 && nowNanos() - since > limit.count()) abandonLocked();
    }
  }

  void run() {
    bool devicePaused = false;
    for (;;) {
      Item item;
      bool haveItem = false;
      bool doReset = false;
      bool wantPause = false;
      bool quitting = false;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] {
          return abandoned_ || resetRequested_ || quit_ || paused_ != devicePaused ||
                 (count_ > 0 && !paused_);
        });
        if (abandoned_) break;
        doReset = resetRequested_;
        wantPause = paused_;
        quitting = quit_;
        haveItem = count_ > 0;
        if (haveItem) item = queue_[head_];
      }
      if (doReset) {
        offset_ = 0;
        framesSinceReset_ = 0;
        device([&] { return snd_pcm_drop(pcm_); });
        device([&] { return snd_pcm_prepare(pcm_); });
        devicePaused = false;
        {
          std::lock_guard lock(mutex_);
          handBackLocked(count_);
          if (resetRequested_) {
            resetRequested_ = false;
            resetDone_.notify_all();
          }
        }
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
        std::lock_guard lock(mutex_);
        handBackLocked(1);
        offset_ = 0;
      } else if (outcome == Outcome::Failed) {
        std::lock_guard lock(mutex_);
        failed_ = true;
        handBackLocked(count_);
        offset_ = 0;
      }
    }

    // Closing. Buffers still queued were not asked to play; hand them back first.
    bool failed = false;
    bool abandoned = false;
    {
      std::lock_guard lock(mutex_);
      handBackLocked(count_);
      failed = failed_;
      abandoned = abandoned_;
    }
    if (!abandoned) {
      if (!failed && !devicePaused && framesSinceReset_ > 0) {
        // Let what ALSA holds play out. A stream shorter than ALSA's start threshold has
        // not started yet.
        device([&] {
          if (snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm_);
          snd_pcm_nonblock(pcm_, 0);
          return snd_pcm_drain(pcm_);
        });
      } else if (!failed) {
        device([&] { return snd_pcm_drop(pcm_); });
      }
    }
    // A stream given up meanwhile had its Close posted already; closing the PCM once the
    // server answers again is all that is left.
    device([&] { return snd_pcm_close(pcm_); });
    pcm_ = nullptr;
    std::lock_guard lock(mutex_);
    if (!abandoned_) postCloseLocked();
    finished_ = true;
    finishedChanged_.notify_all();
    watchChanged_.notify_all();
  }

  void applyPause(bool pause) {
    const snd_pcm_state_t state = snd_pcm_state(pcm_);
    if (pause) {
      if (canPause_ && state == SND_PCM_STATE_RUNNING) device([&] { return snd_pcm_pause(pcm_, 1); });
      // Without hardware pause the worker simply stops writing; ALSA runs dry.
    } else if (state == SND_PCM_STATE_PAUSED) {
      device([&] { return snd_pcm_pause(pcm_, 0); });
    } else if (state == SND_PCM_STATE_XRUN) {
      device([&] { return snd_pcm_prepare(pcm_); });  // ran dry on purpose while paused: not an underrun
    }
  }

  bool interrupted() const {
    return resetRequested_.load(std::memory_order_relaxed) || quit_.load(std::memory_order_relaxed) ||
           paused_.load(std::memory_order_relaxed) || abandonedFlag_.load(std::memory_order_relaxed);
  }

  Outcome writeItem(const Item& item) {
    const snd_pcm_uframes_t frames = static_cast<snd_pcm_uframes_t>(item.bytes / frameBytes_);
    Clock::time_point stalledSince{};
    while (offset_ < frames) {
      if (interrupted()) return Outcome::Interrupted;
      const snd_pcm_sframes_t n = device(
          [&] { return snd_pcm_writei(pcm_, item.data + offset_ * frameBytes_, frames - offset_); });
      if (n == -EAGAIN) {
        // A full buffer empties within its own length; one that stays full has a device
        // (or a sound server) that stopped playing.
        const auto now = Clock::now();
        if (stalledSince == Clock::time_point{}) stalledSince = now;
        else if (now - stalledSince > kStallLimit) return Outcome::Failed;
        device([&] { return snd_pcm_wait(pcm_, kWaitMs); });
        updatePosition();
        continue;
      }
      if (n < 0) {
        if (n == -EPIPE) stats_->underruns.fetch_add(1, std::memory_order_relaxed);
        if (device([&] { return snd_pcm_recover(pcm_, static_cast<int>(n), 1); }) < 0) return Outcome::Failed;
        continue;
      }
      stalledSince = Clock::time_point{};
      if (framesWritten_ == 0 && n > 0) stats_->firstWriteNanos.store(nowNanos(), std::memory_order_relaxed);
      offset_ += static_cast<snd_pcm_uframes_t>(n);
      framesWritten_ += static_cast<uint64_t>(n);
      framesSinceReset_ += static_cast<uint64_t>(n);
      updatePosition();
    }
    return Outcome::Written;
  }

  void updatePosition() {
    snd_pcm_sframes_t delay = 0;
    if (device([&] { return snd_pcm_delay(pcm_, &delay); }) < 0) return;
    const int64_t played = static_cast<int64_t>(framesWritten_) - std::max<int64_t>(delay, 0);
    position_.store(static_cast<uint32_t>(std::max<int64_t>(played, 0)), std::memory_order_relaxed);
  }

  snd_pcm_t* pcm_;
  const int frameBytes_;
  const NoticeTarget notices_;
  const bool canPause_;
  const std::shared_ptr<Stats> stats_;

  // Shared between the owner, the worker and the watchdog; the flags are also read without
  // the lock between two writes so that the worker notices them promptly. Notices are
  // posted with the lock held, so that a stream given up never posts one twice.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable resetDone_;
  std::condition_variable finishedChanged_;
  std::condition_variable watchChanged_;
  std::array<Item, 8> queue_{};
  std::size_t head_ = 0;
  std::size_t count_ = 0;  // handed over, Done not yet posted
  std::atomic<bool> resetRequested_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> quit_{false};
  bool failed_ = false;
  bool abandoned_ = false;
  std::atomic<bool> abandonedFlag_{false};  // abandoned_, for the worker's lock-free look
  bool closePosted_ = false;
  bool finished_ = false;
  bool watchdogQuit_ = false;
  std::atomic<int64_t> busySince_{0};  // when the call into ALSA now running began; 0: none
  std::atomic<uint32_t> position_{0};

  // The worker's own.
  snd_pcm_uframes_t offset_ = 0;  // frames of the head buffer already written
  uint64_t framesWritten_ = 0;
  uint64_t framesSinceReset_ = 0;

  std::thread worker_;
  std::thread watchdog_;
};

AlsaDevice::AlsaDevice(std::string defaultPcm) : defaultPcm_(std::move(defaultPcm)) {
  static std::once_flag handlerInstalled;
  std::call_once(handlerInstalled, [] { snd_lib_error_set_handler(alsaLibraryMessage); });
  // ALSA reads its configuration files at the first open; doing it here keeps those
  // milliseconds out of the first start.
  snd_config_update();
}

AlsaDevice::~AlsaDevice() {
  if (stream_) {
    stream_->reset();
    stream_->finish();
    release(stream_);
  }
  release(finishing_);
}

void AlsaDevice::release(std::shared_ptr<Stream>& stream) {
  if (!stream) return;
  stream->release();
  stream.reset();
}

bool AlsaDevice::streamLost() const {
  return lost_ || (stream_ && stream_->failed()) || (finishing_ && finishing_->failed());
}

int AlsaDevice::abandonedStreams() { return g_abandoned.load(std::memory_order_relaxed); }

DeviceResult AlsaDevice::doOpen(int32_t id, const PcmFormat& format, int32_t bufferBytes,
                                const NoticeTarget& notices) {
  release(finishing_);  // the previous stream must have let go of the device
  lost_ = false;
  std::string name = defaultPcm_;
  if (id >= 0) {
    if (!listed_) doListDevices();
    if (id >= static_cast<int32_t>(pcmNames_.size())) return device_error::BadDeviceId;
    name = pcmNames_[static_cast<std::size_t>(id)];
  }

  const bool floating = isFloatFormat(format);
  const snd_pcm_format_t sampleFormat = floating                     ? SND_PCM_FORMAT_FLOAT_LE
                                        : format.bitsPerSample == 24 ? SND_PCM_FORMAT_S24_3LE
                                                                     : SND_PCM_FORMAT_S16_LE;
  const double bufferUs =
      1e6 * std::max(bufferBytes, 0) / format.blockAlign / static_cast<double>(format.samplesPerSec);
  const unsigned latencyUs =
      std::clamp(static_cast<unsigned>(bufferUs), kMinLatencyUs, kMaxLatencyUs);
  // A sound server that accepts the connection and never answers would keep snd_pcm_open
  // waiting for ever: the open runs on a helper thread that is left behind after a while.
  auto pending = std::make_shared<PendingOpen>();
  std::thread opener([pending, name, sampleFormat, channels = format.channels,
                      rate = format.samplesPerSec, latencyUs] {
    openPcm(*pending, name, sampleFormat, channels, rate, latencyUs);
  });
  std::unique_lock lock(pending->mutex);
  if (!pending->doneChanged.wait_for(lock, kAnswerWithin, [&] { return pending->done; })) {
    pending->abandoned = true;
    g_abandoned.fetch_add(1, std::memory_order_relaxed);
    lock.unlock();
    opener.detach();
    return device_error::NoAnswer;
  }
  lock.unlock();
  opener.join();  // it has done its work: only its end is left
  lock.lock();
  // A device that refuses float samples says so in words of its own.
  if (pending->result == -EINVAL && floating) return device_error::NoFloat;
  if (pending->result < 0) return pending->result;
  alsaBufferFrames_ = pending->bufferFrames;

  stats_->firstWriteNanos.store(-1, std::memory_order_relaxed);
  notices.post(NoticeKind::Open);
  stream_ = std::make_shared<Stream>(pending->pcm, format.blockAlign, notices, pending->canPause, stats_);
  stream_->start();
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
  if (finishing_ && finishing_->failed()) lost_ = true;
  release(finishing_);
  if (stream_->failed()) lost_ = true;
  stream_->finish();
  finishing_ = std::move(stream_);
  return 0;
}

void AlsaDevice::doWaitClosed() {
  if (finishing_ && finishing_->failed()) lost_ = true;
  release(finishing_);
}

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
