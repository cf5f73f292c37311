#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/controls.h"
#include "engine/generator.h"
#include "engine/pcm.h"
#include "files/output_file.h"
#include "files/wav_header.h"
#include "files/wave_export.h"

using namespace velmora;
namespace fs = std::filesystem;

namespace {
uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

std::vector<uint8_t> ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() /
               ("velmora-export-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    Generator make(int rate, int bits, bool stereo)
    {
        Generator g;
        g.settings.output.SamplingRate = rate;
        g.settings.output.Quantisation = bits;
        g.selectIndex({Field::cboChannels}, stereo ? 1 : 0);
        return g;
    }
    fs::path dir_;
};
} // namespace

TEST(WavHeader, FieldsAndSizes)
{
    struct Case {
        WavFormat format;
        int64_t frames;
        uint32_t riff, byteRate, data;
        uint16_t align, bits;
    };
    const Case cases[] = {
        {{2, 44100, 4}, 220500, 882036, 176400, 882000, 4, 16},
        {{1, 48000, 3}, 48000, 144036, 144000, 144000, 3, 24},
        {{2, 384000, 6}, 1, 42, 2304000, 6, 6, 24},
        {{1, 8000, 2}, 0, 36, 16000, 0, 2, 16},
    };
    for (const Case& c : cases) {
        const WavHeader h = MakeWavHeader(c.format, c.frames);
        EXPECT_EQ(std::string(h.begin(), h.begin() + 4), "RIFF");
        EXPECT_EQ(Le32(&h[4]), c.riff);
        EXPECT_EQ(std::string(h.begin() + 8, h.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(Le32(&h[16]), 16u);
        EXPECT_EQ(Le16(&h[20]), 1);
        EXPECT_EQ(Le16(&h[22]), c.format.channels);
        EXPECT_EQ(Le32(&h[24]), static_cast<uint32_t>(c.format.samplingRate));
        EXPECT_EQ(Le32(&h[28]), c.byteRate);
        EXPECT_EQ(Le16(&h[32]), c.align);
        EXPECT_EQ(Le16(&h[34]), c.bits);
        EXPECT_EQ(std::string(h.begin() + 36, h.begin() + 40), "data");
        EXPECT_EQ(Le32(&h[40]), c.data);
    }
}

TEST_F(ExportTest, FileHoldsExactlyTheLiveFrames)
{
    // The file's frames equal what the fill writes for the same prepared signal.
    Generator g = make(44100, 24, true);
    g.setChecked({Field::ModulationOn, Channel::Left}, true);
    g.setText({Field::fInit, Channel::Right}, "997");
    g.setText({Field::Duration}, "0.5");
    g.PrepareSignal();
    const fs::path file = dir_ / "a.wav";
    ASSERT_EQ(WriteWaveData(g, file.string()), ExportResult::Written);

    Generator live = make(44100, 24, true);
    live.setChecked({Field::ModulationOn, Channel::Left}, true);
    live.setText({Field::fInit, Channel::Right}, "997");
    live.setText({Field::Duration}, "0.5");
    live.PrepareSignal();
    std::vector<uint8_t> frames(22050 * 6);
    live.writeFrames(frames.data(), 22050, live.readChoices());

    const std::vector<uint8_t> bytes = ReadAll(file);
    ASSERT_EQ(bytes.size(), 44u + 22050 * 6);
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), bytes.begin() + 44));
}

