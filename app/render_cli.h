#pragma once
// Command-line front of velmora-render: reads NAME=VALUE settings into a Generator the way
// the window's controls would set them. Errors are RenderUsageError with a one-line text
// naming the culprit.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/generator.h"

namespace velmora {

class RenderUsageError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct RenderRequest {
    bool help = false;
    bool play = false;
    bool listDevices = false;
    std::optional<uint32_t> seed;
    int waitSeconds = 10;           // --wait S: how long --play waits for a sound server that does not answer
    std::optional<int> device;      // --device ID (-1 = system default)
    std::string deviceName;         // --device NAME: a device's name or description
    std::string output;             // OUTPUT.wav
    std::string preset;             // --preset FILE.zrx:N, recalled before the settings
    std::string script;             // --script FILE.zrs (with --play)
    int32_t samplingRate = 44100;   // SamplingRate=HZ
    int quantisation = 16;          // Quantisation=16|24|32f (32 in the settings)
    int dither = 0;                 // Dither=0|1
    int buffers = 4;                // Buffers=2|3|4 (playing)
    int bufferSize = 8192;          // BufferSize=2048..65536 (playing)
    bool aliasFree = false;         // AliasFree=0|1
    bool fadeOn = false;            // FadeOn=0|1
    int fadeMs = 10;                // FadeMs=1..10000
    std::vector<std::pair<std::string, std::string>> settings; // the rest, in order
};

// Parses the arguments (without the program name).
RenderRequest ParseRenderArguments(const std::vector<std::string>& args);

// Applies the output parameters, then every setting in order, each with its handler.
void ApplyRenderSettings(Generator& generator, const RenderRequest& request);

// Prepares the signal as a start or an export does (Repeat off unless keepLoop) and checks
// that it can be produced: frequencies in range, at least one frame, numbers that convert.
void PrepareRender(Generator& generator, bool keepLoop);
// The same, naming the preset file and memory when the field at fault came from --preset.
void PrepareRender(Generator& generator, bool keepLoop, const RenderRequest& request);

// Makes the periods the signal needs on a worker (a multitone or periodic noise of 2^20
// samples and more takes seconds to minutes); unless `quiet`, a terminal on standard error
// is told so on one line once it has taken a second.
void MakePeriodsTelling(Generator& generator, bool quiet);

// One line per channel whose periodic noise plays below its level, so that its peaks stay
// within full scale; empty when none does.
std::string LevelLimitNotes(const Generator& generator);

std::string RenderUsage();

} // namespace velmora
