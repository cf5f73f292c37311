// The file name the wave export suggests, from the control texts as they stand.
#include <gtest/gtest.h>

#include "files/wave_file_name.h"

using namespace velmora;

namespace {

// The waveform list's item text: the last three items carry a hidden "Noise" ending,
// padded to 52 characters in the left list and 51 in the right.
std::string Item(const std::string& name, bool left = true)
{
    if (name != "Dirac Pulse" && name != "Silence" && name != "MLS") return name;
    const size_t width = left ? 52 : 51;
    return name + std::string(width - name.size() - 5, ' ') + "Noise";
}

WaveNameChannel Tone(const std::string& wave, const std::string& f, const std::string& level, bool left = true)
{
    WaveNameChannel c;
    c.waveForm = Item(wave, left);
    c.mls = wave == "MLS";
    c.periodic = wave.find("(periodic)") != std::string::npos;
    c.fixedTones = wave == "Multitone" || wave.starts_with("IMD ");
    c.fInit = f;
    c.fFinal = "1000";
    c.amplitude = level;
    c.crestFactor = "1.42:1";
    c.mlsLength = "16";
    c.mlsSeed = left ? "1" : "34757";
    c.burst = wave == "Tone Burst";
    c.cycles = "6.5";
    c.burstWindow = "Hann";
    c.band = "Full";
    return c;
}

WaveNameFields Mono(WaveNameChannel left)
{
    WaveNameFields f;
    f.duration = "5";
    f.channel = {left, Tone("Sine", "100", "0", false)};
    return f;
}

WaveNameFields Stereo(WaveNameChannel left, WaveNameChannel right, const std::string& phase = "0")
{
    WaveNameFields f;
    f.duration = "5";
    f.stereo = true;
    f.phase = phase;
    f.channel = {left, right};
    return f;
}

WaveNameChannel Sweep(WaveNameChannel c, const std::string& to)
{
    c.constant = false;
    c.fFinal = to;
    return c;
}
WaveNameChannel Crest(WaveNameChannel c, const std::string& crest)
{
    c.crestFactor = crest;
    return c;
}
WaveNameChannel Off(WaveNameChannel c)
{
    c.tick = false;
    return c;
}

} // namespace