TEST_F(ExportTest, LongNoiseFilesMatchTheFrameWriter)
{
    // Long noise exports finish their frames on a second thread; the bytes are the same.
    auto prepare = [this](Generator& g) {
        g = make(48000, 24, true);
        g.uniform.seed(5);
        g.selectIndex({Field::WaveForm, Channel::Left}, kPinkNoise);
        g.selectIndex({Field::WaveForm, Channel::Right}, kWhiteNoise);
        g.selectIndex({Field::cboCrestFactor, Channel::Right}, 4);
        g.setChecked({Field::ModulationOn, Channel::Left}, true);
        g.setText({Field::Duration}, "2.5");
        g.PrepareSignal();
    };
    Generator g;
    prepare(g);
    const fs::path file = dir_ / "noise.wav";
    ASSERT_EQ(WriteWaveData(g, file.string()), ExportResult::Written);

    Generator ref;
    prepare(ref);
    FrameChoices choices = ref.readChoices();
    choices.wholeSignal = true;
    std::vector<uint8_t> frames(120000 * 6);
    ref.writeFrames(frames.data(), 120000, choices);

    const std::vector<uint8_t> bytes = ReadAll(file);
    ASSERT_EQ(bytes.size(), 44u + frames.size());
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), bytes.begin() + 44));
    EXPECT_EQ(g.uniform.state(), ref.uniform.state());
    EXPECT_EQ(g[Channel::Left].ModFactor, ref[Channel::Left].ModFactor);
    EXPECT_EQ(g.state.SampleCounter, ref.state.SampleCounter);

    // Cancelled half way, and failing writes, on the same path.
    prepare(g);
    int calls = 0;
    EXPECT_EQ(WriteWaveData(g, (dir_ / "cancelled.wav").string(),
                            [&](int64_t, int64_t) { return ++calls < 6; }),
              ExportResult::Cancelled);
    EXPECT_FALSE(fs::exists(dir_ / "cancelled.wav"));
    if (fs::is_character_file("/dev/full")) {
        prepare(g);
        EXPECT_THROW(WriteWaveData(g, "/dev/full"), FileAccessError);
    }
}

TEST_F(ExportTest, PulseFilesHoldTheirNonZeroFrames)
{
    struct Case {
        int wave;
        int nonZero;
    };
    for (const Case& c : {Case{kDiracPulse, 1}, Case{kSinePulse, 23}}) {
        Generator g = make(44100, 16, false);
        g.selectIndex({Field::WaveForm, Channel::Left}, c.wave);
        g.setText({Field::fInit, Channel::Left}, "1000");
        g.setText({Field::Duration}, "0.1");
        g.PrepareSignal();
        const fs::path file = dir_ / "p.wav";
        WriteWaveData(g, file.string());
        const auto bytes = ReadAll(file);
        int nonZero = 0;
        for (size_t i = 44; i + 1 < bytes.size(); i += 2) nonZero += UnpackSample(&bytes[i], 2) != 0;
        EXPECT_EQ(nonZero, c.nonZero) << c.wave;
        EXPECT_EQ(UnpackSample(&bytes[44], 2) != 0, true);
    }
}

TEST_F(ExportTest, StereoRightOnlyCarriesTheFullRightSample)
{
    Generator g = make(48000, 24, true);
    g.setChecked({Field::Tick, Channel::Left}, false);
    g.setText({Field::Duration}, "0.01");
    g.PrepareSignal();
    const fs::path file = dir_ / "r.wav";
    WriteWaveData(g, file.string());
    const auto bytes = ReadAll(file);
    ASSERT_EQ(bytes.size(), 44u + 480 * 6);
    int32_t peak = 0;
    for (size_t i = 44; i < bytes.size(); i += 6) {
        EXPECT_EQ(UnpackSample(&bytes[i], 3), 0);
        peak = std::max(peak, UnpackSample(&bytes[i + 3], 3));
    }
    EXPECT_GT(peak, 8388607 / 2); // a full-level 24-bit right channel
}

