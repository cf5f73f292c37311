// What a careful first user tries on the wired window: noise that differs per start, the
// device list of a real ALSA configuration, the phase arrows, numbers written into narrow
// fields, Enter and Ctrl+Insert in edit boxes, the mouse wheel, and Space on the step buttons.
#include "window_harness.h"
#include "user_input.h"

#include "audio/alsa/alsa_device.h"
#include "ui/widgets/picture_combo_box.h"
#include "ui/widgets/up_down.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest/QTest>

#include <alsa/asoundlib.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace velmora::ui::test {
namespace {

class FirstUseTest : public WindowHarness {
protected:
    void stereo() { choose(w().cboChannels, 1); }
    bool running() { return controller->switching().GeneratorRunning(); }
    void key(QWidget* target, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(target, k, modifiers);
        pump();
    }
    // One notch of the wheel over `target`: towards the user (-120) goes to the next item down.
    static bool wheel(QWidget* target, int delta)
    {
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(target, &event);
        return event.isAccepted();
    }
    void focusOn(QWidget* target)
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        target->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(target->hasFocus());
    }
};

TEST_F(FirstUseTest, NoiseDiffersFromStartToStart)
{
    auto noise = [this] {
        choose(ch(Channel::Left).WaveForm, kWhiteNoise);
        click(w().btnON);
        pump();
        playQueued();
        click(w().btnOFF);
        pump();
        std::vector<uint8_t> played = device->played();
        EXPECT_GT(played.size(), 1000u);
        return played;
    };
    const std::vector<uint8_t> first = noise();
    make();
    const std::vector<uint8_t> second = noise();
    ASSERT_EQ(first.size(), second.size());
    EXPECT_NE(first, second);
}

// The window on the ALSA device, with ALSA reading a test configuration.
class AlsaWindowTest : public FirstUseTest {
protected:
    void TearDown() override
    {
        FirstUseTest::TearDown();
        unsetenv("ALSA_CONFIG_PATH");
        snd_config_update_free_global();
    }
    void makeOnAlsa(const std::string& configs)
    {
        destroy();
        setenv("ALSA_CONFIG_PATH", configs.c_str(), 1);
        snd_config_update_free_global();
        notices.messages.clear();
        window = std::make_unique<TfrmGenerator>();
        device = nullptr;
        controller = std::make_unique<GeneratorController>(*window, std::make_unique<AlsaDevice>(), &notices);
    }
};

TEST_F(AlsaWindowTest, NoSoundCardAndNoServerLeavesSystemDefaultAloneAndOnDisabled)
{
    makeOnAlsa(std::string(VELMORA_ALSA_CONFIGS) + "/no_card.conf");
    if (w().WaveDevice->count() > 1 && notices.messages.empty())
        GTEST_SKIP() << "this machine has a sound card";
    ASSERT_EQ(w().WaveDevice->count(), 1);
    EXPECT_EQ(w().WaveDevice->itemText(0), QStringLiteral("System Default"));
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_EQ(notices.messages[0], QStringLiteral("No Soundcard driver found. No sound output possible."));
    EXPECT_FALSE(w().btnON->isEnabled());

    makeOnAlsa(std::string(VELMORA_ALSA_CONFIGS) + "/no_card.conf:" + VELMORA_ALSA_CONFIGS + "/sound_server.conf");
    ASSERT_EQ(w().WaveDevice->count(), 3);
    EXPECT_EQ(w().WaveDevice->itemText(1), QStringLiteral("PipeWire Sound Server"));
    EXPECT_EQ(w().WaveDevice->itemText(2), QStringLiteral("PulseAudio Sound Server"));
    EXPECT_TRUE(notices.messages.empty());
    EXPECT_TRUE(w().btnON->isEnabled());
}

TEST_F(FirstUseTest, PhaseArrowsAndKeysStepTheNumberInTheField)
{
    stereo();
    enum Action { Up, Down, KeyUp, KeyDown };
    struct Case {
        const char* typed;
        Action action;
        const char* shown;
    };
    const Case cases[] = {
        {"100", Up, "101"},    {"100", Down, "99"},    {"100", KeyUp, "101"},  {"100", KeyDown, "99"},
        {"33.333", Up, "34"},  {"33.333", Down, "33"}, {"33,5", KeyUp, "34"},  {"359", Up, "359"},
        {"0", Down, "0"},      {"450", Down, "359"},   {"-90", Up, "0"},       {"1E300", Up, "359"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " -> " + c.shown);
        type(w().PhaseEdit, QString::fromLatin1(c.typed));
        switch (c.action) {
        case Up: w().udPhase->upButton()->click(); break;
        case Down: w().udPhase->downButton()->click(); break;
        case KeyUp: key(w().PhaseEdit, Qt::Key_Up); break;
        case KeyDown: key(w().PhaseEdit, Qt::Key_Down); break;
        }
        EXPECT_EQ(w().PhaseEdit->text(), QString::fromLatin1(c.shown));
        EXPECT_EQ(generator().settings.PhaseEdit, c.shown);
        EXPECT_DOUBLE_EQ(generator()[Channel::Right].PhaseOffset, std::atof(c.shown) * std::numbers::pi / 180);
    }

    // The field, not a counter of the arrows' own, is where a step starts.
    type(w().PhaseEdit, QStringLiteral("45"));
    w().udPhase->upButton()->click();
    EXPECT_EQ(w().PhaseEdit->text(), QStringLiteral("46"));
    choose(w().cboChannels, 0);
    EXPECT_EQ(w().PhaseEdit->text(), QStringLiteral("0"));
    stereo();
    w().udPhase->upButton()->click();
    EXPECT_EQ(w().PhaseEdit->text(), QStringLiteral("1"));
    // Text that is no number: the step starts from the last position.
    type(w().PhaseEdit, QStringLiteral("abc"));
    w().udPhase->upButton()->click();
    EXPECT_EQ(w().PhaseEdit->text(), QStringLiteral("2"));
}

