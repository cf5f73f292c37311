#include "render_options.h"

#include <array>
#include <charconv>
#include <cctype>
#include <cmath>
#include <optional>
#include <string_view>

#include "engine/fade.h"
#include "engine/numbers.h"
#include "engine/periodic.h"
#include "engine/settings.h"
#include "render_cli.h"

namespace velmora {

namespace {

struct WaveName {
    std::string_view name;
    int index;
};

// The names sox users know come first; "whitenoise" and "pinknoise" are sox's own spellings.
constexpr std::array<WaveName, 20> kWaveNames{{
    {"sine", kSine},
    {"square", kSquare},
    {"triangle", kTriangular},
    {"sawtooth", kSawtooth},
    {"white", kWhiteNoise},
    {"pink", kPinkNoise},
    {"sine-pulse", kSinePulse},
    {"dirac", kDiracPulse},
    {"silence", kSilence},
    {"mls", kMLS},
    {"whitenoise", kWhiteNoise},
    {"pinknoise", kPinkNoise},
    {"white-periodic", kWhiteNoisePeriodic},
    {"pink-periodic", kPinkNoisePeriodic},
    {"brown-periodic", kBrownNoisePeriodic},
    {"multitone", kMultitone},
    {"imd-smpte", kImdSmpte},
    {"imd-ccif", kImdCcif},
    {"burst", kToneBurst},
    {"imd-din", kImdDin},
}};

// The crest factor list's ratios, in list order.
constexpr std::array<double, 7> kCrestRatios{1.42, 2, 3, 4, 6, 8, 10};

enum class Takes { Nothing, Value };

struct OptionInfo {
    std::string_view name;
    Takes takes;
};

constexpr std::array<OptionInfo, 24> kOptions{{
    {"--wave", Takes::Value},      {"--freq", Takes::Value},   {"--sweep", Takes::Value},
    {"--log", Takes::Nothing},     {"--bidirectional", Takes::Nothing},
    {"--level", Takes::Value},     {"--crest", Takes::Value},  {"--duration", Takes::Value},
    {"--rate", Takes::Value},      {"--bits", Takes::Value},   {"--phase", Takes::Value},
    {"--repeat", Takes::Nothing},  {"--right", Takes::Nothing},
    {"--quiet", Takes::Nothing},   {"-q", Takes::Nothing},
    {"--version", Takes::Nothing}, {"--dither", Takes::Value},
    {"--length", Takes::Value},    {"--alias-free", Takes::Nothing},
    {"--fade", Takes::Value},
    {"--cycles", Takes::Value},    {"--burst-window", Takes::Value}, {"--burst-period", Takes::Value},
    {"--band", Takes::Value},
}};

std::optional<OptionInfo> FindOption(std::string_view name)
{
    for (const OptionInfo& o : kOptions)
        if (o.name == name) return o;
    return std::nullopt;
}

// A whole number in plain digits.
bool ParseWhole(const std::string& text, int64_t& value)
{
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size() && !text.empty();
}

std::string Lower(std::string_view text)
{
    std::string s(text);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A number as the window's fields read it, finite; the text itself is passed on unchanged so
// that the setting sees exactly what was typed.
double Number(std::string_view option, const std::string& text, const char* what)
{
    double x = 0;
    if (!TryIntlStrToFloat(text, x) || !std::isfinite(x))
        throw RenderUsageError(std::string(option) + ": '" + text + "' is not " + what);
    return x;
}

void Frequency(std::string_view option, const std::string& text)
{
    if (Number(option, text, "a frequency in Hz") <= 0)
        throw RenderUsageError(std::string(option) + ": '" + text + "' is not a frequency above 0 Hz");
}

int WaveIndex(const std::string& text)
{
    const std::string name = Lower(text);
    for (const WaveName& w : kWaveNames)
        if (w.name == name) return w.index;
    throw RenderUsageError("--wave: '" + text +
                           "' is not one of sine, square, triangle, sawtooth, white, pink, "
                           "sine-pulse, dirac, silence, mls, white-periodic, pink-periodic, brown-periodic, "
                           "multitone, imd-smpte, imd-ccif, burst, imd-din");
}

int CrestIndex(const std::string& text)
{
    std::string ratio = text;
    if (ratio.size() > 2 && ratio.compare(ratio.size() - 2, 2, ":1") == 0) ratio.resize(ratio.size() - 2);
    double x = 0;
    if (TryIntlStrToFloat(ratio, x)) {
        // 1.41 (the square root of 2 as people round it) means the list's 1.42:1 too.
        for (size_t i = 0; i < kCrestRatios.size(); ++i)
            if (std::fabs(x - kCrestRatios[i]) < 0.015) return static_cast<int>(i);
    }
    throw RenderUsageError("--crest: '" + text + "' is not one of 1.42, 2, 3, 4, 6, 8, 10 (or as N:1)");
}

int32_t SamplingRateOf(const std::string& text)
{
    std::string number = text;
    double scale = 1;
    if (!number.empty() && (number.back() == 'k' || number.back() == 'K')) {
        number.pop_back();
        scale = 1000;
    }
    double x = 0;
    if (TryIntlStrToFloat(number, x) && std::isfinite(x)) {
        const double hz = x * scale;
        for (int32_t rate : kSamplingRates)
            if (std::fabs(hz - rate) < 1e-6) return rate;
    }
    throw RenderUsageError("--rate: '" + text +
                           "' is not one of 8000, 11025, 22050, 44100, 48000, 88200, 96000, "
                           "176400, 192000, 384000 (or as 48k)");
}

// What the options said about one channel, to catch contradictions.
struct ChannelUse {
    bool freq = false, sweep = false, log = false, bidirectional = false;
};

} // namespace

int32_t RenderSamplingRate(const std::string& text) { return SamplingRateOf(text); }

RenderOptions TranslateRenderOptions(const std::vector<std::string>& args)
{
    RenderOptions result;
    std::array<ChannelUse, 2> use{};
    // A length given before its channel's wave is given again after it, so that the period
    // it sets the duration to is the new wave's.
    std::array<std::optional<std::string>, 2> lengths;
    Channel channel = Channel::Left;
    bool right = false;
    auto& out = result.args;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // "--freq=1000" as well as "--freq 1000". NAME=VALUE settings never start with "--".
        const size_t eq = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, eq);
        const std::optional<OptionInfo> option = FindOption(name);
        if (!option) {
            out.push_back(arg);
            continue;
        }
        std::string value;
        if (option->takes == Takes::Value) {
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
            } else {
                // An option's value never starts with "--": "--dither --wave sine" lacks one.
                if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0)
                    throw RenderUsageError(name + " needs a value");
                value = args[++i];
            }
        } else if (eq != std::string::npos) {
            throw RenderUsageError(name + " takes no value");
        }

        const std::string side = channel == Channel::Left ? "Left" : "Right";
        ChannelUse& u = use[static_cast<size_t>(index(channel))];
        auto set = [&](const std::string& setting, const std::string& v) { out.push_back(setting + "=" + v); };

        if (name == "--wave") {
            set("WaveForm" + side, std::to_string(WaveIndex(value)));
            if (const auto& length = lengths[static_cast<size_t>(index(channel))]) set("txtMLSLength" + side, *length);
        } else if (name == "--freq") {
            Frequency(name, value);
            u.freq = true;
            set("fInit" + side, value);
        } else if (name == "--sweep") {
            const size_t colon = value.find(':');
            if (colon == std::string::npos || value.find(':', colon + 1) != std::string::npos)
                throw RenderUsageError("--sweep: '" + value + "' is not START:END in Hz");
            const std::string start = value.substr(0, colon), end = value.substr(colon + 1);
            Frequency(name, start);
            Frequency(name, end);
            u.sweep = true;
            // As a person would: both frequencies typed, then Sweep chosen.
            set("fInit" + side, start);
            set("fFinal" + side, end);
            set("chkConstant" + side, "0");
        } else if (name == "--log") {
            u.log = true;
            set("Logarithmic" + side, "1");
        } else if (name == "--bidirectional") {
            u.bidirectional = true;
            set("Bidirectional" + side, "1");
        } else if (name == "--level") {
            const double level = Number(name, value, "a level in dBFS");
            if (level > 0 || level < -100)
                throw RenderUsageError("--level: '" + value + "' is not a level from -100 to 0 dBFS");
            set("Amplitude" + side, value);
        } else if (name == "--crest") {
            set(std::string("cboCrestFactor") + (channel == Channel::Left ? "L" : "R"),
                std::to_string(CrestIndex(value)));
        } else if (name == "--duration") {
            if (Number(name, value, "a duration in seconds") <= 0)
                throw RenderUsageError("--duration: '" + value + "' is not a duration above 0 s");
            set("Duration", value);
        } else if (name == "--rate") {
            set("SamplingRate", std::to_string(SamplingRateOf(value)));
        } else if (name == "--bits") {
            if (value != "16" && value != "24" && value != "32f")
                throw RenderUsageError("--bits: '" + value + "' is not 16, 24 or 32f");
            set("Quantisation", value);
        } else if (name == "--length") {
            lengths[static_cast<size_t>(index(channel))] = value;
            set("txtMLSLength" + side, value);
        } else if (name == "--dither") {
            const std::string v = Lower(value);
            if (v != "none" && v != "tpdf") throw RenderUsageError("--dither: '" + value + "' is not none or tpdf");
            set("Dither", v == "tpdf" ? "1" : "0");
        } else if (name == "--alias-free") {
            set("AliasFree", "1");
        } else if (name == "--fade") {
            int64_t ms = 0;
            if (!ParseWhole(value, ms) || ms < kFadeMsMin || ms > kFadeMsMax)
                throw RenderUsageError("--fade: '" + value + "' is not a whole number of ms from 1 to 10000");
            set("FadeOn", "1");
            set("FadeMs", value);
        } else if (name == "--cycles") {
            if (Number(name, value, "a number of cycles") <= 0)
                throw RenderUsageError("--cycles: '" + value + "' is not a number of cycles above 0");
            set("txtCycles" + side, value);
        } else if (name == "--burst-window") {
            const std::string v = Lower(value);
            if (v != "hann" && v != "none") throw RenderUsageError("--burst-window: '" + value + "' is not hann or none");
            set(std::string("cboBurstWindow") + (channel == Channel::Left ? "L" : "R"), v == "none" ? "1" : "0");
        } else if (name == "--burst-period") {
            // The burst starts every repetition: its period is the repetition's duration.
            if (Number(name, value, "a period in seconds") <= 0)
                throw RenderUsageError("--burst-period: '" + value + "' is not a period above 0 s");
            set("Duration", value);
        } else if (name == "--band") {
            NoiseBand band;
            if (!ParseNoiseBand(value, band))
                throw RenderUsageError("--band: '" + value + "' is not LOW:HIGH in Hz (0 <= LOW < HIGH) or full");
            set(std::string("cboBand") + (channel == Channel::Left ? "L" : "R"), value);
        } else if (name == "--phase") {
            Number(name, value, "a phase in degrees");
            set("PhaseEdit", value);
        } else if (name == "--repeat") {
            set("Loop", "1");
        } else if (name == "--right") {
            if (right) throw RenderUsageError("--right is given twice");
            right = true;
            channel = Channel::Right;
            set("cboChannels", "1");
        } else if (name == "--quiet" || name == "-q") {
            result.quiet = true;
        } else if (name == "--version") {
            result.version = true;
        }
    }

    for (Channel c : kChannels) {
        const ChannelUse& u = use[static_cast<size_t>(index(c))];
        const std::string which = c == Channel::Left ? "the left channel" : "the right channel";
        if (u.freq && u.sweep) throw RenderUsageError("--freq and --sweep both given for " + which);
        if ((u.log || u.bidirectional) && !u.sweep)
            throw RenderUsageError(std::string(u.log ? "--log" : "--bidirectional") +
                                   " shapes a sweep: give --sweep START:END for " + which + " too");
    }
    return result;
}

