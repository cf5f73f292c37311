#pragma once
// The program's start, from its command line to the message loop: the splash fades in while
// the windows are made and out before the window state is restored; then the example
// presets and the file named on the command line are handled. Window thread.

#include "files/start_files.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace velmora {
class AudioDevice;
}

namespace velmora::ui {

class DeferredNotices;
class GeneratorController;
class PersistedWindows;
class TfrmGenerator;
class TfrmStartSplash;
class WindowNotices;

class StartSequence final {
public:
    // `notices` (may be null: message boxes over the main window, held back while a message
    // from another program is answered) must outlive the sequence.
    StartSequence(StartArguments arguments, std::unique_ptr<AudioDevice> device, WindowNotices* notices = nullptr);
    // The same with the device handed over once the main window's controls are made (it may
    // still be getting ready on another thread while they are).
    StartSequence(StartArguments arguments, std::function<std::unique_ptr<AudioDevice>()> takeDevice,
                  WindowNotices* notices = nullptr);
    ~StartSequence();

    // Makes the windows and restores the window state; loads the example presets and handles
    // the command-line file. Returns an exit status when the program ends here, without its
    // message loop: after a script, 0 when it ended (at "end", or cancelled), 1 when it
    // stopped on an invalid line or an error. Otherwise the caller shows the main window and
    // runs the loop.
    std::optional<int> run();

    TfrmGenerator& window() { return *window_; }
    GeneratorController& controller() { return *controller_; }
    PersistedWindows& persisted() { return *persisted_; }
    // The sequence's own notices when none were given (for the link to other programs).
    DeferredNotices* deferredNotices() { return deferred_.get(); }

    // The splash's waits (sleep, then process pending events); tests may watch them.
    std::function<void(int milliseconds)> splashWait;
    // Whether the splash was shown, and the rounds its hold lasted.
    bool splashShown() const { return splashShown_; }
    int splashHoldRounds() const { return splashHoldRounds_; }
    // The splash while it exists (between run()'s start and its fade-out), for tests.
    TfrmStartSplash* splash() const { return splash_.get(); }

private:
    std::optional<int> handleStartFiles();

    StartArguments arguments_;
    std::function<std::unique_ptr<AudioDevice>()> takeDevice_;
    WindowNotices* notices_;
    std::unique_ptr<WindowNotices> ownNotices_;
    std::unique_ptr<DeferredNotices> deferred_;
    std::unique_ptr<TfrmStartSplash> splash_;
    std::unique_ptr<TfrmGenerator> window_;
    std::unique_ptr<GeneratorController> controller_;
    PersistedWindows* persisted_ = nullptr; // owned by the window
    bool splashShown_ = false;
    int splashHoldRounds_ = 0;
};

} // namespace velmora::ui
