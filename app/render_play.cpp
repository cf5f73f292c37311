#include "render_play.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <sys/time.h>
#include <unistd.h>

#include "audio/alsa/alsa_device.h"
#include "audio/audio_out.h"
#include "audio/device_list.h"
#include "audio/live/generator_output.h"
#include "audio/notice_queue.h"
#include "audio/system/system_device.h"
#include "engine/generator.h"

namespace velmora {

namespace {
std::atomic<bool> g_interrupted{false};
volatile std::sig_atomic_t g_signal = 0;

// The program ends within a second of SIGINT or SIGTERM whatever the sound device does:
// the main loop stops the stream (each wait on the device is bounded), and should that
// not finish in time a timer ends the process with the signal's status.
constexpr long kSignalGraceMs = 950;

extern "C" void OnDeadline(int)
{
    _exit(128 + (g_signal != 0 ? static_cast<int>(g_signal) : SIGINT));
}

extern "C" void OnSignal(int signo)
{
    if (g_signal == 0) {
        g_signal = signo;
        itimerval deadline {};
        deadline.it_value.tv_sec = kSignalGraceMs / 1000;
        deadline.it_value.tv_usec = (kSignalGraceMs % 1000) * 1000;
        setitimer(ITIMER_REAL, &deadline, nullptr);
    }
    g_interrupted.store(true);
}

void InstallSignalHandlers()
{
    struct sigaction sa {};
    sa.sa_handler = OnDeadline;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGALRM, &sa, nullptr);
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// Leaves the process now when a stream was given up while a call into ALSA had not
// returned: its worker may still sit inside the library, which the normal exit's
// clean-up would then race with.
int Finish(int status)
{
    if (AlsaDevice::abandonedStreams() > 0) {
        std::cerr.flush();
        std::cout.flush();
        _exit(status);
    }
    return status;
}

// One line for the terminal: the window's texts use a carriage return as line break.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}
} // namespace

int PlayRequest(const RenderRequest& request, uint32_t seed, bool quiet)
{
    Generator generator;
    generator.uniform.seed(seed);
    ApplyRenderSettings(generator, request);
    MakePeriodsTelling(generator, quiet);
    PrepareRender(generator, true, request); // throws RenderUsageError for settings that cannot play
    std::cerr << LevelLimitNotes(generator);

    SystemAudioDevice device;
    NoticeQueue queue;
    TAudioOut engine(device);
    GeneratorOutput output(generator, engine);
    const std::optional<int32_t> id = RequestedDevice(request, device);
    if (!id) return Finish(3);
    device.setGiveUpAfterMs(request.waitSeconds * 1000);
    engine.setWaveDevice(static_cast<uint32_t>(*id));
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
        return Finish(3);
    case StartOutcome::NotPrepared:
    case StartOutcome::AlreadyRunning:
        std::cerr << "velmora-render: " << OneLine(started.message) << "\n";
        return 2;
    }

    bool stoppedBySignal = false;
    std::string said; // the stream's warning last told
    while (!closed) {
        // The signal handler cannot wake the queue: a short wait keeps the answer prompt.
        queue.runUntil([&] { return closed || g_interrupted.load(); }, std::chrono::milliseconds(40));
        // A server that stops answering is waited for (--wait); the wait and the end of it
        // are told once each, as are a volume that is not 100 % and resampling.
        const std::string warning = device.streamWarning();
        if (warning != said) {
            if (!warning.empty()) std::cerr << "velmora-render: " << warning << "\n";
            else if (said.find("does not answer") != std::string::npos)
                std::cerr << "velmora-render: the sound server answers again\n";
            said = warning;
        }
        if (g_interrupted.load() && !stoppedBySignal) {
            stoppedBySignal = true;
            engine.StopAtOnce(); // bounded: a device that does not answer is given up
            // A stream that had already ended on its own (the engine is idle) while its
            // close is still pending has nothing left to stop.
            if (!engine.WaveDeviceOpen()) device.waitClosed();
            queue.runUntil([&] { return closed; }, std::chrono::milliseconds(100));
            break;
        }
    }
    device.waitClosed();
    if (device.underruns() > 0)
        std::cerr << "velmora-render: " << device.underruns() << " underrun(s) while playing\n";
    const int signo = g_signal;
    if (stoppedBySignal && !generator.settings.Loop) return Finish(128 + (signo != 0 ? signo : SIGINT));
    // A device lost while playing (a sound server killed or frozen) ends the stream early,
    // as if it had ended: the engine keeps the reason.
    if (!stoppedBySignal && (device.streamLost() || !engine.ErrorMessage().empty())) {
        const std::string why = engine.ErrorMessage().empty()
                                    ? device.errorText(device_error::DeviceLost)
                                    : engine.ErrorMessage();
        std::cerr << "velmora-render: Sound Device Error: " << OneLine(why) << "\n";
        return Finish(3);
    }
    return Finish(0);
}

std::optional<int32_t> RequestedDevice(const RenderRequest& request, SystemAudioDevice& device)
{
    if (request.deviceName.empty()) return request.device.value_or(-1);
    const std::vector<std::string> texts = device.listDevices();
    std::string name = request.deviceName;
    if (name.rfind("pipewire:", 0) == 0) name = name.substr(9);
    // A node name is unique; a description may not be: the first entry that has it.
    for (size_t i = 0; i < texts.size(); ++i)
        if (device.deviceKey(static_cast<int32_t>(i)) == name) return static_cast<int32_t>(i);
    for (size_t i = 0; i < texts.size(); ++i)
        if (texts[i] == request.deviceName) return static_cast<int32_t>(i);
    if (request.deviceName == kSystemDefaultDevice) return -1;
    std::cerr << "velmora-render: Sound Device Error: no output device is named '" << OneLine(request.deviceName)
              << "' (velmora-render --list-devices shows them)\n";
    return std::nullopt;
}

int ListDevices()
{
    // The window's list, with what each entry opens: the PipeWire server's default sink
    // ("pipewire") or one of its sinks ("pipewire:" and the sink's node name), or an ALSA
    // device by its ALSA name.
    bool pipeWire = false;
    const std::vector<SystemOutputChoice> devices = systemOutputChoices(&pipeWire);
    std::cout << deviceIdForEntry(0) << "\t" << kSystemDefaultDevice << "\t" << (pipeWire ? "pipewire" : "default")
              << "\n";
    for (size_t i = 0; i < devices.size(); ++i) {
        const bool server = devices[i].backend == SystemOutputChoice::Backend::PipeWire;
        std::cout << deviceIdForEntry(static_cast<int>(i) + 1) << "\t" << devices[i].text << "\t"
                  << (server ? "pipewire:" : "") << devices[i].target << "\n";
    }
    return 0;
}

} // namespace velmora
