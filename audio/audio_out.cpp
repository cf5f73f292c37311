#include "audio/audio_out.h"

#include <algorithm>

namespace velmora {

void TCallBackWinOut::handleNotice(NoticeKind kind, uint32_t stream) {
  TAudioOut& engine = AudioComponent;
  switch (kind) {
    // Open and close are reported for every stream, also one closed long ago, so that the
    // owner's on and off states always pair up.
    case NoticeKind::Open:
      if (engine.OnStart) engine.OnStart();
      break;
    case NoticeKind::Close:
      if (engine.OnStop) engine.OnStop();
      break;
    case NoticeKind::Done:
      engine.BufferDone(stream);
      break;
  }
}

TAudioOut::TAudioOut(AudioDevice& device) : device_(device), CallBackWin(*this) {}

TAudioOut::~TAudioOut() {
  // The device would otherwise go on reading buffers that are about to be freed.
  if (FWaveDeviceOpen) StopAtOnce();
  device_.waitClosed();
  if (route_ != nullptr) route_->forget(&CallBackWin);
}

bool TAudioOut::Start(NoticeRoute& TS) {
  if (!OpenDevice(TS)) return false;
  return BeginPlayback(FStream);
}

bool TAudioOut::OpenDevice(NoticeRoute& TS) {
  if (FWaveDeviceOpen) {
    FErrorMessage = audio_text::kAlreadyOpen;
    return false;
  }
  BufIndex = 0;
  FStreamFailed = false;
  RecalcFormat();
  if (FAllocatedBuffers < FNumBuffers || FAllocatedBufferSize < FBufferSize) {
    // NumBuffers was raised (or an allocation failed) after the last BufferSize.
    if (!AllocateBuffers()) return false;
  }
  if (route_ != nullptr && route_ != &TS) route_->forget(&CallBackWin);
  route_ = &TS;
  const uint32_t stream = ++FStream;
  const DeviceResult opened = device_.open(static_cast<int32_t>(FWaveDevice), FWaveFmtEx,
                                           FBufferSize, NoticeTarget{&TS, &CallBackWin, stream});
  if (opened != 0) {
    FErrorMessage = device_.errorText(opened);
    return false;
  }
  FWaveDeviceOpen = true;

  FStreamBuffers = FNumBuffers;
  FStreamBufferSize = FBufferSize;
  FStreamRate = FWaveFmtEx.samplesPerSec;
  FStreamFrames = 0;
  FStreamFrameBytes = FWaveFmtEx.blockAlign;
  for (int32_t i = 0; i < FStreamBuffers; ++i) WaveHdr[i] = WaveHeader{WaveBuffer[i].get(), FBufferSize};

  FFilledBuffers = FQueuedBuffers = FProcessedBuffers = 0;
  ContinueProcessing = true;
  FActive = true;
  if (!FillOneBuffer(0, FStreamBufferSize)) {
    CloseDevice();
    FErrorMessage = audio_text::kNoFilledBuffer;
    return false;
  }
  // Priming hands over every buffer after the first whatever the fill answered, so a
  // signal shorter than the ring still fills it.
  for (int32_t i = 1; i < FStreamBuffers; ++i) FillOneBuffer(i, FStreamBufferSize);
  return true;
}

bool TAudioOut::BeginPlayback(uint32_t stream) {
  // The fill event may have stopped the engine during priming: the stream is over and
  // nothing is to be handed to a closed device.
  if (StreamGone(stream)) return true;
  FActive = true;
  if (FPaused) device_.pause();  // the ring goes to the device but stays silent
  if (!QueueNextBuffer()) {
    const std::string why = FErrorMessage;
    CloseDevice();
    FErrorMessage = why;
    FStreamFailed = false;  // the failed start reports it
    return false;
  }
  for (int32_t i = 1; i < FStreamBuffers; ++i) {
    if (!QueueNextBuffer()) break;  // now Draining; ErrorMessage holds the device's text
  }
  return true;
}

bool TAudioOut::FillOneBuffer(int32_t index, int32_t size) {
  if (!ContinueProcessing || !OnFillBuffer) return false;
  int32_t Size = size;
  const bool result = OnFillBuffer(WaveHdr[index].data, Size);
  // A handler that claims more than the buffer holds must not make the device read
  // past its end.
  WaveHdr[index].length = std::clamp(Size, 0, size);
  return result;
}

bool TAudioOut::QueueNextBuffer() {
  const WaveHeader& h = WaveHdr[BufIndex];
  const DeviceResult written = device_.write(h.data, h.length);
  if (written != 0) {
    FErrorMessage = device_.errorText(written);
    FStreamFailed = true;
    StopGracefully();
    return false;
  }
  ++FFilledBuffers;
  if (FStreamFrameBytes > 0) FStreamFrames += static_cast<uint64_t>(h.length / FStreamFrameBytes);
  FQueuedBuffers = FFilledBuffers - FProcessedBuffers;
  BufIndex = (BufIndex + 1) % FStreamBuffers;
  return true;
}

void TAudioOut::BufferDone(uint32_t stream) {
  // Buffers handed back by a reset arrive after their stream was closed.
  if (StreamGone(stream)) return;
  ++FProcessedBuffers;
  FQueuedBuffers = FFilledBuffers - FProcessedBuffers;
  // Buffers come back in ring order and fewer than the ring length are at the device
  // now, so the buffer at BufIndex is one the device has handed back.
  const bool filled = FillOneBuffer(BufIndex, FStreamBufferSize);
  if (StreamGone(stream)) return;  // the fill event stopped the engine
  if (filled) QueueNextBuffer();
  FActive = FQueuedBuffers > 0;
  if (FQueuedBuffers == 0) {
    ContinueProcessing = false;
    CloseDevice();
  }
}

DeviceResult TAudioOut::CloseDevice() {
  if (!FWaveDeviceOpen) return 0;
  FActive = false;
  FPaused = false;
  const DeviceResult closed = device_.close();
  FWaveDeviceOpen = false;
  return closed;
}

void TAudioOut::StopAtOnce() {
  if (!FWaveDeviceOpen) return;
  FActive = false;
  ContinueProcessing = false;
  device_.reset();
  CloseDevice();
}

void TAudioOut::StopGracefully() {
  if (FWaveDeviceOpen) ContinueProcessing = false;
}

void TAudioOut::setPaused(bool value) {
  FPaused = value;
  if (FActive) {
    if (value)
      device_.pause();
    else
      device_.restart();
  }
}

double TAudioOut::ElapsedTime() {
  uint32_t samples = 0;
  if (!FActive || device_.position(samples) != 0 || FStreamRate == 0) return 0.0;
  return static_cast<double>(samples) / static_cast<double>(FStreamRate);
}

int64_t TAudioOut::FramesAhead() {
  uint32_t played = 0;
  if (!FWaveDeviceOpen || device_.position(played) != 0) return 0;
  // The device counts in 32 bits: it wraps after some hours at the highest rates, while
  // what it holds is never more than a few seconds.
  const auto ahead = static_cast<int32_t>(static_cast<uint32_t>(FStreamFrames) - played);
  return std::max<int64_t>(ahead, 0);
}

}  // namespace velmora
