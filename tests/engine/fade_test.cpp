// Fades: the frames outside a fade are the unfaded signal byte for byte, the frames inside
// it the unfaded samples times the envelope (within the rounding), the block writer and
// the one-frame path agree with fades as without, and OFF's fade-out ends in silence.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/controls.h"
#include "engine/fade.h"
#include "engine/pcm.h"
#include "test_support.h"

using namespace velmora;
using namespace velmora::test;

namespace {

struct FadeSetup {
    const char* name;
    int bits = 16;
    bool stereo = false;
    int waveL = kSine, waveR = kSine;
    bool modulation = false;
    bool loop = false;
    int dither = kDitherNone;
    const char* duration = "0.05";
};

Generator Build(const FadeSetup& s, bool fade, int fadeMs = 5)
{
    Generator g = MakeGenerator(48000, s.bits);
    g.uniform.seed(7);
    g.selectIndex({Field::cboChannels}, s.stereo ? 1 : 0);
    for (Channel c : kChannels) {
        g.selectIndex({Field::WaveForm, c}, c == L ? s.waveL : s.waveR);
        g.setText({Field::fInit, c}, c == L ? "997" : "2203");
        g.setChecked({Field::ModulationOn, c}, s.modulation);
        g.setText({Field::ModPeriodEdit, c}, "0.01");
        g.setText({Field::Amplitude, c}, "-0.5");
    }
    g.settings.Loop = s.loop;
    g.settings.output.Dither = s.dither;
    g.settings.output.FadeOn = fade;
    g.settings.output.FadeMs = fadeMs;
    g.setText({Field::Duration}, s.duration);
    g.PrepareSignal();
    return g;
}

// The frames of the whole signal as the export writes them.
std::vector<uint8_t> Export(Generator& g, int64_t frames, bool reference = false)
{
    FrameChoices f = g.readChoices();
    f.wholeSignal = true;
    f.loop = false;
    std::vector<uint8_t> out(static_cast<size_t>(frames * g.state.BytesPerFrame));
    const int64_t n = reference ? g.writeFramesReference(out.data(), frames, f) : g.writeFrames(out.data(), frames, f);
    EXPECT_EQ(n, static_cast<int64_t>(out.size()));
    return out;
}

double Rise(int64_t k, int64_t length) { return 0.5 - 0.5 * std::cos(std::numbers::pi * k / length); }

} // namespace

TEST(Fade, LengthsInFrames)
{
    EXPECT_EQ(FadeFrames(10, 44100), 441);
    EXPECT_EQ(FadeFrames(1, 8000), 8);
    EXPECT_EQ(FadeFrames(5, 48000), 240);
    EXPECT_EQ(FadeFrames(10000, 384000), 3840000);
    EXPECT_EQ(FadeRise(0, 240), 0.0);
    EXPECT_EQ(FadeRise(240, 240), 1.0);
    EXPECT_DOUBLE_EQ(FadeRise(120, 240), 0.5);
}

// A finite signal of 2400 frames with 240-frame fades against the same signal without.
TEST(Fade, OnlyTheFirstAndLastFramesChange)
{
    const std::vector<FadeSetup> setups = {
        {"sine mono 16", 16},
        {"stereo 24 modulated", 24, true, kSine, kTriangular, true},
        {"pink dithered", 16, true, kPinkNoise, kWhiteNoise, false, false, kDitherTpdf},
        {"sine pulse", 24, false, kSinePulse},
        {"multitone", 16, false, kMultitone},
    };
    for (const FadeSetup& s : setups) {
        SCOPED_TRACE(s.name);
        Generator plain = Build(s, false);
        Generator faded = Build(s, true);
        const int64_t n = plain.state.TotalSamples;
        ASSERT_EQ(n, 2400);
        ASSERT_EQ(faded.state.FadeLength, 240);
        const std::vector<uint8_t> a = Export(plain, n), b = Export(faded, n);
        const int bps = s.bits / 8;
        const int perFrame = s.stereo ? 2 : 1;
        for (int64_t i = 0; i < n * perFrame; ++i) {
            const int64_t frame = i / perFrame;
            const int32_t x = UnpackSample(&a[static_cast<size_t>(i * bps)], bps);
            const int32_t y = UnpackSample(&b[static_cast<size_t>(i * bps)], bps);
            if (frame >= 240 && frame < n - 240) {
                ASSERT_EQ(x, y) << "frame " << frame;
                continue;
            }
            const double e = frame < 240 ? Rise(frame, 240) : Rise(n - 1 - frame, 240);
            // Dither adds up to 1 LSB either way to both files.
            const double allowed = s.dither == kDitherTpdf ? 2.0 + 1e-9 : 1.0;
            ASSERT_LE(std::fabs(y - x * e), allowed) << "frame " << frame;
            if ((frame == 0 || frame == n - 1) && s.dither == kDitherNone) ASSERT_EQ(y, 0) << "frame " << frame;
        }
    }
}

