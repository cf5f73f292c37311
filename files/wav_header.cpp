#include "wav_header.h"

#include <cstring>

namespace velmora {

namespace {
void Put(WavHeader& h, const char* tag) { h.insert(h.end(), tag, tag + 4); }
void Put16(WavHeader& h, uint16_t v)
{
    h.push_back(static_cast<uint8_t>(v));
    h.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(WavHeader& h, uint32_t v)
{
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put64(WavHeader& h, uint64_t v)
{
    for (int i = 0; i < 8; ++i) h.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// What the RIFF chunk holds besides the samples: "WAVE", the format chunk (16 bytes of
// integer PCM, 18 of float with its empty extension), the float's fact chunk, and the data
// chunk's own header.
int64_t RiffOverhead(const WavFormat& f) { return 4 + 8 + (f.floating ? 18 + 12 : 16) + 8; }

constexpr uint32_t kUnknown32 = 0xFFFFFFFF; // RF64: the size is in the ds64 chunk
} // namespace

bool NeedsRf64(const WavFormat& f, int64_t frames)
{
    return frames * f.bytesPerFrame + RiffOverhead(f) > INT32_MAX;
}

WavHeader MakeWavHeader(const WavFormat& f, int64_t frames) { return MakeWavHeader(f, frames, {}); }

WavHeader MakeWavHeader(const WavFormat& f, int64_t frames, const std::vector<uint8_t>& chunks)
{
    const uint64_t dataBytes = static_cast<uint64_t>(frames) * static_cast<uint64_t>(f.bytesPerFrame);
    const bool rf64 = frames * f.bytesPerFrame + RiffOverhead(f) + static_cast<int64_t>(chunks.size()) > INT32_MAX;
    constexpr int64_t kDs64Chunk = 8 + 28;
    const uint64_t riffBytes =
        dataBytes + static_cast<uint64_t>(RiffOverhead(f)) + chunks.size() + (rf64 ? kDs64Chunk : 0);
    WavHeader h;
    h.reserve(96);
    Put(h, rf64 ? "RF64" : "RIFF");
    Put32(h, rf64 ? kUnknown32 : static_cast<uint32_t>(riffBytes));
    Put(h, "WAVE");
    if (rf64) {
        Put(h, "ds64");
        Put32(h, 28);
        Put64(h, riffBytes);
        Put64(h, dataBytes);
        Put64(h, static_cast<uint64_t>(frames));
        Put32(h, 0); // no table of other chunks' sizes
    }
    Put(h, "fmt ");
    Put32(h, f.floating ? 18 : 16);
    Put16(h, f.floating ? 3 : 1); // IEEE float, or integer PCM
    Put16(h, static_cast<uint16_t>(f.channels));
    Put32(h, static_cast<uint32_t>(f.samplingRate));
    Put32(h, static_cast<uint32_t>(f.samplingRate * f.bytesPerFrame));
    Put16(h, static_cast<uint16_t>(f.bytesPerFrame));
    Put16(h, static_cast<uint16_t>(f.bytesPerFrame * 8 / f.channels));
    if (f.floating) {
        Put16(h, 0); // no extension
        Put(h, "fact");
        Put32(h, 4);
        Put32(h, rf64 ? kUnknown32 : static_cast<uint32_t>(frames));
    }
    h.insert(h.end(), chunks.begin(), chunks.end());
    Put(h, "data");
    Put32(h, rf64 ? kUnknown32 : static_cast<uint32_t>(dataBytes));
    return h;
}

} // namespace velmora
