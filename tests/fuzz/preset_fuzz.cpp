// Fuzz target: the preset file loader, then every loaded record recalled into a generator
// through its controls and handlers, stored again and written back.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/generator.h"
#include "engine/numbers.h"
#include "files/preset_file.h"
#include "control/preset_memory.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    PresetFileContents contents;
    try {
        contents = ParsePresetFile(bytes, "fuzz.zrx");
    } catch (const PresetFileError&) {
        return 0; // incomplete: refused whole
    }
    Generator g;
    PresetBank bank(g);
    // The handlers' own errors (a text that is no number, a value too large to round) are
    // what a user sees in the error box; anything else escapes and counts as a finding.
    auto guarded = [](auto&& f) {
        try {
            f();
        } catch (const ConversionError&) {
        } catch (const ArithmeticError&) {
        }
    };
    guarded([&] { bank.load(contents); });
    for (int n = 1; n <= kPresetCount; ++n) {
        guarded([&] { bank.MemRecall(n); });
        PresetSlot again = bank.memory(n);
        MemStore(g, again);
        if (again.name() != bank.memory(n).name()) std::abort(); // a store never renames
    }
    // What is held is written back byte for byte.
    const std::string written = BuildPresetFile(bank.records());
    if (written.size() < kPresetFileSize) std::abort();
    if (ParsePresetFile(written, "again").records != bank.records()) std::abort();
    return 0;
}
