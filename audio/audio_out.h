#pragma once

#include <cstdint>
#include <functional>

#include "audio/audio_device.h"
#include "audio/audio_io.h"
#include "audio/device_notice.h"

namespace velmora {

class TAudioOut;

// Idle: no device open. Playing: open and asking for data. Draining: open, no more fills,
// buffers still at the device.
enum class AudioOutState { Idle, Playing, Draining };

// Receives the device's notices for the engine and forwards them to it. One per engine;
// notices of streams that are already closed are recognised by their stream number.
class TCallBackWinOut final : public NoticeReceiver {
 public:
  explicit TCallBackWinOut(TAudioOut& engine) : AudioComponent(engine) {}
  // Owner's thread, from the notice route.
  void handleNotice(NoticeKind kind, uint32_t stream) override;

 private:
  TAudioOut& AudioComponent;
};

// The wave output engine: plays an endless PCM stream through one device from a ring of
// 2 to 4 buffers that the fill event refills as the device hands them back.
//
// Threads: everything runs on the owner's thread, the one that drains the notice route
// given to Start; the events are raised there too. Start may allocate (buffers whose size
// or number changed since the last assignment of BufferSize); playing allocates nothing.
//
// Use: set Stereo, Quantization, FrameRate, NumBuffers, then BufferSize; assign
// OnFillBuffer (and OnStart/OnStop); Start(route); keep draining the route. The stream
// ends with StopAtOnce, StopGracefully, or when the fill event declines and the last
// buffer has come back; OnStop follows the close.
class TAudioOut final : public TAudioIO {
 public:
  // Fills `buffer` with up to `size` bytes of interleaved PCM frames; may lower `size`.
  // Returns true when the buffer is to be played. Owner's thread; should not allocate.
  using TBufferEvent = std::function<bool(uint8_t* buffer, int32_t& size)>;

  // `device` must outlive the engine.
  explicit TAudioOut(AudioDevice& device);
  // Ends a stream that is still open at once; its remaining notices are dropped.
  ~TAudioOut() override;

  // Opens the device, fills the whole ring and hands it over. Notices go through `TS`,
  // which must outlive the stream. false: ErrorMessage says why.
  bool Start(NoticeRoute& TS);
  // Ends the stream now; queued buffers are dropped. Nothing happens while Idle.
  void StopAtOnce() override;
  // Asks for no more data; what is at the device still plays, then the device closes.
  void StopGracefully() override;
  bool Paused() const { return FPaused; }
  // Pauses or resumes the stream; while Idle it makes the next stream start paused.
  void setPaused(bool value);
  // Seconds played in this stream; 0 while Idle.
  double ElapsedTime();
  // Frames handed to the device in this stream that it has not played yet: how far what is
  // heard lags behind the newest fill. 0 while Idle.
  int64_t FramesAhead();

  bool WaveDeviceOpen() const { return FWaveDeviceOpen; }
  // The latest stream was cut short by the device after it started (a write refused: the
  // device was lost); ErrorMessage says why. A start that fails says so itself and leaves
  // this false. Cleared by the next start.
  bool StreamFailed() const { return FStreamFailed; }
  AudioOutState State() const {
    if (!FWaveDeviceOpen) return AudioOutState::Idle;
    return ContinueProcessing ? AudioOutState::Playing : AudioOutState::Draining;
  }
  AudioDevice& Device() { return device_; }

  TBufferEvent OnFillBuffer;

 protected:
  bool BuffersInUse() const override { return FWaveDeviceOpen; }

 private:
  friend class TCallBackWinOut;

  bool OpenDevice(NoticeRoute& TS);
  bool BeginPlayback(uint32_t stream);
  bool FillOneBuffer(int32_t index, int32_t size);
  bool QueueNextBuffer();
  void BufferDone(uint32_t stream);
  DeviceResult CloseDevice();
  bool StreamGone(uint32_t stream) const { return !FWaveDeviceOpen || stream != FStream; }

  AudioDevice& device_;
  TCallBackWinOut CallBackWin;
  NoticeRoute* route_ = nullptr;  // route of the latest stream, to drop its notices on exit
  bool FWaveDeviceOpen = false;
  uint32_t FStream = 0;           // number of the current (or last) stream
  int32_t FStreamBuffers = 0;     // ring length of the open stream
  int32_t FStreamBufferSize = 0;  // buffer size of the open stream
  uint32_t FStreamRate = 0;
  bool FStreamFailed = false;
  uint64_t FStreamFrames = 0;     // frames handed to the device in the open stream
  uint16_t FStreamFrameBytes = 0;
};

}  // namespace velmora
