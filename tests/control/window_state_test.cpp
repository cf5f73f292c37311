// The window state saved at close and restored at start, on a real generator with the
// windows stood in for by a recording host.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/window_state.h"
#include "temp_config.h"

namespace {

using namespace velmora;
constexpr Channel L = Channel::Left;
constexpr Channel R = Channel::Right;

// The windows, as plain fields; records what the restore asked of them.
class FakeHost final : public WindowStateHost {
public:
    int device = 0;
    int devices = 3;
    bool autostart = false;
    bool sliderShown = false;
    bool displayShown = false;
    ScreenSize screen{1920, 1080};
    WindowBounds main{100, 50, 639, 640, 635, 618};
    WindowBounds display{300, 200, 724, 84, 720, 60};
    WindowBounds slider{500, 400, 484, 174, 480, 150};
    int displayMaxWidth = 0;
    int displayMaxHeight = 100000; // the display may clamp its height, as the real one does
    std::map<SliderEdit, std::string> sliderTexts{
        {SliderEdit::MinFreqEdit, "2"}, {SliderEdit::MaxFreqEdit, ""}, {SliderEdit::txtRound, "1"}};
    std::vector<std::string> calls;
    int resets = 0;
    int memoryFills = 0;
    std::function<void()> reset;
    std::vector<ScreenRect> areas; // empty: the primary screen alone

    int waveDeviceIndex() const override { return device; }
    int waveDeviceCount() const override { return devices; }
    void setWaveDeviceIndex(int index) override { device = index; }
    void WaveDeviceChange() override { calls.push_back("WaveDeviceChange"); }
    void monoClick() override { calls.push_back("monoClick"); }
    bool presetAutoStart() const override { return autostart; }
    void setPresetAutoStart(bool on) override { autostart = on; }
    bool frequencySliderShown() const override { return sliderShown; }
    void FreqSlider1Click() override { sliderShown = !sliderShown; calls.push_back("FreqSlider1Click"); }
    bool frequencyDisplayShown() const override { return displayShown; }
    void FrequencyDisplay1Click() override { displayShown = !displayShown; calls.push_back("FrequencyDisplay1Click"); }
    ScreenSize primaryScreen() const override { return screen; }
    std::vector<ScreenRect> screens() const override
    {
        return areas.empty() ? WindowStateHost::screens() : areas;
    }
    WindowBounds mainWindow() const override { return main; }
    void moveMainWindow(WindowPlace p) override { main.left = p.left; main.top = p.top; }
    void limitFrequencyDisplayWidth(int width) override { displayMaxWidth = width; }
    WindowBounds frequencyDisplay() const override { return display; }
    void setFrequencyDisplayHeight(int height) override
    {
        display.clientHeight = std::min(height, displayMaxHeight);
        display.clientWidth = 12 * display.clientHeight;
        display.height = display.clientHeight + 24; // a frame with a title bar
        display.width = display.clientWidth + 4;
    }
    void moveFrequencyDisplay(WindowPlace p) override { display.left = p.left; display.top = p.top; }
    WindowBounds frequencySlider() const override { return slider; }
    void setFrequencySliderWidth(int width) override
    {
        slider.clientWidth = width;
        slider.width = width + 4;
    }
    void moveFrequencySlider(WindowPlace p) override { slider.left = p.left; slider.top = p.top; }
    std::string sliderText(SliderEdit edit) const override { return sliderTexts.at(edit); }
    void setSliderText(SliderEdit edit, const std::string& text) override { sliderTexts[edit] = text; }
    void resetCurrentSettings() override
    {
        ++resets;
        if (reset) reset();
    }
    void fillMemoriesFromSettings() override { ++memoryFills; }
};

Generator MakeGenerator()
{
    Generator g;
    g.fConstChange(L);
    g.fConstChange(R);
    return g;
}

// A state far from the defaults in every value the store keeps.
void ChangeEverything(Generator& g, FakeHost& host)
{
    g.selectIndex({Field::cboChannels}, 1);
    g.setChecked({Field::Loop}, true);
    g.setText({Field::Duration}, "2.5");
    for (Channel c : kChannels) {
        const bool left = c == L;
        g.selectIndex({Field::WaveForm, c}, left ? kSquare : kSawtooth);
        g.setChecked({Field::chkConstant, c}, false);
        g.setText({Field::fInit, c}, left ? "200" : "300.5");
        g.setText({Field::fFinal, c}, left ? "2000" : "3000");
        g.setChecked({Field::Logarithmic, c}, left);
        g.setChecked({Field::Bidirectional, c}, !left);
        g.setText({Field::Amplitude, c}, left ? "-6" : "-12.5");
        g.setChecked({Field::ModulationOn, c}, true);
        g.setIndex({Field::ModFunction, c}, left ? kModSquare : kModTriangular);
        g.setText({Field::ModDepthEdit, c}, left ? "50" : "25");
        g.setText({Field::ModPeriodEdit, c}, left ? "0,5" : "2"); // kept as typed, comma and all
        g.setText({Field::ModPhaseEdit, c}, left ? "90" : "180");
        g.setIndex({Field::cboCrestFactor, c}, left ? 2 : 5);
        g.setText({Field::txtCycles, c}, left ? "4,5" : "10");
        g.setIndex({Field::cboBurstWindow, c}, left ? 1 : 0);
        g.setText({Field::cboBand, c}, left ? "500:2000" : "30:80");
    }
    g.setChecked({Field::Tick, R}, false);
    g.setText({Field::PhaseEdit}, "45");
    host.device = 2;
    host.autostart = true;
    host.sliderShown = true;
    host.displayShown = true;
    host.main = {40, 30, 639, 640, 635, 618};
    host.display = {1000, 700, 964, 104, 960, 80};
    host.slider = {60, 800, 704, 174, 700, 150};
    host.sliderTexts = {{SliderEdit::MinFreqEdit, "20"}, {SliderEdit::MaxFreqEdit, "20000"},
                        {SliderEdit::txtRound, "10"}};
}

class WindowStateTest : public TempConfigTest {
protected:
    void save(const Generator& g, const FakeHost& host)
    {
        SettingsStore store = SettingsStore::openForWriting();
        SaveWindowState(g, host, store);
        store.close();
    }

