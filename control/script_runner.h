#pragma once
// The script runner: plays preset memories out of preset files line by line, with pauses,
// timed waits and repetition. It knows no window and no device: the window and the
// headless renderer plug in what a step needs through ScriptHooks, so both run scripts
// with one implementation.
//
// Runs on the window thread (the renderer's one thread). Its waits are nested event loops:
// hooks.waitStep sleeps about 100 ms and then lets pending events run, so the output keeps
// being fed and the script window's buttons work while a script waits.

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "files/script.h"

namespace velmora {

// What became of a play's start.
enum class PlayStart {
    Playing,      // the signal plays (started now, or already running)
    NotPlayed,    // the settings give no signal to play (the host said why): the script stops
    DeviceFailed, // the sound device cannot play (the host said why): the script ends
};

// A play line's preset that cannot be played: a file that is not a preset file, an empty
// memory. Thrown by the hosts' loadSettings and memRecall; ends the script at that line.
class ScriptPlayError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ScriptHooks {
    // The script window: shown at the start, hidden at the end, and asked after every line
    // whether it is still visible (Cancel and Next hide it).
    std::function<void()> started;   // disable the main window, show the script window
    std::function<void()> finished;  // enable the main window again, hide the script window
    std::function<bool()> windowVisible;
    std::function<void()> hideWindow;
    std::function<void(const std::string&)> showLine; // "Line 3: play 1"

    std::function<void(const std::string&)> message; // a modal notice; returns when closed
    std::function<void(const std::string&)> pause;   // the pause prompt; returns when closed
    std::function<bool()> pauseWaits;                // whether the prompt waits (empty: it does)

    // The generator.
    // A play line's path is looked up as written, then beside the script (FindScriptPreset).
    std::function<bool(const std::string&)> fileExists = ScriptFileExists;
    // LoadSettings(path); throws (ScriptPlayError) for a file it cannot load memories from.
    std::function<void(const std::string&)> loadSettings;
    std::function<void(int)> memRecall;                   // MemRecall(n), 1..4, with autostart
    std::function<bool()> loop;                           // the Repeat box
    std::function<void(bool)> setLoop;
    std::function<PlayStart()> startsignal;
    std::function<bool()> outputActive;
    // GeneratorRunning: set by the runner at each wait step and polled by it; Next clears
    // it. A host should not clear it on the output's stop notice when that notice can
    // arrive after the output went inactive (the play's wait already ends then), or a
    // stale notice cuts the following delay short.
    std::function<bool()> generatorRunning;
    std::function<void(bool)> setGeneratorRunning;

    std::function<void()> waitStep;      // sleep ~100 ms, then run pending events
    std::function<void()> processEvents; // run pending events without waiting
};

struct ScriptResult {
    enum Outcome {
        Ended,        // the end line
        Stopped,      // Cancel or Next (the window hidden from outside) before the end
        Invalid,      // an invalid line (its message went to hooks.message)
        Looping,      // a repeat with no play, delay or pause since the top (message sent)
        Failed,       // an error: a file that cannot be read, a number that is not one, a
                      // preset that cannot be played
        NotPlayed,    // a play's signal could not start (the host said why)
        DeviceFailed, // the sound device could not play (the host said why)
    } outcome = Stopped;
    int line = 0;         // the line it stopped at
    std::string error;    // Failed: the error's text, not yet shown to anyone
    int missingFiles = 0; // play lines whose file was not found ("FILE NOT FOUND")

    // Success only when the end line was reached and every play line played.
    bool succeeded() const { return outcome == Ended && missingFiles == 0; }
};

class ScriptRunner final {
public:
    explicit ScriptRunner(ScriptHooks hooks) : hooks_(std::move(hooks)) {}

    // Runscript: reads the file and runs it. On every way out the Repeat box gets its
    // former state back and hooks.finished runs. Relative preset paths that are not found
    // as written are looked up beside the script.
    ScriptResult run(const std::filesystem::path& file);
    // The same for lines already read from a file in `folder`.
    ScriptResult run(const ScriptFile& script, const std::filesystem::path& folder = {});

    // The number of the line being run (for a host's messages); 0 before the first.
    int currentLine() const { return currentLine_; }

private:
    ScriptResult runLines(const ScriptFile* script, const std::filesystem::path* file);
    bool step(const ScriptFile& script, size_t& lineNumber, ScriptResult& result);
    void waitWhileRunning(bool untilInactive);
    void message(const std::string& text);
    bool visible() const { return !hooks_.windowVisible || hooks_.windowVisible(); }
    bool running() const { return hooks_.generatorRunning && hooks_.generatorRunning(); }
    void setRunning(bool on)
    {
        if (hooks_.setGeneratorRunning) hooks_.setGeneratorRunning(on);
    }
    ScriptHooks hooks_;
    std::filesystem::path folder_;
    int currentLine_ = 0;
    bool waitedSinceTop_ = false; // a play played, or a delay or pause waited, since line 1
};

} // namespace velmora
