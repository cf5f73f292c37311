#pragma once
// velmora-render --play --script FILE.zrs: runs a script without a display, with the same
// runner as the window. 'pause' prints its text and waits for Enter when standard input is
// a terminal, and goes on at once when it is not.

#include <cstdint>

#include "render_cli.h"

namespace velmora {

// Exit status: 0 the script reached its end line and every play line played; 1 it stopped
// on an invalid line, an error or a play whose signal could not start, loops without
// playing or waiting, or a play line found no preset file (the messages on stderr); 2 bad
// input; 3 the sound device could not play; 130 interrupted by SIGINT/SIGTERM.
int PlayScript(const RenderRequest& request, uint32_t seed);

} // namespace velmora
