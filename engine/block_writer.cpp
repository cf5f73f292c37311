// The buffer fill's frame writer, in blocks of up to 256 frames. Making a sample has
// sequential parts (the oscillator with its glide or sweep, the counter and repetitions,
// the random source, the pink rows, the sequence register) and parts that are the same
// function applied to every frame (sin, pow, atan, scaling, packing).
//
// 1. The frame counter of every frame of the block, and where repetitions restart.
// 2. Each channel's oscillator runs through the block on its own: the channels share no
//    oscillator state, so their order does not matter.
// 3. The random source is drawn frame by frame, left before right, exactly in the order of
//    the wave function, for the channels that play noise (they share the source and the
//    pink rows).
// 4. sin, pow and atan over whole arrays with vector instructions; modulation factors.
// 5. Scaling, rounding, packing.
// The results equal the wave function's but for the vector functions' last bits (at most
// 1 LSB in a sample); the running state afterwards is the same to the bit.
//
// Steps 1-3 (makeBlock) change the generator's state and run on its thread (the window's,
// inside a fill); steps 4-5 (FinishFrameBlock) read only their block and may run on any
// thread. Nothing here allocates.

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "generator.h"
#include "oscillator.h"
#include "pcm.h"
#include "vector_math.h"

namespace velmora {

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// The loops over whole blocks are built for the widest vector unit the processor has. The
// clones are chosen by a resolver that runs while the program is being loaded, before a
// thread sanitizer's run time is ready, so a build for that sanitizer goes without them;
// clang cannot clone the templates among them, so there they are built once.
#if defined(__clang__) || defined(VELMORA_NO_VECTOR_CLONES)
#define VELMORA_VECTOR_CLONES
#else
#define VELMORA_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif

// RoundSample without branches, so that the loops below vectorise: the value is limited to
// just beyond full scale, rounded by adding and removing 1.5 * 2^52 (to nearest, ties to
// even), limited to full scale, and a value that is not a number becomes 0.
inline int32_t RoundSampleFlat(double v, double full)
{
    constexpr double kMagic = 6755399441055744.0;
    const double limit = full + 1;
    v = v < -limit ? -limit : v;
    v = v > limit ? limit : v;
    double r = (v + kMagic) - kMagic;
    r = r > full ? full : r;
    r = r < -full ? -full : r;
    r = r == r ? r : 0.0;
    return static_cast<int32_t>(r);
}

// x := x * mul + add for every frame, then split into sign and magnitude: the noise
// sources' value before shaping (white: 2u - 1; pink: sum / 6.5 - 1, as sum * (1 / 6.5),
// within an ulp of the division).
VELMORA_VECTOR_CLONES
void NoiseSignAndMagnitude(double* x, double* sign, int n, double mul, double add)
{
    for (int i = 0; i < n; ++i) {
        const double v = x[i] * mul + add;
        sign[i] = v < 0 ? -1.0 : 1.0;
        x[i] = v < 0 ? -v : v;
    }
}

VELMORA_VECTOR_CLONES
void Multiply(const double* a, double* b, int n)
{
    for (int i = 0; i < n; ++i) b[i] = a[i] * b[i];
}

// The modulation argument from the frame counter, a = counter / fs * 2 pi / period + phase,
// exactly so: the square shape switches where sin a changes sign, and an argument a bit
// off would switch a frame early or late. After the shape function, the factor
// 1 - depth * 0.5 * (f + 1).
VELMORA_VECTOR_CLONES
void ModulationArgument(double* m, int n, double fs, double period, double phase)
{
    for (int i = 0; i < n; ++i) m[i] = m[i] / fs * (2.0 * std::numbers::pi) / period + phase;
}

VELMORA_VECTOR_CLONES
void ModulationFactor(double* m, int n, double depth)
{
    for (int i = 0; i < n; ++i) m[i] = 1 - depth * 0.5 * (m[i] + 1);
}

VELMORA_VECTOR_CLONES
void ScaleSteady(const double* value, double gain, double full, int32_t* out, int n)
{
    for (int i = 0; i < n; ++i) out[i] = RoundSampleFlat(value[i] * gain, full);
}

VELMORA_VECTOR_CLONES
void ScaleModulated(const double* value, double level, const double* mod, double full, int32_t* out, int n)
{
    for (int i = 0; i < n; ++i) out[i] = RoundSampleFlat(value[i] * (level * mod[i]), full);
}

VELMORA_VECTOR_CLONES
void ScaleSteadyDithered(const double* value, double gain, const double* dither, double full, int32_t* out, int n)
{
    for (int i = 0; i < n; ++i) out[i] = RoundSampleFlat(value[i] * gain + dither[i], full);
}

VELMORA_VECTOR_CLONES
void ScaleModulatedDithered(const double* value, double level, const double* mod, const double* dither,
                            double full, int32_t* out, int n)
{
    for (int i = 0; i < n; ++i) out[i] = RoundSampleFlat(value[i] * (level * mod[i]) + dither[i], full);
}

// Float samples: the same products, limited to -1..1 instead of rounded.
VELMORA_VECTOR_CLONES
void ScaleSteadyFloat(const double* value, double gain, float* out, int n)
{
    for (int i = 0; i < n; ++i) out[i] = FloatSample(value[i] * gain);
}

VELMORA_VECTOR_CLONES
void ScaleModulatedFloat(const double* value, double level, const double* mod, float* out, int n)
{
    for (int i = 0; i < n; ++i) out[i] = FloatSample(value[i] * (level * mod[i]));
}
} // namespace

