#include "example_presets.h"

#include "preset_memory.h"

namespace velmora {

PresetRecords MakePresetRecords(const PresetRecipes& recipes)
{
    PresetRecords records{};
    for (size_t n = 0; n < recipes.size(); ++n) {
        Generator g;
        if (recipes[n].setup) recipes[n].setup(g);
        MemStore(g, records[n]);
        records[n].setName(recipes[n].name);
    }
    return records;
}

void TypeFrequency(Generator& g, Channel c, Field field, const std::string& text)
{
    g.setText({field, c}, text);
    g.FrequencyExit(c, field);
}

void TypeLevel(Generator& g, Channel c, const std::string& dBFS)
{
    g.setText({Field::Amplitude, c}, dBFS);
    g.AmplitudeExit(c);
}

void TypeDuration(Generator& g, const std::string& seconds)
{
    g.setText({Field::Duration}, seconds);
    g.DurationExit();
}

PresetRecipes ExamplePresetRecipes()
{
    constexpr Channel L = Channel::Left;
    constexpr Channel R = Channel::Right;
    return {{
        {"1 kHz -20 dB",
         [](Generator& g) {
             g.selectIndex({Field::cboChannels}, 0);
             g.selectIndex({Field::WaveForm, L}, kSine);
             TypeFrequency(g, L, Field::fInit, "1000");
             TypeLevel(g, L, "-20");
             TypeDuration(g, "10");
         }},
        {"Pink -20 dB",
         [](Generator& g) {
             g.selectIndex({Field::cboChannels}, 0);
             g.selectIndex({Field::WaveForm, L}, kPinkNoise);
             g.selectIndex({Field::cboCrestFactor, L}, 3); // "4:1"
             TypeLevel(g, L, "-20");
             TypeDuration(g, "10");
         }},
        {"Sweep 20-20k",
         [](Generator& g) {
             g.selectIndex({Field::cboChannels}, 0);
             g.selectIndex({Field::WaveForm, L}, kSine);
             g.setChecked({Field::chkConstant, L}, false);
             TypeFrequency(g, L, Field::fInit, "20");
             TypeFrequency(g, L, Field::fFinal, "20000");
             g.setChecked({Field::Logarithmic, L}, true);
             TypeLevel(g, L, "-20");
             TypeDuration(g, "10");
         }},
        {"1k / 500 Hz",
         [](Generator& g) {
             g.selectIndex({Field::cboChannels}, 1);
             for (Channel c : kChannels) {
                 g.selectIndex({Field::WaveForm, c}, kSine);
                 TypeLevel(g, c, "-20");
             }
             TypeFrequency(g, L, Field::fInit, "1000");
             TypeFrequency(g, R, Field::fInit, "500");
             TypeDuration(g, "10");
         }},
    }};
}

void WritePresetRecipes(const std::filesystem::path& file, const PresetRecipes& recipes)
{
    WritePresetFile(file, MakePresetRecords(recipes));
}

} // namespace velmora
