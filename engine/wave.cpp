// The per-sample wave functions and the frame writer. Hot path: no allocation, plain
// field reads only.

#include <cmath>
#include <cstring>
#include <numbers>

#include "generator.h"
#include "oscillator.h"
#include "pcm.h"

namespace velmora {

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;
}

double triangle(double x)
{
    const double a = std::sin(x);
    if (std::fabs(a) == 1) return a;
    return std::atan(a / std::sqrt(1 - a * a)) * 2 / std::numbers::pi;
}

double Generator::modFactor(const ChannelState& s, int function) const
{
    const double t = static_cast<double>(state.SampleCounter) / samplingRate();
    const double a = t * kTwoPi / s.ModPeriod + s.ModPhase;
    double f;
    switch (function) {
    case kModSine: f = std::sin(a); break;
    case kModCosine: f = std::cos(a); break;
    case kModSquare: f = sign(std::sin(a)); break;
    case kModTriangular: f = triangle(a); break;
    default: f = -1; break; // no shape selected: full level
    }
    return 1 - s.ModDepth * 0.5 * (f + 1);
}

double Generator::whiteNoise(Channel c)
{
    const double x = 2 * uniform.next() - 1;
    const double e = (*this)[c].NoiseExponent;
    return sign(x) * (e == 1.0 ? std::fabs(x) : std::pow(std::fabs(x), e));
}

double Generator::pinkNoise(Channel c, int64_t n)
{
    const double b = PinkRowSum(state.PinkRows, state.PinkPartial, n, [this] { return uniform.next(); }) / 6.5 - 1;
    return sign(b) * std::pow(std::fabs(b), (*this)[c].NoiseExponent);
}

double Generator::waveValue(Channel c, int w)
{
    ChannelState& s = (*this)[c];
    const ChannelSettings& cs = settings[c];
    BandLimiter& limiter = bandLimiters_[static_cast<size_t>(c)];
    const bool limited = bandLimited(w);
    if (limited)
        limiter.beginFrame({s.Phase, s.Step, s.TargetStep, s.SweepFactor, s.SweepIncrement, s.SawPrevious},
                           bandLimitRules(c, w), state.SampleCounter);
    else if (limiter.active())
        limiter.reset();

    AdvanceOscillator(s.Phase, s.Step, s.TargetStep, s.SweepFactor, s.SweepIncrement, cs.chkConstant);
    if (cs.ModulationOn) s.ModFactor = modFactor(s, cs.ModFunction);

    const double theta = c == Channel::Left ? s.Phase : s.Phase + s.PhaseOffset;
    const int32_t full = state.FullScale;
    const double g = full * s.Amplitude * s.ModFactor;
    // Rounding is symmetric (to nearest, ties to even) and so is the saturation, so a
    // pulse's polarity may be applied before the sample is rounded.
    switch (w) {
    case kSine: return std::sin(theta) * g;
    case kSquare:
        if (limited) return limiter.value(s.Phase, s.Step, 0) * g;
        return sign(std::sin(theta)) * g;
    case kTriangular:
        if (limited) return limiter.value(s.Phase, s.Step, 0) * g;
        return triangle(theta) * g;
    case kSawtooth: {
        s.SawValue = s.Step / kTwoPi * 2 + s.SawPrevious;
        if (s.SawValue > 1) s.SawValue -= 2;
        const double v = g * (limited ? limiter.value(s.Phase, s.Step, s.SawValue) : s.SawValue);
        s.SawPrevious = s.SawValue;
        return v;
    }
    case kWhiteNoise: return whiteNoise(c) * g;
    case kPinkNoise: return pinkNoise(c, state.SampleCounter) * g;
    case kSinePulse:
        if (state.SampleCounter <= s.PulseLength) return std::sin(theta) * g * PolarityFactor(cs.Logarithmic);
        return 0;
    case kDiracPulse: return state.SampleCounter == 0 ? full * PolarityFactor(cs.Logarithmic) : 0;
    case kSilence: return 0;
    case kMLS: {
        const uint32_t b = MlsStep(s.MlsRegister, s.MlsTaps, s.MlsMask);
        return (2.0 * b - 1) * g;
    }
    case kWhiteNoisePeriodic:
    case kPinkNoisePeriodic:
    case kBrownNoisePeriodic:
    case kMultitone:
    case kImdSmpte:
    case kImdCcif:
    case kToneBurst:
    case kImdDin: {
        if (!s.Period) return 0; // its period is still being made
        const double v = s.Period[PeriodIndex(s, state.SampleCounter)];
        return v * (full * (s.Amplitude * s.PeriodScale) * s.ModFactor);
    }
    default: return 0; // nothing selected: the oscillator still advances
    }
}

