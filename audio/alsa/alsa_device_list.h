#pragma once

#include <vector>

#include "audio/device_list.h"

namespace velmora {

// What ALSA reports right now: the PCM hints of its configuration and the playback devices
// of the sound cards present. May allocate; any one thread at a time (ALSA's configuration
// is global).
std::vector<PcmHint> alsaPcmHints();
std::vector<CardPlayback> alsaCardPlaybacks();

// The playable devices among them (playableOutputDevices), in list order.
std::vector<OutputDeviceChoice> alsaOutputDevices();

}  // namespace velmora
