#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/controls.h"
#include "test_support.h"

using namespace velmora;
using namespace velmora::test;

TEST(WaveFunc, FirstSampleOfEachToneAt1kHz48kHz)
{
    struct Case {
        int wave;
        int32_t first;
    };
    const Case cases[] = {{kSine, 4277}, {kSquare, 32767}, {kTriangular, 2731}, {kSawtooth, 1365}};
    for (const Case& c : cases) {
        Generator g = MakeGenerator(48000);
        g.setText({Field::fInit, L}, "1000");
        g.PrepareSignal();
        EXPECT_EQ(g.WaveFunc(c.wave), c.first) << "wave " << c.wave;
    }
}

TEST(WaveFunc, LevelScalesEveryWaveformButTheDiracPulse)
{
    // -6 dBFS: a 16-bit sine peaks at 16422; -100 dBFS: 0 at 16 bits, +/-84 at 24 bits.
    struct Case {
        const char* level;
        int bits;
        int32_t peak;
    };
    for (const Case& c : {Case{"-6", 16, 16422}, Case{"-100", 16, 0}, Case{"-100", 24, 84}}) {
        Generator g = MakeGenerator(44100, c.bits);
        g.setText({Field::fInit, L}, "441"); // 100 samples per period
        g.setText({Field::Amplitude, L}, c.level);
        g.PrepareSignal();
        int32_t hi = 0, lo = 0;
        for (int32_t s : Samples(g, kSine, 100)) {
            hi = std::max(hi, s);
            lo = std::min(lo, s);
        }
        EXPECT_EQ(hi, c.peak) << c.level << " " << c.bits;
        EXPECT_EQ(lo, -c.peak) << c.level << " " << c.bits;
    }
    Generator g = MakeGenerator();
    g.setText({Field::Amplitude, L}, "-20");
    g.PrepareSignal();
    const auto dirac = Samples(g, kDiracPulse, 5);
    EXPECT_EQ(dirac, (std::vector<int32_t>{32767, 0, 0, 0, 0}));
}

TEST(WaveFunc, PulsesAndTheirPolarity)
{
    Generator g = MakeGenerator(44100);
    g.setText({Field::fInit, L}, "1000");
    g.PrepareSignal();
    ASSERT_EQ(g[L].PulseLength, 22);
    const auto pulse = Samples(g, kSinePulse, 60);
    for (int i = 0; i <= 22; ++i) EXPECT_NE(pulse[i], 0) << i;
    EXPECT_LT(pulse[22], 0); // phase 23 x step is just past pi
    EXPECT_GT(pulse[21], 0);
    for (int i = 23; i < 60; ++i) EXPECT_EQ(pulse[i], 0) << i;

    // Right pulse negative with only the right polarity box checked.
    Generator s = MakeGenerator(44100);
    s.settings.cboChannels = 1;
    s.setText({Field::fInit, L}, "1000");
    s.setText({Field::fInit, R}, "1000");
    s.setChecked({Field::Logarithmic, R}, true);
    s.PrepareSignal();
    const int32_t left = s.WaveFunc(kSinePulse);
    const int32_t right = s.WaveFunc(kSinePulse + 10);
    EXPECT_GT(left, 0);
    EXPECT_EQ(right, -left);

    Generator d = MakeGenerator();
    d.setChecked({Field::Logarithmic, L}, true);
    d.PrepareSignal();
    EXPECT_EQ(Samples(d, kDiracPulse, 2), (std::vector<int32_t>{-32767, 0}));
}

TEST(WaveFunc, NoSelectionStillAdvancesTheOscillator)
{
    Generator a = MakeGenerator();
    Generator b = MakeGenerator();
    a.PrepareSignal();
    b.PrepareSignal();
    EXPECT_EQ(a.WaveFunc(-1), 0);
    EXPECT_EQ(b.WaveFunc(kSilence), 0);
    EXPECT_EQ(a[L].Phase, b[L].Phase);
    EXPECT_GT(a[L].Phase, 0);
    EXPECT_EQ(a.WaveFunc(kSine), b.WaveFunc(kSine));
    EXPECT_EQ(a.WaveFunc(20), 0); // beyond the right channel's list
}

