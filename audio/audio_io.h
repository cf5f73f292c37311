#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/pcm_format.h"

namespace velmora {

// One buffer as it is handed to the device (the WAVEHDR of the ring).
struct WaveHeader {
  uint8_t* data = nullptr;
  int32_t length = 0;  // bytes to play
};

// Failure texts the engine leaves in ErrorMessage.
namespace audio_text {
inline constexpr const char* kAlreadyOpen = "Wave output device is already open";
inline constexpr const char* kNoFilledBuffer = "There must be at least one filled buffer";
inline constexpr const char* kBufferAlloc = "Error allocating wave buffer memory";
}  // namespace audio_text

// Format, buffer and counter part of the output engine: the settings a caller makes
// before a start, the buffer memory, and the two stop operations.
//
// Threads: the owner's thread only (the one that drains the notice route); nothing here
// is locked. Setting BufferSize allocates; nothing else does.
class TAudioIO {
 public:
  using Notification = std::function<void()>;
  static constexpr int kMaxBuffers = 4;

  TAudioIO();
  virtual ~TAudioIO();
  TAudioIO(const TAudioIO&) = delete;
  TAudioIO& operator=(const TAudioIO&) = delete;

  // Effective size: the requested size (at least 512) less any partial frame.
  int32_t BufferSize() const { return FBufferSize; }
  // Allocates NumBuffers buffers of the new size (set NumBuffers first). While a stream is
  // open the memory the device reads is kept and the new size takes effect at the next
  // start. On failure ErrorMessage says so and no buffer is left.
  void setBufferSize(int32_t value);
  int32_t NumBuffers() const { return FNumBuffers; }
  void setNumBuffers(int32_t value);  // clamped to 2..4
  int32_t FrameRate() const { return static_cast<int32_t>(FWaveFmtEx.samplesPerSec); }
  void setFrameRate(int32_t value);  // not clamped; the device refuses what it cannot play
  bool Stereo() const { return FWaveFmtEx.channels == 2; }
  void setStereo(bool value);
  uint16_t Quantization() const { return FWaveFmtEx.bitsPerSample; }
  void setQuantization(uint16_t value);  // clamped to 8..24
  // Device id; 0xFFFFFFFF (-1) is the system's default device.
  uint32_t WaveDevice() const { return FWaveDevice; }
  void setWaveDevice(uint32_t value) { FWaveDevice = value; }

  const PcmFormat& WaveFormat() const { return FWaveFmtEx; }
  const std::string& ErrorMessage() const { return FErrorMessage; }
  // A stream is playing (also while it drains or is paused).
  bool Active() const { return FActive; }
  int32_t FilledBuffers() const { return FFilledBuffers; }
  int32_t QueuedBuffers() const { return FQueuedBuffers; }
  int32_t ProcessedBuffers() const { return FProcessedBuffers; }

  // Raised on the owner's thread when the device reports it opened / closed.
  Notification OnStart;
  Notification OnStop;

  virtual void StopAtOnce();
  virtual void StopGracefully();

 protected:
  void RecalcFormat();
  // True while the device may be reading the buffers, so they must not be re-allocated.
  virtual bool BuffersInUse() const { return false; }
  // Frees every buffer and allocates NumBuffers of the requested size. Owner's thread.
  bool AllocateBuffers();

  int32_t FBufferSize = 0;
  int32_t FRequestedBufferSize = 8192;
  int32_t FNumBuffers = 4;
  PcmFormat FWaveFmtEx;
  uint32_t FWaveDevice = 0xFFFFFFFF;
  std::array<WaveHeader, kMaxBuffers> WaveHdr{};
  std::array<std::unique_ptr<uint8_t[]>, kMaxBuffers> WaveBuffer;
  int32_t FAllocatedBuffers = 0;      // buffers in WaveBuffer
  int32_t FAllocatedBufferSize = 0;   // bytes in each of them
  int32_t BufIndex = 0;
  bool ContinueProcessing = false;
  bool FPaused = false;
  std::string FErrorMessage;
  bool FActive = false;
  int32_t FFilledBuffers = 0;
  int32_t FQueuedBuffers = 0;
  int32_t FProcessedBuffers = 0;
};

}  // namespace velmora
