#include "ui/script_window/script_controller.h"

#include "audio/audio_out.h"
#include "audio/live/generator_output.h"
#include "control/preset_memory.h"
#include "settings/data_files.h"
#include "ui/main_window/control_binding.h"
#include "ui/main_window/generator_window.h"
#include "ui/main_window/preset_controller.h"
#include "ui/main_window/switching_controller.h"
#include "ui/main_window/window_notices.h"
#include "ui/script_window/script_popup.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <iostream>

namespace velmora::ui {

namespace {
QString ScriptDialog(QWidget* parent)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Open script file"), QString(),
                                        QStringLiteral("ZRX Script (*.zrs);;All Files (*)"));
}

// About 100 ms of the window's own event loop: the output's notices, the script window's
// buttons and every other event are served at once, not only between sleeps.
void WaitOneStep()
{
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

ScriptController::ScriptController(const Parts& parts)
    : window_(parts.window),
      generator_(parts.generator),
      engine_(parts.engine),
      binding_(parts.binding),
      switching_(parts.switching),
      presets_(parts.presets),
      notices_(parts.notices),
      popup_(std::make_unique<TfrmScriptPopup>())
{
    chooseScriptFile = [this] { return ScriptDialog(&window_); };
    waitStep = WaitOneStep;

    connect(popup_->Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(popup_.get(), &TfrmScriptPopup::closed, this, [this] { popupClosed(); });
    connect(window_.menu().RunScript1, &QAction::triggered, this, [this] { RunScript1Click(); });
    connect(window_.menu().OpenScriptEditor1, &QAction::triggered, this, [this] { OpenScriptEditor1Click(); });

    // GeneratorRunning is the runner's own: set at each wait step, cleared by Next. The
    // output's stop notice does not clear it: the engine stops being active when it closes
    // the device, and its stop notice follows later, so a notice left over from a play
    // that has ended would cut the next delay short. A play's wait ends on the output
    // being inactive instead.
    // A main window that closes ends the script at once: once the application quits, the
    // waits' event loops no longer run, and a wait for a signal to end would never end.
    window_.installEventFilter(this);
}

bool ScriptController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &window_ && event->type() == QEvent::Close && running_) {
        next_ = true;
        generatorRunning_ = false;
        popup_->hide();
    }
    return QObject::eventFilter(watched, event);
}

ScriptController::~ScriptController() = default;

void ScriptController::Button2Click()
{
    // A start notice still on its way must not undo Next: it ends the wait for good.
    next_ = true;
    generatorRunning_ = false;
    popup_->hide();
}

void ScriptController::popupClosed()
{
    // Cancel: the main window is usable at once; the script ends after its current wait.
    window_.setEnabled(true);
    if (!window_.isVisible()) QCoreApplication::quit(); // a script run from the command line
}

ScriptHooks ScriptController::hooks()
{
    ScriptHooks h;
    h.started = [this] {
        window_.setEnabled(false);
        popup_->Label1->clear();
        popup_->showCentred();
    };
    h.finished = [this] {
        window_.setEnabled(true);
        if (window_.isVisible()) {
            window_.raise();
            window_.activateWindow();
        }
        popup_->hide();
    };
    h.windowVisible = [this] { return popup_->isVisible(); };
    h.hideWindow = [this] { popup_->hide(); };
    h.showLine = [this](const std::string& text) { popup_->Label1->setText(QString::fromStdString(text)); };
    h.message = [this](const std::string& text) { notices_.messageBox(QString::fromStdString(text)); };
    h.pause = [this](const std::string& text) { notices_.messageBox(QString::fromStdString(text)); };
    h.loadSettings = [this](const std::string& file) {
        scriptPreset_ = file;
        switch (presets_.bank().LoadSettings(file)) {
        case PresetLoad::Loaded:
        case PresetLoad::Imported: break;
        case PresetLoad::Obsolete: throw ScriptPlayError(file + ": " + std::string(kObsoleteFormatText));
        case PresetLoad::Ignored: throw ScriptPlayError("'" + file + "' is not a preset file");
        }
    };
    h.memRecall = [this](int n) {
        if (presets_.bank().memory(n).empty())
            throw ScriptPlayError("Memory " + std::to_string(n) + " of '" + scriptPreset_ + "' is empty");
        presets_.bank().autostart = window_.menu().PresetRecallAutostart1->isChecked();
        presets_.bank().MemRecall(n);
    };
    h.loop = [this] { return generator_.checked({Field::Loop}); };
    h.setLoop = [this](bool on) { generator_.setChecked({Field::Loop}, on); };
    // The start's own boxes say why a signal did not start.
    h.startsignal = [this] {
        switch (switching_.startsignal()) {
        case StartOutcome::Started:
        case StartOutcome::AlreadyRunning: return PlayStart::Playing;
        case StartOutcome::DeviceError: return PlayStart::DeviceFailed;
        case StartOutcome::ShortSignal:
        case StartOutcome::NotPrepared: return PlayStart::NotPlayed;
        }
        return PlayStart::NotPlayed;
    };
    h.outputActive = [this] { return engine_.Active(); };
    h.generatorRunning = [this] { return generatorRunning_ && !next_; };
    h.setGeneratorRunning = [this](bool on) { generatorRunning_ = on; };
    h.waitStep = [this] { waitStep(); };
    h.processEvents = [] { QCoreApplication::processEvents(); };
    return h;
}

ScriptResult ScriptController::Runscript(const QString& file)
{
    if (running_) return {};
    running_ = true;
    next_ = false;
    ScriptRunner runner(hooks());
    const ScriptResult result = runner.run(std::filesystem::path(file.toStdString()));
    running_ = false;
    if (result.outcome == ScriptResult::Failed) notices_.errorBox(QString::fromStdString(result.error));
    if (!window_.isVisible()) {
        // Run from the command line: whoever started it learns where it stopped short.
        const std::string where = " in line " + std::to_string(result.line);
        if (result.outcome == ScriptResult::Stopped)
            std::cerr << "velmora: the script was " << (next_ ? "ended by Next" : "cancelled") << where << "\n";
        else if (result.outcome == ScriptResult::Ended && result.missingFiles > 0)
            std::cerr << "velmora: the script ended, but " << result.missingFiles
                      << (result.missingFiles == 1 ? " play line found" : " play lines found") << " no preset file\n";
        else if (!result.succeeded())
            std::cerr << "velmora: the script stopped" << where << "\n";
    }
    return result;
}

void ScriptController::RunScript1Click()
{
    engine_.StopAtOnce();
    const QString file = chooseScriptFile ? chooseScriptFile() : QString();
    if (!file.isEmpty()) Runscript(file);
}

void ScriptController::OpenScriptEditor1Click()
{
    if (const auto editor = FindCompanionProgram("ScriptEditor", "velmora-script-editor"))
        QProcess::startDetached(QString::fromStdString(editor->string()), {});
}

} // namespace velmora::ui
