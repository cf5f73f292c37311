// The message table: what each message number does to the generator's controls and to the
// window it reaches, on a plain generator with a recording window.
#include "control/generator_messages.h"
#include "engine/numbers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace velmora {
namespace {

constexpr Channel L = Channel::Left;
constexpr Channel R = Channel::Right;

struct RecordingTarget final : MessageTarget {
    void startsignal() override { calls.push_back("start"); }
    void stopAtOnce() override { calls.push_back("stop"); }
    void togglePause() override { calls.push_back("pause"); }
    void setSync(bool checked) override { calls.push_back(checked ? "sync on" : "sync off"); }
    void selectDevice(int64_t entry) override { calls.push_back("device entry " + std::to_string(entry)); }
    void MemRecall(int memory) override { calls.push_back("recall " + std::to_string(memory)); }
    void MemStore(int memory) override { calls.push_back("store " + std::to_string(memory)); }
    std::vector<std::string> calls;
};

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g.settings.output.SamplingRate = 44100;
        g.fConstChange(L);
        g.fConstChange(R);
        g.hooks.windowRule = [this](WindowRule, Channel) { ++rules; };
        g.hooks.outputActive = [] { return true; };
        g.hooks.stopAtOnce = [this] { ++stops; };
    }
    void TearDown() override { SetDecimalSeparator('.'); }
    MessageResult send(uint32_t n, uint32_t wParam = 0, int32_t lParam = 0)
    {
        return HandleMessage(g, target, n, wParam, lParam);
    }

    Generator g;
    RecordingTarget target;
    int rules = 0;
    int stops = 0;
};

