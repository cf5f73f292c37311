// The buffer fill's frame writer, in blocks. Making a sample has a sequential part (the
// oscillator, sweeps, counters, the random source, the pink rows, the sequence register)
// and a part that is the same function applied to every frame (sin, pow, atan). The first
// pass runs the sequential part frame by frame in exactly the order of the wave function,
// left before right, storing each frame's arguments; the second applies the functions to
// the whole block with vector instructions; the third scales, rounds and packs. The
// results equal the wave function's but for the vector functions' last bit.
//
// Runs on the window thread inside a fill; no allocation (the scratch lives on the stack).

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "generator.h"
#include "pcm.h"
#include "vector_math.h"

namespace velmora {

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kBlock = 256;
} // namespace

struct Generator::ChannelBlock {
    std::array<double, kBlock> arg;   // argument of the block function (phase, |noise|)
    std::array<double, kBlock> value; // the waveform value in -1..1 after pass 2
    std::array<double, kBlock> scale; // a factor applied to the value (noise sign, pulse gate)
    std::array<double, kBlock> mod;   // modulation argument, then factor
    std::array<int32_t, kBlock> direct; // samples that need no scaling (Dirac pulse)
    std::array<int32_t, kBlock> sample; // the finished samples
};

[[gnu::always_inline]] inline void Generator::blockPass1(Channel c, int w, ChannelBlock& b, int i)
{
    ChannelState& s = (*this)[c];
    const ChannelSettings& cs = settings[c];
    s.Phase += s.Step;
    if (cs.chkConstant) {
        if (s.Step != s.TargetStep) s.Step = s.Step * 0.995 + s.TargetStep * 0.005;
    } else {
        s.Step = s.Step * s.SweepFactor + s.SweepIncrement;
    }
    if (s.Phase > kTwoPi) s.Phase -= kTwoPi;
    if (cs.ModulationOn) b.mod[i] = static_cast<double>(state.SampleCounter); // the time, later
    const double theta = c == Channel::Left ? s.Phase : s.Phase + s.PhaseOffset;
    switch (w) {
    case kSine:
    case kSquare:
    case kTriangular: b.arg[i] = theta; break;
    case kSinePulse:
        b.arg[i] = theta;
        b.scale[i] = state.SampleCounter <= s.PulseLength ? PolarityFactor(cs.Logarithmic) : 0;
        break;
    case kSawtooth:
        s.SawValue = s.Step / kTwoPi * 2 + s.SawPrevious;
        if (s.SawValue > 1) s.SawValue -= 2;
        b.value[i] = s.SawValue;
        s.SawPrevious = s.SawValue;
        break;
    case kWhiteNoise: b.arg[i] = uniform.next(); break; // shaped in the second pass
    case kPinkNoise:
        b.arg[i] = PinkRowSum(state.PinkRows, state.PinkPartial, state.SampleCounter, uniform);
        break;
    case kDiracPulse:
        b.direct[i] = state.SampleCounter == 0 ? state.FullScale * PolarityFactor(cs.Logarithmic) : 0;
        break;
    case kMLS: b.value[i] = 2.0 * MlsStep(s.MlsRegister, s.MlsTaps, s.MlsMask) - 1; break;
    default: b.direct[i] = 0; break; // silence, or nothing selected
    }
}

void Generator::blockPass2(Channel c, int w, ChannelBlock& b, int n)
{
    const ChannelState& s = (*this)[c];
    const ChannelSettings& cs = settings[c];
    switch (w) {
    case kSine:
    case kSinePulse: VecSin(b.arg.data(), b.value.data(), n); break;
    case kSquare:
        VecSin(b.arg.data(), b.value.data(), n);
        for (int i = 0; i < n; ++i) b.value[i] = sign(b.value[i]);
        break;
    case kTriangular: {
        // triangle(x) = atan(a / sqrt(1 - a^2)) * 2 / pi with a = sin x, or a when |a| = 1.
        VecSin(b.arg.data(), b.value.data(), n);
        for (int i = 0; i < n; ++i) b.arg[i] = b.value[i] / std::sqrt(1 - b.value[i] * b.value[i]);
        VecAtan(b.arg.data(), b.arg.data(), n);
        for (int i = 0; i < n; ++i)
            if (std::fabs(b.value[i]) != 1) b.value[i] = b.arg[i] * 2 / std::numbers::pi;
        break;
    }
    case kWhiteNoise:
    case kPinkNoise:
        // x = 2u - 1 (white) or the pink value; the source returns sign(x) * |x|^e.
        if (w == kWhiteNoise)
            for (int i = 0; i < n; ++i) b.arg[i] = 2 * b.arg[i] - 1;
        else
            for (int i = 0; i < n; ++i) b.arg[i] = b.arg[i] / 6.5 - 1;
        for (int i = 0; i < n; ++i) {
            b.scale[i] = sign(b.arg[i]);
            b.arg[i] = std::fabs(b.arg[i]);
        }
        if (w == kWhiteNoise && s.NoiseExponent == 1.0)
            for (int i = 0; i < n; ++i) b.value[i] = b.arg[i];
        else
            VecPow(b.arg.data(), s.NoiseExponent, b.value.data(), n);
        for (int i = 0; i < n; ++i) b.value[i] = b.scale[i] * b.value[i];
        break;
    default: break;
    }

    if (!cs.ModulationOn) return;
    // The modulation argument of every frame from its counter: t = counter / fs,
    // a = t * 2 pi / period + phase.
    const double fs = samplingRate();
    for (int i = 0; i < n; ++i) b.mod[i] = b.mod[i] / fs * kTwoPi / s.ModPeriod + s.ModPhase;
    // The modulation factor of every frame: 1 - depth * 0.5 * (f + 1).
    switch (cs.ModFunction) {
    case kModSine: VecSin(b.mod.data(), b.mod.data(), n); break;
    case kModCosine: VecCos(b.mod.data(), b.mod.data(), n); break;
    case kModSquare:
        VecSin(b.mod.data(), b.mod.data(), n);
        for (int i = 0; i < n; ++i) b.mod[i] = sign(b.mod[i]);
        break;
    case kModTriangular: {
        std::array<double, kBlock> ratio;
        VecSin(b.mod.data(), b.mod.data(), n);
        for (int i = 0; i < n; ++i) ratio[i] = b.mod[i] / std::sqrt(1 - b.mod[i] * b.mod[i]);
        VecAtan(ratio.data(), ratio.data(), n);
        for (int i = 0; i < n; ++i)
            if (std::fabs(b.mod[i]) != 1) b.mod[i] = ratio[i] * 2 / std::numbers::pi;
        break;
    }
    default:
        for (int i = 0; i < n; ++i) b.mod[i] = -1;
        break;
    }
    for (int i = 0; i < n; ++i) b.mod[i] = 1 - s.ModDepth * 0.5 * (b.mod[i] + 1);
}

