// Runs the velmora-render executable as a user or script would.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

#include "engine/pcm.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
    int status;
    std::string err;
    std::string out;
};

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() /
               ("velmora-render-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    RunResult run(const std::string& args, const std::string& environment = {})
    {
        const std::string cmd = environment + (environment.empty() ? "" : " ") + std::string(VELMORA_RENDER) +
                                " " + args + " >" +
                                (dir_ / "out.txt").string() + " 2>" + (dir_ / "err.txt").string();
        const int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ / "err.txt"), slurp(dir_ / "out.txt")};
    }
    static std::string slurp(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

} // namespace

TEST_F(RenderTest, WritesTheExportedSignal)
{
    struct Case {
        const char* settings;
        size_t bytes;
        int bytesPerSample;
        int32_t firstLeft;
    };
    const Case cases[] = {
        {"SamplingRate=48000 fInitLeft=1000 Duration=1", 44 + 48000 * 2, 2, 4277},
        {"SamplingRate=48000 Quantisation=24 cboChannels=1 fInitLeft=1000 Duration=0.5",
         44 + 24000 * 6, 3, static_cast<int32_t>(std::lround(std::sin(2 * M_PI / 48) * 8388607))},
        {"WaveFormLeft=7 AmplitudeLeft=-20 LogarithmicLeft=1 Duration=0,1", 44 + 4410 * 2, 2, -32767},
        {"txtMLSLengthLeft=4 WaveFormLeft=9 SamplingRate=8000", 44 + 15 * 2, 2, 32767},
    };
    for (const Case& c : cases) {
        const RunResult r = run(path("a.wav") + " " + c.settings);
        ASSERT_EQ(r.status, 0) << c.settings << ": " << r.err;
        const std::string bytes = slurp(path("a.wav"));
        ASSERT_EQ(bytes.size(), c.bytes) << c.settings;
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(velmora::UnpackSample(reinterpret_cast<const uint8_t*>(bytes.data()) + 44,
                                        c.bytesPerSample),
                  c.firstLeft)
            << c.settings;
    }
}

TEST_F(RenderTest, SeededNoiseRepeatsExactly)
{
    const std::string settings = " WaveFormLeft=5 cboCrestFactorL=3 Duration=0.2";
    ASSERT_EQ(run("--seed 42 " + path("a.wav") + settings).status, 0);
    ASSERT_EQ(run("--seed 42 " + path("b.wav") + settings).status, 0);
    ASSERT_EQ(run("--seed 43 " + path("c.wav") + settings).status, 0);
    EXPECT_EQ(slurp(path("a.wav")), slurp(path("b.wav")));
    EXPECT_NE(slurp(path("a.wav")), slurp(path("c.wav")));
    // Without a seed every run is seeded afresh.
    ASSERT_EQ(run(path("d.wav") + settings).status, 0);
    ASSERT_EQ(run(path("e.wav") + settings).status, 0);
    EXPECT_NE(slurp(path("d.wav")), slurp(path("e.wav")));
}