int32_t Generator::WaveFunc(int n) { return RoundSample(WaveValue(n), state.FullScale); }

int32_t Generator::WaveFuncMono(int n) { return RoundSample(WaveValueMono(n), state.FullScale); }

double Generator::WaveValue(int n)
{
    return waveValue(WaveIsRight(n) ? Channel::Right : Channel::Left, WaveIndex(n));
}

double Generator::WaveValueMono(int n) { return waveValue(Channel::Left, WaveIsRight(n) ? -1 : WaveIndex(n)); }

FrameChoices Generator::readChoices() const
{
    FrameChoices f;
    f.stereo = settings.stereo();
    f.loop = settings.Loop;
    f.asLeft = settings.chkAsLeft;
    f.wl = WaveNumber(false, settings[Channel::Left].WaveForm);
    f.wr = WaveNumber(true, settings[Channel::Right].WaveForm);
    return f;
}

namespace {
// Whether a wave number plays something that dither may be added to: silence (and no
// selection) stays digital silence.
bool DitherWave(int n)
{
    const int w = WaveIndex(n);
    return w >= 0 && w < kWaveFormCount && w != kSilence;
}
} // namespace

int64_t Generator::writeFramesReference(uint8_t* out, int64_t frames, const FrameChoices& f)
{
    adoptReadyPeriods();
    const OutputSettings& o = settings.output;
    const bool floating = o.floatSamples();
    const int bytesPerSample = o.Quantisation / 8;
    const int32_t full = state.FullScale;
    const int32_t onL = (*this)[Channel::Left].OnFactor;
    const int32_t onR = (*this)[Channel::Right].OnFactor;
    const bool ditherL = o.dithered() && DitherWave(f.wl);
    const bool ditherR = o.dithered() && DitherWave(f.wr);
    // One sample: a float, or rounded (after the dither, drawn left before right) and packed.
    double fade = 1.0; // the fade's gain of the frame being made
    auto put = [&](uint8_t* q, double v, int32_t on, bool dither) {
        if (fade != 1.0) v *= fade;
        if (floating) {
            PackFloat(q, on ? FloatSample(v) : 0.0f); // a channel that is off is exact zeros
            return;
        }
        if (dither) v += TpdfSource::Next(state.DitherState);
        PackSample(q, RoundSample(v, full) * on, bytesPerSample);
    };
    uint8_t* p = out;
    for (int64_t i = 0; i < frames; ++i) {
        const bool live = f.loop || f.wholeSignal || state.SampleCounter < state.TotalSamples;
        const bool faded = inFade(state.SampleCounter, 1, !f.loop);
        fade = faded ? fadeGain(state.SampleCounter, !f.loop) : 1.0;
        if (state.FadeLength > 0) ++state.FadeFrames;
        if (f.stereo) {
            if (live) {
                const double l = WaveValue(f.wl);
                put(p, l, onL, ditherL);
                if (f.asLeft)
                    std::memcpy(p + bytesPerSample, p, static_cast<size_t>(bytesPerSample));
                else
                    put(p + bytesPerSample, WaveValue(f.wr), onR, ditherR);
            } else {
                std::memset(p, 0, static_cast<size_t>(2 * bytesPerSample));
            }
            p += 2 * bytesPerSample;
        } else {
            if (live)
                put(p, WaveValueMono(f.wl), 1, ditherL);
            else
                std::memset(p, 0, static_cast<size_t>(bytesPerSample));
            p += bytesPerSample;
        }
        ++state.SampleCounter;
        if (f.loop && RepetitionEnded(state)) RestartRepetition(f.stereo);
    }
    return p - out;
}

} // namespace velmora
