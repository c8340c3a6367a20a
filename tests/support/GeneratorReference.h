// The uniform generator's two multiplicative generators in plain 64-bit
// arithmetic, independent of the Schrage decomposition under test.
#ifndef SELVANE_TESTS_SUPPORT_GENERATOR_REFERENCE_H
#define SELVANE_TESTS_SUPPORT_GENERATOR_REFERENCE_H

#include <cstdint>

#include "random/SeedWords.h"

namespace selvane {
namespace test_support {

constexpr std::int64_t kM1 = 2147483563;
constexpr std::int64_t kA1 = 40014;
constexpr std::int64_t kM2 = 2147483399;
constexpr std::int64_t kA2 = 40692;
constexpr double kSmallestUniform = 4.656613057391769e-10;  // z = 1
constexpr double kLargestUniform = 0.9999999995343387;      // z = 2147483562

inline std::int32_t Step(std::int64_t word, std::int64_t a, std::int64_t m) {
    return static_cast<std::int32_t>(a * word % m);
}

inline std::int64_t PowMod(std::int64_t base, std::int64_t exponent,
                           std::int64_t m) {
    std::int64_t result = 1;
    base %= m;
    while (exponent > 0) {
        if (exponent & 1) result = result * base % m;
        base = base * base % m;
        exponent >>= 1;
    }
    return result;
}

inline bool SameWords(SeedWords a, SeedWords b) {
    return a.s1 == b.s1 && a.s2 == b.s2;
}

// The words that advance to (t1, t2) on the next draw: multiply by the
// inverse of each multiplier (Fermat, as both moduli are prime).
inline SeedWords PreimageOf(std::int64_t t1, std::int64_t t2) {
    return SeedWords{
        static_cast<std::int32_t>(t1 * PowMod(kA1, kM1 - 2, kM1) % kM1),
        static_cast<std::int32_t>(t2 * PowMod(kA2, kM2 - 2, kM2) % kM2)};
}

}  // namespace test_support
}  // namespace selvane

#endif  // SELVANE_TESTS_SUPPORT_GENERATOR_REFERENCE_H
