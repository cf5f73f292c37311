#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/alsa/alsa_device.h"
#include "audio/audio_device.h"
#include "audio/pipewire/pipewire_device.h"

namespace velmora {

// One entry of the output device list beyond "System Default", with what opens it.
struct SystemOutputChoice {
  enum class Backend { PipeWire, Alsa };
  Backend backend = Backend::Alsa;
  std::string text;    // what the list shows
  std::string target;  // a PipeWire sink's node name, or an ALSA device name
};

// The output devices of this machine, in list order: when a PipeWire server answers, its
// sinks by their descriptions and then the sound cards that ALSA reaches directly;
// otherwise every device ALSA offers (alsaOutputDevices). Touches no device and no widget;
// any thread (ALSA's part is serialised within the process). `pipeWireAnswered`, when
// given, tells whether "System Default" is the server's default sink (else ALSA's default).
std::vector<SystemOutputChoice> systemOutputChoices(bool* pipeWireAnswered = nullptr);

// The program's output device: the PipeWire server's streams where a server answers, ALSA
// where none does and for the sound cards a user picks directly. Id -1 ("System Default")
// is the server's default sink, followed when it changes; without a server it is ALSA's
// default device. Ids 0, 1, ... are the entries of the latest listing (the first open
// lists when nothing has been listed yet).
//
// Threads: as AudioDevice; listDevices may run on any one thread at a time while the owner
// uses the device.
class SystemAudioDevice final : public AudioDevice {
 public:
  SystemAudioDevice() = default;
  ~SystemAudioDevice() override = default;

  uint64_t underruns() const override { return alsa_.underruns() + pipeWire_.underruns(); }
  // The latest stream was lost (its device went away or stopped answering). Owner's thread.
  bool streamLost() const;
  // Whether the latest successful open went to the PipeWire server. Owner's thread.
  bool playingThroughPipeWire() const { return active_ == &pipeWire_; }
  // When the first frames of the latest stream reached the sound system (steady_clock
  // nanoseconds); -1 before. Owner's thread.
  int64_t firstFrameNanos() const;
  // The entry's PipeWire node name or ALSA device name.
  std::string deviceKey(int32_t id) const override;
  // The PipeWire server's sinks coming and going.
  void watchDevices(std::function<void()> changed) override;
  void setStreamName(std::string name) override { pipeWire_.setStreamName(std::move(name)); }
  std::string streamWarning() const override {
    return active_ == &pipeWire_ && pipeWire_.isOpen() ? pipeWire_.streamWarning() : std::string();
  }
  // See PipeWireDevice::setGiveUpAfterMs.
  void setGiveUpAfterMs(int ms) { pipeWire_.setGiveUpAfterMs(ms); }

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
  PipeWireDevice pipeWire_;
  AlsaDevice alsa_;
  AudioDevice* active_ = nullptr;   // the backend of the open (or latest) stream
  AudioDevice* errorOf_ = nullptr;  // the backend whose code errorText explains
  mutable std::mutex listMutex_;
  std::vector<SystemOutputChoice> choices_;
  bool listed_ = false;
  std::unique_ptr<PipeWireSinkWatch> watch_;
};

}  // namespace velmora
