#include <gtest/gtest.h>

#include <cmath>

#include "engine/controls.h"
#include "engine/sources.h"
#include "test_support.h"

using namespace velmora;
using namespace velmora::test;

namespace {
// Period of the sequence from seed 1 with the taps and mask of register length l.
uint64_t MlsPeriod(int l)
{
    const uint32_t taps = MlsTapsForLength(l);
    const uint32_t mask = uint32_t{1} << (l - 1);
    uint32_t reg = 1;
    uint64_t n = 0;
    do {
        MlsStep(reg, taps, mask);
        ++n;
    } while (reg != 1 && n <= (uint64_t{1} << l));
    return n;
}
} // namespace

TEST(Mls, LengthFourSeedOneAsSamples)
{
    Generator g = MakeGenerator();
    g.selectIndex({Field::WaveForm, L}, kMLS);
    g.settings[L].txtMLSLength = "4";
    g.PrepareSignal();
    const std::vector<int> bits{1, 0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 0, 1, 1, 1};
    for (int round = 0; round < 2; ++round)
        for (int b : bits) EXPECT_EQ(g.WaveFunc(kMLS), b ? 32767 : -32767);
}

TEST(Mls, EveryLengthRunsItsFullPeriod)
{
    for (int l = 1; l <= 24; ++l) EXPECT_EQ(MlsPeriod(l), (uint64_t{1} << l) - 1) << "length " << l;
}

TEST(Mls, LongRegistersFollowTheirRecurrence)
{
    // The output bits s satisfy s[n + L] = XOR of s[n + t] over the tapped bits t, and the
    // first L bits are the seed's.
    for (int l : {16, 32}) {
        const uint32_t taps = MlsTapsForLength(l);
        const uint32_t mask = static_cast<uint32_t>(uint64_t{1} << (l - 1));
        uint32_t reg = 1;
        std::vector<uint32_t> s;
        for (int i = 0; i < 2000; ++i) s.push_back(MlsStep(reg, taps, mask));
        EXPECT_EQ(s[0], 1u);
        for (int i = 1; i < l; ++i) EXPECT_EQ(s[i], 0u) << i;
        for (int n = 0; n + l < 2000; ++n) {
            uint32_t x = 0;
            for (int t = 0; t < l; ++t)
                if (taps >> t & 1) x ^= s[n + t];
            ASSERT_EQ(s[n + l], x) << "length " << l << " bit " << n + l;
        }
    }
}

TEST(Mls, OddLengthsAndSeeds)
{
    EXPECT_EQ(MlsTapsForLength(16.5), 0x3u);
    EXPECT_EQ(MlsTapsForLength(40), 0x3u);
    EXPECT_EQ(MlsTapsForLength(15), 0x3u);

    Generator g = MakeGenerator();
    g.settings[L].txtMLSSeed = "0"; // the register stays at zero: output -1 x level
    g.PrepareSignal();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(g.WaveFunc(kMLS), -32767);

    g.settings[L].txtMLSSeed = "1e30"; // too large for any register
    EXPECT_THROW(g.PrepareSignal(), std::exception);
}

TEST(Crest, ExponentTableFollowsTheChannelsOwnWaveform)
{
    Generator g = MakeGenerator();
    g.settings.cboChannels = 1;
    g.selectIndex({Field::WaveForm, R}, kWhiteNoise);
    g.selectIndex({Field::cboCrestFactor, R}, 6);
    EXPECT_EQ(g[R].NoiseExponent, 49.0);
    g.selectIndex({Field::WaveForm, R}, kPinkNoise);
    EXPECT_EQ(g[R].NoiseExponent, 1.31);
    g.selectIndex({Field::WaveForm, L}, kWhiteNoise); // the left's own table
    EXPECT_EQ(g[L].NoiseExponent, 1.0);
    g.setIndex({Field::cboCrestFactor, L}, 3); // an index set from code runs nothing
    EXPECT_EQ(g[L].NoiseExponent, 1.0);
}

TEST(Noise, WhiteCrestFactorMatchesItsExponent)
{
    // Uniform noise shaped by |x|^e has a peak-to-RMS ratio of sqrt(2e + 1).
    for (int crest : {0, 2}) {
        Generator g = MakeGenerator(44100, 24);
        g.selectIndex({Field::WaveForm, L}, kWhiteNoise);
        g.selectIndex({Field::cboCrestFactor, L}, crest);
        g.PrepareSignal();
        const double e = kWhiteNoiseExponents[static_cast<size_t>(crest)];
        double sum2 = 0;
        const int n = 200000;
        for (int32_t s : Samples(g, kWhiteNoise, n)) sum2 += double(s) * s;
        const double rms = std::sqrt(sum2 / n) / 8388607;
        EXPECT_NEAR(1 / rms, std::sqrt(2 * e + 1), 0.03 * std::sqrt(2 * e + 1)) << "crest " << crest;
    }
}

TEST(Noise, PinkChannelsShareRowsWhiteChannelsDoNot)
{
    auto correlation = [](int wave) {
        Generator g = MakeGenerator(44100, 16);
        g.settings.cboChannels = 1;
        g.selectIndex({Field::WaveForm, L}, wave);
        g.selectIndex({Field::WaveForm, R}, wave);
        g.PrepareSignal();
        double sl = 0, sr = 0, sll = 0, srr = 0, slr = 0;
        const int n = 100000;
        for (int i = 0; i < n; ++i) {
            const double l = g.WaveFunc(wave), r = g.WaveFunc(wave + 10);
            ++g.state.SampleCounter;
            sl += l, sr += r, sll += l * l, srr += r * r, slr += l * r;
        }
        const double cov = slr / n - sl / n * sr / n;
        return cov / std::sqrt((sll / n - sl / n * sl / n) * (srr / n - sr / n * sr / n));
    };
    EXPECT_GT(correlation(kPinkNoise), 0.5);
    EXPECT_LT(std::fabs(correlation(kWhiteNoise)), 0.02);
}

TEST(Noise, SeededSourceRepeatsExactly)
{
    UniformSource u(0);
    EXPECT_DOUBLE_EQ(u.next(), 1.0 / 4294967296.0);
    EXPECT_EQ(u.state(), 1u);
    u.next();
    EXPECT_EQ(u.state(), 134775814u);

    auto render = [](uint32_t seed) {
        Generator g = MakeGenerator();
        g.uniform.seed(seed);
        g.selectIndex({Field::WaveForm, L}, kPinkNoise);
        g.PrepareSignal();
        return Samples(g, kPinkNoise, 1000);
    };
    EXPECT_EQ(render(7), render(7));
    EXPECT_NE(render(7), render(8));
}
