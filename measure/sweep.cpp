#include "measure/sweep.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <sstream>

#include "files/wav_reader.h"
#include "measure/measure_error.h"
#include "measure/wave_writing.h"

namespace velmora {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr char kChunkId[] = "vmsw";
constexpr char kChunkTitle[] = "Velmora measurement sweep 1";

std::string Number(double x)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.6g", x);
    return text;
}

std::string Exact(double x)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", x);
    return text;
}

int64_t Frames(double seconds, int32_t rate) { return static_cast<int64_t>(std::nearbyint(seconds * rate)); }

const char* ChannelsName(SweepChannels c)
{
    switch (c) {
    case SweepChannels::Mono: return "mono";
    case SweepChannels::Both: return "both";
    case SweepChannels::Left: return "left";
    case SweepChannels::Right: return "right";
    }
    return "mono";
}

std::vector<uint8_t> ParameterChunk(const Sweep& s)
{
    const SweepSpec& p = s.spec;
    std::string text = std::string(kChunkTitle) + "\n";
    text += "f1=" + Exact(p.f1) + "\nf2=" + Exact(p.f2) + "\nduration=" + Exact(p.duration) +
            "\npre=" + Exact(p.pre) + "\npost=" + Exact(p.post) + "\nfadein=" + Exact(p.fadeInOctaves) +
            "\nfadeout=" + Exact(p.fadeOutOctaves) + "\nlevel=" + Exact(p.levelDbfs) +
            "\nchannels=" + ChannelsName(p.channels) + "\nmarker=" + (p.marker ? "1" : "0") +
            "\nrate=" + std::to_string(p.samplingRate) + "\nbits=" + std::to_string(p.quantisation) +
            "\nL=" + Exact(s.timing.rate) + "\nsweepstart=" + std::to_string(s.timing.sweepStart) +
            "\nsweepframes=" + std::to_string(s.timing.sweepFrames) +
            "\nmarkerstart=" + std::to_string(s.timing.markerStart) + "\n";
    if (text.size() % 2) text += "\n";
    std::vector<uint8_t> chunk(kChunkId, kChunkId + 4);
    const uint32_t size = static_cast<uint32_t>(text.size());
    for (int i = 0; i < 4; ++i) chunk.push_back(static_cast<uint8_t>(size >> (8 * i)));
    chunk.insert(chunk.end(), text.begin(), text.end());
    return chunk;
}

} // namespace

std::string SweepSpecProblem(const SweepSpec& s)
{
    const double nyquist = s.samplingRate / 2.0;
    if (!(s.samplingRate >= 8000 && s.samplingRate <= 384000))
        return "the sampling rate " + std::to_string(s.samplingRate) + " Hz is not from 8000 to 384000 Hz";
    if (s.quantisation != 16 && s.quantisation != 24 && s.quantisation != 32)
        return "the sample format " + std::to_string(s.quantisation) + " is not 16, 24 or 32f";
    if (!(s.f1 > 0) || !std::isfinite(s.f1)) return "the start frequency " + Number(s.f1) + " Hz is not above 0";
    if (!(s.f2 < nyquist))
        return "the end frequency " + Number(s.f2) + " Hz is not below half the sampling rate (" +
               Number(nyquist) + " Hz)";
    if (!(s.f2 > s.f1))
        return "the end frequency " + Number(s.f2) + " Hz is not above the start frequency " + Number(s.f1) + " Hz";
    if (!(s.duration > 0) || !(s.duration <= 3600))
        return "the duration " + Number(s.duration) + " s is not above 0 and at most 3600 s";
    if (std::nearbyint(s.f1 * s.duration / std::log(s.f2 / s.f1)) < 1)
        return "the duration " + Number(s.duration) + " s is too short for a sweep from " + Number(s.f1) + " Hz";
    if (!(s.pre >= 0 && s.pre <= 3600)) return "the silence before " + Number(s.pre) + " s is not from 0 to 3600 s";
    if (!(s.post >= 0 && s.post <= 3600)) return "the silence after " + Number(s.post) + " s is not from 0 to 3600 s";
    const double octaves = std::log2(s.f2 / s.f1);
    if (!(s.fadeInOctaves >= 0) || !(s.fadeOutOctaves >= 0) || !(s.fadeInOctaves + s.fadeOutOctaves <= octaves))
        return "the fades of " + Number(s.fadeInOctaves) + " and " + Number(s.fadeOutOctaves) +
               " octaves do not fit in the sweep's " + Number(octaves) + " octaves";
    if (!(s.levelDbfs <= 0 && s.levelDbfs >= -120))
        return "the level " + Number(s.levelDbfs) + " dBFS is not from -120 to 0 dBFS";
    return {};
}

