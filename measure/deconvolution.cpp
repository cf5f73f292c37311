#include "measure/deconvolution.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "measure/measure_error.h"
#include "measure/real_fft.h"
#include "measure/wave_writing.h"

namespace velmora {

using Complex = std::complex<double>;

int64_t GoodFftSize(int64_t n)
{
    n = std::max<int64_t>(n, 2);
    int64_t best = INT64_MAX;
    for (int64_t p5 = 1; p5 < 2 * n + 10; p5 *= 5)
        for (int64_t p3 = p5; p3 < 2 * n + 10; p3 *= 3) {
            int64_t v = p3 * 8; // the real FFT takes multiples of 8
            while (v < n) v *= 2;
            best = std::min(best, v);
        }
    return best;
}

namespace {

// The regularisation's level in dB at `f`: the inside value across the band, rising to the
// outside value over a raised cosine `edge` octaves wide beyond each end.
double RegularisationDb(double f, const DeconvolutionConfig& c)
{
    double u = 0;
    if (f <= 0)
        u = 1;
    else if (f < c.bandLow)
        u = std::min(1.0, std::log2(c.bandLow / f) / c.edgeOctaves);
    else if (f > c.bandHigh)
        u = std::min(1.0, std::log2(f / c.bandHigh) / c.edgeOctaves);
    const double w = 0.5 * (1 - std::cos(std::numbers::pi * u));
    return c.insideDb + (c.outsideDb - c.insideDb) * w;
}

} // namespace

InverseFilter MakeInverseFilter(const Sweep& sweep, const DeconvolutionConfig& config)
{
    InverseFilter inv;
    inv.samplingRate = sweep.spec.samplingRate;
    inv.config = config;
    DeconvolutionConfig& c = inv.config;
    if (c.bandLow <= 0) c.bandLow = sweep.spec.f1;
    if (c.bandHigh <= 0) c.bandHigh = sweep.spec.f2;
    if (!(c.bandHigh > c.bandLow) || !(c.edgeOctaves > 0))
        throw MeasureError("the trusted band " + std::to_string(c.bandLow) + " to " + std::to_string(c.bandHigh) +
                           " Hz is empty");
    const int64_t n = sweep.timing.sweepFrames;
    // The inverse of a sweep is the sweep reversed in time, as long as the sweep, plus the
    // ringing of the band's edges and of the fades' ripple: an eighth of the sweep and half a
    // second on either side.
    const int64_t wanted = n + n / 4 + inv.samplingRate;
    if (c.fftSize <= 0) c.fftSize = GoodFftSize(wanted);
    if (c.fftSize < n + 2 || c.fftSize % 8)
        throw MeasureError("the FFT length " + std::to_string(c.fftSize) + " is not a multiple of 8 longer than the sweep (" +
                           std::to_string(n) + " samples)");
    const int64_t m = c.fftSize;
    inv.zero = n + (m - n) / 2;
    const RealFft fft(m);
    std::vector<double> buffer(static_cast<size_t>(m), 0.0);
    std::copy(sweep.sweep(), sweep.sweep() + n, buffer.begin());
    std::vector<Complex> x(static_cast<size_t>(fft.bins()));
    fft.forward(buffer.data(), x.data());
    double peak = 0;
    for (const Complex& v : x) peak = std::max(peak, std::norm(v));
    const double scale = 1.0 / static_cast<double>(m / 2); // the inverse transform's gain
    // The regularised inverse is 1/X times the band's shape B = |X|^2 / (|X|^2 + e), which is
    // real: its ringing reaches before time zero. At the band's low edge that ringing lasts
    // tenths of a second, longer than a system's delay leaves room for, so below the band's
    // middle B is given its minimum phase (found through the cepstrum): the low edge rings
    // only after time zero, the magnitudes stay, and the peak stays where it is, because that
    // phase is all but 0 at the frequencies that shape the peak. The high edge rings for a
    // few samples and keeps its zero phase, so the peak sits exactly at the system's delay.
    const double middle = std::sqrt(c.bandLow * c.bandHigh);
    std::vector<double> logShape(static_cast<size_t>(fft.bins()));
    for (int64_t k = 0; k < fft.bins(); ++k) {
        const double f = static_cast<double>(k) * inv.samplingRate / static_cast<double>(m);
        const double e = peak * std::pow(10.0, RegularisationDb(f, c) / 10);
        const double p = std::norm(x[static_cast<size_t>(k)]);
        logShape[static_cast<size_t>(k)] = f < middle ? std::log(std::max(p / (p + e), 1e-12)) : 0.0;
        x[static_cast<size_t>(k)] = std::conj(x[static_cast<size_t>(k)]) / (p + e);
    }
    std::vector<Complex> cepstrum(static_cast<size_t>(fft.bins()));
    for (size_t k = 0; k < cepstrum.size(); ++k) cepstrum[k] = logShape[k] * scale;
    fft.inverse(cepstrum.data(), buffer.data());
    for (int64_t i = 1; i < m / 2; ++i) buffer[static_cast<size_t>(i)] *= 2;
    for (int64_t i = m / 2 + 1; i < m; ++i) buffer[static_cast<size_t>(i)] = 0;
    fft.forward(buffer.data(), cepstrum.data());
    for (int64_t k = 0; k < fft.bins(); ++k) {
        const double turn = cepstrum[static_cast<size_t>(k)].imag() -
                            2 * std::numbers::pi * static_cast<double>(k) * static_cast<double>(inv.zero) / static_cast<double>(m);
        x[static_cast<size_t>(k)] *= std::polar(scale, turn);
    }
    fft.inverse(x.data(), buffer.data());
    inv.taps = std::move(buffer);
    return inv;
}

void WriteInverseFile(const InverseFilter& inverse, const std::string& path, const MeasureProgress& progress,
                      const std::atomic<bool>* cancel)
{
    WavFormat format;
    format.channels = 1;
    format.samplingRate = inverse.samplingRate;
    format.bytesPerFrame = 4;
    format.floating = true;
    OutputFile file(path);
    WriteWave(file, format, {}, static_cast<int64_t>(inverse.taps.size()),
              [&](int64_t first, int64_t count, double* out) {
                  std::copy_n(inverse.taps.begin() + first, count, out);
              },
              progress, 0, 1, cancel);
    if (Cancelled(cancel)) throw MeasureCancelled();
    file.commit();
}

struct Deconvolver::Fft {
    explicit Fft(int64_t n) : fft(n) {}
    RealFft fft;
};

Deconvolver::Deconvolver(const std::vector<double>& taps, int64_t fftSize, int64_t first, int64_t count)
    : taps_(static_cast<int64_t>(taps.size())), first_(first)
{
    if (fftSize % 8 || fftSize < taps_ + 1)
        throw MeasureError("the FFT length is not a multiple of 8 longer than the filter");
    fft_ = std::make_unique<Fft>(fftSize);
    const int64_t bins = fft_->fft.bins();
    work_.assign(static_cast<size_t>(fftSize), 0.0);
    std::copy(taps.begin(), taps.end(), work_.begin());
    filter_.resize(static_cast<size_t>(bins));
    spectrum_.resize(static_cast<size_t>(bins));
    fft_->fft.forward(work_.data(), spectrum_.data());
    const double scale = 1.0 / static_cast<double>(fftSize / 2);
    for (size_t k = 0; k < filter_.size(); ++k) filter_[k] = std::complex<float>(spectrum_[k] * scale);
    out_.assign(static_cast<size_t>(count), 0.0);
}

Deconvolver::~Deconvolver() = default;

void Deconvolver::restart()
{
    position_ = 0;
    std::fill(out_.begin(), out_.end(), 0.0);
}

int64_t Deconvolver::blockFrames() const { return static_cast<int64_t>(work_.size()) - taps_ + 1; }

void Deconvolver::block(const double* input, int64_t frames)
{
    const int64_t size = static_cast<int64_t>(work_.size());
    std::copy(input, input + frames, work_.begin());
    std::fill(work_.begin() + frames, work_.end(), 0.0);
    fft_->fft.forward(work_.data(), spectrum_.data());
    for (size_t k = 0; k < spectrum_.size(); ++k) spectrum_[k] *= Complex(filter_[k]);
    fft_->fft.inverse(spectrum_.data(), work_.data());
    // Output j of this block is output position_ + j of the whole.
    const int64_t produced = std::min(size, frames + taps_ - 1);
    const int64_t from = std::max<int64_t>(0, first_ - position_);
    const int64_t to = std::min(produced, first_ + static_cast<int64_t>(out_.size()) - position_);
    for (int64_t j = from; j < to; ++j) out_[static_cast<size_t>(position_ + j - first_)] += work_[static_cast<size_t>(j)];
    position_ += frames;
}

} // namespace velmora
