// The program's start and close as a user meets them: the window state saved when the main
// window closes and found again at the next start, on the real windows with a fake device.
#include "control/example_presets.h"
#include "control/preset_memory.h"
#include "settings/settings_store.h"
#include "ui/frequency_display/frequency_display.h"
#include "ui/frequency_slider/freq_slider_window.h"
#include "ui/main_window/preset_controller.h"
#include "ui/script_window/script_controller.h"
#include "ui/script_window/script_popup.h"
#include "ui/main_window/channel_panel.h"
#include "ui/widgets/picture_combo_box.h"
#include "ui/startup/persisted_windows.h"
#include "ui/startup/start_sequence.h"
#include "window_harness.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>
#include <csignal>
#include <numbers>
#include <fstream>
#include <iterator>

#include <sys/resource.h>

#include "settings/data_files.h"

namespace velmora::ui::test {
namespace {

std::string contentsOf(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class StartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
    void TearDown() override { sequence.reset(); }

    // One start of the program, as far as its message loop.
    void start(const char* argument = "/nosplash",
               std::vector<std::string> devices = {"Fake Output", "Second Output"})
    {
        sequence.reset();
        notices = RecordingNotices();
        auto fake = std::make_unique<FakeDevice>(std::move(devices));
        device = fake.get();
        sequence = std::make_unique<StartSequence>(ReadStartArguments(argument), std::move(fake), &notices);
        sequence->splashWait = [this](int) { ++splashWaits; }; // the fades themselves: ui_splash_test
        splashWaits = 0;
        status = sequence->run();
        if (!status) window().show();
    }
    // What the user's close box does.
    void closeWindow()
    {
        window().close();
        QCoreApplication::processEvents();
    }

    TfrmGenerator& window() { return sequence->window(); }
    GeneratorWidgets& w() { return window().widgets(); }
    ChannelWidgets& ch(Channel c) { return window().channel(c); }
    Generator& g() { return sequence->controller().generator(); }
    void run(const std::function<void()>& f) { sequence->controller().binding().run(f); }
    std::string storeFile() const { return config.path().toStdString() + "/Karvell/Velmora.conf"; }
    void writeStore(const std::string& contents)
    {
        std::filesystem::create_directories(config.path().toStdString() + "/Karvell");
        std::ofstream(storeFile(), std::ios::binary) << contents;
    }
    // A store as a save writes it, with one line replaced (or removed, with an empty line).
    void spoilStoredLine(const std::string& name, const std::string& line)
    {
        std::string s = contentsOf(storeFile());
        const auto at = s.find("\n" + name + " = ");
        ASSERT_NE(at, std::string::npos) << name;
        const auto end = s.find('\n', at + 1);
        s.replace(at + 1, end - at - 1, line);
        writeStore(s);
    }

    // Everything a user can change that the store keeps, far from the defaults.
    void changeEverything()
    {
        Generator& gen = g();
        run([&] {
            gen.selectIndex({Field::cboChannels}, 1);
            gen.setChecked({Field::Loop}, true);
            gen.setText({Field::Duration}, "2.5");
            gen.DurationExit();
            for (Channel c : kChannels) {
                const bool left = c == Channel::Left;
                gen.selectIndex({Field::WaveForm, c}, left ? kTriangular : kSawtooth);
                gen.setChecked({Field::chkConstant, c}, false);
                gen.setText({Field::fInit, c}, left ? "250" : "320");
                gen.setText({Field::fFinal, c}, left ? "2500" : "3200");
                gen.setChecked({Field::Logarithmic, c}, !left);
                gen.setChecked({Field::Bidirectional, c}, true);
                gen.setText({Field::Amplitude, c}, left ? "-3" : "-9");
                gen.setChecked({Field::ModulationOn, c}, true);
                gen.selectIndex({Field::ModFunction, c}, left ? kModSquare : kModTriangular);
                gen.setText({Field::ModDepthEdit, c}, left ? "40" : "60");
                gen.setText({Field::ModPeriodEdit, c}, left ? "0,25" : "3");
                gen.setText({Field::ModPhaseEdit, c}, left ? "30" : "60");
                gen.selectIndex({Field::cboCrestFactor, c}, left ? 3 : 6);
            }
            gen.setChecked({Field::Tick, Channel::Left}, false);
            gen.setText({Field::PhaseEdit}, "90");
        });
        w().WaveDevice->setCurrentIndex(2);
        window().menu().PresetRecallAutostart1->setChecked(true);
    }

    QTemporaryDir config;
    RecordingNotices notices;
    FakeDevice* device = nullptr;
    std::unique_ptr<StartSequence> sequence;
    std::optional<int> status;
    int splashWaits = 0;

    PresetBank& bank() { return sequence->controller().presets().bank(); }
    TfrmFrequencyDisplay& display() { return sequence->controller().frequencyDisplay(); }
    TfrmFreqSlider& slider() { return sequence->controller().freqSlider(); }
    std::string file(const std::string& name) const { return config.path().toStdString() + "/" + name; }
};

TEST_F(StartTest, AFirstStartWithoutAStoreHasTheResetValuesAndShowsNoBox)
{
    start();
    EXPECT_FALSE(status.has_value());
    EXPECT_TRUE(notices.errors.empty());
    EXPECT_TRUE(notices.messages.empty());
    EXPECT_EQ(notices.notices, std::vector<QString>{QStringLiteral("Welcome")});

    EXPECT_EQ(w().Duration->text(), "10");
    EXPECT_FALSE(w().Loop->isChecked());
    EXPECT_EQ(w().cboChannels->currentIndex(), 0);
    EXPECT_EQ(w().WaveDevice->currentIndex(), 0);
    ASSERT_EQ(g().samplingRate(), 11025) << "a first start's rate";
    for (Channel c : kChannels) {
        EXPECT_EQ(ch(c).fInit->text(), "1000");
        EXPECT_EQ(ch(c).fFinal->text(), "5512.5") << "the reset's 10 kHz, brought below half the rate silently";
        EXPECT_TRUE(ch(c).chkConstant->isChecked());
        EXPECT_TRUE(ch(c).Logarithmic->isChecked());
        EXPECT_EQ(ch(c).WaveForm->currentIndex(), kSine);
        EXPECT_EQ(ch(c).ModFunction->currentIndex(), kModSine);
        EXPECT_EQ(ch(c).ModDepthEdit->text(), "100");
    }
    EXPECT_FALSE(window().menu().PresetRecallAutostart1->isChecked());
    EXPECT_FALSE(std::filesystem::exists(storeFile())) << "starting writes nothing";
}

// The device may still be getting ready while the main window's controls are made: it is
// taken once they exist, before the device check that can answer "no sound card".
TEST_F(StartTest, TheDeviceIsTakenOnceTheControlsExistAndBeforeTheDeviceCheck)
{
    int taken = 0;
    bool controlsThen = false;
    size_t messagesThen = 99;
    FakeDevice* made = nullptr;
    auto take = [&]() -> std::unique_ptr<AudioDevice> {
        ++taken;
        for (QWidget* top : QApplication::topLevelWidgets())
            controlsThen |= top->objectName() == QLatin1String("frmGenerator") &&
                            top->findChild<QComboBox*>(QStringLiteral("WaveDevice")) != nullptr;
        messagesThen = notices.messages.size();
        auto fake = std::make_unique<FakeDevice>(std::vector<std::string>{});
        made = fake.get();
        return fake;
    };
    sequence = std::make_unique<StartSequence>(ReadStartArguments("/nosplash"), take, &notices);
    ASSERT_FALSE(sequence->run());
    EXPECT_EQ(taken, 1);
    EXPECT_TRUE(controlsThen);
    EXPECT_EQ(messagesThen, 0u);
    EXPECT_EQ(&sequence->controller().device(), made);
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_EQ(notices.messages[0], QStringLiteral("No Soundcard driver found. No sound output possible."));
    EXPECT_FALSE(w().btnON->isEnabled());
}

TEST_F(StartTest, ASecondStartFindsTheWindowAsItWasLeft)
{
    start();
    changeEverything();
    closeWindow();
    EXPECT_TRUE(notices.messages.empty());
    const std::string stored = contentsOf(storeFile());
    EXPECT_NE(stored.find("\nmono = boolean false\n"), std::string::npos) << stored;

    start();
    EXPECT_TRUE(notices.errors.empty());
    EXPECT_EQ(w().cboChannels->currentIndex(), 1) << "Stereo, although the flag is written 'mono'";
    EXPECT_EQ(w().Duration->text(), "2.5");
    EXPECT_TRUE(w().Loop->isChecked());
    EXPECT_EQ(w().PhaseEdit->text(), "90");
    EXPECT_EQ(w().WaveDevice->currentIndex(), 2);
    EXPECT_EQ(sequence->controller().AudioOut1().WaveDevice(), 1u) << "the device's change handler ran";
    EXPECT_TRUE(window().menu().PresetRecallAutostart1->isChecked());
    EXPECT_FALSE(ch(Channel::Left).Tick->isChecked());
    EXPECT_TRUE(ch(Channel::Right).Tick->isChecked());
    for (Channel c : kChannels) {
        SCOPED_TRACE(c == Channel::Left ? "left" : "right");
        const bool left = c == Channel::Left;
        ChannelWidgets& x = ch(c);
        EXPECT_EQ(x.WaveForm->currentIndex(), left ? kTriangular : kSawtooth);
        EXPECT_TRUE(x.chkSweep->isChecked());
        EXPECT_EQ(x.fInit->text(), left ? "250" : "320");
        EXPECT_EQ(x.fFinal->text(), left ? "2500" : "3200");
        EXPECT_EQ(x.Logarithmic->isChecked(), !left);
        EXPECT_TRUE(x.Bidirectional->isChecked());
        EXPECT_EQ(x.Amplitude->text(), left ? "-3" : "-9");
        EXPECT_TRUE(x.ModulationOn->isChecked());
        EXPECT_EQ(x.ModFunction->currentIndex(), left ? kModSquare : kModTriangular);
        EXPECT_EQ(x.ModDepthEdit->text(), left ? "40" : "60");
        EXPECT_EQ(x.ModPeriodEdit->text(), left ? "0,25" : "3");
        EXPECT_EQ(x.ModPhaseEdit->text(), left ? "30" : "60");
        EXPECT_EQ(x.cboCrestFactor->currentIndex(), left ? 3 : 6);
        // The handlers ran: the sweep's fields are the ones on show, the right channel is live.
        EXPECT_FALSE(x.fFinal->isHidden());
        EXPECT_TRUE(x.WaveForm->isEnabled());
    }
    EXPECT_TRUE(w().chkAsLeft->isEnabled());
}

// The chosen device is kept by what it is: when devices come, go or change places, the same
// device is chosen again, and when it is gone none is (with a warning naming it) rather than
// whichever now stands in its place. A store without the identity goes by the position.
TEST_F(StartTest, TheKeptDeviceIsFoundByItsIdentityOrNoneIsChosen)
{
    struct Case {
        const char* what;
        std::vector<std::string> devices;
        bool withIdentity;
        int entry;        // the list position chosen at the start (-1: none)
        bool warned;
    };
    for (const Case& c : {Case{"the same list", {"Fake Output", "Second Output"}, true, 2, false},
                          Case{"moved up", {"Second Output", "Third Output"}, true, 1, false},
                          Case{"moved down", {"New", "Fake Output", "Second Output"}, true, 3, false},
                          Case{"gone", {"Fake Output", "Third Output"}, true, -1, true},
                          Case{"gone, and the list shorter", {"Fake Output"}, true, -1, true},
                          Case{"an older store: by position", {"Fake Output", "Third Output"}, false, 2, false}}) {
        SCOPED_TRACE(c.what);
        start();
        w().WaveDevice->setCurrentIndex(2);
        closeWindow();
        const std::string stored = contentsOf(storeFile());
        ASSERT_NE(stored.find("\nWaveDeviceName = text \"Second Output\""), std::string::npos) << stored;
        if (!c.withIdentity) spoilStoredLine("WaveDeviceName", "# no identity");

        start("/nosplash", c.devices);
        QCoreApplication::processEvents(); // the warning follows once the window stands
        EXPECT_TRUE(notices.errors.empty());
        EXPECT_EQ(w().WaveDevice->currentIndex(), c.entry);
        EXPECT_EQ(sequence->controller().AudioOut1().WaveDevice(), static_cast<uint32_t>(c.entry - 1))
            << "the engine follows the list (-2 for none: the next start reports the device error)";
        ASSERT_EQ(notices.warnings.size(), c.warned ? 1u : 0u);
        if (c.warned) {
            EXPECT_TRUE(notices.warnings[0].contains(QStringLiteral("\"Second Output\""))) << notices.warnings[0].toStdString();
            EXPECT_EQ(w().WaveDevice->placeholderText(), QStringLiteral("Second Output (not available)"));
            // Choosing a device ends it, and the choice is kept.
            w().WaveDevice->setCurrentIndex(1);
        }
        closeWindow();
    }
}

TEST_F(StartTest, MonoAndSameAsLeftComeBackWithTheirLayouts)
{
    start();
    run([&] {
        g().selectIndex({Field::cboChannels}, 1);
        g().setText({Field::fInit, Channel::Left}, "440");
        g().setChecked({Field::chkAsLeft}, true);
    });
    closeWindow();
    start();
    EXPECT_TRUE(w().chkAsLeft->isChecked());
    EXPECT_EQ(ch(Channel::Right).fInit->text(), "440") << "the right channel follows the left";
    EXPECT_FALSE(ch(Channel::Right).WaveForm->isEnabled());

    run([&] { g().selectIndex({Field::cboChannels}, 0); });
    closeWindow();
    EXPECT_NE(contentsOf(storeFile()).find("\nmono = boolean true\n"), std::string::npos);
    start();
    EXPECT_EQ(w().cboChannels->currentIndex(), 0);
    EXPECT_FALSE(ch(Channel::Right).fInit->isEnabled());
    EXPECT_FALSE(w().chkAsLeft->isEnabled());
}

TEST_F(StartTest, AStoreMissingOnlyPeakRmsRKeepsTheLeftCrestFactorAndResetsTheRest)
{
    start();
    changeEverything();
    closeWindow();
    spoilStoredLine("PeakRmsR", "");

    start();
    EXPECT_TRUE(notices.errors.empty()) << "a spoilt store is no error the user sees";
    EXPECT_TRUE(notices.messages.empty());
    EXPECT_EQ(ch(Channel::Left).cboCrestFactor->currentIndex(), 3) << "the reset leaves the crest factor alone";
    EXPECT_EQ(w().Duration->text(), "10") << "the reset ran";
    EXPECT_EQ(w().cboChannels->currentIndex(), 0);
    EXPECT_EQ(ch(Channel::Left).fInit->text(), "1000") << "frequencies are not restored";
    EXPECT_FALSE(window().menu().PresetRecallAutostart1->isChecked());
}

TEST_F(StartTest, AValueOfTheWrongKindResetsLikeAMissingOne)
{
    start();
    changeEverything();
    closeWindow();
    spoilStoredLine("ModulationOnRight", "ModulationOnRight = text \"yes\"");

    start();
    EXPECT_TRUE(notices.errors.empty());
    EXPECT_EQ(w().cboChannels->currentIndex(), 0) << "the reset set Mono";
    EXPECT_EQ(ch(Channel::Left).cboCrestFactor->currentIndex(), 3);
    EXPECT_EQ(w().PhaseEdit->text(), "0") << "Mono puts the phase back to 0";
    EXPECT_EQ(ch(Channel::Right).cboCrestFactor->currentIndex(), 6) << "read before the failing step, untouched by the reset";
}

// A text spoilt in the store (edited by hand, written by something else) is found by the
// restore's handlers: the reset that follows completes, whatever the fields hold then. The
// window starts at the reset values without a box, one line on stderr names the value, a
// start plays the reset's 1000 Hz, and the next close writes good values.
TEST_F(StartTest, ASpoiltTextInTheStoreStartsAtTheResetValuesWithoutABox)
{
    const std::pair<const char*, const char*> spoilt[] = {
        {"fInitLeft", "abc"}, {"fFinalLeft", "12,5.0"}, {"fInitRight", "x"}, {"fFinalRight", "--5"}};
    for (const auto& [name, text] : spoilt) {
        SCOPED_TRACE(name);
        start();
        changeEverything(); // stereo, phase 90, depth 40/60, 2.5 s ...
        closeWindow();
        spoilStoredLine(name, std::string(name) + " = text \"" + text + "\"");

        ::testing::internal::CaptureStderr();
        start();
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(notices.errors.empty()) << notices.errors.front().toStdString();
        EXPECT_TRUE(notices.messages.empty());
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find(name), std::string::npos) << said;

        EXPECT_EQ(w().Duration->text(), "10");
        EXPECT_EQ(w().cboChannels->currentIndex(), 0);
        EXPECT_EQ(w().PhaseEdit->text(), "0");
        for (Channel c : kChannels) {
            EXPECT_EQ(ch(c).fInit->text(), "1000");
            EXPECT_EQ(ch(c).fFinal->text(), "5512.5");
            EXPECT_EQ(ch(c).ModDepthEdit->text(), "100");
            EXPECT_EQ(ch(c).Amplitude->text(), "0");
        }

        window().menu().Off1->trigger(); // F11
        QCoreApplication::processEvents();
        ASSERT_TRUE(sequence->controller().AudioOut1().Active());
        EXPECT_NEAR(g()[Channel::Left].Step * g().samplingRate() / (2 * std::numbers::pi), 1000, 1e-6);
        window().menu().OnOff1->trigger(); // F9
        closeWindow();
        const std::string stored = contentsOf(storeFile());
        EXPECT_NE(stored.find(std::string("\n") + name + " = text \"" + (std::string(name).starts_with("fInit") ? "1000" : "5512.5") + "\"\n"),
                  std::string::npos) << stored;
        EXPECT_NE(stored.find("\nDuration = text \"10\"\n"), std::string::npos) << stored;

        // Good values: the start after that restores them all and says nothing.
        ::testing::internal::CaptureStderr();
        start();
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_TRUE(notices.errors.empty());
    }
}

// The reset sets the slider window's range: a first start keeps "20" to half the rate.
TEST_F(StartTest, AFirstStartKeepsTheResetsSliderRange)
{
    ::testing::internal::CaptureStderr();
    start();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "a first start has no store to speak of";
    EXPECT_EQ(slider().MinFreqEdit->text(), "20");
    EXPECT_EQ(slider().MaxFreqEdit->text(), "5512");
    closeWindow();
    const std::string stored = contentsOf(storeFile());
    EXPECT_NE(stored.find("\nMinFreqEdit = text \"20\"\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("\nMaxFreqEdit = text \"5512\"\n"), std::string::npos) << stored;

    // A store with no window state yet (only a notice answered) is a first start too.
    writeStore("Welcome = boolean true\n");
    ::testing::internal::CaptureStderr();
    start();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(notices.errors.empty());
}

TEST_F(StartTest, AStoredFrequencyAboveHalfTheRateRaisesTheNyquistNoticeAtStart)
{
    start();
    closeWindow();
    spoilStoredLine("fInitLeft", "fInitLeft = text \"30000\"");

    start();
    const auto& n = notices.notices;
    EXPECT_EQ(std::count(n.begin(), n.end(), QStringLiteral("AboveNyquistLimit")), 1);
    EXPECT_EQ(ch(Channel::Left).fInit->text(), "5512.5") << "half the first start's 11025 Hz";
}

TEST_F(StartTest, AStoreThatCannotBeWrittenCostsOneBoxAndTheWindowStillCloses)
{
    // The store's folder is a plain file: nothing can be created in it.
    std::ofstream(config.path().toStdString() + "/Karvell") << "not a folder";
    start();
    closeWindow();
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_TRUE(notices.messages[0].contains(QString::fromStdString(storeFile()))) << notices.messages[0].toStdString();
    EXPECT_TRUE(notices.messages[0].contains(QStringLiteral("Not a directory")) ||
                notices.messages[0].contains(QStringLiteral("File exists")))
        << notices.messages[0].toStdString();
    EXPECT_FALSE(window().isVisible());
}

TEST_F(StartTest, AFullDiskAtCloseLeavesThePreviousStoreWhole)
{
    start();
    changeEverything();
    closeWindow();
    const std::string before = contentsOf(storeFile());
    ASSERT_GT(before.size(), 200u);

    start();
    run([&] { g().setText({Field::Duration}, "7"); });
    // A file size limit stands in for a full disk: writing the new store fails part-way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 200;
    ::setrlimit(RLIMIT_FSIZE, &small);
    closeWindow();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);

    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_TRUE(notices.messages[0].contains(QString::fromStdString(storeFile())));
    EXPECT_TRUE(notices.messages[0].contains(QStringLiteral("File too large"))) << notices.messages[0].toStdString();
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(contentsOf(storeFile()), before);
    int stray = 0;
    for (const auto& e : std::filesystem::directory_iterator(config.path().toStdString() + "/Karvell"))
        stray += e.path().filename() != "Velmora.conf";
    EXPECT_EQ(stray, 0) << "no half-written temporary file is left behind";
}

