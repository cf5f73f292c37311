// The frequency slider window wired to the generator: the logarithmic scale and its
// rounding, the lower and upper ends, the maxima from the sampling rate, the held slider's
// colouring, the menu item, and a playing tone following the slider.
#include "window_harness.h"
#include "user_input.h"

#include "ui/dialogs/output_settings_dialog.h"
#include "ui/frequency_slider/freq_slider_window.h"
#include "ui/frequency_slider/slider_scale.h"
#include "control/generator_messages.h"
#include "ui/widgets/picture_combo_box.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSlider>
#include <QtTest/QTest>

#include <cmath>
#include <cstring>
#include <numbers>

namespace velmora::ui::test {
namespace {

class FreqSliderTest : public WindowHarness {
protected:
    void SetUp() override
    {
        WindowHarness::SetUp();
        choose(controller->settingsDialog().cboFsList, 3); // 44100 Hz
        choose(w().cboChannels, 1);                       // stereo
    }

    TfrmFreqSlider& slider() { return controller->freqSlider(); }
    QAction* menuItem() { return window->menu().FreqSlider1; }

    // Opens the window from the menu, as Ctrl+F does.
    void open()
    {
        if (!menuItem()->isChecked()) menuItem()->trigger();
        ASSERT_TRUE(slider().isVisible());
    }
    // The user takes hold of a slider: its window active, the slider focused.
    void hold(QSlider* s)
    {
        open();
        slider().activateWindow();
        QApplication::setActiveWindow(&slider());
        s->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(s->hasFocus());
    }
    // The focus goes back to the main window's first frequency field.
    void letGo()
    {
        QApplication::setActiveWindow(window.get());
        ch(Channel::Left).fFinal->setFocus(Qt::MouseFocusReason);
    }
    void mouse(QSlider* s, QEvent::Type type)
    {
        QMouseEvent event(type, QPointF(5, 5), s->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(s, &event);
    }
    // Types into one of the slider window's fields and leaves it.
    void enter(QLineEdit* edit, const QString& text)
    {
        type(edit, text);
        leave(edit);
    }
    QString fInit(Channel c) { return ch(c).fInit->text(); }
};

TEST(SliderScaleTest, PositionsAndFrequencies)
{
    EXPECT_DOUBLE_EQ(SliderFrequency(0), 2);
    EXPECT_DOUBLE_EQ(SliderFrequency(1000), 20);
    EXPECT_NEAR(SliderFrequency(4000), 20000, 1e-9);
    EXPECT_NEAR(SliderFrequency(3300), 3990.5246, 1e-4);
    EXPECT_EQ(SliderPosition(20), 1000);
    EXPECT_EQ(SliderPosition(50), 1398);
    EXPECT_EQ(SliderPosition(1000), 2699);
    // The maxima: half the rate, through rate div 4.
    EXPECT_EQ(SliderMaximum(44100), 4042);
    EXPECT_EQ(SliderMaximum(48000), 4079);
    EXPECT_EQ(SliderMaximum(8000), 3301);
    EXPECT_EQ(SliderMaximum(11025), 3440);
    for (int32_t rate : kSamplingRates) EXPECT_LE(SliderFrequency(SliderMaximum(rate)), rate / 2.0) << rate;
}

struct StepCase {
    double f, step, limit, expected;
};

TEST(SliderScaleTest, RoundingToAStep)
{
    const StepCase cases[] = {
        {3990.52, 1, 22050, 3991},
        {3990.52, 10, 22050, 3990},
        {3990.52, 0.5, 22050, 3990.5},
        {2.5, 1, 22050, 2},         // half to even
        {3.5, 1, 22050, 4},
        {3990.52, 0, 22050, 3990.52}, // no rounding
        {3990.52, -5, 22050, 3990.52},
        {3, 10, 22050, 10},          // a zero frequency would stop the tone: one step instead
        {22030.6, 7000, 22050, 21000}, // 28000 lies above half the rate: the largest multiple below
        {22030.6, 30000, 22050, 22030.6}, // no multiple fits
        {1000, 1e-310, 22050, 1000},  // the quotient overflows: no rounding
    };
    for (const StepCase& k : cases)
        EXPECT_DOUBLE_EQ(RoundToStep(k.f, k.step, k.limit), k.expected) << k.f << " step " << k.step;
}

TEST(SliderScaleTest, EndsAreReadWithAPointOnly)
{
    EXPECT_EQ(ReadStrictNumber("1000.5"), 1000.5);
    EXPECT_EQ(ReadStrictNumber(" 50 "), 50);
    EXPECT_EQ(ReadStrictNumber("1E3"), 1000);
    EXPECT_FALSE(ReadStrictNumber("1000,5"));
    EXPECT_FALSE(ReadStrictNumber("abc"));
    EXPECT_FALSE(ReadStrictNumber("1.2.3"));
}

struct SliderCase {
    const char* round;
    const char* expected;
};

// The held slider sets its channel's frequency, rounded to the step.
TEST_F(FreqSliderTest, AHeldSliderSetsTheRoundedFrequency)
{
    const SliderCase cases[] = {
        {"1", "3991"},
        {"10", "3990"},
        {"0,5", "3990.5"},
        {"0", "3990.52462993776"},  // 0 or below: no rounding
        {"-1", "3990.52462993776"},
    };
    for (Channel c : kChannels) {
        for (const SliderCase& k : cases) {
            SCOPED_TRACE(::testing::Message() << k.round << " channel " << index(c));
            slider().txtRound->setText(QLatin1String(k.round));
            slider().slider(c)->setValue(1000);
            hold(slider().slider(c));
            slider().slider(c)->setValue(3300);
            EXPECT_EQ(fInit(c), QLatin1String(k.expected));
            EXPECT_EQ(generator().text({Field::fInit, c}), k.expected);
            letGo();
        }
    }
    EXPECT_TRUE(notices.errors.empty());
}

// Only the user's hold moves a frequency; the right slider also follows while the left is
// held. Positions set from code (the main window keeping the sliders in step) change nothing.
TEST_F(FreqSliderTest, OnlyAHeldSliderSetsAFrequency)
{
    open();
    type(ch(Channel::Left).fInit, QStringLiteral("1000"));
    type(ch(Channel::Right).fInit, QStringLiteral("500"));
    EXPECT_EQ(slider().FreqSliderLeft->value(), 2699);
    EXPECT_EQ(slider().FreqSliderRight->value(), 2398);

    slider().FreqSliderRight->setValue(3000); // nothing focused in the slider window
    EXPECT_EQ(fInit(Channel::Right), QStringLiteral("500"));

    hold(slider().FreqSliderLeft);
    slider().FreqSliderRight->setValue(3100);
    EXPECT_EQ(fInit(Channel::Right), QStringLiteral("2518"));

    hold(slider().FreqSliderRight);
    slider().FreqSliderLeft->setValue(3000);
    EXPECT_EQ(fInit(Channel::Left), QStringLiteral("1000"));
}

// A frequency that arrives while a slider has the focus - by message from another program -
// is what the field shows and what plays: the slider follows it, and does not round it to
// its own step.
TEST_F(FreqSliderTest, AFrequencyByMessageWhileASliderIsHeldIsShownAsItPlays)
{
    struct NoTarget final : MessageTarget {
        void startsignal() override {}
        void stopAtOnce() override {}
        void togglePause() override {}
        void setSync(bool) override {}
        void selectDevice(int64_t) override {}
        void MemRecall(int) override {}
        void MemStore(int) override {}
    } target;
    struct Case {
        const char* round;
        uint32_t hundredths;
        const char* expected;
    };
    const Case cases[] = {{"1", 123456, "1234.56"}, {"100", 123456, "1234.56"}, {"100", 44000, "440"}};
    for (Channel c : kChannels) {
        for (const Case& k : cases) {
            SCOPED_TRACE(::testing::Message() << k.round << " " << k.hundredths << " channel " << index(c));
            slider().txtRound->setText(QLatin1String(k.round));
            hold(slider().FreqSliderLeft);
            const uint32_t number = message::kStartFrequency + (c == Channel::Left ? 0 : 100);
            HandleMessage(generator(), target, number, k.hundredths, 0);
            EXPECT_EQ(fInit(c), QLatin1String(k.expected));
            EXPECT_NEAR(generator()[c].TargetStep * 44100 / (2 * std::numbers::pi), k.hundredths / 100.0, 1e-9);
            EXPECT_EQ(slider().slider(c)->value(), SliderPosition(k.hundredths / 100.0));
            letGo();
        }
    }
}

// Enter in the upper end brings a frequency above it down to it exactly, as Tab does.
TEST_F(FreqSliderTest, EnterInTheUpperEndKeepsItsFraction)
{
    open();
    type(ch(Channel::Left).fInit, QStringLiteral("1500"));
    QApplication::setActiveWindow(&slider());
    slider().MaxFreqEdit->setFocus();
    type(slider().MaxFreqEdit, QStringLiteral("1000.5"));
    QTest::keyClick(slider().MaxFreqEdit, Qt::Key_Return);
    ASSERT_TRUE(slider().FreqSliderLeft->hasFocus());
    EXPECT_EQ(fInit(Channel::Left), QStringLiteral("1000.5"));
    EXPECT_EQ(generator().text({Field::fInit, Channel::Left}), "1000.5");
}

TEST_F(FreqSliderTest, TheUpperEnd)
{
    open();
    EXPECT_EQ(slider().MaxFreqEdit->text(), QStringLiteral("22050"));
    EXPECT_EQ(slider().FreqSliderLeft->maximum(), 4042);
    type(ch(Channel::Left).fInit, QStringLiteral("1500"));
    type(ch(Channel::Right).fInit, QStringLiteral("800"));

    // Not below half the rate: restored from the slider maximum (2 x 10^4.042).
    enter(slider().MaxFreqEdit, QStringLiteral("22050"));
    EXPECT_EQ(slider().MaxFreqEdit->text(), QStringLiteral("22031"));
    EXPECT_EQ(slider().FreqSliderLeft->maximum(), 4042);
    // A decimal comma is no number here.
    enter(slider().MaxFreqEdit, QStringLiteral("1000,5"));
    EXPECT_EQ(slider().MaxFreqEdit->text(), QStringLiteral("22031"));
    // Not above the lower end.
    enter(slider().MaxFreqEdit, QStringLiteral("2"));
    EXPECT_EQ(slider().MaxFreqEdit->text(), QStringLiteral("22031"));
    EXPECT_EQ(fInit(Channel::Left), QStringLiteral("1500"));

    enter(slider().MaxFreqEdit, QStringLiteral("1000.5"));
    EXPECT_EQ(slider().MaxFreqEdit->text(), QStringLiteral("1000.5"));
    EXPECT_EQ(slider().FreqSliderLeft->maximum(), 2699);
    EXPECT_EQ(slider().FreqSliderRight->maximum(), 2699);
    EXPECT_EQ(fInit(Channel::Left), QStringLiteral("1000.5")); // was above: brought down
    EXPECT_EQ(fInit(Channel::Right), QStringLiteral("800"));

    // An empty field does nothing.
    enter(slider().MaxFreqEdit, QString());
    EXPECT_EQ(slider().MaxFreqEdit->text(), QString());
    EXPECT_EQ(slider().FreqSliderLeft->maximum(), 2699);
    EXPECT_TRUE(notices.errors.empty());
}

TEST_F(FreqSliderTest, TheLowerEnd)
{
    open();
    type(ch(Channel::Left).fInit, QStringLiteral("1000"));
    type(ch(Channel::Right).fInit, QStringLiteral("20"));

    enter(slider().MinFreqEdit, QStringLiteral("50"));
    EXPECT_EQ(slider().MinFreqEdit->text(), QStringLiteral("50"));
    for (Channel c : kChannels) {
        EXPECT_EQ(slider().slider(c)->minimum(), 1398);
        EXPECT_EQ(slider().slider(c)->value(), 1398 + (c == Channel::Left ? 1301 : 0));
    }
    EXPECT_EQ(fInit(Channel::Right), QStringLiteral("50"));
    EXPECT_EQ(fInit(Channel::Left), QStringLiteral("1000"));

    // Refused: restored from the slider minimum.
    for (const char* bad : {"0", "-3", "abc", "2,5", "22050"}) {
        SCOPED_TRACE(bad);
        enter(slider().MinFreqEdit, QLatin1String(bad));
        EXPECT_EQ(slider().MinFreqEdit->text(), QStringLiteral("50"));
        EXPECT_EQ(slider().FreqSliderLeft->minimum(), 1398);
    }
    // Not below the upper end.
    enter(slider().MaxFreqEdit, QStringLiteral("5000"));
    enter(slider().MinFreqEdit, QStringLiteral("6000"));
    EXPECT_EQ(slider().MinFreqEdit->text(), QStringLiteral("50"));

    // With no upper end, anything above 0 and below half the rate.
    type(slider().MaxFreqEdit, QString());
    enter(slider().MinFreqEdit, QStringLiteral("6000"));
    EXPECT_EQ(slider().MinFreqEdit->text(), QStringLiteral("6000"));
    EXPECT_EQ(fInit(Channel::Left), QStringLiteral("6000"));
    enter(slider().MinFreqEdit, QStringLiteral("22050"));
    EXPECT_EQ(slider().MinFreqEdit->text(), QString::number(std::lround(SliderFrequency(SliderPosition(6000)))));
    EXPECT_TRUE(notices.errors.empty());
}

TEST_F(FreqSliderTest, TheRoundingStepIsNormalisedOnLeaving)
{
    open();
    const std::pair<const char*, const char*> cases[] = {
        {"10", "10"}, {"2,50", "2.5"}, {"0.10", "0.1"}, {"abc", "1"}, {"", "1"}, {"0", "0"}};
    for (const auto& [typed, after] : cases) {
        enter(slider().txtRound, QLatin1String(typed));
        EXPECT_EQ(slider().txtRound->text(), QLatin1String(after)) << typed;
    }
}

// Enter in a field of the window goes to the left slider, which runs the field's exit.
TEST_F(FreqSliderTest, EnterLeavesTheFieldForTheLeftSlider)
{
    open();
    QApplication::setActiveWindow(&slider());
    slider().txtRound->setFocus();
    type(slider().txtRound, QStringLiteral("2,5"));
    QTest::keyClick(slider().txtRound, Qt::Key_Return);
    EXPECT_TRUE(slider().FreqSliderLeft->hasFocus());
    EXPECT_EQ(slider().txtRound->text(), QStringLiteral("2.5"));
}

// Showing the window takes the upper end from the rate, whatever was there; so does a new rate.
TEST_F(FreqSliderTest, TheRateSetsTheMaximaAndTheUpperEnd)
{
    slider().MaxFreqEdit->setText(QStringLiteral("1234"));
    open();
    EXPECT_EQ(slider().MaxFreqEdit->text(), QStringLiteral("22050"));

    choose(controller->settingsDialog().cboFsList, 4); // 48000 Hz
    EXPECT_EQ(slider().MaxFreqEdit->text(), QStringLiteral("24000"));
    for (Channel c : kChannels) EXPECT_EQ(slider().slider(c)->maximum(), 4079);
    choose(controller->settingsDialog().cboFsList, 1); // 11025 Hz
    EXPECT_EQ(slider().MaxFreqEdit->text(), QStringLiteral("5512"));
    EXPECT_EQ(slider().FreqSliderLeft->maximum(), 3440);
}

// The sliders reach exactly what the end fields show, however the fields got their texts:
// the reset (or a restored store) sets them from code, and the two ends of a slider give
// the fields' frequencies, not the nearest step of the scale (20 Hz, not 3; 24000, not 23988).
TEST_F(FreqSliderTest, TheEndsAreWhatTheFieldsShow)
{
    choose(controller->settingsDialog().cboFsList, 4); // 48000 Hz
    window->menu().rESETTOdEFAULT1->trigger();
    hold(slider().FreqSliderLeft);
    EXPECT_EQ(slider().MinFreqEdit->text(), QStringLiteral("20"));
    EXPECT_EQ(slider().FreqSliderLeft->minimum(), 1000);
    EXPECT_EQ(slider().FreqSliderRight->minimum(), 1000);

    QSlider* s = slider().FreqSliderLeft;
    s->setValue(s->minimum() + 1);
    s->setValue(s->minimum());
    EXPECT_EQ(fInit(Channel::Left), QStringLiteral("20"));
    s->setValue(s->maximum());
    EXPECT_EQ(fInit(Channel::Left), QStringLiteral("24000"));

    // A stored range (texts set as the restore sets them) moves both ends.
    slider().MinFreqEdit->setText(QStringLiteral("50"));
    slider().MaxFreqEdit->setText(QStringLiteral("5000"));
    for (Channel c : kChannels) {
        EXPECT_EQ(slider().slider(c)->minimum(), SliderPosition(50));
        EXPECT_EQ(slider().slider(c)->maximum(), SliderPosition(5000));
    }
    s->setValue(s->maximum() - 1);
    s->setValue(s->maximum());
    EXPECT_EQ(fInit(Channel::Left), QStringLiteral("5000"));
}

// The menu item shows and hides the window and makes both channels play constant tones; the
// window's close box clears the check mark.
TEST_F(FreqSliderTest, TheMenuItem)
{
    for (Channel c : kChannels) click(ch(c).chkSweep);
    EXPECT_FALSE(slider().isVisible());
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(menuItem()->isChecked());
    EXPECT_TRUE(slider().isVisible());
    for (Channel c : kChannels) {
        EXPECT_TRUE(generator().settings[c].chkConstant);
        EXPECT_TRUE(ch(c).chkConstant->isChecked());
        click(ch(c).chkSweep);
    }
    menuItem()->trigger();
    EXPECT_FALSE(slider().isVisible());
    for (Channel c : kChannels) EXPECT_TRUE(generator().settings[c].chkConstant);

    slider().FreqSlider1Click();
    EXPECT_TRUE(slider().isVisible());
    slider().close();
    EXPECT_FALSE(menuItem()->isChecked());
    EXPECT_FALSE(slider().isVisible());
    menuItem()->trigger();
    EXPECT_TRUE(slider().isVisible());
}

// Pressing a slider makes its channel a constant tone and its frequency field yellow until
// the button is released.
TEST_F(FreqSliderTest, PressingASliderMarksItsFrequencyField)
{
    open();
    const QColor normal = ch(Channel::Left).fInit->palette().color(QPalette::Base);
    for (Channel c : kChannels) {
        click(ch(c).chkSweep);
        QSlider* s = slider().slider(c);
        mouse(s, QEvent::MouseButtonPress);
        EXPECT_TRUE(generator().settings[c].chkConstant);
        EXPECT_EQ(ch(c).fInit->palette().color(QPalette::Base), QColor(255, 255, 0));
        EXPECT_EQ(ch(other(c)).fInit->palette().color(QPalette::Base), normal);
        mouse(s, QEvent::MouseButtonRelease);
        EXPECT_EQ(ch(c).fInit->palette().color(QPalette::Base), normal);
    }
}

// Moving the held slider while a constant tone plays: the tone glides to the new frequency
// with its phase running on, without a click.
TEST_F(FreqSliderTest, APlayingToneFollowsTheSlider)
{
    const double fs = 44100;
    type(ch(Channel::Left).fInit, QStringLiteral("1000"));
    click(w().Loop);
    click(w().btnON);
    pump();
    ASSERT_TRUE(controller->switching().GeneratorRunning());
    hold(slider().FreqSliderLeft);

    const auto playedLeft = [&] {
        const std::vector<uint8_t>& bytes = device->played();
        std::vector<int16_t> x(bytes.size() / 4);
        for (size_t i = 0; i < x.size(); ++i) std::memcpy(&x[i], &bytes[4 * i], 2);
        return x;
    };
    const auto playUntil = [&](size_t frames) {
        for (int round = 0; device->played().size() / 4 < frames && round < 1000; ++round) playQueued();
    };
    playUntil(4410);
    for (int position : {3000, 2900, 3301}) {
        SCOPED_TRACE(position);
        device->completeAll();
        const size_t at = device->played().size() / 4; // everything after this is filled anew
        slider().FreqSliderLeft->setValue(position);
        const double hertz = std::nearbyint(SliderFrequency(position));
        EXPECT_EQ(fInit(Channel::Left), QString::number(hertz));
        playUntil(at + 22050);
        const std::vector<int16_t> x = playedLeft();
        // The tone's period after the glide: the second half of the half second.
        double first = -1, last = -1;
        int crossings = 0;
        for (size_t i = at + 11026; i < at + 22050; ++i) {
            if (x[i - 1] < 0 && x[i] >= 0) {
                const double t = double(i - 1) + double(-x[i - 1]) / double(x[i] - x[i - 1]);
                if (first < 0) first = t;
                last = t;
                ++crossings;
            }
        }
        ASSERT_GT(crossings, 1);
        EXPECT_NEAR((crossings - 1) * fs / (last - first), hertz, 0.05);
    }
    // No jump between neighbouring samples beyond what the highest tone makes.
    const std::vector<int16_t> x = playedLeft();
    int step = 0;
    for (size_t i = 1; i < x.size(); ++i) step = std::max(step, std::abs(int(x[i]) - int(x[i - 1])));
    EXPECT_LE(step, int(32767 * 2 * std::numbers::pi * 4000 / fs * 1.02) + 2);
}

} // namespace
} // namespace velmora::ui::test