TEST_F(MessagesTest, FrequencyLevelAndDurationTexts)
{
    struct Case {
        uint32_t message;
        uint32_t wParam;
        Field field;
        Channel channel;
        std::string text;
    };
    const Case cases[] = {
        {1031, 100050, Field::fInit, L, "1000.5"},
        {1032, 44, Field::fInit, L, "0.44"},
        {1033, 1500000, Field::fFinal, L, "15000"},
        {1131, 25, Field::fInit, R, "0.25"},
        {1132, 20000, Field::fInit, R, "200"},
        {1133, 7, Field::fFinal, R, "0.07"},
        // The level messages read wParam as signed.
        {1040, 0xFFFFFFFAu, Field::Amplitude, L, "-6"},
        {1140, 0xFFFFFF9Cu, Field::Amplitude, R, "-100"},
        {1040, 0, Field::Amplitude, L, "0"},
        // Every other message reads it as unsigned.
        {1031, 0xFFFFFFFAu, Field::fInit, L, "42949672.9"},
        {1034, 25, Field::Duration, L, "2.5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(send(c.message, c.wParam), MessageResult::Done) << c.message;
        EXPECT_EQ(g.text({c.field, c.channel}), c.text) << c.message << " " << c.wParam;
    }
}

TEST_F(MessagesTest, ChangeHandlersRunButExitHandlersDoNot)
{
    send(1031, 100050);
    EXPECT_DOUBLE_EQ(g[L].StartNorm, 1000.5 / 44100);
    // 0.05 Hz is below what leaving the field allows (0.1): the text stays as sent.
    send(1031, 5);
    EXPECT_EQ(g.settings[L].fInit, "0.05");
    EXPECT_DOUBLE_EQ(g[L].StartNorm, 0.05 / 44100);
    // Above half the sampling rate the recompute refuses it: the channel keeps its last
    // frequency and a running output is stopped; nothing throws.
    EXPECT_NO_THROW(send(1031, 0xFFFFFFFAu));
    EXPECT_EQ(g.settings[L].fInit, "42949672.9");
    EXPECT_DOUBLE_EQ(g[L].StartNorm, 0.05 / 44100);
    EXPECT_EQ(stops, 1);
    // Duration's exit handler is the one that does run: 0 s becomes one sample.
    send(1034, 0);
    EXPECT_EQ(g.settings.Duration, "2.26757E-5");
}

TEST_F(MessagesTest, NumbersUseTheUsersDecimalSeparator)
{
    SetDecimalSeparator(',');
    send(1031, 100050);
    EXPECT_EQ(g.settings[L].fInit, "1000,5");
    EXPECT_DOUBLE_EQ(g[L].StartNorm, 1000.5 / 44100);
}

TEST_F(MessagesTest, ChannelBitsSetLayoutAndTicks)
{
    struct Case {
        uint32_t wParam;
        int layout;
        bool left, right;
    };
    const Case cases[] = {{1, 1, true, false}, {0, 0, true, true}, {2, 1, false, true},
                          {3, 1, true, true},  {4, 1, false, false}, {0xFFFFFFFFu, 1, true, true}};
    for (const Case& c : cases) {
        const int before = rules;
        send(1038, c.wParam);
        EXPECT_EQ(g.settings.cboChannels, c.layout) << c.wParam;
        EXPECT_EQ(g.settings[L].Tick, c.left) << c.wParam;
        EXPECT_EQ(g.settings[R].Tick, c.right) << c.wParam;
        EXPECT_GT(rules, before) << "cboChannelsChange runs every time";
    }
}

TEST_F(MessagesTest, PhaseOnlyInStereoWithBothChannelsOn)
{
    send(1039, 90); // mono
    EXPECT_EQ(g.settings.PhaseEdit, "0");
    send(1038, 1); // stereo, right channel off
    send(1039, 90);
    EXPECT_EQ(g.settings.PhaseEdit, "0");
    send(1038, 3);
    send(1039, 90);
    EXPECT_EQ(g.settings.PhaseEdit, "90");
}

TEST_F(MessagesTest, ChecksAndPairs)
{
    send(1030, 1);
    EXPECT_FALSE(g.settings[L].chkConstant);
    send(1030, 0);
    EXPECT_TRUE(g.settings[L].chkConstant);
    send(1130, 7);
    EXPECT_FALSE(g.settings[R].chkConstant);
    send(1035, 1);
    EXPECT_TRUE(g.settings.Loop);
    send(1036, 1);
    send(1137, 1);
    send(1141, 1);
    EXPECT_TRUE(g.settings[L].Logarithmic);
    EXPECT_TRUE(g.settings[R].Bidirectional);
    EXPECT_TRUE(g.settings[R].ModulationOn);
    send(1043, 50, 25);
    EXPECT_EQ(g.settings[L].ModDepthEdit, "50");
    EXPECT_EQ(g.settings[R].ModDepthEdit, "25");
    send(1045, 90, -45);
    EXPECT_EQ(g.settings[L].ModPhaseEdit, "90");
    EXPECT_EQ(g.settings[R].ModPhaseEdit, "-45");
    send(1042, 3, 2);
    EXPECT_EQ(g.settings[L].ModPeriodEdit, "3");
    EXPECT_EQ(g.settings[R].ModPeriodEdit, "2");
}

// A waveform chosen by message is the same selection as one made by hand: the list's
// handler runs (a noise gets its crest factor's exponent, a pulse a constant frequency).
// The modulation lists keep the plain selection, which their samples read as they go.
TEST_F(MessagesTest, WaveformSelectionsRunTheListsHandler)
{
    Generator byHand;
    byHand.settings.output.SamplingRate = 44100;
    byHand.fConstChange(L);
    byHand.fConstChange(R);
    for (const auto& [message, channel, wave] :
         {std::tuple{1046u, L, kToneBurst}, {1146u, R, kImdDin}, {1046u, L, kPinkNoise}, {1146u, R, kPinkNoise},
          {1046u, L, kWhiteNoise}, {1146u, R, kSinePulse}}) {
        SCOPED_TRACE(std::to_string(message) + " wave " + std::to_string(wave));
        g.setChecked({Field::chkConstant, channel}, false);
        byHand.setChecked({Field::chkConstant, channel}, false);
        const int before = rules;
        send(message, static_cast<uint32_t>(wave));
        byHand.selectIndex({Field::WaveForm, channel}, wave);
        EXPECT_EQ(g.settings[channel].WaveForm, wave);
        EXPECT_GT(rules, before) << "the window's rules follow the new waveform";
        EXPECT_EQ(g[channel].NoiseExponent, byHand[channel].NoiseExponent);
        EXPECT_EQ(g.settings[channel].chkConstant, byHand.settings[channel].chkConstant);
    }
    EXPECT_NE(g[L].NoiseExponent, 0.0);
    EXPECT_NE(g[R].NoiseExponent, 0.0);
    EXPECT_TRUE(g.settings[R].chkConstant) << "a pulse runs at a constant frequency";

    const int before = rules;
    send(1044, kModSquare, kModSine);
    EXPECT_EQ(g.settings[L].ModFunction, kModSquare);
    EXPECT_EQ(g.settings[R].ModFunction, kModSine);
    EXPECT_EQ(rules, before);
}

TEST_F(MessagesTest, SelectionsBeyondTheListShowNoEntry)
{
    send(1046, kWaveFormCount);
    EXPECT_EQ(g.settings[L].WaveForm, -1);
    send(1146, 4294967295u);
    EXPECT_EQ(g.settings[R].WaveForm, -1);
    send(1044, 4, -1);
    EXPECT_EQ(g.settings[L].ModFunction, -1);
    EXPECT_EQ(g.settings[R].ModFunction, -1);
}

TEST_F(MessagesTest, WindowMessages)
{
    struct Case {
        uint32_t message, wParam;
        int32_t lParam;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {1024, 0, 0, {"start"}},
        {1025, 0, 0, {"stop"}},
        {1026, 0, 0, {"pause"}},
        {1027, 1, 0, {"sync on"}},
        {1027, 0, 0, {"sync off"}},
        {1047, 0, 0, {"device entry 1"}},
        {1047, 2, 0, {"device entry 3"}},
        {1047, 0xFFFFFFFFu, 0, {"device entry 0"}}, // id -1: the system default
        {1048, 0, 1, {"recall 1"}},
        {1048, 1, 4, {"store 4"}},
        {1048, 0, 7, {}},
        {1048, 0, 0, {}},
        {1048, 1, -2, {}},
        {1048, 2, 2, {}},
    };
    for (const Case& c : cases) {
        target.calls.clear();
        EXPECT_EQ(send(c.message, c.wParam, c.lParam), MessageResult::Done) << c.message;
        EXPECT_EQ(target.calls, c.calls) << c.message << " " << c.wParam << " " << c.lParam;
    }
}

TEST_F(MessagesTest, OtherNumbersAndTheInternalOneChangeNothing)
{
    const GeneratorSettings before = g.settings;
    for (uint32_t n : {0u, 1023u, 1028u, 1029u, 1049u, 1099u, 1101u, 1129u, 1134u, 1135u, 1138u, 1139u, 1142u,
                       1147u, 2000u, 0xFFFFFFFFu})
        EXPECT_EQ(send(n, 12345, 6), MessageResult::Unknown) << n;
    EXPECT_EQ(send(1100, 1, 1), MessageResult::Internal);
    EXPECT_TRUE(target.calls.empty());
    EXPECT_EQ(g.settings[L].fInit, before[L].fInit);
    EXPECT_EQ(g.settings[R].fInit, before[R].fInit);
    EXPECT_EQ(g.settings.Duration, before.Duration);
    EXPECT_EQ(g.settings.cboChannels, before.cboChannels);
}

// Random numbers and parameters, seeded: a message may end in a handler's error, as the
// same text typed by the user would, but never in anything else, and the generator still
// makes samples afterwards.
TEST_F(MessagesTest, RandomMessagesEndInHandlerErrorsAtWorst)
{
    std::mt19937 random(20261210);
    std::uniform_int_distribution<uint32_t> number(0, 2000);
    std::uniform_int_distribution<uint32_t> any;
    std::uniform_int_distribution<int> small(0, 4);
    int errors = 0;
    for (int i = 0; i < 20000; ++i) {
        const uint32_t n = i < 2001 ? static_cast<uint32_t>(i) : number(random);
        // Small parameters reach the flags and list entries; large ones the edge values.
        const uint32_t w = small(random) == 0 ? any(random) : static_cast<uint32_t>(small(random));
        const int32_t l = static_cast<int32_t>(small(random) == 0 ? any(random) : small(random));
        try {
            send(n, w, l);
        } catch (const ConversionError&) {
            ++errors;
        } catch (const ArithmeticError&) {
            ++errors;
        }
    }
    g.settings.output.Quantisation = 16;
    try {
        g.PrepareSignal();
    } catch (const ConversionError&) {
    } catch (const ArithmeticError&) {
    }
    std::vector<uint8_t> buffer(4096 * 4);
    EXPECT_GE(g.writeFrames(buffer.data(), 4096, g.readChoices()), 0);
    RecordProperty("handler_errors", errors);
}

} // namespace
} // namespace velmora