template <int W>
void Generator::oscillatorPass(Channel c, ChannelBlock& b, const FrameBlock& fr, bool restarts)
{
    ChannelState& s = (*this)[c];
    const ChannelSettings& cs = settings[c];
    const bool constant = cs.chkConstant;
    const bool bidirectional = cs.Bidirectional;
    const bool modulated = cs.ModulationOn;
    const bool left = c == Channel::Left;
    double phase = s.Phase, step = s.Step, target = s.TargetStep;
    double factor = s.SweepFactor, increment = s.SweepIncrement;
    const double offset = left ? 0.0 : s.PhaseOffset;
    double sawPrevious = s.SawPrevious, sawValue = s.SawValue;
    uint32_t reg = s.MlsRegister;
    const int32_t polarity = PolarityFactor(cs.Logarithmic);
    for (int i = 0; i < fr.live; ++i) {
        AdvanceOscillator(phase, step, target, factor, increment, constant);
        if (modulated) b.mod[i] = static_cast<double>(fr.counter[i]); // the time, later
        const double theta = left ? phase : phase + offset;
        if constexpr (W == kSine || W == kSquare || W == kTriangular) b.arg[i] = theta;
        if constexpr (W == kSinePulse) {
            b.arg[i] = theta;
            b.scale[i] = fr.counter[i] <= s.PulseLength ? polarity : 0;
        }
        if constexpr (W == kSawtooth) {
            sawValue = step / kTwoPi * 2 + sawPrevious;
            if (sawValue > 1) sawValue -= 2;
            b.value[i] = sawValue;
            sawPrevious = sawValue;
        }
        if constexpr (W == kDiracPulse) b.direct[i] = fr.counter[i] == 0 ? state.FullScale * polarity : 0;
        if constexpr (W == kMLS) b.value[i] = 2.0 * MlsStep(reg, s.MlsTaps, s.MlsMask) - 1;
        if constexpr (IsPeriodicSignal(W))
            b.value[i] = s.Period ? s.Period[PeriodIndex(s, fr.counter[i])] : 0.0;
        if constexpr (W == kSilence || W < 0 || W >= kWaveFormCount) b.direct[i] = 0;
        if (restarts && fr.restartAfter[i] && !constant) // the repetition's restart of the sweep
            RestartSweep(step, target, factor, increment, bidirectional, kTwoPi * s.StartNorm);
    }
    s.Phase = phase;
    s.Step = step;
    s.TargetStep = target;
    s.SweepFactor = factor;
    s.SweepIncrement = increment;
    s.SawPrevious = sawPrevious;
    s.SawValue = sawValue;
    s.MlsRegister = reg;
}

