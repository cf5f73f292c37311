#pragma once
// The running state of the generator: one ChannelState per channel and the generator-wide
// GeneratorState. Written by the start preparation, the handlers and the wave function,
// all on the window thread.

#include <array>
#include <cstdint>

namespace velmora {

struct ChannelState {
    double Phase = 0;          // oscillator phase, radians, kept in (0, 2*pi]
    double Step = 0;           // phase increment per sample
    double TargetStep = 0;     // the step a constant tone glides toward
    double StartNorm = 0;      // start frequency x k / fs, cycles per sample
    double FinalNorm = 0;      // final frequency x k / fs
    double SweepFactor = 1.0;  // applied to Step every sample of a sweep
    double SweepIncrement = 0; // added to Step every sample of a sweep
    int32_t PulseLength = 0;   // samples of a sine pulse (half a period)
    double PhaseOffset = 0;    // right channel only: lead over the left, radians
    double SawValue = 0;
    double SawPrevious = 0;
    double Amplitude = 1.0;    // linear level
    double ModFactor = 1.0;    // current amplitude-modulation factor
    double ModDepth = 1.0;     // fraction
    double ModPeriod = 1.0;    // seconds
    double ModPhase = 0;       // radians
    double NoiseExponent = 0;  // shapes the noise to its crest factor
    uint32_t MlsRegister = 0;
    uint32_t MlsMask = 0;      // where the feedback bit enters: 2^(L-1)
    uint32_t MlsTaps = 0x3;    // register bits whose parity is fed back
    int32_t OnFactor = 1;      // 1 when the channel is on
    // A periodic signal: its period (owned by the generator), 2^K - 1 for a period of 2^K
    // samples (0 for one of another length), its length, where the right channel reads
    // ahead of the counter (its phase offset), and a scale below 1 when the level would take
    // the period's peak past full scale.
    const double* Period = nullptr;
    uint32_t PeriodMask = 0;
    uint64_t PeriodSize = 0;
    int64_t PeriodOffset = 0;
    double PeriodScale = 1.0;
    bool PeriodOnce = false; // a burst: read from each repetition's start, then its last sample
};

// Where frame `counter` reads in the channel's period: a mask for 2^K samples, a remainder
// for other lengths. Needs a period.
inline uint64_t PeriodIndex(const ChannelState& s, int64_t counter)
{
    const auto at = static_cast<uint64_t>(counter + s.PeriodOffset);
    if (s.PeriodOnce) return at < s.PeriodSize ? at : s.PeriodSize - 1;
    return s.PeriodMask != 0 ? at & s.PeriodMask : at % s.PeriodSize;
}

struct GeneratorState {
    // 64-bit so that long and repeating signals never overflow the counter.
    int64_t SampleCounter = 0; // frames since the start of the signal or repetition
    int64_t TotalSamples = 0;  // frames of the signal or of one repetition
    int32_t FullScale = 0;     // 32767 or 8388607; 1 for float samples
    int32_t BytesPerFrame = 0; // 2, 3, 4 or 6
    std::array<double, 13> PinkRows{};
    std::array<double, 14> PinkPartial{}; // running sums of rows k..12 (see the pink source)
    uint64_t DitherState = 0;  // the dither's own random source (see TpdfSource)
    bool AliveFlag = false;
    bool FillBusy = false;
    bool CancelSave = false;
    // Fades (fade.h): their length in frames (0: none, set at the start), the frames made
    // since the start, and where a fade-out before OFF began (-1: none).
    int64_t FadeLength = 0;
    int64_t FadeFrames = 0;
    int64_t FadeOutFrom = -1;
};

// True once the counter has reached or passed the repetition's length: a Duration
// shortened while the signal plays can leave the counter beyond it. A length of no
// frames never ends a repetition.
inline bool RepetitionEnded(const GeneratorState& state)
{
    return state.TotalSamples > 0 && state.SampleCounter >= state.TotalSamples;
}

} // namespace velmora
