// The performance test on the wired window and a fake device, its dialogs answered by a
// script and its clock faked: every way through it, what it says, which rate it leaves and
// what the memories hold afterwards.
#include "window_harness.h"
#include "user_input.h"

#include "control/compatibility_test_presets.h"
#include "ui/dialogs/output_settings_dialog.h"
#include "ui/main_window/preset_controller.h"
#include "ui/performance_test/generator_test_actions.h"
#include "ui/performance_test/performance_test.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include <deque>

namespace velmora::ui::test {
namespace {

const std::string kIntroduction =
    "This test will check the performance and compatibility of your computer. Please set your loudspeaker volume "
    "to a low but audible level. Press OK to start or cancel to abort.";
const std::string kFirstTest =
    "First test: Measuring the time it takes to generate a stereo 10 second tone at 44.1kHz Sampling frequency (CD "
    "quality). If this is well under 10 seconds, your computer is fine for CD quality signals.";
const std::string kHeard = "Did you hear any tone at all?";
const std::string kFroze = "Did your computer stop to respond or freeze during playback?";
const std::string kSlowNext =
    "Next test: A 5 second, 1kHz mono sine wave signal at 22050Hz sampling frequency. Please do not touch any of "
    "the controls during play.";
const std::string kSlowLast =
    "Last test: A 5 second, 1kHz MONO sine wave signal at 44.1 kHz sampling frequency. Check if your computer "
    "freezes or fails to respond during signal playback. Please try to move the Velmora window around on the "
    "desktop.";
const std::string kFastNext =
    "Next test: A 5 sec stereo wave at 44.1 kHz sampling rate. Check if your computer freezes or fails to respond "
    "during signal playback. Please do not touch any of the controls during play, but do try to move the Velmora "
    "window on the desktop.";
const std::string kFastLast =
    "Last test: A 5 second, 1kHz stereo MODULATED sine wave signal at 44.1 kHz sampling frequency. Check if your "
    "computer freezes or fails to respond during signal playback. Please try to move the Velmora window around on "
    "the desktop.";

// One dialog as the test showed it: its kind ('?' OK/Cancel, 'Y' Yes/No, '!' message), text,
// help topic, and the sampling rate in force then.
struct Shown {
    char kind;
    std::string text;
    int topic;
    int rate;
};

class ScriptedDialogs final : public PerformanceTestDialogs {
public:
    explicit ScriptedDialogs(const Generator& generator) : generator_(generator) {}
    bool confirm(const std::string& text, int topic) override { return answer('?', text, topic); }
    bool ask(const std::string& text) override { return answer('Y', text, 0); }
    void tell(const std::string& text) override { record('!', text, -1); }

    std::deque<bool> answers;
    std::vector<Shown> shown;

private:
    bool answer(char kind, const std::string& text, int topic)
    {
        record(kind, text, topic);
        if (answers.empty()) {
            ADD_FAILURE() << "no answer scripted for: " << text;
            return false;
        }
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void record(char kind, const std::string& text, int topic)
    {
        shown.push_back({kind, text, topic, generator_.settings.output.SamplingRate});
    }
    const Generator& generator_;
};

class PerformanceTestTest : public WindowHarness {
protected:
    void SetUp() override
    {
        WindowHarness::SetUp();
        testFile = std::filesystem::path(config.path().toStdString()) / kCompatibilityTestFile;
        WritePresetRecipes(testFile, CompatibilityTestRecipes());
        choose(controller->settingsDialog().cboFsList, 4); // 48000 Hz, the rate before the test
        controller->presets().bank().storeAllFromCurrent();
        // The device plays whatever is queued, as a sound card would, while the test waits.
        QObject::connect(&player, &QTimer::timeout, [this] { device->completeAll(); });
        player.start(0);
    }

    // Runs the test with `answers`, the timing taking `t` milliseconds.
    std::vector<Shown> run(std::deque<bool> answers, uint64_t t)
    {
        ScriptedDialogs dialogs(generator());
        dialogs.answers = std::move(answers);
        GeneratorTestActions::Parts parts = controller->performanceTestParts();
        parts.testFile = testFile;
        std::deque<uint64_t> ticks = {5000, 5000 + t};
        parts.clock = [ticks]() mutable {
            const uint64_t now = ticks.front();
            if (ticks.size() > 1) ticks.pop_front();
            return now;
        };
        GeneratorTestActions actions(std::move(parts));
        PerformanceTest test(dialogs, actions);
        test.run();
        EXPECT_TRUE(dialogs.answers.empty()) << "answers left over";
        return dialogs.shown;
    }

