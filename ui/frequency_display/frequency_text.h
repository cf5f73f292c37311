#pragma once
// What the frequency display reads out: the frequency each channel's oscillator is making
// now, with the calibration factor divided out. Plain C++ (no Qt); window thread, called
// once per buffer fill; builds one short string.

#include "engine/generator.h"

#include <cstdint>
#include <string>

namespace velmora {

// Round(fs x Step / (2 pi x FrequencyCorrection)), ties to even; 0 when that is no number
// (a correction factor of 0, say), so that the buffer fill that calls it never fails.
int64_t DisplayedFrequency(const Generator& generator, Channel channel);

// "1000 Hz" (mono), "L:1000 Hz R:500 Hz" (stereo; the left frequency twice with "Same as
// Left"); a periodic noise reads as its period, "2^16".
std::string FrequencyDisplayText(const Generator& generator);

} // namespace velmora
