#pragma once
// "Compatibility Test.zrx": the four presets the performance test plays, made by the
// project's own code at build time. Memory 1: a 5-second 1 kHz mono sine; 2: a 5-second
// stereo sine pair (1 kHz left, 500 Hz right); 3: a 5-second 1 kHz stereo sine with
// amplitude modulation; 4: a 10-second stereo tone, rendered to time the generator.
// Any thread; allocates.

#include "example_presets.h"

namespace velmora {

PresetRecipes CompatibilityTestRecipes();

} // namespace velmora
