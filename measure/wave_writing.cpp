#include "measure/wave_writing.h"

#include <algorithm>

#include "engine/pcm.h"
#include "measure/measure_error.h"

namespace velmora {

void WriteWave(OutputFile& file, const WavFormat& format, const std::vector<uint8_t>& chunks, int64_t frames,
               const FrameSource& source, const MeasureProgress& progress, double progressFrom, double progressTo,
               const std::atomic<bool>* cancel)
{
    const WavHeader header = MakeWavHeader(format, frames, chunks);
    file.reserve(header.size() + static_cast<uint64_t>(frames) * static_cast<uint64_t>(format.bytesPerFrame));
    file.write(header.data(), header.size());
    constexpr int64_t kFrames = 16384;
    const int channels = format.channels;
    const int bytes = format.bytesPerFrame / channels;
    const int32_t fullScale = bytes == 2 ? kFullScale16 : kFullScale24;
    std::vector<double> values(static_cast<size_t>(kFrames * channels));
    std::vector<uint8_t> packed(static_cast<size_t>(kFrames * format.bytesPerFrame));
    for (int64_t at = 0; at < frames; at += kFrames) {
        if (Cancelled(cancel)) throw MeasureCancelled();
        const int64_t n = std::min(kFrames, frames - at);
        source(at, n, values.data());
        uint8_t* p = packed.data();
        for (int64_t i = 0; i < n * channels; ++i, p += bytes) {
            if (format.floating)
                PackFloat(p, values[static_cast<size_t>(i)] == values[static_cast<size_t>(i)]
                                 ? static_cast<float>(values[static_cast<size_t>(i)]) : 0.0f);
            else
                PackSample(p, RoundSample(values[static_cast<size_t>(i)] * fullScale, fullScale), bytes);
        }
        file.write(packed.data(), static_cast<size_t>(n * format.bytesPerFrame));
        if (progress)
            progress(progressFrom + (progressTo - progressFrom) * static_cast<double>(at + n) / static_cast<double>(frames));
    }
    if (frames == 0 && progress) progress(progressTo);
}

} // namespace velmora
