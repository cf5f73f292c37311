#pragma once
// velmora-render --play --script FILE.zrs: runs a script without a display, with the same
// runner as the window. 'pause' prints its text and waits for Enter when standard input is
// a terminal, and goes on at once when it is not.

#include <cstdint>

#include "render_cli.h"

namespace velmora {

// Exit status: 0 the script ended (end line), 1 it stopped on an invalid line or an error
// (the message on stderr), 2 bad input, 130 interrupted by SIGINT/SIGTERM.
int PlayScript(const RenderRequest& request, uint32_t seed);

} // namespace velmora
