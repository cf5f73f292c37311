#pragma once
// Periodic signals. Periodic noise: one period of 2^K samples whose every FFT bin has exactly its target
// magnitude (flat for white, 1/sqrt(f) for pink, 1/f for brown, from 10 Hz up to half the
// sampling rate, nothing below), with phases drawn from a seed and refined until the
// period's crest factor is at most 4. The multitone: 31 tones of one amplitude at the ISO
// third-octave centres from 20 Hz to 20 kHz (those below 0.45 of the sampling rate), each
// on the nearest bin of 2^K samples, with phases refined until the crest factor is at most
// 3.45 (each round costs two transforms of the period; the whole takes some 3 ms for 2^12
// samples, 0.1 s for 2^16, 1 s for 2^18, 5 s for 2^20, and longer periods far more). The twin tones for intermodulation: 60 Hz and 7 kHz at 4:1 (SMPTE), 19 kHz and
// 20 kHz at 1:1 (CCIF), over their exact common period (2400 samples for SMPTE at 48 kHz,
// 48 for CCIF), and 250 Hz and 8 kHz at 4:1 (DIN). A noise may be held to a band: the bins
// outside it are empty, those inside keep their exact magnitudes, and the level still
// gives the RMS of a sine of that level. The tone burst: N cycles of a sine (fractions
// allowed) under a Hann window or none, scaled so that its largest sample is 1; it plays
// once at the start of every repetition and is silent after. The period is made off the fill: BuildPeriod runs on a worker
// (PeriodCache); the fill only reads a finished table.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora {

inline constexpr int kPeriodMinLength = 10; // 2^10 samples
inline constexpr int kPeriodMaxLength = 24; // 2^24 samples
inline constexpr double kPeriodLowestHz = 10;
inline constexpr double kPeriodMaxCrest = 4;
inline constexpr int kMultitoneMinLength = 12; // 2^12 samples
inline constexpr double kMultitoneMaxCrest = 3.45;
inline constexpr std::array<double, 31> kThirdOctaveHz{
    20,   25,   31.5, 40,   50,   63,   80,   100,  125,   160,   200,   250,   315,   400,   500,  630,
    800,  1000, 1250, 1600, 2000, 2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};
inline constexpr double kSmpteLowHz = 60, kSmpteHighHz = 7000, kSmpteRatio = 4; // low : high in amplitude
inline constexpr double kCcifLowHz = 19000, kCcifHighHz = 20000;
inline constexpr double kDinLowHz = 250, kDinHighHz = 8000, kDinRatio = 4;
inline constexpr int kBurstHann = 0, kBurstNoWindow = 1;
inline constexpr double kBurstDefaultCycles = 6.5;

enum class PeriodKind { White, Pink, Brown, Multitone, ImdSmpte, ImdCcif, ImdDin, Burst };

// A noise's band in Hz: the bins from `low` up to `high` (0: up to below half the rate).
// The full band is today's 10 Hz up.
struct NoiseBand {
    double low = kPeriodLowestHz;
    double high = 0;
    bool full() const { return low == kPeriodLowestHz && high == 0; }
    auto operator<=>(const NoiseBand&) const = default;
};
// Reads "Full" (any case), an empty text, or "LOW:HIGH" in Hz with 0 <= LOW < HIGH (either
// decimal separator); false for anything else.
bool ParseNoiseBand(const std::string& text, NoiseBand& band);

struct PeriodKey {
    PeriodKind kind = PeriodKind::White;
    int length = 16;         // K: the period holds 2^K samples
    uint32_t seed = 1;
    int32_t samplingRate = 44100;
    NoiseBand band;         // the noises
    double frequency = 0;   // Hz, the burst's sine
    double cycles = 0;      // the burst's cycles
    int window = kBurstHann; // the burst's window
    auto operator<=>(const PeriodKey&) const = default;
};

// The samples a burst spans: those at n < cycles x fs / f (0 when that is no finite length).
int64_t BurstSamples(double cycles, double frequency, int32_t samplingRate);

// The samples in a period of 2^K (the key's length): 0 for a length outside 0..24; a burst's
// the samples it spans.
inline int64_t PeriodSamples(const PeriodKey& key)
{
    if (key.kind == PeriodKind::Burst) return BurstSamples(key.cycles, key.frequency, key.samplingRate);
    return key.length >= 0 && key.length <= kPeriodMaxLength ? int64_t{1} << key.length : 0;
}

// A noise's period scaled so that its RMS is that of a full-scale sine (1/sqrt(2)): a level
// of L dBFS then gives the RMS of an L dBFS sine (AES17). The tones' periods are scaled so
// that their largest sample is 1: the level is the composite's peak. The length is 2^K
// (key.length) for the noises and the multitone; a twin tone's key has length 0 and its
// table the exact period.
struct PeriodTable {
    PeriodKey key;
    std::vector<double> samples;
    double peak = 0; // the largest |sample|
    bool once = false; // a burst: played from the start of each repetition, then its last (0) sample
};

// Thrown by BuildPeriod when it is called off.
struct PeriodCancelled {};

// The bins of the multitone's tones in a period of 2^K samples: the nearest to each
// third-octave centre below 0.45 of the rate, at least 1, each above the one before.
std::vector<uint32_t> MultitoneBins(int length, int32_t samplingRate);

// Makes the period. Pure; any thread; allocates. Throws std::invalid_argument for a length
// outside 10..24 (12..24 for the multitone), a twin tone whose upper tone is not below half
// the sampling rate, or a burst whose sine is not below half the rate or that spans more
// than 2^24 samples, and PeriodCancelled once `cancel` is set (checked between transforms).
PeriodTable BuildPeriod(const PeriodKey& key, const std::atomic<bool>* cancel = nullptr);

// Periods made on worker threads and kept while they may be asked for again. get() and
// request() are called on the generator's thread; a worker only builds.
class PeriodCache final {
public:
    PeriodCache() = default;
    ~PeriodCache();
    PeriodCache(const PeriodCache&) = delete;
    PeriodCache& operator=(const PeriodCache&) = delete;

    // Starts making the period on a worker unless it is made or being made; only when
    // making ahead is on (the window turns it on: a settings change there starts the work
    // before ON is pressed; elsewhere a period is made when the signal is prepared).
    void request(const PeriodKey& key);
    void setMakeAhead(bool on) { makeAhead_ = on; }
    // The period when it is finished, else null; never waits.
    std::shared_ptr<const PeriodTable> ready(const PeriodKey& key);
    // Whether a worker is making the period now (get() would wait for it); never waits.
    bool making(const PeriodKey& key);
    // The period, made now (or waited for) when it is not finished.
    std::shared_ptr<const PeriodTable> get(const PeriodKey& key);

private:
    struct Entry {
        std::shared_ptr<const PeriodTable> table; // null while it is being made
        uint64_t used = 0;
    };
    void trim(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable built_;
    std::map<PeriodKey, Entry> entries_;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> workers_;
    uint64_t clock_ = 0;
    bool makeAhead_ = false;
    std::atomic<bool> closing_{false}; // the workers give up: the cache is going
};

} // namespace velmora
