#pragma once
// Fades: the output rises from silence over the first frames of a start and falls back to
// silence over the last frames of a signal that ends by itself, or over the frames after
// OFF. The envelope is half a Hann window (a raised cosine), multiplied onto each sample
// before it is rounded.

#include <cmath>
#include <cstdint>
#include <numbers>

namespace velmora {

inline constexpr int kFadeMsMin = 1;
inline constexpr int kFadeMsMax = 10000;
inline constexpr int kFadeMsDefault = 10;

// Frames of a fade of `ms` milliseconds at `rate` Hz, at least one.
inline int64_t FadeFrames(int ms, int32_t rate)
{
    const auto frames = static_cast<int64_t>(std::llround(static_cast<double>(ms) * rate / 1000.0));
    return frames < 1 ? 1 : frames;
}

// The rise at frame k of a fade of `length` frames: 0 at frame 0 (and before), then
// 0.5 - 0.5 cos(pi k / length), 1 from frame `length` on. A fall over the same frames is the
// rise read backwards: frame j of the fall has FadeRise(length - 1 - j), its last frame 0.
inline double FadeRise(int64_t k, int64_t length)
{
    if (k >= length) return 1.0;
    if (k <= 0) return 0.0;
    return 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(k) / static_cast<double>(length));
}

} // namespace velmora
