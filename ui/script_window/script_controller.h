#pragma once
// Runs scripts in the generator window: File > Run Script, the script window's Cancel and
// Next, and File > Open Script Editor. The line-by-line logic is ScriptRunner's, shared with
// the headless renderer; this class plugs the window, the preset memories and the output
// engine into it. Window thread; Runscript runs nested event loops while it waits.

#include "engine/generator.h"
#include "control/script_runner.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace velmora {
class TAudioOut;
}

namespace velmora::ui {

class ControlBinding;
class PresetController;
class SwitchingController;
class TfrmGenerator;
class TfrmScriptPopup;
class WindowNotices;

class ScriptController final : public QObject {
    Q_OBJECT
public:
    struct Parts {
        TfrmGenerator& window;
        Generator& generator;
        TAudioOut& engine;
        ControlBinding& binding;
        SwitchingController& switching;
        PresetController& presets;
        WindowNotices& notices;
    };
    explicit ScriptController(const Parts& parts);
    ~ScriptController() override;

    TfrmScriptPopup& popup() { return *popup_; }
    bool running() const { return running_; }

    // Runs the script; returns when it has ended. Errors are shown in the error box after
    // the main window is enabled again. When the main window is hidden (a script named on
    // the command line), closing the script window ends the application.
    ScriptResult Runscript(const QString& file);

    void RunScript1Click();
    void OpenScriptEditor1Click();

    // Replaceable for tests: the script file dialog, and one wait step (by default about
    // 100 ms of the window's event loop).
    std::function<QString()> chooseScriptFile;
    std::function<void()> waitStep;

    // GeneratorRunning as the runner sees it: set at each wait step, cleared by Next.
    bool generatorRunning() const { return generatorRunning_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ScriptHooks hooks();
    void Button2Click();
    void popupClosed();

    TfrmGenerator& window_;
    Generator& generator_;
    TAudioOut& engine_;
    ControlBinding& binding_;
    SwitchingController& switching_;
    PresetController& presets_;
    WindowNotices& notices_;
    std::unique_ptr<TfrmScriptPopup> popup_;
    bool running_ = false;
    bool generatorRunning_ = false;
    bool next_ = false; // Next was pressed during this run
    std::string scriptPreset_; // the preset file of the play line being run
};

} // namespace velmora::ui