// The alias-free square, triangle and sawtooth: the same oscillator, each frame's value from
// the channel's band limiter (which the wave function uses too, so both agree to the bit).
void Generator::bandLimitedPass(Channel c, int w, ChannelBlock& b, const FrameBlock& fr, bool restarts)
{
    ChannelState& s = (*this)[c];
    const ChannelSettings& cs = settings[c];
    BandLimiter& limiter = bandLimiters_[static_cast<size_t>(c)];
    const OscillatorRules rules = bandLimitRules(c, w);
    const bool constant = cs.chkConstant;
    const bool bidirectional = cs.Bidirectional;
    const bool modulated = cs.ModulationOn;
    double phase = s.Phase, step = s.Step, target = s.TargetStep;
    double factor = s.SweepFactor, increment = s.SweepIncrement;
    double sawPrevious = s.SawPrevious, sawValue = s.SawValue;
    for (int i = 0; i < fr.live; ++i) {
        limiter.beginFrame({phase, step, target, factor, increment, sawPrevious}, rules, fr.counter[i]);
        AdvanceOscillator(phase, step, target, factor, increment, constant);
        if (modulated) b.mod[i] = static_cast<double>(fr.counter[i]);
        if (w == kSawtooth) {
            sawValue = step / kTwoPi * 2 + sawPrevious;
            if (sawValue > 1) sawValue -= 2;
            b.value[i] = limiter.value(phase, step, sawValue);
            sawPrevious = sawValue;
        } else {
            b.value[i] = limiter.value(phase, step, 0);
        }
        if (restarts && fr.restartAfter[i] && !constant) // the repetition's restart of the sweep
            RestartSweep(step, target, factor, increment, bidirectional, kTwoPi * s.StartNorm);
    }
    s.Phase = phase;
    s.Step = step;
    s.TargetStep = target;
    s.SweepFactor = factor;
    s.SweepIncrement = increment;
    s.SawPrevious = sawPrevious;
    s.SawValue = sawValue;
}

void Generator::oscillatorPass(Channel c, int w, ChannelBlock& b, const FrameBlock& fr, bool restarts)
{
    BandLimiter& limiter = bandLimiters_[static_cast<size_t>(c)];
    if (bandLimited(w)) return bandLimitedPass(c, w, b, fr, restarts);
    if (limiter.active()) limiter.reset();
    switch (w) {
    case kSine: oscillatorPass<kSine>(c, b, fr, restarts); break;
    case kSquare: oscillatorPass<kSquare>(c, b, fr, restarts); break;
    case kTriangular: oscillatorPass<kTriangular>(c, b, fr, restarts); break;
    case kSawtooth: oscillatorPass<kSawtooth>(c, b, fr, restarts); break;
    case kWhiteNoise: oscillatorPass<kWhiteNoise>(c, b, fr, restarts); break;
    case kPinkNoise: oscillatorPass<kPinkNoise>(c, b, fr, restarts); break;
    case kSinePulse: oscillatorPass<kSinePulse>(c, b, fr, restarts); break;
    case kDiracPulse: oscillatorPass<kDiracPulse>(c, b, fr, restarts); break;
    case kMLS: oscillatorPass<kMLS>(c, b, fr, restarts); break;
    case kWhiteNoisePeriodic: oscillatorPass<kWhiteNoisePeriodic>(c, b, fr, restarts); break;
    case kPinkNoisePeriodic: oscillatorPass<kPinkNoisePeriodic>(c, b, fr, restarts); break;
    case kBrownNoisePeriodic: oscillatorPass<kBrownNoisePeriodic>(c, b, fr, restarts); break;
    case kMultitone: oscillatorPass<kMultitone>(c, b, fr, restarts); break;
    case kImdSmpte: oscillatorPass<kImdSmpte>(c, b, fr, restarts); break;
    case kImdCcif: oscillatorPass<kImdCcif>(c, b, fr, restarts); break;
    case kToneBurst: oscillatorPass<kToneBurst>(c, b, fr, restarts); break;
    case kImdDin: oscillatorPass<kImdDin>(c, b, fr, restarts); break;
    default: oscillatorPass<kSilence>(c, b, fr, restarts); break;
    }
}

