#include "fuzz_seeds.h"

#include "control/example_presets.h"
#include "files/preset_file.h"

namespace velmora::fuzz {

std::vector<std::string> PresetSeeds()
{
    const std::string current = BuildPresetFile(MakePresetRecords(ExamplePresetRecipes()));
    std::string old("\x14" "ZRX Preset File V3.6");
    for (size_t n = 0; n < 4; ++n) old += current.substr(kPresetHeaderSize + n * kPresetSlotSize, kPresetSlotSize36);
    return {
        current,
        old,
        "ZRX Preset File V3.2\r\n100\r\n1000\r\n",
        current.substr(0, 4000),
        std::string("\x14" "ZRX Preset File V9.9") + std::string(100, '\0'),
        "",
    };
}

std::vector<std::string> ScriptSeeds()
{
    return {
        "rem a test\r\nplay 1 a.zrx\r\ndelay 2,5\r\npause Level check\r\nPLAY 2 my presets/b c.zrx \r\nend\r\n",
        "play 1 a.zrx\nrepeat\n",
        "pause\npause  two\ndelay 0\ndelay 0.3\nplay 7 a.zrx\nend",
        "play x a.zrx\n\n end\njump",
        "\xEF\xBB\xBFplay 1 M\xC3\xBCller.zrx\nend",
        "play 1 M\xFCller.zrx\rdelay 1e300\rend",
    };
}

} // namespace velmora::fuzz
