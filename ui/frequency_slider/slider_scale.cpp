#include "ui/frequency_slider/slider_scale.h"

#include "engine/numbers.h"

#include <cmath>
#include <string>

namespace velmora::ui {

double SliderFrequency(int position) { return 2.0 * std::pow(10.0, position / 1000.0); }

int SliderPosition(double frequency)
{
    return static_cast<int>(RoundToInt64(1000.0 * std::log10(frequency / 2.0)));
}

int SliderMaximum(int samplingRate)
{
    return static_cast<int>(RoundToInt64(1000.0 * std::log10(static_cast<double>(samplingRate / 4))));
}

double RoundToStep(double frequency, double step, double limit)
{
    if (!(step > 0) || !std::isfinite(step)) return frequency;
    // nearbyint follows the rounding mode, which is to nearest with ties to even.
    double rounded = std::nearbyint(frequency / step) * step;
    // A zero or a frequency above half the rate would stop a playing tone: keep to the
    // multiples a tone can have.
    if (rounded <= 0) rounded = step;
    if (rounded > limit) rounded = std::floor(limit / step) * step;
    if (!std::isfinite(rounded) || rounded <= 0 || rounded > limit) return frequency;
    return rounded;
}

std::optional<double> ReadStrictNumber(std::string_view text)
{
    if (text.find(',') != std::string_view::npos) return std::nullopt;
    double value = 0;
    if (!TryIntlStrToFloat(text, value)) return std::nullopt;
    return value;
}

} // namespace velmora::ui
