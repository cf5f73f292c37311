#include "audio/pipewire/pipewire_device.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/param/props.h>
#include <spa/pod/iter.h>
#include <spa/utils/result.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <iterator>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace velmora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t kMs = 1000000;
constexpr int64_t kAnswerWithinNs = PipeWireDevice::kAnswerWithinMs * kMs;
// A stream the session manager has not linked (so that it never asked for data) within
// this time after the open or a resume has no sink to play to.
constexpr int64_t kStartWithinNs = 3000 * kMs;
// A closed stream whose server keeps asking for data but never reports it drained (what is
// left to play out is one period and the server's delay) is ended after this time.
constexpr int64_t kDrainWithinNs = 2000 * kMs;
// How often the loop looks at the streams' health.
constexpr int64_t kTickNs = 100 * kMs;
// A volume that arrives this soon after the open was restored by the session manager.
constexpr int64_t kRestoreWithinNs = 3000 * kMs;

int64_t nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

void initOnce() {
  static std::once_flag done;
  std::call_once(done, [] { pw_init(nullptr, nullptr); });
}

// The properties every connection of the program carries, so that the server's clients list
// names the program.
pw_properties* clientProperties() {
  return pw_properties_new(PW_KEY_APP_NAME, "Velmora", PW_KEY_APP_ICON_NAME, "velmora",
                           PW_KEY_APP_ID, "velmora", nullptr);
}

// The first of PipeWire's runtime folders that the environment names (as libpipewire looks
// them up), or the system-wide one.
std::string socketPath() {
  const char* remote = std::getenv("PIPEWIRE_REMOTE");
  const std::string name = remote != nullptr && remote[0] != '\0' ? remote : "pipewire-0";
  if (name.front() == '/') return name;
  for (const char* var : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR", "USERPROFILE"}) {
    const char* dir = std::getenv(var);
    if (dir != nullptr && dir[0] != '\0') return std::string(dir) + "/" + name;
  }
  return "/run/pipewire/" + name;
}

timespec deadlineIn(pw_thread_loop* loop, int64_t ns) {
  timespec t{};
  pw_thread_loop_get_time(loop, &t, ns);
  return t;
}

}  // namespace

