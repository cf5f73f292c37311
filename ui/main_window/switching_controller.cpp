#include "ui/main_window/switching_controller.h"

#include "audio/audio_out.h"
#include "ui/widgets/picture_combo_box.h"
#include "ui/widgets/shape_circle.h"
#include "ui/main_window/visibility_rules.h"
#include "ui/main_window/window_notices.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QPushButton>

namespace velmora::ui {

namespace {
const QColor kLampOff(128, 0, 0);
const QColor kLampOn(0, 128, 0);
} // namespace

SwitchingController::SwitchingController(const Parts& parts)
    : window_(parts.window),
      engine_(parts.engine),
      output_(parts.output),
      route_(parts.route),
      notices_(parts.notices),
      rules_(parts.rules)
{
    engine_.OnStart = [this] { AudioOut1Start(); };
    engine_.OnStop = [this] { AudioOut1Stop(); };
}

namespace {
int g_generatorNumber = 1;
} // namespace

int SwitchingController::generatorNumber() { return g_generatorNumber; }

void SwitchingController::setGeneratorNumber(int number) { g_generatorNumber = number >= 1 ? number : 1; }

QString SwitchingController::generatorName()
{
    return g_generatorNumber > 1 ? QStringLiteral("Velmora %1").arg(g_generatorNumber) : QStringLiteral("Velmora");
}

QString SwitchingController::titleFor(bool running)
{
    return running ? QStringLiteral("ON - ") + generatorName() : generatorName();
}

void SwitchingController::btnONClick()
{
    if (sync_ && window_.widgets().chkSync->isChecked()) {
        sync_->broadcast(SyncCommand::Start);
        window_.raise();
        window_.activateWindow();
        return;
    }
    startsignal();
}

bool SwitchingController::periodsReady()
{
    if (!waitForPeriods || !showsPeriodWait || engine_.Active()) return true;
    waiting_ = true;
    startGivenUp_ = false;
    const bool ready = waitForPeriods();
    waiting_ = false;
    return ready && !startGivenUp_;
}

StartOutcome SwitchingController::startsignal()
{
    if (busy && busy()) return StartOutcome::AlreadyRunning;
    // A start that waits for its periods is underway already.
    if (waiting_) return StartOutcome::AlreadyRunning;
    if (!periodsReady()) return StartOutcome::NotPrepared;
    GeneratorWidgets& w = window_.widgets();
    if (beforeStart) beforeStart();
    const StartResult result = output_.startsignal(route_);
    switch (result.outcome) {
    case StartOutcome::Started:
    case StartOutcome::AlreadyRunning: break;
    case StartOutcome::ShortSignal:
        notices_.messageBox(QString::fromStdString(result.message));
        if (openOutputSettings) openOutputSettings();
        break;
    case StartOutcome::DeviceError: notices_.messageBox(QString::fromStdString(result.message)); break;
    case StartOutcome::NotPrepared: notices_.errorBox(QString::fromStdString(result.message)); break;
    }
    w.btnOFF->setFocus();
    return result.outcome;
}

void SwitchingController::btnOFFClick()
{
    giveUpWaitingStart();
    GeneratorWidgets& w = window_.widgets();
    if (sync_ && w.chkSync->isChecked())
        sync_->broadcast(SyncCommand::Stop);
    else
        output_.switchOff();
    if (w.btnON->isEnabled()) w.btnON->setFocus();
}

void SwitchingController::switchOff()
{
    giveUpWaitingStart();
    output_.switchOff();
}

void SwitchingController::btnPauseClick()
{
    if (sync_ && window_.widgets().chkSync->isChecked()) {
        sync_->broadcast(SyncCommand::Pause);
        return;
    }
    togglePause();
}

void SwitchingController::togglePause()
{
    engine_.setPaused(!engine_.Paused());
    setPauseBold(engine_.Paused());
}

void SwitchingController::ONOFF2Click()
{
    if (engine_.Active())
        btnOFFClick();
    else if (window_.widgets().btnON->isEnabled()) // nothing to play, or nothing to play on
        btnONClick();
}

void SwitchingController::setPauseBold(bool bold)
{
    QFont font = window_.widgets().btnPause->font();
    font.setBold(bold);
    window_.widgets().btnPause->setFont(font);
}

void SwitchingController::lockControls(bool locked)
{
    GeneratorWidgets& w = window_.widgets();
    for (QWidget* widget : std::initializer_list<QWidget*>{w.cboChannels, w.WaveDevice, w.Duration, w.Loop})
        widget->setEnabled(!locked);
    for (ChannelWidgets& c : w.channel)
        for (QWidget* widget : std::initializer_list<QWidget*>{c.Bidirectional, c.Logarithmic, c.fInit, c.fFinal,
                                                               c.Amplitude})
            widget->setEnabled(!locked);
    for (QPushButton* memory : w.Memory) memory->setEnabled(!locked);
    window_.menu().Presets1->setEnabled(!locked);
    window_.menu().Presets1->menuAction()->setEnabled(!locked);
}

void SwitchingController::AudioOut1Start()
{
    GeneratorWidgets& w = window_.widgets();
    window_.setWindowTitle(titleFor(true));
    w.btnON->setDefault(false);
    w.btnOFF->setDefault(true);
    w.LED->setBrushColour(kLampOn);
    running_ = true;
    lockControls(true);
    if (runningChanged) runningChanged(true);
}

void SwitchingController::AudioOut1Stop()
{
    GeneratorWidgets& w = window_.widgets();
    window_.setWindowTitle(titleFor(false));
    setPauseBold(false);
    w.btnOFF->setDefault(false);
    w.btnON->setDefault(true);
    if (w.btnON->isEnabled()) w.btnON->setFocus();
    w.LED->setBrushColour(kLampOff);
    running_ = false;
    lockControls(false);
    // Unlocking enabled the right channel's fields and "Bi-directional" whatever the
    // layout and Repeat say; put their rules back, the right modulation labels' last, as
    // the layout change does.
    rules_.rightChannelEnabling();
    rules_.modulationOnClick(Channel::Right);
    rules_.loopClick();
    if (runningChanged) runningChanged(false);
    // A device that went away while playing ends the stream as OFF would: say why, in the
    // box a start's device error has, once the window shows it off.
    if (engine_.StreamFailed()) {
        const QString text = QStringLiteral("Sound Device Error: \r") + QString::fromStdString(engine_.ErrorMessage());
        QMetaObject::invokeMethod(&window_, [this, text] { notices_.messageBox(text); }, Qt::QueuedConnection);
    }
}

} // namespace velmora::ui