    std::vector<std::string> memoryNames()
    {
        std::vector<std::string> names;
        for (int n = 1; n <= 4; ++n) names.push_back(controller->presets().bank().name(n));
        return names;
    }
    int rate() const { return controller->generator().settings.output.SamplingRate; }
    static std::vector<std::string> texts(const std::vector<Shown>& shown)
    {
        std::vector<std::string> t;
        for (const Shown& s : shown) t.push_back(s.text);
        return t;
    }
    static bool startsWith(const std::string& text, const std::string& head)
    {
        return text.compare(0, head.size(), head) == 0;
    }

    std::filesystem::path testFile;
    QTimer player;
    const std::vector<std::string> kTestNames = {"Mono 1 kHz", "Stereo 1k/500", "AM 1 kHz", "Timing 10 s"};
    const std::vector<std::string> kMemoryNames = {"Memory 1", "Memory 2", "Memory 3", "Memory 4"};
};

TEST(PerformanceTestMessageTest, TheTimingVerdict)
{
    const std::pair<uint64_t, std::string> cases[] = {
        {12345, "It took 12.345 seconds to generate a 10 second stereo CD quality signal. Your computer is not fast "
                "enough to run tests at full stereo CD quality. Check the help files for possible improvements."},
        {10001, "It took 10.001 seconds to generate a 10 second stereo CD quality signal. Your computer is not fast "
                "enough to run tests at full stereo CD quality. Check the help files for possible improvements."},
        {10000, "It took 10 seconds to generate a 10 second stereo CD quality signal. Your computer is marginally "
                "fast enough to run tests at full stereo CD quality. Check the help files for possible improvements."},
        {9001, "It took 9.001 seconds to generate a 10 second stereo CD quality signal. Your computer is marginally "
               "fast enough to run tests at full stereo CD quality. Check the help files for possible improvements."},
        {9000, "It took 9 seconds to generate a 10 second stereo CD quality signal. Your computer is fast enough to "
               "run tests at full stereo CD quality."},
        {250, "It took 0.25 seconds to generate a 10 second stereo CD quality signal. Your computer is fast enough to "
              "run tests at full stereo CD quality."},
    };
    for (const auto& [t, text] : cases) EXPECT_EQ(PerformanceTest::timingMessage(t), text) << t;
}

// The four presets hold what the test's questions announce.
TEST_F(PerformanceTestTest, TheTestFileHoldsTheAnnouncedSignals)
{
    struct Expected {
        bool stereo;
        const char* duration;
        const char* left;
        const char* right;
        bool modulated;
    };
    const Expected expected[] = {
        {false, "5", "1000", nullptr, false},
        {true, "5", "1000", "500", false},
        {true, "5", "1000", "1000", true},
        {true, "10", "1000", "1000", false},
    };
    PresetBank& bank = controller->presets().bank();
    bank.LoadSettings(testFile);
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        const Expected& e = expected[n - 1];
        bank.MemRecall(n);
        const GeneratorSettings& s = generator().settings;
        EXPECT_EQ(s.stereo(), e.stereo);
        EXPECT_EQ(s.Duration, e.duration);
        EXPECT_FALSE(s.Loop);
        for (Channel c : kChannels) {
            if (c == Channel::Right && !e.right) continue;
            EXPECT_EQ(s[c].WaveForm, kSine);
            EXPECT_TRUE(s[c].chkConstant);
            EXPECT_EQ(s[c].fInit, c == Channel::Left ? e.left : e.right);
            EXPECT_EQ(s[c].Amplitude, "-10");
            EXPECT_EQ(s[c].ModulationOn, e.modulated);
            EXPECT_TRUE(s[c].Tick);
        }
    }
    EXPECT_TRUE(notices.errors.empty());
}

TEST_F(PerformanceTestTest, CancelAtTheFirstQuestionChangesNothing)
{
    const std::vector<Shown> shown = run({false}, 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, '?');
    EXPECT_EQ(shown[0].text, kIntroduction);
    EXPECT_EQ(shown[0].topic, 2);
    EXPECT_EQ(memoryNames(), kMemoryNames);
    EXPECT_EQ(rate(), 48000);
    EXPECT_EQ(device->opens(), 0);
}

TEST_F(PerformanceTestTest, AMissingTestFileIsReported)
{
    std::filesystem::remove(testFile);
    const std::vector<Shown> shown = run({true}, 0);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].kind, '!');
    EXPECT_EQ(shown[1].text, "Preset file not found. Please re-install application before trying again.");
    EXPECT_EQ(memoryNames(), kMemoryNames);
    EXPECT_EQ(rate(), 48000);
}