bool PipeWireDevice::serverSocketPresent() {
  struct stat st{};
  return ::stat(socketPath().c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// ---------------------------------------------------------------------------------------
// Listing the sinks

namespace {
struct Listing {
  PipeWireSinks result;
  int syncSeq = -1;
  bool done = false;
  bool failed = false;
};

void onGlobal(void* data, uint32_t /*id*/, uint32_t /*permissions*/, const char* type,
              uint32_t /*version*/, const spa_dict* props) {
  auto& l = *static_cast<Listing*>(data);
  if (props == nullptr || std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0) return;
  const char* cls = spa_dict_lookup(props, PW_KEY_MEDIA_CLASS);
  if (cls == nullptr || std::strcmp(cls, "Audio/Sink") != 0) return;
  const char* name = spa_dict_lookup(props, PW_KEY_NODE_NAME);
  if (name == nullptr || name[0] == '\0') return;
  const char* text = spa_dict_lookup(props, PW_KEY_NODE_DESCRIPTION);
  if (text == nullptr || text[0] == '\0') text = spa_dict_lookup(props, PW_KEY_NODE_NICK);
  if (text == nullptr || text[0] == '\0') text = name;
  std::string line = text;
  std::replace(line.begin(), line.end(), '\n', ' ');
  l.result.sinks.push_back({name, line});
}

void onListingDone(void* data, uint32_t id, int seq) {
  auto& l = *static_cast<Listing*>(data);
  if (id == PW_ID_CORE && seq == l.syncSeq) l.done = true;
}

void onListingError(void* data, uint32_t id, int /*seq*/, int /*res*/, const char* /*message*/) {
  if (id == PW_ID_CORE) static_cast<Listing*>(data)->failed = true;
}
}  // namespace

PipeWireSinks pipeWireSinks(int answerWithinMs) {
  Listing listing;
  if (!PipeWireDevice::serverSocketPresent()) return listing.result;
  initOnce();
  pw_loop* loop = pw_loop_new(nullptr);
  if (loop == nullptr) return listing.result;
  pw_context* context = pw_context_new(loop, nullptr, 0);
  pw_core* core = context != nullptr ? pw_context_connect(context, clientProperties(), 0) : nullptr;
  if (core != nullptr) {
    static const pw_registry_events registryEvents = [] {
      pw_registry_events e{};
      e.version = PW_VERSION_REGISTRY_EVENTS;
      e.global = onGlobal;
      return e;
    }();
    static const pw_core_events coreEvents = [] {
      pw_core_events e{};
      e.version = PW_VERSION_CORE_EVENTS;
      e.done = onListingDone;
      e.error = onListingError;
      return e;
    }();
    spa_hook coreHook{};
    spa_hook registryHook{};
    pw_registry* registry = pw_core_get_registry(core, PW_VERSION_REGISTRY, 0);
    pw_core_add_listener(core, &coreHook, &coreEvents, &listing);
    pw_registry_add_listener(registry, &registryHook, &registryEvents, &listing);
    listing.syncSeq = pw_core_sync(core, PW_ID_CORE, 0);
    const int64_t deadline = nowNanos() + int64_t{answerWithinMs} * kMs;
    pw_loop_enter(loop);
    while (!listing.done && !listing.failed) {
      const int64_t left = deadline - nowNanos();
      if (left <= 0) break;
      pw_loop_iterate(loop, static_cast<int>(std::max<int64_t>(left / kMs, 1)));
    }
    pw_loop_leave(loop);
    listing.result.answered = listing.done && !listing.failed;
    if (!listing.result.answered) listing.result.sinks.clear();
    spa_hook_remove(&registryHook);
    spa_hook_remove(&coreHook);
    pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
    pw_core_disconnect(core);
  }
  if (context != nullptr) pw_context_destroy(context);
  pw_loop_destroy(loop);
  return listing.result;
}

// ---------------------------------------------------------------------------------------
// Watching the sinks

struct PipeWireSinkWatch::State {
  std::function<void()> changed;
  pw_thread_loop* loop = nullptr;
  pw_context* context = nullptr;
  pw_core* core = nullptr;
  pw_registry* registry = nullptr;
  spa_hook coreHook{};
  spa_hook registryHook{};
  std::vector<uint32_t> sinks;  // the node ids of the sinks there now
  int syncSeq = -1;
  bool started = false;  // the first round of globals (the sinks already there) is over
  bool gone = false;
};

namespace {
void onWatchGlobal(void* data, uint32_t id, uint32_t /*permissions*/, const char* type, uint32_t /*version*/,
                   const spa_dict* props) {
  auto& w = *static_cast<PipeWireSinkWatch::State*>(data);
  if (props == nullptr || std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0) return;
  const char* cls = spa_dict_lookup(props, PW_KEY_MEDIA_CLASS);
  if (cls == nullptr || std::strcmp(cls, "Audio/Sink") != 0) return;
  w.sinks.push_back(id);
  if (w.started) w.changed();
}

void onWatchGlobalRemove(void* data, uint32_t id) {
  auto& w = *static_cast<PipeWireSinkWatch::State*>(data);
  const auto at = std::find(w.sinks.begin(), w.sinks.end(), id);
  if (at == w.sinks.end()) return;
  w.sinks.erase(at);
  w.changed();
}

void onWatchDone(void* data, uint32_t id, int seq) {
  auto& w = *static_cast<PipeWireSinkWatch::State*>(data);
  if (id == PW_ID_CORE && seq == w.syncSeq) w.started = true;
}

void onWatchError(void* data, uint32_t id, int /*seq*/, int res, const char* /*message*/) {
  auto& w = *static_cast<PipeWireSinkWatch::State*>(data);
  // The connection broke (the server went away): its sinks went with it.
  if (id == PW_ID_CORE && res == -EPIPE && !w.gone) {
    w.gone = true;
    w.sinks.clear();
    w.changed();
  }
}
}  // namespace

PipeWireSinkWatch::PipeWireSinkWatch(std::function<void()> changed) : state_(std::make_unique<State>()) {
  State& w = *state_;
  w.changed = std::move(changed);
  if (!PipeWireDevice::serverSocketPresent()) return;
  initOnce();
  w.loop = pw_thread_loop_new("velmora-sinks", nullptr);
  if (w.loop == nullptr) return;
  w.context = pw_context_new(pw_thread_loop_get_loop(w.loop), nullptr, 0);
  if (w.context == nullptr || pw_thread_loop_start(w.loop) != 0) return;
  static const pw_registry_events registryEvents = [] {
    pw_registry_events e{};
    e.version = PW_VERSION_REGISTRY_EVENTS;
    e.global = onWatchGlobal;
    e.global_remove = onWatchGlobalRemove;
    return e;
  }();
  static const pw_core_events coreEvents = [] {
    pw_core_events e{};
    e.version = PW_VERSION_CORE_EVENTS;
    e.done = onWatchDone;
    e.error = onWatchError;
    return e;
  }();
  pw_thread_loop_lock(w.loop);
  w.core = pw_context_connect(w.context, clientProperties(), 0);
  if (w.core != nullptr) {
    pw_core_add_listener(w.core, &w.coreHook, &coreEvents, &w);
    w.registry = pw_core_get_registry(w.core, PW_VERSION_REGISTRY, 0);
    pw_registry_add_listener(w.registry, &w.registryHook, &registryEvents, &w);
    w.syncSeq = pw_core_sync(w.core, PW_ID_CORE, 0);
  }
  pw_thread_loop_unlock(w.loop);
}

PipeWireSinkWatch::~PipeWireSinkWatch() {
  State& w = *state_;
  if (w.loop == nullptr) return;
  pw_thread_loop_stop(w.loop);
  if (w.registry != nullptr) {
    spa_hook_remove(&w.registryHook);
    pw_proxy_destroy(reinterpret_cast<pw_proxy*>(w.registry));
  }
  if (w.core != nullptr) {
    spa_hook_remove(&w.coreHook);
    pw_core_disconnect(w.core);
  }
  if (w.context != nullptr) pw_context_destroy(w.context);
  pw_thread_loop_destroy(w.loop);
}

bool PipeWireSinkWatch::watching() const {
  if (state_->loop == nullptr || state_->core == nullptr) return false;
  pw_thread_loop_lock(state_->loop);
  const bool on = state_->started && !state_->gone;
  pw_thread_loop_unlock(state_->loop);
  return on;
}

// ---------------------------------------------------------------------------------------
// One stream

struct PipeWireDevice::Stream {
  struct Item {
    const uint8_t* data = nullptr;
    int32_t bytes = 0;
  };

  PipeWireDevice* device = nullptr;
  pw_thread_loop* loop = nullptr;
  spa_source* wake = nullptr;  // runs the device's look at its streams soon
  NoticeTarget notices;
  int frameBytes = 0;
  uint32_t rate = 0;
  std::shared_ptr<Stats> stats;
  int64_t openedAt = 0;      // when the owner opened it (loop thread reads it)
  bool volumeReset = false;  // a restored volume was set back once

  pw_core* core = nullptr;
  spa_hook coreHook{};
  pw_stream* stream = nullptr;
  spa_hook streamHook{};

  // Loop thread (and the owner with the loop locked).
  pw_stream_state state = PW_STREAM_STATE_CONNECTING;
  bool formatSet = false;
  bool serverGone = false;
  std::string error;
  int64_t expectSince = 0;  // since when the server is to ask for data; 0: paused
  bool closing = false;     // the owner has closed it
  int64_t closedAt = 0;
  bool drained = false;
  bool ended = false;       // its objects are gone and its Close is posted

  // The hand-over, shared with the data thread.
  std::mutex mutex;
  std::array<Item, 8> queue{};
  std::size_t head = 0;
  std::size_t count = 0;   // handed over, Done not yet posted
  int32_t offset = 0;      // bytes of the head buffer already given to the server
  bool paused = false;
  bool quit = false;       // closing: play out what is there, then drain
  bool failed = false;
  bool drainAsked = false;
  bool dry = false;        // the last period found the queue empty in the middle of the stream
  uint64_t lastTicks = 0;  // the graph clock at the last period while playing (0: none yet)
  uint64_t lastCycle = 0;  // that period's length in graph ticks
  uint64_t sinceReset = 0; // frames given to the server since the open or the last reset
  uint64_t delivered = 0;  // frames given to the server since the open
  std::atomic<int64_t> lastProcess{0};
  std::atomic<uint32_t> position{0};

  // With the mutex held: hands back every queued buffer.
  void handBackAllLocked() {
    for (; count > 0; --count) notices.post(NoticeKind::Done);
    head = 0;
    offset = 0;
  }

  // Loop thread or owner with the loop locked: the stream cannot play on.
  void lose() {
    std::lock_guard lock(mutex);
    if (failed) return;
    failed = true;
    handBackAllLocked();
  }

  void process();
};

namespace {

void onStateChanged(void* data, pw_stream_state /*old*/, pw_stream_state state, const char* error) {
  auto& s = *static_cast<PipeWireDevice::Stream*>(data);
  s.state = state;
  if (state == PW_STREAM_STATE_ERROR && error != nullptr && s.error.empty()) s.error = error;
  pw_thread_loop_signal(s.loop, false);
  if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)
    pw_loop_signal_event(pw_thread_loop_get_loop(s.loop), s.wake);
}

// The stream's volume as the server has it: the product of the overall volume and the channel
// volume farthest from 1, in per cent; 0 when muted. A session manager may have restored a
// volume kept from another stream: within the first seconds it is set back to 100 %.
void onProps(PipeWireDevice::Stream& s, const spa_pod* param) {
  if (!spa_pod_is_object(param)) return;
  float volume = 1.0f;
  float channel = 1.0f;
  bool mute = false;
  uint32_t channels = 0;
  const auto* object = reinterpret_cast<const spa_pod_object*>(param);
  const spa_pod_prop* prop = nullptr;
  SPA_POD_OBJECT_FOREACH(object, prop) {
    if (prop->key == SPA_PROP_volume) {
      spa_pod_get_float(&prop->value, &volume);
    } else if (prop->key == SPA_PROP_mute) {
      spa_pod_get_bool(&prop->value, &mute);
    } else if (prop->key == SPA_PROP_channelVolumes) {
      float v[SPA_AUDIO_MAX_CHANNELS];
      channels = spa_pod_copy_array(&prop->value, SPA_TYPE_Float, v, SPA_AUDIO_MAX_CHANNELS);
      for (uint32_t i = 0; i < channels; ++i)
        if (std::fabs(v[i] - 1.0f) > std::fabs(channel - 1.0f)) channel = v[i];
    }
  }
  const int percent = mute ? 0 : static_cast<int>(std::lround(100.0 * volume * channel));
  if (percent != 100 && s.stream != nullptr && nowNanos() - s.openedAt < kRestoreWithinNs && !s.volumeReset) {
    s.volumeReset = true;
    float ones[SPA_AUDIO_MAX_CHANNELS];
    std::fill(std::begin(ones), std::end(ones), 1.0f);
    float one = 1.0f;
    float off = 0.0f;
    pw_stream_set_control(s.stream, SPA_PROP_volume, 1, &one, SPA_PROP_mute, 1, &off, SPA_PROP_channelVolumes,
                          std::max<uint32_t>(channels, 1), ones, 0);
    return;  // the reset's own Props follow
  }
  if (s.stats) s.stats->volumePercent.store(percent, std::memory_order_relaxed);
}

void onParamChanged(void* data, uint32_t id, const spa_pod* param) {
  auto& s = *static_cast<PipeWireDevice::Stream*>(data);
  if (id == SPA_PARAM_Format && param != nullptr) s.formatSet = true;
  if (id == SPA_PARAM_Props && param != nullptr) onProps(s, param);
  pw_thread_loop_signal(s.loop, false);
}

void onProcess(void* data) { static_cast<PipeWireDevice::Stream*>(data)->process(); }

void onCoreError(void* data, uint32_t id, int /*seq*/, int res, const char* message) {
  auto& s = *static_cast<PipeWireDevice::Stream*>(data);
  if (id != PW_ID_CORE) return;
  s.serverGone = true;
  if (s.error.empty()) s.error = message != nullptr && message[0] != '\0' ? message : spa_strerror(res);
  pw_thread_loop_signal(s.loop, false);
  pw_loop_signal_event(pw_thread_loop_get_loop(s.loop), s.wake);
}

}  // namespace

void PipeWireDevice::Stream::process() {
  const int64_t now = nowNanos();
  lastProcess.store(now, std::memory_order_relaxed);
  // Everything of the stream is read under the hand-over lock (its fields were set under
  // it before the stream was connected), and nothing of it after: the owner frees the
  // stream once it has taken the lock after the stream's end.
  std::unique_lock lock(mutex);
  pw_stream* const pws = stream;
  if (pws == nullptr) return;
  pw_buffer* b = pw_stream_dequeue_buffer(pws);
  if (b == nullptr) return;
  const int fb = frameBytes;
  spa_data& d = b->buffer->datas[0];
  auto* dst = static_cast<uint8_t*>(d.data);
  const uint32_t room = dst != nullptr ? d.maxsize / static_cast<uint32_t>(fb) : 0;
  const uint32_t want = b->requested > 0 ? static_cast<uint32_t>(std::min<uint64_t>(b->requested, room)) : room;

  // What the server still holds of earlier periods gives the position.
  pw_time t{};
  const bool timed = pw_stream_get_time_n(pws, &t, sizeof t) == 0 && t.rate.denom > 0;
  if (timed && t.rate.num == 1) stats->graphRate.store(t.rate.denom, std::memory_order_relaxed);
  stats->serverSilent.store(false, std::memory_order_relaxed);
  const int64_t delayFrames = timed ? t.delay * int64_t{t.rate.num} * int64_t{rate} / int64_t{t.rate.denom} : 0;
  auto setPosition = [&](int64_t played) {
    position.store(static_cast<uint32_t>(std::clamp<int64_t>(played, position.load(std::memory_order_relaxed),
                                                             static_cast<int64_t>(delivered))),
                   std::memory_order_relaxed);
  };

  // The server's own dropouts for this stream: periods of the graph that passed it by while
  // it played (its clock moved on by more than the period before asked for).
  if (timed && t.rate.num == 1 && !paused && !failed && !quit && delivered > 0) {
    if (lastTicks != 0 && lastCycle != 0 && t.ticks > lastTicks && t.ticks - lastTicks >= lastCycle + lastCycle / 2)
      stats->underruns.fetch_add(1, std::memory_order_relaxed);
    lastTicks = t.ticks;
    lastCycle = rate > 0 ? uint64_t{want} * t.rate.denom / rate : 0;
  } else {
    lastTicks = 0;
  }

  uint32_t frames = 0;
  bool drain = false;
  bool first = false;
  bool pad = true;
  if (!paused && !failed) {
    while (frames < want && count > 0) {
      const Item& item = queue[head];
      const int32_t whole = item.bytes / fb * fb;
      const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>((whole - offset) / fb), want - frames);
      if (n > 0) std::memcpy(dst + std::size_t{frames} * fb, item.data + offset, std::size_t{n} * fb);
      frames += n;
      offset += static_cast<int32_t>(n) * fb;
      if (offset >= whole) {
        head = (head + 1) % queue.size();
        --count;
        offset = 0;
        notices.post(NoticeKind::Done);
      }
    }
    if (frames > 0) {
      if (dry) stats->underruns.fetch_add(1, std::memory_order_relaxed);
      dry = false;
      first = delivered == 0;
      setPosition(static_cast<int64_t>(delivered) - static_cast<int64_t>(timed ? t.queued + t.buffered : 0) -
                  delayFrames);
      delivered += frames;
      sinceReset += frames;
    } else if (delivered > 0) {
      setPosition(static_cast<int64_t>(delivered) - delayFrames);
    }
    // Running out in the middle of the stream is a dropout once more data follows;
    // running out at the end is just the end.
    if (frames < want && count == 0 && sinceReset > 0 && !quit) dry = true;
    if (quit && count == 0) {
      pad = false;
      if (!drainAsked) drain = drainAsked = true;
    }
  }
  // A period the stream has no data for is silence (all bits zero in every format).
  const uint32_t total = pad ? want : frames;
  if (dst != nullptr && total > frames)
    std::memset(dst + std::size_t{frames} * fb, 0, std::size_t{total - frames} * fb);
  if (dst != nullptr) {
    d.chunk->offset = 0;
    d.chunk->stride = fb;
    d.chunk->size = total * static_cast<uint32_t>(fb);
  }
  b->size = total;
  if (first) {
    const int64_t delayNs = timed ? t.delay * int64_t{t.rate.num} * 1000000000 / int64_t{t.rate.denom} : 0;
    stats->firstFrameNanos.store(now + delayNs, std::memory_order_relaxed);
  }
  lock.unlock();
  pw_stream_queue_buffer(pws, b);
  if (drain) pw_stream_flush(pws, true);
}