void Generator::randomPass(FrameBlock& fr)
{
    const int count = fr.count;
    const int waves[2] = {fr.params[0].wave, fr.params[1].wave};
    ChannelBlock* blocks = fr.channels.data();
    // Frame by frame, the channels in order: the draws come in the wave function's order.
    // The source's state and the rows are worked on in local copies, which the compiler
    // can keep in registers, and written back at the end.
    uint32_t x = uniform.state();
    auto draw = [&x] { return UniformSource::Next(x); };
    std::array<double, 13> rows = state.PinkRows;
    std::array<double, 14> partial = state.PinkPartial;
    if (count == 2 && waves[0] == kPinkNoise && waves[1] == kPinkNoise) {
        for (int i = 0; i < fr.live; ++i)
            PinkRowSumPair(rows, partial, fr.counter[i], draw, blocks[0].arg[i], blocks[1].arg[i]);
    } else {
    for (int i = 0; i < fr.live; ++i)
        for (int k = 0; k < count; ++k) {
            if (waves[k] == kWhiteNoise)
                blocks[k].arg[i] = draw();
            else if (waves[k] == kPinkNoise)
                blocks[k].arg[i] = PinkRowSum(rows, partial, fr.counter[i], draw);
        }
    }
    uniform.seed(x);
    state.PinkRows = rows;
    state.PinkPartial = partial;
}

void Generator::ditherPass(FrameBlock& fr)
{
    // Frame by frame, left before right: the order of the wave function's draws.
    uint64_t x = state.DitherState;
    for (int i = 0; i < fr.live; ++i)
        for (int k = 0; k < fr.count; ++k)
            if (fr.params[k].dithered) fr.channels[k].dither[i] = TpdfSource::Next(x);
    state.DitherState = x;
}

