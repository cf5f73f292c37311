// The alias-free square, triangle and sawtooth: the block writer and the wave function give
// the same samples through glides, sweeps, repetitions and handler changes; the steps sit
// where the plain wave has them; the samples stay within the level; switching the option
// off gives the plain wave back. Their spectra are measured by tests/app/alias_free_test.py.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

#include "engine/pcm.h"
#include "test_support.h"

using namespace velmora;
using namespace velmora::test;

namespace {

struct Scene {
    const char* name;
    int bits;
    int channels; // 0 mono, 1 stereo, 2 stereo "Same as Left"
    int waveL, waveR;
    bool sweep, logarithmic, bidirectional, loop, modulation;
    const char* duration;
    // Run on both generators between two buffers: what a user or a message does meanwhile.
    std::function<void(Generator&, int round)> between;
};

Generator Build(const Scene& s)
{
    Generator g = MakeGenerator(48000, s.bits);
    g.settings.output.AliasFree = true;
    g.selectIndex({Field::cboChannels}, s.channels == 0 ? 0 : 1);
    for (Channel c : kChannels) {
        g.selectIndex({Field::WaveForm, c}, c == L ? s.waveL : s.waveR);
        g.setChecked({Field::chkConstant, c}, !s.sweep);
        g.setChecked({Field::Logarithmic, c}, s.logarithmic);
        g.setChecked({Field::Bidirectional, c}, s.bidirectional);
        g.setChecked({Field::ModulationOn, c}, s.modulation);
        g.setText({Field::ModPeriodEdit, c}, "0.01");
        g.setText({Field::ModDepthEdit, c}, "70");
        g.setText({Field::fInit, c}, c == L ? "997" : "3001");
        g.setText({Field::fFinal, c}, c == L ? "15000" : "40");
        g.setText({Field::Amplitude, c}, c == L ? "-1.5" : "0");
    }
    g.setText({Field::PhaseEdit}, "33");
    g.setChecked({Field::chkAsLeft}, s.channels == 2);
    g.settings.Loop = s.loop;
    g.setText({Field::Duration}, s.duration);
    g.fConstChange(L);
    g.fConstChange(R);
    g.PrepareSignal();
    return g;
}

std::vector<int32_t> Unpacked(const std::vector<uint8_t>& bytes, int64_t count, int bps)
{
    std::vector<int32_t> out;
    for (int64_t i = 0; i < count; i += bps) out.push_back(UnpackSample(&bytes[static_cast<size_t>(i)], bps));
    return out;
}

} // namespace

TEST(AliasFree, BlockWriterAndWaveFunctionAgreeToTheBit)
{
    const auto glide = [](Generator& g, int round) {
        if (round == 0) g.setText({Field::fInit, L}, "1503.5"); // a constant tone glides
        if (round == 1) g.setText({Field::fInit, R}, "211");
    };
    const auto phase = [](Generator& g, int round) {
        if (round == 1) g.setText({Field::PhaseEdit}, "271");
    };
    const auto restart = [](Generator& g, int round) {
        if (round == 0) g.setText({Field::fFinal, L}, "9000"); // a sweep starts again
    };
    const std::vector<Scene> setups = {
        {"mono square", 16, 0, kSquare, kSine, false, false, false, false, false, "0.05", nullptr},
        {"stereo", 24, 1, kSquare, kSawtooth, false, false, false, true, false, "0.04", nullptr},
        {"triangles", 24, 1, kTriangular, kTriangular, false, false, false, true, true, "0.04", phase},
        {"same as left", 16, 2, kSawtooth, kSine, false, false, false, true, false, "0.04", nullptr},
        {"glide", 24, 1, kSawtooth, kSquare, false, false, false, true, false, "1", glide},
        {"log sweep, repeats", 24, 1, kSquare, kSawtooth, true, true, false, true, false, "0.011", nullptr},
        {"bidirectional", 24, 1, kTriangular, kSquare, true, true, true, true, true, "0.007", nullptr},
        {"linear sweep, restarted", 16, 1, kSawtooth, kTriangular, true, false, false, true, false, "0.03", restart},
        {"mono sweep, ends", 24, 0, kSawtooth, kSquare, true, false, false, false, false, "0.05", nullptr},
    };
    for (const Scene& s : setups) {
        SCOPED_TRACE(s.name);
        Generator fast = Build(s);
        Generator ref = Build(s);
        const int bps = s.bits / 8;
        const int64_t frames = 1777; // several blocks and an odd tail
        std::vector<uint8_t> a(static_cast<size_t>(frames * bps * 2)), b(a.size());
        for (int round = 0; round < 4; ++round) {
            const int64_t na = fast.writeFrames(a.data(), frames, fast.readChoices());
            const int64_t nb = ref.writeFramesReference(b.data(), frames, ref.readChoices());
            ASSERT_EQ(na, nb);
            ASSERT_EQ(Unpacked(a, na, bps), Unpacked(b, nb, bps)) << "round " << round;
            if (s.between) {
                s.between(fast, round);
                s.between(ref, round);
            }
        }
        for (Channel c : kChannels) {
            EXPECT_EQ(fast[c].Phase, ref[c].Phase);
            EXPECT_EQ(fast[c].Step, ref[c].Step);
            EXPECT_EQ(fast[c].SawPrevious, ref[c].SawPrevious);
        }
        EXPECT_EQ(fast.state.SampleCounter, ref.state.SampleCounter);
    }
}

