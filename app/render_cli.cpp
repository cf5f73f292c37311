#include "render_cli.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <thread>
#include <unistd.h>
#include <cstdio>
#include <cmath>
#include <iostream>

#include "engine/controls.h"
#include "engine/fade.h"
#include "engine/numbers.h"
#include "render_presets.h"
#include "render_refusals.h"

namespace velmora {

namespace {

bool ParseInt(const std::string& text, int64_t& value)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last && first != last;
}

bool IsOutputParameter(const std::string& name)
{
    return name == "SamplingRate" || name == "Quantisation" || name == "Buffers" ||
           name == "BufferSize" || name == "Dither" || name == "AliasFree" ||
           name == "FadeOn" || name == "FadeMs";
}

bool IsSettingArgument(const std::string& arg)
{
    const size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    const std::string name = arg.substr(0, eq);
    return IsOutputParameter(name) || FindControl(name).has_value();
}

void ApplyOutputParameter(RenderRequest& r, const std::string& name, const std::string& value)
{
    int64_t v = 0;
    const bool number = ParseInt(value, v);
    if (name == "SamplingRate") {
        bool listed = false;
        for (int32_t rate : kSamplingRates) listed = listed || (number && v == rate);
        if (!listed)
            throw RenderUsageError("SamplingRate: '" + value +
                                   "' is not one of 8000, 11025, 22050, 44100, 48000, 88200, "
                                   "96000, 176400, 192000, 384000");
        r.samplingRate = static_cast<int32_t>(v);
    } else if (name == "Quantisation") {
        if (value == "32f")
            r.quantisation = kFloatQuantisation;
        else if (number && (v == 16 || v == 24))
            r.quantisation = static_cast<int>(v);
        else
            throw RenderUsageError("Quantisation: '" + value + "' is not 16, 24 or 32f");
    } else if (name == "Dither") {
        if (!number || (v != kDitherNone && v != kDitherTpdf))
            throw RenderUsageError("Dither: '" + value + "' is not 0 (none) or 1 (TPDF)");
        r.dither = static_cast<int>(v);
    } else if (name == "Buffers") {
        if (!number || v < 2 || v > 4) throw RenderUsageError("Buffers: '" + value + "' is not 2, 3 or 4");
        r.buffers = static_cast<int>(v);
    } else if (name == "BufferSize") {
        const bool powerOfTwo = number && v >= 2048 && v <= 65536 && (v & (v - 1)) == 0;
        if (!powerOfTwo)
            throw RenderUsageError("BufferSize: '" + value +
                                   "' is not a power of two from 2048 to 65536");
        r.bufferSize = static_cast<int>(v);
    } else if (name == "AliasFree") {
        if (value != "0" && value != "1") throw RenderUsageError("AliasFree: '" + value + "' is not 0 or 1");
        r.aliasFree = value == "1";
    } else if (name == "FadeOn") {
        if (value != "0" && value != "1") throw RenderUsageError("FadeOn: '" + value + "' is not 0 or 1");
        r.fadeOn = value == "1";
    } else if (name == "FadeMs") {
        if (!number || v < kFadeMsMin || v > kFadeMsMax)
            throw RenderUsageError("FadeMs: '" + value + "' is not a whole number of ms from 1 to 10000");
        r.fadeMs = static_cast<int>(v);
    }
}

} // namespace