TEST(SuggestedWaveFileName, FollowsTheNamingRules)
{
    const struct {
        WaveNameFields fields;
        const char* name;
    } cases[] = {
        {Mono(Tone("Sine", "1000", "0")), "5s Sine 1000Hz 0dBFS.wav"},
        {Mono(Sweep(Tone("Sine", "100", "-3"), "1000")), "5s Sine sweep 100Hz to 1000Hz -3dBFS.wav"},
        {Mono(Tone("White Noise", "1000", "-10")), "5s White Noise(1.42to1) -10dBFS mono.wav"},
        {Mono(Tone("MLS", "1000", "0")), "5s MLS 16 bits, seed=1.wav"},
        {Mono(Tone("Dirac Pulse", "1000", "0")), "5s Dirac Pulse.wav"},
        {Mono(Tone("Silence", "1000", "0")), "5s Silence.wav"},
        {Mono(Tone("Sine Pulse", "1000", "0")), "5s Sine Pulse 1000Hz 0dBFS.wav"},
        {Stereo(Tone("Sine", "1000", "0"), Tone("Sine", "500", "0", false), "90"),
         "5s L=Sine1000Hz 0dBFS; R=Sine 500Hz 0dBFS 90 degrees out of phase.wav"},
        {Stereo(Off(Tone("Sine", "1000", "0")), Crest(Tone("Pink Noise", "1000", "-6", false), "10:1")),
         "5s R=Pink Noise (10to1) -6dBFS.wav"},
        // The left part of a sweep, a noise on the left, the right's MLS details.
        {Stereo(Sweep(Tone("Square", "20", "-1"), "20000"), Off(Tone("Sine", "1", "0", false))),
         "5s L=Squaresweep 20Hz to 20000Hz -1dBFS.wav"},
        {Stereo(Crest(Tone("White Noise", "1", "-2"), "4:1"), Tone("MLS", "1", "0", false)),
         "5s L=White Noise (4to1) -2dBFS; R=MLS 16 bits, seed=34757.wav"},
        // "Same as Left" names the left signal alone, as in mono; the phase only follows a
        // right part.
        {[] {
             WaveNameFields f = Stereo(Tone("Sine", "440", "0"), Tone("Sine", "500", "0", false), "90");
             f.asLeft = true;
             return f;
         }(),
         "5s Sine 440Hz 0dBFS.wav"},
        {Stereo(Tone("Sine", "440", "0"), Off(Tone("Sine", "500", "0", false)), "90"), "5s L=Sine440Hz 0dBFS.wav"},
        {Stereo(Off(Tone("Sine", "440", "0")), Off(Tone("Sine", "500", "0", false))), "5s.wav"},
        // The periodic noises name their period and level.
        {[] {
             WaveNameFields f = Mono(Tone("Pink Noise (periodic)", "1000", "-20"));
             f.duration = "10";
             return f;
         }(),
         "10s Pink Noise periodic 2^16 -20dBFS.wav"},
        {Stereo(Tone("White Noise (periodic)", "1", "-20"), Tone("Brown Noise (periodic)", "1", "-26", false)),
         "5s L=White Noise periodic 2^16 -20dBFS; R=Brown Noise periodic 2^16 -26dBFS.wav"},
        // The signals that fix their own frequencies name them, not the frequency fields.
        {[] {
             WaveNameFields f = Mono(Tone("IMD SMPTE", "1000", "-1"));
             f.duration = "10";
             return f;
         }(),
         "10s IMD SMPTE 60Hz+7kHz 4-1 -1dBFS.wav"},
        {Mono(Tone("Multitone", "1000", "-3")), "5s Multitone third-octave 2^16 -3dBFS.wav"},
        {Stereo(Tone("IMD CCIF", "1", "-6"), Tone("Multitone", "1", "-1", false)),
         "5s L=IMD CCIF 19kHz+20kHz 1-1 -6dBFS; R=Multitone third-octave 2^16 -1dBFS.wav"},
        // The tone burst names its frequency, cycles and window; IMD DIN its tones; a periodic
        // noise held to a band names the band (the full band nothing).
        {Mono(Tone("Tone Burst", "50", "-6")), "5s Tone Burst 50Hz 6.5 cycles Hann -6dBFS.wav"},
        {[] {
             WaveNameChannel burst = Tone("Tone Burst", "1000", "0", false);
             burst.cycles = "3,5";
             burst.burstWindow = "None";
             WaveNameChannel noise = Tone("Pink Noise (periodic)", "1", "-20");
             noise.band = "500:2000";
             return Stereo(noise, burst);
         }(),
         "5s L=Pink Noise periodic 2^16 500-2000Hz -20dBFS; R=Tone Burst 1000Hz 3,5 cycles unwindowed 0dBFS.wav"},
        {Mono(Tone("IMD DIN", "1000", "-1")), "5s IMD DIN 250Hz+8kHz 4-1 -1dBFS.wav"},
        // A '/' typed into a field cannot go into a file name.
        {Mono(Tone("Sine", "1/2", "0")), "5s Sine 1_2Hz 0dBFS.wav"},
    };
    for (const auto& c : cases) EXPECT_EQ(SuggestedWaveFileName(c.fields), c.name);
}

TEST(SuggestedWaveFileName, StaysWithinOneFileNameOfTheFileSystem)
{
    WaveNameFields f = Mono(Tone("Sine", std::string(300, '1'), "0"));
    f.channel[0].amplitude = "\xC3\xA9"; // a two-byte character that must not be split
    const std::string name = SuggestedWaveFileName(f);
    EXPECT_LE(name.size(), 255u);
    EXPECT_EQ(name.substr(name.size() - 4), ".wav");
    EXPECT_EQ(name.substr(0, 10), "5s Sine 11");
    f.channel[0].fInit = std::string(239, '1'); // puts the two bytes of é at 250-251, across the cut
    const std::string cut = SuggestedWaveFileName(f);
    EXPECT_LE(cut.size(), 255u);
    EXPECT_EQ(cut.find('\xC3'), std::string::npos);
}

TEST(SuggestedWaveFileName, CrestFactorText)
{
    EXPECT_EQ(CrestFactorForName("1.42:1"), "1.42to1");
    EXPECT_EQ(CrestFactorForName("10:1"), "10to1");
    EXPECT_EQ(CrestFactorForName(""), "");
}
