#include "ui/frequency_display/frequency_text.h"

#include <cmath>
#include <numbers>
#include <string>

namespace velmora {

int64_t DisplayedFrequency(const Generator& g, Channel channel)
{
    const double f = g.samplingRate() * g[channel].Step /
                     (2 * std::numbers::pi * g.settings.output.FrequencyCorrection);
    // Inside the 64-bit range and finite; nearbyint rounds ties to even.
    if (!(std::fabs(f) < 9.2e18)) return 0;
    return static_cast<int64_t>(std::nearbyint(f));
}

namespace {
// A channel's reading: its frequency, or for a periodic noise (which has none) and the
// multitone (which has 31) its period, "2^16"; the twin tones their two, "60+7000 Hz".
std::string Reading(const Generator& g, Channel c)
{
    const int w = g.settings[c].WaveForm;
    if (HasPeriodLength(w)) return "2^" + std::to_string(g.periodKey(c).length);
    if (w == kImdSmpte) return "60+7000 Hz";
    if (w == kImdCcif) return "19000+20000 Hz";
    return std::to_string(DisplayedFrequency(g, c)) + " Hz";
}
} // namespace

std::string FrequencyDisplayText(const Generator& g)
{
    const std::string left = Reading(g, Channel::Left);
    if (!g.settings.stereo()) return left;
    const std::string right = g.settings.chkAsLeft ? left : Reading(g, Channel::Right);
    return "L:" + left + " R:" + right;
}

} // namespace velmora
