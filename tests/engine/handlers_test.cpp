#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/controls.h"
#include "engine/numbers.h"
#include "test_support.h"

using namespace velmora;
using namespace velmora::test;

TEST(Handlers, MlsLengthSetsTheDuration)
{
    Generator g = MakeGenerator(48000);
    g.setText({Field::txtMLSLength, L}, "10");
    EXPECT_EQ(g.settings.Duration, "0.0213125");
    EXPECT_EQ(g.state.TotalSamples, 1023);
    g.setText({Field::txtMLSLength, L}, "40");
    EXPECT_EQ(g.settings[L].txtMLSLength, "32");
    g.setText({Field::txtMLSLength, L}, "x");
    EXPECT_EQ(g.settings[L].txtMLSLength, "16");
    EXPECT_EQ(g.state.TotalSamples, 65535);
    g.setText({Field::txtMLSLength, L}, ""); // still typing
    EXPECT_EQ(g.state.TotalSamples, 65535);
    g.setText({Field::txtMLSLength, R}, "40"); // the right field is never normalised
    EXPECT_EQ(g.settings[R].txtMLSLength, "40");
}

TEST(Handlers, DurationExitAndFrequencyExit)
{
    Generator g = MakeGenerator(44100);
    int notices = 0;
    g.hooks.aboveNyquist = [&](Channel) { ++notices; };
    g.setText({Field::Duration}, "0");
    g.DurationExit();
    EXPECT_EQ(g.settings.Duration, "2.26757E-5");
    EXPECT_EQ(g.state.TotalSamples, 1);
    g.setText({Field::Duration}, "abc");
    g.DurationExit();
    EXPECT_EQ(g.settings.Duration, "1");

    g.setText({Field::fInit, L}, "30000");
    g.setText({Field::fInit, R}, "30000");
    g.DurationExit(); // re-checks both start frequencies
    EXPECT_EQ(notices, 2);
    EXPECT_EQ(g.settings[L].fInit, "22050");
    EXPECT_EQ(g.settings[R].fInit, "22050");
    EXPECT_DOUBLE_EQ(g[L].StartNorm, 0.5);

    g.setText({Field::fFinal, L}, "");
    g.FrequencyExit(L, Field::fFinal);
    EXPECT_EQ(g.settings[L].fFinal, "0.1");
    g.setText({Field::fInit, L}, "1,5");
    g.FrequencyExit(L, Field::fInit);
    EXPECT_EQ(g.settings[L].fInit, "1.5");
    g.setText({Field::fInit, L}, "12abc");
    EXPECT_THROW(g.FrequencyExit(L, Field::fInit), ConversionError);
    EXPECT_EQ(g.settings[L].fInit, "12abc"); // the field keeps its text

    g.setText({Field::Duration}, "1e9");
    EXPECT_THROW(g.DurationExit(), ArithmeticError);
    EXPECT_EQ(g.settings.Duration, "1e9");
}

TEST(Handlers, LevelFieldAndSliderFollowEachOther)
{
    struct Case {
        const char* typed;
        const char* text;
        int position;
    };
    for (const Case& c : {Case{"-3.456", "-3.46", 346}, Case{"-120", "-100", 10000},
                          Case{"6", "0", 0}, Case{"abc", "0", 0}}) {
        Generator g = MakeGenerator();
        g.setText({Field::Amplitude, L}, c.typed);
        g.AmplitudeExit(L);
        EXPECT_EQ(g.settings[L].Amplitude, c.text) << c.typed;
        EXPECT_EQ(g.settings[L].barAmplitude, c.position) << c.typed;
        EXPECT_DOUBLE_EQ(g[L].Amplitude, std::pow(10.0, IntlStrToFloat(c.text) / 20));
    }
    Generator g = MakeGenerator();
    g.setPosition({Field::barAmplitude, L}, 346);
    EXPECT_EQ(g.settings[L].Amplitude, "-3.46");
    EXPECT_NEAR(g[L].Amplitude, std::pow(10.0, -3.46 / 20), 1e-15);

    g.setText({Field::Amplitude, L}, "-");
    EXPECT_NEAR(g[L].Amplitude, std::pow(10.0, -3.46 / 20), 1e-15); // kept while typing
}

