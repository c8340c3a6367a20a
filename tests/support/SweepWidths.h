// The reassignment sweeps this processor can run, for tests that run every
// case on each of them: derive the fixture from EveryWidth, write TEST_P,
// and instantiate with ValuesIn(SweepWidths()) and WidthName.
#ifndef SELVANE_TESTS_SUPPORT_SWEEP_WIDTHS_H
#define SELVANE_TESTS_SUPPORT_SWEEP_WIDTHS_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/sweep/SweepDispatch.h"

namespace selvane {
namespace test_support {

// Every vector width the processor has, narrowest first.
inline std::vector<int> VectorWidths() {
    std::vector<int> widths;
    for (int lanes : {kSse2Lanes, kAvx2Lanes, kAvx512Lanes}) {
        if (SweepWidthSupported(lanes)) widths.push_back(lanes);
    }
    return widths;
}

// The literal sweep, then every vector width.
inline std::vector<int> SweepWidths() {
    std::vector<int> widths = VectorWidths();
    widths.insert(widths.begin(), kLiteralSweep);
    return widths;
}

inline std::string WidthName(const ::testing::TestParamInfo<int>& info) {
    return info.param == kLiteralSweep ? "Literal"
                                       : std::to_string(info.param) + "Lanes";
}

// Forces a width while it lives; then the choice at run time returns.
struct ForcedWidth {
    explicit ForcedWidth(int lanes) : ok(ForceSweepWidth(lanes)) {}
    ~ForcedWidth() { ForceSweepWidth(0); }
    bool ok;
};

class EveryWidth : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { ASSERT_TRUE(ForceSweepWidth(GetParam())); }
    void TearDown() override { ForceSweepWidth(0); }
};

}  // namespace test_support
}  // namespace selvane

#endif  // SELVANE_TESTS_SUPPORT_SWEEP_WIDTHS_H