namespace {
void onDrained(void* data) {
  auto& s = *static_cast<PipeWireDevice::Stream*>(data);
  s.drained = true;
  // The stream is torn down from the loop, outside its own callback.
  pw_loop_signal_event(pw_thread_loop_get_loop(s.loop), s.wake);
}

const pw_stream_events& streamEvents() {
  static const pw_stream_events events = [] {
    pw_stream_events e{};
    e.version = PW_VERSION_STREAM_EVENTS;
    e.state_changed = onStateChanged;
    e.param_changed = onParamChanged;
    e.process = onProcess;
    e.drained = onDrained;
    return e;
  }();
  return events;
}

const pw_core_events& coreEvents() {
  static const pw_core_events events = [] {
    pw_core_events e{};
    e.version = PW_VERSION_CORE_EVENTS;
    e.error = onCoreError;
    return e;
  }();
  return events;
}
}  // namespace

// ---------------------------------------------------------------------------------------
// The device

PipeWireDevice::PipeWireDevice() = default;

PipeWireDevice::~PipeWireDevice() {
  if (stream_) {
    doReset();
    doClose();
  }
  collect(true);
  if (loop_ != nullptr) {
    pw_thread_loop_stop(loop_);
    if (tick_ != nullptr) pw_loop_destroy_source(pw_thread_loop_get_loop(loop_), tick_);
    if (wake_ != nullptr) pw_loop_destroy_source(pw_thread_loop_get_loop(loop_), wake_);
    if (context_ != nullptr) pw_context_destroy(context_);
    pw_thread_loop_destroy(loop_);
  }
}

