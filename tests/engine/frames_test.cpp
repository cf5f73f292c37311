#include <gtest/gtest.h>

#include "engine/controls.h"
#include "engine/pcm.h"
#include "test_support.h"

using namespace velmora;
using namespace velmora::test;

TEST(Pcm, PacksLittleEndianTwosComplement)
{
    struct Case {
        int32_t x;
        int bytes;
        std::vector<uint8_t> packed;
    };
    const Case cases[] = {
        {-1, 3, {0xFF, 0xFF, 0xFF}},        {32767, 2, {0xFF, 0x7F}},
        {-32767, 2, {0x01, 0x80}},          {8388607, 3, {0xFF, 0xFF, 0x7F}},
        {-8388607, 3, {0x01, 0x00, 0x80}},  {4277, 2, {0xB5, 0x10}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(static_cast<size_t>(c.bytes));
        PackSample(out.data(), c.x, c.bytes);
        EXPECT_EQ(out, c.packed) << c.x;
        EXPECT_EQ(UnpackSample(out.data(), c.bytes), c.x);
    }
    EXPECT_EQ(RoundSample(40000.4, 32767), 32767);
    EXPECT_EQ(RoundSample(-1e30, 32767), -32767);
    EXPECT_EQ(RoundSample(std::nan(""), 32767), 0);
    EXPECT_EQ(RoundSample(2.5, 32767), 2);
}

namespace {
struct Frame {
    int32_t l, r;
};
std::vector<Frame> Frames(Generator& g, int64_t count)
{
    const int bps = g.settings.output.Quantisation / 8;
    const bool stereo = g.settings.stereo();
    std::vector<uint8_t> buf(static_cast<size_t>(count * bps * 2));
    const int64_t bytes = g.writeFrames(buf.data(), count, g.readChoices());
    EXPECT_EQ(bytes, count * bps * (stereo ? 2 : 1));
    std::vector<Frame> out;
    for (int64_t i = 0; i < count; ++i) {
        const uint8_t* p = buf.data() + i * bps * (stereo ? 2 : 1);
        out.push_back({UnpackSample(p, bps), stereo ? UnpackSample(p + bps, bps) : 0});
    }
    return out;
}
} // namespace

TEST(WriteFrames, ChannelOnFactorsAndSameAsLeft)
{
    Generator g = MakeGenerator(44100, 24);
    g.selectIndex({Field::cboChannels}, 1);
    g.setText({Field::fInit, L}, "441");
    g.setText({Field::fInit, R}, "882");
    g.setChecked({Field::Tick, R}, false);
    g.PrepareSignal();
    auto f = Frames(g, 50);
    for (const Frame& x : f) EXPECT_EQ(x.r, 0);
    EXPECT_NE(f[10].l, 0);

    g.setChecked({Field::Tick, R}, true);
    g.setChecked({Field::Tick, L}, false);
    g.PrepareSignal();
    f = Frames(g, 50);
    for (const Frame& x : f) EXPECT_EQ(x.l, 0);
    EXPECT_NE(f[10].r, 0);

    // "Same as Left" repeats the left samples, the left channel's on/off state included.
    g.setChecked({Field::Tick, L}, true);
    g.setChecked({Field::chkAsLeft}, true);
    g.PrepareSignal();
    f = Frames(g, 50);
    for (const Frame& x : f) EXPECT_EQ(x.r, x.l);
    EXPECT_NE(f[10].r, 0);
    g[L].OnFactor = 0;
    f = Frames(g, 50);
    for (const Frame& x : f) EXPECT_EQ(x.r, 0);
}

TEST(WriteFrames, MonoIgnoresTheOnFactors)
{
    Generator g = MakeGenerator(44100, 16);
    g[L].OnFactor = 0;
    g.PrepareSignal();
    const auto f = Frames(g, 10);
    EXPECT_NE(f[5].l, 0);
}

TEST(WriteFrames, FiniteSignalIsPaddedWithSilence)
{
    Generator g = MakeGenerator(44100, 16);
    g.setText({Field::fInit, L}, "441");
    g.setText({Field::Duration}, "0.001"); // 44 frames
    g.PrepareSignal();
    ASSERT_EQ(g.state.TotalSamples, 44);
    const auto f = Frames(g, 100);
    EXPECT_NE(f[43].l, 0);
    for (int i = 44; i < 100; ++i) EXPECT_EQ(f[i].l, 0) << i;
    EXPECT_EQ(g.state.SampleCounter, 100); // the counter runs on through the padding
}

TEST(WriteFrames, RepetitionRestartsInsideABufferWithoutAGap)
{
    Generator g = MakeGenerator(44100, 16);
    g.selectIndex({Field::WaveForm, L}, kDiracPulse);
    g.setText({Field::Duration}, "0.001"); // 44 frames per repetition
    g.settings.Loop = true;
    g.PrepareSignal();
    const auto f = Frames(g, 100);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(f[i].l, i % 44 == 0 ? 32767 : 0) << i;
    EXPECT_EQ(g.state.SampleCounter, 100 - 88);
}

// A Duration shortened while a repeating signal plays can leave the counter past the new
// length: the repetition restarts at once (one stale frame at most), in both writers,
// instead of running on silent.
TEST(WriteFrames, AShortenedRepetitionRestartsAtOnce)
{
    for (const bool reference : {false, true}) {
        SCOPED_TRACE(reference ? "reference" : "blocks");
        Generator g = MakeGenerator(48000, 16);
        g.selectIndex({Field::WaveForm, L}, kSinePulse);
        g.setText({Field::fInit, L}, "1000");
        g.setText({Field::Duration}, "0.1"); // 4800 frames a repetition
        g.settings.Loop = true;
        g.PrepareSignal();
        const auto write = [&](int64_t count) {
            std::vector<uint8_t> buf(static_cast<size_t>(count * 2));
            const auto choices = g.readChoices();
            reference ? g.writeFramesReference(buf.data(), count, choices) : g.writeFrames(buf.data(), count, choices);
            std::vector<int32_t> out;
            for (int64_t i = 0; i < count; ++i) out.push_back(UnpackSample(&buf[static_cast<size_t>(2 * i)], 2));
            return out;
        };
        const auto peak = [](const std::vector<int32_t>& x, size_t from, size_t to) {
            int32_t m = 0;
            for (size_t i = from; i < to; ++i) m = std::max(m, std::abs(x[i]));
            return m;
        };
        const auto first = write(3000);
        EXPECT_GT(peak(first, 0, 24), 30000);  // the pulse: half a period of 1 kHz
        EXPECT_EQ(peak(first, 30, 3000), 0);    // then silence until the repetition ends

        g.setText({Field::Duration}, "0.05"); // 2400 frames: the counter (3000) is past it
        g.DurationExit();
        ASSERT_EQ(g.state.TotalSamples, 2400);
        ASSERT_EQ(g.state.SampleCounter, 3000);
        const auto after = write(5000);
        EXPECT_GT(peak(after, 1, 25), 30000) << "the pulse does not come back";
        EXPECT_EQ(peak(after, 30, 2400), 0);
        EXPECT_GT(peak(after, 2401, 2425), 30000) << "the next repetition is not 2400 frames on";
        EXPECT_EQ(g.state.SampleCounter, (5000 - 1) % 2400);
    }
}
