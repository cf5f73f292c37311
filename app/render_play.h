#pragma once
// velmora-render's live output: plays the signal through a sound device until its end,
// or until SIGINT/SIGTERM when it repeats; lists the output devices.

#include "render_cli.h"

#include <cstdint>
#include <optional>

namespace velmora {

// Exit status: 0 played (or stopped by a signal while repeating), 2 bad input, 3 the
// device could not start or was lost while playing, 130 (SIGINT) or 143 (SIGTERM) a finite
// signal interrupted; the program ends within a second of the signal whatever the device
// does. A long period is made first, told on a terminal unless `quiet`.
int PlayRequest(const RenderRequest& request, uint32_t seed, bool quiet = false);
int ListDevices();

class SystemAudioDevice;
// The device id that --device asks for: its number, or the entry whose name (with or without
// "pipewire:", as --list-devices shows it) or description is the one given; -1 without
// --device. Lists the devices for a name. Empty, with the error said on stderr, when no
// device has the name.
std::optional<int32_t> RequestedDevice(const RenderRequest& request, SystemAudioDevice& device);

} // namespace velmora
