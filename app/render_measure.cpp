#include "render_measure.h"
#include "render_options.h"

#include <cmath>
#include <cstdio>
#include <iostream>

#include "engine/numbers.h"
#include "engine/settings.h"
#include "measure/deconvolution.h"
#include "measure/impulse_response.h"
#include "measure/sweep.h"
#include "render_cli.h"

namespace velmora {

namespace {

double Number(const std::string& option, const std::string& text, const char* what)
{
    double x = 0;
    if (!TryIntlStrToFloat(text, x) || !std::isfinite(x))
        throw RenderUsageError(option + ": '" + text + "' is not " + what);
    return x;
}

// "A:B" as two numbers.
std::pair<double, double> Pair(const std::string& option, const std::string& text, const char* what)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos) throw RenderUsageError(option + ": '" + text + "' is not " + what);
    return {Number(option, text.substr(0, colon), what), Number(option, text.substr(colon + 1), what)};
}

struct Arguments {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options; // in order; flags have ""
};

Arguments Split(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                const std::vector<std::string>& flags)
{
    Arguments a;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 1 && arg[0] == '-') {
            bool known = false;
            for (const std::string& v : valued)
                if (arg == v) {
                    if (i + 1 >= args.size()) throw RenderUsageError(arg + " needs a value");
                    for (const auto& o : a.options)
                        if (o.first == arg) throw RenderUsageError(arg + " is given twice");
                    a.options.emplace_back(arg, args[++i]);
                    known = true;
                }
            for (const std::string& f : flags)
                if (arg == f) {
                    a.options.emplace_back(arg, "");
                    known = true;
                }
            if (!known) throw RenderUsageError("unknown option '" + arg + "' for a measurement");
        } else {
            a.positional.push_back(arg);
        }
    }
    return a;
}

int WriteSweep(const std::vector<std::string>& args)
{
    const Arguments a = Split(args,
                              {"--measurement-sweep", "--duration", "--pre", "--post", "--fade-octaves", "--inverse",
                               "--level", "--rate", "--bits", "--channels"},
                              {"--marker", "--quiet", "-q"});
    if (a.positional.size() != 1)
        throw RenderUsageError(a.positional.empty() ? "missing SWEEP.wav (see --help)"
                                                    : "unexpected argument '" + a.positional[1] + "'");
    SweepSpec spec;
    bool duration = false;
    std::string inversePath;
    for (const auto& [name, value] : a.options) {
        if (name == "--measurement-sweep") {
            std::tie(spec.f1, spec.f2) = Pair(name, value, "START:END in Hz");
        } else if (name == "--duration") {
            spec.duration = Number(name, value, "a duration in seconds");
            duration = true;
        } else if (name == "--pre") {
            spec.pre = Number(name, value, "a time in seconds");
        } else if (name == "--post") {
            spec.post = Number(name, value, "a time in seconds");
        } else if (name == "--fade-octaves") {
            std::tie(spec.fadeInOctaves, spec.fadeOutOctaves) = Pair(name, value, "IN:OUT in octaves");
        } else if (name == "--inverse") {
            inversePath = value;
        } else if (name == "--level") {
            spec.levelDbfs = Number(name, value, "a level in dBFS");
        } else if (name == "--rate") {
            spec.samplingRate = RenderSamplingRate(value);
        } else if (name == "--bits") {
            if (value != "16" && value != "24" && value != "32f")
                throw RenderUsageError("--bits: '" + value + "' is not 16, 24 or 32f");
            spec.quantisation = value == "32f" ? 32 : std::stoi(value);
        } else if (name == "--channels") {
            if (value == "mono") spec.channels = SweepChannels::Mono;
            else if (value == "both") spec.channels = SweepChannels::Both;
            else if (value == "left") spec.channels = SweepChannels::Left;
            else if (value == "right") spec.channels = SweepChannels::Right;
            else throw RenderUsageError("--channels: '" + value + "' is not mono, both, left or right");
        } else if (name == "--marker") {
            spec.marker = true;
        }
    }
    if (!duration) throw RenderUsageError("--measurement-sweep needs --duration S");
    if (inversePath == a.positional[0]) throw RenderUsageError("--inverse names the sweep file itself");
    const std::string problem = SweepSpecProblem(spec);
    if (!problem.empty()) throw RenderUsageError(problem);
    const Sweep sweep = MakeSweep(spec);
    InverseFilter inverse;
    if (!inversePath.empty()) inverse = MakeInverseFilter(sweep);
    WriteSweepFile(sweep, a.positional[0]);
    if (!inversePath.empty()) {
        try {
            WriteInverseFile(inverse, inversePath);
        } catch (...) {
            std::remove(a.positional[0].c_str());
            throw;
        }
    }
    return 0;
}

