#pragma once
// One block of up to 256 frames between the two stages of the frame writer: the
// sequential stage (Generator::makeBlock: counters, oscillators, the random source, which
// change the generator's state) leaves here everything the finishing stage
// (FinishFrameBlock: sin, pow, scaling, packing) needs, so that the finishing stage reads
// nothing else and may run on another thread. Plain data, no allocation.

#include <array>
#include <cstdint>

namespace velmora {

inline constexpr int kFrameBlock = 256;

struct ChannelBlock {
    std::array<double, kFrameBlock> arg;     // argument of the block function (phase, noise)
    std::array<double, kFrameBlock> value;   // the waveform value in -1..1
    std::array<double, kFrameBlock> scale;   // noise sign, or the sine pulse's gate and polarity
    std::array<double, kFrameBlock> mod;     // modulation time (counter), then factor
    std::array<int32_t, kFrameBlock> direct; // samples that need no scaling (Dirac pulse)
    std::array<double, kFrameBlock> dither;  // triangular dither in LSB, when dithered
    std::array<int32_t, kFrameBlock> sample; // the finished samples
    std::array<float, kFrameBlock> fsample;  // the finished samples, float output
};

// What the finishing stage needs of a channel, as it stood when the block was made.
struct ChannelBlockParams {
    int channel = 0; // which channel's state (0 left, 1 right)
    int wave = 0;
    bool modulated = false;
    int modFunction = 0;
    double amplitude = 1, modFactor = 1, noiseExponent = 0;
    double modDepth = 1, modPeriod = 1, modPhase = 0;
    bool shaped = false;   // the values are final already (the alias-free waves)
    bool dithered = false; // dither is added before rounding
};

struct FrameBlock {
    int n = 0;    // frames in the block
    int live = 0; // the first `live` frames are signal, the rest padding
    std::array<int64_t, kFrameBlock> counter;   // SampleCounter while frame i is made
    std::array<bool, kFrameBlock> restartAfter; // a repetition restarts after frame i
    int count = 1;        // channels computed: 1, or 2 for independent stereo
    bool stereo = false;
    int bytesPerSample = 2;  // 2, 3, or 4 for float samples
    bool floating = false;   // 32-bit float samples, fullScale 1
    int32_t fullScale = 32767;
    double samplingRate = 44100;
    int32_t onLeft = 1, onRight = 1;
    std::array<ChannelBlockParams, 2> params;
    // A block in a fade: each signal frame's gain, multiplied on before rounding.
    bool faded = false;
    std::array<double, kFrameBlock> fade;
    std::array<ChannelBlock, 2> channels;
    // Set by the finishing stage: the modulation factor of each channel's last frame.
    std::array<double, 2> lastModFactor{};
};

// The finishing stage: writes the block's frames to `out` and returns the bytes written.
// Reads and writes only the block (and `out`); safe on any thread.
int64_t FinishFrameBlock(FrameBlock& block, uint8_t* out);

} // namespace velmora
