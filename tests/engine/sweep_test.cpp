#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/controls.h"
#include "engine/numbers.h"
#include "test_support.h"

using namespace velmora;
using namespace velmora::test;

namespace {
constexpr double kTwoPi = 2 * std::numbers::pi;

// The frequency (Hz) at which the sample with the current counter is made.
double StepFrequency(const Generator& g, Channel c)
{
    return g[c].Step / kTwoPi * g.samplingRate();
}
} // namespace

TEST(FrequencyRecompute, ConstantToneValues)
{
    Generator g = MakeGenerator(44100);
    g.setText({Field::fInit, L}, "441");
    EXPECT_DOUBLE_EQ(g[L].StartNorm, 0.01);
    EXPECT_NEAR(g[L].TargetStep, 0.0628318530718, 1e-12);
    EXPECT_EQ(g[L].PulseLength, 50);
    g.setText({Field::fInit, L}, "1000");
    EXPECT_NEAR(g[L].StartNorm, 0.0226757369614512, 1e-15);
    EXPECT_NEAR(g[L].TargetStep, 0.142475857305659, 1e-14);
    EXPECT_EQ(g[L].PulseLength, 22);
    EXPECT_EQ(g[L].FinalNorm, g[L].StartNorm);
    EXPECT_EQ(g[L].SweepFactor, 1);
    EXPECT_EQ(g[L].SweepIncrement, 0);
    EXPECT_EQ(g.state.TotalSamples, 220500);
}

TEST(FrequencyRecompute, LinearAndLogarithmicSweeps)
{
    Generator lin = MakeGenerator(44100);
    lin.setChecked({Field::chkConstant, L}, false);
    lin.setText({Field::fInit, L}, "100");
    lin.setText({Field::fFinal, L}, "1000");
    lin.fConstChange(L); // switching to Sweep alone recomputes nothing
    EXPECT_EQ(lin.state.TotalSamples, 220500);
    EXPECT_DOUBLE_EQ(lin[L].SweepIncrement, (1000.0 - 100) / 44100 * kTwoPi / 220499);

    Generator log = MakeGenerator(48000);
    log.setChecked({Field::chkConstant, L}, false);
    log.setChecked({Field::Logarithmic, L}, true);
    log.setText({Field::fInit, L}, "20");
    log.setText({Field::fFinal, L}, "20000");
    log.setText({Field::Duration}, "10"); // its change recomputes the left channel
    EXPECT_NEAR(log[L].SweepFactor, std::exp(std::log(1000.0) / 479999), 1e-15);
    log.PrepareSignal();
    // Every sample uses the step before its own update: counter 479999 is made at 20 kHz.
    for (int i = 0; i < 479999; ++i) {
        log.WaveFunc(kSine);
        ++log.state.SampleCounter;
    }
    EXPECT_NEAR(StepFrequency(log, L), 20000, 1e-6);
}

TEST(FrequencyRecompute, CorrectionScalesTheGeneratedFrequency)
{
    Generator g = MakeGenerator(44100);
    g.setText({Field::txtCorrectionFactor}, "1");
    EXPECT_DOUBLE_EQ(g.settings.output.FrequencyCorrection, 1.01);
    g.setText({Field::fInit, L}, "1000");
    EXPECT_NEAR(g[L].StartNorm * 44100, 1010, 1e-9);

    g.setText({Field::txtCorrectionFactor}, "100");
    g.selectIndex({Field::cboCorrectionUnits}, 1); // cent
    EXPECT_NEAR(g.settings.output.FrequencyCorrection, std::pow(2.0, 1.0 / 12), 1e-15);
    g.selectIndex({Field::cboCorrectionUnits}, 0);
    EXPECT_DOUBLE_EQ(g.settings.output.FrequencyCorrection, 2.0);

    g.setText({Field::txtCorrectionFactor}, "-"); // still typing: unchanged
    EXPECT_DOUBLE_EQ(g.settings.output.FrequencyCorrection, 2.0);
    g.setText({Field::txtCorrectionFactor}, "abc");
    EXPECT_EQ(g.settings.output.txtCorrectionFactor, "0");
    EXPECT_DOUBLE_EQ(g.settings.output.FrequencyCorrection, 1.0);
}

