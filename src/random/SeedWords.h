// The process-wide state of the uniform generator. Internal: reachable from
// the static library so that tests can pin the stream, never exported from
// the shared library.
#ifndef SELVANE_RANDOM_SEED_WORDS_H
#define SELVANE_RANDOM_SEED_WORDS_H

#include <cstdint>

namespace selvane {

struct SeedWords {
    std::int32_t s1;
    std::int32_t s2;
};

// Both words are read and written as one pair, so concurrent callers never
// see one word of one draw with the other word of another.
SeedWords LoadSeedWords();
void StoreSeedWords(SeedWords words);

// Replaces the pair with `desired` only if it still holds `expected`;
// otherwise loads the current pair into `expected` and returns false. A
// draw retries until its own update lands, so that two draws running at
// once never both start from the same words.
bool ExchangeSeedWords(SeedWords* expected, SeedWords desired);

// Where seeding gets its clock and its two words: the C runtime's clock,
// srand and rand unless a test replaces them.
struct SeedSource {
    std::uint32_t (*clockSeconds)();  // calendar time cut to 32 bits
    void (*seed)(unsigned value);     // srand
    int (*next)();                    // rand
};

SeedSource PlatformSeedSource();
// Test-only: replaces the seeding source; pass PlatformSeedSource() to undo.
void SetSeedSource(SeedSource source);
SeedSource CurrentSeedSource();

}  // namespace selvane

#endif  // SELVANE_RANDOM_SEED_WORDS_H
