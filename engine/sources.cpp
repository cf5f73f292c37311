#include "sources.h"

#include <cmath>

namespace velmora {

uint32_t MlsTapsForLength(double length)
{
    if (length >= 1 && length <= 32 && std::floor(length) == length)
        return kMlsTaps[static_cast<size_t>(length)];
    return 0x3;
}

} // namespace velmora