TEST(Handlers, ModulationFieldsChangeAndNormalise)
{
    Generator g = MakeGenerator();
    struct Case {
        Field field;
        const char* typed;
        const char* normalised;
    };
    const Case cases[] = {
        {Field::ModDepthEdit, "150", "100"},   {Field::ModDepthEdit, "-5", "0"},
        {Field::ModDepthEdit, "abc", "100"},   {Field::ModPeriodEdit, "0.12345", "0.123"},
        {Field::ModPeriodEdit, "abc", "1"},    {Field::ModPeriodEdit, "-2", "-2"},
        {Field::ModPhaseEdit, "-90", "0"},     {Field::ModPhaseEdit, "720", "720"},
        {Field::ModPhaseEdit, "abc", "0"},
    };
    for (const Case& c : cases) {
        g.setText({c.field, L}, c.typed);
        switch (c.field) {
        case Field::ModDepthEdit: g.ModDepthEditExit(L); break;
        case Field::ModPeriodEdit: g.ModPeriodEditExit(L); break;
        default: g.ModPhaseEditExit(L); break;
        }
        EXPECT_EQ(g.text({c.field, L}), c.normalised) << c.typed;
    }
    g.setText({Field::ModDepthEdit, L}, "40");
    EXPECT_DOUBLE_EQ(g[L].ModDepth, 0.4);
    g.setText({Field::ModDepthEdit, L}, ""); // emptied while typing: the depth stays
    EXPECT_DOUBLE_EQ(g[L].ModDepth, 0.4);
    g.setText({Field::ModPhaseEdit, L}, "90");
    EXPECT_DOUBLE_EQ(g[L].ModPhase, std::numbers::pi / 2);

    // A zero period while playing stops the output and the field shows "1".
    int stops = 0;
    g.hooks.outputActive = [] { return true; };
    g.hooks.stopAtOnce = [&] { ++stops; };
    g.setText({Field::ModPeriodEdit, L}, "0");
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(g.settings[L].ModPeriodEdit, "1");
    EXPECT_EQ(g[L].ModPeriod, 1);
}

TEST(Handlers, PhaseFieldRoundsThroughTheStoredRadians)
{
    Generator g = MakeGenerator();
    for (auto [typed, text] : {std::pair{"33.333", "33.33"}, std::pair{"-90", "-90"},
                               std::pair{"450", "450"}, std::pair{"abc", "0"}}) {
        g.setText({Field::PhaseEdit}, typed);
        g.PhaseEditExit();
        EXPECT_EQ(g.settings.PhaseEdit, text) << typed;
    }
    g.setText({Field::PhaseEdit}, "90");
    EXPECT_DOUBLE_EQ(g[R].PhaseOffset, std::numbers::pi / 2);
}

TEST(Handlers, SameAsLeftDragsTheRightChannelAlong)
{
    Generator g = MakeGenerator();
    g.selectIndex({Field::cboChannels}, 1);
    g.selectIndex({Field::WaveForm, L}, kWhiteNoise);
    g.selectIndex({Field::cboCrestFactor, L}, 3);
    g.setText({Field::PhaseEdit}, "45");
    g.setChecked({Field::chkAsLeft}, true);
    EXPECT_EQ(g.settings[R].WaveForm, kWhiteNoise);
    EXPECT_EQ(g.settings[R].cboCrestFactor, 3);
    EXPECT_EQ(g[R].NoiseExponent, 7.5);
    EXPECT_EQ(g.settings.PhaseEdit, "0");

    g.setPosition({Field::barAmplitude, L}, 600);
    EXPECT_EQ(g.settings[R].Amplitude, "-6");
    EXPECT_EQ(g.settings[R].barAmplitude, 600);
    g.setChecked({Field::ModulationOn, L}, true);
    EXPECT_TRUE(g.settings[R].ModulationOn);
    g.selectIndex({Field::ModFunction, L}, kModSquare);
    EXPECT_EQ(g.settings[R].ModFunction, kModSquare);
    g.setText({Field::fInit, L}, "1234");
    EXPECT_EQ(g.settings[R].fInit, "1234");
    EXPECT_DOUBLE_EQ(g[R].StartNorm, g[L].StartNorm);
}