    RestoreOutcome restore(Generator& g, FakeHost& host)
    {
        return RestoreWindowState(g, host, SettingsStore::openForReading());
    }

    // Rewrites one line of the saved store.
    void replaceLine(const std::string& name, const std::string& line)
    {
        std::string contents = contentsOf(storeFile());
        const std::string start = "\n" + name + " = ";
        const auto at = contents.find(start);
        ASSERT_NE(at, std::string::npos) << name;
        const auto end = contents.find('\n', at + 1);
        contents.replace(at + 1, end - at - 1, line);
        writeFile(storeFile(), contents);
    }
};

TEST_F(WindowStateTest, TheSaveWritesTheFortyEightValuesUnderTheirNamesAndKinds)
{
    Generator g = MakeGenerator();
    FakeHost host;
    ChangeEverything(g, host);
    save(g, host);

    const SettingsStore store = SettingsStore::openForReading();
    ASSERT_EQ(WindowStateValues().size(), 48u);
    for (const StoredValue& v : WindowStateValues()) {
        ASSERT_TRUE(store.valueExists(v.name)) << v.name;
        if (v.kind == StoredKind::Text) {
            EXPECT_THROW(store.readInteger(v.name), SettingsError) << v.name << " is not a text";
        } else {
            EXPECT_THROW(store.readText(v.name), SettingsError) << v.name << " is a text";
        }
    }
    const std::string file = contentsOf(storeFile());
    EXPECT_NE(file.find("\nmono = boolean false"), std::string::npos) << "the layout flag is written as 'mono'";
    EXPECT_NE(file.find("ModPeriodLeftEdit = text \"0,5\""), std::string::npos) << "texts as typed, with their comma";
    EXPECT_NE(file.find("DisplayW = integer 80"), std::string::npos) << "DisplayW holds the display's height";
}

TEST_F(WindowStateTest, ASecondStartFindsEverythingAsItWasLeft)
{
    Generator before = MakeGenerator();
    FakeHost saved;
    ChangeEverything(before, saved);
    save(before, saved);

    Generator after = MakeGenerator();
    FakeHost host;
    const RestoreOutcome outcome = restore(after, host);
    ASSERT_TRUE(outcome.complete) << outcome.failure;
    EXPECT_EQ(host.resets, 0);
    EXPECT_EQ(host.memoryFills, 1);

    for (const ControlInfo& info : ControlTable()) {
        if (info.control.field == Field::barAmplitude || info.control.field == Field::txtMLSLength ||
            info.control.field == Field::txtMLSSeed || info.control.field == Field::txtCorrectionFactor ||
            info.control.field == Field::cboCorrectionUnits)
            continue; // not kept, or kept by the output settings
        switch (info.kind) {
        case ControlKind::Text: {
            // Numbers come back through the fields' exit handlers, as a person leaving them would.
            EXPECT_EQ(after.text(info.control), before.text(info.control)) << info.name;
            break;
        }
        case ControlKind::Check: EXPECT_EQ(after.checked(info.control), before.checked(info.control)) << info.name; break;
        case ControlKind::Index: EXPECT_EQ(after.index(info.control), before.index(info.control)) << info.name; break;
        case ControlKind::Position: break;
        }
    }
    EXPECT_EQ(after.settings.cboChannels, 1);
    EXPECT_EQ(host.device, 2);
    EXPECT_TRUE(host.autostart);
    EXPECT_TRUE(host.sliderShown);
    EXPECT_TRUE(host.displayShown);
    EXPECT_EQ(host.main.left, 40);
    EXPECT_EQ(host.main.top, 30);
    EXPECT_EQ(host.display.left, 1000);
    EXPECT_EQ(host.display.top, 700);
    EXPECT_EQ(host.display.clientHeight, 80);
    EXPECT_EQ(host.slider.left, 60);
    EXPECT_EQ(host.slider.top, 800);
    EXPECT_EQ(host.slider.clientWidth, 700);
    EXPECT_EQ(host.sliderTexts, saved.sliderTexts);
    EXPECT_EQ(host.displayMaxWidth, 1920) << "the display is never wider than the screen";
    const std::vector<std::string> order{"monoClick", "WaveDeviceChange", "FreqSlider1Click", "FrequencyDisplay1Click"};
    EXPECT_EQ(host.calls, order);
}

TEST_F(WindowStateTest, AFirstStartWithoutAStoreResetsAndStillFillsTheMemories)
{
    Generator g = MakeGenerator();
    FakeHost host;
    const FakeHost untouched;
    const RestoreOutcome outcome = restore(g, host);
    EXPECT_FALSE(outcome.complete);
    EXPECT_EQ(host.resets, 1);
    EXPECT_EQ(host.memoryFills, 1);
    EXPECT_EQ(host.main.left, untouched.main.left) << "windows stay where their layouts put them";
    EXPECT_EQ(host.device, 0);
    EXPECT_FALSE(std::filesystem::exists(storeFile())) << "a restore never creates the store";
}

// Every value of the wrong kind, and every missing number, ends the restore at its own step:
// the reset runs, and the values read before it have been applied.
TEST_F(WindowStateTest, AValueOfTheWrongKindOrAMissingNumberEndsTheRestoreAtItsStep)
{
    Generator before = MakeGenerator();
    FakeHost saved;
    ChangeEverything(before, saved);

    for (const StoredValue& v : WindowStateValues()) {
        const std::string name(v.name);
        std::vector<std::string> spoilt{v.kind == StoredKind::Text ? name + " = integer 7" : name + " = text \"1\""};
        if (v.kind != StoredKind::Text) spoilt.push_back("# " + name + " removed");
        for (const std::string& line : spoilt) {
            SCOPED_TRACE(line);
            save(before, saved);
            replaceLine(name, line);

            Generator g = MakeGenerator();
            FakeHost host;
            const RestoreOutcome outcome = restore(g, host);
            EXPECT_FALSE(outcome.complete);
            EXPECT_EQ(host.resets, 1);
            EXPECT_EQ(host.memoryFills, 1);
            std::string failure = outcome.failure, lower = name;
            std::transform(failure.begin(), failure.end(), failure.begin(), ::tolower);
            std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
            EXPECT_NE(failure.find("'" + lower + "'"), std::string::npos) << outcome.failure;
        }
    }
}

TEST_F(WindowStateTest, AMissingTextReadsAsEmptyAndTheRestoreGoesOn)
{
    Generator before = MakeGenerator();
    FakeHost saved;
    ChangeEverything(before, saved);
    save(before, saved);
    replaceLine("ModPhaseLeftEdit", "# ModPhaseLeftEdit removed");
    replaceLine("MinFreqEdit", "# MinFreqEdit removed");

    Generator g = MakeGenerator();
    FakeHost host;
    const RestoreOutcome outcome = restore(g, host);
    EXPECT_TRUE(outcome.complete) << outcome.failure;
    EXPECT_EQ(g.text({Field::ModPhaseEdit, L}), "");
    EXPECT_EQ(host.sliderTexts[SliderEdit::MinFreqEdit], "");
    EXPECT_EQ(g.text({Field::fInit, L}), "200") << "later steps still ran";
}

TEST_F(WindowStateTest, AStoreWithoutTheBurstAndBandValuesRestoresWholeWithTheirDefaults)
{
    Generator before = MakeGenerator();
    FakeHost saved;
    ChangeEverything(before, saved);
    save(before, saved);
    ASSERT_EQ(WindowStateAddedValues().size(), 6u);
    for (const StoredValue& v : WindowStateAddedValues()) {
        ASSERT_TRUE(SettingsStore::openForReading().valueExists(v.name)) << v.name << " is written";
        replaceLine(std::string(v.name), "# " + std::string(v.name) + " from a later version");
    }

    Generator g = MakeGenerator();
    FakeHost host;
    const RestoreOutcome outcome = restore(g, host);
    EXPECT_TRUE(outcome.complete) << outcome.failure;
    EXPECT_EQ(host.resets, 0);
    for (Channel c : kChannels) {
        EXPECT_EQ(g.text({Field::txtCycles, c}), "6.5");
        EXPECT_EQ(g.index({Field::cboBurstWindow, c}), kBurstHann);
        EXPECT_EQ(g.text({Field::cboBand, c}), "Full");
    }
    EXPECT_EQ(g.text({Field::fInit, L}), "200") << "the steps after them ran";
}

TEST_F(WindowStateTest, OnlyPeakRmsRMissingKeepsWhatCameBeforeAndRestoresNothingAfter)
{
    Generator before = MakeGenerator();
    FakeHost saved;
    ChangeEverything(before, saved);
    save(before, saved);
    replaceLine("PeakRmsR", "# PeakRmsR removed");

    Generator g = MakeGenerator();
    FakeHost host;
    const FakeHost untouched;
    host.reset = [&] { g.setText({Field::Duration}, "10"); }; // the reset leaves the crest factors alone
    const RestoreOutcome outcome = restore(g, host);
    EXPECT_FALSE(outcome.complete);
    EXPECT_EQ(host.resets, 1);
    EXPECT_EQ(host.device, 2) << "WaveDevice, read first, stays";
    EXPECT_TRUE(g.checked({Field::Loop})) << "Loop, read before the failure, stays";
    EXPECT_EQ(g.index({Field::cboCrestFactor, L}), 2) << "the left crest factor keeps its restored index";
    EXPECT_EQ(g.index({Field::cboCrestFactor, R}), 0);
    EXPECT_EQ(host.main.left, untouched.main.left) << "positions are not restored";
    EXPECT_EQ(host.display.left, untouched.display.left);
    EXPECT_FALSE(host.sliderShown) << "open windows are not restored";
    EXPECT_EQ(g.text({Field::fInit, L}), "100") << "frequencies are not restored";
    EXPECT_EQ(g.settings.cboChannels, 0);
}

TEST_F(WindowStateTest, AStoredFrequencyAboveHalfTheRateRaisesTheNyquistNotice)
{
    Generator before = MakeGenerator();
    FakeHost saved;
    ChangeEverything(before, saved);
    save(before, saved);
    replaceLine("fInitLeft", "fInitLeft = text \"30000\"");

    Generator g = MakeGenerator();
    std::vector<Channel> notices;
    g.hooks.aboveNyquist = [&](Channel c) { notices.push_back(c); };
    FakeHost host;
    EXPECT_TRUE(restore(g, host).complete);
    EXPECT_EQ(notices, std::vector<Channel>{L});
    EXPECT_EQ(g.text({Field::fInit, L}), "22050") << "the exit handler brings it down to half the rate";
}

TEST_F(WindowStateTest, AnErrorRaisedByAHandlerEndsTheRestoreLikeAMissingValue)
{
    Generator before = MakeGenerator();
    FakeHost saved;
    ChangeEverything(before, saved);
    save(before, saved);
    replaceLine("fFinalRight", "fFinalRight = text \"abc\"");

    Generator g = MakeGenerator();
    FakeHost host;
    const RestoreOutcome outcome = restore(g, host);
    EXPECT_FALSE(outcome.complete);
    EXPECT_EQ(host.resets, 1);
    EXPECT_NE(outcome.failure.find("abc"), std::string::npos) << outcome.failure;
    EXPECT_EQ(outcome.value, "fFinalRight") << "the failure names the value it was about";
    EXPECT_EQ(host.main.left, 40) << "the positions, applied before, stay";
}

TEST_F(WindowStateTest, ListIndicesOutsideTheirListsFailButAVanishedDeviceFallsBackToTheDefault)
{
    Generator before = MakeGenerator();
    FakeHost saved;
    ChangeEverything(before, saved);

    struct Case {
        const char* name;
        const char* line;
        bool complete;
    };
    for (const Case& c : {Case{"WaveFormLeft", "WaveFormLeft = integer 18", false},
                          Case{"cboBurstWindowR", "cboBurstWindowR = integer 2", false},
                          Case{"ModFunctionRight", "ModFunctionRight = integer -1", false},
                          Case{"PeakRmsL", "PeakRmsL = integer 7", false},
                          Case{"WaveDevice", "WaveDevice = integer 9", true}}) {
        SCOPED_TRACE(c.line);
        save(before, saved);
        replaceLine(c.name, c.line);
        Generator g = MakeGenerator();
        FakeHost host;
        EXPECT_EQ(restore(g, host).complete, c.complete);
        if (c.complete) {
            EXPECT_EQ(host.device, 0);
        }
        EXPECT_GE(g.index({Field::WaveForm, L}), 0);
        EXPECT_LT(g.index({Field::WaveForm, L}), kWaveFormCount);
    }
}

// The program killed at any moment of its save at close: the store on disk is always one
// whole save, the one before or the one being written, never a mixture or a torn file.
TEST_F(WindowStateTest, AKillDuringTheSaveLeavesAWholeStore)
{
    Generator a = MakeGenerator();
    FakeHost hostA;
    Generator b = MakeGenerator();
    FakeHost hostB;
    ChangeEverything(b, hostB);
    save(a, hostA);

    std::mt19937 random(20261210);
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                SettingsStore store = SettingsStore::openForWriting();
                SaveWindowState(i % 2 ? a : b, i % 2 ? hostA : hostB, store);
                store.close();
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        const SettingsStore store = SettingsStore::openForReading();
        ASSERT_TRUE(store.isOpen());
        const bool isB = store.readText("Duration") == b.text({Field::Duration});
        Generator g = MakeGenerator();
        FakeHost host;
        const RestoreOutcome outcome = RestoreWindowState(g, host, store);
        ASSERT_TRUE(outcome.complete) << outcome.failure;
        const Generator& expected = isB ? b : a;
        for (const ControlInfo& info : ControlTable()) {
            if (info.kind == ControlKind::Text && info.control.field <= Field::chkAsLeft &&
                info.control.field != Field::txtMLSLength && info.control.field != Field::txtMLSSeed) {
                EXPECT_EQ(g.text(info.control), expected.text(info.control)) << info.name;
            }
        }
        EXPECT_EQ(host.main.left, (isB ? hostB : hostA).main.left);
        EXPECT_EQ(host.sliderTexts, (isB ? hostB : hostA).sliderTexts);
    }
    // A later save clears what the killed writers left behind.
    save(a, hostA);
    EXPECT_EQ(strayFiles(), 0);
}