void ValidateSweepSpec(const SweepSpec& spec)
{
    const std::string problem = SweepSpecProblem(spec);
    if (!problem.empty()) throw MeasureError(problem);
}

SweepTiming TimeSweep(const SweepSpec& s)
{
    ValidateSweepSpec(s);
    SweepTiming t;
    const double octaveLn = std::log(s.f2 / s.f1);
    t.cycles = static_cast<int64_t>(std::nearbyint(s.f1 * s.duration / octaveLn));
    t.rate = static_cast<double>(t.cycles) / s.f1;
    t.sweepSeconds = t.rate * octaveLn;
    t.sweepFrames = Frames(t.sweepSeconds, s.samplingRate);
    t.fadeInFrames = Frames(t.rate * std::numbers::ln2 * s.fadeInOctaves, s.samplingRate);
    t.fadeOutFrames = Frames(t.rate * std::numbers::ln2 * s.fadeOutOctaves, s.samplingRate);
    const int64_t pre = Frames(s.pre, s.samplingRate);
    if (s.marker) {
        t.markerStart = pre;
        t.markerFrames = Frames(kMarkerSeconds, s.samplingRate);
        t.sweepStart = pre + Frames(kMarkerLead, s.samplingRate);
    } else {
        t.sweepStart = pre;
    }
    t.totalFrames = t.sweepStart + t.sweepFrames + Frames(s.post, s.samplingRate);
    return t;
}

std::vector<double> MakeMarker(int32_t rate)
{
    const int64_t n = Frames(kMarkerSeconds, rate);
    const double lo = 200, hi = std::min(16000.0, 0.4 * rate);
    const double seconds = static_cast<double>(n) / rate;
    const int64_t taper = n / 10;
    std::vector<double> m(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        double w = 1;
        if (i < taper) w = 0.5 * (1 - std::cos(kPi * static_cast<double>(i) / static_cast<double>(taper)));
        if (n - 1 - i < taper) w = 0.5 * (1 - std::cos(kPi * static_cast<double>(n - 1 - i) / static_cast<double>(taper)));
        m[static_cast<size_t>(i)] = w * std::sin(2 * kPi * (lo * t + (hi - lo) * t * t / (2 * seconds)));
    }
    return m;
}

Sweep MakeSweep(const SweepSpec& spec)
{
    Sweep s;
    s.spec = spec;
    s.timing = TimeSweep(spec);
    const SweepTiming& t = s.timing;
    const double amplitude = std::pow(10.0, spec.levelDbfs / 20);
    s.samples.assign(static_cast<size_t>(t.totalFrames), 0.0);
    if (spec.marker) {
        const std::vector<double> marker = MakeMarker(spec.samplingRate);
        for (size_t i = 0; i < marker.size(); ++i) s.samples[static_cast<size_t>(t.markerStart) + i] = amplitude * marker[i];
    }
    const double rate = spec.samplingRate;
    const double phaseScale = 2 * kPi * spec.f1 * t.rate;
    const int64_t n = t.sweepFrames;
    for (int64_t i = 0; i < n; ++i) {
        const double time = static_cast<double>(i) / rate;
        // e^(t/L) - 1 through expm1 keeps the phase exact near the start.
        double v = std::sin(phaseScale * std::expm1(time / t.rate));
        if (i < t.fadeInFrames)
            v *= 0.5 * (1 - std::cos(kPi * static_cast<double>(i) / static_cast<double>(t.fadeInFrames)));
        if (n - 1 - i < t.fadeOutFrames)
            v *= 0.5 * (1 - std::cos(kPi * static_cast<double>(n - 1 - i) / static_cast<double>(t.fadeOutFrames)));
        s.samples[static_cast<size_t>(t.sweepStart + i)] = amplitude * v;
    }
    return s;
}

