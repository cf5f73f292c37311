#include "measure/impulse_response.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <numbers>

#include "files/output_file.h"
#include "files/wav_reader.h"
#include "measure/measure_error.h"
#include "measure/real_fft.h"
#include "measure/wave_writing.h"

namespace velmora {

using Complex = std::complex<double>;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The marker counts as found when its correlation with the recording, normalised by both
// energies, reaches this value (1 for a perfect copy; a room or a filter lowers it).
constexpr double kMarkerMatch = 0.3;
constexpr int64_t kPad = 64; // samples around each cut, for the fractional shift

std::string Seconds(double s)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", s);
    return text;
}

std::unique_ptr<WavReader> OpenRecording(const std::string& path)
{
    try {
        return std::make_unique<WavReader>(path);
    } catch (const WavReadError& e) {
        throw MeasureError(e.what());
    }
}

// The recording sample at which the marker arrives: the best normalised cross-correlation
// over the channels, searched where the sweep still fits after it.
int64_t FindMarker(const WavReader& rec, const Sweep& sweep, const MeasureProgress& progress,
                   const std::atomic<bool>* cancel)
{
    const SweepTiming& t = sweep.timing;
    const std::vector<double> marker = MakeMarker(sweep.spec.samplingRate);
    const int64_t nm = static_cast<int64_t>(marker.size());
    const int64_t lastLag = rec.frames() - (t.sweepStart - t.markerStart) - t.sweepFrames;
    if (lastLag < 0)
        throw MeasureError(rec.path() + " is too short to hold the sweep (" +
                           Seconds(static_cast<double>(rec.frames()) / rec.samplingRate()) + "; the sweep needs " +
                           Seconds(static_cast<double>(t.sweepStart - t.markerStart + t.sweepFrames) / rec.samplingRate()) +
                           " from its marker on)");
    const int64_t size = GoodFftSize(std::max<int64_t>(16 * nm, 65536));
    const int64_t hop = size - nm + 1;
    const RealFft fft(size);
    std::vector<double> work(static_cast<size_t>(size), 0.0);
    std::copy(marker.begin(), marker.end(), work.begin());
    std::vector<Complex> filter(static_cast<size_t>(fft.bins())), spectrum(filter.size());
    fft.forward(work.data(), filter.data());
    for (Complex& v : filter) v = std::conj(v) / static_cast<double>(size / 2);
    const int channels = rec.channels();
    std::vector<double> frames(static_cast<size_t>(size * channels));
    std::vector<double> best(static_cast<size_t>(channels), -1.0);
    std::vector<int64_t> where(static_cast<size_t>(channels), 0);
    for (int64_t lag = 0; lag <= lastLag; lag += hop) {
        if (Cancelled(cancel)) throw MeasureCancelled();
        rec.read(lag, size, frames.data());
        const int64_t valid = std::min(hop, lastLag - lag + 1);
        for (int c = 0; c < channels; ++c) {
            for (int64_t i = 0; i < size; ++i) work[static_cast<size_t>(i)] = frames[static_cast<size_t>(i * channels + c)];
            fft.forward(work.data(), spectrum.data());
            for (size_t k = 0; k < spectrum.size(); ++k) spectrum[k] *= filter[k];
            fft.inverse(spectrum.data(), work.data());
            for (int64_t j = 0; j < valid; ++j) {
                const double v = std::fabs(work[static_cast<size_t>(j)]);
                if (v > best[static_cast<size_t>(c)]) {
                    best[static_cast<size_t>(c)] = v;
                    where[static_cast<size_t>(c)] = lag + j;
                }
            }
        }
        if (progress) progress(0.2 * std::min(1.0, static_cast<double>(lag + hop) / static_cast<double>(lastLag + 1)));
    }
    double markerEnergy = 0;
    for (double v : marker) markerEnergy += v * v;
    double bestMatch = 0;
    int64_t found = -1;
    std::vector<double> window(static_cast<size_t>(nm));
    for (int c = 0; c < channels; ++c) {
        rec.readChannel(c, where[static_cast<size_t>(c)], nm, window.data());
        double energy = 0;
        for (double v : window) energy += v * v;
        if (energy <= 0) continue;
        const double match = best[static_cast<size_t>(c)] / std::sqrt(energy * markerEnergy);
        if (match > bestMatch) {
            bestMatch = match;
            found = where[static_cast<size_t>(c)];
        }
    }
    if (bestMatch < kMarkerMatch)
        throw MeasureError(rec.path() + ": the sweep's timing marker cannot be found (best match " +
                           std::to_string(static_cast<int>(bestMatch * 100)) + " %)");
    return found;
}