TEST_F(ExportTest, CancelAndFailureLeaveNoPartialFile)
{
    Generator g = make(44100, 16, true);
    g.setText({Field::Duration}, "2");
    g.PrepareSignal();
    const fs::path file = dir_ / "c.wav";
    {
        std::ofstream old(file);
        old << "earlier";
    }
    std::vector<int64_t> calls;
    const ExportResult r = WriteWaveData(g, file.string(), [&](int64_t done, int64_t total) {
        calls.push_back(done);
        EXPECT_EQ(total, 88200);
        return done < 40000;
    });
    EXPECT_EQ(r, ExportResult::Cancelled);
    EXPECT_EQ(calls, (std::vector<int64_t>{0, 10000, 20000, 30000, 40000}));
    EXPECT_EQ(ReadAll(file).size(), 7u); // the earlier file is untouched
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

    EXPECT_THROW(WriteWaveData(g, (dir_ / "missing" / "x.wav").string()), FileAccessError);
    if (fs::is_character_file("/dev/full")) {
        // A device that fails every write (a full disk): the error is reported and the
        // device is written in place, never replaced.
        g.PrepareSignal();
        EXPECT_THROW(WriteWaveData(g, "/dev/full"), FileAccessError);
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }
}

TEST_F(ExportTest, DevicesAreWrittenInPlaceAndLinksFollowed)
{
    Generator g = make(44100, 16, false);
    g.setText({Field::Duration}, "0.1");
    g.PrepareSignal();
    EXPECT_EQ(WriteWaveData(g, "/dev/null"), ExportResult::Written);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    const fs::path target = dir_ / "target.wav";
    const fs::path link = dir_ / "link.wav";
    { std::ofstream(target) << "old"; }
    fs::create_symlink(target, link);
    g.PrepareSignal();
    WriteWaveData(g, link.string());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::file_size(target), 44u + 4410 * 2);
}

