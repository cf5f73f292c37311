#include "render_play.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>

#include "audio/alsa/alsa_device.h"
#include "audio/alsa/alsa_device_list.h"
#include "audio/audio_out.h"
#include "audio/device_list.h"
#include "audio/live/generator_output.h"
#include "audio/notice_queue.h"
#include "engine/generator.h"

namespace velmora {

namespace {
std::atomic<bool> g_interrupted{false};
extern "C" void OnSignal(int) { g_interrupted.store(true); }

void InstallSignalHandlers()
{
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// One line for the terminal: the window's texts use a carriage return as line break.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}
} // namespace

int PlayRequest(const RenderRequest& request, uint32_t seed)
{
    Generator generator;
    generator.uniform.seed(seed);
    ApplyRenderSettings(generator, request);
    PrepareRender(generator, true); // throws RenderUsageError for settings that cannot play

    AlsaDevice device;
    NoticeQueue queue;
    TAudioOut engine(device);
    GeneratorOutput output(generator, engine);
    engine.setWaveDevice(request.device ? static_cast<uint32_t>(*request.device) : 0xFFFFFFFFu);
    bool closed = false;
    engine.OnStop = [&] { closed = true; };
    generator.hooks.outputActive = [&] { return engine.Active(); };
    generator.hooks.stopAtOnce = [&] { engine.StopAtOnce(); };
    output.callbacks.runningBehind = [] {
        std::cerr << "velmora-render: " << kPerformanceMessage << "\n";
    };
    output.callbacks.reentered = output.callbacks.runningBehind;

    InstallSignalHandlers();
    const StartResult started = output.startsignal(queue);
    switch (started.outcome) {
    case StartOutcome::Started: break;
    case StartOutcome::ShortSignal:
        std::cerr << "velmora-render: Sound Device Error: " << started.message << "\n";
        return 3;
    case StartOutcome::DeviceError:
        std::cerr << "velmora-render: Sound Device Error: " << OneLine(engine.ErrorMessage()) << "\n";
        return 3;
    case StartOutcome::NotPrepared:
    case StartOutcome::AlreadyRunning:
        std::cerr << "velmora-render: " << OneLine(started.message) << "\n";
        return 2;
    }

    bool stoppedBySignal = false;
    while (!closed) {
        queue.runUntil([&] { return closed || g_interrupted.load(); }, std::chrono::milliseconds(200));
        if (g_interrupted.load() && !stoppedBySignal) {
            stoppedBySignal = true;
            engine.StopAtOnce();
        }
    }
    device.waitClosed();
    if (device.underruns() > 0)
        std::cerr << "velmora-render: " << device.underruns() << " underrun(s) while playing\n";
    if (stoppedBySignal && !generator.settings.Loop) return 130;
    return 0;
}

int ListDevices()
{
    // The window's list, with the ALSA device each entry opens.
    std::cout << deviceIdForEntry(0) << "\t" << kSystemDefaultDevice << "\tdefault\n";
    const std::vector<OutputDeviceChoice> devices = alsaOutputDevices();
    for (size_t i = 0; i < devices.size(); ++i)
        std::cout << deviceIdForEntry(static_cast<int>(i) + 1) << "\t" << devices[i].text << "\t" << devices[i].pcm
                  << "\n";
    return 0;
}

} // namespace velmora
