// The generator's fill event and start sequence driving the output engine on the fake
// device: what reaches the device, when the stream ends, and how starts fail.

#include <gtest/gtest.h>

#include "audio/fake_device.h"
#include "audio/live/generator_output.h"
#include "audio/notice_queue.h"
#include "engine/controls.h"
#include "engine/pcm.h"

using namespace velmora;

namespace {

struct Rig {
    explicit Rig(int rate = 44100, int bits = 16, bool stereo = true, int buffers = 4, int size = 8192)
        : engine(device), output(generator, engine)
    {
        generator.settings.output.SamplingRate = rate;
        generator.settings.output.Quantisation = bits;
        generator.settings.output.Buffers = buffers;
        generator.settings.output.BufferSize = size;
        generator.selectIndex({Field::cboChannels}, stereo ? 1 : 0);
        generator.setText({Field::fInit, Channel::Left}, "441");
        generator.setText({Field::fInit, Channel::Right}, "441");
        engine.OnStart = [this] { ++starts; };
        engine.OnStop = [this] { ++stops; };
    }
    // Plays buffers one by one until the engine closes; returns the buffers played.
    int playToEnd(int limit = 10000)
    {
        int played = 0;
        queue.processPending();
        while (engine.Active() && played < limit) {
            played += device.complete(1);
            queue.processPending();
        }
        return played;
    }

    FakeDevice device;
    NoticeQueue queue;
    Generator generator;
    TAudioOut engine;
    GeneratorOutput output;
    int starts = 0, stops = 0;
};

int64_t LastNonZeroFrame(const std::vector<uint8_t>& bytes, int frameBytes, int bps)
{
    int64_t last = -1;
    for (size_t i = 0; i + static_cast<size_t>(frameBytes) <= bytes.size(); i += static_cast<size_t>(frameBytes))
        if (UnpackSample(&bytes[i], bps) != 0) last = static_cast<int64_t>(i) / frameBytes;
    return last;
}

} // namespace

TEST(Fill, FramesPerBufferForEachFormat)
{
    struct Case {
        int bits;
        bool stereo;
        int32_t bufferBytes;
        int64_t frames;
    };
    const Case cases[] = {{16, true, 8192, 2048}, {16, false, 8192, 4096}, {24, true, 8190, 1365}, {24, false, 8190, 2730}};
    for (const Case& c : cases) {
        Rig rig(44100, c.bits, c.stereo);
        rig.generator.settings.Loop = true;
        ASSERT_EQ(rig.output.startsignal(rig.queue).outcome, StartOutcome::Started);
        EXPECT_EQ(rig.engine.BufferSize(), c.bufferBytes);
        // The ring of four is primed at the start.
        EXPECT_EQ(rig.generator.state.SampleCounter, 4 * c.frames) << c.bits << " " << c.stereo;
        rig.queue.processPending();
        rig.device.complete(1);
        rig.queue.processPending();
        EXPECT_EQ(rig.generator.state.SampleCounter, 5 * c.frames);
        rig.engine.StopAtOnce();
        rig.queue.processPending();
    }
}

TEST(Fill, FiniteSignalsPlayWholeThenStop)
{
    // Every frame of the signal reaches the device; after it, silence only up to the end of
    // the buffer that held its last frame (or, for a signal shorter than the ring, until the
    // ring has gone round once), and nothing after that.
    struct Case {
        const char* duration;
        int64_t signalFrames;
        int64_t playedFrames;
    };
    const Case cases[] = {
        {"1", 44100, 45056},  // 22 buffers of 2048 frames; the last holds frames 43008..44099
        {"0.1", 4410, 8192},  // shorter than the ring: one whole ring is played
        {"0.5", 22050, 22528},
        {"0.18576", 8192, 8192}, // ends exactly with the ring
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.generator.selectIndex({Field::WaveForm, Channel::Left}, kSquare); // never zero
        rig.generator.setText({Field::Duration}, c.duration);
        ASSERT_EQ(rig.output.startsignal(rig.queue).outcome, StartOutcome::Started);
        rig.playToEnd();
        EXPECT_FALSE(rig.engine.Active()) << c.duration;
        EXPECT_EQ(rig.starts, 1);
        EXPECT_EQ(rig.stops, 1);
        const auto& played = rig.device.played();
        EXPECT_EQ(static_cast<int64_t>(played.size()), c.playedFrames * 4) << c.duration;
        EXPECT_EQ(LastNonZeroFrame(played, 4, 2), c.signalFrames - 1) << c.duration;
    }
}

