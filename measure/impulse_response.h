#pragma once
// Impulse responses from a recording of a measurement sweep: the linear response and the
// harmonic responses 2..N of each recorded channel, their magnitude responses and the
// distortion table. What the renderer's --impulse-response and the window's measurement
// call. Plain C++; every function may run on a worker thread; errors are MeasureError with
// one line, a set cancel flag ends the work with MeasureCancelled.
//
// Conventions (see measure/deconvolution.h): time zero at sample 0, the peak at the system's
// delay. With the sweep's timing marker, time zero is found from the marker in the recording,
// so the recording may have started at any moment: the responses then count from the marker's
// arrival less kMarkerTimeZeroLead, so that a path that delays marker and sweep alike gives its
// peak at 10 ms and what the response does before its peak is kept. Without the marker, the
// recording is taken to start with the sweep file.
// The spectrum of the k-th harmonic response at k f over the linear response's at f is the
// k-th harmonic's amplitude over the fundamental's for a sine at f.

#include <atomic>
#include <string>
#include <vector>

#include "measure/deconvolution.h"
#include "measure/sweep.h"

namespace velmora {

struct ImpulseOptions {
    int harmonics = 1;           // N: 1 for the linear response alone, up to kMaxHarmonics
    double seconds = 0;          // length of the linear response; 0: the recording after the sweep
                                 // (at least 0.1 s, at most 10 s)
    DeconvolutionConfig deconvolution;
};

inline constexpr int kMaxHarmonics = 16;
// With the marker: where its arrival is placed after time zero (s).
inline constexpr double kMarkerTimeZeroLead = 0.01;

struct ImpulseResponses {
    int32_t samplingRate = 0;
    SweepSpec sweep;             // the sweep the recording was made with
    SweepTiming timing;
    DeconvolutionConfig deconvolution; // as used
    int64_t recordingOffset = 0; // recording sample taken as the sweep file's sample 0
    // responses[channel][k - 1]: k = 1 linear, 2..N harmonic; 32-bit float, time zero at 0.
    std::vector<std::vector<std::vector<float>>> responses;
    int channels() const { return static_cast<int>(responses.size()); }
    int harmonics() const { return responses.empty() ? 0 : static_cast<int>(responses[0].size()); }
};

// Reads the recording and the sweep file and computes the responses. Refuses (MeasureError)
// a recording at another rate, one too short to hold the sweep, a sweep file that is not a
// Velmora measurement sweep, a marker that cannot be found.
ImpulseResponses ImpulseResponse(const std::string& recordingPath, const std::string& sweepPath,
                                 const ImpulseOptions& options = {}, const MeasureProgress& progress = {},
                                 const std::atomic<bool>* cancel = nullptr);

// The harmonic files' names: "IR.wav" -> "IR-h2.wav", "IR-h3.wav", ...
std::string HarmonicFileName(const std::string& path, int k);

// Writes IR.wav (linear) and IR-hK.wav (k = 2..N), each 32-bit float with all channels.
// All files or none: a failure or cancel leaves none of them.
void WriteImpulseResponses(const ImpulseResponses& responses, const std::string& path,
                           const MeasureProgress& progress = {}, const std::atomic<bool>* cancel = nullptr);

// Magnitudes at log-spaced frequencies across the sweep's band (1/24-octave smoothed):
// db[0] the linear response |H_1(f)| in dB, db[k - 1] the k-th harmonic relative to the
// fundamental, |H_k(k f) / H_1(f)| in dB (NaN where k f leaves the band).
struct MagnitudeCurves {
    std::vector<double> frequencies;
    std::vector<std::vector<double>> db;
};
MagnitudeCurves MagnitudeResponse(const ImpulseResponses& responses, int channel, int pointsPerOctave = 24);

// One row per third-octave centre inside the sweep's band: the response's level, THD and
// each harmonic relative to the fundamental (NaN where k f leaves the band).
struct DistortionRow {
    double frequency = 0;
    double levelDb = 0;
    double thdDb = 0;
    double thdPercent = 0;
    std::vector<double> harmonicDb;      // k = 2..N
    std::vector<double> harmonicPercent;
};
std::vector<DistortionRow> DistortionTable(const ImpulseResponses& responses, int channel);

// The table as text (what --distortion prints).
std::string FormatDistortionTable(const std::vector<DistortionRow>& rows, int harmonics);

} // namespace velmora
