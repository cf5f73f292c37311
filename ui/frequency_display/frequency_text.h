#pragma once
// What the frequency display reads out: while the generator plays, the frequency each
// channel's oscillator is making now; while it is off, the frequency switching it on would
// start with. Either with the calibration factor divided out. Plain C++ (no Qt); window
// thread, called once per buffer fill; builds one short string.

#include "engine/generator.h"

#include <cstdint>
#include <string>

namespace velmora {

// Round(fs x Step / (2 pi x FrequencyCorrection)), ties to even; 0 when that is no number
// (a correction factor of 0, say), so that the buffer fill that calls it never fails.
int64_t DisplayedFrequency(const Generator& generator, Channel channel);

// The same for the step a start would give the channel: the start field's frequency when a
// start takes it (above 0, at most half the sampling rate, at the sampling rate and
// correction set now); otherwise the start frequency of the last recompute.
int64_t StartingFrequency(const Generator& generator, Channel channel);

// "1000 Hz" (mono), "L:1000 Hz R:500 Hz" (stereo; the left frequency twice with "Same as
// Left"); a periodic noise reads as its period, "2^16". `playing`: what the oscillators
// make now; otherwise what a start would play.
std::string FrequencyDisplayText(const Generator& generator, bool playing);

} // namespace velmora
