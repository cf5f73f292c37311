#include "script_runner.h"

#include <exception>

#include "engine/numbers.h"

namespace velmora {

ScriptResult ScriptRunner::run(const std::filesystem::path& file)
{
    folder_ = file.parent_path();
    return runLines(nullptr, &file);
}

ScriptResult ScriptRunner::run(const ScriptFile& script, const std::filesystem::path& folder)
{
    folder_ = folder;
    return runLines(&script, nullptr);
}

void ScriptRunner::message(const std::string& text)
{
    if (hooks_.message) hooks_.message(text);
}

void ScriptRunner::waitWhileRunning(bool untilInactive)
{
    // A play waits for its signal to end (or for Next); a delay's wait is counted by the caller.
    do {
        setRunning(true);
        if (hooks_.waitStep) hooks_.waitStep();
    } while (running() && (!untilInactive || !hooks_.outputActive || hooks_.outputActive()));
    setRunning(false);
}

ScriptResult ScriptRunner::runLines(const ScriptFile* given, const std::filesystem::path* file)
{
    ScriptResult result;
    waitedSinceTop_ = false;
    const bool savedLoop = hooks_.loop ? hooks_.loop() : false;
    if (hooks_.started) hooks_.started();

    // The main window comes back, with the Repeat box as it was, on every way out.
    struct Restore {
        ScriptRunner& r;
        bool loop;
        ~Restore()
        {
            if (r.hooks_.setLoop) r.hooks_.setLoop(loop);
            if (r.hooks_.finished) r.hooks_.finished();
        }
    } restore{*this, savedLoop};

    try {
        ScriptFile read;
        if (!given) read = ScriptFile::Read(*file);
        const ScriptFile& script = given ? *given : read;
        size_t lineNumber = 0;
        while (step(script, lineNumber, result)) {
        }
    } catch (const std::exception& e) {
        result.outcome = ScriptResult::Failed;
        result.error = e.what();
        if (hooks_.hideWindow) hooks_.hideWindow();
    }
    return result;
}

bool ScriptRunner::step(const ScriptFile& script, size_t& lineNumber, ScriptResult& result)
{
    ++lineNumber;
    result.line = static_cast<int>(lineNumber);
    currentLine_ = result.line;
    const ScriptLine line = SplitScriptLine(script.line(lineNumber));
    if (hooks_.showLine) hooks_.showLine(ScriptLabel(static_cast<int>(lineNumber), line));

    bool stop = false;
    auto invalid = [&](const std::string& text) {
        stop = true;
        message(text);
        result.outcome = ScriptResult::Invalid;
        if (hooks_.hideWindow) hooks_.hideWindow();
    };

    switch (CommandOf(line.command)) {
    case ScriptCommand::Play: {
        const std::string file =
            hooks_.fileExists ? FindScriptPreset(line.tail, folder_, hooks_.fileExists) : std::string();
        if (file.empty()) {
            ++result.missingFiles;
            message("FILE NOT FOUND: '" + line.tail + "'.");
            break;
        }
        if (hooks_.loadSettings) hooks_.loadSettings(file);
        const int memory = ScriptStrToInt(line.argument);
        if (memory < 1 || memory > 4) {
            invalid("Invalid preset number in line " + std::to_string(lineNumber));
            break;
        }
        if (hooks_.memRecall) hooks_.memRecall(memory);
        if (hooks_.setLoop) hooks_.setLoop(false);
        const PlayStart start = hooks_.startsignal ? hooks_.startsignal() : PlayStart::Playing;
        if (start != PlayStart::Playing) {
            // The error ends the script at this line; the host has said why.
            stop = true;
            result.outcome = start == PlayStart::DeviceFailed ? ScriptResult::DeviceFailed : ScriptResult::NotPlayed;
            if (hooks_.hideWindow) hooks_.hideWindow();
            break;
        }
        waitedSinceTop_ = true;
        waitWhileRunning(true);
        break;
    }
    case ScriptCommand::Pause:
        if (hooks_.pause) hooks_.pause(PauseText(line));
        if (!hooks_.pauseWaits || hooks_.pauseWaits()) waitedSinceTop_ = true;
        break;
    case ScriptCommand::Delay: {
        waitedSinceTop_ = true;
        int steps = 0;
        do {
            setRunning(true);
            if (hooks_.waitStep) hooks_.waitStep();
            ++steps;
            if (!running()) break;
        } while (steps < IntlStrToFloat(line.argument) * 10);
        setRunning(false);
        break;
    }
    case ScriptCommand::Repeat:
        if (!waitedSinceTop_) {
            // Nothing since the top plays or waits: the script would spin here for ever.
            stop = true;
            message("Endless loop in line " + std::to_string(lineNumber) +
                    ": the script repeats without a play, delay or pause");
            result.outcome = ScriptResult::Looping;
            if (hooks_.hideWindow) hooks_.hideWindow();
            break;
        }
        waitedSinceTop_ = false;
        lineNumber = 0;
        break;
    case ScriptCommand::Rem: break;
    case ScriptCommand::End:
        stop = true;
        result.outcome = ScriptResult::Ended;
        if (hooks_.hideWindow) hooks_.hideWindow();
        break;
    case ScriptCommand::Invalid: invalid("Invalid command in line " + std::to_string(lineNumber)); break;
    }

    // Let the window breathe after every line, so that even a script of nothing but
    // rem and repeat lines can be cancelled.
    if (hooks_.processEvents) hooks_.processEvents();
    while (running() && visible()) {
        if (hooks_.waitStep) hooks_.waitStep();
    }
    return !stop && visible();
}

} // namespace velmora
