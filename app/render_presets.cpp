#include "render_presets.h"

#include "control/preset_memory.h"
#include "render_cli.h"
#include "render_refusals.h"

namespace velmora {

PresetReference ParsePresetReference(const std::string& text)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        throw RenderUsageError("--preset: '" + text + "' is not FILE.zrx:N");
    PresetReference p;
    p.file = text.substr(0, colon);
    const std::string n = text.substr(colon + 1);
    if (n.size() != 1 || n[0] < '1' || n[0] > '4')
        throw RenderUsageError("--preset: memory '" + n + "' is not 1, 2, 3 or 4");
    p.memory = n[0] - '0';
    return p;
}

std::string PresetOrigin(const std::string& file, int memory)
{
    return file + ", memory " + std::to_string(memory);
}

std::string ExplainPresetFailure(const Generator& generator, const std::string& file, int memory,
                                 const std::string& why)
{
    const std::string field = UnusableTextField(generator);
    return PresetOrigin(file, memory) + (field.empty() ? "" : ", " + field) + ": " + why;
}

void RecallRenderPreset(Generator& generator, const PresetReference& preset, void (*note)(const std::string&))
{
    PresetBank bank(generator);
    bank.hooks.notice = [note](std::string_view text) {
        if (note && text != kObsoleteFormatText) note(std::string(text));
    };
    PresetLoad loaded;
    try {
        loaded = bank.LoadSettings(preset.file);
    } catch (const PresetFileError& e) {
        throw RenderUsageError(e.what());
    }
    switch (loaded) {
    case PresetLoad::Loaded:
    case PresetLoad::Imported: break;
    case PresetLoad::Obsolete:
        throw RenderUsageError(preset.file + ": " + std::string(kObsoleteFormatText));
    case PresetLoad::Ignored:
        throw RenderUsageError(preset.file + ": not a preset file (unknown header)");
    }
    if (bank.memory(preset.memory).empty())
        throw RenderUsageError(PresetOrigin(preset.file, preset.memory) + ": the memory is empty");
    try {
        bank.MemRecall(preset.memory);
    } catch (const RenderUsageError&) {
        throw;
    } catch (const std::exception& e) {
        throw RenderUsageError(ExplainPresetFailure(generator, preset.file, preset.memory, e.what()));
    }
}

} // namespace velmora
