#include "random/SeedWords.h"

#include <atomic>
#include <cstdlib>
#include <ctime>

namespace selvane {
namespace {

// Both words share one atomic 64-bit cell (s1 in the low half, s2 in the
// high half), so no thread ever sees a torn pair, and a draw publishes its
// words with one compare-and-swap. Relaxed order is enough: the pair guards
// no other data.
// Zero at load time, which is the "unseeded" state.
std::atomic<std::uint64_t> seedPair{0};

std::uint64_t Pack(SeedWords words) {
    const std::uint64_t low = static_cast<std::uint32_t>(words.s1);
    const std::uint64_t high = static_cast<std::uint32_t>(words.s2);
    return low | (high << 32);
}

SeedWords Unpack(std::uint64_t pair) {
    SeedWords words;
    words.s1 = static_cast<std::int32_t>(static_cast<std::uint32_t>(pair));
    words.s2 =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(pair >> 32));
    return words;
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

void RuntimeSeed(unsigned value) { std::srand(value); }
int RuntimeNext() { return std::rand(); }

// Constant-initialised (function addresses only), so it is valid before any
// dynamic initialiser runs. Only tests replace it, and they do so while no
// other thread draws.
SeedSource currentSource = {&RuntimeClockSeconds, &RuntimeSeed, &RuntimeNext};

}  // namespace

SeedWords LoadSeedWords() {
    return Unpack(seedPair.load(std::memory_order_relaxed));
}

void StoreSeedWords(SeedWords words) {
    seedPair.store(Pack(words), std::memory_order_relaxed);
}

bool ExchangeSeedWords(SeedWords* expected, SeedWords desired) {
    std::uint64_t seen = Pack(*expected);
    if (seedPair.compare_exchange_weak(seen, Pack(desired),
                                       std::memory_order_relaxed)) {
        return true;
    }
    *expected = Unpack(seen);
    return false;
}

SeedSource PlatformSeedSource() {
    return SeedSource{&RuntimeClockSeconds, &RuntimeSeed, &RuntimeNext};
}

void SetSeedSource(SeedSource source) { currentSource = source; }

SeedSource CurrentSeedSource() { return currentSource; }

}  // namespace selvane
