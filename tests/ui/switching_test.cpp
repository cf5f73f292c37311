// Switching the wired window on, into pause and off: the window follows the engine's own
// notices, the controls it locks, what a finite signal and the fill's refusals do, and the
// sound the fake device receives.
#include "window_harness.h"
#include "user_input.h"

#include "ui/dialogs/help_window.h"
#include "ui/dialogs/output_settings_dialog.h"
#include "ui/dialogs/period_wait_window.h"
#include "ui/frequency_display/frequency_text.h"
#include "ui/widgets/picture_combo_box.h"
#include "ui/widgets/shape_circle.h"

#include <QGroupBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QApplication>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>
#include <cstring>

namespace velmora::ui::test {
namespace {

using SwitchingTest = WindowHarness;

const QColor kGreen(0, 128, 0);
const QColor kMaroon(128, 0, 0);

std::vector<QWidget*> lockedControls(GeneratorWidgets& w)
{
    std::vector<QWidget*> locked{w.cboChannels, w.WaveDevice, w.Duration, w.Loop};
    for (ChannelWidgets& c : w.channel)
        for (QWidget* widget : std::initializer_list<QWidget*>{c.Bidirectional, c.Logarithmic, c.fInit, c.fFinal,
                                                               c.Amplitude})
            locked.push_back(widget);
    for (QPushButton* memory : w.Memory) locked.push_back(memory);
    return locked;
}

TEST_F(SwitchingTest, OnAndOffFollowTheDevicesNotices)
{
    choose(w().cboChannels, 1);
    click(w().Loop); // the right "Bi-directional" is usable in stereo with Repeat
    click(w().btnON);
    // Until the device's notice arrives the window still shows off.
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora"));
    pump();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ON - Velmora"));
    EXPECT_EQ(w().LED->brushColour(), kGreen);
    EXPECT_TRUE(w().btnOFF->isDefault());
    EXPECT_FALSE(w().btnON->isDefault());
    EXPECT_TRUE(controller->switching().GeneratorRunning());
    for (QWidget* widget : lockedControls(w()))
        EXPECT_FALSE(widget->isEnabled()) << widget->objectName().toStdString();
    EXPECT_FALSE(window->menu().Presets1->isEnabled());
    EXPECT_TRUE(ch(Channel::Left).barAmplitude->isEnabled()); // the level stays adjustable

    click(w().btnOFF);
    pump();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora"));
    EXPECT_EQ(w().LED->brushColour(), kMaroon);
    EXPECT_TRUE(w().btnON->isDefault());
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    for (QWidget* widget : lockedControls(w()))
        EXPECT_TRUE(widget->isEnabled()) << widget->objectName().toStdString();
    EXPECT_TRUE(window->menu().Presets1->isEnabled());
}

TEST_F(SwitchingTest, UnlockingPutsTheLayoutRulesBack)
{
    click(w().btnON); // mono: the right channel is disabled before and after
    pump();
    click(w().btnOFF);
    pump();
    EXPECT_FALSE(ch(Channel::Right).fInit->isEnabled());
    EXPECT_FALSE(ch(Channel::Right).Amplitude->isEnabled());
    EXPECT_FALSE(ch(Channel::Left).Bidirectional->isEnabled()); // Repeat is off
    EXPECT_TRUE(ch(Channel::Left).fInit->isEnabled());
}

// The right modulation panel's labels follow its box after a stop as before the start: the
// "Period" and "Function" labels (and the phase's unit) grey with their fields while the box
// is off.
TEST_F(SwitchingTest, UnlockingKeepsTheRightModulationLabelsWithTheirFields)
{
    struct Case {
        int layout;
        bool rightOn;
    };
    for (const Case& k : {Case{1, false}, Case{1, true}, Case{0, false}, Case{0, true}}) {
        SCOPED_TRACE(::testing::Message() << "layout " << k.layout << " right box " << k.rightOn);
        make();
        choose(w().cboChannels, 1);
        if (k.rightOn) click(ch(Channel::Right).ModulationOn);
        choose(w().cboChannels, k.layout);
        click(w().btnON);
        pump();
        click(w().btnOFF);
        pump();
        ChannelWidgets& r = ch(Channel::Right);
        for (QWidget* label : std::initializer_list<QWidget*>{r.lblAMperiod, r.lblAMfunction, r.lblModDepth,
                                                              r.lblModPhase, r.lblModPeriodUnit, r.lblModPhaseUnit})
            EXPECT_EQ(label->isEnabled(), r.ModPeriodEdit->isEnabled()) << label->objectName().toStdString();
        EXPECT_EQ(r.ModPeriodEdit->isEnabled(), k.rightOn);
    }
}

TEST_F(SwitchingTest, MenuItemsKeysAndToggleSwitchAsTheButtonsDo)
{
    MainMenu& m = window->menu();
    m.Off1->trigger();
    pump();
    EXPECT_TRUE(controller->switching().GeneratorRunning());
    m.Off1->trigger(); // a second ON while running does nothing
    pump();
    EXPECT_EQ(device->opens(), 1);
    m.OnOff1->trigger();
    pump();
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    m.ONOFF2->trigger();
    pump();
    EXPECT_TRUE(controller->switching().GeneratorRunning());
    m.ONOFF2->trigger();
    pump();
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    EXPECT_EQ(m.Off1->shortcut(), QKeySequence(Qt::Key_F11));
    EXPECT_EQ(m.OnOff1->shortcut(), QKeySequence(Qt::Key_F9));
}

TEST_F(SwitchingTest, PauseWhileOffStartsSilentWithTheLampGreen)
{
    click(w().btnPause);
    EXPECT_TRUE(w().btnPause->font().bold());
    click(w().btnON);
    pump();
    EXPECT_EQ(w().LED->brushColour(), kGreen);
    EXPECT_TRUE(device->paused());
    EXPECT_EQ(device->completeAll(), 0); // nothing is heard while paused
    click(w().btnPause);
    EXPECT_FALSE(w().btnPause->font().bold());
    EXPECT_FALSE(device->paused());
    EXPECT_GT(device->completeAll(), 0);
}

TEST_F(SwitchingTest, AFiniteSignalSwitchesTheWindowOffByItself)
{
    type(w().Duration, QStringLiteral("0.5"));
    click(w().btnON);
    pump();
    ASSERT_TRUE(controller->switching().GeneratorRunning());
    for (int i = 0; i < 20 && controller->AudioOut1().Active(); ++i) playQueued();
    EXPECT_FALSE(controller->AudioOut1().Active());
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora"));
    EXPECT_EQ(w().LED->brushColour(), kMaroon);
    EXPECT_TRUE(notices.messages.empty());
}

// With "Fade in and out" set, OFF (the button, F9, or the generators in step) lets the frames
// already in the ring play, then half a Hann window down to silence over the fade time, and
// only then the window switches off as OFF does; a second OFF during the fade stops at once.
TEST_F(SwitchingTest, OffWithAFadePlaysTheFadeOutAndASecondOffStopsAtOnce)
{
    enum How { Button, Menu, Sync, Twice };
    for (How how : {Button, Menu, Sync, Twice}) {
        SCOPED_TRACE(::testing::Message() << "way " << how);
        make();
        TfrmSettings& d = controller->settingsDialog();
        click(d.chkFade);
        type(d.txtFadeMs, QStringLiteral("500")); // 5513 frames at 11025 Hz, over a buffer
        ASSERT_TRUE(d.txtFadeMsExit());
        type(ch(Channel::Left).fInit, QStringLiteral("1000"));
        click(w().Loop);
        if (how == Sync) click(w().chkSync);
        click(w().btnON);
        pump();
        for (int i = 0; i < 3; ++i) playQueued(); // past the fade-in
        device->clearPlayed();
        const int resets = device->resets();

        if (how == Menu)
            window->menu().OnOff1->trigger();
        else
            click(w().btnOFF);
        pump();
        EXPECT_TRUE(controller->switching().GeneratorRunning()) << "OFF waits for the fade";
        if (how == Twice) {
            playQueued();
            click(w().btnOFF);
            pump();
            EXPECT_FALSE(controller->switching().GeneratorRunning());
            EXPECT_EQ(device->resets(), resets + 1);
            EXPECT_EQ(w().LED->brushColour(), kMaroon);
            continue;
        }
        int rounds = 0;
        for (; rounds < 20 && controller->AudioOut1().Active(); ++rounds) playQueued();
        EXPECT_FALSE(controller->switching().GeneratorRunning());
        EXPECT_EQ(w().LED->brushColour(), kMaroon);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora"));
        EXPECT_EQ(device->resets(), resets) << "the stream ended, it was not cut";

        // The ring made before OFF (4 x 4096 frames) at full level, then the fade, then silence.
        const std::vector<uint8_t>& bytes = device->played();
        const int64_t ring = 4 * 4096, fade = 5513;
        ASSERT_GE(static_cast<int64_t>(bytes.size()) / 2, ring + fade);
        auto sample = [&](int64_t i) {
            int16_t x;
            std::memcpy(&x, &bytes[static_cast<size_t>(2 * i)], 2);
            return int(x);
        };
        int peak = 0;
        for (int64_t i = ring - 100; i < ring; ++i) peak = std::max(peak, std::abs(sample(i)));
        EXPECT_GT(peak, 32000);
        for (int64_t k = 0; k < fade; ++k) {
            const double e = 0.5 - 0.5 * std::cos(M_PI * double(fade - 1 - k) / fade);
            ASSERT_LE(std::abs(sample(ring + k)), 32767 * e + 1) << "fade frame " << k;
        }
        peak = 0;
        for (int64_t k = 0; k < 100; ++k) peak = std::max(peak, std::abs(sample(ring + k)));
        EXPECT_GT(peak, 30000) << "the fade starts at the level it left";
        for (int64_t i = ring + fade; i < static_cast<int64_t>(bytes.size()) / 2; ++i)
            ASSERT_EQ(sample(i), 0) << "frame " << i;
    }
}

// Without the option OFF stops at once, as it always did.
TEST_F(SwitchingTest, OffWithoutAFadeStopsAtOnce)
{
    click(w().Loop);
    click(w().btnON);
    pump();
    playQueued();
    const int resets = device->resets();
    click(w().btnOFF);
    pump();
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    EXPECT_EQ(device->resets(), resets + 1);
}

TEST_F(SwitchingTest, ADeclinedFirstBufferExplainsAndOpensTheOutputSettings)
{
    // The fill refuses the first buffer, as a signal too short for the ring does.
    controller->AudioOut1().OnFillBuffer = [](uint8_t*, int32_t&) { return false; };
    click(w().btnON);
    pump();
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_EQ(notices.messages[0], QStringLiteral("For very short signals please decrease the buffer number and "
                                                  "size. This is a sound driver limitation"));
    EXPECT_TRUE(controller->settingsDialog().isVisible());
    EXPECT_EQ(w().LED->brushColour(), kMaroon);
    EXPECT_FALSE(controller->switching().GeneratorRunning());
}

TEST_F(SwitchingTest, ADeviceThatWillNotOpenIsReported)
{
    device->failNextOpen();
    click(w().btnON);
    pump();
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_TRUE(notices.messages[0].startsWith(QStringLiteral("Sound Device Error: \r")));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora"));
}

// A device that goes away while playing switches the window off, and the device-error box
// says why; a stream that OFF ends, or one after a new start, says nothing.
TEST_F(SwitchingTest, ADeviceLostWhilePlayingIsReported)
{
    click(w().Loop);
    click(w().btnON);
    pump();
    playQueued();
    ASSERT_TRUE(controller->switching().GeneratorRunning());
    device->disappear();
    for (int i = 0; i < 4; ++i) pump();
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    EXPECT_EQ(w().LED->brushColour(), kMaroon);
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_EQ(notices.messages[0], QStringLiteral("Sound Device Error: \rThe audio device is no longer available"));

    notices.messages.clear();
    click(w().btnON);
    pump();
    playQueued();
    click(w().btnOFF);
    pump();
    EXPECT_TRUE(notices.messages.empty());
}

TEST_F(SwitchingTest, AFieldThatIsNotANumberStopsTheStartWithItsError)
{
    type(ch(Channel::Left).txtMLSSeed, QStringLiteral("abc"));
    click(w().btnON);
    pump();
    ASSERT_EQ(notices.errors.size(), 1u);
    EXPECT_EQ(notices.errors[0], QStringLiteral("'abc' is not a valid floating point value"));
    EXPECT_FALSE(controller->switching().GeneratorRunning());
}

TEST_F(SwitchingTest, FallingBehindStopsTheOutputAndShowsTheSuppressibleNotice)
{
    click(w().btnON);
    pump();
    generator().state.AliveFlag = false; // the window's messages did not get through
    playQueued();
    pump();
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    ASSERT_EQ(notices.notices.size(), 2u); // the welcome question, then this
    EXPECT_EQ(notices.notices[1], QStringLiteral("MBPerformance"));
    EXPECT_EQ(notices.noticeTexts[1], QStringLiteral("There is an issue with performance. See help for details"));
}

// The bytes the device plays are the signal set up in the window: a 1000 Hz sine at -6 dBFS
// in 16-bit mono at the default 11025 Hz.
TEST_F(SwitchingTest, TheDevicePlaysTheSignalSetInTheWindow)
{
    type(ch(Channel::Left).fInit, QStringLiteral("1000"));
    type(ch(Channel::Left).Amplitude, QStringLiteral("-6"));
    click(w().Loop);
    click(w().btnON);
    pump();
    for (int i = 0; i < 4; ++i) playQueued();
    const std::vector<uint8_t>& bytes = device->played();
    ASSERT_GE(bytes.size(), 4u * 8192u);
    EXPECT_EQ(device->openedFormat().channels, 1);
    EXPECT_EQ(device->openedFormat().samplesPerSec, 11025u);
    const size_t n = bytes.size() / 2;
    int peak = 0, crossings = 0;
    int16_t previous = 0;
    for (size_t i = 0; i < n; ++i) {
        int16_t x;
        std::memcpy(&x, &bytes[2 * i], 2);
        peak = std::max(peak, std::abs(int(x)));
        if (i > 0 && (previous < 0) != (x < 0)) ++crossings;
        previous = x;
    }
    EXPECT_NEAR(peak, 32767 * std::pow(10.0, -6.0 / 20), 40);
    const double frequency = crossings / 2.0 / (double(n) / 11025);
    EXPECT_NEAR(frequency, 1000, 5);
}

TEST_F(SwitchingTest, ExitStopsTheOutputAndClosesTheWindow)
{
    window->show();
    click(w().btnON);
    pump();
    window->menu().Exit1->trigger();
    pump();
    EXPECT_FALSE(controller->AudioOut1().Active());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(SwitchingTest, DeviceListAndChoice)
{
    ASSERT_EQ(w().WaveDevice->count(), 3);
    EXPECT_EQ(w().WaveDevice->itemText(0), QStringLiteral("System Default"));
    EXPECT_EQ(controller->AudioOut1().WaveDevice(), 0xFFFFFFFFu);
    choose(w().WaveDevice, 2);
    EXPECT_EQ(controller->AudioOut1().WaveDevice(), 1u);
    click(w().btnON);
    pump();
    EXPECT_EQ(device->openedId(), 1);
    click(w().btnOFF);
    window->menu().Recheckoutputdevices1->trigger();
    EXPECT_EQ(w().WaveDevice->currentIndex(), 0);
    EXPECT_EQ(controller->AudioOut1().WaveDevice(), 0xFFFFFFFFu);
}

// Devices that come or go (told by the device layer from a thread of its own) show in the
// list without a recheck; the chosen device stays chosen wherever it now stands, and when it
// goes none is chosen, with one warning naming it, until it comes back or another is chosen.
TEST_F(SwitchingTest, TheDeviceListFollowsDevicesThatComeAndGo)
{
    ASSERT_TRUE(device->watched());
    choose(w().WaveDevice, 2); // "Second Output"
    const auto announce = [&](std::vector<std::string> names) {
        device->setDeviceNames(std::move(names));
        std::thread([this] { device->announceDeviceChange(); }).join();
        const int count = static_cast<int>(device->listDevices().size()) + 1;
        EXPECT_TRUE(QTest::qWaitFor([&] { return w().WaveDevice->count() == count; }, 3000));
        QTest::qWait(250); // a burst has settled
    };
    struct Step {
        std::vector<std::string> names;
        int entry;
        size_t warnings;
    };
    for (const Step& step : {Step{{"New", "Fake Output", "Second Output"}, 3, 0},
                             Step{{"New", "Fake Output"}, -1, 1},
                             Step{{"New", "Other", "Fake Output"}, -1, 1},
                             Step{{"Second Output"}, 1, 1}}) {
        SCOPED_TRACE(step.entry);
        announce(step.names);
        EXPECT_EQ(w().WaveDevice->currentIndex(), step.entry);
        EXPECT_EQ(controller->AudioOut1().WaveDevice(), static_cast<uint32_t>(step.entry - 1));
        ASSERT_EQ(notices.warnings.size(), step.warnings);
        if (step.warnings > 0) {
            EXPECT_TRUE(notices.warnings[0].contains(QStringLiteral("\"Second Output\"")));
        }
        if (step.entry < 0) {
            EXPECT_EQ(w().WaveDevice->placeholderText(), QStringLiteral("Second Output (not available)"));
            EXPECT_TRUE(w().btnON->isEnabled()) << "a start reports the device error";
        }
    }
    // System Default stays chosen whatever comes or goes.
    choose(w().WaveDevice, 0);
    announce({"Fake Output"});
    EXPECT_EQ(w().WaveDevice->currentIndex(), 0);
    EXPECT_EQ(notices.warnings.size(), 1u);
}

TEST_F(SwitchingTest, WelcomeQuestionAndHelpTopics)
{
    ASSERT_FALSE(notices.notices.empty());
    EXPECT_EQ(notices.notices[0], QStringLiteral("Welcome"));
    EXPECT_FALSE(controller->help().isVisible()); // answered No

    notices.answer = NoticeResult::Yes;
    make();
    EXPECT_EQ(controller->help().currentContext(), 10);

    const struct {
        QAction* item;
        int context;
    } items[] = {{window->menu().Help1, 1}, {window->menu().Introduction1, 10}};
    for (const auto& k : items) {
        k.item->trigger();
        EXPECT_EQ(controller->help().currentContext(), k.context);
    }
    for (int context : {0, 1, 2, 3, 4, 5, 6, 10, 12}) {
        controller->openHelp(context);
        if (context != 0) {
            EXPECT_NE(helpPageFor(context), helpPageFor(0)) << context << " has no page of its own";
        }
        EXPECT_FALSE(controller->help().browser()->toPlainText().trimmed().isEmpty()) << context;
    }
    EXPECT_EQ(helpPageFor(0), helpPageFor(-5));
}

} // namespace
} // namespace velmora::ui::test

namespace velmora::ui::test {
namespace {

// What is wrong with the open stream (a sound server that does not answer, a volume that is
// not 100 %) shows where the dropouts do while it lasts, after their count, whole in the tool
// tip and cut short on the line; it goes when it has passed.
TEST_F(SwitchingTest, AWarningAboutTheStreamShowsWhileItLasts)
{
    QLabel* label = window->findChild<QLabel*>(QStringLiteral("lblUnderruns"));
    ASSERT_NE(label, nullptr);
    const auto settle = [&] { QTest::qWait(350); };
    click(w().Loop);
    click(w().btnON);
    pump();
    settle();
    EXPECT_FALSE(label->isVisibleTo(window.get()));

    const QString silent = QStringLiteral("The sound server does not answer (waiting for it)");
    device->setStreamWarning(silent.toStdString());
    settle();
    EXPECT_TRUE(label->isVisibleTo(window.get()));
    EXPECT_EQ(label->toolTip(), silent);
    EXPECT_TRUE(w().client->rect().contains(label->geometry()));
    device->setStreamWarning({});
    settle();
    EXPECT_FALSE(label->isVisibleTo(window.get())) << "the server answers again";

    device->addUnderruns(1);
    device->setStreamWarning("The stream's volume in the sound server is 50 %, not 100 %");
    settle();
    EXPECT_TRUE(label->text().startsWith(QStringLiteral("1 underrun; The stream"))) << label->text().toStdString();
    EXPECT_TRUE(w().client->rect().contains(label->geometry()));
    device->setStreamWarning({});
    settle();
    EXPECT_EQ(label->text(), QStringLiteral("1 underrun")) << "the count stays";
    EXPECT_TRUE(label->isVisibleTo(window.get()));
    click(w().btnOFF);
    pump();
}

TEST_F(SwitchingTest, DropoutsOfTheStreamAreCountedBesideTheSamplingRate)
{
    QLabel* count = window->findChild<QLabel*>(QStringLiteral("lblUnderruns"));
    ASSERT_NE(count, nullptr);
    auto settle = [&] {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 300) {
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
    };
    device->addUnderruns(5); // before this stream: not counted
    click(w().Loop);
    click(w().btnON);
    pump();
    settle();
    EXPECT_FALSE(count->isVisibleTo(window.get())) << "no dropout yet";

    playQueued();
    device->addUnderruns(2);
    settle();
    EXPECT_TRUE(count->isVisibleTo(window.get()));
    EXPECT_EQ(count->text(), QStringLiteral("2 underruns"));
    // Beside the rate, clear of it, of the status lamp and of the correction note.
    EXPECT_LT(std::abs(count->geometry().center().y() - w().lblFS->geometry().center().y()), 20);
    EXPECT_FALSE(count->geometry().intersects(w().lblFS->geometry()));
    EXPECT_FALSE(count->geometry().intersects(w().LED->geometry()));
    EXPECT_FALSE(count->geometry().intersects(w().chkSync->geometry()));
    EXPECT_TRUE(w().client->rect().contains(count->geometry()));
    type(controller->settingsDialog().txtCorrectionFactor, QStringLiteral("-12.3456"));
    controller->refreshOutputLabels();
    device->addUnderruns(12343);
    settle();
    EXPECT_EQ(count->text(), QStringLiteral("12345 underruns"));
    EXPECT_FALSE(count->geometry().intersects(w().lblCorrectionAlert->geometry()));
    EXPECT_FALSE(count->geometry().intersects(w().LED->geometry()));

    click(w().btnOFF);
    pump();
    settle();
    EXPECT_TRUE(count->isVisibleTo(window.get())) << "the count of the last stream stays until the next start";
    click(w().btnON);
    pump();
    settle();
    EXPECT_FALSE(count->isVisibleTo(window.get()));
    click(w().btnOFF);
    pump();
}

} // namespace
} // namespace velmora::ui::test

namespace velmora::ui::test {
namespace {
// A periodic noise chosen in the window: the length and seed fields in place of the
// frequency, a period that repeats sample for sample in what the device plays, and the
// label that says so when the level set would take its peaks past full scale.
TEST_F(SwitchingTest, APeriodicNoisePlaysItsPeriodAgainAndAgain)
{
    ChannelWidgets& left = ch(Channel::Left);
    choose(left.WaveForm, kPinkNoisePeriodic);
    EXPECT_TRUE(left.grpMLS->isVisibleTo(window.get()));
    EXPECT_FALSE(left.boxFrequency->isVisibleTo(window.get()));
    type(left.txtMLSLength, QStringLiteral("12"));
    click(w().Loop);
    click(w().btnON);
    pump();
    for (int i = 0; i < 4; ++i) playQueued();
    const std::vector<uint8_t>& bytes = device->played();
    const size_t period = 4096 * 2; // bytes of 16-bit mono
    ASSERT_GE(bytes.size(), 2 * period);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + period, bytes.begin() + period));
    // At 0 dBFS (the RMS of a full-scale sine) the peaks would clip: it plays lower, and says so.
    EXPECT_TRUE(left.lblLevelLimit->isVisibleTo(window.get()));
    EXPECT_TRUE(left.lblLevelLimit->text().startsWith(QStringLiteral("max -")));
    type(left.Amplitude, QStringLiteral("-20"));
    EXPECT_FALSE(left.lblLevelLimit->isVisibleTo(window.get()));
}
} // namespace
} // namespace velmora::ui::test