// The band-limited step is centred on the plain wave's step: an alias-free square crosses
// zero where the plain one jumps, so it keeps its phase to a sine on the other channel.
TEST(AliasFree, StepsSitWhereThePlainWaveHasThem)
{
    for (const double hz : {997.0, 4410.0}) {
        SCOPED_TRACE(hz);
        Generator g = MakeGenerator(48000, 24);
        g.settings.output.AliasFree = true;
        g.selectIndex({Field::WaveForm, L}, kSquare);
        g.setText({Field::fInit, L}, std::to_string(hz));
        g.PrepareSignal();
        const std::vector<int32_t> y = Samples(g, 0, 4800);
        // Frame n is made at phase (n + 1) x step: the steps fall at n = k pi / step - 1.
        const double step = 2 * std::numbers::pi * hz / 48000;
        int crossings = 0;
        for (size_t n = 200; n < y.size(); ++n) {
            if ((y[n - 1] < 0) == (y[n] < 0)) continue;
            const double at = static_cast<double>(n) - 1 + static_cast<double>(y[n - 1]) / (y[n - 1] - y[n]);
            const double k = std::round((at + 1) * step / std::numbers::pi);
            EXPECT_NEAR(at, k * std::numbers::pi / step - 1, 0.02) << "crossing near frame " << n;
            ++crossings;
        }
        EXPECT_GT(crossings, 100);
    }
}

// Steady tones peak within 0.05 dB under their level (between samples they reach it); a fast
// sweep and a glide never reach full scale, where the ripple would be clipped.
TEST(AliasFree, SamplesStayWithinTheLevel)
{
    struct Case {
        int wave;
        const char* from;
        const char* to; // nullptr: a constant tone
        bool logarithmic;
    };
    const Case cases[] = {
        {kSquare, "997", nullptr, false},      {kTriangular, "5000", nullptr, false},
        {kSawtooth, "7919", nullptr, false},   {kSquare, "20", "20000", true},
        {kSawtooth, "20", "20000", true},      {kSawtooth, "20000", "20", false},
        {kTriangular, "50", "23000", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + (c.to ? std::string(" to ") + c.to : ""));
        Generator g = MakeGenerator(48000, 24);
        g.settings.output.AliasFree = true;
        g.selectIndex({Field::WaveForm, L}, c.wave);
        g.setText({Field::fInit, L}, c.from);
        if (c.to) {
            g.setText({Field::fFinal, L}, c.to);
            g.setChecked({Field::chkConstant, L}, false);
            g.setChecked({Field::Logarithmic, L}, c.logarithmic);
        }
        g.setText({Field::Duration}, "0.25");
        g.PrepareSignal();
        int32_t peak = 0;
        for (int32_t v : Samples(g, c.wave, 12000)) peak = std::max(peak, std::abs(v));
        EXPECT_LT(peak, kFullScale24);
        if (!c.to) {
            EXPECT_GT(peak, kFullScale24 * std::pow(10, -0.05 / 20));
        }
        if (!c.to) {
            // A new frequency while it plays: the tone glides there, still under full scale.
            g.setText({Field::fInit, L}, "16000");
            for (int32_t v : Samples(g, c.wave, 3000)) EXPECT_LT(std::abs(v), kFullScale24);
        }
    }
}

TEST(AliasFree, SwitchedOffThePlainWaveComesBack)
{
    for (const int wave : {kSquare, kTriangular, kSawtooth}) {
        SCOPED_TRACE(wave);
        Generator plain = MakeGenerator(48000, 16);
        Generator both = MakeGenerator(48000, 16);
        for (Generator* g : {&plain, &both}) {
            g->selectIndex({Field::WaveForm, L}, wave);
            g->setText({Field::fInit, L}, "1234.5");
            g->PrepareSignal();
        }
        both.settings.output.AliasFree = true;
        std::vector<uint8_t> a(4096), b(4096);
        plain.writeFrames(a.data(), 1000, plain.readChoices());
        both.writeFrames(b.data(), 1000, both.readChoices());
        EXPECT_NE(a, b);
        both.settings.output.AliasFree = false;
        plain.writeFrames(a.data(), 1000, plain.readChoices());
        both.writeFrames(b.data(), 1000, both.readChoices());
        EXPECT_EQ(a, b);
        // And on again, from a fresh prediction: the same as a generator that had it on
        // from the start of this buffer's frame (both paths agree).
        both.settings.output.AliasFree = true;
        Generator ref = both;
        both.writeFrames(a.data(), 1000, both.readChoices());
        ref.writeFramesReference(b.data(), 1000, ref.readChoices());
        EXPECT_EQ(a, b);
    }
}
