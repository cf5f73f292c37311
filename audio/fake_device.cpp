#include "audio/fake_device.h"

namespace velmora {

FakeDevice::FakeDevice(std::vector<std::string> names) : names_(std::move(names)) {}

DeviceResult FakeDevice::doOpen(int32_t id, const PcmFormat& format, int32_t,
                                const NoticeTarget& notices) {
  if (openFailure_ != 0) {
    const DeviceResult r = openFailure_;
    openFailure_ = 0;
    return r;
  }
  if (id >= static_cast<int32_t>(names_.size())) return device_error::BadDeviceId;
  id_ = id;
  format_ = format;
  target_ = notices;
  framesPlayed_ = 0;
  paused_ = false;
  lost_ = false;
  ++opens_;
  target_.post(NoticeKind::Open);
  return 0;
}

DeviceResult FakeDevice::doWrite(const uint8_t* data, int32_t bytes) {
  if (lost_) return device_error::DeviceLost;
  if (writesUntilFailure_ == 0) {
    writesUntilFailure_ = -1;
    return writeFailure_;
  }
  if (writesUntilFailure_ > 0) --writesUntilFailure_;
  queue_.push_back({data, bytes});
  ++writes_;
  return 0;
}

int FakeDevice::complete(int count) {
  int done = 0;
  while (done < count && !paused_ && !queue_.empty()) {
    const Pending p = queue_.front();
    queue_.pop_front();
    // Copied now, not at the write, so that a buffer changed while queued shows up.
    const int32_t whole = p.bytes - p.bytes % format_.blockAlign;
    played_.insert(played_.end(), p.data, p.data + whole);
    framesPlayed_ += static_cast<uint64_t>(whole / format_.blockAlign);
    target_.post(NoticeKind::Done);
    ++done;
  }
  return done;
}

void FakeDevice::handBackAll() {
  while (!queue_.empty()) {
    queue_.pop_front();
    target_.post(NoticeKind::Done);
  }
}

void FakeDevice::disappear() {
  if (!isOpen()) return;
  lost_ = true;
  handBackAll();
}

DeviceResult FakeDevice::doReset() {
  ++resets_;
  handBackAll();
  return 0;
}

DeviceResult FakeDevice::doPause() {
  paused_ = true;
  return 0;
}

DeviceResult FakeDevice::doRestart() {
  paused_ = false;
  return 0;
}

DeviceResult FakeDevice::doClose() {
  if (!queue_.empty()) {
    ++closedWithQueued_;
    handBackAll();
  }
  paused_ = false;
  ++closes_;
  target_.post(NoticeKind::Close);
  return 0;
}

DeviceResult FakeDevice::doPosition(uint32_t& samples) {
  samples = static_cast<uint32_t>(framesPlayed_);
  return 0;
}

std::string FakeDevice::doErrorText(DeviceResult code) const {
  if (code == kRefused) return "The fake device refused";
  return "Fake device error " + std::to_string(code);
}

}  // namespace velmora