RenderRequest ParseRenderArguments(const std::vector<std::string>& args)
{
    RenderRequest r;
    bool outputSeen = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto optionValue = [&](const char* option) -> std::string {
            if (i + 1 >= args.size()) throw RenderUsageError(std::string(option) + " needs a value");
            return args[++i];
        };
        // An option that takes one value, given a second time: which one was meant?
        auto once = [&](bool seen, const char* option) {
            if (seen) throw RenderUsageError(std::string(option) + " is given twice");
        };
        if (a == "--help" || a == "-h") {
            r.help = true;
        } else if (a == "--play") {
            r.play = true;
        } else if (a == "--list-devices") {
            r.listDevices = true;
        } else if (a == "--seed") {
            once(r.seed.has_value(), "--seed");
            const std::string v = optionValue("--seed");
            int64_t seed = 0;
            if (!ParseInt(v, seed) || seed < 0 || seed > UINT32_MAX)
                throw RenderUsageError("--seed: '" + v + "' is not a whole number from 0 to 4294967295");
            r.seed = static_cast<uint32_t>(seed);
        } else if (a == "--wait") {
            const std::string v = optionValue("--wait");
            int64_t seconds = 0;
            if (!ParseInt(v, seconds) || seconds < 1 || seconds > 3600)
                throw RenderUsageError("--wait: '" + v + "' is not a whole number of seconds from 1 to 3600");
            r.waitSeconds = static_cast<int>(seconds);
        } else if (a == "--device") {
            once(r.device.has_value() || !r.deviceName.empty(), "--device");
            const std::string v = optionValue("--device");
            int64_t id = 0;
            if (ParseInt(v, id)) {
                if (id < -1 || id > 1000000)
                    throw RenderUsageError("--device: '" + v + "' is not a device id (-1 for the default)");
                r.device = static_cast<int>(id);
            } else {
                // Not a number: a device's name or description, as --list-devices shows them.
                if (v.empty()) throw RenderUsageError("--device: give a device id, name or description");
                r.deviceName = v;
            }
        } else if (a == "--preset") {
            once(!r.preset.empty(), "--preset");
            r.preset = optionValue("--preset");
            ParsePresetReference(r.preset); // refuses a memory outside 1-4 at once
        } else if (a == "--script") {
            once(!r.script.empty(), "--script");
            r.script = optionValue("--script");
        } else if (a.size() > 1 && a[0] == '-' && a.find('=') == std::string::npos) {
            throw RenderUsageError("unknown option '" + a + "'");
        } else if (IsSettingArgument(a)) {
            const size_t eq = a.find('=');
            const std::string name = a.substr(0, eq);
            const std::string value = a.substr(eq + 1);
            if (IsOutputParameter(name))
                ApplyOutputParameter(r, name, value);
            else
                r.settings.emplace_back(name, value);
        } else if (!outputSeen && !r.play && a.find('=') == std::string::npos) {
            r.output = a;
            outputSeen = true;
        } else if (a.find('=') != std::string::npos) {
            throw RenderUsageError("unknown setting '" + a.substr(0, a.find('=')) + "'");
        } else {
            throw RenderUsageError("unexpected argument '" + a + "'");
        }
    }
    if (!r.script.empty() && !r.play) throw RenderUsageError("--script plays presets; it needs --play");
    if (!r.help && !r.listDevices && !r.play && r.output.empty())
        throw RenderUsageError("missing OUTPUT file (see --help)");
    if (r.play && !r.output.empty()) throw RenderUsageError("--play writes no file; drop '" + r.output + "'");
    if (!r.script.empty() && !r.preset.empty()) throw RenderUsageError("--script and --preset do not go together");
    if (r.listDevices && !r.output.empty())
        throw RenderUsageError("--list-devices writes no file; drop '" + r.output + "'");
    return r;
}

void ApplyRenderSettings(Generator& g, const RenderRequest& r)
{
    g.settings.output.SamplingRate = r.samplingRate;
    g.settings.output.Quantisation = r.quantisation;
    g.settings.output.Dither = r.dither;
    g.settings.output.Buffers = r.buffers;
    g.settings.output.BufferSize = r.bufferSize;
    g.settings.output.AliasFree = r.aliasFree;
    g.settings.output.FadeOn = r.fadeOn;
    g.settings.output.FadeMs = r.fadeMs;
    g.fConstChange(Channel::Left);
    g.fConstChange(Channel::Right);
    if (!r.preset.empty())
        RecallRenderPreset(g, ParsePresetReference(r.preset),
                           [](const std::string& note) { std::cerr << "velmora-render: " << note << "\n"; });

    for (const auto& [name, value] : r.settings) {
        const ControlInfo info = *FindControl(name);
        try {
            switch (info.kind) {
            case ControlKind::Text: {
                double x;
                const bool number = TryIntlStrToFloat(value, x);
                if (!number && !HandlerSkipsText(info.control.field, value)) throw ConversionError(value);
                // The field would clamp a length outside 1..32 before anything else sees it: the
                // refusal names what was given, not what the field made of it.
                if (number && info.control.field == Field::txtMLSLength && !(x >= 1 && x <= 32))
                    throw RenderUsageError(std::string(name) + ": '" + value +
                                           "' is not a length in bits (an MLS 1 to 32, a periodic noise "
                                           "10 to 24, the multitone 12 to 24)");
                g.enterText(info.control, value);
                break;
            }
            case ControlKind::Check:
                if (value != "0" && value != "1")
                    throw RenderUsageError(std::string(name) + ": '" + value + "' is not 0 or 1");
                g.setChecked(info.control, value == "1");
                break;
            case ControlKind::Index: {
                int64_t v = 0;
                if (!ParseInt(value, v) || v < 0 || v >= info.count)
                    throw RenderUsageError(std::string(name) + ": '" + value +
                                           "' is not an item index from 0 to " +
                                           std::to_string(info.count - 1));
                g.selectIndex(info.control, static_cast<int>(v));
                break;
            }
            case ControlKind::Position: {
                int64_t v = 0;
                if (!ParseInt(value, v) || v < 0 || v > info.count)
                    throw RenderUsageError(std::string(name) + ": '" + value +
                                           "' is not a position from 0 to " + std::to_string(info.count));
                g.setPosition(info.control, static_cast<int>(v));
                break;
            }
            }
        } catch (const RenderUsageError&) {
            throw;
        } catch (const std::exception& e) {
            throw RenderUsageError(std::string(name) + ": " + e.what());
        }
    }
}