namespace velmora::ui::test {
namespace {
// The signals that fix their own frequencies: the frequency fields go, the multitone shows
// its length field (and no seed), the display reads what plays, and CCIF at a rate whose half
// is below 20 kHz brings the sampling-rate notice and does not start.
TEST_F(SwitchingTest, FixedTonesHideTheFrequencyAndRefuseARateTooLow)
{
    ChannelWidgets& left = ch(Channel::Left);
    choose(left.WaveForm, kMultitone);
    EXPECT_FALSE(left.boxFrequency->isVisibleTo(window.get()));
    EXPECT_TRUE(left.grpMLS->isVisibleTo(window.get()));
    EXPECT_TRUE(left.txtMLSLength->isVisibleTo(window.get()));
    EXPECT_FALSE(left.txtMLSSeed->isVisibleTo(window.get()));
    type(left.txtMLSLength, QStringLiteral("12"));
    EXPECT_EQ(FrequencyDisplayText(generator(), false), "2^12");
    click(w().btnON);
    pump();
    EXPECT_TRUE(controller->switching().GeneratorRunning());
    click(w().btnOFF);
    pump();

    choose(left.WaveForm, kImdSmpte);
    EXPECT_FALSE(left.boxFrequency->isVisibleTo(window.get()));
    EXPECT_FALSE(left.grpMLS->isVisibleTo(window.get()));
    EXPECT_EQ(FrequencyDisplayText(generator(), false), "60+7000 Hz");

    // The window starts at 11025 Hz: 20 kHz does not fit.
    notices.notices.clear();
    notices.errors.clear();
    choose(left.WaveForm, kImdCcif);
    ASSERT_EQ(notices.notices.size(), 1u);
    EXPECT_EQ(notices.notices[0], QStringLiteral("AboveNyquistLimit"));
    click(w().btnON);
    pump();
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    ASSERT_EQ(notices.errors.size(), 1u);
    EXPECT_TRUE(notices.errors[0].contains(QStringLiteral("half the sampling rate")));

    // Back to a sine: the frequency fields return, the length field goes.
    choose(left.WaveForm, kSine);
    EXPECT_TRUE(left.boxFrequency->isVisibleTo(window.get()));
    EXPECT_FALSE(left.grpMLS->isVisibleTo(window.get()));
}
} // namespace
} // namespace velmora::ui::test

