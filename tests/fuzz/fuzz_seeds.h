#pragma once
// Starting inputs of the fuzz targets: well-formed files of each kind the parsers know,
// for the mutations to start from.

#include <string>
#include <vector>

namespace velmora::fuzz {

std::vector<std::string> PresetSeeds();
std::vector<std::string> ScriptSeeds();

} // namespace velmora::fuzz
