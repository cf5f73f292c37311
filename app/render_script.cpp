#include "render_script.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "audio/alsa/alsa_device.h"
#include "audio/audio_out.h"
#include "audio/live/generator_output.h"
#include "audio/notice_queue.h"
#include "engine/generator.h"
#include "control/preset_memory.h"
#include "control/script_runner.h"

namespace velmora {

namespace {
std::atomic<bool> g_stop{false};
extern "C" void OnStopSignal(int) { g_stop.store(true); }

std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}
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

    AlsaDevice device;
    NoticeQueue queue;
    TAudioOut engine(device);
    GeneratorOutput output(generator, engine);
    engine.setWaveDevice(request.device ? static_cast<uint32_t>(*request.device) : 0xFFFFFFFFu);
    // The runner's own flag (see ScriptHooks): the engine's stop notice, which arrives after
    // the engine has gone inactive, must not cut the delay after a play short.
    bool generatorRunning = false;
    generator.hooks.outputActive = [&] { return engine.Active(); };
    generator.hooks.stopAtOnce = [&] { engine.StopAtOnce(); };
    output.callbacks.runningBehind = [] { std::cerr << "velmora-render: " << kPerformanceMessage << "\n"; };
    output.callbacks.reentered = output.callbacks.runningBehind;

    PresetBank bank(generator);
    bank.hooks.notice = [](std::string_view text) { std::cerr << "velmora-render: " << text << "\n"; };

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

    ScriptHooks h;
    h.windowVisible = [&] { return visible && !g_stop.load(); };
    h.hideWindow = [&] { visible = false; };
    h.showLine = [](const std::string& line) { std::cout << line << std::endl; };
    h.message = [](const std::string& text) { std::cerr << "velmora-render: " << text << "\n"; };
    h.pause = [&](const std::string& text) {
        std::cout << text << std::endl;
        if (!terminal) return;
        std::cout << "(press Enter to continue)" << std::endl;
        std::string ignored;
        std::getline(std::cin, ignored);
    };
    h.loadSettings = [&](const std::string& file) { bank.LoadSettings(file); };
    h.memRecall = [&](int n) { bank.MemRecall(n); };
    h.loop = [&] { return generator.checked({Field::Loop}); };
    h.setLoop = [&](bool on) { generator.setChecked({Field::Loop}, on); };
    h.startsignal = [&] {
        const StartResult started = output.startsignal(queue);
        if (started.outcome == StartOutcome::DeviceError)
            std::cerr << "velmora-render: Sound Device Error: " << OneLine(engine.ErrorMessage()) << "\n";
        else if (!started.message.empty())
            std::cerr << "velmora-render: " << OneLine(started.message) << "\n";
    };
    h.outputActive = [&] { return engine.Active(); };
    h.generatorRunning = [&] { return generatorRunning; };
    h.setGeneratorRunning = [&](bool on) { generatorRunning = on; };
    h.waitStep = [&] { serve(std::chrono::milliseconds(100)); };
    h.processEvents = [&] { serve(std::chrono::milliseconds(0)); };

    ScriptRunner runner(h);
    const ScriptResult result = runner.run(script);
    if (engine.Active()) engine.StopAtOnce();
    device.waitClosed();
    queue.processPending();
    if (g_stop.load()) return 130;
    switch (result.outcome) {
    case ScriptResult::Ended: return 0;
    case ScriptResult::Invalid: return 1;
    case ScriptResult::Failed: std::cerr << "velmora-render: " << result.error << "\n"; return 1;
    }
    return 1;
}

} // namespace velmora
