#pragma once
// Preset files made by the project's own code: each memory is set up on a fresh generator
// through its control setters and handlers, as a person would type it, then stored.
// Used at build time to write the presets shipped beside the program. Any thread (each call
// uses its own generators); allocates.

#include <array>
#include <filesystem>
#include <functional>
#include <string>

#include "engine/generator.h"
#include "files/preset_file.h"

namespace velmora {

struct PresetRecipe {
    std::string name;                      // the memory's name, shown on its button
    std::function<void(Generator&)> setup; // sets the controls of a fresh generator
};

using PresetRecipes = std::array<PresetRecipe, kPresetCount>;

// The four records the recipes make.
PresetRecords MakePresetRecords(const PresetRecipes& recipes);

// Typing helpers for recipes: the text, its change handler, then the normalisation run
// when the field is left, as for a person's typing.
void TypeFrequency(Generator& g, Channel c, Field field, const std::string& text);
void TypeLevel(Generator& g, Channel c, const std::string& dBFS);
void TypeDuration(Generator& g, const std::string& seconds);

// "Examples.zrx": 1 kHz sine at -20 dBFS; pink noise at -20 dBFS with crest factor 4:1;
// a 20 Hz - 20 kHz logarithmic sweep over 10 s; stereo 1 kHz left / 500 Hz right.
PresetRecipes ExamplePresetRecipes();

// Writes the recipes' records as a preset file. Throws PresetFileError.
void WritePresetRecipes(const std::filesystem::path& file, const PresetRecipes& recipes);

} // namespace velmora
