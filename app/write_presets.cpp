// velmora-write-presets: writes the preset files shipped beside the program, made by the
// project's own code at build time.
//   velmora-write-presets examples OUTPUT.zrx
//   velmora-write-presets compatibility OUTPUT.zrx

#include <cstdio>
#include <cstring>

#include "control/compatibility_test_presets.h"
#include "control/example_presets.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: velmora-write-presets examples|compatibility OUTPUT.zrx\n");
        return 2;
    }
    try {
        if (std::strcmp(argv[1], "examples") == 0) {
            velmora::WritePresetRecipes(argv[2], velmora::ExamplePresetRecipes());
            return 0;
        }
        if (std::strcmp(argv[1], "compatibility") == 0) {
            velmora::WritePresetRecipes(argv[2], velmora::CompatibilityTestRecipes());
            return 0;
        }
        std::fprintf(stderr, "velmora-write-presets: unknown preset set '%s'\n", argv[1]);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-write-presets: %s\n", e.what());
        return 1;
    }
}