bool PipeWireDevice::startLoop() {
  if (context_ != nullptr) return true;
  initOnce();
  if (loop_ == nullptr) {
    loop_ = pw_thread_loop_new("velmora-pw", nullptr);
    if (loop_ == nullptr) return false;
  }
  // The real-time client configuration: the thread that runs the process callback asks for
  // real-time scheduling, so that a busy machine does not make it miss the server's periods.
  context_ = pw_context_new(pw_thread_loop_get_loop(loop_),
                            pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
  if (context_ == nullptr) return false;
  pw_loop* loop = pw_thread_loop_get_loop(loop_);
  tick_ = pw_loop_add_timer(loop, onTick, this);  // armed while there are streams
  wake_ = pw_loop_add_event(loop, onTick, this);
  return pw_thread_loop_start(loop_) == 0;
}

void PipeWireDevice::onTick(void* data, uint64_t /*expirations*/) {
  auto& device = *static_cast<PipeWireDevice*>(data);
  const int64_t now = nowNanos();
  auto look = [&](Stream& s) {
    if (s.ended) return;
    const bool broken = s.serverGone || s.state == PW_STREAM_STATE_ERROR ||
                        (s.state == PW_STREAM_STATE_UNCONNECTED && s.stream != nullptr);
    bool stalled = false;
    if (s.expectSince != 0) {
      const int64_t last = s.lastProcess.load(std::memory_order_relaxed);
      const int64_t since = std::max(last, s.expectSince);
      if (last >= s.expectSince && s.stats) s.stats->serverSilent.store(now - last > kAnswerWithinNs, std::memory_order_relaxed);
      stalled = last < s.expectSince ? now - s.expectSince > kStartWithinNs : now - since > device.giveUpAfterNs_;
    }
    if (broken || stalled) s.lose();
    bool failed = false;
    {
      std::lock_guard lock(s.mutex);
      failed = s.failed;
    }
    if (s.closing && (failed || s.drained || now - s.closedAt > kDrainWithinNs)) device.endStream(s);
  };
  if (device.stream_) look(*device.stream_);
  bool live = device.stream_ != nullptr;
  for (auto& s : device.closing_) {
    look(*s);
    live = live || !s->ended;
  }
  // An idle device does not wake the loop.
  if (!live) device.armTick(false);
  pw_thread_loop_signal(device.loop_, false);
}

void PipeWireDevice::armTick(bool on) {
  timespec every{0, on ? kTickNs : 0};
  pw_loop_update_timer(pw_thread_loop_get_loop(loop_), tick_, &every, &every, false);
}

void PipeWireDevice::endStream(Stream& s) {
  pw_stream* stream = nullptr;
  {
    std::lock_guard lock(s.mutex);
    std::swap(stream, s.stream);
  }
  if (stream != nullptr) {
    spa_hook_remove(&s.streamHook);
    pw_stream_destroy(stream);
  }
  if (s.core != nullptr) {
    spa_hook_remove(&s.coreHook);
    pw_core_disconnect(s.core);
    s.core = nullptr;
  }
  if (!s.ended) {
    s.ended = true;
    if (s.closing) s.notices.post(NoticeKind::Close);
  }
  pw_thread_loop_signal(loop_, false);
}

void PipeWireDevice::collect(bool wait) {
  if (loop_ == nullptr || closing_.empty()) return;
  pw_thread_loop_lock(loop_);
  if (wait) {
    const timespec deadline = deadlineIn(loop_, kAnswerWithinNs + 2 * kTickNs);
    auto allEnded = [&] {
      return std::all_of(closing_.begin(), closing_.end(), [](const auto& s) { return s->ended; });
    };
    while (!allEnded()) {
      if (pw_thread_loop_timed_wait_full(loop_, const_cast<timespec*>(&deadline)) == -ETIMEDOUT) break;
    }
  }
  for (auto it = closing_.begin(); it != closing_.end();) {
    Stream& s = **it;
    if (!s.ended && wait) {
      // Still not done: the server stopped answering while the stream played out.
      s.lose();
      endStream(s);
    }
    if (s.ended) {
      std::lock_guard lock(s.mutex);
      if (s.failed) lost_ = true;
    }
    it = s.ended ? closing_.erase(it) : std::next(it);
  }
  pw_thread_loop_unlock(loop_);
}

bool PipeWireDevice::streamLost() const {
  auto failed = [](Stream& s) {
    std::lock_guard lock(s.mutex);
    return s.failed;
  };
  if (lost_) return true;
  if (stream_ && failed(*stream_)) return true;
  return std::any_of(closing_.begin(), closing_.end(), [&](const auto& s) { return failed(*s); });
}

DeviceResult PipeWireDevice::doOpen(int32_t id, const PcmFormat& format, int32_t bufferBytes,
                                    const NoticeTarget& notices) {
  collect(true);  // the previous stream has let go of its sink
  lost_ = false;
  std::string target = defaultTarget_;
  if (id >= 0) {
    if (!listed_) doListDevices();
    if (id >= static_cast<int32_t>(sinkNames_.size())) return device_error::BadDeviceId;
    target = sinkNames_[static_cast<std::size_t>(id)];
  }
  if (!serverSocketPresent()) return kNoServer;
  if (!startLoop()) return kNoServer;

  auto s = std::make_unique<Stream>();
  s->device = this;
  s->loop = loop_;
  s->wake = wake_;
  s->notices = notices;
  s->frameBytes = format.blockAlign;
  s->rate = format.samplesPerSec;
  s->stats = stats_;
  s->openedAt = nowNanos();
  stats_->serverSilent.store(false, std::memory_order_relaxed);
  stats_->volumePercent.store(100, std::memory_order_relaxed);
  stats_->graphRate.store(0, std::memory_order_relaxed);
  stats_->streamRate.store(format.samplesPerSec, std::memory_order_relaxed);

  spa_audio_info_raw info{};
  info.format = isFloatFormat(format)         ? SPA_AUDIO_FORMAT_F32_LE
                : format.bitsPerSample == 24 ? SPA_AUDIO_FORMAT_S24_LE
                                             : SPA_AUDIO_FORMAT_S16_LE;
  info.rate = format.samplesPerSec;
  info.channels = format.channels;
  if (format.channels == 2) {
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
  } else {
    info.position[0] = SPA_AUDIO_CHANNEL_MONO;
  }
  std::array<uint8_t, 1024> podBuffer{};
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(podBuffer.data(), static_cast<uint32_t>(podBuffer.size()));
  const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};

  // The server asks for about one engine buffer per period, so that the ring stays the
  // cushion whatever the graph's period is. A buffer size in bytes is a short time at a high
  // rate with wide samples (8192 bytes are 7 ms at 192 kHz, 24 bits, stereo), and periods that
  // short glitch on a busy machine: a buffer of the usual size or larger asks for periods of
  // no less than 10 ms (at most two buffers, so that a ring of several stays a cushion). A
  // smaller buffer was chosen for a short latency and is asked for as it is.
  const int32_t bufferFrames = std::max(bufferBytes / std::max<int>(format.blockAlign, 1), 32);
  int32_t latencyFrames = bufferFrames;
  if (bufferBytes >= kUsualBufferBytes)
    latencyFrames = std::max(bufferFrames, std::min(static_cast<int32_t>(format.samplesPerSec / 100), 2 * bufferFrames));

  pw_thread_loop_lock(loop_);
  DeviceResult result = 0;
  s->core = pw_context_connect(context_, clientProperties(), 0);
  if (s->core == nullptr) {
    pw_thread_loop_unlock(loop_);
    return kNoServer;
  }
  pw_core_add_listener(s->core, &s->coreHook, &coreEvents(), s.get());
  pw_properties* props = pw_properties_new(
      PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Production",
      PW_KEY_MEDIA_CLASS, "Stream/Output/Audio", PW_KEY_NODE_NAME, "Velmora", PW_KEY_APP_NAME, "Velmora",
      PW_KEY_APP_ICON_NAME, "velmora", PW_KEY_APP_ID, "velmora", nullptr);
  // A test signal's level and destination are the program's: the session manager is asked
  // not to restore a volume or a sink it kept for other streams of the same role or program.
  pw_properties_set(props, "state.restore-props", "false");
  pw_properties_set(props, "state.restore-target", "false");
  // Two generators playing at once are told apart by their window's name.
  pw_properties_set(props, PW_KEY_MEDIA_NAME, streamName_.empty() ? "Test signal" : streamName_.c_str());
  const std::string window = streamName_.substr(0, streamName_.find(": "));
  pw_properties_set(props, PW_KEY_NODE_DESCRIPTION, window.empty() ? "Velmora" : window.c_str());
  pw_properties_setf(props, PW_KEY_NODE_LATENCY, "%d/%u", latencyFrames, format.samplesPerSec);
  if (!target.empty()) {
    // A sink chosen by name is that sink: when it goes away the stream is lost rather than
    // moved to another.
    pw_properties_set(props, PW_KEY_TARGET_OBJECT, target.c_str());
    pw_properties_set(props, PW_KEY_NODE_DONT_RECONNECT, "true");
  }
  pw_stream* stream = pw_stream_new(s->core, "Velmora", props);
  if (stream == nullptr) {
    result = -errno;
  } else {
    {
      // The data thread reads the stream's fields under this lock only.
      std::lock_guard lock(s->mutex);
      s->stream = stream;
    }
    pw_stream_add_listener(stream, &s->streamHook, &streamEvents(), s.get());
    const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                    PW_STREAM_FLAG_RT_PROCESS);
    const int r = pw_stream_connect(stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1);
    if (r < 0) result = r;
  }
  if (result == 0) {
    // The server answers with the node (paused) and, once the session manager has linked
    // it, with the format; a refusal comes as an error instead.
    const timespec deadline = deadlineIn(loop_, kAnswerWithinNs);
    while (!(s->formatSet && s->state >= PW_STREAM_STATE_PAUSED) && s->state != PW_STREAM_STATE_ERROR &&
           !s->serverGone) {
      if (pw_thread_loop_timed_wait_full(loop_, const_cast<timespec*>(&deadline)) == -ETIMEDOUT) break;
    }
    if (s->state == PW_STREAM_STATE_ERROR || s->serverGone) {
      result = kRefused;
      lastError_ = s->error.empty() ? "the stream failed" : s->error;
    } else if (s->state < PW_STREAM_STATE_PAUSED) {
      result = device_error::NoAnswer;
    }
  }
  if (result != 0) {
    endStream(*s);  // not closing: posts nothing
    pw_thread_loop_unlock(loop_);
    return result;
  }
  stats_->firstFrameNanos.store(-1, std::memory_order_relaxed);
  notices.post(NoticeKind::Open);
  s->expectSince = nowNanos();
  stream_ = std::move(s);
  armTick(true);
  pw_thread_loop_unlock(loop_);
  return 0;
}

