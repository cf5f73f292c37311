#pragma once
// Writing the measurement's wave files through OutputFile: a file appears only complete,
// a failure or cancel leaves none. Internal to velmora_measure.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/output_file.h"
#include "files/wav_header.h"
#include "measure/sweep.h"

namespace velmora {

// Fills `count` interleaved frames from frame `first`.
using FrameSource = std::function<void(int64_t first, int64_t count, double* interleaved)>;

// Writes the whole file into `file` (not committed). Integer samples are rounded and
// saturated; float samples are written as they are (an inverse filter or a response may pass
// 1). Throws MeasureCancelled, FileAccessError.
void WriteWave(OutputFile& file, const WavFormat& format, const std::vector<uint8_t>& chunks, int64_t frames,
               const FrameSource& source, const MeasureProgress& progress, double progressFrom, double progressTo,
               const std::atomic<bool>* cancel);

inline bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

} // namespace velmora
