#include "ui/frequency_display/frequency_text.h"

#include "engine/numbers.h"

#include <cmath>
#include <numbers>
#include <string>

namespace velmora {

namespace {
constexpr double kTwoPi = 2 * std::numbers::pi;

int64_t HertzOfStep(const Generator& g, double step)
{
    const double f = g.samplingRate() * step / (kTwoPi * g.settings.output.FrequencyCorrection);
    // Inside the 64-bit range and finite; nearbyint rounds ties to even.
    if (!(std::fabs(f) < 9.2e18)) return 0;
    return static_cast<int64_t>(std::nearbyint(f));
}
} // namespace

int64_t DisplayedFrequency(const Generator& g, Channel channel) { return HertzOfStep(g, g[channel].Step); }

int64_t StartingFrequency(const Generator& g, Channel channel)
{
    // A start recomputes the channel from its field and begins at the start frequency, for a
    // constant tone and a sweep alike.
    const double fs = g.samplingRate();
    double f = 0;
    if (TryIntlStrToFloat(g.settings[channel].fInit, f) && f > 0 && f <= fs / 2)
        return HertzOfStep(g, kTwoPi * (f * g.settings.output.FrequencyCorrection / fs));
    return HertzOfStep(g, kTwoPi * g[channel].StartNorm);
}

namespace {
// A channel's reading: its frequency, or for a periodic noise (which has none) and the
// multitone (which has 31) its period, "2^16"; the twin tones their two, "60+7000 Hz".
std::string Reading(const Generator& g, Channel c, bool playing)
{
    const int w = g.settings[c].WaveForm;
    if (HasPeriodLength(w)) return "2^" + std::to_string(g.periodKey(c).length);
    if (w == kImdSmpte) return "60+7000 Hz";
    if (w == kImdCcif) return "19000+20000 Hz";
    if (w == kImdDin) return "250+8000 Hz";
    return std::to_string(playing ? DisplayedFrequency(g, c) : StartingFrequency(g, c)) + " Hz";
}
} // namespace

std::string FrequencyDisplayText(const Generator& g, bool playing)
{
    const std::string left = Reading(g, Channel::Left, playing);
    if (!g.settings.stereo()) return left;
    const std::string right = g.settings.chkAsLeft ? left : Reading(g, Channel::Right, playing);
    return "L:" + left + " R:" + right;
}

} // namespace velmora
