#pragma once
// The measurement sweep: an exponential sweep synchronised so that the k-th harmonic's
// response lies exactly L ln k before the linear one with its phase aligned (Novak et al.,
// 2015): rate L = R / f1 with R = round(f1 T / ln(f2 / f1)), phase 2 pi f1 L (e^(t/L) - 1).
// Its file carries the parameters in a chunk of its own ("vmsw"), which the impulse response
// step reads back; other wave readers skip it.
//
// Layout of a sweep file: `pre` seconds of silence, then (with the timing marker) the marker
// and kMarkerLead seconds from the marker's start to the sweep's start, the sweep with its
// half-Hann fades, `post` seconds of silence.
//
// The timing marker is a 20 ms linear chirp (Tukey-windowed, 200 Hz to 16 kHz or 0.4 times
// the sampling rate if lower) at the sweep's level: short and broadband, so that a recording
// started at any moment is aligned to the sample by cross-correlation.
//
// Plain C++, no Qt; every function may be called on a worker thread and allocates.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velmora {

enum class SweepChannels {
    Mono,  // a mono file
    Both,  // stereo, the same sweep on both channels
    Left,  // stereo, the sweep on the left channel, the right silent
    Right, // stereo, the sweep on the right channel, the left silent
};

struct SweepSpec {
    double f1 = 20;                 // start frequency (Hz)
    double f2 = 20000;              // end frequency (Hz), below half the sampling rate
    double duration = 10;           // requested duration T (s); the sweep lasts L ln(f2/f1)
    double pre = 0.5;               // silence before (s)
    double post = 1;                // silence after (s)
    double fadeInOctaves = 1.0 / 12; // half-Hann fade at the start, in octaves of the sweep (0: none)
    double fadeOutOctaves = 1.0 / 24; // and at the end
    double levelDbfs = -6;          // the sweep's peak
    SweepChannels channels = SweepChannels::Mono;
    bool marker = false;            // the timing marker before the sweep
    int32_t samplingRate = 48000;
    int quantisation = 24;          // 16, 24 or 32 (32-bit float)
};

// Seconds from the marker's start to the sweep's start, and the marker's length.
inline constexpr double kMarkerLead = 0.5;
inline constexpr double kMarkerSeconds = 0.02;

// Empty when the sweep can be made, else one line naming the value at fault ("the end
// frequency 30000 Hz is not below half the sampling rate (22050 Hz)").
std::string SweepSpecProblem(const SweepSpec& spec);
// Throws MeasureError with SweepSpecProblem's text.
void ValidateSweepSpec(const SweepSpec& spec);

// Where everything sits, derived from the sweep's settings.
struct SweepTiming {
    double rate = 0;           // L (s)
    int64_t cycles = 0;        // R = f1 L
    double sweepSeconds = 0;   // L ln(f2 / f1)
    int64_t sweepStart = 0;    // first sample of the sweep in the file
    int64_t sweepFrames = 0;   // samples of the sweep (fades included)
    int64_t markerStart = -1;  // first sample of the marker, -1 without one
    int64_t markerFrames = 0;
    int64_t fadeInFrames = 0;
    int64_t fadeOutFrames = 0;
    int64_t totalFrames = 0;   // the whole file
};

SweepTiming TimeSweep(const SweepSpec& spec);

struct Sweep {
    SweepSpec spec;
    SweepTiming timing;
    std::vector<double> samples; // the whole file's signal (one channel), peak at the level
    // The sweep alone (timing.sweepFrames samples from timing.sweepStart).
    const double* sweep() const { return samples.data() + timing.sweepStart; }
};

// Makes the signal. Throws MeasureError for a spec that SweepSpecProblem refuses.
Sweep MakeSweep(const SweepSpec& spec);

// The marker's samples at `samplingRate`, peak 1.
std::vector<double> MakeMarker(int32_t samplingRate);

// Called with the fraction done, 0 to 1, from the calling thread.
using MeasureProgress = std::function<void(double fraction)>;

// Writes the sweep file in its settings' format and channels, with its parameter chunk.
// A cancelled (MeasureCancelled) or failed (FileAccessError, MeasureError) write leaves no
// file and any earlier file of that name as it was. `cancel` may be null.
void WriteSweepFile(const Sweep& sweep, const std::string& path, const MeasureProgress& progress = {},
                    const std::atomic<bool>* cancel = nullptr);

// The parameters read back from a sweep file. Throws MeasureError when the file is not a
// Velmora measurement sweep ("SWEEP.wav is not a Velmora measurement sweep").
SweepSpec ReadSweepSpec(const std::string& path);

} // namespace velmora
