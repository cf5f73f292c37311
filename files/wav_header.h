#pragma once
// The header of a wave file: the canonical 44-byte RIFF/WAVE header of integer PCM, the
// header of IEEE float samples (with its `fact` chunk), and RF64 (EBU Tech 3306) for a file
// whose sizes pass what 32-bit fields hold. Pure; any thread.

#include <cstdint>
#include <vector>

namespace velmora {

struct WavFormat {
    int channels = 1;          // 1 or 2
    int32_t samplingRate = 44100;
    int bytesPerFrame = 2;     // 2, 3, 4, 6 or 8
    bool floating = false;     // 32-bit IEEE float samples
};

using WavHeader = std::vector<uint8_t>;

// The largest number of data bytes a 44-byte integer PCM header describes (its sizes are
// 32-bit signed); a larger file is written as RF64.
inline constexpr int64_t kMaxWavDataBytes = INT32_MAX - 36;

// Whether a file of `frames` frames needs the RF64 form.
bool NeedsRf64(const WavFormat& format, int64_t frames);

// Builds the header for `frames` frames: 44 bytes for integer PCM and 58 for float samples
// (as RIFF), or 80 and 94 as RF64.
WavHeader MakeWavHeader(const WavFormat& format, int64_t frames);
// The same with further complete chunks (id, size, bytes, pad byte) placed before the data
// chunk; readers skip chunks they do not know. No export carries any.
WavHeader MakeWavHeader(const WavFormat& format, int64_t frames, const std::vector<uint8_t>& chunks);

} // namespace velmora
