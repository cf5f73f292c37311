#include "settings/data_files.h"

#include <system_error>
#include <unistd.h>

namespace velmora {

namespace fs = std::filesystem;

fs::path ProgramFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe.parent_path();
}

fs::path DataFileBesideProgram(std::string_view name) {
    return ProgramFolder() / fs::path(name);
}

std::optional<fs::path> FindDataFile(std::string_view name) {
    const fs::path folder = ProgramFolder();
    if (folder.empty()) return std::nullopt;
    for (const fs::path& candidate :
         {folder / fs::path(name), folder / ".." / "share" / "velmora" / fs::path(name)}) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) return candidate.lexically_normal();
    }
    return std::nullopt;
}

std::optional<fs::path> FindCompanionProgram(std::string_view buildName,
                                             std::string_view installedName) {
    const fs::path folder = ProgramFolder();
    if (folder.empty()) return std::nullopt;
    for (std::string_view name : {buildName, installedName}) {
        const fs::path candidate = folder / fs::path(name);
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::nullopt;
}

}  // namespace velmora