void PrepareRender(Generator& g, bool keepLoop)
{
    if (!keepLoop) g.settings.Loop = false;
    for (Channel c : kChannels) {
        const bool used = c == Channel::Left || (g.settings.stereo() && !g.settings.chkAsLeft);
        const std::string& length = g.settings[c].txtMLSLength;
        double k = 0;
        const int wave = g.settings[c].WaveForm;
        const int shortest = wave == kMultitone ? kMultitoneMinLength : kPeriodMinLength;
        if (used && HasPeriodLength(wave) &&
            (!TryIntlStrToFloat(length, k) || Generator::PeriodLength(length) < shortest ||
             Generator::PeriodLength(length) > kPeriodMaxLength))
            throw RenderUsageError(std::string(InfoOf({Field::txtMLSLength, c}).name) + ": '" + length +
                                   "' is not a period length of " + std::to_string(shortest) + " to 24 (2^" +
                                   std::to_string(shortest) + " to 2^24 samples)");
        NoiseBand band;
        if (used && IsPeriodicNoise(wave) && !ParseNoiseBand(g.settings[c].cboBand, band))
            throw RenderUsageError(std::string(InfoOf({Field::cboBand, c}).name) + ": '" + g.settings[c].cboBand +
                                   "' is not LOW:HIGH in Hz (0 <= LOW < HIGH) or Full");
        double cycles = 0;
        if (used && wave == kToneBurst && (!TryIntlStrToFloat(g.settings[c].txtCycles, cycles) || !(cycles > 0)))
            throw RenderUsageError(std::string(InfoOf({Field::txtCycles, c}).name) + ": '" +
                                   g.settings[c].txtCycles + "' is not a number of cycles above 0");
        if (used && !g.tonesFit(c)) throw RenderUsageError(g.toneFitMessage(c));
    }
    try {
        g.PrepareSignal();
    } catch (const std::exception& e) {
        throw RenderUsageError(ExplainPrepareFailure(g, e));
    }
    for (Channel c : kChannels) {
        const Recompute rc = g.fConstChange(c);
        if (rc.status == Recompute::ArithmeticFailure)
            throw RenderUsageError(ExplainRecomputeFailure(g, c, rc.message));
        if (!rc) throw RenderUsageError(rc.message);
    }
    if (g.state.TotalSamples < 1)
        throw RenderUsageError("Duration: '" + g.settings.Duration +
                               "' is shorter than one sample at this sampling rate");
    for (Channel c : kChannels) {
        const bool used = c == Channel::Left || (g.settings.stereo() && !g.settings.chkAsLeft);
        if (used && g.settings[c].ModulationOn && g[c].ModPeriod == 0)
            throw RenderUsageError(std::string(InfoOf({Field::ModPeriodEdit, c}).name) +
                                   ": a modulation period of 0 has no modulation frequency");
    }
}

void PrepareRender(Generator& g, bool keepLoop, const RenderRequest& request)
{
    try {
        PrepareRender(g, keepLoop);
    } catch (const RenderUsageError& e) {
        if (request.preset.empty()) throw;
        const std::string field = UnusableTextField(g);
        for (const auto& given : request.settings)
            if (given.first == field) throw; // given on the command line, not by the preset
        const PresetReference p = ParsePresetReference(request.preset);
        throw RenderUsageError(PresetOrigin(p.file, p.memory) + ": " + e.what());
    }
}

void MakePeriodsTelling(Generator& generator, bool quiet)
{
    generator.periods->setMakeAhead(true);
    std::vector<PeriodKey> making = generator.periodsBeingMade();
    generator.periods->setMakeAhead(false);
    if (making.empty()) return;
    int64_t longest = 0;
    for (const PeriodKey& key : making) longest = std::max(longest, PeriodSamples(key));
    const bool tell = !quiet && isatty(STDERR_FILENO);
    const auto start = std::chrono::steady_clock::now();
    int64_t toldSeconds = 0;
    while (!generator.periodsBeingMade().empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const int64_t seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
        if (tell && seconds > toldSeconds) {
            toldSeconds = seconds;
            std::fprintf(stderr, "\rmaking the signal's period (%lld samples): %lld s",
                         static_cast<long long>(longest), static_cast<long long>(seconds));
        }
    }
    if (toldSeconds > 0) std::fprintf(stderr, "\n");
}

