#include "compatibility_test_presets.h"

namespace velmora {

namespace {
constexpr Channel L = Channel::Left;
constexpr Channel R = Channel::Right;
// Test tones sit well below full scale: the user is asked for a low volume.
const std::string kLevel = "-10";

void sineTone(Generator& g, Channel c, const std::string& hertz)
{
    g.selectIndex({Field::WaveForm, c}, kSine);
    g.setChecked({Field::chkConstant, c}, true);
    TypeFrequency(g, c, Field::fInit, hertz);
    TypeLevel(g, c, kLevel);
}

void stereo(Generator& g) { g.selectIndex({Field::cboChannels}, 1); }
} // namespace

PresetRecipes CompatibilityTestRecipes()
{
    return {{
        {"Mono 1 kHz",
         [](Generator& g) {
             g.selectIndex({Field::cboChannels}, 0);
             sineTone(g, L, "1000");
             TypeDuration(g, "5");
         }},
        {"Stereo 1k/500",
         [](Generator& g) {
             stereo(g);
             sineTone(g, L, "1000");
             sineTone(g, R, "500");
             TypeDuration(g, "5");
         }},
        {"AM 1 kHz",
         [](Generator& g) {
             stereo(g);
             for (Channel c : kChannels) {
                 sineTone(g, c, "1000");
                 g.setIndex({Field::ModFunction, c}, kModSine);
                 g.setText({Field::ModDepthEdit, c}, "100");
                 g.setText({Field::ModPeriodEdit, c}, "0.5");
                 g.setChecked({Field::ModulationOn, c}, true);
             }
             TypeDuration(g, "5");
         }},
        {"Timing 10 s",
         [](Generator& g) {
             stereo(g);
             sineTone(g, L, "1000");
             sineTone(g, R, "1000");
             TypeDuration(g, "10");
         }},
    }};
}

} // namespace velmora