namespace velmora::ui::test {
namespace {
// Switched on while a long period is still being made: the wait shows with the period's
// length and the seconds so far, the main window takes no input meanwhile, and Cancel, OFF
// from elsewhere or the period being finished ends it.
class PeriodWaitTest : public SwitchingTest {
protected:
    void chooseMultitone(const char* length)
    {
        choose(ch(Channel::Left).WaveForm, kMultitone);
        type(ch(Channel::Left).txtMLSLength, QString::fromLatin1(length));
        click(w().Loop);
        controller->periodWait().showAfterMs = 0;
    }
    PeriodWaitWindow& waiting() { return controller->periodWait(); }
    // Runs `step` once the wait window shows, from inside the start's wait.
    void whenShown(std::function<void()> step)
    {
        auto* poll = new QTimer(window.get());
        poll->setInterval(10);
        QObject::connect(poll, &QTimer::timeout, window.get(), [this, poll, step] {
            if (!waiting().isVisible()) return;
            poll->deleteLater();
            poll->stop();
            step();
        });
        poll->start();
    }
};

TEST_F(PeriodWaitTest, CancelGivesUpTheStartWithoutABox)
{
    chooseMultitone("20"); // seconds of work
    bool modal = false;
    QString text;
    whenShown([&] {
        text = waiting().lblPeriodWait->text();
        modal = QApplication::activeModalWidget() == &waiting();
        waiting().btnPeriodWaitCancel->click();
    });
    EXPECT_EQ(controller->switching().startsignal(), StartOutcome::NotPrepared);
    EXPECT_TRUE(text.contains(QStringLiteral("1048576 samples"))) << text.toStdString();
    EXPECT_TRUE(modal);
    EXPECT_FALSE(waiting().isVisible());
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    EXPECT_EQ(device->opens(), 0);
    EXPECT_TRUE(notices.errors.empty());
    EXPECT_TRUE(notices.messages.empty());
}

TEST_F(PeriodWaitTest, AStopFromElsewhereOrASecondStartDuringTheWait)
{
    chooseMultitone("20");
    StartOutcome second = StartOutcome::Started;
    whenShown([&] {
        second = controller->switching().startsignal(); // a remote start meanwhile
        controller->switching().btnOFFClick();          // then OFF, as a remote message does it
    });
    EXPECT_EQ(controller->switching().startsignal(), StartOutcome::NotPrepared);
    EXPECT_EQ(second, StartOutcome::AlreadyRunning);
    EXPECT_FALSE(waiting().isVisible());
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    EXPECT_EQ(device->opens(), 0);
}

TEST_F(PeriodWaitTest, TheStartGoesOnOnceThePeriodIsMade)
{
    chooseMultitone("17");
    bool shown = false;
    whenShown([&] { shown = true; });
    click(w().btnON);
    pump();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(waiting().isVisible());
    EXPECT_TRUE(controller->switching().GeneratorRunning());
    playQueued();
    const std::vector<uint8_t>& bytes = device->played();
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(std::any_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b != 0; }));
    click(w().btnOFF);
    pump();
}
} // namespace
} // namespace velmora::ui::test
