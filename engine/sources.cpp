#include "sources.h"

#include <chrono>
#include <cmath>

#include <unistd.h>

namespace velmora {

uint32_t MlsTapsForLength(double length)
{
    if (length >= 1 && length <= 32 && std::floor(length) == length)
        return kMlsTaps[static_cast<size_t>(length)];
    return 0x3;
}

uint32_t StartSeed()
{
    const auto ticks = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                       static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    uint64_t z = ticks ^ (static_cast<uint64_t>(::getpid()) << 40) ^ static_cast<uint64_t>(::getpid());
    // The finaliser of splitmix64: every input bit moves about half the output bits, so
    // starts a nanosecond or one process id apart get unrelated seeds.
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    z ^= z >> 31;
    return static_cast<uint32_t>(z ^ (z >> 32));
}

} // namespace velmora
