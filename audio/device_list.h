#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_device.h"

namespace velmora {

// Text of entry 0 of the device list: the system's default output.
inline constexpr const char* kSystemDefaultDevice = "System Default";

// The entries of the output device list: "System Default", then every device the layer
// reports, in id order. Owner's thread; allocates.
std::vector<std::string> outputDeviceEntries(AudioDevice& device);

// The device id for a list position: position - 1, so entry 0 gives -1 (the default
// device) and "no selection" (-1) gives -2, which no device accepts.
constexpr int32_t deviceIdForEntry(int position) { return position - 1; }

}  // namespace velmora
