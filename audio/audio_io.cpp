#include "audio/audio_io.h"

#include <algorithm>
#include <new>

namespace velmora {

TAudioIO::TAudioIO() {
  FWaveFmtEx.formatTag = 1;
  FWaveFmtEx.bitsPerSample = 16;
  FWaveFmtEx.channels = 1;
  FWaveFmtEx.samplesPerSec = 22050;
  RecalcFormat();
  AllocateBuffers();
}

TAudioIO::~TAudioIO() = default;

void TAudioIO::RecalcFormat() {
  FWaveFmtEx.blockAlign = static_cast<uint16_t>(FWaveFmtEx.bitsPerSample / 8 * FWaveFmtEx.channels);
  FWaveFmtEx.avgBytesPerSec = FWaveFmtEx.samplesPerSec * FWaveFmtEx.blockAlign;
  FBufferSize = FRequestedBufferSize - FRequestedBufferSize % FWaveFmtEx.blockAlign;
}

bool TAudioIO::AllocateBuffers() {
  for (auto& b : WaveBuffer) b.reset();
  FAllocatedBuffers = 0;
  FAllocatedBufferSize = 0;
  // The requested size is never below the effective one whatever the format, so a later
  // change of format cannot make the buffers too small.
  const int32_t bytes = FRequestedBufferSize;
  for (int32_t i = 0; i < FNumBuffers; ++i) {
    WaveBuffer[i].reset(new (std::nothrow) uint8_t[bytes]());
    if (!WaveBuffer[i]) {
      for (auto& b : WaveBuffer) b.reset();
      FErrorMessage = audio_text::kBufferAlloc;
      return false;
    }
  }
  FAllocatedBuffers = FNumBuffers;
  FAllocatedBufferSize = bytes;
  return true;
}

void TAudioIO::setBufferSize(int32_t value) {
  FRequestedBufferSize = std::max(value, 512);
  RecalcFormat();
  if (!BuffersInUse()) AllocateBuffers();
}

void TAudioIO::setNumBuffers(int32_t value) { FNumBuffers = std::clamp(value, 2, kMaxBuffers); }

void TAudioIO::setFrameRate(int32_t value) {
  FWaveFmtEx.samplesPerSec = static_cast<uint32_t>(value);
  RecalcFormat();
}

void TAudioIO::setStereo(bool value) {
  FWaveFmtEx.channels = value ? 2 : 1;
  RecalcFormat();
}

void TAudioIO::setQuantization(uint16_t value) {
  // 32 bits are IEEE float samples (format tag 3); integer samples have at most 24.
  FWaveFmtEx.formatTag = value == 32 ? kPcmFormatFloat : kPcmFormatInteger;
  FWaveFmtEx.bitsPerSample = value == 32 ? 32 : std::clamp<uint16_t>(value, 8, 24);
  RecalcFormat();
}

void TAudioIO::StopAtOnce() {
  FActive = false;
  ContinueProcessing = false;
}

void TAudioIO::StopGracefully() { ContinueProcessing = false; }

}  // namespace velmora
