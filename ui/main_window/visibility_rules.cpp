#include "ui/main_window/visibility_rules.h"

#include "ui/widgets/picture_combo_box.h"
#include "ui/widgets/up_down.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <initializer_list>

namespace velmora::ui {

namespace {
const QColor kGrey(128, 128, 128);

void show(std::initializer_list<QWidget*> widgets, bool visible)
{
    for (QWidget* widget : widgets) widget->setVisible(visible);
}

void enable(std::initializer_list<QWidget*> widgets, bool enabled)
{
    for (QWidget* widget : widgets) widget->setEnabled(enabled);
}

bool isNoise(int wave) { return wave == kWhiteNoise || wave == kPinkNoise; }
} // namespace

void VisibilityRules::setGrey(QWidget* widget, bool grey)
{
    // The system's colour is set as the widget's own, not inherited: a list whose frame is
    // greyed (the right modulation shape in mono) keeps the colour its own rule gives it.
    const QPalette system = QApplication::palette(widget);
    QPalette palette = widget->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(group, role, grey ? kGrey : system.color(group, role));
    widget->setPalette(palette);
}

bool VisibilityRules::isGrey(const QWidget* widget)
{
    return widget->palette().color(QPalette::Active, QPalette::WindowText) == kGrey;
}

void VisibilityRules::apply(WindowRule rule, Channel c)
{
    switch (rule) {
    case WindowRule::WaveFormChange: waveFormChange(c); break;
    case WindowRule::ConstantClick: constantClick(c); break;
    case WindowRule::ChannelsChange: channelsChange(); break;
    case WindowRule::TickClick: tickClick(); break;
    case WindowRule::ModulationOnClick: modulationOnClick(c); break;
    case WindowRule::LoopClick: loopClick(); break;
    }
}

void VisibilityRules::setPhaseTrio(bool enabled)
{
    enable({w_.lblPhaseReLeft, w_.PhaseEdit, w_.udPhase}, enabled);
}

void VisibilityRules::phaseRule()
{
    const bool enabled = s_.stereo() && !s_.chkAsLeft && !isNoise(s_[Channel::Left].WaveForm) &&
                         !isNoise(s_[Channel::Right].WaveForm);
    w_.lblPhaseReLeft->setEnabled(enabled);
    w_.PhaseEdit->setEnabled(enabled);
    w_.udPhase->setEnabled(w_.PhaseEdit->isEnabled());
}

void VisibilityRules::waveFormChange(Channel c)
{
    ChannelWidgets& ch = w_.channel[index(c)];
    show({ch.chkConstant, ch.chkSweep, ch.fInit, ch.fInitPlus, ch.fInitMinus, ch.SemiUp, ch.SemiDown,
          ch.lblFromFreq},
         true);
    ch.Logarithmic->setText(QStringLiteral("Logarithmic"));
    ch.Logarithmic->setToolTip(QStringLiteral("Logarithmic change in frequency"));
    constantClick(c);
    show({ch.grpNoise, ch.grpMLS}, false);
    show({ch.lblMLSSeed, ch.txtMLSSeed}, true); // inside the group: shown with it
    show({ch.lblCycles, ch.txtCycles, ch.lblBurstWindow, ch.cboBurstWindow}, s_[c].WaveForm == kToneBurst);
    show({ch.lblBand, ch.cboBand}, IsPeriodicNoise(s_[c].WaveForm));

    switch (s_[c].WaveForm) {
    case kWhiteNoise:
    case kPinkNoise:
        setPhaseTrio(false);
        ch.boxFrequency->setVisible(false);
        ch.grpNoise->setVisible(true);
        break;
    case kSinePulse:
    case kDiracPulse:
        setPhaseTrio(false);
        pulseOverrides(c);
        ch.boxFrequency->setVisible(true);
        break;
    case kSilence:
        setPhaseTrio(false);
        ch.boxFrequency->setVisible(false);
        break;
    case kMLS: // the phase trio keeps its state
        ch.grpMLS->setVisible(true);
        show({ch.boxFrequency, ch.grpNoise}, false);
        break;
    case kWhiteNoisePeriodic:
    case kPinkNoisePeriodic:
    case kBrownNoisePeriodic:
        // A period of 2^K samples from a seed: the sequence's length and seed fields.
        setPhaseTrio(false);
        ch.grpMLS->setVisible(true);
        show({ch.boxFrequency, ch.grpNoise}, false);
        break;
    case kMultitone:
        // Its frequencies are its own; its period is 2^K samples: the length field (the seed
        // field has nothing to do).
        setPhaseTrio(false);
        ch.grpMLS->setVisible(true);
        show({ch.lblMLSSeed, ch.txtMLSSeed}, false);
        show({ch.boxFrequency, ch.grpNoise}, false);
        break;
    case kToneBurst:
        // A constant tone whose cycles and window take the sweep's rows; no phase offset.
        setPhaseTrio(false);
        burstOverrides(c);
        ch.boxFrequency->setVisible(true);
        show({ch.grpNoise, ch.grpMLS}, false);
        break;
    case kImdSmpte:
    case kImdCcif:
    case kImdDin:
        setPhaseTrio(false);
        show({ch.boxFrequency, ch.grpNoise, ch.grpMLS}, false);
        break;
    default: // the tones, or nothing selected
        phaseRule();
        ch.boxFrequency->setVisible(true);
        break;
    }
}

// The pulses run at a constant frequency with "Logarithmic" standing for the polarity. The
// engine runs the constant/sweep rule again after the waveform rule, so this part is applied
// by both.
void VisibilityRules::pulseOverrides(Channel c)
{
    ChannelWidgets& ch = w_.channel[index(c)];
    show({ch.chkConstant, ch.chkSweep}, false);
    ch.Logarithmic->setText(QStringLiteral("Negative Polarity"));
    ch.Logarithmic->setToolTip(QString());
    ch.Logarithmic->setVisible(true);
    if (s_[c].WaveForm == kDiracPulse) {
        show({ch.fInit, ch.fInitPlus, ch.fInitMinus, ch.SemiUp, ch.SemiDown, ch.lblFromFreq}, false);
        if (c == Channel::Left) ch.fFinal->setVisible(false); // the right one is hidden by Constant already
    }
}

// The burst plays at a constant frequency: no Constant / Sweep choice, no sweep rows.
void VisibilityRules::burstOverrides(Channel c)
{
    ChannelWidgets& ch = w_.channel[index(c)];
    show({ch.chkConstant, ch.chkSweep, ch.lblFreqFrom, ch.lblFreqTo, ch.lblHzTo, ch.Bidirectional, ch.Logarithmic,
          ch.fFinal},
         false);
}

void VisibilityRules::constantClick(Channel c)
{
    ChannelWidgets& ch = w_.channel[index(c)];
    const bool constant = s_[c].chkConstant;
    show({ch.lblFreqFrom, ch.lblFreqTo, ch.lblHzTo, ch.Bidirectional, ch.Logarithmic, ch.fFinal}, !constant);
    show({ch.SemiUp, ch.SemiDown, ch.fInitMinus, ch.fInitPlus}, constant);
    const int wave = s_[c].WaveForm;
    if (wave == kSinePulse || wave == kDiracPulse) pulseOverrides(c);
    if (wave == kToneBurst) burstOverrides(c);
}

void VisibilityRules::rightChannelEnabling()
{
    const bool independent = independentRight();
    ChannelWidgets& r = w_.right();
    enable({w_.left().Tick, r.Tick}, independent);
    enable({r.boxFrequency, r.fInit, r.fFinal, r.chkConstant, r.chkSweep, r.Logarithmic, r.Amplitude,
            r.barAmplitude, r.lblAMfunction, r.lblAMperiod},
           independent);
    r.Bidirectional->setEnabled(independent && s_.Loop);
    enable({r.SemiUp, r.SemiDown, r.ModulationOn, r.WaveForm, r.fInitPlus, r.fInitMinus, r.grpNoise,
            r.cboCrestFactor, r.txtCycles, r.cboBurstWindow, r.cboBand},
           independent);
}

void VisibilityRules::channelsChange()
{
    const bool independent = independentRight();
    rightChannelEnabling();
    phaseRule();
    w_.chkAsLeft->setEnabled(s_.stereo());
    ChannelWidgets& r = w_.right();
    for (QWidget* widget : {static_cast<QWidget*>(r.WaveForm), static_cast<QWidget*>(r.boxFrequency),
                            static_cast<QWidget*>(r.boxAmpMod)})
        setGrey(widget, !independent);
}

void VisibilityRules::monoClick()
{
    const bool stereo = s_.stereo();
    ChannelWidgets& r = w_.right();
    enable({w_.left().Tick, r.Tick}, stereo);
    const bool noise = w_.left().WaveForm->currentText().contains(QLatin1String("oise")) ||
                       r.WaveForm->currentText().contains(QLatin1String("oise"));
    w_.lblPhaseReLeft->setEnabled(stereo && !noise);
    w_.PhaseEdit->setEnabled(stereo && !noise);
    w_.udPhase->setEnabled(w_.PhaseEdit->isEnabled());
    enable({r.boxFrequency, r.fInit, r.fFinal, r.chkConstant, r.chkSweep, r.Logarithmic, r.Amplitude,
            r.barAmplitude, r.lbldBFS, r.lblWaveFunction},
           stereo);
    r.Bidirectional->setEnabled(stereo && s_.Loop);
    enable({r.SemiUp, r.SemiDown, r.ModulationOn, r.WaveForm, r.fInitPlus, r.fInitMinus}, stereo);
    loopClick();
}

void VisibilityRules::tickClick()
{
    const bool anyOn = s_[Channel::Left].Tick || s_[Channel::Right].Tick;
    menu_.SaveWaveFile1->setEnabled(anyOn);
    // ON is both the button and the "ON" item (F11): with every channel off there is nothing
    // to play, and without a device nothing to play on.
    w_.btnON->setEnabled(anyOn && devicesExist_);
    menu_.Off1->setEnabled(anyOn && devicesExist_);
    menu_.OnOff1->setEnabled(anyOn);
}

void VisibilityRules::loopClick()
{
    w_.left().Bidirectional->setEnabled(s_.Loop);
    w_.right().Bidirectional->setEnabled(s_.Loop && s_.stereo());
}

void VisibilityRules::modulationOnClick(Channel c)
{
    ChannelWidgets& ch = w_.channel[index(c)];
    bool on = s_[c].ModulationOn;
    if (c == Channel::Right) on = on && !s_.chkAsLeft; // the right fields ignore the layout
    // The phase's unit goes with the rest of the panel's labels.
    enable({ch.lblAMperiod, ch.lblModPeriodUnit, ch.lblModDepthUnit, ch.lblAMfunction, ch.lblModDepth,
            ch.lblModPhase, ch.lblModPhaseUnit, ch.ModPeriodEdit, ch.ModDepthEdit, ch.ModFunction,
            ch.ModPhaseEdit},
           on);
    setGrey(ch.ModFunction, !on);
}

} // namespace velmora::ui
