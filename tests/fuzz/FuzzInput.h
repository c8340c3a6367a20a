// Turns the fuzzer's bytes into job arguments. Every Take* call consumes
// bytes from the front and yields zeros once they run out, so any input,
// however short, decodes to a complete job.
#ifndef SELVANE_TESTS_FUZZ_FUZZ_INPUT_H
#define SELVANE_TESTS_FUZZ_FUZZ_INPUT_H

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "random/Generator.h"

namespace selvane {
namespace fuzz {

// A broken property ends the run, so that libFuzzer records the input.
#define SELVANE_FUZZ_CHECK(condition)                                        \
    do {                                                                     \
        if (!(condition)) {                                                  \
            std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, \
                         __LINE__, #condition);                              \
            std::abort();                                                    \
        }                                                                    \
    } while (0)

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* bytes, std::size_t size)
        : bytes_(bytes), size_(size) {}

    std::uint8_t TakeByte() { return size_ ? (--size_, *bytes_++) : 0; }

    std::uint32_t TakeWord() {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) word = word << 8 | TakeByte();
        return word;
    }

    // lo + (a byte's worth of choice) mod the span; hi - lo < 256.
    int TakeInRange(int lo, int hi) { return lo + TakeByte() % (hi - lo + 1); }

    // Raw bits of a double, any pattern.
    double TakeBits() {
        std::uint64_t bits = static_cast<std::uint64_t>(TakeWord()) << 32;
        bits |= TakeWord();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Mostly values that cluster meaningfully, with the awkward ones often
    // enough to matter: one selector byte chooses a plain positive value, a
    // special value, or eight bytes of raw bits.
    double TakeMeasurement() {
        const std::uint8_t selector = TakeByte();
        switch (selector % 8) {
            case 4: return Special(selector / 8);
            case 5:
            case 6: return TakeBits();
            case 7: return 1.0 + TakeByte() / 64.0;
            default: return (selector / 8 + 1) * 0.25;
        }
    }

private:
    static double Special(int which) {
        constexpr double kInf = std::numeric_limits<double>::infinity();
        constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
        constexpr double kValues[] = {
            kNaN,
            -kNaN,
            kInf,
            -kInf,
            0.0,
            -0.0,
            std::numeric_limits<double>::denorm_min(),
            -std::numeric_limits<double>::denorm_min(),
            DBL_MIN,
            DBL_MAX,
            -DBL_MAX,
            -1.0,
            1e154,   // its square overflows
            1e-162,  // its square underflows
            1e300,
            1e-300,
            0.5,
            3.0,
            7.0,
            1e-12,
            2e-308,
            1.0,
            0.1,
            0.2,
            0.3,
            2.0,
            1e200,
            1e-200,
            64.0,
            0.001};
        return kValues[which % (sizeof kValues / sizeof kValues[0])];
    }

    const std::uint8_t* bytes_;
    std::size_t size_;
};

// A seeding source that needs no clock, so that every run is reproducible
// even when a pinned seed word is 0 and the generator seeds itself again.
inline void PinSeedSource() {
    SeedSource source;
    source.clockSeconds = [] { return std::uint32_t{20240229}; };
    source.seed = [](unsigned) {};
    source.next = [] { return 1234567; };
    SetSeedSource(source);
}

}  // namespace fuzz
}  // namespace selvane

#endif  // SELVANE_TESTS_FUZZ_FUZZ_INPUT_H
