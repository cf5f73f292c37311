#pragma once
// The frequency slider's logarithmic scale and the number rules of its fields. Pure
// functions: any thread, no allocation beyond returned texts.

#include <optional>
#include <string_view>

namespace velmora::ui {

// Slider position p and frequency f are tied by f = 2 x 10^(p / 1000): position 0 is 2 Hz,
// 1000 is 20 Hz, 4000 is 20 kHz; one step is a thousandth of a decade.
double SliderFrequency(int position);
// Round(1000 x log10(f / 2)), ties to even. f must be above 0.
int SliderPosition(double frequency);
// The slider maximum for a sampling rate: the position of rate div 4 x 2, i.e. half the rate.
int SliderMaximum(int samplingRate);

// f rounded to the nearest multiple of `step` (halves to even). A step of 0 or below (or
// one that is not a finite number) means no rounding. The result never leaves 0 < f <= limit
// through the rounding: a multiple of 0 becomes one step, a multiple above `limit` the
// largest one below it, and where no multiple fits f stays as it is.
double RoundToStep(double frequency, double step, double limit);

// The lower and upper ends are read strictly: '.' is the only decimal separator, a ','
// makes the text no number. Empty when the text is not a number.
std::optional<double> ReadStrictNumber(std::string_view text);

} // namespace velmora::ui