DeviceResult PipeWireDevice::doWrite(const uint8_t* data, int32_t bytes) {
  Stream& s = *stream_;
  std::lock_guard lock(s.mutex);
  if (s.failed) return device_error::DeviceLost;
  if (s.count == s.queue.size()) return device_error::QueueFull;
  s.queue[(s.head + s.count) % s.queue.size()] = Stream::Item{data, bytes};
  ++s.count;
  return 0;
}

DeviceResult PipeWireDevice::doReset() {
  Stream& s = *stream_;
  {
    std::lock_guard lock(s.mutex);
    s.handBackAllLocked();
    s.dry = false;
    s.sinceReset = 0;
  }
  pw_thread_loop_lock(loop_);
  if (s.stream != nullptr) pw_stream_flush(s.stream, false);
  pw_thread_loop_unlock(loop_);
  return 0;
}

DeviceResult PipeWireDevice::doPause() {
  Stream& s = *stream_;
  {
    std::lock_guard lock(s.mutex);
    s.paused = true;
    s.dry = false;
    s.lastTicks = 0;
  }
  pw_thread_loop_lock(loop_);
  s.expectSince = 0;
  if (s.stream != nullptr) pw_stream_set_active(s.stream, false);
  pw_thread_loop_unlock(loop_);
  return 0;
}