TEST_F(ExportTest, MoreThanTheDiskHoldsIsRefusedBeforeWriting)
{
    // Ten years at 384 kHz: an RF64 file that no disk here holds.
    Generator g = make(384000, 24, true);
    g.setText({Field::Duration}, "315360000");
    g.PrepareSignal();
    const fs::path file = dir_ / "long.wav";
    { std::ofstream(file) << "old"; }
    try {
        WriteWaveData(g, file.string());
        FAIL() << "the export was not refused";
    } catch (const FileAccessError& e) {
        EXPECT_EQ(e.error(), ENOSPC);
    }
    EXPECT_EQ(fs::file_size(file), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST(WavHeader, FloatAndRf64)
{
    struct Case {
        const char* name;
        WavFormat format;
        int64_t frames;
        std::vector<std::pair<size_t, std::string>> tags;
        std::vector<std::pair<size_t, uint64_t>> fields32, fields64;
        size_t size;
    };
    const int64_t big = 400000000; // 2.4 GB of 24-bit stereo
    const Case cases[] = {
        {"float", {2, 48000, 8, true}, 1000,
         {{0, "RIFF"}, {8, "WAVEfmt "}, {38, "fact"}, {50, "data"}},
         {{4, 8000 + 50}, {16, 18}, {42, 4}, {46, 1000}, {54, 8000}}, {}, 58},
        {"rf64", {2, 384000, 6, false}, big,
         {{0, "RF64"}, {8, "WAVEds64"}, {48, "fmt "}, {72, "data"}},
         {{4, 0xFFFFFFFF}, {16, 28}, {44, 0}, {52, 16}, {76, 0xFFFFFFFF}},
         {{20, uint64_t(big) * 6 + 36 + 36}, {28, uint64_t(big) * 6}, {36, uint64_t(big)}}, 80},
        {"rf64-float", {1, 384000, 4, true}, 600000000,
         {{0, "RF64"}, {8, "WAVEds64"}, {48, "fmt "}, {74, "fact"}, {86, "data"}},
         {{4, 0xFFFFFFFF}, {52, 18}, {78, 4}, {82, 0xFFFFFFFF}, {90, 0xFFFFFFFF}},
         {{20, 2400000000ull + 50 + 36}, {28, 2400000000ull}, {36, 600000000}}, 94},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const WavHeader h = MakeWavHeader(c.format, c.frames);
        ASSERT_EQ(h.size(), c.size);
        EXPECT_EQ(NeedsRf64(c.format, c.frames), h[1] == 'F');
        for (const auto& [at, tag] : c.tags) EXPECT_EQ(std::string(h.begin() + at, h.begin() + at + tag.size()), tag);
        for (const auto& [at, v] : c.fields32) EXPECT_EQ(Le32(&h[at]), v) << "at " << at;
        for (const auto& [at, v] : c.fields64)
            EXPECT_EQ(Le32(&h[at]) | uint64_t{Le32(&h[at + 4])} << 32, v) << "at " << at;
        // The format chunk: tag 3 for float, the frame size and bits.
        const size_t fmt = h[1] == 'F' ? 48 : 12;
        EXPECT_EQ(Le16(&h[fmt + 8]), c.format.floating ? 3 : 1);
        EXPECT_EQ(Le16(&h[fmt + 20]), c.format.bytesPerFrame);
        EXPECT_EQ(Le16(&h[fmt + 22]), c.format.bytesPerFrame * 8 / c.format.channels);
    }
    // The largest 44-byte file, and one frame more.
    const WavFormat pcm{2, 44100, 4};
    const int64_t last = kMaxWavDataBytes / 4;
    EXPECT_EQ(MakeWavHeader(pcm, last).size(), 44u);
    EXPECT_EQ(MakeWavHeader(pcm, last + 1).size(), 80u);
}

TEST_F(ExportTest, AWaveformChosenWhileExportingTakesEffectFromTheNextRun)
{
    // The progress call after frame 10001 is where a message from another program can arrive.
    struct Case {
        const char* name;
        bool stereo;
        int leftFrom, rightFrom; // waveforms at the start
        Channel changed;
        int to;
        const char* duration;
    };
    const Case cases[] = {
        {"mono sine to square", false, kSine, kSine, Channel::Left, kSquare, "0.5"},
        {"mono sine to white noise", false, kSine, kSine, Channel::Left, kWhiteNoise, "0.5"},
        // Long noise goes through the second thread.
        {"stereo pink noise, left to sine", true, kPinkNoise, kWhiteNoise, Channel::Left, kSine, "1.5"},
        {"stereo noise, right to triangle", true, kWhiteNoise, kPinkNoise, Channel::Right, kTriangular, "1.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto prepare = [&](Generator& g) {
            g = make(44100, 16, c.stereo);
            g.uniform.seed(77);
            g.selectIndex({Field::WaveForm, Channel::Left}, c.leftFrom);
            g.selectIndex({Field::WaveForm, Channel::Right}, c.rightFrom);
            g.setText({Field::Duration}, c.duration);
            g.PrepareSignal();
        };
        Generator g;
        prepare(g);
        const int64_t total = ExportFrameCount(g);
        const int bytesPerFrame = g.state.BytesPerFrame;
        const fs::path file = dir_ / "changed.wav";
        ASSERT_EQ(WriteWaveData(g, file.string(),
                                [&](int64_t done, int64_t) {
                                    if (done == 10000) g.selectIndex({Field::WaveForm, c.changed}, c.to);
                                    return true;
                                }),
                  ExportResult::Written);

        // The same signal written in two pieces, the waveform changed between them.
        Generator ref;
        prepare(ref);
        std::vector<uint8_t> frames(static_cast<size_t>(total * bytesPerFrame));
        FrameChoices choices = ref.readChoices();
        choices.wholeSignal = true;
        const int64_t first = ref.writeFrames(frames.data(), 10001, choices);
        ref.selectIndex({Field::WaveForm, c.changed}, c.to);
        choices = ref.readChoices();
        choices.wholeSignal = true;
        ref.writeFrames(frames.data() + first, total - 10001, choices);

        const std::vector<uint8_t> bytes = ReadAll(file);
        ASSERT_EQ(bytes.size(), 44u + frames.size());
        EXPECT_TRUE(std::equal(frames.begin(), frames.end(), bytes.begin() + 44));
        // The change really reached the file: the first piece alone differs from the rest.
        Generator unchanged;
        prepare(unchanged);
        std::vector<uint8_t> plain(frames.size());
        FrameChoices same = unchanged.readChoices();
        same.wholeSignal = true;
        unchanged.writeFrames(plain.data(), total, same);
        EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + first, bytes.begin() + 44));
        EXPECT_FALSE(std::equal(plain.begin(), plain.end(), bytes.begin() + 44));
    }
}
namespace {
// Runs `body` in a child process and returns how the child ended: its exit status, or
// 128 + the signal that ended it.
template <class Body>
int InChild(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int FilesIn(const fs::path& dir)
{
    return static_cast<int>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}
} // namespace

TEST_F(ExportTest, AProcessEndedMidExportLeavesNoFile)
{
    // With unnamed files (the usual case) any end of the process leaves nothing behind;
    // with the named temporary file of file systems that lack them, every catchable signal.
    for (const bool unnamed : {true, false}) {
        for (const int signo : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
            if (!unnamed && signo == SIGKILL) continue;
            SCOPED_TRACE(testing::Message() << (unnamed ? "unnamed" : "named") << ", signal " << signo);
            const int ended = InChild([&] {
                OutputFile::setUnnamedFilesForTesting(unnamed);
                Generator g = make(44100, 16, true);
                g.setText({Field::Duration}, "10");
                g.PrepareSignal();
                WriteWaveData(g, (dir_ / "killed.wav").string(), [&](int64_t done, int64_t) {
                    if (done == 200000) ::raise(signo);
                    return true;
                });
            });
            EXPECT_EQ(ended, 128 + signo);
            EXPECT_EQ(FilesIn(dir_), 0);
        }
    }
}

TEST_F(ExportTest, TargetsAreWrittenAsTheirPermissionsAndLinksSay)
{
    Generator g = make(8000, 16, false);
    g.setText({Field::Duration}, "0.01");
    const uintmax_t bytes = 44 + 80 * 2;

    // A replaced file keeps its mode.
    const fs::path kept = dir_ / "kept.wav";
    { std::ofstream(kept) << "old"; }
    fs::permissions(kept, fs::perms(0640));
    g.PrepareSignal();
    WriteWaveData(g, kept.string());
    EXPECT_EQ(fs::file_size(kept), bytes);
    EXPECT_EQ(fs::status(kept).permissions(), fs::perms(0640));

    // A dangling link is followed as a live one is: the file appears where it points.
    const fs::path dangling = dir_ / "dangling.wav";
    fs::create_symlink("made-through-link.wav", dangling);
    g.PrepareSignal();
    WriteWaveData(g, dangling.string());
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(fs::file_size(dir_ / "made-through-link.wav"), bytes);

    // The longest legal name.
    const fs::path longest = dir_ / (std::string(251, 'n') + ".wav");
    g.PrepareSignal();
    EXPECT_EQ(WriteWaveData(g, longest.string()), ExportResult::Written);
    EXPECT_EQ(fs::file_size(longest), bytes);
    EXPECT_EQ(FilesIn(dir_), 4);
}

TEST_F(ExportTest, AFileTheUserMayNotWriteIsRefusedUntouched)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    // A world-writable folder holding root's read-only file: another user may rename over
    // it, but it is not theirs to replace.
    fs::permissions(dir_, fs::perms(0777));
    const fs::path locked = dir_ / "locked.wav";
    { std::ofstream(locked) << "root's"; }
    fs::permissions(locked, fs::perms(0444));
    const int ended = InChild([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        Generator g = make(8000, 16, false);
        g.setText({Field::Duration}, "0.01");
        g.PrepareSignal();
        try {
            WriteWaveData(g, locked.string());
        } catch (const FileAccessError& e) {
            ::_exit(std::string(e.what()).starts_with("File Access Error, cannot write file.") ? 2 : 4);
        }
        ::_exit(0);
    });
    EXPECT_EQ(ended, 2);
    EXPECT_EQ(ReadAll(locked).size(), 6u);
    struct stat st {};
    ASSERT_EQ(::stat(locked.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(FilesIn(dir_), 1);
}
