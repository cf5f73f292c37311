// Writes the fuzz targets' seeds into corpus folders for libFuzzer:
//   fuzz_write_seeds PRESET_DIR SCRIPT_DIR

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_seeds.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_write_seeds PRESET_DIR SCRIPT_DIR\n");
        return 2;
    }
    auto write = [](const std::filesystem::path& dir, const std::vector<std::string>& seeds) {
        std::filesystem::create_directories(dir);
        for (size_t i = 0; i < seeds.size(); ++i)
            std::ofstream(dir / ("seed" + std::to_string(i)), std::ios::binary) << seeds[i];
    };
    write(argv[1], velmora::fuzz::PresetSeeds());
    write(argv[2], velmora::fuzz::ScriptSeeds());
    return 0;
}