TEST_F(StartTest, TheMainWindowSavedAtTheRightEdgeOfALargerScreenComesBackFlushRight)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    start();
    closeWindow();
    // Saved flush right on a screen 1000 pixels wider than this one.
    const int width = window().frameGeometry().width();
    spoilStoredLine("FormX", "FormX = integer " + std::to_string(screen.width() + 1000 - width));
    spoilStoredLine("FormY", "FormY = integer 12");

    start();
    ASSERT_EQ(screen.width(), 1024) << "runs on its own small screen";
    EXPECT_EQ(window().frameGeometry().right() + 1, screen.width());
    EXPECT_EQ(window().frameGeometry().top(), 12);
}

TEST_F(StartTest, TheFrequencyDisplayAndTheSliderComeBackWhereTheyWere)
{
    start();
    // Opened first: showing the slider switches both channels to constant tones.
    window().menu().FreqSlider1->trigger();
    window().menu().FrequencyDisplay1->trigger();
    changeEverything();
    ASSERT_TRUE(slider().isVisible());
    ASSERT_TRUE(display().isVisible());
    window().move(40, 30);
    display().move(300, 200);
    display().resize(display().width(), 60);
    slider().move(50, 480);
    slider().resize(600, slider().height());
    slider().MinFreqEdit->setText("20");
    slider().MaxFreqEdit->setText("5000");
    slider().txtRound->setText("10");
    const QRect displayFrame = display().frameGeometry();
    const QRect sliderFrame = slider().frameGeometry();
    closeWindow();
    EXPECT_TRUE(notices.messages.empty());
    EXPECT_NE(contentsOf(storeFile()).find("\nDisplayW = integer 60\n"), std::string::npos) << "the display's height";

    start();
    EXPECT_TRUE(display().isVisible());
    EXPECT_TRUE(slider().isVisible());
    EXPECT_TRUE(window().menu().FrequencyDisplay1->isChecked());
    EXPECT_TRUE(window().menu().FreqSlider1->isChecked());
    EXPECT_EQ(window().frameGeometry().topLeft(), QPoint(40, 30));
    EXPECT_EQ(display().frameGeometry(), displayFrame);
    EXPECT_EQ(display().height(), 60);
    EXPECT_EQ(display().width(), 12 * 60) << "stereo: two frequencies wide";
    EXPECT_EQ(slider().frameGeometry(), sliderFrame);
    EXPECT_EQ(slider().width(), 600);
    EXPECT_EQ(slider().MinFreqEdit->text(), "20");
    EXPECT_EQ(slider().MaxFreqEdit->text(), "5000") << "the stored upper end, over the one showing the window set";
    EXPECT_EQ(slider().txtRound->text(), "10");
    EXPECT_TRUE(ch(Channel::Left).chkSweep->isChecked()) << "the channels' own mode, restored after the slider opened";

    // Closed windows are remembered closed.
    display().close();
    slider().close();
    closeWindow();
    start();
    EXPECT_FALSE(display().isVisible());
    EXPECT_FALSE(slider().isVisible());
    EXPECT_FALSE(window().menu().FreqSlider1->isChecked());
}

