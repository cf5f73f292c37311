#pragma once
// Where the program finds the files it ships: beside its own executable first (the build tree,
// or a folder the user unpacked), then in the installed tree's share/velmora/ next to bin/.
// Plain C++; any thread may call these, and they allocate.

#include <filesystem>
#include <optional>
#include <string_view>

namespace velmora {

// The folder holding the running executable ("" when it cannot be told).
std::filesystem::path ProgramFolder();

// A data file such as "Examples.zrx" or "Compatibility Test.zrx": the first existing one of
// <program folder>/name and <program folder>/../share/velmora/name.
std::optional<std::filesystem::path> FindDataFile(std::string_view name);

// Where a data file would be looked for first: <program folder>/name, whether it exists or not.
std::filesystem::path DataFileBesideProgram(std::string_view name);

// A companion program: <program folder>/buildName (as it is called in the build tree), then
// <program folder>/installedName (as it is installed in bin/).
std::optional<std::filesystem::path> FindCompanionProgram(std::string_view buildName,
                                                          std::string_view installedName);

}  // namespace velmora
