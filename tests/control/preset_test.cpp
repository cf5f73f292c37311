// Preset records, preset files in their three formats, and store/recall through the
// generator's controls.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/generator.h"
#include "control/example_presets.h"
#include "files/preset_file.h"
#include "control/preset_memory.h"
#include "files/windows1252.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
constexpr Channel L = Channel::Left;
constexpr Channel R = Channel::Right;

class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/velmora-presets-XXXXXX";
        path_ = ::mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path_); }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const fs::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

// A generator whose every stored control holds a value that differs from its initial one.
void SetDistinctive(Generator& g)
{
    g.setIndex({Field::cboChannels}, 1);
    g.setChecked({Field::chkConstant, L}, false);
    g.setChecked({Field::chkConstant, R}, false);
    g.setText({Field::fInit, L}, "123,5");
    g.setText({Field::fFinal, L}, "4567.25");
    g.setText({Field::fInit, R}, "222");
    g.setText({Field::fFinal, R}, "3333");
    g.setText({Field::Duration}, "7,5");
    g.setText({Field::Amplitude, L}, "-12.5");
    g.setText({Field::Amplitude, R}, "-33");
    g.setIndex({Field::WaveForm, L}, kTriangular);
    g.setIndex({Field::WaveForm, R}, kSawtooth);
    g.setChecked({Field::Loop}, true);
    g.setChecked({Field::Tick, L}, false);
    g.setText({Field::PhaseEdit}, "90");
    g.setChecked({Field::Logarithmic, L}, true);
    g.setChecked({Field::Bidirectional, L}, true);
    g.setChecked({Field::Logarithmic, R}, true);
    g.setChecked({Field::Bidirectional, R}, true);
    g.setChecked({Field::ModulationOn, L}, true);
    g.setChecked({Field::ModulationOn, R}, true);
    g.setText({Field::ModPeriodEdit, L}, "0.25");
    g.setText({Field::ModPeriodEdit, R}, "2");
    g.setText({Field::ModDepthEdit, L}, "50");
    g.setText({Field::ModDepthEdit, R}, "75");
    g.setIndex({Field::ModFunction, L}, kModSquare);
    g.setIndex({Field::ModFunction, R}, kModTriangular);
    g.setText({Field::ModPhaseEdit, L}, "45");
    g.setText({Field::ModPhaseEdit, R}, "180");
    g.setIndex({Field::cboCrestFactor, L}, 5);
    g.setIndex({Field::cboCrestFactor, R}, 6);
}

TEST(PresetSlot, StoreWritesEveryFieldAtItsOffset)
{
    Generator g;
    SetDistinctive(g);
    PresetSlot r;
    r.setName("Mine");
    MemStore(g, r);

    struct Text { size_t offset; std::string text; };
    for (const Text& t : std::vector<Text>{
             {0, "Mine"}, {256, "123,5"}, {512, "4567.25"}, {768, "222"}, {1024, "3333"},
             {1280, "7,5"}, {1536, "-12.5"}, {1792, "-33"}, {2060, "90"}, {2324, "0.25"},
             {2580, "2"}, {2836, "50"}, {3092, "75"}, {3356, "45"}, {3612, "180"}}) {
        SCOPED_TRACE(t.offset);
        ASSERT_EQ(r.bytes[t.offset], t.text.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r.bytes[t.offset + 1]), t.text.size()), t.text);
    }
    struct Int { size_t offset; int32_t value; };
    for (const Int& i : std::vector<Int>{{2048, 2}, {2052, 3}, {3348, 2}, {3352, 3}, {3868, 5}, {3872, 6}}) {
        SCOPED_TRACE(i.offset);
        EXPECT_EQ(r.bytes[i.offset], i.value); // little endian: low byte first
        EXPECT_EQ(r.bytes[i.offset + 1], 0);
        EXPECT_EQ(r.integer(i.offset), i.value);
    }
    struct Flag { size_t offset; uint8_t value; };
    for (const Flag& f : std::vector<Flag>{{2056, 1}, {2057, 0}, {2058, 0}, {2059, 1}, {2316, 1}, {2317, 1},
                                          {2318, 1}, {2319, 1}, {2320, 0}, {2321, 0}, {2322, 1}, {2323, 1},
                                          {3876, 0}}) {
        SCOPED_TRACE(f.offset);
        EXPECT_EQ(r.bytes[f.offset], f.value);
    }
    r.setInteger(slot::WaveFormLeft, -1);
    EXPECT_EQ(r.bytes[2048], 0xFF);
    EXPECT_EQ(r.bytes[2051], 0xFF);
    EXPECT_EQ(r.integer(slot::WaveFormLeft), -1);
}

