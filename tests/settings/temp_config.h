#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

// A fresh XDG_CONFIG_HOME for each test, removed afterwards, so that the store's default
// location points into it and tests never see each other's (or the user's) settings.
class TempConfigTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        ::setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    }

    void TearDown() override
    {
        ::unsetenv("XDG_CONFIG_HOME");
        std::filesystem::remove_all(root_);
    }

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path storeFile() const { return root_ / "Karvell" / "Velmora.conf"; }

    static std::string contentsOf(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static void writeFile(const std::filesystem::path& file, const std::string& contents)
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << contents;
    }

    // Files in the store's folder other than the store itself (left-over temporaries).
    int strayFiles() const
    {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(storeFile().parent_path()))
            n += entry.path() != storeFile();
        return n;
    }

private:
    std::filesystem::path root_;
};