TEST(ScreenEdges, WindowsSavedOnALargerScreenComeBackOnASmallerOne)
{
    const ScreenSize small{1280, 1024};
    struct Case {
        WindowPlace saved;
        WindowPlace main;
        WindowPlace tool;
    };
    // Main window 639 x 640; tool window 80 high.
    for (const Case& c : {
             Case{{1920 - 639, 100}, {1280 - 639, 100}, {0, 100}},           // right edge of a 1920 screen
             Case{{1000, 100}, {1280 - 639, 100}, {1000, 100}},             // partly off: only the main window moves
             Case{{1300, 1100}, {1280 - 639, 1024 - 640}, {0, 1024 - 80}},    // beyond both edges
             Case{{1280, 1024}, {1280 - 639, 1024 - 640}, {1280, 1024}},      // exactly on the edges
             Case{{-50, -20}, {-50, -20}, {-50, -20}},                        // left of and above: kept
             Case{{100, 200}, {100, 200}, {100, 200}},
         }) {
        EXPECT_EQ(PlaceMainWindow(c.saved, 639, 640, small), c.main) << c.saved.left << "," << c.saved.top;
        EXPECT_EQ(PlaceToolWindow(c.saved, 80, small), c.tool) << c.saved.left << "," << c.saved.top;
    }
}