// A response's spectrum, read as magnitudes smoothed over a fraction of an octave.
class Spectrum final {
public:
    Spectrum(const std::vector<float>& h, int32_t rate, double octaves) : octaves_(octaves)
    {
        const int64_t n = GoodFftSize(std::max<int64_t>(static_cast<int64_t>(h.size()), rate));
        const RealFft fft(n);
        std::vector<double> x(static_cast<size_t>(n), 0.0);
        std::copy(h.begin(), h.end(), x.begin());
        std::vector<Complex> bins(static_cast<size_t>(fft.bins()));
        fft.forward(x.data(), bins.data());
        power_.resize(bins.size());
        for (size_t k = 0; k < bins.size(); ++k) power_[k] = std::norm(bins[k]);
        step_ = static_cast<double>(rate) / static_cast<double>(n);
    }
    // |H| at f, the power averaged over the bins within +-octaves/2 (or interpolated between
    // the two nearest bins where none lies that close).
    double magnitude(double f) const
    {
        const double lo = f * std::exp2(-octaves_ / 2) / step_, hi = f * std::exp2(octaves_ / 2) / step_;
        const int64_t first = static_cast<int64_t>(std::ceil(lo));
        const int64_t last = std::min(static_cast<int64_t>(std::floor(hi)), static_cast<int64_t>(power_.size()) - 1);
        if (last >= first + 1) {
            double sum = 0;
            for (int64_t k = first; k <= last; ++k) sum += power_[static_cast<size_t>(k)];
            return std::sqrt(sum / static_cast<double>(last - first + 1));
        }
        const double at = f / step_;
        const int64_t k = std::min(static_cast<int64_t>(at), static_cast<int64_t>(power_.size()) - 2);
        const double w = at - static_cast<double>(k);
        return std::sqrt((1 - w) * power_[static_cast<size_t>(k)] + w * power_[static_cast<size_t>(k + 1)]);
    }

private:
    double octaves_;
    double step_ = 1;
    std::vector<double> power_;
};

double Db(double ratio) { return ratio > 0 ? 20 * std::log10(ratio) : -std::numeric_limits<double>::infinity(); }

bool HarmonicInBand(const ImpulseResponses& r, int k, double f)
{
    return k * f <= r.deconvolution.bandHigh * 1.0001 && k * f < 0.49 * r.samplingRate;
}

} // namespace

