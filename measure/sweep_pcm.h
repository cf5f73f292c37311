#pragma once
// The sweep file's data as PCM frames in memory, byte for byte what WriteSweepFile puts in
// its data chunk: for playing the sweep without a file. Plain C++; allocates.

#include <cstdint>
#include <vector>

#include "measure/sweep.h"

namespace velmora {

std::vector<uint8_t> SweepPcm(const Sweep& sweep);

} // namespace velmora
