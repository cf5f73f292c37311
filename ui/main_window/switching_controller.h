#pragma once
// Switching the generator on, into pause and off, and the window's on and off states. The
// commands start and stop the output engine; the states follow the engine's own start and
// stop notices, whatever caused them (OFF, the end of a finite signal, an error). Window
// thread; the commands may show message boxes.

#include "audio/live/generator_output.h"
#include "ui/main_window/generator_window.h"

#include <functional>

namespace velmora {
class NoticeRoute;
class TAudioOut;
} // namespace velmora

namespace velmora::ui {

class VisibilityRules;
class WindowNotices;

enum class SyncCommand { Start, Stop, Pause };

// Carries a switching command to every generator that is kept in step ("Sync all
// Generators"), this one included. Window thread.
class GeneratorSync {
public:
    virtual ~GeneratorSync() = default;
    virtual void broadcast(SyncCommand command) = 0;
};

class SwitchingController final {
public:
    struct Parts {
        TfrmGenerator& window;
        TAudioOut& engine;
        GeneratorOutput& output;
        NoticeRoute& route;
        WindowNotices& notices;
        VisibilityRules& rules;
    };
    // Takes over the engine's OnStart and OnStop.
    explicit SwitchingController(const Parts& parts);

    // Where the commands go while "Sync all Generators" is checked; null: this window only.
    void setSync(GeneratorSync* sync) { sync_ = sync; }
    // Opens the output settings dialog (after a signal too short for the ring).
    std::function<void()> openOutputSettings;
    // Runs just before a start hands the signal to the engine (names the stream).
    std::function<void()> beforeStart;
    // Told when the window switches on (true) and off (false).
    std::function<void(bool)> runningChanged;
    // True while the generator's samples go elsewhere (a wave export): a start from a key,
    // another generator or a remote message then does nothing, since it would take frames
    // out of the file being written.
    std::function<bool()> busy;
    // Waits, before a start, for the periods the signal needs that a worker still makes;
    // false when the wait was given up (then nothing starts). Null: the start itself waits.
    std::function<bool()> waitForPeriods;
    // Whether a start runs that wait (false while a message from another program is answered).
    bool showsPeriodWait = true;
    // A start waiting for its periods is given up (OFF, the generators' stop, the window
    // closing); whether that happened during the current wait.
    void giveUpWaitingStart()
    {
        if (waiting_) startGivenUp_ = true;
    }
    bool startGivenUp() const { return startGivenUp_; }

    void btnONClick();
    void btnOFFClick();
    void btnPauseClick();
    void ONOFF2Click();
    // Switching on in this window only (also what a start from another generator runs).
    StartOutcome startsignal();
    // Pause or resume in this window only.
    void togglePause();
    // OFF in this window only (another generator's stop): with fades on, a fade-out first
    // and a second OFF during it stops at once (GeneratorOutput::switchOff).
    void switchOff();

    void AudioOut1Start();
    void AudioOut1Stop();

    bool GeneratorRunning() const { return running_; }

    // The title while on and while off: "ON - Velmora" and "Velmora" for the first
    // generator, "ON - Velmora 2" and "Velmora 2" for the second that runs at once, ...
    static QString titleFor(bool running);
    // The window's name without "ON - ": "Velmora", "Velmora 2", ...
    static QString generatorName();
    // This process's generator number (1 until told otherwise; one generator per process).
    static int generatorNumber();
    static void setGeneratorNumber(int number);

private:
    // Waits for the signal's periods unless the engine already plays; false when given up.
    bool periodsReady();
    void lockControls(bool locked);
    void setPauseBold(bool bold);

    TfrmGenerator& window_;
    TAudioOut& engine_;
    GeneratorOutput& output_;
    NoticeRoute& route_;
    WindowNotices& notices_;
    VisibilityRules& rules_;
    GeneratorSync* sync_ = nullptr;
    bool running_ = false;
    bool waiting_ = false;
    bool startGivenUp_ = false;
};

} // namespace velmora::ui