void WriteSweepFile(const Sweep& sweep, const std::string& path, const MeasureProgress& progress,
                    const std::atomic<bool>* cancel)
{
    const SweepSpec& spec = sweep.spec;
    WavFormat format;
    format.channels = spec.channels == SweepChannels::Mono ? 1 : 2;
    format.samplingRate = spec.samplingRate;
    format.floating = spec.quantisation == 32;
    format.bytesPerFrame = format.channels * (spec.quantisation / 8);
    const bool left = spec.channels != SweepChannels::Right;
    const bool right = spec.channels == SweepChannels::Both || spec.channels == SweepChannels::Right;
    OutputFile file(path);
    WriteWave(file, format, ParameterChunk(sweep), sweep.timing.totalFrames,
              [&](int64_t first, int64_t count, double* out) {
                  for (int64_t i = 0; i < count; ++i) {
                      const double v = sweep.samples[static_cast<size_t>(first + i)];
                      if (format.channels == 1) {
                          out[i] = v;
                      } else {
                          out[2 * i] = left ? v : 0.0;
                          out[2 * i + 1] = right ? v : 0.0;
                      }
                  }
              },
              progress, 0, 1, cancel);
    if (Cancelled(cancel)) throw MeasureCancelled();
    file.commit();
}

SweepSpec ReadSweepSpec(const std::string& path)
{
    std::unique_ptr<WavReader> reader;
    try {
        reader = std::make_unique<WavReader>(path);
    } catch (const WavReadError& e) {
        throw MeasureError(e.what());
    }
    const WavChunk* chunk = reader->chunk(kChunkId);
    const std::string notSweep = path + " is not a Velmora measurement sweep";
    if (!chunk) throw MeasureError(notSweep);
    std::istringstream text(std::string(chunk->bytes.begin(), chunk->bytes.end()));
    std::string line;
    if (!std::getline(text, line) || line != kChunkTitle) throw MeasureError(notSweep);
    std::map<std::string, std::string> values;
    while (std::getline(text, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    auto number = [&](const char* key) {
        const auto it = values.find(key);
        if (it == values.end()) throw MeasureError(notSweep + " (its parameters lack " + key + ")");
        try {
            size_t used = 0;
            const double v = std::stod(it->second, &used);
            if (used != it->second.size()) throw std::invalid_argument(key);
            return v;
        } catch (const std::exception&) {
            throw MeasureError(notSweep + " (its parameter " + key + " is damaged)");
        }
    };
    SweepSpec s;
    s.f1 = number("f1");
    s.f2 = number("f2");
    s.duration = number("duration");
    s.pre = number("pre");
    s.post = number("post");
    s.fadeInOctaves = number("fadein");
    s.fadeOutOctaves = number("fadeout");
    s.levelDbfs = number("level");
    s.marker = number("marker") != 0;
    s.samplingRate = static_cast<int32_t>(number("rate"));
    s.quantisation = static_cast<int>(number("bits"));
    const std::string channels = values["channels"];
    s.channels = channels == "both" ? SweepChannels::Both
               : channels == "left" ? SweepChannels::Left
               : channels == "right" ? SweepChannels::Right : SweepChannels::Mono;
    const std::string problem = SweepSpecProblem(s);
    if (!problem.empty()) throw MeasureError(notSweep + " (" + problem + ")");
    const SweepTiming t = TimeSweep(s);
    if (s.samplingRate != reader->samplingRate() || t.sweepStart != static_cast<int64_t>(number("sweepstart")) ||
        t.sweepFrames != static_cast<int64_t>(number("sweepframes")) || reader->frames() < t.totalFrames)
        throw MeasureError(notSweep + " (its parameters do not match its samples)");
    return s;
}

} // namespace velmora
