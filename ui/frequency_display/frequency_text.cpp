#include "ui/frequency_display/frequency_text.h"

#include <cmath>
#include <numbers>

namespace velmora {

int64_t DisplayedFrequency(const Generator& g, Channel channel)
{
    const double f = g.samplingRate() * g[channel].Step /
                     (2 * std::numbers::pi * g.settings.output.FrequencyCorrection);
    // Inside the 64-bit range and finite; nearbyint rounds ties to even.
    if (!(std::fabs(f) < 9.2e18)) return 0;
    return static_cast<int64_t>(std::nearbyint(f));
}

std::string FrequencyDisplayText(const Generator& g)
{
    const int64_t left = DisplayedFrequency(g, Channel::Left);
    if (!g.settings.stereo()) return std::to_string(left) + " Hz";
    const int64_t right = g.settings.chkAsLeft ? left : DisplayedFrequency(g, Channel::Right);
    return "L:" + std::to_string(left) + " Hz R:" + std::to_string(right) + " Hz";
}

} // namespace velmora
