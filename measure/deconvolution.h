#pragma once
// Deconvolution of a recorded measurement sweep: the inverse filter and the convolution of a
// recording with it, block by block.
//
// One configuration value, `DeconvolutionConfig`, names every convention: the trusted band,
// the regularisation inside and outside it (Kirkeby: the inverse is conj(X) / (|X|^2 + e(f)),
// e(f) rising from the inside to the outside value over smooth raised-cosine edges on a
// logarithmic frequency axis; below the band's middle the band's shape is given minimum
// phase, so that the long ringing of the low edge comes after time zero), the FFT length,
// and where time zero sits.
//
// Time zero: sample 0 of every response is the instant at which that response would begin
// for a system without delay, so the peak sits at the system's delay. The k-th harmonic's
// response is cut out of the deconvolved signal L ln k before the linear one (with the
// fractional part of that time applied as a phase shift), so that H_k(k f) / H_1(f) is the
// k-th harmonic's amplitude over the fundamental's for a sine at f.
//
// Plain C++; may run on a worker thread. Allocation happens when a Deconvolver is made,
// never in its block step.

#include <complex>
#include <cstdint>
#include <memory>
#include <vector>

#include "measure/sweep.h"

namespace velmora {

struct DeconvolutionConfig {
    double bandLow = 0;          // trusted band (Hz); 0: the sweep's f1
    double bandHigh = 0;         // 0: the sweep's f2
    double edgeOctaves = 1.0 / 3; // width of the smooth edges, outside the band
    double insideDb = -60;       // regularisation inside the band, re the sweep's peak |X|^2
    double outsideDb = 20;       // and outside it
    int64_t fftSize = 0;         // the inverse filter's FFT length, which is its length (even);
                                 // a multiple of 8; 0: the sweep's length plus a second
    int64_t blockFrames = 0;     // recording frames per block (the blocks' FFT length is the
                                 // next good size above filter + block); 0: a quarter of the filter
};

// The regularised inverse of a sweep, as a causal filter: convolving the sweep (from its
// first sample) with it gives a band-limited impulse at sample `zero`.
struct InverseFilter {
    int32_t samplingRate = 0;
    DeconvolutionConfig config;   // with the band and FFT size filled in
    int64_t zero = 0;             // the filter's delay (samples)
    std::vector<double> taps;
};

// Makes the inverse filter of `sweep` (its sweep part, without marker or silence).
InverseFilter MakeInverseFilter(const Sweep& sweep, const DeconvolutionConfig& config = {});

// Writes the inverse filter as a mono 32-bit float wave file at the sweep's rate; the same
// file rules as WriteSweepFile.
void WriteInverseFile(const InverseFilter& inverse, const std::string& path,
                      const MeasureProgress& progress = {}, const std::atomic<bool>* cancel = nullptr);

// Convolves a long signal with a filter by overlap-add: one FFT size chosen up front,
// allocation only here. Keeps only the output samples [first, first + count).
class Deconvolver final {
public:
    Deconvolver(const std::vector<double>& taps, int64_t fftSize, int64_t first, int64_t count);
    ~Deconvolver();
    Deconvolver(const Deconvolver&) = delete;
    Deconvolver& operator=(const Deconvolver&) = delete;

    // Input samples per block().
    int64_t blockFrames() const;
    // The next blockFrames() input samples (fewer for the last block). Allocates nothing.
    void block(const double* input, int64_t frames);
    // Starts again at input sample 0 with the same filter (for the next channel).
    void restart();
    // Output samples first .. first + count - 1 (complete once the input that reaches them
    // has been given).
    const std::vector<double>& output() const { return out_; }

private:
    struct Fft;
    std::unique_ptr<Fft> fft_;
    int64_t taps_ = 0;
    int64_t first_ = 0;
    int64_t position_ = 0; // input samples given so far
    std::vector<std::complex<float>> filter_; // half spectrum of the taps (single precision
                                              // keeps the result's noise 130 dB down)
    std::vector<double> work_;
    std::vector<std::complex<double>> spectrum_;
    std::vector<double> out_;
};

// An FFT length of 2^a 3^b 5^c, a multiple of 8, at least n.
int64_t GoodFftSize(int64_t n);

} // namespace velmora