// Whether a window can still be taken by its title bar, and where it goes when not.
TEST(ScreenEdges, ATitleBarOffEveryScreenComesOntoThePrimaryOne)
{
    // The primary screen, and a second one left of it.
    const ScreenRect screens[] = {{0, 0, 1280, 1024}, {-1920, 0, 1920, 1080}};
    struct Case {
        WindowPlace at;
        bool reachable;
        WindowPlace brought; // where PlaceOnScreen puts it on the primary screen
    };
    // A window 600 x 400 with a title bar 24 high.
    for (const Case& c : {
             Case{{100, 100}, true, {100, 100}},
             Case{{-1000, 100}, true, {0, 100}},       // on the second screen
             Case{{-3000, 100}, false, {0, 100}},      // left of both
             Case{{-1930, 100}, true, {0, 100}},       // 590 pixels of it on the second screen
             Case{{-2500, 100}, false, {0, 100}},      // 20 pixels only, less than the grip of 40
             Case{{100, -30}, false, {100, 0}},        // the title bar above the screens
             Case{{100, -12}, true, {100, 0}},         // half the title bar still on screen
             Case{{1250, 1010}, false, {680, 624}},    // right and below: too little of it left
             Case{{5000, 5000}, false, {680, 624}},
         }) {
        EXPECT_EQ(TitleBarOnScreen(c.at, 600, 24, screens), c.reachable) << c.at.left << "," << c.at.top;
        EXPECT_EQ(PlaceOnScreen(c.at, 600, 400, screens[0]), c.brought) << c.at.left << "," << c.at.top;
    }
    // A window larger than the screen keeps its top left corner on it.
    EXPECT_EQ(PlaceOnScreen({-50, -50}, 2000, 1500, screens[0]), (WindowPlace{0, 0}));
}