TEST(PresetSlot, RecallGivesEveryStoredSettingBack)
{
    Generator a;
    SetDistinctive(a);
    a.setChecked({Field::chkAsLeft}, false);
    PresetSlot r;
    MemStore(a, r);

    Generator b;
    MemRecall(b, r);
    const GeneratorSettings& x = a.settings;
    const GeneratorSettings& y = b.settings;
    for (Channel c : kChannels) {
        SCOPED_TRACE(index(c));
        EXPECT_EQ(y[c].WaveForm, x[c].WaveForm);
        EXPECT_EQ(y[c].chkConstant, x[c].chkConstant);
        EXPECT_EQ(y[c].fInit, x[c].fInit);
        EXPECT_EQ(y[c].fFinal, x[c].fFinal);
        EXPECT_EQ(y[c].Logarithmic, x[c].Logarithmic);
        EXPECT_EQ(y[c].Bidirectional, x[c].Bidirectional);
        EXPECT_EQ(y[c].Tick, x[c].Tick);
        EXPECT_EQ(y[c].ModulationOn, x[c].ModulationOn);
        EXPECT_EQ(y[c].ModFunction, x[c].ModFunction);
        EXPECT_EQ(y[c].ModDepthEdit, x[c].ModDepthEdit);
        EXPECT_EQ(y[c].ModPeriodEdit, x[c].ModPeriodEdit);
        EXPECT_EQ(y[c].ModPhaseEdit, x[c].ModPhaseEdit);
        EXPECT_EQ(y[c].cboCrestFactor, x[c].cboCrestFactor);
    }
    // The level and duration fields are normalised by their exit handlers during the recall.
    EXPECT_EQ(y[L].Amplitude, "-12.5");
    EXPECT_EQ(y[R].Amplitude, "-33");
    EXPECT_EQ(y.Duration, "7.5");
    EXPECT_EQ(y.PhaseEdit, "90");
    EXPECT_EQ(y.Loop, true);
    EXPECT_EQ(y.cboChannels, 1);
    // The recall ran the handlers: the channel state follows the recalled texts.
    EXPECT_DOUBLE_EQ(b[L].StartNorm, 123.5 / 44100);
    EXPECT_DOUBLE_EQ(b[R].FinalNorm, 3333.0 / 44100);
    EXPECT_DOUBLE_EQ(b[L].ModDepth, 0.5);
    EXPECT_NEAR(b[R].Amplitude, std::pow(10.0, -33 / 20.0), 1e-12);
}

TEST(PresetSlot, MonoByteAndOutOfRangeIndexesRecallSafely)
{
    struct Case { uint8_t mono; int channels; };
    for (const Case& c : {Case{0, 1}, Case{1, 0}, Case{2, 1}, Case{255, 1}}) {
        Generator g;
        PresetSlot r;
        MemStore(g, r);
        r.bytes[slot::Mono] = c.mono;
        MemRecall(g, r);
        EXPECT_EQ(g.settings.cboChannels, c.channels) << int(c.mono);
    }

    struct Index { size_t offset; int32_t stored; Field field; Channel channel; int recalled; };
    for (const Index& i : std::vector<Index>{
             {slot::WaveFormLeft, 57, Field::WaveForm, L, kWaveFormCount - 1},
             {slot::WaveFormRight, -1, Field::WaveForm, R, 0},
             {slot::WaveFormLeft, INT32_MIN, Field::WaveForm, L, 0},
             {slot::ModFunctionLeft, 99, Field::ModFunction, L, 3},
             {slot::ModFunctionRight, -1, Field::ModFunction, R, -1},
             {slot::cboCrestFactorL, -9, Field::cboCrestFactor, L, 0},
             {slot::cboCrestFactorR, 7, Field::cboCrestFactor, R, 6},
             {slot::cboCrestFactorL, -1, Field::cboCrestFactor, L, -1}}) {
        Generator g;
        PresetSlot r;
        MemStore(g, r);
        r.setInteger(i.offset, i.stored);
        MemRecall(g, r);
        EXPECT_EQ(g.index({i.field, i.channel}), i.recalled) << i.offset << " " << i.stored;
    }
}

