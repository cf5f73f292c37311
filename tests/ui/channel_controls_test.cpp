// Frequency, level, modulation and phase fields of the wired window, the step and semitone
// buttons, the channel copy and the reset; and hostile texts typed into every numeric field.
#include "window_harness.h"
#include "user_input.h"

#include "ui/dialogs/output_settings_dialog.h"
#include "ui/frequency_slider/freq_slider_window.h"
#include "ui/widgets/picture_combo_box.h"
#include "ui/widgets/up_down.h"
#include "ui/main_window/visibility_rules.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QtTest/QTest>

#include <cmath>
#include <cstring>
#include <map>
#include <numbers>

namespace velmora::ui::test {
namespace {

class ChannelControlsTest : public WindowHarness {
protected:
    void SetUp() override
    {
        WindowHarness::SetUp();
        choose(controller->settingsDialog().cboFsList, 3); // 44100 Hz
        choose(w().cboChannels, 1);
        notices.notices.clear();
    }

    // Every numeric field by its control name.
    std::map<QString, QLineEdit*> numericFields()
    {
        std::map<QString, QLineEdit*> fields;
        for (QLineEdit* edit : window->findChildren<QLineEdit*>())
            if (!edit->objectName().startsWith(QLatin1String("Mem"))) fields[edit->objectName()] = edit;
        QLineEdit* correction = controller->settingsDialog().txtCorrectionFactor;
        fields[correction->objectName()] = correction;
        return fields;
    }

