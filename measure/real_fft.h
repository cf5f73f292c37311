#pragma once
// The FFT of a real signal of length n (a multiple of 8) through the project's kissfft, at half size:
// forward gives bins 0..n/2, inverse takes them back (scaled by n/2, which the caller folds
// into its spectra). One object per length; allocates when made, never when transforming.

#include <complex>
#include <cstdint>
#include <vector>

#include <kissfft/kissfft.hh>

namespace velmora {

class RealFft final {
public:
    explicit RealFft(int64_t n);
    int64_t size() const { return n_; }
    int64_t bins() const { return n_ / 2 + 1; }
    // in: n samples; out: n/2 + 1 bins.
    void forward(const double* in, std::complex<double>* out) const;
    // in: n/2 + 1 bins, overwritten; out: n samples, n/2 times the true inverse.
    void inverse(std::complex<double>* in, double* out) const;

private:
    int64_t n_;
    kissfft<double> half_;
    // e^(j 2 pi k / n) for k = 0..n/2, from a table of its first eighth.
    std::complex<double> turn(size_t k) const;
    std::vector<std::complex<double>> turn_; // k = 0..n/8
};

} // namespace velmora