DeviceResult PipeWireDevice::doRestart() {
  Stream& s = *stream_;
  pw_thread_loop_lock(loop_);
  if (s.stream != nullptr) pw_stream_set_active(s.stream, true);
  s.expectSince = nowNanos();
  pw_thread_loop_unlock(loop_);
  std::lock_guard lock(s.mutex);
  s.paused = false;
  s.dry = false;
  return 0;
}

DeviceResult PipeWireDevice::doClose() {
  pw_thread_loop_lock(loop_);
  Stream& s = *stream_;
  s.closing = true;
  s.closedAt = nowNanos();
  bool playOut = false;
  {
    std::lock_guard lock(s.mutex);
    if (s.failed) lost_ = true;
    // Buffers still queued were not asked to play; what the server was given plays out.
    s.handBackAllLocked();
    playOut = !s.failed && !s.paused && s.sinceReset > 0;
    s.quit = true;
  }
  if (!playOut) endStream(s);
  closing_.push_back(std::move(stream_));
  pw_thread_loop_unlock(loop_);
  return 0;
}

void PipeWireDevice::doWaitClosed() { collect(true); }

DeviceResult PipeWireDevice::doPosition(uint32_t& samples) {
  samples = stream_->position.load(std::memory_order_relaxed);
  return 0;
}