ImpulseResponses ImpulseResponse(const std::string& recordingPath, const std::string& sweepPath,
                                 const ImpulseOptions& options, const MeasureProgress& progress,
                                 const std::atomic<bool>* cancel)
{
    if (options.harmonics < 1 || options.harmonics > kMaxHarmonics)
        throw MeasureError("the number of harmonics " + std::to_string(options.harmonics) + " is not from 1 to " +
                           std::to_string(kMaxHarmonics));
    const SweepSpec spec = ReadSweepSpec(sweepPath);
    const std::unique_ptr<WavReader> rec = OpenRecording(recordingPath);
    if (rec->samplingRate() != spec.samplingRate)
        throw MeasureError("the recording is at " + std::to_string(rec->samplingRate()) + " Hz, the sweep at " +
                           std::to_string(spec.samplingRate) + " Hz");
    Sweep sweep = MakeSweep(spec);
    const SweepTiming t = sweep.timing;
    const int32_t rate = spec.samplingRate;

    ImpulseResponses result;
    result.samplingRate = rate;
    result.sweep = spec;
    result.timing = t;
    // Where the sweep file's sample 0 lies in the recording.
    int64_t offset = 0;
    if (spec.marker) {
        offset = FindMarker(*rec, sweep, progress, cancel) - t.markerStart -
                 static_cast<int64_t>(std::nearbyint(kMarkerTimeZeroLead * rate));
    } else if (rec->frames() < t.sweepStart + t.sweepFrames) {
        throw MeasureError(recordingPath + " is too short to hold the sweep (" +
                           Seconds(static_cast<double>(rec->frames()) / rate) + "; the sweep ends " +
                           Seconds(static_cast<double>(t.sweepStart + t.sweepFrames) / rate) + " into " + sweepPath + ")");
    }
    result.recordingOffset = offset;
    const double progressFrom = spec.marker ? 0.2 : 0.0;

    const int64_t tail = rec->frames() - (offset + t.sweepStart + t.sweepFrames);
    int64_t linearFrames = options.seconds > 0 ? static_cast<int64_t>(std::nearbyint(options.seconds * rate))
                                               : std::clamp<int64_t>(tail, rate / 10, 10 * rate);
    linearFrames = std::max<int64_t>(linearFrames, 1);

    if (Cancelled(cancel)) throw MeasureCancelled();
    InverseFilter inverse = MakeInverseFilter(sweep, options.deconvolution);
    const int64_t zero = inverse.zero;
    result.deconvolution = inverse.config;
    const int64_t taps = static_cast<int64_t>(inverse.taps.size());
    const int64_t block = options.deconvolution.blockFrames > 0 ? options.deconvolution.blockFrames
                                                                 : std::max<int64_t>(taps / 4, 65536);
    const int64_t fftSize = GoodFftSize(taps + block - 1);

    const int n = options.harmonics;
    std::vector<double> shift(static_cast<size_t>(n + 1), 0.0); // L ln k in samples
    for (int k = 1; k <= n; ++k) shift[static_cast<size_t>(k)] = t.rate * std::log(static_cast<double>(k)) * rate;
    std::vector<int64_t> lengths(static_cast<size_t>(n + 1), linearFrames);
    const int64_t guard = rate / 1000;
    for (int k = 2; k <= n; ++k)
        lengths[static_cast<size_t>(k)] = std::max<int64_t>(
            1, std::min(linearFrames, static_cast<int64_t>(std::floor(shift[k] - shift[k - 1])) - guard));

    // Stream sample 0 is aligned recording sample a0; the linear response's time zero comes
    // out of the convolution at stream sample c1.
    const int64_t earliest = static_cast<int64_t>(std::ceil(shift[static_cast<size_t>(n)])) + kPad;
    const int64_t a0 = t.sweepStart + zero - earliest - (taps - 1);
    const int64_t c1 = earliest + taps - 1;
    const int64_t first = taps - 1;
    const int64_t count = earliest + linearFrames + kPad;
    const int64_t inputFrames = first + count;
    // With the marker, what comes before the sweep (the marker and its echoes) is left out.
    const int64_t blankBefore = spec.marker ? t.sweepStart - rate / 10 : std::numeric_limits<int64_t>::min();

    const int channels = rec->channels();
    result.responses.assign(static_cast<size_t>(channels), {});
    // The filter's spectrum is all the blocks need: the taps and the sweep go.
    Deconvolver deconvolver(inverse.taps, fftSize, first, count);
    inverse = {};
    sweep = {};
    const int64_t hop = deconvolver.blockFrames();
    std::vector<double> frames(static_cast<size_t>(hop * channels)), input(static_cast<size_t>(hop));
    for (int c = 0; c < channels; ++c) {
        deconvolver.restart();
        for (int64_t pos = 0; pos < inputFrames; pos += hop) {
            if (Cancelled(cancel)) throw MeasureCancelled();
            const int64_t nFrames = std::min(hop, inputFrames - pos);
            rec->read(a0 + pos + offset, nFrames, frames.data());
            for (int64_t i = 0; i < nFrames; ++i)
                input[static_cast<size_t>(i)] =
                    a0 + pos + i < blankBefore ? 0.0 : frames[static_cast<size_t>(i * channels + c)];
            deconvolver.block(input.data(), nFrames);
            if (progress)
                progress(progressFrom + (1 - progressFrom) *
                                            (c + static_cast<double>(pos + nFrames) / static_cast<double>(inputFrames)) /
                                            channels);
        }
        const std::vector<double>& out = deconvolver.output();
        auto& responses = result.responses[static_cast<size_t>(c)];
        for (int k = 1; k <= n; ++k) {
            // The cut starts at the harmonic's time zero; its fractional part is applied as a
            // phase shift.
            const double at = static_cast<double>(c1) - shift[static_cast<size_t>(k)];
            const int64_t whole = static_cast<int64_t>(std::floor(at));
            const double fraction = at - static_cast<double>(whole);
            const int64_t len = lengths[static_cast<size_t>(k)];
            const int64_t q = GoodFftSize(len + 2 * kPad);
            const RealFft fft(q);
            std::vector<double> seg(static_cast<size_t>(q), 0.0);
            for (int64_t j = 0; j < q; ++j) {
                const int64_t i = whole - kPad + j - first;
                if (i >= 0 && i < count) seg[static_cast<size_t>(j)] = out[static_cast<size_t>(i)];
            }
            std::vector<float> h(static_cast<size_t>(len));
            if (fraction != 0) {
                std::vector<Complex> bins(static_cast<size_t>(fft.bins()));
                fft.forward(seg.data(), bins.data());
                for (int64_t b = 0; b < fft.bins(); ++b)
                    bins[static_cast<size_t>(b)] *= std::polar(
                        1.0 / static_cast<double>(q / 2),
                        2 * std::numbers::pi * static_cast<double>(b) * fraction / static_cast<double>(q));
                fft.inverse(bins.data(), seg.data());
            }
            for (int64_t m = 0; m < len; ++m) h[static_cast<size_t>(m)] = static_cast<float>(seg[static_cast<size_t>(kPad + m)]);
            responses.push_back(std::move(h));
        }
    }
    if (progress) progress(1.0);
    return result;
}