TEST(WaveFunc, HalfTheSamplingRateNeedsOneWrap)
{
    Generator g = MakeGenerator(48000);
    g.setText({Field::fInit, L}, "24000");
    g.PrepareSignal();
    ASSERT_DOUBLE_EQ(g[L].Step, std::numbers::pi);
    for (int i = 0; i < 10; ++i) {
        g.WaveFunc(kSine);
        EXPECT_GT(g[L].Phase, 0);
        EXPECT_LE(g[L].Phase, 2 * std::numbers::pi);
    }
}

TEST(WaveFunc, ConstantToneGlidesToANewFrequency)
{
    Generator g = MakeGenerator(44100);
    g.setText({Field::fInit, L}, "1000");
    g.PrepareSignal();
    Samples(g, kSine, 10);
    const double oldStep = g[L].Step;
    g.setText({Field::fInit, L}, "2000");
    EXPECT_EQ(g[L].Step, oldStep); // not touched by the recompute
    const double phase = g[L].Phase;
    g.WaveFunc(kSine);
    EXPECT_DOUBLE_EQ(g[L].Phase, phase + oldStep); // the first sample still uses the old step
    Samples(g, kSine, 137);
    const double target = g[L].TargetStep;
    EXPECT_NEAR(g[L].Step, (oldStep + target) / 2, 0.02 * (target - oldStep)); // about half way
    Samples(g, kSine, 2000);
    EXPECT_NEAR(g[L].Step, target, 1e-4 * target);
}

TEST(WaveFunc, RightChannelLeadsByThePhaseOffset)
{
    Generator g = MakeGenerator(44100);
    g.settings.cboChannels = 1;
    g.setText({Field::fInit, L}, "441");
    g.setText({Field::fInit, R}, "441");
    g.setText({Field::PhaseEdit}, "90");
    g.PrepareSignal();
    const int32_t l = g.WaveFunc(kSine);
    const int32_t r = g.WaveFunc(kSine + 10);
    const double step = 2 * std::numbers::pi / 100;
    EXPECT_EQ(l, std::lround(std::sin(step) * 32767));
    EXPECT_EQ(r, std::lround(std::cos(step) * 32767));
}

TEST(WaveFunc, LevelsAboveFullScaleSaturateInsteadOfWrapping)
{
    Generator g = MakeGenerator(44100, 16);
    g.setText({Field::fInit, L}, "441");
    g.PrepareSignal();
    g.setText({Field::Amplitude, L}, "20"); // typed during playback: no normalisation
    int32_t hi = 0, lo = 0;
    for (int32_t s : Samples(g, kSine, 100)) {
        hi = std::max(hi, s);
        lo = std::min(lo, s);
    }
    EXPECT_EQ(hi, 32767);
    EXPECT_EQ(lo, -32767);
}

TEST(Triangle, ShapeAndExtremes)
{
    EXPECT_DOUBLE_EQ(triangle(0), 0);
    EXPECT_DOUBLE_EQ(triangle(std::numbers::pi / 2), 1);
    EXPECT_DOUBLE_EQ(triangle(3 * std::numbers::pi / 2), -1);
    EXPECT_NEAR(triangle(std::numbers::pi / 4), 0.5, 1e-12);
    EXPECT_EQ(sign(0.0), 1);
    EXPECT_EQ(sign(-1e-300), -1);
    EXPECT_EQ(PolarityFactor(true), -1);
}

TEST(Modulation, FactorFollowsShapeDepthAndPhase)
{
    struct Case {
        int function;
        const char* depth;
        const char* phase;
        int64_t counter;
        double factor;
    };
    const Case cases[] = {
        {kModCosine, "100", "0", 0, 0.0},    {kModCosine, "100", "0", 11025, 0.5},
        {kModCosine, "100", "0", 22050, 1.0}, {kModSine, "50", "90", 0, 0.5},
        {kModSine, "50", "90", 22050, 1.0},  {kModSquare, "100", "0", 100, 0.0},
        {kModSquare, "100", "0", 22100, 1.0}, {kModTriangular, "100", "0", 11025, 0.0},
    };
    for (const Case& c : cases) {
        Generator g = MakeGenerator(44100);
        g.setChecked({Field::ModulationOn, L}, true);
        g.setIndex({Field::ModFunction, L}, c.function);
        g.setText({Field::ModDepthEdit, L}, c.depth);
        g.setText({Field::ModPhaseEdit, L}, c.phase);
        g.PrepareSignal();
        g.state.SampleCounter = c.counter;
        g.WaveFunc(kSine);
        EXPECT_NEAR(g[L].ModFactor, c.factor, 1e-9)
            << "function " << c.function << " counter " << c.counter;
    }
}
