#include "random/SeedWords.h"

#include <cstdlib>
#include <ctime>

namespace selvane {
namespace {

std::uint64_t SplitMix64(std::uint64_t seed) {
    std::uint64_t z = seed + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// The only platform-specific part: where the calendar clock comes from.
#if defined(_WIN32)
std::uint32_t RuntimeClockSeconds() {
    return static_cast<std::uint32_t>(_time64(nullptr));
}
#else
std::uint32_t RuntimeClockSeconds() {
    return static_cast<std::uint32_t>(std::time(nullptr));
}
#endif

#if defined(SELVANE_PRIVATE_CLOCK_STREAM)
// For hosts whose rules forbid touching C's process-wide rand() (R's
// packages): a stream of our own, of rand()'s classic kind. Such hosts pass
// a seed with every job, so nothing they run depends on which stream this is.
unsigned privateStream = 1;
void RuntimeSeed(unsigned value) { privateStream = value; }
int RuntimeNext() {
    privateStream = privateStream * 1103515245u + 12345u;
    return static_cast<int>((privateStream >> 16) & 0x7FFFu);
}
#else
void RuntimeSeed(unsigned value) { std::srand(value); }
int RuntimeNext() { return std::rand(); }
#endif

// Constant-initialised (function addresses only), so it is valid before any
// dynamic initialiser runs.
SeedSource currentSource = {&RuntimeClockSeconds, &RuntimeSeed, &RuntimeNext};

}  // namespace

SeedWords SeedWordsFromSeed(std::uint64_t seed) {
    const std::uint64_t x = SplitMix64(seed);
    const std::uint64_t low = x & 0xFFFFFFFFull;
    const std::uint64_t high = x >> 32;
    SeedWords words;
    words.s1 = static_cast<std::int32_t>(1 + low % 2147483562ull);
    words.s2 = static_cast<std::int32_t>(1 + high % 2147483398ull);
    return words;
}

SeedSource PlatformSeedSource() {
    return SeedSource{&RuntimeClockSeconds, &RuntimeSeed, &RuntimeNext};
}

void SetSeedSource(SeedSource source) { currentSource = source; }

SeedSource CurrentSeedSource() { return currentSource; }

}  // namespace selvane
