#include "measure/real_fft.h"

#include <cmath>
#include <numbers>

namespace velmora {

using Complex = std::complex<double>;

RealFft::RealFft(int64_t n) : n_(n), half_(static_cast<size_t>(n / 2), false)
{
    turn_.resize(static_cast<size_t>(n / 8 + 1));
    for (int64_t k = 0; k <= n / 8; ++k)
        turn_[static_cast<size_t>(k)] = std::polar(1.0, 2 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n));
}

Complex RealFft::turn(size_t k) const
{
    const size_t eighth = static_cast<size_t>(n_ / 8), quarter = 2 * eighth;
    if (k > quarter) return Complex(0, 1) * turn(k - quarter); // a quarter turn further
    if (k > eighth) return Complex(0, 1) * std::conj(turn_[quarter - k]); // mirrored about 45 degrees
    return turn_[k];
}

void RealFft::forward(const double* in, Complex* out) const
{
    const size_t h = static_cast<size_t>(n_ / 2);
    half_.transform_real(in, out);
    out[h] = Complex(out[0].imag(), 0);
    out[0] = Complex(out[0].real(), 0);
}

void RealFft::inverse(Complex* x, double* out) const
{
    // The half-size transform of even + j odd samples: E = (X[k] + X*[h-k]) / 2,
    // O = (X[k] - X*[h-k]) e^(j 2 pi k / n) / 2, Z = E + j O; the inverse is the forward
    // transform of conj(Z), conjugated.
    const size_t h = static_cast<size_t>(n_ / 2);
    const Complex j(0, 1);
    {
        const Complex a = x[0], b = x[h];
        const Complex e = 0.5 * (a + std::conj(b)), o = 0.5 * (a - std::conj(b));
        x[0] = std::conj(e + j * o);
    }
    for (size_t k = 1; 2 * k <= h; ++k) {
        const size_t m = h - k;
        const Complex a = x[k], b = x[m];
        const Complex zk = 0.5 * ((a + std::conj(b)) + j * (a - std::conj(b)) * turn(k));
        const Complex zm = 0.5 * ((b + std::conj(a)) + j * (b - std::conj(a)) * turn(m));
        x[k] = std::conj(zk);
        x[m] = std::conj(zm);
    }
    Complex* z = reinterpret_cast<Complex*>(out);
    half_.transform(x, z);
    for (size_t k = 0; k < h; ++k) z[k] = std::conj(z[k]);
}

} // namespace velmora
