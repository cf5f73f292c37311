// The per-sample wave functions and the frame writer. Hot path: no allocation, plain
// field reads only.

#include <cmath>
#include <numbers>

#include "generator.h"
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

int32_t Generator::waveSample(Channel c, int w)
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

    s.Phase += s.Step;
    if (cs.chkConstant) {
        if (s.Step != s.TargetStep) s.Step = s.Step * 0.995 + s.TargetStep * 0.005;
    } else {
        s.Step = s.Step * s.SweepFactor + s.SweepIncrement;
    }
    if (s.Phase > kTwoPi) s.Phase -= kTwoPi;
    if (cs.ModulationOn) s.ModFactor = modFactor(s, cs.ModFunction);

    const double theta = c == Channel::Left ? s.Phase : s.Phase + s.PhaseOffset;
    const int32_t full = state.FullScale;
    const double g = full * s.Amplitude * s.ModFactor;
    switch (w) {
    case kSine: return RoundSample(std::sin(theta) * g, full);
    case kSquare:
        if (limited) return RoundSample(limiter.value(s.Phase, s.Step, 0) * g, full);
        return RoundSample(sign(std::sin(theta)) * g, full);
    case kTriangular:
        if (limited) return RoundSample(limiter.value(s.Phase, s.Step, 0) * g, full);
        return RoundSample(triangle(theta) * g, full);
    case kSawtooth: {
        s.SawValue = s.Step / kTwoPi * 2 + s.SawPrevious;
        if (s.SawValue > 1) s.SawValue -= 2;
        const double value = limited ? limiter.value(s.Phase, s.Step, s.SawValue) : s.SawValue;
        const int32_t v = RoundSample(g * value, full);
        s.SawPrevious = s.SawValue;
        return v;
    }
    case kWhiteNoise: return RoundSample(whiteNoise(c) * g, full);
    case kPinkNoise: return RoundSample(pinkNoise(c, state.SampleCounter) * g, full);
    case kSinePulse:
        if (state.SampleCounter <= s.PulseLength)
            return RoundSample(std::sin(theta) * g, full) * PolarityFactor(cs.Logarithmic);
        return 0;
    case kDiracPulse: return state.SampleCounter == 0 ? full * PolarityFactor(cs.Logarithmic) : 0;
    case kSilence: return 0;
    case kMLS: {
        const uint32_t b = MlsStep(s.MlsRegister, s.MlsTaps, s.MlsMask);
        return RoundSample((2.0 * b - 1) * g, full);
    }
    default: return 0; // nothing selected: the oscillator still advances
    }
}

int32_t Generator::WaveFunc(int n)
{
    if (n < 10) return waveSample(Channel::Left, n);
    return waveSample(Channel::Right, n - 10);
}

int32_t Generator::WaveFuncMono(int n) { return waveSample(Channel::Left, n < 10 ? n : -1); }

FrameChoices Generator::readChoices() const
{
    FrameChoices f;
    f.stereo = settings.stereo();
    f.loop = settings.Loop;
    f.asLeft = settings.chkAsLeft;
    f.wl = settings[Channel::Left].WaveForm;
    f.wr = settings[Channel::Right].WaveForm + 10;
    return f;
}

int64_t Generator::writeFramesReference(uint8_t* out, int64_t frames, const FrameChoices& f)
{
    const int bytesPerSample = settings.output.Quantisation / 8;
    const int32_t onL = (*this)[Channel::Left].OnFactor;
    const int32_t onR = (*this)[Channel::Right].OnFactor;
    uint8_t* p = out;
    for (int64_t i = 0; i < frames; ++i) {
        const bool live = f.loop || f.wholeSignal || state.SampleCounter < state.TotalSamples;
        if (f.stereo) {
            int32_t l = 0, r = 0;
            if (live) {
                l = WaveFunc(f.wl) * onL;
                r = f.asLeft ? l : WaveFunc(f.wr) * onR;
            }
            PackSample(p, l, bytesPerSample);
            PackSample(p + bytesPerSample, r, bytesPerSample);
            p += 2 * bytesPerSample;
        } else {
            PackSample(p, live ? WaveFuncMono(f.wl) : 0, bytesPerSample);
            p += bytesPerSample;
        }
        ++state.SampleCounter;
        if (state.SampleCounter == state.TotalSamples && f.loop) RestartRepetition(f.stereo);
    }
    return p - out;
}

} // namespace velmora