std::string RenderOptionsUsage()
{
    return "\n"
           "Options for the common signals. Each stands for the settings named in brackets\n"
           "(* is Left, or Right after --right), may come before or after OUTPUT and mixes\n"
           "with NAME=VALUE; --freq=1000 works as well as --freq 1000:\n"
           "  --wave NAME        sine, square, triangle, sawtooth, white, pink, sine-pulse,\n"
           "                     dirac, silence, mls, white-periodic, pink-periodic,\n"
           "                     brown-periodic, multitone, imd-smpte, imd-ccif, burst or\n"
           "                     imd-din (WaveForm*)\n"
           "  --length K         2^K samples: an MLS's register length (1 to 32), a periodic\n"
           "                     noise's period (10 to 24), the multitone's (12 to 24)\n"
           "                     (txtMLSLength*)\n"
           "  --freq HZ          a constant frequency (fInit*); a burst's sine\n"
           "  --cycles N         a burst's cycles, fractions allowed (txtCycles*)\n"
           "  --burst-window hann|none  a burst's window (cboBurstWindowL/R)\n"
           "  --burst-period S   a burst's repetition period: the duration, one burst at the\n"
           "                     start of each repetition (Duration); add --repeat to play on\n"
           "  --band LOW:HIGH    a periodic noise's band in Hz, or full (cboBandL/R)\n"
           "  --sweep START:END  a sweep from START to END Hz (fInit*, fFinal*, chkConstant*=0)\n"
           "  --log              the sweep is logarithmic (Logarithmic*=1)\n"
           "  --bidirectional    with --repeat, every repetition sweeps back the other way\n"
           "                     (Bidirectional*=1)\n"
           "  --level DBFS       the level, -100 to 0 dBFS (Amplitude*)\n"
           "  --crest RATIO      the noise crest factor: 1.42, 2, 3, 4, 6, 8 or 10, also as\n"
           "                     4:1 (cboCrestFactorL/R)\n"
           "  --right            makes the signal stereo; the channel options after it set the\n"
           "                     right channel (cboChannels=1)\n"
           "  --phase DEG        the right channel's phase offset to the left (PhaseEdit)\n"
           "  --duration S       the duration in seconds (Duration)\n"
           "  --repeat           with --play, repeats until stopped (Loop=1); a file holds one\n"
           "                     repetition\n"
           "  --rate HZ          the sampling rate, also as 48k (SamplingRate)\n"
           "  --bits 16|24|32f   the sample size; 32f writes 32-bit float samples (Quantisation)\n"
           "  --dither none|tpdf triangular dither of +-1 LSB before rounding 16- and 24-bit\n"
           "                     samples (Dither=1); --seed repeats it exactly\n"
           "  --alias-free       square, triangle and sawtooth with only the harmonics below\n"
           "                     half the sampling rate, peaking at the level (AliasFree=1)\n"
           "  --fade MS          half-Hann fades over the first and last MS ms (1 to 10000);\n"
           "                     with --play also at a stop (FadeOn=1, FadeMs=MS)\n"
           "  -q, --quiet        no progress display\n"
           "  --version          prints the version\n"
           "\n"
           "OUTPUT '-' writes the wave file to standard output (a pipe or a file, not a terminal):\n"
           "  velmora-render - --wave pink --level -20 --duration 5 | aplay\n"
           "A long render shows its progress on standard error when that is a terminal.\n"
           "Exit status: 0 done, 2 bad input or a file that cannot be written, 3 a sound device\n"
           "that cannot play.\n";
}

} // namespace velmora
