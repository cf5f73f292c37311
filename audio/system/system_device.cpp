#include "audio/system/system_device.h"

#include "audio/alsa/alsa_device_list.h"


namespace velmora {

namespace {
// ALSA's configuration is global: one listing at a time.
std::mutex g_alsaListing;
}  // namespace

std::vector<SystemOutputChoice> systemOutputChoices(bool* pipeWireAnswered) {
  std::vector<SystemOutputChoice> choices;
  const PipeWireSinks server = pipeWireSinks(PipeWireDevice::kAnswerWithinMs);
  if (pipeWireAnswered != nullptr) *pipeWireAnswered = server.answered;
  for (const PipeWireSink& sink : server.sinks)
    choices.push_back({SystemOutputChoice::Backend::PipeWire, sink.description, sink.name});
  std::vector<OutputDeviceChoice> alsa;
  {
    std::lock_guard lock(g_alsaListing);
    // With the server answering, ALSA's own routes to a sound server lead back to it: only
    // the cards are listed.
    alsa = server.answered ? playableOutputDevices({}, alsaCardPlaybacks()) : alsaOutputDevices();
  }
  for (OutputDeviceChoice& c : alsa)
    choices.push_back({SystemOutputChoice::Backend::Alsa, std::move(c.text), std::move(c.pcm)});
  return choices;
}

bool SystemAudioDevice::streamLost() const {
  if (active_ == &pipeWire_) return pipeWire_.streamLost();
  if (active_ == &alsa_) return alsa_.streamLost();
  return false;
}

int64_t SystemAudioDevice::firstFrameNanos() const {
  if (active_ == &pipeWire_) return pipeWire_.firstFrameNanos();
  if (active_ == &alsa_) return alsa_.firstWriteNanos();
  return -1;
}

std::string SystemAudioDevice::deviceKey(int32_t id) const {
  std::lock_guard lock(listMutex_);
  if (id < 0 || id >= static_cast<int32_t>(choices_.size())) return {};
  return choices_[static_cast<std::size_t>(id)].target;
}

void SystemAudioDevice::watchDevices(std::function<void()> changed) {
  watch_.reset();
  if (changed) watch_ = std::make_unique<PipeWireSinkWatch>(std::move(changed));
}

std::vector<std::string> SystemAudioDevice::doListDevices() {
  std::vector<SystemOutputChoice> choices = systemOutputChoices();
  std::vector<std::string> texts;
  for (const SystemOutputChoice& c : choices) texts.push_back(c.text);
  std::lock_guard lock(listMutex_);
  choices_ = std::move(choices);
  listed_ = true;
  return texts;
}

DeviceResult SystemAudioDevice::doOpen(int32_t id, const PcmFormat& format, int32_t bufferBytes,
                                       const NoticeTarget& notices) {
  SystemOutputChoice choice;  // id -1: the server's default sink, else ALSA's default
  choice.backend = SystemOutputChoice::Backend::PipeWire;
  if (id >= 0) {
    bool listed = false;
    {
      std::lock_guard lock(listMutex_);
      listed = listed_;
    }
    if (!listed) doListDevices();
    std::lock_guard lock(listMutex_);
    if (id >= static_cast<int32_t>(choices_.size())) return device_error::BadDeviceId;
    choice = choices_[static_cast<std::size_t>(id)];
  }
  // The previous stream must have let go of its device, whichever backend had it.
  alsa_.waitClosed();
  pipeWire_.waitClosed();
  DeviceResult r = PipeWireDevice::kNoServer;
  if (choice.backend == SystemOutputChoice::Backend::PipeWire) {
    pipeWire_.setDefaultTarget(choice.target);
    r = pipeWire_.open(-1, format, bufferBytes, notices);
    errorOf_ = &pipeWire_;
    if (r == 0) active_ = &pipeWire_;
    // A sink picked from the list whose server has gone is an error; the default falls
    // back to ALSA's.
    if (r != PipeWireDevice::kNoServer || id >= 0) return r;
  }
  alsa_.setDefaultPcm(choice.backend == SystemOutputChoice::Backend::Alsa ? choice.target : "default");
  r = alsa_.open(-1, format, bufferBytes, notices);
  errorOf_ = &alsa_;
  if (r == 0) active_ = &alsa_;
  return r;
}

DeviceResult SystemAudioDevice::doWrite(const uint8_t* data, int32_t bytes) { return active_->write(data, bytes); }
DeviceResult SystemAudioDevice::doReset() { return active_->reset(); }
DeviceResult SystemAudioDevice::doPause() { return active_->pause(); }
DeviceResult SystemAudioDevice::doRestart() { return active_->restart(); }
DeviceResult SystemAudioDevice::doClose() { return active_->close(); }
DeviceResult SystemAudioDevice::doPosition(uint32_t& samples) { return active_->position(samples); }

void SystemAudioDevice::doWaitClosed() {
  alsa_.waitClosed();
  pipeWire_.waitClosed();
}

std::string SystemAudioDevice::doErrorText(DeviceResult code) const {
  const AudioDevice* backend = errorOf_ != nullptr ? errorOf_ : active_;
  if (backend == nullptr) backend = &alsa_;
  // Backend codes go to the backend; errorText answers the common ones itself.
  return backend->errorText(code);
}

}  // namespace velmora
