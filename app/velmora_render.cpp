// velmora-render: writes the generator's signal into a wave file, or plays it, without a
// display.

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/generator.h"
#include "files/wave_export.h"
#include "render_cli.h"
#ifdef VELMORA_RENDER_MEASURE
#include "render_measure.h"
#endif
#include "render_options.h"
#include "terminal_text.h"
#ifdef VELMORA_RENDER_PLAY
#include "render_play.h"
#include "render_script.h"
#endif

using namespace velmora;

namespace {

constexpr int kUsageExit = 2;

uint32_t ClockSeed() { return StartSeed(); }

// Progress on a terminal only, and only once a render has run for a while.
class TerminalProgress final {
public:
    explicit TerminalProgress(bool quiet)
        : enabled_(!quiet && isatty(STDERR_FILENO)), start_(Clock::now()), last_(start_) {}
    bool operator()(int64_t done, int64_t total)
    {
        if (!enabled_) return true;
        const auto now = Clock::now();
        if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(250))
            return true;
        last_ = now;
        shown_ = true;
        std::fprintf(stderr, "\rrendering: %3d %%", static_cast<int>(done * 100 / total));
        return true;
    }
    ~TerminalProgress()
    {
        if (shown_) std::fprintf(stderr, "\rrendering: 100 %%\n");
    }

private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_, last_;
};

int Render(const RenderRequest& request, bool quiet)
{
    // "-" is standard output, but never a terminal: a wave file there is only noise.
    const bool toStdout = request.output == "-";
    if (toStdout && isatty(STDOUT_FILENO))
        throw RenderUsageError("standard output is a terminal; pipe or redirect it to take the wave file");
    Generator generator;
    generator.uniform.seed(request.seed ? *request.seed : ClockSeed());
    ApplyRenderSettings(generator, request);
    MakePeriodsTelling(generator, quiet);
    PrepareRender(generator, false, request);
    std::cerr << LevelLimitNotes(generator);
    TerminalProgress progress(quiet);
    const ExportProgress report = [&](int64_t done, int64_t total) { return progress(done, total); };
    if (toStdout)
        WriteWaveData(generator, STDOUT_FILENO, "standard output", report);
    else
        WriteWaveData(generator, request.output, report);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
#ifdef VELMORA_RENDER_MEASURE
        if (IsMeasurementRequest(args)) return RunMeasurement(args);
#endif
        const RenderOptions options = TranslateRenderOptions(args);
        if (options.version) {
            std::cout << "velmora-render " VELMORA_VERSION "\n";
            return 0;
        }
        const RenderRequest request = ParseRenderArguments(options.args);
        if (request.help) {
            std::cout << RenderUsage() << RenderOptionsUsage();
#ifdef VELMORA_RENDER_MEASURE
            std::cout << MeasurementUsage();
#endif
            return 0;
        }
        if (request.play || request.listDevices) {
#ifdef VELMORA_RENDER_PLAY
            if (request.listDevices) return ListDevices();
            if (!request.script.empty()) return PlayScript(request, request.seed ? *request.seed : ClockSeed());
            return PlayRequest(request, request.seed ? *request.seed : ClockSeed(), options.quiet);
#else
            std::cerr << "velmora-render: this build cannot play; write a file instead\n";
            return kUsageExit;
#endif
        }
        return Render(request, options.quiet);
    } catch (const std::exception& e) {
        std::cerr << "velmora-render: " << EscapeControl(e.what()) << "\n";
        return kUsageExit;
    }
}