void Generator::blockPass3(Channel c, int w, ChannelBlock& b, int n)
{
    ChannelState& s = (*this)[c];
    const int32_t full = state.FullScale;
    const bool modulated = settings[c].ModulationOn;
    if (modulated && n > 0) s.ModFactor = b.mod[static_cast<size_t>(n) - 1];
    // The gain of each sample is full scale x level x modulation factor, in that order.
    const double level = full * s.Amplitude;
    const double steady = level * s.ModFactor;
    auto gain = [&](int i) { return modulated ? level * b.mod[i] : steady; };
    switch (w) {
    case kSine:
    case kSquare:
    case kTriangular:
    case kSawtooth:
    case kWhiteNoise:
    case kPinkNoise:
    case kMLS:
        if (modulated)
            for (int i = 0; i < n; ++i) b.sample[i] = RoundSample(b.value[i] * (level * b.mod[i]), full);
        else
            for (int i = 0; i < n; ++i) b.sample[i] = RoundSample(b.value[i] * steady, full);
        break;
    case kSinePulse:
        for (int i = 0; i < n; ++i)
            b.sample[i] = b.scale[i] == 0 ? 0
                                          : RoundSample(b.value[i] * gain(i), full) * static_cast<int32_t>(b.scale[i]);
        break;
    default:
        for (int i = 0; i < n; ++i) b.sample[i] = b.direct[i];
        break;
    }
}

int64_t Generator::writeFrames(uint8_t* out, int64_t frames, const FrameChoices& f)
{
    const int bps = settings.output.Quantisation / 8;
    const int32_t onL = (*this)[Channel::Left].OnFactor;
    const int32_t onR = (*this)[Channel::Right].OnFactor;
    const bool right = f.stereo && !f.asLeft;
    const int wl = f.wl;
    const int wr = f.wr - 10;
    // Wave numbers outside a channel's list still advance that channel; any wave number
    // of 10 or more computes the right channel, exactly as WaveFunc does.
    const Channel leftChannel = f.wl < 10 ? Channel::Left : Channel::Right;
    const Channel rightChannel = f.wr < 10 ? Channel::Left : Channel::Right;
    const int leftWave = f.wl < 10 ? f.wl : f.wl - 10;
    const int rightWave = f.wr < 10 ? f.wr : wr;
    (void)wl;

    ChannelBlock blocks[2];
    std::array<bool, kBlock> live;
    uint8_t* p = out;
    int64_t done = 0;
    while (done < frames) {
        const int n = static_cast<int>(std::min<int64_t>(kBlock, frames - done));
        for (int i = 0; i < n; ++i) {
            live[i] = f.loop || f.wholeSignal || state.SampleCounter < state.TotalSamples;
            if (live[i]) {
                blockPass1(leftChannel, leftWave, blocks[0], i);
                if (right) blockPass1(rightChannel, rightWave, blocks[1], i);
            }
            ++state.SampleCounter;
            if (state.SampleCounter == state.TotalSamples && f.loop) RestartRepetition(f.stereo);
        }
        // Pass 2 over the live frames only: they come first in a block (padding follows
        // the signal's end and never precedes it).
        int liveCount = 0;
        while (liveCount < n && live[liveCount]) ++liveCount;
        blockPass2(leftChannel, leftWave, blocks[0], liveCount);
        if (right) blockPass2(rightChannel, rightWave, blocks[1], liveCount);

        blockPass3(leftChannel, leftWave, blocks[0], liveCount);
        if (right) blockPass3(rightChannel, rightWave, blocks[1], liveCount);
        const int32_t* ls = blocks[0].sample.data();
        const int32_t* rs = right ? blocks[1].sample.data() : ls;
        // Left samples of a stereo frame are scaled by the left "On" box; "Same as Left"
        // repeats the scaled left sample.
        const int32_t lf = f.stereo ? onL : 1;
        const int32_t rf = right ? onR : onL;
        if (!f.stereo) {
            for (int i = 0; i < liveCount; ++i, p += bps) PackSample(p, ls[i], bps);
        } else {
            for (int i = 0; i < liveCount; ++i, p += 2 * bps) {
                PackSample(p, ls[i] * lf, bps);
                PackSample(p + bps, rs[i] * rf, bps);
            }
        }
        const int64_t silent = static_cast<int64_t>(n - liveCount) * (f.stereo ? 2 : 1) * bps;
        std::memset(p, 0, static_cast<size_t>(silent));
        p += silent;
        done += n;
    }
    return p - out;
}

} // namespace velmora
