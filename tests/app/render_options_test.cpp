// velmora-render's options for people who know sox, run as a user or a script would.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <iterator>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

class RenderOptionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() /
               ("velmora-options-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs the renderer through the shell with `args` as typed; standard output goes through
    // `stdoutTo` (a redirection or a pipe) and standard error into err.txt.
    RunResult run(const std::string& args, const std::string& stdoutTo = "")
    {
        const std::string out = (dir_ / "stdout.bin").string();
        const std::string cmd = std::string(VELMORA_RENDER) + " " + args + " 2>" + path("err.txt") +
                                (stdoutTo.empty() ? " >" + out : " " + stdoutTo);
        const int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(path("err.txt"))};
    }
    static std::string slurp(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Renders `args` into a file named `name` and gives its bytes.
    std::string render(const std::string& name, const std::string& args)
    {
        const RunResult r = run(args + " " + path(name));
        EXPECT_EQ(r.status, 0) << args << ": " << r.err;
        return slurp(path(name));
    }

    fs::path dir_;
};

} // namespace

TEST_F(RenderOptionsTest, EachOptionGivesTheBytesOfTheSettingsItStandsFor)
{
    struct Case {
        const char* options;
        const char* settings;
    };
    const Case cases[] = {
        {"--wave sine --freq 1000", "WaveFormLeft=0 fInitLeft=1000"},
        {"--wave square", "WaveFormLeft=1"},
        {"--wave triangle", "WaveFormLeft=2"},
        {"--wave sawtooth", "WaveFormLeft=3"},
        {"--wave white", "WaveFormLeft=4"},
        {"--wave whitenoise", "WaveFormLeft=4"},
        {"--wave PINK", "WaveFormLeft=5"},
        {"--wave sine-pulse", "WaveFormLeft=6"},
        {"--wave dirac", "WaveFormLeft=7"},
        {"--wave silence", "WaveFormLeft=8"},
        {"--wave mls", "WaveFormLeft=9"},
        {"--wave multitone --length 18", "WaveFormLeft=13 txtMLSLengthLeft=18"},
        {"--wave imd-smpte", "WaveFormLeft=14"},
        {"--wave IMD-CCIF", "WaveFormLeft=15"},
        {"--wave square --alias-free", "WaveFormLeft=1 AliasFree=1"},
        {"--fade 20", "FadeOn=1 FadeMs=20"},
        {"--wave burst --freq 1000 --cycles 3.5 --burst-window none --burst-period 0.02",
         "WaveFormLeft=16 fInitLeft=1000 txtCyclesLeft=3.5 cboBurstWindowL=1 Duration=0.02"},
        // Options that name what the fields hold already.
        {"--wave BURST --burst-window Hann --cycles 6.5", "WaveFormLeft=16 cboBurstWindowL=0 txtCyclesLeft=6.5"},
        {"--wave imd-din", "WaveFormLeft=17"},
        // The length a field starts with still sets the duration to one period, and a length
        // given before its wave sets the wave's period.
        {"--wave pink-periodic --length 16", "WaveFormLeft=11 txtMLSLengthLeft=16"},
        {"--length 12 --wave multitone", "WaveFormLeft=13 txtMLSLengthLeft=12"},
        {"--wave pink-periodic --length 12 --band 500:2000", "WaveFormLeft=11 txtMLSLengthLeft=12 cboBandL=500:2000"},
        {"--right --wave white-periodic --length 12 --band 30:80",
         "cboChannels=1 WaveFormRight=10 txtMLSLengthRight=12 cboBandR=30:80"},
        {"--freq=2500.5", "fInitLeft=2500.5"},
        {"--freq 440,5", "fInitLeft=440,5"},
        {"--sweep 20:20000 --log", "fInitLeft=20 fFinalLeft=20000 chkConstantLeft=0 LogarithmicLeft=1"},
        {"--sweep 2000:200", "fInitLeft=2000 fFinalLeft=200 chkConstantLeft=0"},
        {"--sweep 100:1000 --bidirectional --repeat",
         "fInitLeft=100 fFinalLeft=1000 chkConstantLeft=0 BidirectionalLeft=1 Loop=1"},
        {"--level -20", "AmplitudeLeft=-20"},
        {"--wave white --crest 4:1", "WaveFormLeft=4 cboCrestFactorL=3"},
        {"--wave pink --crest 1.41", "WaveFormLeft=5 cboCrestFactorL=0"},
        {"--wave pink --crest 10", "WaveFormLeft=5 cboCrestFactorL=6"},
        {"--duration 0.03", "Duration=0.03"},
        {"--rate 48k --bits 24", "SamplingRate=48000 Quantisation=24"},
        {"--rate 8000", "SamplingRate=8000"},
        {"--rate 44.1k --freq 3000", "SamplingRate=44100 fInitLeft=3000"},
        {"--right", "cboChannels=1"},
        {"--freq 1000 --right --wave square --freq 500 --level -6",
         "fInitLeft=1000 cboChannels=1 WaveFormRight=1 fInitRight=500 AmplitudeRight=-6"},
        {"--phase 90 --right --sweep 30:3000 --log --wave triangle",
         "PhaseEdit=90 cboChannels=1 fInitRight=30 fFinalRight=3000 chkConstantRight=0 "
         "LogarithmicRight=1 WaveFormRight=2"},
        {"--right --wave pink --crest 3", "cboChannels=1 WaveFormRight=5 cboCrestFactorR=2"},
        // Settings mix in and keep their order.
        {"--wave sine fInitLeft=2000 --level -3 ModulationOnLeft=1",
         "WaveFormLeft=0 fInitLeft=2000 AmplitudeLeft=-3 ModulationOnLeft=1"},
    };
    const std::string common = "--seed 3 Duration=0.05 ";
    const std::string plain = render("plain.wav", common);
    for (const Case& c : cases) {
        const std::string byOptions = render("options.wav", common + c.options);
        const std::string bySettings = render("settings.wav", common + c.settings);
        ASSERT_GT(byOptions.size(), 44u) << c.options;
        EXPECT_TRUE(byOptions == bySettings) << c.options << " differs from " << c.settings;
        // The option changed something: the renderer did not just ignore both spellings.
        EXPECT_FALSE(byOptions == plain) << c.options << " renders the initial signal";
    }
}

