// A generator state that belongs to one call instead of the process.
// Internal.
//
// A seeded job binds its own pair of seed words to the calling thread for
// the length of the call; every draw on that thread then advances the
// call's pair and leaves the process-wide pair alone, so the job neither
// disturbs nor is disturbed by other jobs. Every start of every pass is
// drawn on the calling thread (the threaded passes included), so the
// binding covers all of a job's draws.
#ifndef SELVANE_RANDOM_CALL_GENERATOR_H
#define SELVANE_RANDOM_CALL_GENERATOR_H

#include <cstdint>

#include "random/SeedWords.h"

namespace selvane {

// The fixed rule from a 64-bit seed to the two seed words, integer
// arithmetic only, so every build derives the same words:
//   x  = SplitMix64(seed)      (Steele, Lea and Flood's finaliser of
//                               seed + 0x9E3779B97F4A7C15)
//   s1 = 1 + (x mod 2^32) mod 2147483562     in 1 .. 2147483562
//   s2 = 1 + (x div 2^32) mod 2147483398     in 1 .. 2147483398
// Neither word is ever 0 or a multiple of its modulus, so a seeded stream
// never reseeds from the clock.
SeedWords SeedWordsFromSeed(std::uint64_t seed);

// Binds `words` to the calling thread until destruction; the previous
// binding (normally none) comes back then. `words` must outlive the scope.
class BoundGenerator {
public:
    explicit BoundGenerator(SeedWords* words);
    ~BoundGenerator();
    BoundGenerator(const BoundGenerator&) = delete;
    BoundGenerator& operator=(const BoundGenerator&) = delete;

private:
    SeedWords* previous_;
};

// The words bound to this thread, or null: draws use the process's pair.
SeedWords* BoundSeedWords();

}  // namespace selvane

#endif  // SELVANE_RANDOM_CALL_GENERATOR_H
