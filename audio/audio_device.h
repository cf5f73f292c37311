#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "audio/device_notice.h"
#include "audio/pcm_format.h"

namespace velmora {

// Result of a device operation: 0 is success, anything else an error code whose text
// `errorText` gives. Codes below come from this layer; a backend adds its own (ALSA's
// are negative errno values).
using DeviceResult = int;
namespace device_error {
constexpr DeviceResult BadFormat = 0x7E01;     // format outside what devices accept
constexpr DeviceResult AlreadyOpen = 0x7E02;   // open while a stream is open
constexpr DeviceResult NotOpen = 0x7E03;       // operation without an open stream
constexpr DeviceResult BadDeviceId = 0x7E04;   // no device with that id
constexpr DeviceResult BadBuffer = 0x7E05;     // null data or negative length
constexpr DeviceResult QueueFull = 0x7E06;     // more buffers handed over than the device holds
constexpr DeviceResult DeviceLost = 0x7E07;    // the device went away while playing
constexpr DeviceResult NoAnswer = 0x7E08;      // the device did not answer an open in time
constexpr DeviceResult NoFloat = 0x7E09;       // the device does not take float samples
constexpr DeviceResult NoSoundServer = 0x7E0A; // the sound server behind the device is not there
}  // namespace device_error

// One output device and its stream: the handful of operations the output engine needs.
// The public operations check their arguments and the open state once, here, so that a
// backend's hooks only ever see a playable format and calls that make sense.
//
// Threads: every operation is called from the owner's thread (the one that drains the
// notice route). Notices may be posted from any thread but are delivered on the owner's.
// Contract, as the engine relies on it:
// - a successful open posts Open; a failed open posts nothing;
// - every buffer handed over by write comes back with exactly one Done, in hand-over
//   order; the memory stays the caller's and must not move until its Done;
// - reset hands back every queued buffer at once (their Done notices are posted);
// - close posts Close once the stream has ended; buffers still queued are handed back first.
class AudioDevice {
 public:
  virtual ~AudioDevice() = default;

  // Opens device `id` (-1: the system's default). `bufferBytes` is the size of the
  // caller's buffers, a hint for the device's own buffering. May allocate.
  DeviceResult open(int32_t id, const PcmFormat& format, int32_t bufferBytes,
                    const NoticeTarget& notices);
  // Hands one buffer to the device. `bytes` may be less than the buffer; a trailing
  // partial frame is not played. Does not allocate.
  DeviceResult write(const uint8_t* data, int32_t bytes);
  DeviceResult reset();
  DeviceResult pause();
  DeviceResult restart();
  DeviceResult close();
  // Samples (frames) played since the open.
  DeviceResult position(uint32_t& samples);
  // Text for a code from any operation; may allocate.
  std::string errorText(DeviceResult code) const;
  // Names of the output devices; id k is entry k. May allocate; owner's thread.
  std::vector<std::string> listDevices();
  // Lists the devices now and keeps the list for the next listDevices, which returns it
  // instead of asking again. Lets a program list on another thread while it is busy with
  // something else (the window's start) and then hand the device to its owner.
  void listDevicesAhead();
  // What identifies entry `id` of the latest listing from one listing to the next (a
  // PipeWire sink's node name, an ALSA device name), so that a choice survives devices
  // coming, going or changing places. Empty where the device cannot tell: the list then
  // goes by the entry's text. Owner's thread.
  virtual std::string deviceKey(int32_t id) const {
    (void)id;
    return {};
  }

  // What is wrong with the open stream right now, in words for the window ("The sound server
  // does not answer"); empty when nothing is or the device cannot tell. Owner's thread.
  virtual std::string streamWarning() const { return {}; }

  // What the streams opened from now on are called where the sound system shows them
  // ("Velmora 2: 1000 Hz Sine"; the part before ": " names the program's window). Empty: the
  // device's own name. Owner's thread, between streams.
  virtual void setStreamName(std::string name) { (void)name; }

  // From now on calls `changed`, on any thread, whenever output devices come or go (as far
  // as the device can tell: a sound server's sinks do); an empty function stops the calls,
  // and a call that is running has ended when this returns. Owner's thread.
  virtual void watchDevices(std::function<void()> changed) { (void)changed; }

  // Blocks until the stream closed last has posted all its notices, so that nothing more
  // is posted to a receiver that is about to go away. Owner's thread.
  void waitClosed() { doWaitClosed(); }

  bool isOpen() const { return open_; }

  // Dropouts (underruns) the device recovered from since it was made; 0 for a device that
  // cannot tell. Owner's thread (a backend may count on its own threads).
  virtual uint64_t underruns() const { return 0; }

 protected:
  virtual DeviceResult doOpen(int32_t id, const PcmFormat& format, int32_t bufferBytes,
                              const NoticeTarget& notices) = 0;
  virtual DeviceResult doWrite(const uint8_t* data, int32_t bytes) = 0;
  virtual DeviceResult doReset() = 0;
  virtual DeviceResult doPause() = 0;
  virtual DeviceResult doRestart() = 0;
  virtual DeviceResult doClose() = 0;
  virtual DeviceResult doPosition(uint32_t& samples) = 0;
  virtual std::string doErrorText(DeviceResult code) const = 0;
  virtual std::vector<std::string> doListDevices() = 0;
  // Devices that post from their own threads wait for them here.
  virtual void doWaitClosed() {}

 private:
  bool open_ = false;
  std::optional<std::vector<std::string>> listedAhead_;
};

}  // namespace velmora