// A periodic signal's length sets the duration to exactly one period, whatever the field
// held and whichever option came first: a loop of the file has no seam.
TEST_F(RenderOptionsTest, ALengthMakesTheFileOnePeriod)
{
    const std::pair<const char*, size_t> cases[] = {
        {"--wave pink-periodic --length 16", 65536},
        {"--length 16 --wave white-periodic", 65536},
        {"--length 12 --wave multitone", 4096},
        {"--wave mls --length 10", 1023},
    };
    for (const auto& [options, frames] : cases)
        EXPECT_EQ(render("period.wav", std::string("--rate 48k ") + options).size(), 44 + 2 * frames) << options;
}

TEST_F(RenderOptionsTest, OptionsStandBeforeOrAfterTheOutput)
{
    const std::string expected = render("a.wav", "--seed 9 WaveFormLeft=5 AmplitudeLeft=-10 Duration=0.1");
    for (const char* args : {"--seed 9 --wave pink --level -10 --duration 0.1 OUT",
                             "OUT --seed 9 --wave pink --level -10 --duration 0.1",
                             "--wave pink OUT --level -10 --seed 9 Duration=0.1"}) {
        std::string line = args;
        line.replace(line.find("OUT"), 3, path("b.wav"));
        ASSERT_EQ(run(line).status, 0) << args;
        EXPECT_TRUE(slurp(path("b.wav")) == expected) << args;
    }
}

