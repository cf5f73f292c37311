#include "periodic.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <complex>
#include <functional>
#include <numeric>
#include <numbers>
#include <stdexcept>

#include <kissfft/kissfft.hh>

#include "numbers.h"
#include "sources.h"

namespace velmora {

namespace {
using Complex = std::complex<double>;

// The target magnitude of bin k of a period of n samples.
double Magnitude(PeriodKind kind, const NoiseBand& band, size_t k, size_t n, double fs)
{
    if (k == 0 || 2 * k >= n) return 0; // no DC, no bin at half the rate
    const double f = static_cast<double>(k) * fs / static_cast<double>(n);
    if (f < band.low) return 0;
    if (band.high > 0 && f > band.high) return 0;
    switch (kind) {
    case PeriodKind::White: return 1;
    case PeriodKind::Pink: return 1 / std::sqrt(f);
    case PeriodKind::Brown: return 1 / f;
    case PeriodKind::Multitone:
    case PeriodKind::ImdSmpte:
    case PeriodKind::ImdCcif:
    case PeriodKind::ImdDin:
    case PeriodKind::Burst: break; // tones, not a noise's spectrum
    }
    return 0;
}

// The real signal of the spectrum's lower half (the upper half is its mirror image).
void Inverse(const kissfft<double>& inverse, std::vector<Complex>& spectrum, std::vector<Complex>& work,
             std::vector<double>& out)
{
    const size_t n = spectrum.size();
    for (size_t k = 1; 2 * k < n; ++k) spectrum[n - k] = std::conj(spectrum[k]);
    inverse.transform(spectrum.data(), work.data());
    for (size_t i = 0; i < n; ++i) out[i] = work[i].real();
}

double Rms(const std::vector<double>& x)
{
    double sum = 0;
    for (double v : x) sum += v * v;
    return std::sqrt(sum / static_cast<double>(x.size()));
}

double Peak(const std::vector<double>& x)
{
    double peak = 0;
    for (double v : x) peak = std::max(peak, std::fabs(v));
    return peak;
}

// The multitone: equal tones on `bins`, cos(2 pi b t / n + phase). The phases start from
// Newman's quadratic law and are refined by descending the p-norm of the period (p = 8, a
// smooth stand-in for its peak): d/d phase_k of sum x^p is -p Im(e^(i phase_k) conj(Y_k)),
// where Y is the transform of x^(p-1). Each round takes two transforms of the whole period;
// it ends once the crest factor is at most kMultitoneMaxCrest (some 20 rounds for 2^16
// samples), or after kRounds with the best phases found.
std::vector<double> Multitone(const PeriodKey& key, const std::function<void()>& check)
{
    const size_t n = size_t{1} << key.length;
    const std::vector<uint32_t> bins = MultitoneBins(key.length, key.samplingRate);
    const size_t count = bins.size();
    std::vector<double> phase(count);
    for (size_t k = 0; k < count; ++k)
        phase[k] = std::numbers::pi * static_cast<double>(k) * (static_cast<double>(k) - 1) / static_cast<double>(count);
    const kissfft<double> forward(n, false), inverse(n, true);
    std::vector<Complex> spectrum(n), work(n);
    std::vector<double> x(n), best;
    const auto synthesise = [&] {
        std::fill(spectrum.begin(), spectrum.end(), Complex(0, 0));
        for (size_t k = 0; k < count; ++k) spectrum[bins[k]] = std::polar(0.5, phase[k]);
        Inverse(inverse, spectrum, work, x);
    };
    constexpr int kRounds = 400;
    constexpr int kPower = 8;
    constexpr double kStep = 0.05; // radians, for the largest component of the gradient
    double bestCrest = INFINITY;
    for (int round = 0;; ++round) {
        check();
        synthesise();
        const double peak = Peak(x);
        const double crest = peak / Rms(x);
        if (crest < bestCrest) {
            bestCrest = crest;
            best = x;
        }
        if (crest <= kMultitoneMaxCrest || round == kRounds) break;
        for (size_t i = 0; i < n; ++i) work[i] = Complex(std::pow(x[i] / peak, kPower - 1), 0);
        forward.transform(work.data(), spectrum.data());
        std::vector<double> gradient(count);
        double largest = 0;
        for (size_t k = 0; k < count; ++k) {
            gradient[k] = -std::imag(std::polar(1.0, phase[k]) * std::conj(spectrum[bins[k]]));
            largest = std::max(largest, std::fabs(gradient[k]));
        }
        if (!(largest > 0)) break;
        for (size_t k = 0; k < count; ++k) phase[k] -= kStep * gradient[k] / largest;
    }
    return best;
}

// A twin tone: low and high tone in the amplitude ratio `ratio`, both in sine phase, over
// their exact common period: the fewest samples holding a whole number of cycles of each.
std::vector<double> TwinTone(const PeriodKey& key)
{
    const bool smpte = key.kind == PeriodKind::ImdSmpte, din = key.kind == PeriodKind::ImdDin;
    const auto low = static_cast<int64_t>(smpte ? kSmpteLowHz : din ? kDinLowHz : kCcifLowHz);
    const auto high = static_cast<int64_t>(smpte ? kSmpteHighHz : din ? kDinHighHz : kCcifHighHz);
    const double ratio = smpte ? kSmpteRatio : din ? kDinRatio : 1;
    const int64_t fs = key.samplingRate;
    if (fs <= 0 || !(2 * high < fs))
        throw std::invalid_argument("the " + std::to_string(high) + " Hz tone is not below half the sampling rate");
    const int64_t n = fs / std::gcd(fs, std::gcd(low, high));
    std::vector<double> x(static_cast<size_t>(n));
    for (int64_t t = 0; t < n; ++t) {
        // The phase from whole numbers: (f t mod fs) / fs cycles, exact for every t.
        const double a = 2 * std::numbers::pi * static_cast<double>(low * t % fs) / static_cast<double>(fs);
        const double b = 2 * std::numbers::pi * static_cast<double>(high * t % fs) / static_cast<double>(fs);
        x[static_cast<size_t>(t)] = ratio * std::sin(a) + std::sin(b);
    }
    return x;
}

// The burst: sin(2 pi f t / fs) for the samples t < L = cycles x fs / f, times the Hann window
// 0.5 - 0.5 cos(2 pi t / L) (zero at t = 0 and at L) or not windowed, then one sample of 0
// that the fill holds after the burst until the repetition ends.
std::vector<double> Burst(const PeriodKey& key)
{
    const double fs = key.samplingRate;
    if (!(key.frequency > 0 && key.frequency <= fs / 2))
        throw std::invalid_argument("a burst's frequency is above 0 and at most half the sampling rate");
    const int64_t count = BurstSamples(key.cycles, key.frequency, key.samplingRate);
    if (count < 1 || count > (int64_t{1} << kPeriodMaxLength))
        throw std::invalid_argument("a burst spans 1 to 2^24 samples");
    const double length = key.cycles * fs / key.frequency;
    const double step = key.frequency / fs;
    std::vector<double> x(static_cast<size_t>(count) + 1, 0.0);
    for (int64_t t = 0; t < count; ++t) {
        const double td = static_cast<double>(t);
        // The phase in cycles, reduced before the sine so that long bursts keep their precision.
        const double cycle = std::fmod(step * td, 1.0);
        double v = std::sin(2 * std::numbers::pi * cycle);
        if (key.window == kBurstHann) v *= 0.5 - 0.5 * std::cos(2 * std::numbers::pi * td / length);
        x[static_cast<size_t>(t)] = v;
    }
    return x;
}
} // namespace

bool ParseNoiseBand(const std::string& text, NoiseBand& band)
{
    std::string t;
    for (char ch : text) t += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const auto first = t.find_first_not_of(' '), last = t.find_last_not_of(' ');
    t = first == std::string::npos ? std::string() : t.substr(first, last - first + 1);
    if (t.empty() || t == "full") {
        band = NoiseBand{};
        return true;
    }
    const size_t colon = t.find(':');
    if (colon == std::string::npos || t.find(':', colon + 1) != std::string::npos) return false;
    double low = 0, high = 0;
    if (!TryIntlStrToFloat(t.substr(0, colon), low) || !TryIntlStrToFloat(t.substr(colon + 1), high)) return false;
    if (!(std::isfinite(low) && std::isfinite(high) && low >= 0 && high > low)) return false;
    band.low = low;
    band.high = high;
    return true;
}

int64_t BurstSamples(double cycles, double frequency, int32_t samplingRate)
{
    const double length = cycles * samplingRate / frequency;
    if (!(std::isfinite(length) && length > 0 && length < 1e15)) return 0;
    return static_cast<int64_t>(std::ceil(length));
}

std::vector<uint32_t> MultitoneBins(int length, int32_t samplingRate)
{
    const double n = std::ldexp(1.0, length);
    std::vector<uint32_t> bins;
    for (double f : kThirdOctaveHz) {
        if (!(f < 0.45 * samplingRate)) break;
        auto b = static_cast<uint32_t>(std::max(1.0, std::nearbyint(f * n / samplingRate)));
        if (!bins.empty() && b <= bins.back()) b = bins.back() + 1;
        bins.push_back(b);
    }
    return bins;
}

PeriodTable BuildPeriod(const PeriodKey& key, const std::atomic<bool>* cancel)
{
    const auto check = [cancel] {
        if (cancel && cancel->load(std::memory_order_relaxed)) throw PeriodCancelled{};
    };
    if (key.kind == PeriodKind::ImdSmpte || key.kind == PeriodKind::ImdCcif || key.kind == PeriodKind::ImdDin ||
        key.kind == PeriodKind::Multitone || key.kind == PeriodKind::Burst) {
        PeriodTable t;
        t.key = key;
        if (key.kind == PeriodKind::Multitone) {
            if (key.length < kMultitoneMinLength || key.length > kPeriodMaxLength)
                throw std::invalid_argument("a multitone's length is 2^12 to 2^24 samples");
            t.samples = Multitone(key, check);
        } else if (key.kind == PeriodKind::Burst) {
            t.samples = Burst(key);
            t.once = true;
        } else {
            t.samples = TwinTone(key);
        }
        const double peak = Peak(t.samples);
        if (peak > 0)
            for (double& v : t.samples) v /= peak;
        t.peak = 1;
        return t;
    }
    if (key.length < kPeriodMinLength || key.length > kPeriodMaxLength)
        throw std::invalid_argument("a periodic noise's length is 2^10 to 2^24 samples");
    const size_t n = size_t{1} << key.length;
    const double fs = key.samplingRate;
    std::vector<double> magnitude(n / 2 + 1);
    for (size_t k = 0; k <= n / 2; ++k) magnitude[k] = Magnitude(key.kind, key.band, k, n, fs);

    // Random phases from the seed; the same seed gives the same period.
    uint64_t random = key.seed;
    std::vector<Complex> spectrum(n), work(n);
    for (size_t k = 0; k <= n / 2; ++k)
        spectrum[k] = std::polar(magnitude[k], 2 * std::numbers::pi * TpdfSource::Uniform(random));
    const kissfft<double> forward(n, false), inverse(n, true);
    std::vector<double> x(n);
    Inverse(inverse, spectrum, work, x);

    // The phases are refined by clipping the peaks and taking the clipped signal's phases
    // with the target magnitudes again, until the crest factor is at most 4.
    constexpr int kRounds = 200;
    constexpr double kClipAt = 3.7;
    for (int round = 0; round < kRounds && Peak(x) > 3.95 * Rms(x); ++round) {
        check();
        const double limit = kClipAt * Rms(x);
        for (size_t i = 0; i < n; ++i) work[i] = Complex(std::clamp(x[i], -limit, limit), 0);
        forward.transform(work.data(), spectrum.data());
        for (size_t k = 0; k <= n / 2; ++k) {
            const double a = std::abs(spectrum[k]);
            spectrum[k] = magnitude[k] == 0 ? Complex(0, 0)
                          : a > 0           ? spectrum[k] * (magnitude[k] / a)
                                            : Complex(magnitude[k], 0);
        }
        Inverse(inverse, spectrum, work, x);
    }

    PeriodTable t;
    t.key = key;
    const double rms = Rms(x);
    const double scale = rms > 0 ? 1 / (rms * std::numbers::sqrt2) : 0;
    for (double& v : x) v *= scale;
    t.peak = Peak(x);
    t.samples = std::move(x);
    return t;
}

PeriodCache::~PeriodCache()
{
    closing_ = true;
    for (Worker& w : workers_)
        if (w.thread.joinable()) w.thread.join();
}

void PeriodCache::request(const PeriodKey& key)
{
    std::unique_lock lock(mutex_);
    if (entries_.count(key)) {
        entries_[key].used = ++clock_;
        return;
    }
    if (!makeAhead_) return;
    entries_[key] = Entry{nullptr, ++clock_};
    trim(lock);
    // Workers that have finished are joined here, on the generator's thread.
    std::erase_if(workers_, [](Worker& w) {
        if (!w.done->load()) return false;
        w.thread.join();
        return true;
    });
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back({std::thread([this, key, done] {
                            std::shared_ptr<const PeriodTable> table;
                            try {
                                table = std::make_shared<const PeriodTable>(BuildPeriod(key, &closing_));
                            } catch (...) {
                                // get() makes it again on its own thread and sees the error.
                            }
                            {
                                std::lock_guard guard(mutex_);
                                auto it = entries_.find(key);
                                if (it != entries_.end()) {
                                    if (table)
                                        it->second.table = std::move(table);
                                    else
                                        entries_.erase(it);
                                }
                            }
                            built_.notify_all();
                            done->store(true);
                        }),
                        done});
}

std::shared_ptr<const PeriodTable> PeriodCache::ready(const PeriodKey& key)
{
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : it->second.table;
}

bool PeriodCache::making(const PeriodKey& key)
{
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    return it != entries_.end() && !it->second.table;
}

std::shared_ptr<const PeriodTable> PeriodCache::get(const PeriodKey& key)
{
    request(key);
    std::unique_lock lock(mutex_);
    if (!entries_.count(key)) {
        // Nobody is making it: made here, and kept.
        lock.unlock();
        auto table = std::make_shared<const PeriodTable>(BuildPeriod(key));
        lock.lock();
        Entry& e = entries_[key];
        if (!e.table) e.table = table;
        e.used = ++clock_;
        trim(lock);
        return table;
    }
    built_.wait(lock, [&] {
        auto it = entries_.find(key);
        return it == entries_.end() || it->second.table != nullptr;
    });
    auto it = entries_.find(key);
    if (it == entries_.end()) {
        lock.unlock();
        return std::make_shared<const PeriodTable>(BuildPeriod(key));
    }
    return it->second.table;
}

void PeriodCache::trim(std::unique_lock<std::mutex>&)
{
    // A few periods are kept (both channels' and the ones before); the least recently
    // asked-for finished one goes first.
    constexpr size_t kKeep = 6;
    while (entries_.size() > kKeep) {
        auto oldest = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->second.table && (oldest == entries_.end() || it->second.used < oldest->second.used)) oldest = it;
        if (oldest == entries_.end()) break;
        entries_.erase(oldest);
    }
}

} // namespace velmora