namespace {
// sign(sin x) over an array; `out` may be `x`.
void VecSquare(const double* x, double* out, int n)
{
    VecSin(x, out, n);
    for (int i = 0; i < n; ++i) out[i] = sign(out[i]);
}

// triangle(x) = atan(a / sqrt(1 - a^2)) * 2 / pi with a = sin x, or a when |a| = 1, over an
// array. `scratch` holds n values and may be `x` (read only before it is used); `out` may
// be `x` too, but not both.
void VecTriangle(const double* x, double* out, double* scratch, int n)
{
    // The arguments stay readable below: in `x`, or in `scratch` when `out` overwrites `x`.
    const double* arg = x;
    if (out == x) {
        std::memcpy(scratch, x, sizeof(double) * static_cast<size_t>(n));
        arg = scratch;
    }
    VecSin(x, out, n);
    for (int i = 0; i < n; ++i) {
        // Near a peak the triangle magnifies the sine's last bit without bound (where the
        // exact sine rounds to 1 the vector one may give 1 - 2^-53): there the C library's
        // sine is taken, as the one-sample path does.
        if (std::fabs(out[i]) > 1 - 1e-12) out[i] = std::sin(arg[i]);
        scratch[i] = out[i] / std::sqrt(1 - out[i] * out[i]);
    }
    VecAtan(scratch, scratch, n);
    for (int i = 0; i < n; ++i)
        if (std::fabs(out[i]) != 1) out[i] = scratch[i] * 2 / std::numbers::pi;
}

// sin, pow and atan over the block, then the modulation factors.
void ShapeChannel(const ChannelBlockParams& s, double fs, ChannelBlock& b, int n)
{
    const int w = s.wave;
    switch (s.shaped ? -1 : w) {
    case kSine:
    case kSinePulse: VecSin(b.arg.data(), b.value.data(), n); break;
    case kSquare: VecSquare(b.arg.data(), b.value.data(), n); break;
    case kTriangular: VecTriangle(b.arg.data(), b.value.data(), b.arg.data(), n); break;
    case kWhiteNoise:
    case kPinkNoise:
        // x = 2u - 1 (white) or the pink value; the source returns sign(x) * |x|^e.
        NoiseSignAndMagnitude(b.arg.data(), b.scale.data(), n, w == kWhiteNoise ? 2.0 : 1 / 6.5, -1.0);
        if (w == kWhiteNoise && s.noiseExponent == 1.0)
            std::memcpy(b.value.data(), b.arg.data(), sizeof(double) * static_cast<size_t>(n));
        else
            VecPow(b.arg.data(), s.noiseExponent, b.value.data(), n);
        Multiply(b.scale.data(), b.value.data(), n);
        break;
    default: break;
    }

    if (!s.modulated) return;
    // The modulation factor of every frame from its counter: t = counter / fs,
    // a = t * 2 pi / period + phase, factor = 1 - depth * 0.5 * (f(a) + 1).
    ModulationArgument(b.mod.data(), n, fs, s.modPeriod, s.modPhase);
    switch (s.modFunction) {
    case kModSine: VecSin(b.mod.data(), b.mod.data(), n); break;
    case kModCosine: VecCos(b.mod.data(), b.mod.data(), n); break;
    case kModSquare: VecSquare(b.mod.data(), b.mod.data(), n); break;
    case kModTriangular: {
        std::array<double, kFrameBlock> scratch;
        VecTriangle(b.mod.data(), b.mod.data(), scratch.data(), n);
        break;
    }
    default:
        for (int i = 0; i < n; ++i) b.mod[i] = -1;
        break;
    }
    ModulationFactor(b.mod.data(), n, s.modDepth);
}

// Scaling and rounding (after the dither, when dithered); returns the modulation factor of
// the last frame.
double SampleChannel(const ChannelBlockParams& s, int32_t full, ChannelBlock& b, int n)
{
    const int w = s.wave;
    const bool modulated = s.modulated;
    // The gain of each sample is full scale x level x modulation factor, in that order.
    const double level = full * s.amplitude;
    const double steady = level * s.modFactor;
    const double* d = b.dither.data();
    switch (w) {
    case kSine:
    case kSquare:
    case kTriangular:
    case kSawtooth:
    case kWhiteNoise:
    case kPinkNoise:
    case kMLS:
    case kWhiteNoisePeriodic:
    case kPinkNoisePeriodic:
    case kBrownNoisePeriodic:
    case kMultitone:
    case kImdSmpte:
    case kImdCcif:
    case kToneBurst:
    case kImdDin:
        if (s.dithered) {
            if (modulated)
                ScaleModulatedDithered(b.value.data(), level, b.mod.data(), d, full, b.sample.data(), n);
            else
                ScaleSteadyDithered(b.value.data(), steady, d, full, b.sample.data(), n);
        } else if (modulated) {
            ScaleModulated(b.value.data(), level, b.mod.data(), full, b.sample.data(), n);
        } else {
            ScaleSteady(b.value.data(), steady, full, b.sample.data(), n);
        }
        break;
    case kSinePulse:
        for (int i = 0; i < n; ++i) {
            const double g = modulated ? level * b.mod[i] : steady;
            const double v = b.scale[i] == 0 ? 0.0 : b.value[i] * g * b.scale[i];
            b.sample[i] = s.dithered ? RoundSample(v + d[i], full)
                          : b.scale[i] == 0 ? 0 : RoundSample(b.value[i] * g, full) * static_cast<int32_t>(b.scale[i]);
        }
        break;
    default:
        for (int i = 0; i < n; ++i) b.sample[i] = s.dithered ? RoundSample(b.direct[i] + d[i], full) : b.direct[i];
        break;
    }
    return modulated && n > 0 ? b.mod[static_cast<size_t>(n) - 1] : s.modFactor;
}

// The waves whose block holds values to scale by the level (the oscillator's, the noises',
// the sequence's and every periodic signal's); the pulses and silence write samples directly.
constexpr bool ScalesValue(int w)
{
    return (w >= kSine && w <= kPinkNoise) || w == kMLS || IsPeriodicSignal(w);
}

// A block in a fade: the same products as above, frame by frame, times the fade's gain,
// then (after the dither) rounded, or limited to -1..1 for float samples.
double SampleChannelFaded(const ChannelBlockParams& s, int32_t full, bool floating, const double* fade,
                          ChannelBlock& b, int n)
{
    const bool modulated = s.modulated;
    const double level = floating ? s.amplitude : full * s.amplitude;
    const double steady = level * s.modFactor;
    const double* d = b.dither.data();
    for (int i = 0; i < n; ++i) {
        const double g = modulated ? level * b.mod[i] : steady;
        double x;
        if (s.wave == kSinePulse)
            x = b.scale[i] == 0 ? 0.0 : b.value[i] * g * b.scale[i];
        else if (ScalesValue(s.wave))
            x = b.value[i] * g;
        else
            x = b.direct[i];
        x *= fade[i];
        if (floating) {
            b.fsample[i] = FloatSample(x);
        } else {
            if (s.dithered) x += d[i];
            b.sample[i] = RoundSample(x, full);
        }
    }
    return modulated && n > 0 ? b.mod[static_cast<size_t>(n) - 1] : s.modFactor;
}

// The same for float samples: the products in -1..1, unrounded (full scale is 1).
double SampleChannelFloat(const ChannelBlockParams& s, ChannelBlock& b, int n)
{
    const bool modulated = s.modulated;
    const double level = s.amplitude;
    const double steady = level * s.modFactor;
    switch (s.wave) {
    case kSine:
    case kSquare:
    case kTriangular:
    case kSawtooth:
    case kWhiteNoise:
    case kPinkNoise:
    case kMLS:
    case kWhiteNoisePeriodic:
    case kPinkNoisePeriodic:
    case kBrownNoisePeriodic:
    case kMultitone:
    case kImdSmpte:
    case kImdCcif:
    case kToneBurst:
    case kImdDin:
        if (modulated)
            ScaleModulatedFloat(b.value.data(), level, b.mod.data(), b.fsample.data(), n);
        else
            ScaleSteadyFloat(b.value.data(), steady, b.fsample.data(), n);
        break;
    case kSinePulse:
        for (int i = 0; i < n; ++i) {
            const double g = modulated ? level * b.mod[i] : steady;
            b.fsample[i] = b.scale[i] == 0 ? 0.0f : FloatSample(b.value[i] * g * b.scale[i]);
        }
        break;
    default:
        for (int i = 0; i < n; ++i) b.fsample[i] = static_cast<float>(b.direct[i]);
        break;
    }
    return modulated && n > 0 ? b.mod[static_cast<size_t>(n) - 1] : s.modFactor;
}
} // namespace