TEST_F(PerformanceTestTest, CancelAtTheFirstTestRestoresTheRateAndKeepsTheTestPresets)
{
    const std::vector<Shown> shown = run({true, false}, 0);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, kFirstTest);
    EXPECT_EQ(shown[1].rate, 44100);
    EXPECT_EQ(memoryNames(), kTestNames);
    EXPECT_EQ(rate(), 48000);
    EXPECT_EQ(controller->settingsDialog().cboFsList->currentText(), QStringLiteral("48000"));
    // Memory 4 was recalled: the 10-second stereo tone.
    EXPECT_EQ(generator().settings.Duration, "10");
    EXPECT_TRUE(generator().settings.stereo());
    EXPECT_EQ(device->opens(), 0);
}

TEST_F(PerformanceTestTest, ExactlyTenSecondsEndsAfterTheVerdict)
{
    const std::vector<Shown> shown = run({true, true}, 10000);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[2].kind, '!');
    EXPECT_EQ(shown[2].text, PerformanceTest::timingMessage(10000));
    EXPECT_NE(shown[2].text.find("marginally fast enough"), std::string::npos);
    EXPECT_EQ(rate(), 44100);
    EXPECT_EQ(device->opens(), 0);
}

// Slow: the two mono tests at 22050 and 44100 Hz, both heard, no freeze.
TEST_F(PerformanceTestTest, TheSlowPath)
{
    const std::vector<Shown> shown = run({true, true, true, true, true, true, false}, 12345);
    const std::vector<std::string> expected = {kIntroduction, kFirstTest, PerformanceTest::timingMessage(12345),
                                               kSlowNext,     kHeard,     kSlowLast,
                                               kHeard,        kFroze};
    EXPECT_EQ(texts(shown), expected);
    EXPECT_TRUE(startsWith(shown[2].text, "It took 12.345 seconds"));
    EXPECT_EQ(shown[3].rate, 22050);
    EXPECT_EQ(shown[4].rate, 22050); // the first tone played at 22050 Hz
    EXPECT_EQ(shown[6].rate, 44100);
    EXPECT_EQ(device->opens(), 2);
    EXPECT_EQ(device->openedFormat().channels, 1);
    EXPECT_EQ(device->openedFormat().samplesPerSec, 44100u);
    // Five seconds of mono 16-bit at 44100 Hz went out in the second test (and some padding).
    EXPECT_GE(device->played().size(), size_t{(110250 + 220500) * 2});
    EXPECT_EQ(rate(), 44100); // the rate the test selected last stays
    EXPECT_EQ(memoryNames(), kTestNames);
    EXPECT_FALSE(controller->switching().GeneratorRunning());
}

