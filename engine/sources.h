#pragma once
// The noise and sequence sources' fixed tables and the uniform random source.
// Pure data and tiny inline functions: safe on any thread, never allocate.

#include <array>
#include <cstddef>
#include <cstdint>

namespace velmora {

// The uniform source: x := x * 134775813 + 1 (mod 2^32), u = x / 2^32, updated before
// each draw. One per generator, seeded once.
class UniformSource final {
public:
    explicit UniformSource(uint32_t seed = 0) : x_(seed) {}
    void seed(uint32_t seed) { x_ = seed; }
    uint32_t state() const { return x_; }
    double next() { return Next(x_); }
    // The same step on a copy of the state, so a loop can keep it in a register.
    static double Next(uint32_t& x)
    {
        x = x * 134775813u + 1u;
        return static_cast<double>(x) * (1.0 / 4294967296.0);
    }

private:
    uint32_t x_;
};

// The dither's random source, apart from the uniform source so that dithering leaves every
// noise signal's sequence as it is: splitmix64, and a triangular value in (-1, 1) (in
// units of the last bit) as the difference of two uniform draws.
struct TpdfSource {
    static uint64_t Next64(uint64_t& s)
    {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    static double Uniform(uint64_t& s) { return static_cast<double>(Next64(s) >> 11) * (1.0 / 9007199254740992.0); }
    static double Next(uint64_t& s)
    {
        const double a = Uniform(s);
        return a - Uniform(s);
    }
};

// Crest-factor exponents by list index: white noise, and every other waveform (pink).
inline constexpr std::array<double, 7> kWhiteNoiseExponents{1.0, 1.5, 4.0, 7.5, 17.0, 31.0, 49.0};
inline constexpr std::array<double, 7> kPinkNoiseExponents{0.15,  0.3166, 0.535, 0.7,
                                                           0.955, 1.17,   1.31};

// Pink-noise rows 1..12 are refreshed when (counter & mask) == value; row 0 every sample.
struct PinkRowTrigger {
    int32_t mask;
    int32_t value;
};
inline constexpr std::array<PinkRowTrigger, 12> kPinkRowTriggers{{{1, 1},
                                                                  {3, 2},
                                                                  {7, 4},
                                                                  {15, 14},
                                                                  {31, 15},
                                                                  {63, 31},
                                                                  {127, 64},
                                                                  {255, 129},
                                                                  {255, 238},
                                                                  {511, 474},
                                                                  {1023, 875},
                                                                  {2047, 1875}}};

// For each counter value modulo 2048: whether one of rows 5..12 is refreshed at it.
struct PinkSlowRows {
    std::array<bool, 2048> due{};
    constexpr PinkSlowRows()
    {
        for (int n = 0; n < 2048; ++n)
            for (size_t k = 4; k < kPinkRowTriggers.size(); ++k)
                if ((n & kPinkRowTriggers[k].mask) == kPinkRowTriggers[k].value) due[static_cast<size_t>(n)] = true;
    }
};
inline constexpr PinkSlowRows kPinkSlowRows{};

namespace detail {
// The pink source at a counter whose low four bits are M: which of rows 1..4 are due is
// known at compile time, so each case is straight-line code.
template <int M, typename Uniform>
[[gnu::always_inline]] inline double PinkRowSumAt(std::array<double, 13>& rows, std::array<double, 14>& partial, int32_t low,
                           Uniform& u)
{
    constexpr bool r1 = (M & 1) == 1, r2 = (M & 3) == 2, r3 = (M & 7) == 4, r4 = M == 14;
    constexpr int highest = r4 ? 4 : r3 ? 3 : r2 ? 2 : r1 ? 1 : 0;
    rows[0] = u();
    if constexpr (r1) rows[1] = u();
    if constexpr (r2) rows[2] = u();
    if constexpr (r3) rows[3] = u();
    if constexpr (r4) rows[4] = u();
    if (kPinkSlowRows.due[static_cast<size_t>(low)]) [[unlikely]] {
        for (size_t k = 4; k < kPinkRowTriggers.size(); ++k)
            if ((low & kPinkRowTriggers[k].mask) == kPinkRowTriggers[k].value) rows[k + 1] = u();
        for (size_t k = 12; k >= 1; --k) partial[k] = rows[k] + partial[k + 1];
    } else {
        if constexpr (highest >= 4) partial[4] = rows[4] + partial[5];
        if constexpr (highest >= 3) partial[3] = rows[3] + partial[4];
        if constexpr (highest >= 2) partial[2] = rows[2] + partial[3];
        if constexpr (highest >= 1) partial[1] = rows[1] + partial[2];
    }
    return rows[0] + partial[1];
}
} // namespace detail

// Both channels on pink noise: the left channel's value, then the right's, at one counter
// (the same rows are due for both, so the counter's phase is resolved once).
template <typename Uniform>
[[gnu::always_inline]] inline void PinkRowSumPair(std::array<double, 13>& rows, std::array<double, 14>& partial,
                                                  int64_t n, Uniform&& u, double& left, double& right)
{
    const int32_t low = static_cast<int32_t>(n & 2047);
    switch (low & 15) {
#define VELMORA_PINK_PAIR(M)                                          \
    case M:                                                           \
        left = detail::PinkRowSumAt<M>(rows, partial, low, u);        \
        right = detail::PinkRowSumAt<M>(rows, partial, low, u);       \
        return;
        VELMORA_PINK_PAIR(0) VELMORA_PINK_PAIR(1) VELMORA_PINK_PAIR(2) VELMORA_PINK_PAIR(3)
        VELMORA_PINK_PAIR(4) VELMORA_PINK_PAIR(5) VELMORA_PINK_PAIR(6) VELMORA_PINK_PAIR(7)
        VELMORA_PINK_PAIR(8) VELMORA_PINK_PAIR(9) VELMORA_PINK_PAIR(10) VELMORA_PINK_PAIR(11)
        VELMORA_PINK_PAIR(12) VELMORA_PINK_PAIR(13) VELMORA_PINK_PAIR(14)
    default:
        left = detail::PinkRowSumAt<15>(rows, partial, low, u);
        right = detail::PinkRowSumAt<15>(rows, partial, low, u);
#undef VELMORA_PINK_PAIR
    }
}

// The pink-noise source shared by both channels: refreshes row 0 and the rows due at
// counter n, in row order, and returns the sum of the 13 rows (the source's value is
// sum / 6.5 - 1). The rows are summed as row0 + (row1 + (row2 + ... + (row11 + row12)));
// the inner sums are kept in `partial` (partial[k] = row k + partial[k + 1],
// partial[13] = 0) and recomputed from the slowest row that changed.
template <typename Uniform>
[[gnu::always_inline]] inline double PinkRowSum(std::array<double, 13>& rows, std::array<double, 14>& partial,
                         int64_t n, Uniform&& u)
{
    const int32_t low = static_cast<int32_t>(n & 2047);
    switch (low & 15) {
#define VELMORA_PINK_CASE(M) \
    case M: return detail::PinkRowSumAt<M>(rows, partial, low, u);
        VELMORA_PINK_CASE(0) VELMORA_PINK_CASE(1) VELMORA_PINK_CASE(2) VELMORA_PINK_CASE(3)
        VELMORA_PINK_CASE(4) VELMORA_PINK_CASE(5) VELMORA_PINK_CASE(6) VELMORA_PINK_CASE(7)
        VELMORA_PINK_CASE(8) VELMORA_PINK_CASE(9) VELMORA_PINK_CASE(10) VELMORA_PINK_CASE(11)
        VELMORA_PINK_CASE(12) VELMORA_PINK_CASE(13) VELMORA_PINK_CASE(14)
    default: return detail::PinkRowSumAt<15>(rows, partial, low, u);
#undef VELMORA_PINK_CASE
    }
}

// Feedback taps of the maximum-length sequence by register length L (bit i = register
// bit i). Each gives the full period 2^L - 1; where x^L + x + 1 is primitive the taps are
// bits 0 and 1.
inline constexpr std::array<uint32_t, 33> kMlsTaps{
    0x0,       0x1,     0x3,      0x3,       0x3,       0x5,     0x3,     0x3,
    0x1d,      0x11,    0x9,      0x5,       0x941,     0x1601,  0x2a01,  0x3,
    0x100b,    0x9,     0x81,     0x62001,   0x9,       0x5,     0x3,     0x21,
    0x87,      0x9,     0x3100001, 0x6400001, 0x9,      0x5,     0x25000001, 0x9,
    0xc0000401};

// Taps for a register length as typed: whole lengths 1..32 take their table entry,
// anything else the two lowest bits.
uint32_t MlsTapsForLength(double length);

// A seed for the uniform source at program start: a high-resolution clock mixed with the
// process id, so that every start, and two generators started in the same tick, play
// different noise. Any thread; reads the clock.
uint32_t StartSeed();

// One step of the sequence: returns the bit shifted out and feeds back the parity of the
// tapped bits at the mask's position.
inline uint32_t MlsStep(uint32_t& reg, uint32_t taps, uint32_t mask)
{
    const uint32_t b0 = reg & 1u;
    const uint32_t feedback = static_cast<uint32_t>(__builtin_parity(reg & taps));
    reg = (reg >> 1) + feedback * mask;
    return b0;
}

} // namespace velmora