namespace {
template <int Bps>
VELMORA_VECTOR_CLONES void PackMono(uint8_t* p, const int32_t* s, int n)
{
    for (int i = 0; i < n; ++i, p += Bps) PackSample(p, s[i], Bps);
}
// Float samples; a channel that is off is exact zeros.
void PackMonoFloat(uint8_t* p, const float* s, int n)
{
    for (int i = 0; i < n; ++i, p += 4) PackFloat(p, s[i]);
}
void PackStereoFloat(uint8_t* p, const float* l, int32_t lf, const float* r, int32_t rf, int n)
{
    for (int i = 0; i < n; ++i, p += 8) {
        PackFloat(p, lf ? l[i] : 0.0f);
        PackFloat(p + 4, rf ? r[i] : 0.0f);
    }
}
template <int Bps>
VELMORA_VECTOR_CLONES void PackStereo(uint8_t* p, const int32_t* l, int32_t lf, const int32_t* r, int32_t rf, int n)
{
    for (int i = 0; i < n; ++i, p += 2 * Bps) {
        PackSample(p, l[i] * lf, Bps);
        PackSample(p + Bps, r[i] * rf, Bps);
    }
}
} // namespace

bool Generator::makeBlock(FrameBlock& fr, int64_t frames, const FrameChoices& f)
{
    adoptReadyPeriods();
    const bool right = f.stereo && !f.asLeft;
    // A right wave number computes the right channel, as WaveFunc does; numbers outside a
    // channel's list still advance that channel's oscillator.
    const Channel chans[2] = {WaveIsRight(f.wl) ? Channel::Right : Channel::Left,
                              WaveIsRight(f.wr) ? Channel::Right : Channel::Left};
    const int waves[2] = {WaveIndex(f.wl), WaveIndex(f.wr)};
    fr.count = right ? 2 : 1;
    // Oscillators run one channel at a time, which is the same as frame by frame only when
    // the two passes are over different channels.
    if (!MakesBlocks(f)) return false;

    fr.stereo = f.stereo;
    fr.bytesPerSample = settings.output.Quantisation / 8;
    fr.floating = settings.output.floatSamples();
    fr.fullScale = state.FullScale;
    fr.samplingRate = samplingRate();
    fr.onLeft = (*this)[Channel::Left].OnFactor;
    fr.onRight = (*this)[Channel::Right].OnFactor;
    for (int k = 0; k < fr.count; ++k) {
        const ChannelState& s = (*this)[chans[k]];
        const ChannelSettings& cs = settings[chans[k]];
        const double amplitude = IsPeriodicSignal(waves[k]) ? s.Amplitude * s.PeriodScale : s.Amplitude;
        fr.params[k] = {static_cast<int>(chans[k]), waves[k], cs.ModulationOn, cs.ModFunction, amplitude,
                        s.ModFactor, s.NoiseExponent, s.ModDepth, s.ModPeriod, s.ModPhase, bandLimited(waves[k]),
                        settings.output.dithered() && waves[k] >= 0 && waves[k] < kWaveFormCount &&
                            waves[k] != kSilence};
    }

    fr.n = static_cast<int>(std::min<int64_t>(kFrameBlock, frames));
    fr.live = 0;
    bool restarts = false;
    const int64_t c0 = state.SampleCounter;
    const bool plain = f.wholeSignal ? !f.loop || state.TotalSamples - c0 > fr.n
                                     : state.TotalSamples - c0 > (f.loop ? fr.n : fr.n - 1);
    if (plain) {
        // The common block: all signal, no repetition ends inside it.
        for (int i = 0; i < fr.n; ++i) fr.counter[i] = c0 + i;
        fr.restartAfter.fill(false);
        fr.live = fr.n;
        state.SampleCounter = c0 + fr.n;
    }
    for (int i = plain ? fr.n : 0; i < fr.n; ++i) {
        const bool live = f.loop || f.wholeSignal || state.SampleCounter < state.TotalSamples;
        if (live) fr.live = i + 1; // padding only ever follows the signal
        fr.counter[i] = state.SampleCounter;
        ++state.SampleCounter;
        fr.restartAfter[i] = f.loop && RepetitionEnded(state);
        if (fr.restartAfter[i]) {
            state.SampleCounter = 0;
            restarts = true;
        }
    }
    // The fades' gains, frame by frame as the one-frame path takes them.
    fr.faded = inFade(c0, fr.n, !f.loop);
    if (fr.faded) {
        const int64_t made = state.FadeFrames;
        for (int i = 0; i < fr.live; ++i) {
            state.FadeFrames = made + i;
            fr.fade[i] = fadeGain(fr.counter[i], !f.loop);
        }
        state.FadeFrames = made;
    }
    if (state.FadeLength > 0) state.FadeFrames += fr.n;
    // The right channel's sweep restarts only in the stereo layout.
    oscillatorPass(chans[0], waves[0], fr.channels[0], fr, restarts);
    if (right) oscillatorPass(chans[1], waves[1], fr.channels[1], fr, restarts && f.stereo);
    const auto noise = [](int w) { return w == kWhiteNoise || w == kPinkNoise; };
    if (noise(waves[0]) || (right && noise(waves[1]))) randomPass(fr);
    if (fr.params[0].dithered || (right && fr.params[1].dithered)) ditherPass(fr);
    return true;
}