std::string HarmonicFileName(const std::string& path, int k)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasSuffix = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasSuffix ? path.substr(0, dot) : path;
    const std::string suffix = hasSuffix ? path.substr(dot) : ".wav";
    return stem + "-h" + std::to_string(k) + suffix;
}

void WriteImpulseResponses(const ImpulseResponses& r, const std::string& path, const MeasureProgress& progress,
                           const std::atomic<bool>* cancel)
{
    const int n = r.harmonics();
    std::vector<std::unique_ptr<OutputFile>> files;
    for (int k = 1; k <= n; ++k) {
        const std::string name = k == 1 ? path : HarmonicFileName(path, k);
        files.push_back(std::make_unique<OutputFile>(name));
        WavFormat format;
        format.channels = r.channels();
        format.samplingRate = r.samplingRate;
        format.bytesPerFrame = 4 * r.channels();
        format.floating = true;
        const int64_t frames = static_cast<int64_t>(r.responses[0][static_cast<size_t>(k - 1)].size());
        WriteWave(*files.back(), format, {}, frames,
                  [&](int64_t first, int64_t count, double* out) {
                      for (int64_t i = 0; i < count; ++i)
                          for (int c = 0; c < r.channels(); ++c)
                              out[i * r.channels() + c] =
                                  r.responses[static_cast<size_t>(c)][static_cast<size_t>(k - 1)][static_cast<size_t>(first + i)];
                  },
                  progress, static_cast<double>(k - 1) / n, static_cast<double>(k) / n, cancel);
    }
    if (Cancelled(cancel)) throw MeasureCancelled();
    std::vector<std::string> done;
    try {
        for (int k = 1; k <= n; ++k) {
            files[static_cast<size_t>(k - 1)]->commit();
            done.push_back(k == 1 ? path : HarmonicFileName(path, k));
        }
    } catch (...) {
        for (const std::string& name : done) std::remove(name.c_str());
        throw;
    }
}

