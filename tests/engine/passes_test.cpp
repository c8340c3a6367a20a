// Pass-loop rules on small hand-built jobs. passCount 0 refines the given
// assignment without drawing from the generator, so every move below is
// worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "random/Generator.h"
#include "support/EngineRun.h"
#include "support/SweepWidths.h"

namespace selvane {
namespace {

using test_support::Data;
using test_support::EngineJob;
using test_support::Mask;
using test_support::Outcome;

// Every case on the literal sweep and on every vector width.
class PassLoopTest : public test_support::EveryWidth {};
INSTANTIATE_TEST_SUITE_P(Widths, PassLoopTest,
                         ::testing::ValuesIn(test_support::SweepWidths()),
                         test_support::WidthName);

// One-dimensional items, unit weights, all present, refined from `start`.
Outcome Refine(const std::vector<double>& values, std::vector<int> start, int k,
               char method = 'a', char metric = 'e') {
    const int n = static_cast<int>(values.size());
    EngineJob job{Data(n, 1, values), Mask(n, 1, 1), {1.0}};
    return job.Run(k, 0, method, metric, 0, std::move(start));
}

TEST_P(PassLoopTest, AnItemLeftAloneDuringASweepIsSkipped) {
    // Centres of the first sweep: A = 5 (items 0 and 10), B = -1, C = 12.
    // Item 0 moves to B (1 < 25). Item 1 (at 10) is then alone in A: it is
    // skipped, though C (distance 4) is nearer than A's centre (25).
    // The next sweep has A = 10, B = -2/3, C = 12 and moves nothing, so its
    // total (4/9 + 1/9 + 1/9) is below the first (1) and the third sweep,
    // repeating it, ends the pass.
    const Outcome out = Refine({0, 10, -1, -1, 12, 12}, {0, 0, 1, 1, 2, 2}, 3);
    EXPECT_EQ(out.ids, (std::vector<int>{1, 0, 1, 1, 2, 2}));
    EXPECT_EQ(out.found, 1);
    const double b = (0.0 + -1.0 + -1.0) / 3.0;
    EXPECT_EQ(out.error,
              (0 - b) * (0 - b) + (-1 - b) * (-1 - b) + (-1 - b) * (-1 - b));
}

TEST_P(PassLoopTest, EquallyNearClustersDoNotTakeTheItem) {
    // Item 0 (at 5) sits in A = {5, -5, 0} with centre 0, distance 25. B and
    // C are both at distance 1: the lower number, met first, takes it, and
    // the equally near one after it does not.
    EXPECT_EQ(Refine({5, -5, 0, 6, 6, 4, 4}, {0, 0, 0, 1, 1, 2, 2}, 3).ids[0],
              1);
    EXPECT_EQ(Refine({5, -5, 0, 4, 4, 6, 6}, {0, 0, 0, 1, 1, 2, 2}, 3).ids[0],
              1);
    // A centre at exactly the item's own distance does not take it: item 0
    // (at 1) is 1 from its centre 0 and 1 from the other centre 2.
    const Outcome tie = Refine({1, -1, 2, 2}, {0, 0, 1, 1}, 2);
    EXPECT_EQ(tie.ids, (std::vector<int>{0, 0, 1, 1}));
}

TEST_P(PassLoopTest, AmongNearerClustersTheNearestWins) {
    // Item 0 (at 9) in A = {9, -9} (centre 0): B at 5 is nearer (16 < 81)
    // and C at 8 nearer still (1 < 16).
    const Outcome out = Refine({9, -9, 5, 5, 8, 8}, {0, 0, 1, 1, 2, 2}, 3);
    EXPECT_EQ(out.ids[0], 2);
}

TEST_P(PassLoopTest, ASettledStartStopsAfterOneSweep) {
    // Nothing moves: the total of the only sweep is the error value.
    const Outcome out = Refine({1, 3, 10, 14}, {0, 0, 1, 1}, 2);
    EXPECT_EQ(out.ids, (std::vector<int>{0, 0, 1, 1}));
    EXPECT_EQ(out.error, 1.0 + 1.0 + 4.0 + 4.0);
    EXPECT_EQ(out.found, 1);
}

TEST_P(PassLoopTest, UnitVectorsAloneAddNothingToTheTotal) {
    // With the uncentered correlation an all-zero item is at distance 1.0
    // from every centre. Alone in its cluster it is skipped, so the total
    // stays 0; the other two items lie on the centre of theirs.
    const Outcome out = Refine({0, 2, 3}, {0, 1, 1}, 2, 'a', 'u');
    EXPECT_EQ(out.ids, (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(out.error, 0.0);
}

TEST_P(PassLoopTest, MediansPassUsesMedianCentres) {
    // First sweep: A = median(0, 1, 100) = 1, B = 60; item 100 moves to B
    // (1600 < 9801). Second sweep: A = median(0, 1) = 0.5, B = 60, nothing
    // moves, total 0.25 + 0.25 + 1600 = 1600.5 (exact); the third repeats
    // it and ends the pass.
    const Outcome medians =
        Refine({0, 1, 100, 60, 60}, {0, 0, 0, 1, 1}, 2, 'm', 'e');
    EXPECT_EQ(medians.ids, (std::vector<int>{0, 0, 1, 1, 1}));
    EXPECT_EQ(medians.error, 1600.5);
    // Means reach the same partition with B = 220/3, so another total.
    const Outcome means =
        Refine({0, 1, 100, 60, 60}, {0, 0, 0, 1, 1}, 2, 'a', 'e');
    EXPECT_EQ(means.ids, medians.ids);
    EXPECT_NE(means.error, medians.error);
}

TEST_P(PassLoopTest, MethodAndMetricCodes) {
    const std::vector<double> v = {1, 2, 8, 9, 30, 31, 5};
    const std::vector<int> start = {0, 1, 2, 0, 1, 2, 0};
    const Outcome a = Refine(v, start, 3, 'a', 'e');
    // 'M' is not 'm': it means. Any metric other than 'u' is Euclidean.
    const Outcome upper = Refine(v, start, 3, 'M', 'e');
    const Outcome other = Refine(v, start, 3, 'a', 'c');
    EXPECT_EQ(upper.ids, a.ids);
    EXPECT_EQ(upper.error, a.error);
    EXPECT_EQ(other.ids, a.ids);
    EXPECT_EQ(other.error, a.error);
}

// Regression: values near the top of the double range overflowed the
// correlation's sums; a pass's total became NaN, no total could then be "no
// smaller than before", and with medians this job's first pass ran for
// ever. Now every correlation distance of finite values is finite, and a
// NaN total (a Euclidean 0 * inf) ends its pass. ctest's timeout catches a
// hang.
TEST_P(PassLoopTest, ValuesNearTheTopOfTheDoubleRangeEndEveryPass) {
    const int n = 1615;
    std::mt19937_64 rng(100);
    std::uniform_real_distribution<double> unit(0.5, 1.0);
    std::uniform_int_distribution<int> kind(0, 9), exponent(500, 700);
    EngineJob job{Data(n, 3), Mask(n, 3, 1), {1.0, 1.0, 1.0}};
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < 3; ++j) {
            // A tenth of the values near 2^500 to 2^700 (1e150 to 1e210),
            // a tenth missing.
            const int k = kind(rng);
            const int scale = k < 8 ? 0 : exponent(rng);
            job.data[i][j] = std::ldexp(unit(rng), k == 9 ? 0 : scale);
            if (k == 9) job.mask[i][j] = 0;
        }
    }
    for (char method : {'m', 'a'}) {
        for (char metric : {'u', 'e'}) {
            StoreSeedWords({100, 8});
            const Outcome out = job.Run(8, 7, method, metric);
            SCOPED_TRACE(std::string(1, method) + metric);
            EXPECT_GE(out.found, 1);
            EXPECT_FALSE(std::isnan(out.error));
            if (metric == 'u') {
                EXPECT_TRUE(std::isfinite(out.error));
            }
        }
    }
}

}  // namespace
}  // namespace selvane