    void press(QPushButton* button, Qt::MouseButton which = Qt::LeftButton)
    {
        QMouseEvent down(QEvent::MouseButtonPress, QPointF(3, 3), button->mapToGlobal(QPointF(3, 3)), which, which,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(button, &down);
    }

    // Stereo 16-bit frames the device has played so far.
    size_t framesPlayed() const { return device->played().size() / 4; }
    // Lets the device play until at least `frames` frames have gone out.
    void playUntil(size_t frames)
    {
        for (int round = 0; framesPlayed() < frames && round < 1000; ++round) playQueued();
        ASSERT_GE(framesPlayed(), frames);
    }
    // Plays what the engine has filled so far and returns the frames played: everything the
    // device plays from here on is filled after this call.
    size_t playFilled()
    {
        device->completeAll();
        return framesPlayed();
    }
    // One channel of the stereo stream the device played.
    std::vector<int16_t> played(Channel c) const
    {
        const std::vector<uint8_t>& bytes = device->played();
        std::vector<int16_t> x(bytes.size() / 4);
        for (size_t i = 0; i < x.size(); ++i) std::memcpy(&x[i], &bytes[4 * i + 2 * index(c)], 2);
        return x;
    }
};

// The frequency of a tone between two frames, from its first and last rising zero crossings
// (placed between samples by linear interpolation).
double frequencyOf(const std::vector<int16_t>& x, size_t from, size_t to, double fs)
{
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = from + 1; i < to && i < x.size(); ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            const double t = double(i - 1) + double(-x[i - 1]) / double(x[i] - x[i - 1]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * fs / (last - first) : 0;
}

// The largest step between neighbouring samples: a tone whose phase jumps shows it as a click.
int largestStep(const std::vector<int16_t>& x)
{
    int step = 0;
    for (size_t i = 1; i < x.size(); ++i) step = std::max(step, std::abs(int(x[i]) - int(x[i - 1])));
    return step;
}

// The largest step a full-scale sine of `hertz` makes between samples, with a little room.
int sineStep(double hertz, double fs) { return int(32767 * 2 * std::numbers::pi * hertz / fs * 1.02) + 2; }

struct ExitCase {
    const char* typed;
    const char* after;
    bool aboveHalf;   // the half-sampling-rate notice
    bool error;       // the conversion error box
};

TEST_F(ChannelControlsTest, LeavingAFrequencyFieldNormalisesIt)
{
    const ExitCase cases[] = {
        {"30000", "22050", true, false},
        {"1,5", "1.5", false, false},
        {"1.5", "1.5", false, false},
        {"0.05", "0.1", false, false},
        {"123.456789012345", "123.4567890123", false, false},
        {"", "0.1", false, false},
        {"abc", "abc", false, true},
    };
    for (Channel c : kChannels) {
        for (Field field : {Field::fInit, Field::fFinal}) {
            for (const ExitCase& k : cases) {
                SCOPED_TRACE(::testing::Message() << k.typed << " channel " << index(c));
                notices.notices.clear();
                notices.errors.clear();
                QLineEdit* edit = field == Field::fInit ? ch(c).fInit : ch(c).fFinal;
                type(edit, QString::fromLatin1(k.typed));
                leave(edit);
                EXPECT_EQ(edit->text(), QLatin1String(k.after));
                EXPECT_EQ(generator().text({field, c}), k.after);
                EXPECT_EQ(notices.notices.size(), k.aboveHalf ? 1u : 0u);
                if (k.aboveHalf) {
                    EXPECT_EQ(notices.notices[0], QStringLiteral("AboveNyquistLimit"));
                }
                ASSERT_EQ(notices.errors.size(), k.error ? 1u : 0u);
                if (k.error) {
                    EXPECT_EQ(notices.errors[0], QStringLiteral("'abc' is not a valid floating point value"));
                }
            }
        }
    }
}

TEST_F(ChannelControlsTest, YesToTheHalfRateNoticeOpensTheOutputSettings)
{
    notices.answer = NoticeResult::Yes;
    type(ch(Channel::Left).fInit, QStringLiteral("30000"));
    leave(ch(Channel::Left).fInit);
    EXPECT_TRUE(controller->settingsDialog().isVisible());
    EXPECT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("22050"));
}

struct SemitoneCase {
    Channel channel;
    const char* start;
    bool up;
    const char* after;
};

TEST_F(ChannelControlsTest, SemitoneButtons)
{
    const SemitoneCase cases[] = {
        {Channel::Left, "100", true, "105.9463094359"},
        {Channel::Right, "100", true, "105.94630943593"},
        {Channel::Left, "100", false, "94.3874312682"},
        {Channel::Left, "21000", true, "21000"}, // 22248.7 is not below 22050
    };
    for (const SemitoneCase& k : cases) {
        SCOPED_TRACE(k.after);
        type(ch(k.channel).fInit, QString::fromLatin1(k.start));
        click(k.up ? ch(k.channel).SemiUp : ch(k.channel).SemiDown);
        EXPECT_EQ(ch(k.channel).fInit->text(), QLatin1String(k.after));
    }
    type(ch(Channel::Left).fInit, QStringLiteral("abc"));
    click(ch(Channel::Left).SemiUp);
    ASSERT_EQ(notices.errors.size(), 1u);
    EXPECT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("abc"));
}

TEST_F(ChannelControlsTest, StepButtonsActOnThePressWithoutClampOrMessage)
{
    QLineEdit* start = ch(Channel::Left).fInit;
    type(start, QStringLiteral("0.5"));
    click(w().Loop);
    click(w().btnON);
    pump();
    ASSERT_TRUE(controller->switching().GeneratorRunning());
    press(ch(Channel::Left).fInitMinus, Qt::RightButton);
    pump();
    EXPECT_EQ(start->text(), QStringLiteral("-0.5"));
    EXPECT_FALSE(controller->switching().GeneratorRunning()); // the recompute refused it

    type(start, QStringLiteral("22049.5"));
    press(ch(Channel::Left).fInitPlus);
    EXPECT_EQ(start->text(), QStringLiteral("22050.5"));
    leave(start);
    EXPECT_EQ(start->text(), QStringLiteral("22050"));

    type(start, QStringLiteral("abc"));
    press(ch(Channel::Left).fInitPlus);
    EXPECT_EQ(start->text(), QStringLiteral("abc"));
    EXPECT_TRUE(notices.errors.empty());
}

// While a constant tone plays, each button press moves it to the new frequency with the
// phase running on: the sound glides, it never clicks.
TEST_F(ChannelControlsTest, APlayingToneGlidesToEachButtonsFrequency)
{
    const double fs = 44100;
    const double semitone = std::pow(2.0, 1.0 / 12);
    ChannelWidgets& left = ch(Channel::Left);
    type(left.fInit, QStringLiteral("1000"));
    click(w().Loop);
    click(w().btnON);
    pump();
    playUntil(4410);

    struct Step {
        QPushButton* button;
        bool press; // the +/-1 Hz buttons act on the press, the semitone buttons on the click
        const char* text;
        double hertz;
    };
    const Step steps[] = {
        {left.fInitPlus, true, "1001", 1001},
        {left.SemiUp, false, "1060.5225574536", 1001 * semitone},
        {left.SemiDown, false, "1001", 1001},
        {left.fInitMinus, true, "1000", 1000},
    };
    for (const Step& k : steps) {
        SCOPED_TRACE(k.text);
        const size_t at = playFilled();
        if (k.press)
            press(k.button);
        else
            click(k.button);
        EXPECT_EQ(left.fInit->text(), QLatin1String(k.text));
        playUntil(at + 22050);
        ASSERT_TRUE(controller->switching().GeneratorRunning());
        // Settled after the glide: the second half of the half second that follows.
        EXPECT_NEAR(frequencyOf(played(Channel::Left), at + 11025, at + 22050, fs), k.hertz, 0.05);
    }
    EXPECT_LE(largestStep(played(Channel::Left)), sineStep(1001 * semitone, fs));
}

// A playing sweep whose frequencies change starts again from its start frequency; the other
// channel sweeps on.
TEST_F(ChannelControlsTest, APlayingSweepRestartsWhenItsFrequenciesChange)
{
    const double fs = 44100;
    for (Channel c : kChannels) {
        click(ch(c).chkSweep);
        type(ch(c).fInit, c == Channel::Left ? QStringLiteral("200") : QStringLiteral("100"));
        type(ch(c).fFinal, QStringLiteral("10000"));
    }
    type(w().Duration, QStringLiteral("10"));
    click(w().Loop);
    click(w().btnON);
    pump();
    playUntil(44100);
    const size_t at = playFilled();
    // One second into the linear sweeps: left near 1180 Hz, right near 1090 Hz.
    EXPECT_NEAR(frequencyOf(played(Channel::Right), at - 2205, at, fs), 100 + 990 * (at - 1102.0) / fs, 15);

    ch(Channel::Right).copySettings->trigger(); // the right channel takes the left's 200 Hz start
    playUntil(at + 4410);
    ASSERT_TRUE(controller->switching().GeneratorRunning());
    // The right sweep runs from 200 Hz again at the left's 980 Hz per second.
    EXPECT_NEAR(frequencyOf(played(Channel::Right), at, at + 4410, fs), 200 + 980 * 0.05, 15);
    EXPECT_NEAR(frequencyOf(played(Channel::Left), at, at + 4410, fs), 200 + 980 * (at + 2205.0) / fs, 15);
    EXPECT_LE(largestStep(played(Channel::Right)), sineStep(1400, fs));
}

// While playing, the level slider stays usable and the sound follows it; a zero modulation
// period would divide by zero, so it stops the output and the field shows "1".
TEST_F(ChannelControlsTest, LevelAndModulationFieldsWhilePlaying)
{
    click(w().Loop);
    click(w().btnON);
    pump();
    playUntil(4410);
    ASSERT_TRUE(ch(Channel::Left).barAmplitude->isEnabled());
    ch(Channel::Left).barAmplitude->setValue(600); // -6 dBFS
    const size_t at = playFilled();
    playUntil(at + 4410);
    const std::vector<int16_t> left = played(Channel::Left);
    int peak = 0;
    for (size_t i = at; i < left.size(); ++i) peak = std::max(peak, std::abs(int(left[i])));
    EXPECT_NEAR(peak, 32767 * std::pow(10.0, -6.0 / 20), 40);

    click(ch(Channel::Right).ModulationOn);
    type(ch(Channel::Right).ModPeriodEdit, QStringLiteral("0"));
    pump();
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    EXPECT_EQ(ch(Channel::Right).ModPeriodEdit->text(), QStringLiteral("1"));
    EXPECT_TRUE(notices.errors.empty());
}

struct FieldCase {
    const char* field;
    const char* typed;
    const char* after;
};

TEST_F(ChannelControlsTest, LeavingLevelModulationPhaseAndDurationFields)
{
    const FieldCase cases[] = {
        {"AmplitudeLeft", "-3.456", "-3.46"},   {"AmplitudeLeft", "-120", "-100"},
        {"AmplitudeRight", "6", "0"},           {"AmplitudeRight", "abc", "0"},
        {"ModDepthLeftEdit", "150", "100"},     {"ModDepthRightEdit", "-5", "0"},
        {"ModPhaseLeftEdit", "-90", "0"},       {"ModPhaseRightEdit", "720", "720"},
        {"ModPeriodLeftEdit", "0.12345", "0.123"}, {"ModPeriodLeftEdit", "abc", "1"},
        {"ModPeriodRightEdit", "-2", "-2"},     {"PhaseEdit", "33.333", "33.33"},
        {"PhaseEdit", "abc", "0"},              {"Duration", "0", "2.26757E-5"},
        {"Duration", "abc", "1"},
    };
    for (const FieldCase& k : cases) {
        SCOPED_TRACE(::testing::Message() << k.field << " " << k.typed);
        QLineEdit* edit = numericFields().at(QLatin1String(k.field));
        type(edit, QString::fromLatin1(k.typed));
        leave(edit);
        EXPECT_EQ(edit->text(), QLatin1String(k.after));
        EXPECT_EQ(generator().text(FindControl(k.field)->control), k.after);
    }
    EXPECT_TRUE(notices.errors.empty());
    EXPECT_EQ(ch(Channel::Left).barAmplitude->value(), 10000);
    EXPECT_EQ(ch(Channel::Right).barAmplitude->value(), 0);
}

TEST_F(ChannelControlsTest, TooLargeToRoundIsReportedAndTheTextStays)
{
    for (const char* name : {"ModPhaseLeftEdit", "Duration"}) {
        notices.errors.clear();
        QLineEdit* edit = numericFields().at(QLatin1String(name));
        type(edit, QStringLiteral("1e10"));
        leave(edit);
        EXPECT_EQ(notices.errors.size(), 1u) << name;
        EXPECT_EQ(edit->text(), QStringLiteral("1e10")) << name;
    }
}

// A sweep one sample long has no steps to spread over: the box reports the arithmetic error
// and keeps its new state.
TEST_F(ChannelControlsTest, LogarithmicOverOneSampleReportsTheError)
{
    type(w().Duration, QStringLiteral("0"));
    leave(w().Duration);
    ASSERT_EQ(w().Duration->text(), QStringLiteral("2.26757E-5"));
    click(ch(Channel::Left).chkSweep);
    notices.errors.clear();
    click(ch(Channel::Left).Logarithmic);
    EXPECT_EQ(notices.errors.size(), 1u);
    EXPECT_TRUE(ch(Channel::Left).Logarithmic->isChecked());
    EXPECT_TRUE(generator().settings[Channel::Left].Logarithmic);
}

TEST_F(ChannelControlsTest, LevelFieldAndSliderFollowEachOther)
{
    ch(Channel::Left).barAmplitude->setValue(346);
    EXPECT_EQ(ch(Channel::Left).Amplitude->text(), QStringLiteral("-3.46"));
    type(ch(Channel::Left).Amplitude, QStringLiteral("-12.5"));
    leave(ch(Channel::Left).Amplitude);
    EXPECT_EQ(ch(Channel::Left).barAmplitude->value(), 1250);

    click(w().chkAsLeft);
    ch(Channel::Left).barAmplitude->setValue(2000);
    EXPECT_EQ(ch(Channel::Right).barAmplitude->value(), 2000);
    EXPECT_EQ(ch(Channel::Right).Amplitude->text(), QStringLiteral("-20"));
}

TEST_F(ChannelControlsTest, PhaseArrowsWriteWholeDegrees)
{
    w().udPhase->upButton()->click();
    EXPECT_EQ(w().PhaseEdit->text(), QStringLiteral("1"));
    w().udPhase->setValue(400);
    EXPECT_EQ(w().PhaseEdit->text(), QStringLiteral("359"));
}

TEST_F(ChannelControlsTest, UseSettingsFromTheOtherChannel)
{
    choose(ch(Channel::Left).WaveForm, kWhiteNoise);
    choose(ch(Channel::Left).cboCrestFactor, 3);
    type(ch(Channel::Left).Amplitude, QStringLiteral("-7"));
    type(w().PhaseEdit, QStringLiteral("45"));
    ch(Channel::Right).copySettings->trigger();
    EXPECT_EQ(ch(Channel::Right).WaveForm->currentIndex(), kWhiteNoise);
    EXPECT_EQ(ch(Channel::Right).cboCrestFactor->currentIndex(), 3);
    EXPECT_EQ(ch(Channel::Right).Amplitude->text(), QStringLiteral("-7"));
    EXPECT_EQ(ch(Channel::Right).barAmplitude->value(), 700) << "the slider shows the copied level";
    EXPECT_EQ(w().PhaseEdit->text(), QStringLiteral("0"));
    EXPECT_DOUBLE_EQ(generator()[Channel::Right].NoiseExponent, generator()[Channel::Left].NoiseExponent);

    choose(ch(Channel::Right).WaveForm, kSquare);
    ch(Channel::Left).copySettings->trigger();
    EXPECT_EQ(ch(Channel::Left).WaveForm->currentIndex(), kSquare);
}

// The copied crest factor is the one the right noise is made with: white noise at 4:1 has
// a peak four times its RMS.
TEST_F(ChannelControlsTest, CopyingAWhiteNoiseChannelCarriesItsCrestFactorIntoTheSound)
{
    choose(ch(Channel::Left).WaveForm, kWhiteNoise);
    choose(ch(Channel::Left).cboCrestFactor, 3);
    ASSERT_EQ(ch(Channel::Left).cboCrestFactor->currentText(), QStringLiteral("4:1"));
    ch(Channel::Right).copySettings->trigger();
    EXPECT_EQ(ch(Channel::Right).cboCrestFactor->currentText(), QStringLiteral("4:1"));
    EXPECT_DOUBLE_EQ(generator()[Channel::Right].NoiseExponent, kWhiteNoiseExponents[3]);

    click(w().Loop);
    click(w().btnON);
    pump();
    playUntil(88200);
    const std::vector<int16_t> right = played(Channel::Right);
    double sum = 0;
    for (int16_t x : right) sum += double(x) * x;
    const double rms = std::sqrt(sum / double(right.size()));
    EXPECT_NEAR(32767 / rms, 4.0, 0.2);
}

TEST_F(ChannelControlsTest, ResetAtEightKilohertz)
{
    // Move everything the reset puts back away from its default first.
    choose(controller->settingsDialog().cboFsList, 0);
    choose(w().WaveDevice, 1);
    type(w().Duration, QStringLiteral("3"));
    click(w().Loop);
    for (Channel c : kChannels) {
        ChannelWidgets& p = ch(c);
        choose(p.WaveForm, kSawtooth);
        click(p.chkSweep);
        click(p.Bidirectional);
        p.barAmplitude->setValue(1000);
        click(p.ModulationOn);
        choose(p.ModFunction, kModTriangular);
        type(p.ModDepthEdit, QStringLiteral("50"));
        type(p.ModPeriodEdit, QStringLiteral("2"));
        type(p.ModPhaseEdit, QStringLiteral("90"));
    }
    choose(ch(Channel::Left).WaveForm, kPinkNoise);
    type(w().PhaseEdit, QStringLiteral("45"));
    notices.notices.clear();

    window->menu().rESETTOdEFAULT1->trigger();

    for (Channel c : kChannels) {
        SCOPED_TRACE(index(c));
        ChannelWidgets& p = ch(c);
        EXPECT_EQ(p.fInit->text(), QStringLiteral("1000"));
        EXPECT_EQ(p.fFinal->text(), QStringLiteral("4000")); // clamped to half of 8000 Hz
        EXPECT_EQ(p.WaveForm->currentIndex(), kSine);
        EXPECT_TRUE(p.chkConstant->isChecked());
        EXPECT_TRUE(p.Logarithmic->isChecked());
        EXPECT_FALSE(p.Bidirectional->isChecked());
        EXPECT_EQ(p.barAmplitude->value(), 0);
        EXPECT_EQ(p.Amplitude->text(), QStringLiteral("0"));
        EXPECT_FALSE(p.ModulationOn->isChecked());
        EXPECT_EQ(p.ModFunction->currentIndex(), kModSine);
        EXPECT_EQ(p.ModDepthEdit->text(), QStringLiteral("100"));
        EXPECT_EQ(p.ModPeriodEdit->text(), QStringLiteral("1"));
        EXPECT_EQ(p.ModPhaseEdit->text(), QStringLiteral("0"));
        EXPECT_FALSE(p.ModDepthEdit->isEnabled());
        EXPECT_TRUE(VisibilityRules::isGrey(p.ModFunction));
        EXPECT_DOUBLE_EQ(generator()[c].Amplitude, 1.0);
        EXPECT_DOUBLE_EQ(generator()[c].ModDepth, 1.0);
    }
    EXPECT_EQ(w().Duration->text(), QStringLiteral("10"));
    EXPECT_FALSE(w().Loop->isChecked());
    EXPECT_EQ(w().cboChannels->currentIndex(), 0);
    EXPECT_EQ(w().PhaseEdit->text(), QStringLiteral("0"));
    EXPECT_EQ(w().WaveDevice->currentIndex(), 0);
    // The slider window's range: from 20 Hz to half the rate.
    EXPECT_EQ(controller->freqSlider().MinFreqEdit->text(), QStringLiteral("20"));
    EXPECT_EQ(controller->freqSlider().MaxFreqEdit->text(), QStringLiteral("4000"));
    EXPECT_EQ(notices.notices.size(), 2u); // the half-rate notice once per channel
    EXPECT_TRUE(notices.errors.empty());
}

// A text that is no number, in a field the reset sets anew, does not end the reset half way:
// every value ends at the reset's own, and no box says anything about the text it replaced.
TEST_F(ChannelControlsTest, TheResetCompletesWhateverTheFieldsHold)
{
    const std::pair<const char*, const char*> spoilt[] = {
        {"fInitLeft", "abc"}, {"fInitRight", "1,2.3"}, {"fFinalLeft", "x"},
        {"Duration", "abc"},  {"AmplitudeLeft", "loud"}, {"ModDepthRightEdit", "?"},
        // a level typed and not left: the slider still stands where the reset puts it
        {"AmplitudeRight", "-12"},
    };
    for (const auto& [field, text] : spoilt) {
        SCOPED_TRACE(field);
        make();
        choose(controller->settingsDialog().cboFsList, 3); // 44100 Hz
        choose(w().cboChannels, 1);
        type(w().PhaseEdit, QStringLiteral("90"));
        type(ch(Channel::Right).ModDepthEdit, QStringLiteral("50"));
        click(w().Loop);
        controller->freqSlider().MinFreqEdit->setText(QStringLiteral("2"));
        type(numericFields().at(QLatin1String(field)), QLatin1String(text));
        notices.errors.clear();

        window->menu().rESETTOdEFAULT1->trigger();

        EXPECT_TRUE(notices.errors.empty()) << notices.errors.front().toStdString();
        EXPECT_EQ(w().Duration->text(), QStringLiteral("10"));
        EXPECT_EQ(w().cboChannels->currentIndex(), 0);
        EXPECT_EQ(w().PhaseEdit->text(), QStringLiteral("0"));
        EXPECT_FALSE(w().Loop->isChecked());
        EXPECT_EQ(controller->freqSlider().MinFreqEdit->text(), QStringLiteral("20"));
        for (Channel c : kChannels) {
            ChannelWidgets& p = ch(c);
            EXPECT_EQ(p.fInit->text(), QStringLiteral("1000"));
            EXPECT_EQ(p.fFinal->text(), QStringLiteral("10000"));
            EXPECT_EQ(p.Amplitude->text(), QStringLiteral("0"));
            EXPECT_EQ(p.ModDepthEdit->text(), QStringLiteral("100"));
            EXPECT_NEAR(generator()[c].StartNorm * 44100, 1000, 1e-9) << "the tone a start plays";
        }
    }
}

struct ModulationCase {
    const char* name;
    int layout;
    bool sameAsLeft;
    bool leftOn;
    bool rightOn;     // the right box, clicked while the right channel is independent
    bool rightFields; // the right fields usable, their shape list in the window's text colour
};

// A modulation box enables its channel's fields and gives the shape list the window's text
// colour, grey while off. The right fields follow their box and "Same as Left" only: in mono
// they stay usable, and in the window's colour although the right frame is grey.
TEST_F(ChannelControlsTest, ModulationBoxesEnableTheirFieldsAndColourTheShapeList)
{
    const ModulationCase cases[] = {
        {"stereo, left on", 1, false, true, false, false},
        {"stereo, right on", 1, false, false, true, true},
        {"mono with the right box on", 0, false, false, true, true},
        {"same as left drags the right box along", 1, true, true, false, false},
    };
    for (const ModulationCase& k : cases) {
        SCOPED_TRACE(k.name);
        make();
        choose(w().cboChannels, 1);
        if (k.rightOn) click(ch(Channel::Right).ModulationOn);
        if (k.leftOn) click(ch(Channel::Left).ModulationOn);
        if (k.sameAsLeft) click(w().chkAsLeft);
        choose(w().cboChannels, k.layout);

        EXPECT_EQ(ch(Channel::Right).ModulationOn->isChecked(), k.rightOn || k.sameAsLeft);
        for (Channel c : kChannels) {
            ChannelWidgets& p = ch(c);
            const bool usable = c == Channel::Left ? k.leftOn : k.rightFields;
            for (QWidget* field : std::initializer_list<QWidget*>{p.ModFunction, p.ModDepthEdit, p.ModPeriodEdit,
                                                                  p.ModPhaseEdit, p.lblAMfunction, p.lblAMperiod,
                                                                  p.lblModDepth, p.lblModDepthUnit,
                                                                  p.lblModPeriodUnit, p.lblModPhase,
                                                                  p.lblModPhaseUnit})
                EXPECT_EQ(field->isEnabled(), usable) << field->objectName().toStdString();
            EXPECT_EQ(VisibilityRules::isGrey(p.ModFunction), !usable) << index(c);
            if (usable) {
                EXPECT_EQ(p.ModFunction->palette().color(QPalette::Active, QPalette::Text),
                          QApplication::palette(p.ModFunction).color(QPalette::Active, QPalette::Text));
            }
        }
    }
}

// One position is 0.01 dB; ticks every 0.1 dB; the keys move the handle the way they point,
// so Up raises the level.
TEST_F(ChannelControlsTest, LevelSliderStepsAndTicks)
{
    QSlider* bar = ch(Channel::Left).barAmplitude;
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 10000);
    EXPECT_NE(bar->tickPosition(), QSlider::NoTicks);
    EXPECT_EQ(bar->tickInterval() % 10, 0);
    bar->setValue(500);
    QTest::keyClick(bar, Qt::Key_Up);
    EXPECT_EQ(bar->value(), 499);
    EXPECT_EQ(ch(Channel::Left).Amplitude->text(), QStringLiteral("-4.99"));
    QTest::keyClick(bar, Qt::Key_Down);
    QTest::keyClick(bar, Qt::Key_Down);
    EXPECT_EQ(ch(Channel::Left).Amplitude->text(), QStringLiteral("-5.01"));
    EXPECT_NEAR(generator()[Channel::Left].Amplitude, std::pow(10.0, -5.01 / 20), 1e-12);
}

// Leaving the duration checks both start frequencies again: each one above half the
// sampling rate (set from code, as a recalled preset sets it) brings the notice once.
TEST_F(ChannelControlsTest, LeavingTheDurationChecksBothStartFrequencies)
{
    for (Channel c : kChannels) generator().setText({Field::fInit, c}, "30000");
    type(w().Duration, QStringLiteral("2"));
    leave(w().Duration);
    EXPECT_EQ(notices.notices.size(), 2u);
    for (Channel c : kChannels) EXPECT_EQ(ch(c).fInit->text(), QStringLiteral("22050"));
}

// Whatever is typed into a numeric field and however it is left, nothing crashes and no
// unrelated field changes.
TEST_F(ChannelControlsTest, HostileTextsInEveryNumericField)
{
    const QString hostile[] = {QString(), QStringLiteral("1e400"), QStringLiteral("-1e400"), QStringLiteral("nan"),
                               QStringLiteral("inf"), QStringLiteral("-"), QStringLiteral(","),
                               QStringLiteral("1,2.3"), QStringLiteral("  7  "), QStringLiteral("1e-400"),
                               QStringLiteral("9223372036854775808"), QString(10000, QLatin1Char('9')),
                               QString::fromUtf8("\xef\xbc\x91\xef\xbc\x92")};
    // Fields that another field's handlers legitimately rewrite.
    const std::multimap<QString, QString> dependants = {
        {"txtMLSLengthLeft", "Duration"},
    };
    for (const auto& [name, edit] : numericFields()) {
        for (const QString& text : hostile) {
            SCOPED_TRACE(::testing::Message() << name.toStdString() << " <- " << text.left(20).toStdString());
            std::map<QString, QString> before;
            for (const auto& [other, otherEdit] : numericFields()) before[other] = otherEdit->text();
            const int waveLeft = generator().settings[Channel::Left].WaveForm;
            type(edit, text);
            leave(edit);
            pump();
            for (const auto& [other, otherEdit] : numericFields()) {
                if (other == name) continue;
                bool allowed = false;
                for (auto [it, end] = dependants.equal_range(name); it != end; ++it) allowed |= it->second == other;
                if (!allowed) {
                    EXPECT_EQ(otherEdit->text(), before[other]) << other.toStdString();
                }
            }
            EXPECT_EQ(generator().settings[Channel::Left].WaveForm, waveLeft);
            EXPECT_EQ(generator().settings.cboChannels, 1);
            // Put the field back so the next text starts from a sound state.
            type(edit, before[name]);
            leave(edit);
        }
    }
}

} // namespace
} // namespace velmora::ui::test
