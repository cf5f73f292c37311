#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/audio_device.h"

struct pw_thread_loop;
struct pw_context;
struct spa_source;

namespace velmora {

// One sink of the PipeWire server: its node name (what a stream targets) and the text the
// desktop's sound settings show for it.
struct PipeWireSink {
  std::string name;
  std::string description;
};

// What the session's PipeWire server reports about its sinks.
struct PipeWireSinks {
  bool answered = false;            // a server was reached and answered in time
  std::vector<PipeWireSink> sinks;  // the Audio/Sink nodes, in the server's id order
};

// Asks the session's PipeWire server for its sinks, waiting at most `answerWithinMs`.
// Every call has a connection and a loop of its own: any thread, several at once.
PipeWireSinks pipeWireSinks(int answerWithinMs = 800);

// Watches the session's PipeWire server for sinks that come or go and calls `changed` after
// each such change, on a thread of its own, with no lock of the caller held. The sinks there
// at the start call nothing; a server that goes away calls once. Without a server to connect
// to it watches nothing. Make and destroy on one thread; the destructor waits for a call that
// is running.
class PipeWireSinkWatch {
 public:
  explicit PipeWireSinkWatch(std::function<void()> changed);
  ~PipeWireSinkWatch();
  PipeWireSinkWatch(const PipeWireSinkWatch&) = delete;
  PipeWireSinkWatch& operator=(const PipeWireSinkWatch&) = delete;
  // A server answered and is being watched.
  bool watching() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// The PipeWire output device: each stream is a node of its own ("Velmora", with the
// application's name, icon and media role) that the session manager links to the chosen
// sink, or to the server's default sink (and on to a new default when it changes).
//
// The stream carries the engine's samples in their own format (16-bit, packed 24-bit or
// 32-bit float, interleaved), so a sink at the same rate receives them unchanged. The
// engine's ring stays the cushion: the node asks for a graph period of at most one engine
// buffer, and a buffer's Done is posted once its last frame went to the server.
//
// Threads: the AudioDevice operations from the owner's thread. The device keeps one
// PipeWire thread loop; each stream has a connection of its own, so a server that freezes
// or goes away touches only the streams it holds. The process callback runs on PipeWire's
// data thread, takes only the hand-over lock and allocates nothing. No call of the owner
// waits for the server for longer than kAnswerWithinMs: a stream whose server stops asking
// for data while playing is given up (queued buffers handed back, later writes fail with
// device_error::DeviceLost, Close posted) once it has not answered for setGiveUpAfterMs
// (10 s unless set; meanwhile streamWarning says the server does not answer, and the stream
// plays on when it answers again), and an open without answer fails with
// device_error::NoAnswer. The stream asks the session manager not to restore a volume or a
// target it kept for other streams, and sets a volume restored all the same back to 100 %.
class PipeWireDevice final : public AudioDevice {
 public:
  // The open of id -1 (or any id) found no server to connect to.
  static constexpr DeviceResult kNoServer = 0x7E21;
  // The server refused the stream; errorText gives the server's reason.
  static constexpr DeviceResult kRefused = 0x7E22;

  static constexpr int kAnswerWithinMs = 800;
  // The output settings' usual buffer size: buffers this large or larger never ask the
  // server for periods below 10 ms (see doOpen).
  static constexpr int32_t kUsualBufferBytes = 8192;

  PipeWireDevice();
  ~PipeWireDevice() override;

  // Periods in the middle of a stream that found the engine's ring empty, and periods of the
  // server's graph that passed the stream by (the server's xruns, seen as jumps of its clock).
  uint64_t underruns() const override { return stats_->underruns.load(std::memory_order_relaxed); }
  // A stream of this device was lost since the last open. Owner's thread.
  bool streamLost() const;
  // When the first frames of the latest stream went to the server, in steady_clock
  // nanoseconds since its epoch, plus the server's delay to its device; -1 before. Any thread.
  int64_t firstFrameNanos() const { return stats_->firstFrameNanos.load(std::memory_order_relaxed); }
  // The sink that id -1 opens (a node name); empty, as at first: the server's default sink,
  // followed when it changes. Ids 0, 1, ... open the sinks of the latest listing. Owner's
  // thread, between streams.
  void setDefaultTarget(std::string nodeName) { defaultTarget_ = std::move(nodeName); }
  // The stream's media name, and its node's description (the part before ": ").
  void setStreamName(std::string name) override { streamName_ = std::move(name); }
  // Whether a server's socket is there to connect to (no connection is made). Any thread.
  static bool serverSocketPresent();

  struct Stats {
    std::atomic<uint64_t> underruns{0};
    std::atomic<int64_t> firstFrameNanos{-1};
    // The open stream as the server has it: not asking for data for longer than
    // kAnswerWithinMs, its volume in per cent (mute: 0), the graph's rate (0: not known).
    std::atomic<bool> serverSilent{false};
    std::atomic<int> volumePercent{100};
    std::atomic<uint32_t> graphRate{0};
    std::atomic<uint32_t> streamRate{0};
  };
  // What is wrong with the open stream now: the server does not answer, its volume is not
  // 100 %, or the server resamples it. Owner's thread.
  std::string streamWarning() const override;
  // How long a playing stream waits for a server that stopped asking for data (frozen,
  // overloaded) before it is given up; meanwhile streamWarning says so and the stream plays
  // on when the server answers again. Owner's thread, between streams.
  void setGiveUpAfterMs(int ms) { giveUpAfterNs_ = int64_t{ms} * 1000000; }
  static constexpr int kGiveUpAfterMs = 10000;
  struct Stream;

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
  bool startLoop();
  // Loop thread: gives up streams whose server stopped, tears down streams that ended.
  static void onTick(void* data, uint64_t expirations);
  // With the loop locked: (dis)arms the look at the streams every 100 ms.
  void armTick(bool on);
  // With the loop locked: destroys the stream's objects and posts its Close (once).
  void endStream(Stream& s);
  // Frees finished streams; waits (bounded) for those still playing out when `wait`.
  void collect(bool wait);

  pw_thread_loop* loop_ = nullptr;
  pw_context* context_ = nullptr;
  spa_source* tick_ = nullptr;
  spa_source* wake_ = nullptr;
  std::unique_ptr<Stream> stream_;              // the open stream
  std::list<std::unique_ptr<Stream>> closing_;  // closed, playing out or ended
  std::vector<std::string> sinkNames_;
  std::string defaultTarget_;
  std::string streamName_;
  int64_t giveUpAfterNs_ = int64_t{kGiveUpAfterMs} * 1000000;
  bool listed_ = false;
  bool lost_ = false;
  std::string lastError_;  // the server's words for the latest kRefused
  std::shared_ptr<Stats> stats_ = std::make_shared<Stats>();
};

}  // namespace velmora
