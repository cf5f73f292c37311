// A seeded mutation loop standing in for libFuzzer where it is not available (the regular
// GCC build): starts from the target's seeds, stacks a few random mutations on one of them
// (bit flips, random and boundary bytes, inserted, removed, duplicated and spliced
// runs, truncation) and feeds the result to the target. Deterministic for a given seed.
//   fuzz_X_pass [--runs N] [--seed S] [--max-len BYTES]

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_seeds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

class Random {
public:
    explicit Random(uint64_t seed) : x_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t next()
    {
        x_ ^= x_ << 13;
        x_ ^= x_ >> 7;
        x_ ^= x_ << 17;
        return x_;
    }
    size_t below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(next() % n); }

private:
    uint64_t x_;
};

void Mutate(std::string& s, const std::vector<std::string>& seeds, Random& r, size_t maxLen)
{
    static const uint8_t kBoundary[] = {0, 1, 2, 0x14, 0x20, 0x7F, 0x80, 0xFF, 0xFE, '\r', '\n', ' ', ',', '.', '-'};
    const size_t count = 1 + r.below(8);
    for (size_t k = 0; k < count; ++k) {
        switch (r.below(9)) {
        case 0: // flip a bit
            if (!s.empty()) s[r.below(s.size())] ^= static_cast<char>(1u << r.below(8));
            break;
        case 1: // a random byte
            if (!s.empty()) s[r.below(s.size())] = static_cast<char>(r.below(256));
            break;
        case 2: // a boundary byte
            if (!s.empty()) s[r.below(s.size())] = static_cast<char>(kBoundary[r.below(sizeof kBoundary)]);
            break;
        case 3: { // insert random bytes
            const size_t at = r.below(s.size() + 1);
            std::string run(1 + r.below(16), '\0');
            for (char& c : run) c = static_cast<char>(r.below(256));
            s.insert(at, run);
            break;
        }
        case 4: // remove a run
            if (!s.empty()) {
                const size_t at = r.below(s.size());
                s.erase(at, 1 + r.below(std::min<size_t>(s.size() - at, 300)));
            }
            break;
        case 5: // duplicate a run
            if (!s.empty()) {
                const size_t at = r.below(s.size());
                const std::string run = s.substr(at, 1 + r.below(64));
                s.insert(r.below(s.size() + 1), run);
            }
            break;
        case 6: { // splice in part of another seed
            const std::string& other = seeds[r.below(seeds.size())];
            if (!other.empty()) {
                const size_t from = r.below(other.size());
                const std::string run = other.substr(from, 1 + r.below(512));
                const size_t at = r.below(s.size() + 1);
                s.replace(at, std::min(run.size(), s.size() - at), run);
            }
            break;
        }
        case 7: // truncate
            s.resize(r.below(s.size() + 1));
            break;
        case 8: // a little-endian integer at a 4-byte boundary (list indexes)
            if (s.size() >= 4) {
                static const int32_t kInts[] = {-1, -9, 0, 3, 7, 9, 10, 57, INT32_MIN, INT32_MAX};
                const size_t at = r.below(s.size() / 4) * 4;
                const int32_t v = kInts[r.below(std::size(kInts))];
                std::memcpy(&s[at], &v, 4);
            }
            break;
        }
    }
    if (s.size() > maxLen) s.resize(maxLen);
}

} // namespace

int main(int argc, char** argv)
{
    uint64_t runs = 10000, seed = 1;
    size_t maxLen = 20000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::strtoull(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--seed") == 0) seed = std::strtoull(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--max-len") == 0) maxLen = std::strtoull(argv[i + 1], nullptr, 10);
    }
    const std::vector<std::string> seeds = velmora::fuzz::VELMORA_FUZZ_SEEDS();
    for (const std::string& s : seeds) LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    Random r(seed);
    std::string input;
    for (uint64_t n = 0; n < runs; ++n) {
        input = seeds[r.below(seeds.size())];
        Mutate(input, seeds, r, maxLen);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    }
    std::printf("%llu inputs (seed %llu): no finding\n", static_cast<unsigned long long>(runs + seeds.size()),
                static_cast<unsigned long long>(seed));
    return 0;
}
