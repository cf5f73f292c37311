// Frequency, level, modulation and phase fields of the wired window, the step and semitone
// buttons, the channel copy and the reset; and hostile texts typed into every numeric field.
#include "window_harness.h"
#include "user_input.h"

#include "ui/output_settings_dialog.h"
#include "ui/picture_combo_box.h"
#include "ui/up_down.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

#include <map>

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
};

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
    EXPECT_EQ(w().PhaseEdit->text(), QStringLiteral("0"));
    EXPECT_DOUBLE_EQ(generator()[Channel::Right].NoiseExponent, generator()[Channel::Left].NoiseExponent);

    choose(ch(Channel::Right).WaveForm, kSquare);
    ch(Channel::Left).copySettings->trigger();
    EXPECT_EQ(ch(Channel::Left).WaveForm->currentIndex(), kSquare);
}

TEST_F(ChannelControlsTest, ResetAtEightKilohertz)
{
    choose(controller->settingsDialog().cboFsList, 0);
    choose(ch(Channel::Left).WaveForm, kPinkNoise);
    click(w().Loop);
    notices.notices.clear();
    window->menu().rESETTOdEFAULT1->trigger();
    for (Channel c : kChannels) {
        EXPECT_EQ(ch(c).fInit->text(), QStringLiteral("1000"));
        EXPECT_EQ(ch(c).fFinal->text(), QStringLiteral("4000"));
        EXPECT_EQ(ch(c).WaveForm->currentIndex(), kSine);
        EXPECT_TRUE(ch(c).Logarithmic->isChecked());
        EXPECT_EQ(ch(c).ModFunction->currentIndex(), kModSine);
    }
    EXPECT_EQ(w().Duration->text(), QStringLiteral("10"));
    EXPECT_FALSE(w().Loop->isChecked());
    EXPECT_EQ(w().cboChannels->currentIndex(), 0);
    EXPECT_EQ(notices.notices.size(), 2u); // the half-rate notice once per channel
    EXPECT_TRUE(notices.errors.empty());
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