std::string PipeWireDevice::doErrorText(DeviceResult code) const {
  if (code == kNoServer) return "No PipeWire sound server answers";
  if (code == kRefused) return "The sound server refused the stream: " + lastError_;
  return code < 0 ? std::string(spa_strerror(code)) : "Audio device error " + std::to_string(code);
}

std::string PipeWireDevice::streamWarning() const {
  if (!stream_) return {};
  if (stats_->serverSilent.load(std::memory_order_relaxed))
    return "The sound server does not answer (waiting for it)";
  const int volume = stats_->volumePercent.load(std::memory_order_relaxed);
  if (volume != 100)
    return "The stream's volume in the sound server is " + std::to_string(volume) + " %, not 100 %";
  const uint32_t graph = stats_->graphRate.load(std::memory_order_relaxed);
  const uint32_t own = stats_->streamRate.load(std::memory_order_relaxed);
  if (graph != 0 && own != 0 && graph != own)
    return "The sound server resamples the signal from " + std::to_string(own) + " Hz to " + std::to_string(graph) +
           " Hz";
  return {};
}

std::vector<std::string> PipeWireDevice::doListDevices() {
  std::vector<std::string> texts;
  sinkNames_.clear();
  listed_ = true;
  for (PipeWireSink& sink : pipeWireSinks(kAnswerWithinMs).sinks) {
    sinkNames_.push_back(std::move(sink.name));
    texts.push_back(std::move(sink.description));
  }
  return texts;
}

}  // namespace velmora
