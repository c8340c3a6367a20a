// The bit pattern of a double, so that tests compare results exactly (NaN
// and the sign of zero included).
#ifndef SELVANE_TESTS_SUPPORT_BITS_H
#define SELVANE_TESTS_SUPPORT_BITS_H

#include <cstdint>
#include <cstring>

namespace selvane {
namespace test_support {

inline std::uint64_t Bits(double x) {
    std::uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

}  // namespace test_support
}  // namespace selvane

#endif  // SELVANE_TESTS_SUPPORT_BITS_H
