#include "measure/sweep_pcm.h"

#include "engine/pcm.h"

namespace velmora {

std::vector<uint8_t> SweepPcm(const Sweep& sweep)
{
    const SweepSpec& spec = sweep.spec;
    const int channels = spec.channels == SweepChannels::Mono ? 1 : 2;
    const bool floating = spec.quantisation == 32;
    const int bytes = spec.quantisation / 8;
    const int32_t fullScale = bytes == 2 ? kFullScale16 : kFullScale24;
    const bool left = spec.channels != SweepChannels::Right;
    const bool right = spec.channels == SweepChannels::Both || spec.channels == SweepChannels::Right;
    std::vector<uint8_t> out(static_cast<size_t>(sweep.timing.totalFrames) * static_cast<size_t>(channels * bytes));
    uint8_t* p = out.data();
    const auto put = [&](double v) {
        if (floating)
            PackFloat(p, v == v ? static_cast<float>(v) : 0.0f);
        else
            PackSample(p, RoundSample(v * fullScale, fullScale), bytes);
        p += bytes;
    };
    for (int64_t i = 0; i < sweep.timing.totalFrames; ++i) {
        const double v = sweep.samples[static_cast<size_t>(i)];
        if (channels == 1) {
            put(v);
        } else {
            put(left ? v : 0.0);
            put(right ? v : 0.0);
        }
    }
    return out;
}

} // namespace velmora