// Fades through the block writer and the one-frame path: within 1 LSB, the same state.
TEST(Fade, BlockWriterMatchesTheReference)
{
    std::vector<FadeSetup> setups;
    for (int w = -1; w < kWaveFormCount; ++w) {
        setups.push_back({"mono", 16, false, w, 0, false, false, kDitherNone, "0.021"});
        setups.push_back({"stereo dithered", 24, true, w, (w + 3) % 10, true, false, kDitherTpdf, "0.013"});
        setups.push_back({"float", 32, true, (w + 5) % 10, w, false, false, kDitherNone, "0.017"});
    }
    setups.push_back({"short", 16, true, kSine, kSawtooth, false, false, kDitherNone, "0.004"});
    for (const FadeSetup& s : setups) {
        SCOPED_TRACE(std::string(s.name) + " " + std::to_string(s.waveL) + "/" + std::to_string(s.waveR));
        Generator fast = Build(s, true, 3);
        Generator ref = Build(s, true, 3);
        const int64_t n = fast.state.TotalSamples;
        const std::vector<uint8_t> a = Export(fast, n), b = Export(ref, n, true);
        ASSERT_EQ(a.size(), b.size());
        const int bps = s.bits / 8;
        for (size_t i = 0; i < a.size(); i += static_cast<size_t>(bps)) {
            if (s.bits == kFloatQuantisation)
                ASSERT_NEAR(UnpackFloat(&a[i]), UnpackFloat(&b[i]), 1e-6) << "byte " << i;
            else
                ASSERT_LE(std::abs(UnpackSample(&a[i], bps) - UnpackSample(&b[i], bps)), 1) << "byte " << i;
        }
        EXPECT_EQ(fast.state.FadeFrames, ref.state.FadeFrames);
        EXPECT_EQ(fast.state.DitherState, ref.state.DitherState);
        EXPECT_EQ(fast.uniform.state(), ref.uniform.state());
    }
}

// OFF during a repeating signal: the next frames fall to silence over the fade, the frames
// after it are silent; a second OFF is refused (it stops at once); without fades OFF never
// fades. Started without fades and switched on later, OFF still fades.
TEST(Fade, FadeOutBeforeOff)
{
    for (bool reference : {false, true}) {
        SCOPED_TRACE(reference ? "reference" : "blocks");
        const FadeSetup s{"loop", 16, false, kSquare, kSine, false, true, kDitherNone, "0.01"};
        Generator g = Build(s, true, 5);
        Generator plain = Build(s, false);
        FrameChoices f = g.readChoices();
        std::vector<uint8_t> a(2 * 1000), b(a.size());
        auto write = [&](Generator& gen, std::vector<uint8_t>& out, int64_t frames) {
            if (reference)
                gen.writeFramesReference(out.data(), frames, f);
            else
                gen.writeFrames(out.data(), frames, f);
        };
        write(g, a, 1000);
        write(plain, b, 1000);
        EXPECT_NE(a, b); // the fade-in
        write(g, a, 1000);
        write(plain, b, 1000);
        EXPECT_EQ(a, b); // past it, the repeating signal as it was

        EXPECT_FALSE(g.fadingOut());
        ASSERT_TRUE(g.beginFadeOut());
        EXPECT_FALSE(g.beginFadeOut());
        EXPECT_FALSE(g.fadedOut());
        write(g, a, 1000);
        write(plain, b, 1000);
        EXPECT_TRUE(g.fadedOut());
        for (int64_t k = 0; k < 1000; ++k) {
            const int32_t x = UnpackSample(&b[static_cast<size_t>(2 * k)], 2);
            const int32_t y = UnpackSample(&a[static_cast<size_t>(2 * k)], 2);
            if (k >= 239) {
                ASSERT_EQ(y, 0) << "frame " << k;
            } else {
                ASSERT_LE(std::fabs(y - x * Rise(239 - k, 240)), 1.0) << "frame " << k;
            }
        }
        EXPECT_FALSE(plain.beginFadeOut());
    }

    Generator late = Build({"late", 16, false, kSine, kSine, false, true}, false);
    std::vector<uint8_t> out(2 * 600);
    late.writeFrames(out.data(), 600, late.readChoices());
    late.settings.output.FadeOn = true;
    ASSERT_TRUE(late.beginFadeOut());
    late.writeFrames(out.data(), 600, late.readChoices());
    EXPECT_TRUE(late.fadedOut());
    EXPECT_NE(UnpackSample(&out[0], 2), 0);
    EXPECT_EQ(UnpackSample(&out[2 * 300], 2), 0);
}