TEST(FrequencyRecompute, RejectedValuesKeepTheStateAndStopTheOutput)
{
    struct Case {
        Field field;
        const char* text;
        Recompute::Status status;
    };
    const Case cases[] = {
        {Field::fFinal, "30000", Recompute::OutOfRange}, // blocks a constant tone too
        {Field::fInit, "0", Recompute::OutOfRange},
        {Field::fInit, "-5", Recompute::OutOfRange},
        {Field::fInit, "abc", Recompute::NotANumber},
    };
    for (const Case& c : cases) {
        Generator g = MakeGenerator(44100);
        int stops = 0;
        g.hooks.outputActive = [] { return true; };
        g.hooks.stopAtOnce = [&] { ++stops; };
        const double before = g[L].StartNorm;
        g.settings[L].fInit = "1000";
        g.settings[L].fFinal = "1000";
        (c.field == Field::fInit ? g.settings[L].fInit : g.settings[L].fFinal) = c.text;
        g.state.FillBusy = true;
        const Recompute r = g.fConstChange(L);
        EXPECT_EQ(r.status, c.status) << c.text;
        EXPECT_EQ(g[L].StartNorm, before) << c.text;
        EXPECT_EQ(stops, 1) << c.text;
        // Only a range rejection goes on to clear the busy flag.
        EXPECT_EQ(g.state.FillBusy, c.status != Recompute::OutOfRange) << c.text;
    }
}

TEST(FrequencyRecompute, OneSampleSweepIsAnArithmeticFailure)
{
    Generator g = MakeGenerator(44100);
    g.setChecked({Field::chkConstant, L}, false);
    g.settings.Duration = "0.00002"; // one sample
    const Recompute r = g.fConstChange(L);
    EXPECT_EQ(r.status, Recompute::ArithmeticFailure);
    EXPECT_EQ(g.state.TotalSamples, 1);
}

TEST(Repetition, BidirectionalSweepsBackAndPlainOnesRestart)
{
    for (bool bidirectional : {true, false}) {
        Generator g = MakeGenerator(44100);
        g.settings.Loop = true;
        g.setChecked({Field::chkConstant, L}, false);
        g.setChecked({Field::Bidirectional, L}, bidirectional);
        g.setText({Field::fInit, L}, "100");
        g.setText({Field::fFinal, L}, "1000");
        g.setText({Field::Duration}, "0.1");
        g.PrepareSignal();
        std::vector<uint8_t> buf(4410 * 2 * 3);
        const FrameChoices f = g.readChoices();
        g.writeFrames(buf.data(), 4410, f); // the first repetition, ending at 1000 Hz
        EXPECT_EQ(g.state.SampleCounter, 0);
        const double phase = g[L].Phase;
        if (bidirectional) {
            EXPECT_NEAR(StepFrequency(g, L), 1000, 0.5);
            g.writeFrames(buf.data(), 4410, f); // back down
            EXPECT_NEAR(StepFrequency(g, L), 100, 0.5);
            g.writeFrames(buf.data(), 4410, f); // and up again
            EXPECT_NEAR(StepFrequency(g, L), 1000, 0.5);
        } else {
            EXPECT_DOUBLE_EQ(StepFrequency(g, L), 100);
            EXPECT_GT(phase, 0); // the phase runs on across the jump
        }
    }
}

TEST(PrepareSignal, SawtoothOffsetAndOutputFormat)
{
    struct Case {
        const char* phase;
        double sawPrevious;
    };
    for (const Case& c : {Case{"270", -0.5}, Case{"90", 0.5}, Case{"180", 1.0}, Case{"0", 0}}) {
        Generator g = MakeGenerator(44100, 24);
        g.settings.PhaseEdit = c.phase;
        g.settings.cboChannels = 1;
        g.PrepareSignal();
        EXPECT_DOUBLE_EQ(g[R].SawPrevious, c.sawPrevious) << c.phase;
        EXPECT_EQ(g.state.FullScale, 8388607);
        EXPECT_EQ(g.state.BytesPerFrame, 6);
    }
    Generator g = MakeGenerator(44100, 16);
    g.settings.PhaseEdit = "x";
    EXPECT_THROW(g.PrepareSignal(), ConversionError);
}
