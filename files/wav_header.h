#pragma once
// The canonical 44-byte RIFF/WAVE header of a PCM file. Pure; any thread.

#include <array>
#include <cstdint>

namespace velmora {

struct WavFormat {
    int channels = 1;          // 1 or 2
    int32_t samplingRate = 44100;
    int bytesPerFrame = 2;     // 2, 3, 4 or 6
};

using WavHeader = std::array<uint8_t, 44>;

// The largest number of data bytes a header can describe (its sizes are 32-bit signed).
inline constexpr int64_t kMaxWavDataBytes = INT32_MAX - 36;

// Builds the header for `frames` frames. The caller keeps frames * bytesPerFrame within
// kMaxWavDataBytes.
WavHeader MakeWavHeader(const WavFormat& format, int64_t frames);

} // namespace velmora