TEST_F(StartTest, ADisplaySavedBeyondTheRightEdgeComesBackAtTheLeft)
{
    start();
    window().menu().FrequencyDisplay1->trigger();
    closeWindow();
    spoilStoredLine("DisplayX", "DisplayX = integer 1900");
    spoilStoredLine("DisplayY", "DisplayY = integer 100");

    start();
    EXPECT_TRUE(display().isVisible());
    EXPECT_EQ(display().frameGeometry().topLeft(), QPoint(0, 100));
}

// A window whose title bar comes back on no screen (it stood on a screen that is gone) is
// brought onto the screen; one still within reach stays where it was, as one left of the
// screen always did.
TEST_F(StartTest, AWindowWhoseTitleBarIsOffEveryScreenComesBackOnIt)
{
    struct Case {
        const char* name;
        int x, y;
        bool kept;
    };
    const Case cases[] = {
        {"far left and above", -3000, -2000, false},
        {"far left", -2000, 100, false},
        {"above", 100, -900, false},
        {"half over the left edge", -200, 100, true},
    };
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        start();
        window().menu().FrequencyDisplay1->trigger();
        window().menu().FreqSlider1->trigger();
        closeWindow();
        for (const char* prefix : {"Form", "Display", "Slider"}) {
            spoilStoredLine(std::string(prefix) + "X", std::string(prefix) + "X = integer " + std::to_string(k.x));
            spoilStoredLine(std::string(prefix) + "Y", std::string(prefix) + "Y = integer " + std::to_string(k.y));
        }

        start();
        for (QWidget* shown : std::initializer_list<QWidget*>{&window(), &display(), &slider()}) {
            SCOPED_TRACE(shown->objectName().toStdString());
            const QRect frame = shown->frameGeometry();
            if (k.kept) {
                EXPECT_EQ(frame.topLeft(), QPoint(k.x, k.y));
            } else {
                EXPECT_TRUE(screen.contains(frame.topLeft())) << frame.left() << "," << frame.top();
                EXPECT_TRUE(screen.contains(QPoint(frame.center().x(), frame.top() + 5)));
            }
        }
        closeWindow();
    }
}