TEST(PresetSlot, TextsUseTheWindowsCodePage)
{
    PresetSlot r;
    r.setText(slot::Name, "Grüße €5");
    EXPECT_EQ(r.rawText(slot::Name), "Gr\xFC\xDF" "e \x80" "5");
    EXPECT_EQ(r.name(), "Grüße €5");
    r.setName("日本 ok"); // outside the code page
    EXPECT_EQ(r.name(), "?? ok");
    r.setName(std::string(300, 'x'));
    EXPECT_EQ(r.bytes[0], 255);
    EXPECT_EQ(r.name(), std::string(255, 'x'));
    // A shorter text leaves the bytes after it as they were (not significant).
    r.setName("ab");
    EXPECT_EQ(r.name(), "ab");
    EXPECT_EQ(r.bytes[3], 'x');
    r.setName("");
    EXPECT_EQ(r.name(), "");

    EXPECT_EQ(Windows1252ToUtf8("\x81\x9D\xFF"), "\u0081\u009D\u00FF");
    EXPECT_EQ(Utf8ToWindows1252("\u0081\u009D\u00FF"), "\x81\x9D\xFF");
    EXPECT_EQ(Utf8ToWindows1252("a\xC3(b\xE2\x82"), "a?(b??"); // malformed sequences
    EXPECT_EQ(Utf8ToWindows1252("\xF0\x9F\x8E\xB5"), "?");     // one character outside
    EXPECT_TRUE(IsValidUtf8("Grüße"));
    EXPECT_FALSE(IsValidUtf8("Gr\xFC\xDF" "e"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));     // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_EQ(TextFileToUtf8("\xEF\xBB\xBFplay"), "play");
    EXPECT_EQ(TextFileToUtf8("M\xFCller"), "Müller");
}

PresetRecords DistinctRecords()
{
    PresetRecords records{};
    for (size_t n = 0; n < records.size(); ++n) {
        Generator g;
        g.setText({Field::fInit, L}, std::to_string(100 * (n + 1)));
        MemStore(g, records[n]);
        records[n].setName("Preset " + std::to_string(n + 1));
        records[n].bytes[slot::Reserved] = static_cast<uint8_t>(0xA0 + n); // kept as held
        records[n].bytes[slot::Name + 200] = 0x55;
    }
    return records;
}

TEST(PresetFile, CurrentFormatIsExactlyTheHeaderAndTheRecordsAsHeld)
{
    const PresetRecords records = DistinctRecords();
    const std::string bytes = BuildPresetFile(records);
    ASSERT_GT(bytes.size(), 15541u);
    EXPECT_EQ(bytes.substr(15541, 5), std::string("VLM+\x01")) << "the added block follows the records";
    EXPECT_EQ(bytes.substr(0, 21), std::string("\x14" "ZRX Preset File V4.1"));
    for (size_t n = 0; n < 4; ++n)
        EXPECT_EQ(std::memcmp(bytes.data() + 21 + 3880 * n, records[n].bytes.data(), 3880), 0) << n;

    TempDir dir;
    WritePresetFile(dir / "a.zrx", records);
    EXPECT_EQ(ReadAll(dir / "a.zrx"), bytes);
    const PresetFileContents back = ReadPresetFile(dir / "a.zrx");
    EXPECT_EQ(back.kind, PresetFileKind::Current);
    EXPECT_EQ(back.records, records);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1); // no temporary left
}

