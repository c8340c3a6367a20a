// The state of one stream of the uniform generator. Internal.
//
// Every draw of the library comes from a Generator that its caller hands
// down: the process-wide stream, which Selvane() and unseeded engine jobs
// continue from call to call, or a call's own stream made from its seed,
// which neither disturbs nor is disturbed by any other call.
#ifndef SELVANE_RANDOM_GENERATOR_H
#define SELVANE_RANDOM_GENERATOR_H

#include <atomic>
#include <cstdint>

#include "random/SeedWords.h"

namespace selvane {

struct Generator {
    // A call's own stream, drawn from by its calling thread alone.
    explicit Generator(SeedWords words);
    Generator(const Generator&) = delete;
    Generator& operator=(const Generator&) = delete;

    // Both words in one cell (s1 in the low half, s2 in the high half), so
    // that no thread ever sees a torn pair. 0: not seeded yet; the next
    // draw seeds it from the clock.
    std::atomic<std::uint64_t> pair;
    // Several calls may draw at once (the process-wide stream): each draw
    // publishes its words with one compare-and-swap, so that none is
    // repeated. A call's own stream needs none of that.
    const bool shared;

private:
    friend Generator& ProcessGenerator();
    constexpr Generator(std::uint64_t packed, bool isShared);
};

// The stream that outlives every call: 0 at load time, seeded from the
// clock at its first draw, advanced by every draw and never reset.
Generator& ProcessGenerator();

// A call's own stream from a 64-bit seed (SeedWordsFromSeed); it never
// needs seeding from the clock.
inline Generator GeneratorFromSeed(std::uint64_t seed) {
    return Generator(SeedWordsFromSeed(seed));
}

SeedWords LoadSeedWords(const Generator& generator);
void StoreSeedWords(Generator& generator, SeedWords words);

// Test seam: the process-wide stream's words, read or pinned while no
// other thread draws from it.
inline SeedWords LoadSeedWords() { return LoadSeedWords(ProcessGenerator()); }
inline void StoreSeedWords(SeedWords words) {
    StoreSeedWords(ProcessGenerator(), words);
}

}  // namespace selvane

#endif  // SELVANE_RANDOM_GENERATOR_H
