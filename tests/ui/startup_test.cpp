// The program's start and close as a user meets them: the window state saved when the main
// window closes and found again at the next start, on the real windows with a fake device.
#include "settings/settings_store.h"
#include "ui/main_window/channel_panel.h"
#include "ui/widgets/picture_combo_box.h"
#include "ui/startup/persisted_windows.h"
#include "ui/startup/start_sequence.h"
#include "window_harness.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <csignal>
#include <fstream>
#include <iterator>

#include <sys/resource.h>

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
    void start(const char* argument = "/nosplash")
    {
        sequence.reset();
        notices = RecordingNotices();
        auto fake = std::make_unique<FakeDevice>(std::vector<std::string>{"Fake Output", "Second Output"});
        device = fake.get();
        sequence = std::make_unique<StartSequence>(ReadStartArguments(argument), std::move(fake), &notices);
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

} // namespace
} // namespace velmora::ui::test
