// L'Ecuyer's combined generator: two multiplicative generators with prime
// moduli, each advanced by Schrage's decomposition so that every product
// stays inside 32-bit signed integers, combined by subtraction.
#include <cstdint>

#include "random/RandomDraws.h"

namespace selvane {
namespace {

constexpr std::int32_t kModulus1 = 2147483563;
constexpr std::int32_t kMultiplier1 = 40014;
constexpr std::int32_t kQuotient1 = 53668;   // kModulus1 / kMultiplier1
constexpr std::int32_t kRemainder1 = 12211;  // kModulus1 % kMultiplier1

constexpr std::int32_t kModulus2 = 2147483399;
constexpr std::int32_t kMultiplier2 = 40692;
constexpr std::int32_t kQuotient2 = 52774;
constexpr std::int32_t kRemainder2 = 3791;

// The double nearest to 1 / kModulus1.
constexpr double kScale = 4.656613057391769e-10;

// multiplier * word mod modulus without leaving 32 bits.
std::int32_t Advance(std::int32_t word, std::int32_t multiplier,
                     std::int32_t modulus, std::int32_t quotient,
                     std::int32_t remainder) {
    const std::int32_t k = word / quotient;
    std::int32_t next = multiplier * (word - k * quotient) - remainder * k;
    if (next < 0) next += modulus;
    return next;
}

// A word that is a multiple of its modulus (0, or the modulus itself, which
// rand may return where RAND_MAX is 2^31 - 1) would advance to 0 and stay
// there; every draw would then reseed from a clock that only ticks once a
// second, and repeat one value until it does. Such a word becomes 1.
std::int32_t UsableSeed(int value, std::int32_t modulus) {
    const std::int32_t word = static_cast<std::int32_t>(value);
    return word % modulus == 0 ? 1 : word;
}

std::int32_t Combine(SeedWords words) {
    std::int32_t z = words.s1 - words.s2;
    if (z < 1) z += kModulus1 - 1;
    return z;
}

SeedWords AdvanceBoth(SeedWords words) {
    words.s1 =
        Advance(words.s1, kMultiplier1, kModulus1, kQuotient1, kRemainder1);
    words.s2 =
        Advance(words.s2, kMultiplier2, kModulus2, kQuotient2, kRemainder2);
    return words;
}

}  // namespace

double UniformRandom(Generator& generator) {
    std::uint64_t seen = generator.pair.load(std::memory_order_relaxed);
    SeedWords words;
    if (!generator.shared) {
        // A call's own words: only its thread draws from them, and its seed
        // rule never yields a word that needs seeding.
        words = AdvanceBoth(UnpackSeedWords(seen));
        generator.pair.store(PackSeedWords(words), std::memory_order_relaxed);
        return static_cast<double>(Combine(words)) * kScale;
    }
    // Compare-and-swap rather than a lock: a draw that raced another one
    // starts again from the words that draw left, so every caller gets its
    // own value of the one stream and none is repeated. Relaxed order is
    // enough: the pair guards no other data.
    do {
        words = UnpackSeedWords(seen);
        if (words.s1 == 0 || words.s2 == 0) {
            const SeedSource source = CurrentSeedSource();
            source.seed(source.clockSeconds());
            words.s1 = UsableSeed(source.next(), kModulus1);
            words.s2 = UsableSeed(source.next(), kModulus2);
        }
        words = AdvanceBoth(words);
    } while (!generator.pair.compare_exchange_weak(seen, PackSeedWords(words),
                                                   std::memory_order_relaxed));
    return static_cast<double>(Combine(words)) * kScale;
}

}  // namespace selvane