// A generator opened from another one opens a step below and right of it, not on top of it;
// the place is taken once, so a copy this one starts does not inherit it.
TEST_F(StartTest, AWindowOpenedFromAnotherOneOpensBesideIt)
{
    start();
    window().move(100, 80);
    closeWindow();

    qputenv("VELMORA_OPEN_AT", "130,110");
    start();
    EXPECT_EQ(window().frameGeometry().topLeft(), QPoint(130, 110));
    EXPECT_FALSE(qEnvironmentVariableIsSet("VELMORA_OPEN_AT"));
    closeWindow();
    start();
    EXPECT_EQ(window().frameGeometry().topLeft(), QPoint(130, 110)) << "its own place, kept at close";

    qputenv("VELMORA_OPEN_AT", "5000,4000"); // beyond the screen: kept on it
    start();
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(window().frameGeometry()));
}

TEST_F(StartTest, TheMemoriesAreFilledFromTheRestoredSettings)
{
    start();
    changeEverything();
    closeWindow();
    start("nothing.zrx"); // a name with a '.': no example presets
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(bank().name(n), "Memory " + std::to_string(n));
        PresetSlot current = bank().memory(n);
        MemStore(g(), current);
        EXPECT_EQ(current, bank().memory(n)) << "memory " << n << " holds the settings the window shows";
        EXPECT_EQ(w().Memory[static_cast<size_t>(n - 1)]->text(), QStringLiteral("Memory %1").arg(n));
    }
    EXPECT_EQ(bank().memory(1).text(slot::Duration), "2.5");
}