// A window opened from another one: a step right and down, or back at the top left when it
// would no longer fit.
TEST(ScreenEdges, ANewWindowCascadesFromTheOneItWasOpenedFrom)
{
    const ScreenRect screen{0, 0, 1280, 1024};
    EXPECT_EQ(CascadePlace({100, 80}, 639, 640, screen), (WindowPlace{130, 110}));
    EXPECT_EQ(CascadePlace({700, 80}, 639, 640, screen), (WindowPlace{0, 0})) << "past the right edge";
    EXPECT_EQ(CascadePlace({100, 380}, 639, 640, screen), (WindowPlace{0, 0})) << "past the bottom";
    EXPECT_EQ(CascadePlace({-500, 80}, 639, 640, screen), (WindowPlace{0, 0})) << "from off the screen";
    const ScreenRect second{1280, 0, 1920, 1080};
    EXPECT_EQ(CascadePlace({1300, 20}, 639, 640, second), (WindowPlace{1330, 50}));
}

// Left of or above the primary screen a window may stand on another screen and stays; with
// that screen gone, its title bar is on none, and it comes onto the primary screen.
TEST_F(WindowStateTest, AWindowWhoseTitleBarIsOnNoScreenComesBack)
{
    Generator before = MakeGenerator();
    FakeHost saved;
    ChangeEverything(before, saved);
    saved.main = {-1500, 200, 639, 640, 635, 618};
    saved.display = {-1000, -500, 964, 104, 960, 80};
    saved.slider = {200, -170, 704, 174, 700, 150};
    save(before, saved);

    FakeHost two;
    two.areas = {{0, 0, 1920, 1080}, {-1920, -600, 1920, 1200}};
    Generator g = MakeGenerator();
    ASSERT_TRUE(restore(g, two).complete);
    EXPECT_EQ(two.main.left, -1500) << "on the second screen: kept";
    EXPECT_EQ(two.display.left, -1000);
    EXPECT_EQ(two.display.top, -500);
    EXPECT_EQ(two.slider.top, 0) << "its title bar above every screen";
    EXPECT_EQ(two.slider.left, 200);

    FakeHost one; // the second screen is gone
    Generator h = MakeGenerator();
    ASSERT_TRUE(restore(h, one).complete);
    EXPECT_EQ(one.main.left, 0);
    EXPECT_EQ(one.main.top, 200);
    EXPECT_EQ(one.display.left, 0);
    EXPECT_EQ(one.display.top, 0);
    EXPECT_EQ(one.slider.top, 0);
}

TEST_F(WindowStateTest, TheRestoreCorrectsPositionsForTheScreenItFinds)
{
    Generator before = MakeGenerator();
    FakeHost saved;
    ChangeEverything(before, saved);
    saved.screen = {2560, 1440};
    saved.main = {2560 - 639, 0, 639, 640, 635, 618}; // flush right on the large screen
    saved.display = {2000, 1300, 964, 104, 960, 80};   // beyond the small screen's edges
    save(before, saved);

    Generator g = MakeGenerator();
    FakeHost host;
    host.screen = {1280, 1024};
    host.displayMaxHeight = 1280 / 12;
    ASSERT_TRUE(restore(g, host).complete);
    EXPECT_EQ(host.main.left, 1280 - 639) << "flush with the smaller screen's right edge";
    EXPECT_EQ(host.main.top, 0);
    EXPECT_EQ(host.display.left, 0);
    EXPECT_EQ(host.display.top, 1024 - 104) << "flush with the bottom, frame and all";
}

} // namespace
