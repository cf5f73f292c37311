#include "settings/data_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Creates a file for the test's lifetime and removes it (and the folders made for it) after.
struct ScopedFile {
    fs::path path;
    fs::path madeFolder;
    explicit ScopedFile(const fs::path& p) : path(p) {
        if (!fs::exists(p.parent_path())) {
            madeFolder = p.parent_path().parent_path();  // share/ under the build tree
            fs::create_directories(p.parent_path());
        }
        std::ofstream(p) << "x";
    }
    ~ScopedFile() {
        fs::remove(path);
        if (!madeFolder.empty()) fs::remove_all(madeFolder);
    }
};

}  // namespace

TEST(DataFiles, BesideTheProgramFirstThenTheInstalledShareFolder) {
    const fs::path folder = velmora::ProgramFolder();
    ASSERT_FALSE(folder.empty());
    const std::string name = "data-files-test-" + std::to_string(::getpid()) + ".zrx";

    EXPECT_FALSE(velmora::FindDataFile(name).has_value());
    {
        ScopedFile shared(folder / ".." / "share" / "velmora" / name);
        auto found = velmora::FindDataFile(name);
        ASSERT_TRUE(found.has_value());
        EXPECT_TRUE(fs::equivalent(*found, shared.path));
        {
            ScopedFile beside(folder / name);
            found = velmora::FindDataFile(name);
            ASSERT_TRUE(found.has_value());
            EXPECT_EQ(*found, folder / name);
        }
    }
    EXPECT_EQ(velmora::DataFileBesideProgram(name), folder / name);
}

TEST(DataFiles, CompanionProgramNeedsToBeExecutable) {
    const fs::path folder = velmora::ProgramFolder();
    const std::string build = "companion-build-" + std::to_string(::getpid());
    const std::string installed = "companion-installed-" + std::to_string(::getpid());
    EXPECT_FALSE(velmora::FindCompanionProgram(build, installed).has_value());

    ScopedFile plain(folder / installed);
    EXPECT_FALSE(velmora::FindCompanionProgram(build, installed).has_value());
    fs::permissions(plain.path, fs::perms::owner_exec, fs::perm_options::add);
    EXPECT_EQ(velmora::FindCompanionProgram(build, installed), folder / installed);

    ScopedFile first(folder / build);
    fs::permissions(first.path, fs::perms::owner_exec, fs::perm_options::add);
    EXPECT_EQ(velmora::FindCompanionProgram(build, installed), folder / build);
}
