#pragma once
// Small helpers for driving the generator in tests.

#include <string>
#include <vector>

#include "engine/generator.h"

namespace velmora::test {

inline constexpr Channel L = Channel::Left;
inline constexpr Channel R = Channel::Right;

// A generator at the given rate and bits, with the named texts set through the controls.
inline Generator MakeGenerator(int rate = 44100, int bits = 16)
{
    Generator g;
    g.settings.output.SamplingRate = rate;
    g.settings.output.Quantisation = bits;
    g.fConstChange(L);
    g.fConstChange(R);
    g.uniform.seed(12345);
    return g;
}

// The first `count` samples of one channel as the wave function returns them, advancing
// the counter per frame as the fill does.
inline std::vector<int32_t> Samples(Generator& g, int n, int count)
{
    std::vector<int32_t> out;
    for (int i = 0; i < count; ++i) {
        out.push_back(g.WaveFunc(n));
        ++g.state.SampleCounter;
    }
    return out;
}

} // namespace velmora::test