TEST(PresetFile, TheBurstAndBandFieldsTravelInTheBlockThatEarlierReadersSkip)
{
    Generator g;
    g.selectIndex({Field::WaveForm, L}, kToneBurst);
    g.setText({Field::txtCycles, L}, "3,5");
    g.selectIndex({Field::cboBurstWindow, R}, kBurstNoWindow);
    g.setText({Field::cboBand, R}, "30:80");
    PresetRecords records{};
    MemStore(g, records[2]);
    const std::string bytes = BuildPresetFile(records);

    // Read in full: the fields come back; recalled, they are set again.
    const PresetFileContents back = ParsePresetFile(bytes, "x");
    EXPECT_EQ(back.records, records);
    Generator h;
    MemRecall(h, back.records[2]);
    EXPECT_EQ(h.index({Field::WaveForm, L}), kToneBurst);
    EXPECT_EQ(h.text({Field::txtCycles, L}), "3,5");
    EXPECT_EQ(h.index({Field::cboBurstWindow, R}), kBurstNoWindow);
    EXPECT_EQ(h.text({Field::cboBand, R}), "30:80");

    // A file of an earlier writer (the records alone) or a block cut short: the records as
    // they are, the added fields at their defaults, which a recall sets.
    for (const size_t size : {size_t{15541}, bytes.size() - 3}) {
        const PresetFileContents old = ParsePresetFile(bytes.substr(0, size), "old");
        ASSERT_EQ(old.kind, PresetFileKind::Current);
        EXPECT_EQ(old.records[2].bytes, records[2].bytes);
        EXPECT_EQ(old.records[2].added, PresetAdded{}) << size;
        MemRecall(h, old.records[2]);
        EXPECT_EQ(h.text({Field::txtCycles, L}), "6.5");
        EXPECT_EQ(h.index({Field::cboBurstWindow, R}), kBurstHann);
        EXPECT_EQ(h.text({Field::cboBand, R}), "Full");
    }
}

