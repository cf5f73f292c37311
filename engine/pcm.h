#pragma once
// PCM sample rounding and packing, shared by the live fill, the wave export and the
// renderer. Little-endian two's complement; 16-bit or packed 24-bit.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace velmora {

inline constexpr int32_t kFullScale16 = 32767;
inline constexpr int32_t kFullScale24 = 8388607;

// Rounds a sample value to the nearest integer (ties to even) and saturates it to
// +/- fullScale, so a level above 0 dBFS clips instead of wrapping around. A value that
// is not a number is written as 0.
inline int32_t RoundSample(double v, int32_t fullScale)
{
    // Adding and removing 1.5 * 2^52 rounds to an integer in the current rounding mode
    // (to nearest, ties to even) without a library call; larger values are integers already.
    constexpr double kMagic = 6755399441055744.0;
    const double r = std::fabs(v) < 4503599627370496.0 ? (v + kMagic) - kMagic : v;
    if (r >= -static_cast<double>(fullScale) && r <= static_cast<double>(fullScale))
        return static_cast<int32_t>(r);
    if (r != r) return 0;
    return r > 0 ? fullScale : -fullScale;
}

inline void PackSample(uint8_t* out, int32_t x, int bytesPerSample)
{
    const uint32_t u = static_cast<uint32_t>(x);
    out[0] = static_cast<uint8_t>(u);
    out[1] = static_cast<uint8_t>(u >> 8);
    if (bytesPerSample == 3) out[2] = static_cast<uint8_t>(u >> 16);
}

// A float sample: the value in -1..1 (limited to that range, as integer samples saturate;
// a value that is not a number is written as 0), as a little-endian IEEE single.
inline float FloatSample(double v)
{
    v = v < -1.0 ? -1.0 : v;
    v = v > 1.0 ? 1.0 : v;
    return v == v ? static_cast<float>(v) : 0.0f;
}

inline void PackFloat(uint8_t* out, float x)
{
    static_assert(std::endian::native == std::endian::little, "samples are packed little endian");
    std::memcpy(out, &x, sizeof x);
}

inline float UnpackFloat(const uint8_t* in)
{
    float x;
    std::memcpy(&x, in, sizeof x);
    return x;
}

inline int32_t UnpackSample(const uint8_t* in, int bytesPerSample)
{
    if (bytesPerSample == 3) {
        const uint32_t u = in[0] | (uint32_t{in[1]} << 8) | (uint32_t{in[2]} << 16);
        return static_cast<int32_t>(u << 8) >> 8;
    }
    return static_cast<int16_t>(static_cast<uint16_t>(in[0] | (in[1] << 8)));
}

} // namespace velmora
