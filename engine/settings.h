#pragma once
// The user's parameters, one field per main-window control. The window keeps these current
// from its widgets; the generator reads choices straight from here while it makes samples.
// Plain data: read and written on the window thread only.

#include <array>
#include <cstdint>
#include <string>

namespace velmora {

enum class Channel : int { Left = 0, Right = 1 };
inline constexpr std::array<Channel, 2> kChannels{Channel::Left, Channel::Right};
inline constexpr int index(Channel c) { return static_cast<int>(c); }
inline constexpr Channel other(Channel c) { return c == Channel::Left ? Channel::Right : Channel::Left; }

// Waveform list indexes.
enum WaveForm : int {
    kSine = 0,
    kSquare = 1,
    kTriangular = 2,
    kSawtooth = 3,
    kWhiteNoise = 4,
    kPinkNoise = 5,
    kSinePulse = 6,
    kDiracPulse = 7,
    kSilence = 8,
    kMLS = 9,
    // Periods of 2^K samples with exact spectra, repeated sample for sample.
    kWhiteNoisePeriodic = 10,
    kPinkNoisePeriodic = 11,
    kBrownNoisePeriodic = 12,
    // Standard test signals that fix their own frequencies, made as periods too: 31 tones at
    // the third-octave centres on the bins of 2^K samples, and the two twin tones for
    // intermodulation (60 Hz + 7 kHz at 4:1, 19 kHz + 20 kHz at 1:1) over their exact period.
    kMultitone = 13,
    kImdSmpte = 14,
    kImdCcif = 15,
    // A sine of the frequency field for a number of cycles (the cycles field, fractions
    // allowed), Hann-windowed or not, at the start of every repetition; and the DIN twin tone
    // (250 Hz + 8 kHz at 4:1), made as the SMPTE one.
    kToneBurst = 16,
    kImdDin = 17,
};
inline constexpr int kWaveFormCount = 18;

inline constexpr bool IsPeriodicNoise(int index) { return index >= kWhiteNoisePeriodic && index <= kBrownNoisePeriodic; }
// The signals the fill reads from a period table.
inline constexpr bool IsPeriodicSignal(int index) { return index >= kWhiteNoisePeriodic && index <= kImdDin; }
// The signals that fix their own frequencies (the frequency fields do not apply).
inline constexpr bool IsFixedTones(int index)
{
    return (index >= kMultitone && index <= kImdCcif) || index == kImdDin;
}
inline constexpr bool IsTwinTone(int index) { return index == kImdSmpte || index == kImdCcif || index == kImdDin; }
// The signals whose period is 2^K samples from the length field.
inline constexpr bool HasPeriodLength(int index) { return IsPeriodicNoise(index) || index == kMultitone; }

// The wave function's number for a channel's list index: the first ten entries of the left
// list are 0-9 and of the right list 10-19 (a right index of -1, nothing selected, is 9);
// the later entries are 20-29 on the left and 30-39 on the right.
inline constexpr int WaveNumber(bool right, int index)
{
    return index < 10 ? index + (right ? 10 : 0) : index + (right ? 20 : 10);
}
inline constexpr bool WaveIsRight(int n) { return (n >= 10 && n < 20) || n >= 30; }
inline constexpr int WaveIndex(int n) { return n < 10 ? n : n < 20 ? n - 10 : n < 30 ? n - 10 : n - 20; }

// Modulation function list indexes.
enum ModFunction : int { kModSine = 0, kModCosine = 1, kModSquare = 2, kModTriangular = 3 };

// One channel's controls (WaveFormLeft / WaveFormRight, fInitLeft / fInitRight, ...).
struct ChannelSettings {
    int WaveForm = kSine;            // list index, -1 when nothing is selected
    bool chkConstant = true;         // Constant radio; the Sweep radio is its complement
    std::string fInit = "100";       // Hz, as typed
    std::string fFinal = "1000";     // Hz, as typed
    bool Logarithmic = false;        // also "Negative Polarity" for the pulses
    bool Bidirectional = false;
    std::string Amplitude = "0";     // dBFS, as typed
    int barAmplitude = 0;            // level slider, 0..10000 = level x -100
    bool Tick = true;                // Lefttick / RightTick: the channel is on
    bool ModulationOn = false;
    int ModFunction = kModCosine;
    std::string ModDepthEdit = "100";  // percent
    std::string ModPeriodEdit = "1";   // seconds
    std::string ModPhaseEdit = "0";    // degrees
    int cboCrestFactor = 0;            // 0 "1.42:1" .. 6 "10:1"
    std::string txtMLSLength = "16";   // register bits
    std::string txtMLSSeed;            // "1" left, "34757" right
    std::string txtCycles = "6.5";     // a tone burst's cycles, fractions allowed
    int cboBurstWindow = 0;            // 0 "Hann", 1 "None"
    std::string cboBand = "Full";      // a periodic noise's band: "Full" or "LOW:HIGH" in Hz
};

// The quantisation that means 32-bit IEEE float samples in -1..1.
inline constexpr int kFloatQuantisation = 32;
inline constexpr int kDitherNone = 0;
inline constexpr int kDitherTpdf = 1;

// Output parameters (the output settings dialog).
struct OutputSettings {
    int32_t SamplingRate = 44100;       // Hz
    int Quantisation = 16;              // bits: 16, 24, or 32 for 32-bit float samples
    int Dither = 0;                     // 0 "None", 1 "TPDF" (16 and 24 bits)
    int Buffers = 4;                    // ring length, 2..4
    int BufferSize = 8192;              // bytes per ring buffer
    std::string txtCorrectionFactor = "0";
    int cboCorrectionUnits = 0;         // 0 "%", 1 "cent"
    double FrequencyCorrection = 1.0;   // multiplier applied to every frequency
    bool AliasFree = false;             // square, triangle and sawtooth without aliases
    bool FadeOn = false;                // fade in at a start, out before the end and at OFF
    int FadeMs = 10;                    // the fades' length in ms, 1..10000

    bool floatSamples() const { return Quantisation == kFloatQuantisation; }
    // Triangular dither before rounding: integer samples only.
    bool dithered() const { return Dither == kDitherTpdf && !floatSamples(); }
};

inline constexpr std::array<int32_t, 10> kSamplingRates{8000,  11025, 22050,  44100,  48000,
                                                        88200, 96000, 176400, 192000, 384000};

struct GeneratorSettings {
    GeneratorSettings()
    {
        channel[0].txtMLSSeed = "1";
        channel[1].txtMLSSeed = "34757";
    }

    std::array<ChannelSettings, 2> channel;
    std::string PhaseEdit = "0";   // degrees the right channel leads the left
    std::string Duration = "5";    // seconds, as typed
    bool Loop = false;             // "Repeat"
    int cboChannels = 0;           // 0 "Mono", 1 "Stereo"
    bool chkAsLeft = false;        // "Same as Left"
    OutputSettings output;

    ChannelSettings& operator[](Channel c) { return channel[static_cast<size_t>(c)]; }
    const ChannelSettings& operator[](Channel c) const { return channel[static_cast<size_t>(c)]; }
    bool stereo() const { return cboChannels == 1; }
};

} // namespace velmora