int WriteResponses(const std::vector<std::string>& args)
{
    const Arguments a = Split(args, {"--impulse-response", "--sweep", "--harmonics", "--length"},
                              {"--distortion", "--quiet", "-q"});
    std::string recording, sweepPath;
    ImpulseOptions options;
    bool harmonicsGiven = false, distortion = false;
    for (const auto& [name, value] : a.options) {
        if (name == "--impulse-response") {
            recording = value;
        } else if (name == "--sweep") {
            sweepPath = value;
        } else if (name == "--harmonics") {
            const double n = Number(name, value, "a number of harmonics");
            if (n != std::floor(n) || n < 2 || n > kMaxHarmonics)
                throw RenderUsageError("--harmonics: '" + value + "' is not a whole number from 2 to " +
                                       std::to_string(kMaxHarmonics));
            options.harmonics = static_cast<int>(n);
            harmonicsGiven = true;
        } else if (name == "--length") {
            options.seconds = Number(name, value, "a length in seconds");
            if (options.seconds <= 0 || options.seconds > 60)
                throw RenderUsageError("--length: '" + value + "' is not above 0 and at most 60 s");
        } else if (name == "--distortion") {
            distortion = true;
        }
    }
    if (sweepPath.empty()) throw RenderUsageError("--impulse-response needs --sweep SWEEP.wav");
    if (a.positional.size() != 1)
        throw RenderUsageError(a.positional.empty() ? "missing IR.wav (see --help)"
                                                    : "unexpected argument '" + a.positional[1] + "'");
    const std::string& output = a.positional[0];
    if (output == recording || output == sweepPath) throw RenderUsageError("IR.wav names an input file");
    if (distortion && !harmonicsGiven) options.harmonics = 5;
    const ImpulseResponses responses = ImpulseResponse(recording, sweepPath, options);
    WriteImpulseResponses(responses, output);
    if (distortion) {
        for (int c = 0; c < responses.channels(); ++c) {
            if (responses.channels() > 1) std::cout << (c ? "\n" : "") << "channel " << c + 1 << ":\n";
            std::cout << FormatDistortionTable(DistortionTable(responses, c), responses.harmonics());
        }
    }
    return 0;
}

} // namespace

bool IsMeasurementRequest(const std::vector<std::string>& args)
{
    for (const std::string& a : args)
        if (a == "--measurement-sweep" || a == "--impulse-response") return true;
    return false;
}

int RunMeasurement(const std::vector<std::string>& args)
{
    bool sweep = false, response = false;
    for (const std::string& a : args) {
        sweep = sweep || a == "--measurement-sweep";
        response = response || a == "--impulse-response";
    }
    if (sweep && response) throw RenderUsageError("--measurement-sweep and --impulse-response do not go together");
    return sweep ? WriteSweep(args) : WriteResponses(args);
}

std::string MeasurementUsage()
{
    return "\n"
           "Measurement:\n"
           "  velmora-render SWEEP.wav --measurement-sweep F1:F2 --duration S [--pre S] [--post S]\n"
           "      [--fade-octaves IN:OUT] [--marker] [--inverse INVERSE.wav] [--level DBFS]\n"
           "      [--rate HZ] [--bits 16|24|32f] [--channels mono|both|left|right]\n"
           "    writes a synchronised exponential sweep for measurements (peak at --level, -6;\n"
           "    silence --pre 0.5 s before and --post 1 s after; half-Hann fades of 1/12 and\n"
           "    1/24 octave; 48000 Hz, 24 bits, mono); --marker puts a 20 ms chirp 0.5 s before\n"
           "    the sweep, by which a recording started at any moment is aligned; --inverse also\n"
           "    writes the sweep's inverse filter (32-bit float)\n"
           "  velmora-render --impulse-response RECORDING.wav --sweep SWEEP.wav IR.wav\n"
           "      [--harmonics N] [--distortion] [--length S]\n"
           "    writes the linear impulse response of each recorded channel (32-bit float, time\n"
           "    zero at sample 0) and with --harmonics N the harmonic responses IR-h2.wav ..\n"
           "    IR-hN.wav; --distortion prints level, THD and harmonics per third octave (N = 5\n"
           "    unless given); --length sets the linear response's length\n";
}

} // namespace velmora
