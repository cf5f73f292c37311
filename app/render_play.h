#pragma once
// velmora-render's live output: plays the signal through a sound device until its end,
// or until SIGINT/SIGTERM when it repeats; lists the output devices.

#include "render_cli.h"

namespace velmora {

// Exit status: 0 played (or stopped by a signal while repeating), 2 bad input, 3 the
// device could not start or was lost while playing, 130 (SIGINT) or 143 (SIGTERM) a finite
// signal interrupted; the program ends within a second of the signal whatever the device
// does. A long period is made first, told on a terminal unless `quiet`.
int PlayRequest(const RenderRequest& request, uint32_t seed, bool quiet = false);
int ListDevices();

} // namespace velmora
