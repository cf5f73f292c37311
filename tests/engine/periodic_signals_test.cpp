// The tone burst's place in the repetition, the noise band's reading and where the new
// periodic signals refuse to be made. Their spectra and shapes are checked by numpy
// (tests/app/check_signals.py).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "engine/periodic.h"
#include "test_support.h"

namespace velmora {
namespace {
using namespace test;

// The samples of both channels, frame by frame, as the fill writes them.
std::vector<std::array<double, 2>> Frames(Generator& g, int count)
{
    const FrameChoices f = g.readChoices();
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * 8);
    g.writeFramesReference(bytes.data(), count, f);
    std::vector<std::array<double, 2>> out(static_cast<size_t>(count));
    const float* p = reinterpret_cast<const float*>(bytes.data());
    for (int i = 0; i < count; ++i) out[static_cast<size_t>(i)] = {p[2 * i], p[2 * i + 1]};
    return out;
}

TEST(ToneBurst, StartsEveryRepetitionOnBothChannelsAndIsSilentBetween)
{
    Generator g = MakeGenerator(48000, 32);
    g.setIndex({Field::cboChannels}, 1);
    g.cboChannelsChange();
    for (Channel c : kChannels) {
        g.selectIndex({Field::WaveForm, c}, kToneBurst);
        g.setText({Field::fInit, c}, "1000");
        g.setText({Field::txtCycles, c}, "2.5");
    }
    g.selectIndex({Field::cboBurstWindow, R}, kBurstNoWindow);
    g.setText({Field::PhaseEdit}, "90"); // a burst takes no phase offset
    g.setText({Field::Duration}, "0.002"); // 96 samples a repetition
    g.setChecked({Field::Loop}, true);
    g.PrepareSignal();
    const auto x = Frames(g, 3 * 96);
    // 2.5 cycles of 48 samples: 120 samples would not fit; the repetition cuts at 96.
    g.setText({Field::Duration}, "0.004"); // 192 samples: the whole burst and silence after
    g.PrepareSignal();
    const auto y = Frames(g, 2 * 192);
    std::vector<double> left(192, 0.0), right(192, 0.0);
    double peak = 0;
    for (int t = 0; t < 120; ++t) {
        right[t] = std::sin(2 * std::numbers::pi * t / 48.0);
        left[t] = right[t] * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * t / 120.0));
        peak = std::max(peak, std::fabs(left[t]));
    }
    for (int t = 0; t < 192; ++t) {
        for (int rep = 0; rep < 2; ++rep) {
            const auto& s = y[static_cast<size_t>(rep * 192 + t)];
            // The largest sample of each is the level (0 dBFS here).
            EXPECT_NEAR(s[1], right[t], 1e-6) << "right, sample " << t << " of repetition " << rep;
            EXPECT_NEAR(s[0], left[t] / peak, 1e-6) << "left, sample " << t << " of repetition " << rep;
        }
    }
    for (int rep = 1; rep < 3; ++rep)
        for (int t = 0; t < 96; ++t)
            EXPECT_EQ(x[static_cast<size_t>(rep * 96 + t)], x[static_cast<size_t>(t)]) << "sample " << t;
}

TEST(ToneBurst, ABurstLongerThanTheLongestPeriodIsRefused)
{
    Generator g = MakeGenerator(48000, 16);
    g.selectIndex({Field::WaveForm, L}, kToneBurst);
    g.setText({Field::fInit, L}, "1");
    g.setText({Field::txtCycles, L}, "350"); // 16.8 M samples: just past 2^24
    EXPECT_FALSE(g.tonesFit(L));
    EXPECT_NE(g.toneFitMessage(L).find("txtCyclesLeft"), std::string::npos);
    EXPECT_THROW(g.PrepareSignal(), std::invalid_argument);
    g.setText({Field::txtCycles, L}, "349.5"); // 16 776 000 samples fit
    EXPECT_TRUE(g.tonesFit(L));
}

TEST(ImdDin, RefusedWhereEightKilohertzIsNotBelowHalfTheRate)
{
    Generator g = MakeGenerator(11025, 16);
    g.selectIndex({Field::WaveForm, L}, kImdDin);
    EXPECT_FALSE(g.tonesFit(L));
    EXPECT_NE(g.toneFitMessage(L).find("IMD DIN"), std::string::npos);
    Generator h = MakeGenerator(22050, 16);
    h.selectIndex({Field::WaveForm, L}, kImdDin);
    EXPECT_TRUE(h.tonesFit(L));
    h.PrepareSignal();
    EXPECT_EQ(h[L].PeriodSize, 22050u / 50); // 250 Hz and 8 kHz meet every 1/50 s at 22050 Hz
}

TEST(NoiseBand, ReadsFullAndLowHighAndRefusesTheRest)
{
    struct Case {
        const char* text;
        bool ok;
        double low, high;
    };
    const Case cases[] = {
        {"Full", true, kPeriodLowestHz, 0}, {"", true, kPeriodLowestHz, 0}, {" full ", true, kPeriodLowestHz, 0},
        {"500:2000", true, 500, 2000},      {"30,5:80", true, 30.5, 80},   {"0:100", true, 0, 100},
        {"2000:500", false, 0, 0},          {"500", false, 0, 0},          {"500:", false, 0, 0},
        {"a:b", false, 0, 0},               {"1:2:3", false, 0, 0},        {"-5:100", false, 0, 0},
        {"100:100", false, 0, 0},           {"1:1e400", false, 0, 0},
    };
    for (const Case& c : cases) {
        NoiseBand b;
        EXPECT_EQ(ParseNoiseBand(c.text, b), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(b.low, c.low) << c.text;
        EXPECT_EQ(b.high, c.high) << c.text;
    }
}

TEST(NoiseBand, TheFullBandIsTodaysPeriodAndABandEmptiesTheOtherBins)
{
    Generator g = MakeGenerator(48000, 16);
    g.selectIndex({Field::WaveForm, L}, kPinkNoisePeriodic);
    g.setText({Field::txtMLSLength, L}, "12");
    const PeriodKey full = g.periodKey(L);
    EXPECT_TRUE(full.band.full());
    PeriodKey plain;
    plain.kind = PeriodKind::Pink;
    plain.length = 12;
    plain.seed = full.seed;
    plain.samplingRate = 48000;
    EXPECT_EQ(full, plain); // the key (and so the period) a pink noise had before bands
    g.setText({Field::cboBand, L}, "nonsense");
    EXPECT_TRUE(g.periodKey(L).band.full());
    g.setText({Field::cboBand, L}, "500:2000");
    const PeriodTable t = BuildPeriod(g.periodKey(L));
    double sum = 0;
    for (double v : t.samples) sum += v * v;
    EXPECT_NEAR(std::sqrt(sum / static_cast<double>(t.samples.size())), 1 / std::numbers::sqrt2, 1e-12);
}

} // namespace
} // namespace velmora
