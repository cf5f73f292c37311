// The block writer against the sample-by-sample reference: every sample within 1 LSB
// (the vector functions may differ from the C library in the last bit), the running state
// identical afterwards.

#include <gtest/gtest.h>

#include "engine/controls.h"
#include "engine/pcm.h"
#include "test_support.h"

using namespace velmora;
using namespace velmora::test;

namespace {

struct Config {
    const char* name;
    int bits;
    int channels; // 0 mono, 1 stereo, 2 stereo same as left
    int waveL, waveR;
    bool modulation;
    int modFunction;
    bool sweep, logarithmic, bidirectional, loop;
    const char* duration;
    int dither = kDitherNone;
};

Generator Build(const Config& s)
{
    Generator g = MakeGenerator(48000, s.bits);
    g.uniform.seed(99);
    g.selectIndex({Field::cboChannels}, s.channels == 0 ? 0 : 1);
    for (Channel c : kChannels) {
        g.selectIndex({Field::WaveForm, c}, c == L ? s.waveL : s.waveR);
        g.setChecked({Field::chkConstant, c}, !s.sweep);
        g.setChecked({Field::Logarithmic, c}, s.logarithmic);
        g.setChecked({Field::Bidirectional, c}, s.bidirectional);
        g.setChecked({Field::ModulationOn, c}, s.modulation);
        g.setIndex({Field::ModFunction, c}, s.modFunction);
        g.setText({Field::ModPeriodEdit, c}, "0.01");
        g.setText({Field::ModDepthEdit, c}, "70");
        g.setText({Field::fInit, c}, c == L ? "997" : "3001");
        g.setText({Field::fFinal, c}, c == L ? "15000" : "40");
        g.selectIndex({Field::cboCrestFactor, c}, c == L ? 2 : 5);
        g.setText({Field::Amplitude, c}, c == L ? "-1.5" : "-0.01");
    }
    g.setText({Field::PhaseEdit}, "33");
    g.setChecked({Field::chkAsLeft}, s.channels == 2);
    g.settings.Loop = s.loop;
    g.settings.output.Dither = s.dither;
    g.setText({Field::Duration}, s.duration);
    g.fConstChange(L);
    g.fConstChange(R);
    g.PrepareSignal();
    return g;
}

} // namespace

TEST(BlockWriter, MatchesTheReferenceWithinOneLsb)
{
    std::vector<Config> setups;
    for (int w = -1; w < kWaveFormCount; ++w) {
        setups.push_back({"mono", 16, 0, w, 0, false, 0, false, false, false, false, "0.05"});
        setups.push_back({"stereo", 24, 1, w, (w + 3) % 10, false, 0, false, false, false, true, "0.013"});
        setups.push_back({"right", 24, 1, 0, w, true, 1, false, false, false, true, "0.013"});
    }
    for (int m = 0; m < 4; ++m) {
        setups.push_back({"mod", 24, 1, kSine, kPinkNoise, true, m, false, false, false, true, "0.02"});
        setups.push_back({"mod-mono", 16, 0, kWhiteNoise, 0, true, m, false, false, false, false, "0.05"});
    }
    setups.push_back({"log-bidi", 24, 1, kSawtooth, kTriangular, false, 0, true, true, true, true, "0.011"});
    setups.push_back({"lin", 16, 1, kSquare, kSinePulse, false, 0, true, false, false, true, "0.007"});
    setups.push_back({"same", 24, 2, kPinkNoise, kSine, true, 3, false, false, false, true, "0.009"});
    setups.push_back({"end", 16, 1, kMLS, kDiracPulse, false, 0, false, false, false, false, "0.021"});
    setups.push_back({"pink-pair", 24, 1, kPinkNoise, kPinkNoise, true, 1, false, false, false, true, "0.017"});
    setups.push_back({"pink-pair-end", 16, 1, kPinkNoise, kPinkNoise, false, 0, false, false, false, false, "0.04"});
    setups.push_back({"white-pink", 16, 1, kWhiteNoise, kPinkNoise, false, 0, false, false, false, true, "0.03"});
    // Dither (its own source, left before right) and float samples, every waveform.
    for (int w = -1; w < kWaveFormCount; ++w) {
        setups.push_back({"dither-mono", 16, 0, w, 0, false, 0, false, false, false, false, "0.05", kDitherTpdf});
        setups.push_back({"dither-stereo", 24, 1, w, (w + 5) % 10, true, 2, false, false, false, true, "0.013",
                          kDitherTpdf});
        setups.push_back({"float-mono", 32, 0, w, 0, true, 3, false, false, false, false, "0.05"});
        setups.push_back({"float-stereo", 32, 1, (w + 7) % 10, w, false, 0, true, true, true, true, "0.013",
                          kDitherTpdf});
    }
    setups.push_back({"dither-same", 16, 2, kSine, kPinkNoise, false, 0, false, false, false, true, "0.009", kDitherTpdf});

    for (const Config& s : setups) {
        SCOPED_TRACE(std::string(s.name) + " waves " + std::to_string(s.waveL) + "/" +
                     std::to_string(s.waveR) + " mod " + std::to_string(s.modFunction));
        Generator fast = Build(s);
        Generator ref = Build(s);
        const int bps = s.bits / 8;
        const int64_t frames = 3001; // several blocks, an odd tail, repetitions or the end
        std::vector<uint8_t> a(static_cast<size_t>(frames * bps * 2)), b(a.size());
        for (int round = 0; round < 3; ++round) {
            const int64_t na = fast.writeFrames(a.data(), frames, fast.readChoices());
            const int64_t nb = ref.writeFramesReference(b.data(), frames, ref.readChoices());
            ASSERT_EQ(na, nb);
            int differing = 0;
            if (s.bits == kFloatQuantisation) {
                for (int64_t i = 0; i < na; i += bps) {
                    const float x = UnpackFloat(&a[static_cast<size_t>(i)]);
                    const float y = UnpackFloat(&b[static_cast<size_t>(i)]);
                    ASSERT_NEAR(x, y, 1e-6) << "byte " << i;
                    differing += x != y;
                }
                EXPECT_LT(differing, na / bps / 100 + 2);
                continue;
            }
            for (int64_t i = 0; i < na; i += bps) {
                const int32_t x = UnpackSample(&a[static_cast<size_t>(i)], bps);
                const int32_t y = UnpackSample(&b[static_cast<size_t>(i)], bps);
                ASSERT_LE(std::abs(x - y), 1) << "byte " << i;
                differing += x != y;
            }
            EXPECT_LT(differing, na / bps / 100 + 2);
        }
        for (Channel c : kChannels) {
            EXPECT_EQ(fast[c].Phase, ref[c].Phase);
            EXPECT_EQ(fast[c].Step, ref[c].Step);
            EXPECT_EQ(fast[c].SawPrevious, ref[c].SawPrevious);
            EXPECT_EQ(fast[c].MlsRegister, ref[c].MlsRegister);
            EXPECT_NEAR(fast[c].ModFactor, ref[c].ModFactor, 1e-12);
        }
        EXPECT_EQ(fast.state.SampleCounter, ref.state.SampleCounter);
        EXPECT_EQ(fast.state.PinkRows, ref.state.PinkRows);
        EXPECT_EQ(fast.uniform.state(), ref.uniform.state());
        EXPECT_EQ(fast.state.DitherState, ref.state.DitherState);
    }
}