MagnitudeCurves MagnitudeResponse(const ImpulseResponses& r, int channel, int pointsPerOctave)
{
    MagnitudeCurves curves;
    const double lo = r.deconvolution.bandLow, hi = r.deconvolution.bandHigh;
    const int points = static_cast<int>(std::floor(std::log2(hi / lo) * pointsPerOctave)) + 1;
    for (int i = 0; i < points; ++i) curves.frequencies.push_back(lo * std::exp2(static_cast<double>(i) / pointsPerOctave));
    const auto& responses = r.responses.at(static_cast<size_t>(channel));
    const Spectrum linear(responses[0], r.samplingRate, 1.0 / 24);
    curves.db.emplace_back();
    for (double f : curves.frequencies) curves.db[0].push_back(Db(linear.magnitude(f)));
    for (int k = 2; k <= r.harmonics(); ++k) {
        const Spectrum harmonic(responses[static_cast<size_t>(k - 1)], r.samplingRate, 1.0 / 24);
        curves.db.emplace_back();
        for (double f : curves.frequencies)
            curves.db.back().push_back(HarmonicInBand(r, k, f)
                                           ? Db(harmonic.magnitude(k * f) / linear.magnitude(f))
                                           : kNaN);
    }
    return curves;
}

std::vector<DistortionRow> DistortionTable(const ImpulseResponses& r, int channel)
{
    std::vector<DistortionRow> rows;
    const double lo = r.deconvolution.bandLow, hi = r.deconvolution.bandHigh;
    const auto& responses = r.responses.at(static_cast<size_t>(channel));
    const Spectrum linear(responses[0], r.samplingRate, 1.0 / 24);
    std::vector<Spectrum> harmonics;
    for (int k = 2; k <= r.harmonics(); ++k) harmonics.emplace_back(responses[static_cast<size_t>(k - 1)], r.samplingRate, 1.0 / 24);
    // The third-octave centres 1000 x 10^(n/10) (IEC 61260's base ten), those within 2 % of the
    // band's ends included, so that 19.95 Hz counts for a sweep from 20 Hz.
    for (int i = static_cast<int>(std::ceil(10 * std::log10(lo / 1000 / 1.02)));
         1000 * std::pow(10.0, i / 10.0) <= hi * 1.02; ++i) {
        DistortionRow row;
        row.frequency = 1000 * std::pow(10.0, i / 10.0);
        const double fundamental = linear.magnitude(row.frequency);
        row.levelDb = Db(fundamental);
        double sum = 0;
        bool any = false;
        for (int k = 2; k <= r.harmonics(); ++k) {
            if (!HarmonicInBand(r, k, row.frequency)) {
                row.harmonicDb.push_back(kNaN);
                row.harmonicPercent.push_back(kNaN);
                continue;
            }
            const double ratio = harmonics[static_cast<size_t>(k - 2)].magnitude(k * row.frequency) / fundamental;
            row.harmonicDb.push_back(Db(ratio));
            row.harmonicPercent.push_back(100 * ratio);
            sum += ratio * ratio;
            any = true;
        }
        row.thdDb = any ? Db(std::sqrt(sum)) : kNaN;
        row.thdPercent = any ? 100 * std::sqrt(sum) : kNaN;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string FormatDistortionTable(const std::vector<DistortionRow>& rows, int harmonics)
{
    auto cell = [](double v, const char* format) {
        char text[32];
        if (std::isnan(v)) return std::string("        -");
        std::snprintf(text, sizeof text, format, v);
        return std::string(text);
    };
    std::string out = "frequency (Hz)  level (dB)  THD (dB)  THD (%)";
    for (int k = 2; k <= harmonics; ++k) {
        char head[48];
        std::snprintf(head, sizeof head, "  H%d (dB)   H%d (%%)", k, k);
        out += head;
    }
    out += "\n";
    for (const DistortionRow& row : rows) {
        out += cell(row.frequency, "%14.1f") + cell(row.levelDb, "%12.2f") + cell(row.thdDb, "%10.2f") +
               cell(row.thdPercent, "%9.4f");
        for (size_t k = 0; k < row.harmonicDb.size(); ++k)
            out += cell(row.harmonicDb[k], "%9.2f") + cell(row.harmonicPercent[k], "%9.4f");
        out += "\n";
    }
    return out;
}

} // namespace velmora
