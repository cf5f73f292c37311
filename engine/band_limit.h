#pragma once
// Alias-free square, triangle and sawtooth ("Alias-free waveforms" in the output settings).
//
// The ideal waves have steps (square, sawtooth) or corners (triangle) whose harmonics run on
// past half the sampling rate and fold back. Here every step is replaced by a band-limited
// step and every corner by a band-limited corner: the ideal wave passed through a lowpass
// (a Kaiser-windowed sinc, flat to 0.44 and more than 110 dB down from 0.5 of the sampling
// rate) and then sampled, for constant tones, glides and sweeps alike. A sample is the ideal
// wave's value plus, for each step or corner less than kBandLimitReach frames away, the
// difference between its band-limited and its ideal form ("BLEP" and "BLAMP" corrections
// from tables). The cost per frame is independent of the frequency: the corrections of about
// 2 x 64 x (steps per frame) table look-ups.
//
// The lowpass is symmetric, so a sample also depends on the steps of the next 64 frames. A
// scout runs the channel's oscillator 64 frames ahead with the oscillator's own arithmetic
// (glides, sweeps, restarts of repeating sweeps) and records where the steps fall; the
// channel's own oscillator is untouched, so the steps stay where the plain wave has them,
// in time with the other channel. The scout checks each frame that the oscillator is where
// it predicted; when a handler changed it (a new frequency, a restarted sweep), the steps
// not yet reached are predicted anew from the oscillator as it now stands.
//
// A wave is scaled by 1 / its peak at the current frequency (the band-limited wave between
// samples, as a reconstruction filter or a true-peak meter sees it), so that its peak is the
// set level, up to at most 12 dB of make-up where the lowpass closes within the last few
// percent below half the sampling rate. While the frequency changes (sweeps, glides) the
// level leaves a little room for the ripple's growth (see band_limit.cpp).
//
// Plain C++, no allocation once the tables exist: KernelTables() and PeakTable() build theirs
// on first use (Generator::prepareBandLimit calls them before a start); after that
// everything here runs on the generator's thread without allocating.

#include <array>
#include <cstdint>

namespace velmora {

// Frames the band-limited step reaches to either side (half the lowpass's length).
inline constexpr int kBandLimitReach = 64;

// True for the waves (list indexes) that the option makes alias-free.
inline constexpr bool IsBandLimitedWave(int wave) { return wave >= 1 && wave <= 3; }

// The difference between the band-limited and the ideal unit step (r) and unit ramp (rho)
// at tau frames after the step, |tau| < kBandLimitReach; 0 beyond.
double StepResidual(double tau);
double RampResidual(double tau);

// The peak of the band-limited wave (1 square, 2 triangle, 3 sawtooth; each -1..1 when
// ideal) at f cycles per frame, between samples.
double BandLimitedPeak(int wave, double f);

// The oscillator between two frames: what the wave function leaves in ChannelState.
struct OscillatorState {
    double phase = 0, step = 0, target = 0, factor = 1, increment = 0, sawPrevious = 0;
    bool operator==(const OscillatorState&) const = default;
};

// What steers the oscillator besides its state; a change makes the scout start again.
struct OscillatorRules {
    int wave = 0;                // 1 square, 2 triangle, 3 sawtooth
    bool constant = true;        // glide to the target, else sweep
    bool bidirectional = false;  // a repetition reverses the sweep
    bool repeats = false;        // the signal repeats: the counter starts again at `total`
    bool restartsHere = false;   // and a repetition restarts this channel's sweep
    int64_t total = 0;           // frames of one repetition
    double startStep = 0;        // the step a restarted sweep begins from
    double offset = 0;           // the right channel's phase lead, radians
    bool operator==(const OscillatorRules&) const = default;
};

// The alias-free wave of one channel. Per frame: beginFrame before the oscillator advances,
// value after. Window (generator) thread; never allocates.
class BandLimiter final {
public:
    // Forget every step: a new signal, or the channel stopped using the option.
    void reset();
    bool active() const { return active_; }

    // `now`: the oscillator as it stands before it makes this frame (a handler may have
    // changed it since the last frame); `counter`: the frame's sample counter.
    void beginFrame(const OscillatorState& now, const OscillatorRules& rules, int64_t counter);
    // The frame's value in -1..1 at the peak: `phase` and `step` as the oscillator left them
    // after this frame, `saw` the sawtooth's ideal value (sawtooth only).
    double value(double phase, double step, double saw);

private:
    struct Edge {
        int64_t frame; // the frame whose interval (frame - 1, frame] holds the step
        double at;     // where in that interval, (0, 1]
        double weight; // the step's height, or the triangle corner's change of slope
    };
    static constexpr int kEdges = 4 * kBandLimitReach;      // power of two
    static constexpr int kSnapshots = 2 * kBandLimitReach;  // power of two, > reach + 1

    void history(const OscillatorState& now); // the steps before this frame, as if it had run on
    void resync(const OscillatorState& now, int64_t counter);
    void scoutFrame(); // advances the scout by one frame and records its steps
    void addEdge(int64_t frame, double at, double weight);
    double ideal(double theta) const; // the ideal square or triangle

    bool active_ = false;
    int64_t frame_ = 0; // the frame the channel makes next
    OscillatorRules rules_;
    // The scout: the oscillator `kBandLimitReach` frames ahead, and its counter.
    OscillatorState scout_;
    int64_t scoutFrame_ = 0;   // the last frame the scout made
    int64_t scoutCounter_ = 0; // the sample counter of its next frame
    std::array<OscillatorState, kSnapshots> snapshots_{}; // after each frame the scout made
    std::array<int64_t, kSnapshots> snapshotCounters_{};   // the counter of the frame after it
    std::array<Edge, kEdges> edges_{};
    int64_t firstEdge_ = 0, endEdge_ = 0; // ring positions, oldest first
    double change_ = 0;   // the largest relative change of the step the scout just made
    double headroom_ = 0; // the room the level leaves for a changing frequency
};

} // namespace velmora
