#include "audio/audio_device.h"

namespace velmora {

DeviceResult AudioDevice::open(int32_t id, const PcmFormat& format, int32_t bufferBytes,
                               const NoticeTarget& notices) {
  if (open_) return device_error::AlreadyOpen;
  if (!isPlayableFormat(format)) return device_error::BadFormat;
  if (id < -1) return device_error::BadDeviceId;
  if (notices.route == nullptr || notices.receiver == nullptr) return device_error::BadBuffer;
  const DeviceResult r = doOpen(id, format, bufferBytes, notices);
  open_ = r == 0;
  return r;
}

DeviceResult AudioDevice::write(const uint8_t* data, int32_t bytes) {
  if (!open_) return device_error::NotOpen;
  if (bytes < 0 || (data == nullptr && bytes > 0)) return device_error::BadBuffer;
  return doWrite(data, bytes);
}

DeviceResult AudioDevice::reset() { return open_ ? doReset() : device_error::NotOpen; }
DeviceResult AudioDevice::pause() { return open_ ? doPause() : device_error::NotOpen; }
DeviceResult AudioDevice::restart() { return open_ ? doRestart() : device_error::NotOpen; }

DeviceResult AudioDevice::close() {
  if (!open_) return device_error::NotOpen;
  open_ = false;
  return doClose();
}

DeviceResult AudioDevice::position(uint32_t& samples) {
  samples = 0;
  return open_ ? doPosition(samples) : device_error::NotOpen;
}

std::string AudioDevice::errorText(DeviceResult code) const {
  switch (code) {
    case 0: return "No error";
    case device_error::BadFormat:
      return "The audio format is not supported (16 or 24 bits or 32-bit float, 1 or 2 channels, "
             "8000 to 384000 Hz)";
    case device_error::AlreadyOpen: return "The audio device is already open";
    case device_error::NotOpen: return "The audio device is not open";
    case device_error::BadDeviceId: return "There is no audio output device with this number";
    case device_error::BadBuffer: return "Invalid audio buffer";
    case device_error::QueueFull: return "Too many buffers handed to the audio device";
    case device_error::DeviceLost: return "The audio device is no longer available";
    case device_error::NoAnswer: return "The audio device does not answer";
    case device_error::NoFloat:
      return "The audio device does not take 32-bit float samples; choose 16 or 24 bits";
    default: return doErrorText(code);
  }
}

std::vector<std::string> AudioDevice::listDevices() { return doListDevices(); }

}  // namespace velmora