TEST_F(RenderTest, BadInputIsOneLineExitTwoAndNoFile)
{
    struct Case {
        std::string args;
        const char* culprit;
    };
    const Case cases[] = {
        {"OUT Bogus=1", "Bogus"},
        {"OUT WaveFormLeft=18", "WaveFormLeft"},
        {"OUT WaveFormLeft=16 txtCyclesLeft=0", "txtCyclesLeft"},
        {"OUT WaveFormLeft=16 fInitLeft=1 txtCyclesLeft=400", "txtCyclesLeft: a burst of 400 cycles"},
        {"OUT WaveFormLeft=11 cboBandL=2000:500", "cboBandL: '2000:500'"},
        {"OUT WaveFormLeft=17 SamplingRate=11025", "IMD DIN"},
        {"OUT Loop=2", "Loop"},
        {"OUT fInitLeft=abc", "abc"},
        {"OUT fInitLeft=30000", "fInitLeft"},
        {"OUT SamplingRate=12345", "SamplingRate"},
        {"OUT Quantisation=8", "Quantisation"},
        {"OUT Duration=0", "Duration"},
        {"OUT PhaseEdit=1,2.3", "PhaseEdit"},
        {"fInitLeft=100", "OUTPUT"},
        {"--seed x OUT", "--seed"},
        {"--frobnicate OUT", "--frobnicate"},
        {"OUT chkConstantLeft=0 Duration=0.00002", "a sweep needs at least two samples: Duration=0.00002 gives 1 at 44100 Hz"},
        {"OUT txtMLSSeedLeft=1e19", "txtMLSSeedLeft"},
        {"OUT txtMLSSeedRight=-9.3e18", "txtMLSSeedRight"},
        {"OUT cboCorrectionUnits=1 txtCorrectionFactor=1e7", "txtCorrectionFactor: Floating point overflow"},
        {"OUT chkConstantLeft=0 LogarithmicLeft=1 txtCorrectionFactor=-100", "txtCorrectionFactor"},
        {"OUT chkConstantLeft=0 LogarithmicLeft=1 txtCorrectionFactor=-150", "txtCorrectionFactor"},
        {"OUT --list-devices", "--list-devices"},
        {"--list-devices OUT", "--list-devices"},
        {"OUT 'fInitLeft=1\n2'", "fInitLeft"},
        {"OUT 'fInitLeft=\033[2J'", "\\x1b[2J"},
        {"OUT ModulationOnLeft=1 ModPeriodLeftEdit=0", "ModPeriodLeftEdit"},
        {"/nonexistent-dir/x.wav", "File Access Error"},
    };
    for (const Case& c : cases) {
        std::string args = c.args;
        if (args.rfind("OUT", 0) == 0) args.replace(0, 3, path("bad.wav"));
        if (args.find("OUT") != std::string::npos) args.replace(args.find("OUT"), 3, path("bad.wav"));
        const RunResult r = run(args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_NE(r.err.find(c.culprit), std::string::npos) << c.args << " -> " << r.err << " wanted " << c.culprit;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(fs::exists(path("bad.wav"))) << c.args;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2)
            << "stray file after " << c.args;
    }
}

TEST_F(RenderTest, HelpListsEveryName)
{
    const RunResult r = run("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* name : {"fInitLeft", "txtCorrectionFactor", "cboCrestFactorR", "chkAsLeft",
                             "SamplingRate", "Quantisation", "ModPhaseRightEdit", "Lefttick"})
        EXPECT_NE(r.out.find(name), std::string::npos) << name;
}

#ifdef VELMORA_ALSA_CONFIGS
TEST_F(RenderTest, ListDevicesShowsTheWindowsListWithEachAlsaName)
{
    if (fs::exists("/dev/snd")) GTEST_SKIP() << "this machine may have a sound card";
    const std::string configs = std::string(VELMORA_ALSA_CONFIGS) + "/no_card.conf";
    struct Case {
        std::string path;
        std::string listed;
    };
    const Case cases[] = {
        {configs, "-1\tSystem Default\tdefault\n"},
        {configs + ":" + VELMORA_ALSA_CONFIGS + "/sound_server.conf",
         "-1\tSystem Default\tdefault\n0\tPipeWire Sound Server\tpipewire\n1\tPulseAudio Sound Server\tpulse\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const RunResult r = run("--list-devices", "ALSA_CONFIG_PATH=" + c.path);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.listed);
    }
}
#endif
TEST_F(RenderTest, EmptyTextsTheHandlersSkipAreLikeLeavingTheSettingOut)
{
    const std::string base = " ModulationOnLeft=1 fInitLeft=440 Duration=0.05";
    ASSERT_EQ(run(path("plain.wav") + base).status, 0);
    for (const char* skipped : {"ModDepthLeftEdit=", "ModPeriodLeftEdit=", "txtCorrectionFactor=",
                                "txtCorrectionFactor=-"}) {
        const RunResult r = run(path("skipped.wav") + base + " " + skipped);
        ASSERT_EQ(r.status, 0) << skipped << ": " << r.err;
        EXPECT_EQ(slurp(path("skipped.wav")), slurp(path("plain.wav"))) << skipped;
    }
}