TEST_F(PerformanceTestTest, TheSlowPathAnsweredNoAndFrozen)
{
    const std::string device22k = "If you did not hear anything, your sound card (System Default) cannot play 16 bit "
                                  "files at 22.05kHz. You could try other sampling rates.";
    // Not heard at 22050 Hz, heard at 44100 Hz, and the computer froze.
    std::vector<Shown> shown = run({true, true, true, false, true, true, true}, 10001);
    ASSERT_EQ(shown.size(), 10u);
    EXPECT_EQ(shown[5].text, device22k);
    EXPECT_EQ(shown[9].text, "Your computer might be too slow for 44.1 kHz sampling frequency. The program will be "
                             "set to 22.05kHz samplingrate");
    EXPECT_EQ(rate(), 22050);

    // Cancel at the last mono test: the rate from before the test.
    choose(controller->settingsDialog().cboFsList, 4);
    shown = run({true, true, true, true, false}, 20000);
    EXPECT_EQ(shown.back().text, kSlowLast);
    EXPECT_EQ(rate(), 48000);

    // Not heard at 44100 Hz: the device message, and the end.
    shown = run({true, true, true, true, true, false}, 20000);
    EXPECT_EQ(shown.back().text, "If you did not hear anything, your sound card (System Default) cannot play 16 bit "
                                 "mono files at 44.1kHz, which is very unusual. You could try other sampling rates.");
    EXPECT_EQ(rate(), 44100);
}

// Fast, answered "No" to the first question: the device message, then the modulated test
// still follows and ends in congratulations.
TEST_F(PerformanceTestTest, TheFastPathAnsweredNoStillReachesTheModulatedTest)
{
    w().WaveDevice->setCurrentIndex(1);
    const std::string deviceName = w().WaveDevice->currentText().toStdString();
    const std::vector<Shown> shown = run({true, true, true, false, true, false}, 4321);
    const std::vector<std::string> expected = {
        kIntroduction,
        kFirstTest,
        PerformanceTest::timingMessage(4321),
        kFastNext,
        kHeard,
        "If you did not hear anything, your sound card (" + deviceName +
            ") cannot play 16 bit files at 44.1kHz, which is very unusual. You could try other sampling rates.",
        kFastLast,
        kFroze,
        "Congratulations, your computer can handle the most complex signal generation at CD quality and is perfectly "
        "suitable for use with this program."};
    EXPECT_EQ(texts(shown), expected);
    EXPECT_EQ(shown[6].topic, 0); // the modulated test's question has help topic 0
    EXPECT_EQ(shown[3].topic, 2);
    EXPECT_EQ(device->opens(), 2);
    EXPECT_EQ(device->openedFormat().channels, 2);
    EXPECT_TRUE(generator().settings[Channel::Left].ModulationOn); // memory 3 played last
    EXPECT_EQ(rate(), 44100);
    EXPECT_EQ(memoryNames(), kTestNames);
}

TEST_F(PerformanceTestTest, TheFastPathWithAFreeze)
{
    std::vector<Shown> shown = run({true, true, true, true, true}, 100);
    EXPECT_EQ(shown.back().text, "Your computer might be too slow for 44.1 kHz sampling frequency stereo signals. "
                                 "Please choose a lower samplingrate in \"Compatibility settings\" when playing stereo "
                                 "signals");
    EXPECT_EQ(rate(), 22050);

    shown = run({true, true, true, true, false, true, true}, 100);
    EXPECT_EQ(shown.back().text, "Your computer might be too slow for 44.1 kHz sampling frequency modulated stereo "
                                 "signals. Please choose a lower samplingrate in \"Compatibility settings\" when playing "
                                 "modulated stereo signals");
    EXPECT_EQ(rate(), 22050);

    // Cancel at the modulated test: the rate the test chose stays.
    choose(controller->settingsDialog().cboFsList, 4);
    shown = run({true, true, true, true, false, false}, 100);
    EXPECT_EQ(shown.back().text, kFastLast);
    EXPECT_EQ(rate(), 44100);
}

// OFF while a test signal plays ends that wait; the test goes on with its question.
TEST_F(PerformanceTestTest, SwitchingOffEndsTheWait)
{
    player.stop();
    int buffers = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        device->complete();
        if (++buffers == 3) click(w().btnOFF);
    });
    user.start(0);
    const std::vector<Shown> shown = run({true, true, false}, 100);
    EXPECT_EQ(shown.back().text, kFastNext);
    EXPECT_EQ(buffers, 0); // cancelled before anything played

    const std::vector<Shown> played = run({true, true, true, true, false, false}, 100);
    EXPECT_EQ(played.back().text, kFastLast);
    EXPECT_GE(buffers, 3);
    EXPECT_LT(device->played().size(), size_t{220500 * 4}); // far less than the 5 seconds
}

} // namespace
} // namespace velmora::ui::test
