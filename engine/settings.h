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

// Waveform list indexes (the right channel's wave number is the index + 10).
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
};
inline constexpr int kWaveFormCount = 10;

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
};

// Output parameters (the output settings dialog).
struct OutputSettings {
    int32_t SamplingRate = 44100;       // Hz
    int Quantisation = 16;              // bits: 16 or 24
    int Buffers = 4;                    // ring length, 2..4
    int BufferSize = 8192;              // bytes per ring buffer
    std::string txtCorrectionFactor = "0";
    int cboCorrectionUnits = 0;         // 0 "%", 1 "cent"
    double FrequencyCorrection = 1.0;   // multiplier applied to every frequency
    bool AliasFree = false;             // square, triangle and sawtooth without aliases
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