TEST_F(RenderOptionsTest, DashWritesTheSameBytesToAPipeOrARedirection)
{
    // The example of the tool's documentation, and a stereo 24-bit one.
    struct Case {
        const char* dash;
        const char* file;
    };
    const Case cases[] = {
        {"- --seed 3 --wave pink --level -20 --duration 1",
         "--seed 3 OUT WaveFormLeft=5 AmplitudeLeft=-20 Duration=1"},
        {"--rate 96k --bits 24 --seed 5 --wave white --right --wave pink --duration 0.7 -",
         "SamplingRate=96000 Quantisation=24 --seed 5 WaveFormLeft=4 cboChannels=1 WaveFormRight=5 "
         "Duration=0.7 OUT"},
    };
    for (const Case& c : cases) {
        std::string fileArgs = c.file;
        fileArgs.replace(fileArgs.find("OUT"), 3, path("file.wav"));
        ASSERT_EQ(run(fileArgs).status, 0) << c.file;
        const std::string expected = slurp(path("file.wav"));
        ASSERT_GT(expected.size(), 44000u);

        const RunResult piped = run(c.dash, "| cat >" + path("piped.wav"));
        EXPECT_EQ(piped.status, 0) << c.dash << ": " << piped.err;
        EXPECT_TRUE(slurp(path("piped.wav")) == expected) << c.dash << " through a pipe";

        const RunResult redirected = run(c.dash, ">" + path("redirected.wav"));
        EXPECT_EQ(redirected.status, 0) << c.dash << ": " << redirected.err;
        EXPECT_TRUE(slurp(path("redirected.wav")) == expected) << c.dash << " into a redirection";
    }
}

TEST_F(RenderOptionsTest, HostileValuesAreOneLineExitTwoAndNoOutput)
{
    struct Case {
        std::string args;
        const char* culprit;
    };
    const std::vector<Case> cases = {
        {"--wave sinus", "--wave"},
        {"--wave ''", "--wave"},
        {"--wave 0", "--wave"},
        {"--freq abc", "--freq"},
        {"--freq -5", "--freq"},
        {"--freq 0", "--freq"},
        {"--freq nan", "--freq"},
        {"--freq inf", "--freq"},
        {"--freq 1e400", "--freq"},
        {"--freq 1,000.5", "--freq"},
        {"--freq 30000", "fInitLeft"},
        {"--sweep 20", "--sweep"},
        {"--sweep 20:", "--sweep"},
        {"--sweep :20", "--sweep"},
        {"--sweep 1:2:3", "--sweep"},
        {"--sweep 20:-20", "--sweep"},
        {"--level 5", "--level"},
        {"--level -101", "--level"},
        {"--level 0x10", "--level"},
        {"--crest 5", "--crest"},
        {"--cycles 0", "--cycles"},
        {"--cycles x", "--cycles"},
        {"--burst-window hamming", "--burst-window"},
        {"--burst-period 0", "--burst-period"},
        {"--band 500", "--band"},
        {"--band 2000:500", "--band"},
        {"--band 30:80:100", "--band"},
        {"--crest 4:2", "--crest"},
        {"--crest", "--crest"},
        {"--duration 0", "--duration"},
        {"--duration -1", "--duration"},
        {"--duration 1e-9", "Duration"},
        {"--rate 12345", "--rate"},
        {"--rate 44k", "--rate"},
        {"--rate k", "--rate"},
        {"--bits 8", "--bits"},
        {"--bits 16.0", "--bits"},
        {"--phase west", "--phase"},
        {"--right --right", "--right"},
        {"--log", "--log"},
        {"--bidirectional --right --sweep 1:2", "--bidirectional"},
        {"--right --log --sweep 1:2 --freq 9", "--freq"},
        {"--freq 1000 --sweep 100:200", "--freq"},
        {"--quiet=1", "--quiet"},
        {"--freq", "--freq"},
        {"--frequency 1000", "--frequency"},
        {"--fade 0", "--fade"},
        {"--fade 10001", "--fade"},
        {"--fade 2.5", "--fade"},
        {"--fade", "--fade"},
        {"FadeMs=0", "FadeMs"},
        {"FadeOn=2", "FadeOn"},
        {"--dither --wave sine", "--dither needs a value"},
        {"--wave pink-periodic --length 0", "'0'"},
        {"--wave mls txtMLSLengthLeft=33", "'33'"},
    };
    for (const Case& c : cases) {
        const RunResult toFile = run(c.args + " " + path("bad.wav"));
        EXPECT_EQ(toFile.status, 2) << c.args;
        EXPECT_FALSE(fs::exists(path("bad.wav"))) << c.args;
        EXPECT_TRUE(toFile.out.empty()) << c.args;
        EXPECT_NE(toFile.err.find(c.culprit), std::string::npos) << c.args << ": " << toFile.err;
        EXPECT_EQ(std::count(toFile.err.begin(), toFile.err.end(), '\n'), 1) << c.args << ": " << toFile.err;

        const RunResult toPipe = run(c.args + " -", "| cat >" + path("bad-pipe.wav"));
        EXPECT_EQ(toPipe.status, 0) << "the pipe's status is cat's: " << c.args;
        EXPECT_EQ(slurp(path("bad-pipe.wav")), "") << c.args;
        EXPECT_NE(toPipe.err.find(c.culprit), std::string::npos) << c.args << ": " << toPipe.err;
    }
}

