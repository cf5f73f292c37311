#pragma once
// Periodic noise: one period of 2^K samples whose every FFT bin has exactly its target
// magnitude (flat for white, 1/sqrt(f) for pink, 1/f for brown, from 10 Hz up to half the
// sampling rate, nothing below), with phases drawn from a seed and refined until the
// period's crest factor is at most 4. The period is made off the fill: BuildPeriod runs on
// a worker (PeriodCache); the fill only reads a finished table.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora {

inline constexpr int kPeriodMinLength = 10; // 2^10 samples
inline constexpr int kPeriodMaxLength = 24; // 2^24 samples
inline constexpr double kPeriodLowestHz = 10;
inline constexpr double kPeriodMaxCrest = 4;

enum class PeriodKind { White, Pink, Brown };

struct PeriodKey {
    PeriodKind kind = PeriodKind::White;
    int length = 16;         // K: the period holds 2^K samples
    uint32_t seed = 1;
    int32_t samplingRate = 44100;
    auto operator<=>(const PeriodKey&) const = default;
};

// One period scaled so that its RMS is that of a full-scale sine (1/sqrt(2)): a level of
// L dBFS then gives the RMS of an L dBFS sine (AES17).
struct PeriodTable {
    PeriodKey key;
    std::vector<double> samples;
    double peak = 0; // the largest |sample|
};

// Thrown by BuildPeriod when it is called off.
struct PeriodCancelled {};

// Makes the period. Pure; any thread; allocates. Throws std::invalid_argument for a length
// outside 10..24, and PeriodCancelled once `cancel` is set (checked between transforms).
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
