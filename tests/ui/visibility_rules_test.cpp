// The window's visibility and enabling rules, driven through the real window as a user
// drives it: panels per waveform and mode, the channel layouts, the phase rule's history,
// the "On" boxes and Repeat.
#include "window_harness.h"
#include "user_input.h"

#include "ui/widgets/picture_combo_box.h"
#include "ui/widgets/up_down.h"
#include "ui/main_window/visibility_rules.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest/QTest>

namespace velmora::ui::test {
namespace {

using VisibilityTest = WindowHarness;

bool shown(const QWidget* widget) { return !widget->isHidden(); }
// The control's own enabled state: a control inside a disabled frame is unusable either way.
bool enabledItself(const QWidget* widget) { return !widget->testAttribute(Qt::WA_ForceDisabled); }

struct PanelCase {
    int wave;
    bool sweep;         // Sweep chosen before the waveform
    bool frequency;     // frequency panel
    bool noise;
    bool sequence;
    bool radios;        // Constant / Sweep
    bool startField;    // start field and its "Hz"
    bool sweepFields;   // "From", "to", final field, "Bi-directional"
    bool steps;         // + - # b
    const char* logarithmic; // caption when shown, null when hidden
    bool constantAfter;
    bool phaseTrio;
};

const PanelCase kPanels[] = {
    {kSine, false, true, false, false, true, true, false, true, nullptr, true, true},
    {kSine, true, true, false, false, true, true, true, false, "Logarithmic", false, true},
    {kSawtooth, true, true, false, false, true, true, true, false, "Logarithmic", false, true},
    {kWhiteNoise, false, false, true, false, true, true, false, true, nullptr, true, false},
    {kPinkNoise, true, false, true, false, true, true, true, false, "Logarithmic", false, false},
    {kSinePulse, true, true, false, false, false, true, false, true, "Negative Polarity", true, false},
    {kDiracPulse, true, true, false, false, false, false, false, false, "Negative Polarity", true, false},
    {kDiracPulse, false, true, false, false, false, false, false, false, "Negative Polarity", true, false},
    {kSilence, false, false, false, false, true, true, false, true, nullptr, true, false},
    {kMLS, false, false, false, true, true, true, false, true, nullptr, true, true},
    {kToneBurst, true, true, false, false, false, true, false, true, nullptr, true, false},
    {kImdDin, false, false, false, false, true, true, false, true, nullptr, true, false},
};

TEST_F(VisibilityTest, PanelsFollowTheWaveformAndModeOnBothChannels)
{
    for (Channel c : kChannels) {
        for (const PanelCase& k : kPanels) {
            make();
            choose(w().cboChannels, 1);
            if (k.sweep) click(ch(c).chkSweep);
            choose(ch(c).WaveForm, k.wave);
            ChannelWidgets& p = ch(c);
            SCOPED_TRACE(::testing::Message() << "channel " << index(c) << " wave " << k.wave << " sweep " << k.sweep);
            EXPECT_EQ(shown(p.boxFrequency), k.frequency);
            EXPECT_EQ(shown(p.grpNoise), k.noise);
            EXPECT_EQ(shown(p.grpMLS), k.sequence);
            EXPECT_EQ(shown(p.chkConstant), k.radios);
            EXPECT_EQ(shown(p.chkSweep), k.radios);
            EXPECT_EQ(shown(p.fInit), k.startField);
            EXPECT_EQ(shown(p.lblFromFreq), k.startField);
            for (QWidget* sweepOnly : {static_cast<QWidget*>(p.lblFreqFrom), static_cast<QWidget*>(p.lblFreqTo),
                                       static_cast<QWidget*>(p.fFinal), static_cast<QWidget*>(p.Bidirectional)})
                EXPECT_EQ(shown(sweepOnly), k.sweepFields) << sweepOnly->objectName().toStdString();
            for (QWidget* step : {p.fInitPlus, p.fInitMinus, p.SemiUp, p.SemiDown})
                EXPECT_EQ(shown(step), k.steps) << step->objectName().toStdString();
            EXPECT_EQ(shown(p.Logarithmic), k.logarithmic != nullptr);
            if (k.logarithmic) {
                EXPECT_EQ(p.Logarithmic->text(), QLatin1String(k.logarithmic));
            }
            EXPECT_EQ(p.chkConstant->isChecked(), k.constantAfter);
            EXPECT_EQ(generator().settings[c].chkConstant, k.constantAfter);
            EXPECT_EQ(w().PhaseEdit->isEnabled(), k.phaseTrio);
            EXPECT_EQ(w().udPhase->isEnabled(), k.phaseTrio);
            EXPECT_EQ(w().lblPhaseReLeft->isEnabled(), k.phaseTrio);
        }
    }
}

// The burst's cycles and window show for the burst only, the band for the periodic noises only.
TEST_F(VisibilityTest, BurstAndBandFieldsShowForTheWavesThatUseThem)
{
    for (Channel c : kChannels) {
        make();
        choose(w().cboChannels, 1);
        for (int wave = 0; wave < kWaveFormCount; ++wave) {
            choose(ch(c).WaveForm, wave);
            ChannelWidgets& p = ch(c);
            SCOPED_TRACE(::testing::Message() << "channel " << index(c) << " wave " << wave);
            for (QWidget* burst : {static_cast<QWidget*>(p.lblCycles), static_cast<QWidget*>(p.txtCycles),
                                   static_cast<QWidget*>(p.lblBurstWindow), static_cast<QWidget*>(p.cboBurstWindow)})
                EXPECT_EQ(shown(burst) && shown(p.boxFrequency), wave == kToneBurst) << burst->objectName().toStdString();
            EXPECT_EQ(shown(p.cboBand), IsPeriodicNoise(wave));
            EXPECT_EQ(shown(p.lblBand), IsPeriodicNoise(wave));
        }
    }
    make();
    EXPECT_EQ(ch(Channel::Left).txtCycles->objectName(), QStringLiteral("txtCyclesLeft"));
    EXPECT_EQ(ch(Channel::Right).cboBurstWindow->objectName(), QStringLiteral("cboBurstWindowR"));
    EXPECT_EQ(ch(Channel::Right).cboBand->objectName(), QStringLiteral("cboBandR"));
}

TEST_F(VisibilityTest, SineAfterADiracPulseBringsTheConstantPanelBack)
{
    click(ch(Channel::Left).chkSweep);
    choose(ch(Channel::Left).WaveForm, kDiracPulse);
    choose(ch(Channel::Left).WaveForm, kSine);
    ChannelWidgets& p = ch(Channel::Left);
    EXPECT_TRUE(p.chkConstant->isChecked());
    for (QWidget* back : {static_cast<QWidget*>(p.chkConstant), static_cast<QWidget*>(p.chkSweep),
                          static_cast<QWidget*>(p.fInit), static_cast<QWidget*>(p.fInitPlus),
                          static_cast<QWidget*>(p.fInitMinus), static_cast<QWidget*>(p.SemiUp),
                          static_cast<QWidget*>(p.SemiDown)})
        EXPECT_TRUE(shown(back)) << back->objectName().toStdString();
    EXPECT_FALSE(shown(p.Logarithmic));
    EXPECT_EQ(p.Logarithmic->text(), QStringLiteral("Logarithmic"));
}

TEST_F(VisibilityTest, AnotherChannelsSequenceLeavesTheNoisePanelAlone)
{
    choose(w().cboChannels, 1);
    choose(ch(Channel::Left).WaveForm, kWhiteNoise);
    choose(ch(Channel::Right).WaveForm, kMLS);
    EXPECT_TRUE(shown(ch(Channel::Left).grpNoise));
    EXPECT_TRUE(shown(ch(Channel::Right).grpMLS));
    EXPECT_FALSE(shown(ch(Channel::Right).boxFrequency));
}

TEST_F(VisibilityTest, ThePhaseTrioFollowsWhicheverListChangedLast)
{
    choose(w().cboChannels, 1);
    choose(ch(Channel::Right).WaveForm, kSilence);
    EXPECT_FALSE(w().PhaseEdit->isEnabled());
    choose(ch(Channel::Left).WaveForm, kSquare);
    EXPECT_TRUE(w().PhaseEdit->isEnabled());
    EXPECT_TRUE(w().udPhase->isEnabled());
}

struct LayoutCase {
    const char* name;
    int layout;
    bool sameAsLeft;
    bool rightEnabled;
    bool ticksEnabled;
    bool asLeftEnabled;
    bool phase;
};

const LayoutCase kLayouts[] = {
    {"mono", 0, false, false, false, false, false},
    {"stereo", 1, false, true, true, true, true},
    {"same as left", 1, true, false, false, true, false},
    {"mono keeps the same-as-left mark", 0, true, false, false, false, false},
};

TEST_F(VisibilityTest, ChannelLayoutsEnableAndGreyTheRightChannel)
{
    for (const LayoutCase& k : kLayouts) {
        SCOPED_TRACE(k.name);
        make();
        choose(w().cboChannels, 1);
        if (k.sameAsLeft) click(w().chkAsLeft);
        choose(w().cboChannels, k.layout);
        ChannelWidgets& r = ch(Channel::Right);
        for (QWidget* right : std::initializer_list<QWidget*>{
                 r.boxFrequency, r.fInit, r.fFinal, r.chkConstant, r.chkSweep, r.Logarithmic, r.Amplitude,
                 r.barAmplitude, r.SemiUp, r.SemiDown, r.ModulationOn, r.WaveForm, r.fInitPlus, r.fInitMinus,
                 r.grpNoise, r.cboCrestFactor})
            EXPECT_EQ(right->isEnabled(), k.rightEnabled) << right->objectName().toStdString();
        for (QWidget* grey : std::initializer_list<QWidget*>{r.WaveForm, r.boxFrequency, r.boxAmpMod})
            EXPECT_EQ(VisibilityRules::isGrey(grey), !k.rightEnabled) << grey->objectName().toStdString();
        EXPECT_EQ(ch(Channel::Left).Tick->isEnabled(), k.ticksEnabled);
        EXPECT_EQ(r.Tick->isEnabled(), k.ticksEnabled);
        EXPECT_EQ(w().chkAsLeft->isEnabled(), k.asLeftEnabled);
        EXPECT_EQ(w().chkAsLeft->isChecked(), k.sameAsLeft);
        EXPECT_EQ(w().PhaseEdit->isEnabled(), k.phase);
    }
}

TEST_F(VisibilityTest, MonoSwitchesBothChannelsOnAndZeroesThePhase)
{
    choose(w().cboChannels, 1);
    click(ch(Channel::Right).Tick);
    type(w().PhaseEdit, QStringLiteral("30"));
    choose(w().cboChannels, 0);
    EXPECT_TRUE(ch(Channel::Left).Tick->isChecked());
    EXPECT_TRUE(ch(Channel::Right).Tick->isChecked());
    EXPECT_EQ(w().PhaseEdit->text(), QStringLiteral("0"));
    EXPECT_EQ(generator().settings.PhaseEdit, "0");
}

TEST_F(VisibilityTest, SameAsLeftWithRepeatLeavesOnlyTheRightBidirectionalBoxUsable)
{
    choose(w().cboChannels, 1);
    click(w().Loop);
    click(w().chkAsLeft);
    EXPECT_TRUE(enabledItself(ch(Channel::Right).Bidirectional));
    EXPECT_FALSE(enabledItself(ch(Channel::Right).fInit));
    EXPECT_TRUE(ch(Channel::Left).Bidirectional->isEnabled());
    click(w().Loop);
    EXPECT_FALSE(enabledItself(ch(Channel::Right).Bidirectional));
    EXPECT_FALSE(ch(Channel::Left).Bidirectional->isEnabled());
}

TEST_F(VisibilityTest, SameAsLeftDragsTheRightChannelAlong)
{
    choose(w().cboChannels, 1);
    click(w().chkAsLeft);
    choose(ch(Channel::Left).WaveForm, kSquare);
    type(ch(Channel::Left).fInit, QStringLiteral("440"));
    choose(ch(Channel::Left).ModFunction, kModTriangular);
    EXPECT_EQ(ch(Channel::Right).WaveForm->currentIndex(), kSquare);
    EXPECT_EQ(ch(Channel::Right).fInit->text(), QStringLiteral("440"));
    EXPECT_EQ(ch(Channel::Right).ModFunction->currentIndex(), kModTriangular);
    EXPECT_EQ(generator().settings[Channel::Right].fInit, "440");
}

TEST_F(VisibilityTest, ModulationBoxesEnableTheirFieldsTheRightOneOnlyWithoutSameAsLeft)
{
    ChannelWidgets& l = ch(Channel::Left);
    click(l.ModulationOn);
    for (QWidget* field : std::initializer_list<QWidget*>{l.ModFunction, l.ModDepthEdit, l.ModPeriodEdit,
                                                          l.ModPhaseEdit, l.lblAMperiod, l.lblModDepth})
        EXPECT_TRUE(field->isEnabled()) << field->objectName().toStdString();
    EXPECT_FALSE(VisibilityRules::isGrey(l.ModFunction));

    choose(w().cboChannels, 1);
    click(w().chkAsLeft);
    click(l.ModulationOn);
    click(l.ModulationOn);
    EXPECT_TRUE(ch(Channel::Right).ModulationOn->isChecked());
    EXPECT_FALSE(ch(Channel::Right).ModDepthEdit->isEnabled());
    EXPECT_TRUE(VisibilityRules::isGrey(ch(Channel::Right).ModFunction));
}

TEST_F(VisibilityTest, BothChannelsOffStopsAPlayingGeneratorAndDisablesOn)
{
    choose(w().cboChannels, 1);
    click(w().btnON);
    pump();
    ASSERT_TRUE(controller->switching().GeneratorRunning());

    click(ch(Channel::Left).Tick);
    EXPECT_TRUE(w().btnON->isEnabled());
    click(ch(Channel::Right).Tick);
    pump();
    EXPECT_FALSE(controller->AudioOut1().Active());
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    EXPECT_FALSE(w().btnON->isEnabled());
    EXPECT_FALSE(window->menu().SaveWaveFile1->isEnabled());
    EXPECT_FALSE(window->menu().OnOff1->isEnabled());
    EXPECT_FALSE(window->menu().Off1->isEnabled());

    click(ch(Channel::Right).Tick);
    EXPECT_TRUE(w().btnON->isEnabled());
    EXPECT_TRUE(window->menu().Off1->isEnabled());
    EXPECT_TRUE(window->menu().OnOff1->isEnabled());
    EXPECT_TRUE(window->menu().SaveWaveFile1->isEnabled());
}

// ON's key follows the button: F11 with both channels off starts nothing, and starts the
// generator again once a channel is back on.
TEST_F(VisibilityTest, FElevenWithBothChannelsOffStartsNothing)
{
    choose(w().cboChannels, 1);
    click(ch(Channel::Left).Tick);
    click(ch(Channel::Right).Tick);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    QTest::keyClick(window.get(), Qt::Key_F11);
    pump();
    window->menu().ONOFF2->trigger(); // the ON/OFF toggle (Ctrl+Insert) neither
    pump();
    EXPECT_EQ(device->opens(), 0);
    EXPECT_FALSE(controller->switching().GeneratorRunning());

    click(ch(Channel::Left).Tick);
    QTest::keyClick(window.get(), Qt::Key_F11);
    pump();
    EXPECT_EQ(device->opens(), 1);
    EXPECT_TRUE(controller->switching().GeneratorRunning());
}

TEST_F(VisibilityTest, WithoutADeviceOnStaysDisabledWhateverTheOnBoxesDo)
{
    make({});
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_EQ(notices.messages[0], QStringLiteral("No Soundcard driver found. No sound output possible."));
    EXPECT_EQ(w().WaveDevice->count(), 1);
    EXPECT_FALSE(w().btnON->isEnabled());
    EXPECT_FALSE(window->menu().Off1->isEnabled());
    choose(w().cboChannels, 1);
    click(ch(Channel::Left).Tick);
    click(ch(Channel::Left).Tick);
    EXPECT_FALSE(w().btnON->isEnabled());
    EXPECT_FALSE(window->menu().Off1->isEnabled());
    EXPECT_TRUE(window->menu().SaveWaveFile1->isEnabled());

    // A device plugged in later: rechecking the devices makes ON usable, and taking it
    // out again disables it.
    device->setDeviceNames({"Plugged In"});
    window->menu().Recheckoutputdevices1->trigger();
    EXPECT_EQ(w().WaveDevice->count(), 2);
    EXPECT_TRUE(w().btnON->isEnabled());
    EXPECT_TRUE(window->menu().Off1->isEnabled());
    device->setDeviceNames({});
    window->menu().Recheckoutputdevices1->trigger();
    EXPECT_FALSE(w().btnON->isEnabled());
    EXPECT_FALSE(window->menu().Off1->isEnabled());
}

} // namespace
} // namespace velmora::ui::test