TEST(PresetFile, LoadChangesTheMemoriesAndTheirNamesOnly)
{
    TempDir dir;
    WritePresetFile(dir / "a.zrx", DistinctRecords());
    Generator g;
    PresetBank bank(g);
    std::vector<int> named;
    bank.hooks.nameChanged = [&](int n) { named.push_back(n); };
    int written = 0;
    g.hooks.controlWritten = [&](Control) { ++written; };

    EXPECT_EQ(bank.LoadSettings(dir / "a.zrx"), PresetLoad::Loaded);
    EXPECT_EQ(named, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(written, 0); // nothing recalled
    EXPECT_EQ(bank.name(3), "Preset 3");
    EXPECT_EQ(g.settings[L].fInit, "100");
    bank.MemRecall(3);
    EXPECT_EQ(g.settings[L].fInit, "300");
}

// A file of the older format as an old version wrote it: four 3868-byte records.
std::string OldFile(bool full = true)
{
    std::string bytes("\x14" "ZRX Preset File V3.6");
    for (int n = 1; n <= 4; ++n) {
        Generator g;
        g.setIndex({Field::cboChannels}, 1);
        g.setText({Field::fInit, L}, std::to_string(1000 * n));
        g.setText({Field::fInit, R}, std::to_string(1000 * n + 1));
        g.setIndex({Field::WaveForm, L}, kPinkNoise);
        PresetSlot r;
        MemStore(g, r);
        r.setName("Old " + std::to_string(n));
        bytes.append(reinterpret_cast<const char*>(r.bytes.data()), kPresetSlotSize36);
    }
    if (!full) bytes.resize(9000);
    return bytes;
}

TEST(PresetFile, OlderFormatIsImportedThroughTheControls)
{
    TempDir dir;
    WriteAll(dir / "old.zrx", OldFile());
    ASSERT_EQ(fs::file_size(dir / "old.zrx"), 15493u);

    Generator g;
    g.setIndex({Field::cboChannels}, 1);
    g.setChecked({Field::chkAsLeft}, true);
    g.setIndex({Field::cboCrestFactor, L}, 1);
    PresetBank bank(g);
    bank.autostart = true;
    int starts = 0;
    bank.hooks.startsignal = [&] { ++starts; };
    std::vector<std::string> events;
    bank.hooks.notice = [&](std::string_view text) { events.emplace_back(text); };
    bank.hooks.nameChanged = [&](int n) { events.push_back("name " + std::to_string(n)); };

    EXPECT_EQ(bank.LoadSettings(dir / "old.zrx"), PresetLoad::Imported);
    EXPECT_EQ(events, (std::vector<std::string>{std::string(kImportNoticeText), "name 1", "name 2",
                                                "name 3", "name 4"}));
    EXPECT_EQ(starts, 0); // an import never autostarts
    for (int n = 1; n <= 4; ++n) {
        const PresetSlot& r = bank.memory(n);
        EXPECT_EQ(r.name(), "Old " + std::to_string(n));
        EXPECT_EQ(r.integer(slot::cboCrestFactorL), 3);
        EXPECT_EQ(r.integer(slot::cboCrestFactorR), 3);
        EXPECT_FALSE(r.flag(slot::chkAsLeft));
        EXPECT_EQ(r.text(slot::fInitLeft), std::to_string(1000 * n));
    }
    // The controls show memory 4.
    EXPECT_EQ(g.settings[L].fInit, "4000");
    EXPECT_EQ(g.settings[R].fInit, "4001");
    EXPECT_EQ(g.settings[L].cboCrestFactor, 3);
    EXPECT_FALSE(g.settings.chkAsLeft);
}

TEST(PresetFile, RefusedIgnoredAndIncompleteFilesLeaveTheMemoriesAlone)
{
    TempDir dir;
    std::string current = BuildPresetFile(DistinctRecords());
    struct Case {
        std::string name;
        std::string bytes;
        PresetLoad result;     // when it loads at all
        std::string error;     // when it throws
        std::string notice;
    };
    const std::vector<Case> cases{
        {"v32.zrx", "ZRX Preset File V3.2\r\n100\r\n", PresetLoad::Obsolete, "", std::string(kObsoleteFormatText)},
        {"v32more.zrx", "ZRX Preset File V3.2 and more\n", PresetLoad::Obsolete, "", std::string(kObsoleteFormatText)},
        {"unknown.zrx", "\x14ZRX Preset File V9.9" + std::string(15520, '\0'), PresetLoad::Ignored, "", ""},
        {"empty.zrx", "", PresetLoad::Ignored, "", ""},
        {"header.zrx", "\x13ZRX Preset File V4.1", PresetLoad::Ignored, "", ""}, // wrong length byte
        {"short.zrx", current.substr(0, 8000), PresetLoad::Ignored,
         "The preset file " + (dir / "short.zrx").string() + " is incomplete: 8000 of 15541 bytes.", ""},
        {"short36.zrx", OldFile(false), PresetLoad::Ignored,
         "The preset file " + (dir / "short36.zrx").string() + " is incomplete: 9000 of 15493 bytes.", ""},
        {"onebyte.zrx", current.substr(0, 15540), PresetLoad::Ignored,
         "The preset file " + (dir / "onebyte.zrx").string() + " is incomplete: 15540 of 15541 bytes.", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(dir / c.name, c.bytes);
        Generator g;
        PresetBank bank(g);
        bank.storeAllFromCurrent();
        const PresetRecords before = bank.records();
        const GeneratorSettings settingsBefore = g.settings;
        std::vector<std::string> notices;
        bank.hooks.notice = [&](std::string_view t) { notices.emplace_back(t); };
        if (c.error.empty()) {
            EXPECT_EQ(bank.LoadSettings(dir / c.name), c.result);
        } else {
            try {
                bank.LoadSettings(dir / c.name);
                ADD_FAILURE() << "no error";
            } catch (const PresetFileError& e) {
                EXPECT_EQ(e.what(), c.error);
            }
        }
        EXPECT_EQ(notices, c.notice.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.notice});
        EXPECT_EQ(bank.records(), before);
        EXPECT_EQ(g.settings[L].fInit, settingsBefore[L].fInit);
        EXPECT_EQ(bank.name(1), "Memory 1");
    }

    Generator g;
    PresetBank bank(g);
    try {
        bank.LoadSettings(dir / "missing.zrx");
        ADD_FAILURE() << "no error";
    } catch (const PresetFileError& e) {
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
    }
}

TEST(PresetFile, FailedSaveKeepsTheEarlierFileWhole)
{
    TempDir dir;
    const fs::path file = dir / "keep.zrx";
    const PresetRecords first = DistinctRecords();
    WritePresetFile(file, first);
    const std::string earlier = ReadAll(file);

    // A disk that fills up after 4 KiB: the write fails half way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    PresetRecords second{};
    std::string error;
    try {
        WritePresetFile(file, second);
    } catch (const PresetFileError& e) {
        error = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_NE(error.find("Cannot write file"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(file), earlier);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    EXPECT_THROW(WritePresetFile(dir / "no-such-folder" / "x.zrx", first), PresetFileError);
}

TEST(PresetBank, RecallStopsTheOutputAndStartsOnlyWithAutostart)
{
    for (bool autostart : {false, true}) {
        Generator g;
        bool active = true;
        int stops = 0, starts = 0;
        g.hooks.outputActive = [&] { return active; };
        g.hooks.stopAtOnce = [&] { ++stops, active = false; };
        PresetBank bank(g);
        bank.autostart = autostart;
        bank.hooks.startsignal = [&] { ++starts; };
        bank.MemRecall(2);
        EXPECT_GE(stops, 1);
        EXPECT_EQ(starts, autostart ? 1 : 0);
    }
    Generator g;
    PresetBank bank(g);
    EXPECT_THROW(bank.MemRecall(0), PresetNumberError);
    EXPECT_THROW(bank.MemStore(5), PresetNumberError);
}

TEST(PresetBank, StartUpNamesAndRename)
{
    Generator g;
    g.setText({Field::fInit, L}, "440");
    PresetBank bank(g);
    bank.storeAllFromCurrent();
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(bank.name(n), "Memory " + std::to_string(n));
        EXPECT_EQ(bank.memory(n).text(slot::fInitLeft), "440");
    }
    bank.rename(2, "");
    EXPECT_EQ(bank.name(2), "");
    TempDir dir;
    bank.save(dir / "names.zrx");
    Generator g2;
    PresetBank bank2(g2);
    bank2.storeAllFromCurrent();
    bank2.LoadSettings(dir / "names.zrx");
    EXPECT_EQ(bank2.name(1), "Memory 1");
    EXPECT_EQ(bank2.name(2), "");
}

TEST(ExamplePresets, FourUsefulPresetsMadeThroughTheControls)
{
    TempDir dir;
    WritePresetRecipes(dir / "Examples.zrx", ExamplePresetRecipes());
    const PresetFileContents c = ReadPresetFile(dir / "Examples.zrx");
    ASSERT_EQ(c.kind, PresetFileKind::Current);
    const PresetSlot& sine = c.records[0];
    EXPECT_EQ(sine.text(slot::fInitLeft), "1000");
    EXPECT_EQ(sine.text(slot::AmplitudeLeft), "-20");
    EXPECT_EQ(sine.byte(slot::Mono), 1);
    const PresetSlot& pink = c.records[1];
    EXPECT_EQ(pink.integer(slot::WaveFormLeft), kPinkNoise);
    EXPECT_EQ(pink.integer(slot::cboCrestFactorL), 3);
    const PresetSlot& sweep = c.records[2];
    EXPECT_FALSE(sweep.flag(slot::chkConstantLeft));
    EXPECT_TRUE(sweep.flag(slot::LogarithmicLeft));
    EXPECT_EQ(sweep.text(slot::fInitLeft), "20");
    EXPECT_EQ(sweep.text(slot::fFinalLeft), "20000");
    const PresetSlot& stereo = c.records[3];
    EXPECT_EQ(stereo.byte(slot::Mono), 0);
    EXPECT_EQ(stereo.text(slot::fInitLeft), "1000");
    EXPECT_EQ(stereo.text(slot::fInitRight), "500");
    for (const PresetSlot& r : c.records) EXPECT_FALSE(r.name().empty());
}

} // namespace
} // namespace velmora