std::string LevelLimitNotes(const Generator& g)
{
    std::string notes;
    for (Channel c : kChannels) {
        const bool used = c == Channel::Left || (g.settings.stereo() && !g.settings.chkAsLeft);
        if (!used || !g.levelLimited(c)) continue;
        const double dbfs = 20 * std::log10(g[c].Amplitude * g[c].PeriodScale);
        char level[32];
        std::snprintf(level, sizeof level, "%.2f", dbfs);
        notes += std::string(InfoOf({Field::Amplitude, c}).name) + ": " + g.settings[c].Amplitude +
                 " dBFS would take the noise's peaks past full scale; it plays at " + level + " dBFS\n";
    }
    return notes;
}

std::string RenderUsage()
{
    std::string u =
        "Usage: velmora-render [--seed N] [--preset FILE.zrx:N] OUTPUT.wav [NAME=VALUE ...]\n"
        "       velmora-render --play [--device ID] [--wait S] [--seed N] [--preset FILE.zrx:N] [NAME=VALUE ...]\n"
        "       velmora-render --play [--device ID] --script FILE.zrs [NAME=VALUE ...]\n"
        "       velmora-render --list-devices\n"
        "\n"
        "Renders the signal that the generator's wave export writes for the same settings:\n"
        "the whole duration once, Repeat off. Settings are applied in the order given, after\n"
        "the output parameters; settings not named keep their initial values.\n"
        "\n"
        "Output parameters:\n"
        "  SamplingRate=HZ     8000 11025 22050 44100 48000 88200 96000 176400 192000 384000 (44100)\n"
        "  Quantisation=BITS   16 or 24, or 32f for 32-bit float samples in -1..1 (16)\n"
        "  Dither=N            0 none, 1 TPDF: triangular dither of +-1 LSB before rounding\n"
        "                      16- and 24-bit samples; silent channels stay silent (0)\n"
        "  Buffers=N           2, 3 or 4 ring buffers when playing (4)\n"
        "  BufferSize=BYTES    2048 to 65536, a power of two, when playing (8192)\n"
        "  AliasFree=0|1       square, triangle and sawtooth with only the harmonics below half\n"
        "                      the sampling rate, scaled so that they peak at the level (0)\n"
        "  FadeOn=0|1          half-Hann fades: in at the start, out over the signal's last\n"
        "                      FadeMs, and with --play out at a stop (0)\n"
        "  FadeMs=MS           the fades' length, 1 to 10000 ms (10)\n"
        "\n"
        "Settings (text fields take a number as typed, ',' or '.' as decimal separator;\n"
        "check boxes take 0 or 1; lists take the item index):\n";
    for (const ControlInfo& info : ControlTable()) {
        std::string line = "  " + std::string(info.name) + "=";
        switch (info.kind) {
        case ControlKind::Text: line += info.control.field == Field::cboBand ? "Full|LOW:HIGH" : "NUMBER"; break;
        case ControlKind::Check: line += "0|1"; break;
        case ControlKind::Index: line += "0.." + std::to_string(info.count - 1); break;
        case ControlKind::Position: line += "0.." + std::to_string(info.count); break;
        }
        u += line + "\n";
    }
    u += "\n"
         "Lists: WaveForm* 0 Sine, 1 Square, 2 Triangular, 3 Sawtooth, 4 White Noise, 5 Pink Noise,\n"
         "6 Sine Pulse, 7 Dirac Pulse, 8 Silence, 9 MLS, 10 White Noise (periodic), 11 Pink Noise\n"
         "(periodic), 12 Brown Noise (periodic), 13 Multitone, 14 IMD SMPTE, 15 IMD CCIF, 16 Tone\n"
         "Burst, 17 IMD DIN; cboBurstWindow* 0 Hann, 1 None;\n"
         "ModFunction* 0 Sine, 1 Cosine, 2 Square, 3 Triangular; cboCrestFactor* 0 1.42:1,\n"
         "1 2:1, 2 3:1, 3 4:1, 4 6:1, 5 8:1, 6 10:1;\n"
         "cboChannels 0 Mono, 1 Stereo; cboCorrectionUnits 0 %, 1 cent. chkConstant*=0 selects Sweep.\n"
         "\n"
         "--seed N    seeds the noise source (32-bit), so noise renders repeat exactly\n"
         "--play      plays the signal through the sound device instead of writing a file\n"
         "--device ID the output device for --play (-1, the default, is the system default), or the\n"
         "            device's name or description as --list-devices shows them\n"
         "--wait S    how long --play waits for a sound server that stopped answering before the\n"
         "            device is given up (1 to 3600 seconds, 10 unless given)\n"
         "--preset FILE.zrx:N  recalls memory N (1-4) of a preset file first, as the window does;\n"
         "            the settings given then change it\n"
         "--script FILE.zrs    runs a script with --play: 'pause' waits for Enter on a terminal;\n"
         "            relative preset paths are looked up as written, then beside the script;\n"
         "            exit status 0 at its end with every play played, 1 when it stops short\n"
         "            or a preset file was not found, 3 when the sound device cannot play\n";
    return u;
}

} // namespace velmora
