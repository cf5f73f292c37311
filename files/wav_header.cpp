#include "wav_header.h"

#include <cstring>

namespace velmora {

namespace {
void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
} // namespace

WavHeader MakeWavHeader(const WavFormat& f, int64_t frames)
{
    WavHeader h{};
    const uint32_t dataBytes = static_cast<uint32_t>(frames * f.bytesPerFrame);
    std::memcpy(h.data(), "RIFF", 4);
    Put32(h.data() + 4, dataBytes + 36);
    std::memcpy(h.data() + 8, "WAVE", 4);
    std::memcpy(h.data() + 12, "fmt ", 4);
    Put32(h.data() + 16, 16);
    Put16(h.data() + 20, 1); // PCM
    Put16(h.data() + 22, static_cast<uint16_t>(f.channels));
    Put32(h.data() + 24, static_cast<uint32_t>(f.samplingRate));
    Put32(h.data() + 28, static_cast<uint32_t>(f.samplingRate * f.bytesPerFrame));
    Put16(h.data() + 32, static_cast<uint16_t>(f.bytesPerFrame));
    Put16(h.data() + 34, static_cast<uint16_t>(f.bytesPerFrame * 8 / f.channels));
    std::memcpy(h.data() + 36, "data", 4);
    Put32(h.data() + 40, dataBytes);
    return h;
}

} // namespace velmora