TEST_F(RenderOptionsTest, VersionAndHelp)
{
    const RunResult version = run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "velmora-render " VELMORA_VERSION "\n");

    const RunResult help = run("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--wave", "--freq", "--sweep", "--log", "--bidirectional", "--level",
                               "--crest", "--right", "--phase", "--duration", "--repeat", "--rate",
                               "--bits", "--quiet", "--version", "sine-pulse", "'-'"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

// Runs the renderer with standard error on a terminal of its own and standard output into
// /dev/null; gives what the terminal showed.
static std::string RunOnTerminal(const std::vector<std::string>& args, int& status)
{
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(VELMORA_RENDER)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(VELMORA_RENDER, argv.data());
        ::_exit(127);
    }
    std::string shown;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0) break; // EIO once the child has gone
        shown.append(buf, static_cast<size_t>(n));
    }
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    ::close(master);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return shown;
}

// A long period is made before the render starts: a terminal hears of it once it has taken a
// second, with the period's length and the seconds so far, one line rewritten in place.
TEST_F(RenderOptionsTest, ALongPeriodIsToldOnATerminalUnlessQuiet)
{
    const std::vector<std::string> multitone{"/dev/null", "--wave", "multitone", "--length", "19",
                                             "--duration", "0.1"};
    int status = -1;
    const auto start = std::chrono::steady_clock::now();
    const std::string shown = RunOnTerminal(multitone, status);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(status, 0) << shown;
    if (seconds > 1.5) {
        EXPECT_NE(shown.find("making the signal's period (524288 samples): 1 s"), std::string::npos) << shown;
        EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1) << "one line, rewritten in place: " << shown;
    }
    std::vector<std::string> quiet = multitone;
    quiet.push_back("--quiet");
    EXPECT_EQ(RunOnTerminal(quiet, status), "");
    EXPECT_EQ(status, 0);
}

TEST_F(RenderOptionsTest, ProgressOnATerminalForLongRendersUnlessQuiet)
{
    // Long enough to pass the one-second mark: 100 seconds of stereo noise at 384 kHz,
    // 24 bits, into the null device (a few seconds here).
    const std::vector<std::string> longRender{"/dev/null", "--rate", "384k", "--bits", "24", "--wave", "pink",
                                              "--right", "--wave", "white", "--duration", "100"};
    int status = -1;
    const auto start = std::chrono::steady_clock::now();
    const std::string shown = RunOnTerminal(longRender, status);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(status, 0) << shown;
    if (seconds > 1.5) {
        EXPECT_NE(shown.find("rendering: 100 %"), std::string::npos) << shown;
        EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1) << "one line, rewritten in place: " << shown;
    }

    std::vector<std::string> quiet = longRender;
    quiet.push_back("--quiet");
    EXPECT_EQ(RunOnTerminal(quiet, status), "");
    EXPECT_EQ(status, 0);

    EXPECT_EQ(RunOnTerminal({"/dev/null", "--duration", "0.1"}, status), "");
    EXPECT_EQ(status, 0);
}