TEST(Handlers, CopyFromRightAndPulsesForceConstant)
{
    Generator g = MakeGenerator();
    g.selectIndex({Field::cboChannels}, 1);
    g.setChecked({Field::chkConstant, R}, false);
    g.setText({Field::fInit, R}, "500");
    g.setText({Field::Amplitude, R}, "-12");
    g.CopySettingsFrom(R);
    EXPECT_FALSE(g.settings[L].chkConstant);
    EXPECT_EQ(g.settings[L].fInit, "500");
    EXPECT_EQ(g.settings[L].Amplitude, "-12");
    EXPECT_NEAR(g[L].Amplitude, std::pow(10.0, -12.0 / 20), 1e-15);

    g.selectIndex({Field::WaveForm, L}, kDiracPulse);
    EXPECT_TRUE(g.settings[L].chkConstant);
}

TEST(Handlers, MonoLayoutTurnsBothChannelsOnAndClearsThePhase)
{
    Generator g = MakeGenerator();
    int stops = 0;
    g.hooks.outputActive = [] { return true; };
    g.hooks.stopAtOnce = [&] { ++stops; };
    g.selectIndex({Field::cboChannels}, 1);
    g.setText({Field::PhaseEdit}, "30");
    g.setChecked({Field::Tick, L}, false);
    EXPECT_EQ(stops, 0);
    g.setChecked({Field::Tick, R}, false); // both off stops the output
    EXPECT_EQ(stops, 1);
    g.selectIndex({Field::cboChannels}, 0);
    EXPECT_TRUE(g.settings[L].Tick);
    EXPECT_TRUE(g.settings[R].Tick);
    EXPECT_EQ(g[L].OnFactor, 1);
    EXPECT_EQ(g.settings.PhaseEdit, "0");
    EXPECT_EQ(g[R].PhaseOffset, 0);
}

TEST(Handlers, LogarithmicClickRecomputesFromThePresentState)
{
    Generator g = MakeGenerator(44100);
    g.setChecked({Field::chkConstant, L}, false);
    g.setText({Field::fInit, L}, "100");
    g.setText({Field::fFinal, L}, "1000");
    g.fConstChange(L);
    g.state.SampleCounter = 500;
    g.setChecked({Field::Logarithmic, L}, true);
    EXPECT_EQ(g.state.SampleCounter, 0);
    EXPECT_NEAR(g[L].SweepFactor, std::exp(std::log(10.0) / 220499), 1e-15);
    EXPECT_EQ(g[L].SweepIncrement, 0);

    g.setText({Field::Duration}, "0.00002"); // one sample
    EXPECT_THROW(g.setChecked({Field::Logarithmic, L}, false), ArithmeticError);
}

TEST(Handlers, HostileTextsInEveryNumericFieldNeverCrash)
{
    const std::string texts[] = {"",     "-",     ",",    "1e400", "nan",  "inf",
                                 "1e308", "-1e308", "0",  "-0",    "abc", std::string(10000, '7')};
    for (const ControlInfo& info : ControlTable()) {
        if (info.kind != ControlKind::Text) continue;
        for (const std::string& t : texts) {
            Generator g = MakeGenerator();
            g.selectIndex({Field::cboChannels}, 1);
            try {
                g.setText(info.control, t);
                g.PrepareSignal();
                std::vector<uint8_t> buf(4096 * 4);
                g.writeFrames(buf.data(), 4096, g.readChoices());
            } catch (const ConversionError&) {
            } catch (const ArithmeticError&) {
            }
        }
    }
}