// The first argument, as a table: the splash, the example presets, the file it names.
TEST_F(StartTest, TheFirstArgumentDecidesTheSplashThePresetsAndTheFile)
{
    // The program's examples lie beside the test (copied there at build time).
    ASSERT_TRUE(FindDataFile("Examples.zrx").has_value()) << "Examples.zrx beside " << ProgramFolder();
    const std::string examples = ExamplePresetRecipes()[0].name;

    PresetRecipes mine = ExamplePresetRecipes();
    for (int i = 0; i < 4; ++i) mine[static_cast<size_t>(i)].name = "Mine " + std::to_string(i + 1);
    WritePresetRecipes(file("mine.zrx"), mine);
    WritePresetRecipes(file("CAPS.ZRX"), mine);

    start();
    changeEverything();
    closeWindow();

    struct Case {
        std::string argument;
        bool splash;
        std::string memory1; // the first memory's name afterwards
    };
    const Case cases[] = {
        {"", true, examples},
        {"/nosplash", false, examples},
        {"--nosplash", false, examples},
        {file("mine.zrx"), true, "Mine 1"},
        {file("CAPS.ZRX"), true, "Memory 1"},    // the tests are case-sensitive: nothing loaded
        {file("missing.zrx"), true, "Memory 1"}, // missing, but with a '.': no examples either
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        start(c.argument.empty() ? nullptr : c.argument.c_str());
        EXPECT_FALSE(status.has_value());
        EXPECT_EQ(sequence->splashShown(), c.splash);
        EXPECT_EQ(splashWaits, c.splash ? 15 + 7 + 15 : 0) << "fade in, hold, fade out";
        EXPECT_EQ(bank().name(1), c.memory1);
        EXPECT_EQ(w().Duration->text(), "2.5") << "loading presets recalls nothing";
        EXPECT_EQ(w().cboChannels->currentIndex(), 1);
        EXPECT_TRUE(notices.errors.empty());
        EXPECT_TRUE(notices.messages.empty());
    }
}

TEST_F(StartTest, AScriptArgumentRunsUnattendedAndEndsWithItsStatus)
{
    start();
    window().menu().FrequencyDisplay1->trigger();
    window().menu().FreqSlider1->trigger();
    closeWindow();
    std::ofstream(file("fine.zrs")) << "rem nothing to play\nend\n";
    std::ofstream(file("broken.zrs")) << "rem a typing error follows\nplya 1\nend\n";

    struct Case {
        const char* name;
        int status;
        size_t messages; // the invalid line is reported in a box
    };
    for (const Case& c : {Case{"fine.zrs", 0, 0}, Case{"broken.zrs", 1, 1}}) {
        SCOPED_TRACE(c.name);
        start(file(c.name).c_str());
        ASSERT_TRUE(status.has_value()) << "the program ends without its message loop";
        EXPECT_EQ(*status, c.status);
        EXPECT_EQ(notices.messages.size(), c.messages);
        EXPECT_FALSE(window().isVisible());
        EXPECT_FALSE(display().isVisible());
        EXPECT_FALSE(slider().isVisible());
        EXPECT_FALSE(sequence->controller().scripts().popup().isVisible());
    }
}

} // namespace
} // namespace velmora::ui::test
