#include "render_script.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "audio/system/system_device.h"
#include "audio/audio_out.h"
#include "audio/live/generator_output.h"
#include "audio/notice_queue.h"
#include "engine/generator.h"
#include "control/preset_memory.h"
#include "control/script_runner.h"
#include "render_play.h"
#include "render_presets.h"
#include "terminal_text.h"

namespace velmora {

namespace {
std::atomic<bool> g_stop{false};
extern "C" void OnStopSignal(int) { g_stop.store(true); }

// One line for the terminal: the window's texts use a carriage return as line break, and
// what a script or a preset file holds is shown with its control characters escaped.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return EscapeControl(text);
}

void Say(const std::string& text) { std::cerr << "velmora-render: " << OneLine(text) << "\n"; }
} // namespace

int PlayScript(const RenderRequest& request, uint32_t seed)
{
    // Read the script first: a file that is not there is bad input, before any device opens.
    ScriptFile script;
    try {
        script = ScriptFile::Read(request.script);
    } catch (const ScriptFileError& e) {
        std::cerr << "velmora-render: " << e.what() << "\n";
        return 2;
    }

    Generator generator;
    generator.uniform.seed(seed);
    ApplyRenderSettings(generator, request);

    SystemAudioDevice device;
    NoticeQueue queue;
    TAudioOut engine(device);
    GeneratorOutput output(generator, engine);
    const std::optional<int32_t> id = RequestedDevice(request, device);
    if (!id) return 3;
    device.setGiveUpAfterMs(request.waitSeconds * 1000);
    engine.setWaveDevice(static_cast<uint32_t>(*id));
    // The runner's own flag (see ScriptHooks): the engine's stop notice, which arrives after
    // the engine has gone inactive, must not cut the delay after a play short.
    bool generatorRunning = false;
    generator.hooks.outputActive = [&] { return engine.Active(); };
    generator.hooks.stopAtOnce = [&] { engine.StopAtOnce(); };
    output.callbacks.runningBehind = [] { std::cerr << "velmora-render: " << kPerformanceMessage << "\n"; };
    output.callbacks.reentered = output.callbacks.runningBehind;

    PresetBank bank(generator);
    // The refusal of the oldest format ends the play with the file's name (loadSettings).
    bank.hooks.notice = [](std::string_view text) {
        if (text != kObsoleteFormatText) Say(std::string(text));
    };

    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    const bool terminal = isatty(STDIN_FILENO);
    bool visible = true;
    auto serve = [&](std::chrono::milliseconds wait) {
        queue.runUntil([] { return g_stop.load(); }, wait);
        if (g_stop.load() && visible) {
            // Interrupted: the script ends after this wait, the output stops.
            visible = false;
            generatorRunning = false;
            engine.StopAtOnce();
        }
    };

    // The preset a play line names, for its error messages.
    std::string presetFile;
    int presetMemory = 0;

    // Messages about a line say which (stdout and stderr may go to different places).
    const ScriptRunner* runner = nullptr;
    auto sayAtLine = [&](const std::string& text) {
        Say("line " + std::to_string(runner ? runner->currentLine() : 0) + ": " + text);
    };

    ScriptHooks h;
    h.windowVisible = [&] { return visible && !g_stop.load(); };
    h.hideWindow = [&] { visible = false; };
    h.showLine = [](const std::string& line) { std::cout << OneLine(line) << std::endl; };
    h.message = [](const std::string& text) { Say(text); };
    h.pause = [&](const std::string& text) {
        std::cout << OneLine(text) << std::endl;
        if (!terminal) return;
        std::cout << "(press Enter to continue)" << std::endl;
        std::string ignored;
        std::getline(std::cin, ignored);
    };
    h.pauseWaits = [&] { return terminal; };
    h.loadSettings = [&](const std::string& file) {
        presetFile = file;
        switch (bank.LoadSettings(file)) {
        case PresetLoad::Loaded:
        case PresetLoad::Imported: break;
        case PresetLoad::Obsolete: throw ScriptPlayError(file + ": " + std::string(kObsoleteFormatText));
        case PresetLoad::Ignored: throw ScriptPlayError(file + ": not a preset file (unknown header)");
        }
    };
    h.memRecall = [&](int n) {
        presetMemory = n;
        if (bank.memory(n).empty()) throw ScriptPlayError(PresetOrigin(presetFile, n) + ": the memory is empty");
        try {
            bank.MemRecall(n);
        } catch (const std::exception& e) {
            throw ScriptPlayError(ExplainPresetFailure(generator, presetFile, n, e.what()));
        }
    };
    h.loop = [&] { return generator.checked({Field::Loop}); };
    h.setLoop = [&](bool on) { generator.setChecked({Field::Loop}, on); };
    h.startsignal = [&] {
        const StartResult started = output.startsignal(queue);
        switch (started.outcome) {
        case StartOutcome::Started:
        case StartOutcome::AlreadyRunning: return PlayStart::Playing;
        case StartOutcome::DeviceError:
            sayAtLine("Sound Device Error: " + engine.ErrorMessage());
            return PlayStart::DeviceFailed;
        case StartOutcome::NotPrepared:
            sayAtLine(ExplainPresetFailure(generator, presetFile, presetMemory, started.message));
            return PlayStart::NotPlayed;
        case StartOutcome::ShortSignal:
            sayAtLine(PresetOrigin(presetFile, presetMemory) + ": " + started.message);
            return PlayStart::NotPlayed;
        }
        return PlayStart::NotPlayed;
    };
    h.outputActive = [&] { return engine.Active(); };
    h.generatorRunning = [&] { return generatorRunning; };
    h.setGeneratorRunning = [&](bool on) { generatorRunning = on; };
    h.waitStep = [&] { serve(std::chrono::milliseconds(100)); };
    h.processEvents = [&] { serve(std::chrono::milliseconds(0)); };

    ScriptRunner scriptRunner(h);
    runner = &scriptRunner;
    // Relative preset paths not found as written are looked up beside the script.
    const ScriptResult result = scriptRunner.run(script, std::filesystem::path(request.script).parent_path());
    if (engine.Active()) engine.StopAtOnce();
    device.waitClosed();
    queue.processPending();
    if (g_stop.load()) return 130;
    switch (result.outcome) {
    case ScriptResult::Ended:
        if (result.missingFiles > 0)
            Say("the script ended, but " + std::to_string(result.missingFiles) +
                (result.missingFiles == 1 ? " play line found no preset file" : " play lines found no preset file"));
        return result.succeeded() ? 0 : 1;
    case ScriptResult::Failed: Say("line " + std::to_string(result.line) + ": " + result.error); return 1;
    case ScriptResult::DeviceFailed: return 3;
    case ScriptResult::Stopped:
    case ScriptResult::Invalid:
    case ScriptResult::Looping:
    case ScriptResult::NotPlayed: return 1;
    }
    return 1;
}

} // namespace velmora