TEST(Fill, PlayedBytesEqualTheExport)
{
    // What the device plays is exactly the signal the generator makes (compared with the
    // frame writer run on a second, identically prepared generator).
    Rig rig(48000, 24, true, 3, 4096);
    rig.generator.selectIndex({Field::WaveForm, Channel::Right}, kSawtooth);
    rig.generator.setChecked({Field::ModulationOn, Channel::Left}, true);
    rig.generator.setText({Field::Duration}, "0.3");
    ASSERT_EQ(rig.output.startsignal(rig.queue).outcome, StartOutcome::Started);
    rig.playToEnd();

    Generator ref;
    ref.settings.output = rig.generator.settings.output;
    ref.selectIndex({Field::cboChannels}, 1);
    ref.setText({Field::fInit, Channel::Left}, "441");
    ref.setText({Field::fInit, Channel::Right}, "441");
    ref.selectIndex({Field::WaveForm, Channel::Right}, kSawtooth);
    ref.setChecked({Field::ModulationOn, Channel::Left}, true);
    ref.setText({Field::Duration}, "0.3");
    ref.PrepareSignal();
    std::vector<uint8_t> expected(14400 * 6);
    ref.writeFrames(expected.data(), 14400, ref.readChoices());
    const auto& played = rig.device.played();
    ASSERT_GE(played.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), played.begin()));
    for (size_t i = expected.size(); i < played.size(); ++i) ASSERT_EQ(played[i], 0) << i;
}

TEST(Fill, GuardsStopTheOutput)
{
    {
        Rig rig;
        rig.generator.settings.Loop = true;
        int behind = 0;
        rig.output.callbacks.runningBehind = [&] { ++behind; };
        // The window's message never gets through: the next fill finds the flag cleared.
        rig.output.callbacks.aliveMessage = [] {};
        const StartResult r = rig.output.startsignal(rig.queue);
        EXPECT_EQ(r.outcome, StartOutcome::Started); // the start hands the primed ring over
        rig.playToEnd();
        EXPECT_EQ(behind, 1);
        EXPECT_FALSE(rig.engine.Active());
        EXPECT_FALSE(rig.generator.state.FillBusy);
    }
    {
        Rig rig;
        rig.generator.settings.Loop = true;
        int reentered = 0;
        rig.output.callbacks.reentered = [&] { ++reentered; };
        ASSERT_EQ(rig.output.startsignal(rig.queue).outcome, StartOutcome::Started);
        rig.generator.state.FillBusy = true; // as if a fill were still running
        rig.playToEnd();
        EXPECT_EQ(reentered, 1);
        EXPECT_FALSE(rig.engine.Active());
    }
}

TEST(Start, FailuresAndTheirMessages)
{
    {
        Rig rig;
        rig.device.failNextOpen();
        const StartResult r = rig.output.startsignal(rig.queue);
        EXPECT_EQ(r.outcome, StartOutcome::DeviceError);
        EXPECT_EQ(r.message.rfind("Sound Device Error: \r", 0), 0u) << r.message;
        EXPECT_GT(r.message.size(), 21u);
        // The next start works.
        EXPECT_EQ(rig.output.startsignal(rig.queue).outcome, StartOutcome::Started);
        EXPECT_EQ(rig.output.startsignal(rig.queue).outcome, StartOutcome::AlreadyRunning);
        rig.engine.StopAtOnce();
        rig.queue.processPending();
    }
    {
        Rig rig;
        rig.generator.settings.output.Buffers = 2;
        rig.output.callbacks.aliveMessage = [] {}; // the first fill after the start is declined
        rig.generator.state.AliveFlag = false;
        rig.generator.settings.PhaseEdit = "x";
        const StartResult r = rig.output.startsignal(rig.queue);
        EXPECT_EQ(r.outcome, StartOutcome::NotPrepared);
        EXPECT_NE(r.message.find("'x'"), std::string::npos);
        EXPECT_EQ(rig.device.opens(), 0);
    }
}
