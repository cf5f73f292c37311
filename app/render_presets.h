#pragma once
// velmora-render's preset memories: --preset FILE.zrx:N recalls memory N of a preset file
// into the generator before the NAME=VALUE settings apply, as the window would recall it.
// One thread; errors are RenderUsageError with a one-line text.

#include <string>

#include "engine/generator.h"

namespace velmora {

struct PresetReference {
    std::string file;
    int memory = 0; // 1..4
};

// Splits "FILE.zrx:N" at its last colon. Throws RenderUsageError when N is not 1..4.
PresetReference ParsePresetReference(const std::string& text);

// How errors name a memory: "FILE, memory N".
std::string PresetOrigin(const std::string& file, int memory);

// Why memory n could not be recalled or played: "FILE, memory N, FIELD: why", the field
// being the first whose text its handler cannot use (left out when there is none).
std::string ExplainPresetFailure(const Generator& generator, const std::string& file, int memory,
                                 const std::string& why);

// Loads the file (current format, or the older one imported) and recalls the memory through
// the generator's controls and handlers. Refuses a V3.2 file, a file shorter than its
// format, any other header, a file that cannot be read and an empty memory. A V3.6
// import's notice goes to `note` (may be empty). Errors name the file, the memory and the
// field.
void RecallRenderPreset(Generator& generator, const PresetReference& preset,
                        void (*note)(const std::string&) = nullptr);

} // namespace velmora
