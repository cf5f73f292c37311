#pragma once
// The file name the wave export suggests for the current signal, built from the texts of
// the main window's controls as they stand. Pure; any thread; allocates the returned text.

#include <array>
#include <string>

namespace velmora {

// One channel's controls, as texts (lists by their item text).
struct WaveNameChannel {
    std::string waveForm;     // the waveform list's item text, hidden "Noise" ending and all
    bool mls = false;         // the waveform is "MLS"
    bool periodic = false;    // a periodic noise: "Pink Noise periodic 2^16 -20dBFS"
    bool fixedTones = false;  // the multitone or a twin tone: "IMD SMPTE 60Hz+7kHz 4-1 -1dBFS"
    bool constant = true;     // Constant (true) or Sweep
    bool tick = true;         // Lefttick / RightTick
    std::string fInit, fFinal, amplitude;
    std::string crestFactor;  // "1.42:1" ... "10:1"
    std::string mlsLength, mlsSeed;
    bool burst = false;       // a tone burst: "Tone Burst 1000Hz 6.5 cycles Hann -1dBFS"
    std::string cycles;       // the cycles field
    std::string burstWindow;  // the window list's item text, "Hann" or "None"
    std::string band;         // a periodic noise's band field: "Full", "500:2000" ...
};

struct WaveNameFields {
    std::string duration;
    bool stereo = false;
    bool asLeft = false;
    std::string phase = "0";
    std::array<WaveNameChannel, 2> channel; // left, right
};

// "1.42:1" -> "1.42to1".
std::string CrestFactorForName(const std::string& crest);

// "5s Sine 1000Hz 0dBFS.wav", "5s L=Sine1000Hz 0dBFS; R=Sine 500Hz 0dBFS 90 degrees out of
// phase.wav", "5s MLS 16 bits, seed=1.wav" ... Every '/' a field brings in becomes '_', and
// a name too long for the file system is shortened before ".wav".
std::string SuggestedWaveFileName(const WaveNameFields& fields);

} // namespace velmora