void Generator::settleBlock(const FrameBlock& fr)
{
    for (int k = 0; k < fr.count; ++k)
        if (fr.params[k].modulated && fr.live > 0)
            channels[static_cast<size_t>(fr.params[k].channel)].ModFactor = fr.lastModFactor[k];
}

int64_t FinishFrameBlock(FrameBlock& fr, uint8_t* out)
{
    for (int k = 0; k < fr.count; ++k) {
        ShapeChannel(fr.params[k], fr.samplingRate, fr.channels[k], fr.live);
        if (fr.faded)
            fr.lastModFactor[k] = SampleChannelFaded(fr.params[k], fr.fullScale, fr.floating, fr.fade.data(),
                                                     fr.channels[k], fr.live);
        else
            fr.lastModFactor[k] = fr.floating ? SampleChannelFloat(fr.params[k], fr.channels[k], fr.live)
                                              : SampleChannel(fr.params[k], fr.fullScale, fr.channels[k], fr.live);
    }
    const int bps = fr.bytesPerSample;
    const bool right = fr.count == 2;
    const int32_t* ls = fr.channels[0].sample.data();
    const int32_t* rs = right ? fr.channels[1].sample.data() : ls;
    // A stereo left sample is scaled by the left "On" box; "Same as Left" repeats the
    // scaled left sample.
    uint8_t* p = out;
    if (fr.floating) {
        const float* lf = fr.channels[0].fsample.data();
        const float* rf = right ? fr.channels[1].fsample.data() : lf;
        if (!fr.stereo)
            PackMonoFloat(p, lf, fr.live);
        else
            PackStereoFloat(p, lf, fr.onLeft, rf, right ? fr.onRight : fr.onLeft, fr.live);
    } else if (!fr.stereo) {
        bps == 3 ? PackMono<3>(p, ls, fr.live) : PackMono<2>(p, ls, fr.live);
    } else {
        const int32_t rf = right ? fr.onRight : fr.onLeft;
        bps == 3 ? PackStereo<3>(p, ls, fr.onLeft, rs, rf, fr.live)
                 : PackStereo<2>(p, ls, fr.onLeft, rs, rf, fr.live);
    }
    const int64_t frameBytes = (fr.stereo ? 2 : 1) * bps;
    p += fr.live * frameBytes;
    const int64_t silent = (fr.n - fr.live) * frameBytes;
    std::memset(p, 0, static_cast<size_t>(silent));
    return p + silent - out;
}

int64_t Generator::writeFrames(uint8_t* out, int64_t frames, const FrameChoices& f)
{
    FrameBlock block;
    uint8_t* p = out;
    int64_t done = 0;
    while (done < frames) {
        if (!makeBlock(block, frames - done, f)) return p - out + writeFramesReference(p, frames - done, f);
        p += FinishFrameBlock(block, p);
        settleBlock(block);
        done += block.n;
    }
    return p - out;
}

} // namespace velmora
