// The two words of the uniform generator's state, the rule from a seed to
// them, and where the clock seeding gets its numbers. Internal.
#ifndef SELVANE_RANDOM_SEED_WORDS_H
#define SELVANE_RANDOM_SEED_WORDS_H

#include <cstdint>

namespace selvane {

struct SeedWords {
    std::int32_t s1;
    std::int32_t s2;
};

// Both words as one 64-bit cell: s1 in the low half, s2 in the high half.
inline std::uint64_t PackSeedWords(SeedWords words) {
    const std::uint64_t low = static_cast<std::uint32_t>(words.s1);
    const std::uint64_t high = static_cast<std::uint32_t>(words.s2);
    return low | (high << 32);
}

inline SeedWords UnpackSeedWords(std::uint64_t pair) {
    return SeedWords{
        static_cast<std::int32_t>(static_cast<std::uint32_t>(pair)),
        static_cast<std::int32_t>(static_cast<std::uint32_t>(pair >> 32))};
}

// The fixed rule from a 64-bit seed to the two seed words, integer
// arithmetic only, so every build derives the same words:
//   x  = SplitMix64(seed)      (Steele, Lea and Flood's finaliser of
//                               seed + 0x9E3779B97F4A7C15)
//   s1 = 1 + (x mod 2^32) mod 2147483562     in 1 .. 2147483562
//   s2 = 1 + (x div 2^32) mod 2147483398     in 1 .. 2147483398
// Neither word is ever 0 or a multiple of its modulus, so a seeded stream
// never reseeds from the clock.
SeedWords SeedWordsFromSeed(std::uint64_t seed);

// Where seeding gets its clock and its two words: the C runtime's clock,
// srand and rand unless a test replaces them.
struct SeedSource {
    std::uint32_t (*clockSeconds)();  // calendar time cut to 32 bits
    void (*seed)(unsigned value);     // srand
    int (*next)();                    // rand
};

SeedSource PlatformSeedSource();
// Test seam, process-wide: replaces the seeding source; pass
// PlatformSeedSource() to undo. Not for use while other threads draw.
void SetSeedSource(SeedSource source);
SeedSource CurrentSeedSource();

}  // namespace selvane

#endif  // SELVANE_RANDOM_SEED_WORDS_H
