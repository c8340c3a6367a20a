#include "random/CallGenerator.h"

namespace selvane {
namespace {

// A plain pointer: constant-initialised, so valid on every thread from its
// start, with no constructor or destructor per thread.
thread_local SeedWords* boundWords = nullptr;

std::uint64_t SplitMix64(std::uint64_t seed) {
    std::uint64_t z = seed + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

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

BoundGenerator::BoundGenerator(SeedWords* words) : previous_(boundWords) {
    boundWords = words;
}

BoundGenerator::~BoundGenerator() { boundWords = previous_; }

SeedWords* BoundSeedWords() { return boundWords; }

}  // namespace selvane