TEST_F(FirstUseTest, NumbersTheWindowWritesShowFromTheirStart)
{
    stereo();
    ChannelWidgets& left = ch(Channel::Left);
    struct Case {
        const char* name;
        QLineEdit* field;
        std::function<void()> write;
        const char* shown;
    };
    const Case cases[] = {
        {"semitone up", left.fInit, [&] { click(left.SemiUp); }, "105.9463094359"},
        {"duration of one sample", w().Duration,
         [&] {
             type(w().Duration, QStringLiteral("0"));
             leave(w().Duration);
         },
         "9.07029E-5"},
        {"phase rounded", w().PhaseEdit,
         [&] {
             type(w().PhaseEdit, QStringLiteral("33.333"));
             leave(w().PhaseEdit);
         },
         "33.33"},
        {"level from the slider", left.Amplitude, [&] { left.barAmplitude->setValue(3456); }, "-34.56"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.field->setCursorPosition(c.field->text().size());
        c.write();
        EXPECT_EQ(c.field->text(), QString::fromLatin1(c.shown));
        EXPECT_EQ(c.field->cursorPosition(), 0);
    }
}

TEST_F(FirstUseTest, EnterInAnEditBoxPressesTheDefaultButton)
{
    ChannelWidgets& left = ch(Channel::Left);
    type(left.fInit, QStringLiteral("440"));
    key(left.fInit, Qt::Key_Return);
    ASSERT_TRUE(running()) << "ON is the default button while off";
    EXPECT_EQ(generator().text({Field::fInit, Channel::Left}), "440");
    key(left.ModDepthEdit, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(running()) << "OFF is the default button while on";
    key(w().Duration, Qt::Key_Return);
    EXPECT_TRUE(running());
    key(w().Duration, Qt::Key_Return);
    EXPECT_FALSE(running());

    // Nothing to play on: ON stays disabled, and Enter starts nothing.
    make({});
    key(ch(Channel::Left).fInit, Qt::Key_Return);
    EXPECT_FALSE(running());
    EXPECT_EQ(device->opens(), 0);
}

TEST_F(FirstUseTest, CtrlInsertInAnEditBoxRunsTheToggleInsteadOfCopying)
{
    QLineEdit* field = ch(Channel::Left).fInit;
    QApplication::clipboard()->setText(QStringLiteral("unchanged"));
    field->selectAll();
    key(field, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_TRUE(running());
    EXPECT_EQ(device->opens(), 1);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("unchanged"));
    key(field, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_FALSE(running());
    // The platform's editing keys still edit.
    field->selectAll();
    key(field, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), field->text());
    EXPECT_EQ(device->opens(), 1);
}

TEST_F(FirstUseTest, TheWheelChangesOnlyAFocusedControl)
{
    stereo();
    click(w().btnON);
    pump();
    ChannelWidgets& left = ch(Channel::Left);
    struct Case {
        const char* name;
        QWidget* control;
        std::function<int()> value;
        int delta = -120;
    };
    const Case cases[] = {
        {"waveform list", left.WaveForm, [&] { return generator().index({Field::WaveForm, Channel::Left}); }},
        {"crest factor list", ch(Channel::Right).cboCrestFactor,
         [&] { return ch(Channel::Right).cboCrestFactor->currentIndex(); }},
        {"modulation shape", left.ModFunction, [&] { return left.ModFunction->currentIndex(); }},
        {"level slider", ch(Channel::Right).barAmplitude,
         [&] { return generator().settings[Channel::Right].barAmplitude; }},
        {"channel layout", w().cboChannels, [&] { return generator().index({Field::cboChannels}); }, 120},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = c.value();
        wheel(c.control, c.delta);
        EXPECT_EQ(c.value(), before) << "the wheel over a control without the focus";
    }
    EXPECT_EQ(left.WaveForm->currentIndex(), kSine);

    // With the focus, the wheel works as usual (while off: the layout list is locked while on).
    click(w().btnOFF);
    pump();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.control->isEnabled()) continue;
        focusOn(c.control);
        const int before = c.value();
        wheel(c.control, c.delta);
        EXPECT_NE(c.value(), before) << "the wheel over the focused control";
    }
}

TEST_F(FirstUseTest, SpaceOnTheStepButtonsStepsOneHertz)
{
    ChannelWidgets& left = ch(Channel::Left);
    type(left.fInit, QStringLiteral("100"));
    key(left.fInitPlus, Qt::Key_Space);
    EXPECT_EQ(left.fInit->text(), QStringLiteral("101"));
    key(left.fInitPlus, Qt::Key_Space);
    key(left.fInitMinus, Qt::Key_Space);
    key(left.fInitMinus, Qt::Key_Space);
    key(left.fInitMinus, Qt::Key_Space);
    EXPECT_EQ(left.fInit->text(), QStringLiteral("99"));
    EXPECT_EQ(generator().text({Field::fInit, Channel::Left}), "99");
}

} // namespace
// View > Volume Control on a desktop without any mixer program says so instead of doing
// nothing.
TEST_F(FirstUseTest, VolumeControlWithoutAMixerSaysSo)
{
    const QByteArray path = qgetenv("PATH");
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toLocal8Bit());
    window->menu().WindowsVolumeControl1->trigger();
    qputenv("PATH", path);
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_TRUE(notices.messages.front().contains(QStringLiteral("pavucontrol")));
}

} // namespace velmora::ui::test
