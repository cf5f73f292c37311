// velmora-render with preset files (--preset FILE.zrx:N) and scripts (--play --script), run
// as a user or script would.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "control/example_presets.h"
#include "control/preset_memory.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
    int status;
    std::string err;
};

class RenderPresetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() /
               ("velmora-render-preset-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        velmora::WritePresetRecipes(dir_ / "ex.zrx", velmora::ExamplePresetRecipes());
    }
    void TearDown() override { fs::remove_all(dir_); }

    RunResult run(const std::string& args)
    {
        const std::string cmd = std::string(VELMORA_RENDER) + " " + args + " </dev/null >/dev/null 2>" +
                                (dir_ / "err.txt").string();
        const int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ / "err.txt")};
    }
    static std::string slurp(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void write(const char* name, const std::string& bytes) { std::ofstream(dir_ / name, std::ios::binary) << bytes; }
    std::string path(const char* name) const { return (dir_ / name).string(); }
    std::string quoted(const char* name) const { return "'" + path(name) + "'"; }

    fs::path dir_;
};

TEST_F(RenderPresetTest, RendersAMemoryAsItsSettingsWouldAndTheSettingsGivenAfterIt)
{
    struct Case {
        std::string preset;
        std::string same; // the same signal named setting by setting
    };
    const std::vector<Case> cases{
        {"ex.zrx:1", "cboChannels=0 fInitLeft=1000 AmplitudeLeft=-20 Duration=10"},
        {"ex.zrx:2", "cboChannels=0 WaveFormLeft=5 cboCrestFactorL=3 AmplitudeLeft=-20 Duration=10"},
        {"ex.zrx:4", "cboChannels=1 fInitLeft=1000 fInitRight=500 AmplitudeLeft=-20 AmplitudeRight=-20 Duration=10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preset);
        const RunResult a = run("--seed 7 --preset " + path(c.preset.c_str()) + " " + path("a.wav") +
                                " SamplingRate=8000 Duration=0.5");
        ASSERT_EQ(a.status, 0) << a.err;
        const RunResult b = run("--seed 7 " + path("b.wav") + " SamplingRate=8000 " + c.same + " Duration=0.5");
        ASSERT_EQ(b.status, 0) << b.err;
        const std::string wa = slurp(path("a.wav")), wb = slurp(path("b.wav"));
        EXPECT_EQ(wa.size(), wb.size());
        EXPECT_TRUE(wa == wb);
        EXPECT_EQ(wa.size(), 44u + 4000u * (c.preset.back() == '4' ? 4 : 2)); // Duration=0.5 after it won
    }
}

TEST_F(RenderPresetTest, OlderFilesAreImportedWithANote)
{
    const std::string current = slurp(path("ex.zrx"));
    std::string old("\x14" "ZRX Preset File V3.6");
    for (int n = 0; n < 4; ++n) old += current.substr(21 + 3880 * n, 3868);
    write("old.zrx", old);
    const RunResult r = run("--preset " + path("old.zrx") + ":1 " + path("a.wav") + " SamplingRate=8000 Duration=0.1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("This file format is old"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(path("a.wav")));
}

TEST_F(RenderPresetTest, BadPresetInputIsOneLineExitTwoAndNoFile)
{
    const std::string current = slurp(path("ex.zrx"));
    write("v32.zrx", "ZRX Preset File V3.2\r\nwhatever\r\n");
    write("short.zrx", current.substr(0, 10000));
    write("other.zrx", "\x14ZRX Preset File V5.0" + current.substr(21));
    struct Case {
        std::string preset;
        const char* culprit;
    };
    const std::vector<Case> cases{
        {path("v32.zrx") + ":1", "Obsolete file format, sorry."},
        {path("short.zrx") + ":1", "is incomplete: 10000 of 15541 bytes."},
        {path("other.zrx") + ":1", "not a preset file"},
        {path("missing.zrx") + ":1", "No such file or directory"},
        {path("ex.zrx") + ":0", "memory '0'"},
        {path("ex.zrx") + ":5", "memory '5'"},
        {path("ex.zrx"), "FILE.zrx:N"},
    };
    for (const Case& c : cases) {
        const RunResult r = run("--preset '" + c.preset + "' " + path("bad.wav"));
        EXPECT_EQ(r.status, 2) << c.preset;
        EXPECT_NE(r.err.find(c.culprit), std::string::npos) << c.preset << " -> " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(fs::exists(path("bad.wav"))) << c.preset;
    }
}

TEST_F(RenderPresetTest, ScriptArgumentsThatCannotRun)
{
    struct Case {
        std::string args;
        const char* culprit;
    };
    const std::vector<Case> cases{
        {"--script x.zrs", "needs --play"},
        {"--play --script " + path("missing.zrs"), "No such file or directory"},
        {"--play --script " + path("ex.zrx") + " --preset " + path("ex.zrx") + ":1", "do not go together"},
    };
    for (const Case& c : cases) {
        const RunResult r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_NE(r.err.find(c.culprit), std::string::npos) << c.args << " -> " << r.err;
    }
}

} // namespace
