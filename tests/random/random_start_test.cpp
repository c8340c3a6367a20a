#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <map>
#include <vector>

#include "random/RandomDraws.h"
#include "random/ShuffleIndex.h"
#include "support/GeneratorReference.h"

namespace selvane {
namespace {

using test_support::kLargestUniform;
using test_support::SameWords;

SeedWords WordsAfterDraws(SeedWords start, int draws) {
    StoreSeedWords(start);
    for (int i = 0; i < draws; ++i) UniformRandom(ProcessGenerator());
    return LoadSeedWords();
}

std::vector<int> Assign(int clusterCount, int itemCount) {
    std::vector<int> ids(static_cast<std::size_t>(itemCount), -1);
    AssignRandomStart(clusterCount, itemCount, ids.data(), ProcessGenerator());
    return ids;
}

TEST(AssignRandomStartTest, SingleClusterDrawsOnlyForTheShuffle) {
    const SeedWords start{987654, 123456};
    StoreSeedWords(start);
    const std::vector<int> ids = Assign(1, 17);
    EXPECT_EQ(ids, std::vector<int>(17, 0));
    EXPECT_TRUE(SameWords(LoadSeedWords(), WordsAfterDraws(start, 17)));
}

TEST(AssignRandomStartTest, OneItemPerClusterGivesAPermutation) {
    // Every binomial has n = 0 and draws once, so K - 1 + N draws in all.
    const SeedWords start{55555, 77777};
    StoreSeedWords(start);
    std::vector<int> ids = Assign(8, 8);
    EXPECT_TRUE(SameWords(LoadSeedWords(), WordsAfterDraws(start, 7 + 8)));
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(AssignRandomStartTest, DrawsKMinusOneBinomialsThenNUniforms) {
    // Replays the chain of binomials by hand: n is what is left, p is
    // 1 / (K - i). Cluster i must then hold 1 + its draw.
    for (const int clusterCount : {2, 5}) {
        SCOPED_TRACE(clusterCount);
        const int itemCount = 40;
        const SeedWords start{31337, 42};
        StoreSeedWords(start);
        const std::vector<int> ids = Assign(clusterCount, itemCount);
        const SeedWords after = LoadSeedWords();

        StoreSeedWords(start);
        int remaining = itemCount - clusterCount;
        std::vector<std::ptrdiff_t> expectedSizes;
        for (int i = 0; i < clusterCount - 1; ++i) {
            const int j = BinomialRandom(remaining, 1.0 / (clusterCount - i),
                                         ProcessGenerator());
            remaining -= j;
            expectedSizes.push_back(1 + j);
        }
        expectedSizes.push_back(1 + remaining);
        for (int i = 0; i < itemCount; ++i) UniformRandom(ProcessGenerator());
        EXPECT_TRUE(SameWords(LoadSeedWords(), after));
        for (int i = 0; i < clusterCount; ++i) {
            EXPECT_EQ(std::count(ids.begin(), ids.end(), i),
                      expectedSizes[static_cast<std::size_t>(i)]);
        }
    }
}

TEST(AssignRandomStartTest, GoldenAssignmentFromWords12345) {
    // Worked with exact integer arithmetic for the words and doubles for
    // the rest. Uniforms: 0.99610, then 0.44415, then for the shuffle
    // 0.18801, 0.94085, 0.08011, 0.33228, 0.04269, 0.28638, 0.06322,
    // 0.40349, 0.44867, 0.23445.
    // Cluster 0: inversion n = 7, p = 1/3, r0 = (2/3)^7 = 0.05853; the
    // search ends at x = 6 (residual 0.00296 < r = 0.00640).
    // Cluster 1: n = 1, p = 1/2, u = 0.444 < 0.5 gives 0.
    // Dealt: 0 0 0 0 0 0 0 1 2 2. Shuffle partners, trunc(u (10 - j) + j):
    // 1, 9, 2, 5, 4, 6, 6, 8, 8, 9.
    StoreSeedWords(SeedWords{12345, 12345});
    EXPECT_EQ(Assign(3, 10), (std::vector<int>{0, 2, 0, 0, 0, 0, 0, 2, 1, 0}));
    EXPECT_TRUE(SameWords(LoadSeedWords(), SeedWords{504959834, 1474732}));
}

TEST(AssignRandomStartTest, EveryClusterOccursInEveryCall) {
    struct Shape {
        int clusters;
        int items;
    };
    StoreSeedWords(SeedWords{2718, 2818});
    for (const Shape s : {Shape{2, 2}, Shape{2, 3}, Shape{3, 10}, Shape{7, 50},
                          Shape{40, 41}, Shape{100, 1000}, Shape{2, 200}}) {
        SCOPED_TRACE(::testing::Message() << s.clusters << "x" << s.items);
        for (int call = 0; call < 200; ++call) {
            const std::vector<int> ids = Assign(s.clusters, s.items);
            std::vector<int> sizes(static_cast<std::size_t>(s.clusters), 0);
            for (const int id : ids) {
                ASSERT_GE(id, 0);
                ASSERT_LT(id, s.clusters);
                ++sizes[static_cast<std::size_t>(id)];
            }
            ASSERT_GT(*std::min_element(sizes.begin(), sizes.end()), 0);
        }
    }
}

TEST(AssignRandomStartTest, ClustersShareTheSpareItemsEqually) {
    // Each cluster expects 1 + (N - K) / K = 7.5 items; the size's variance
    // is 26 * (1/4) * (3/4), so six standard errors over 20000 calls come
    // to 0.094.
    StoreSeedWords(SeedWords{161803, 398875});
    const int calls = 20000;
    std::vector<double> totals(4, 0.0);
    for (int call = 0; call < calls; ++call) {
        for (const int id : Assign(4, 30)) {
            totals[static_cast<std::size_t>(id)] += 1.0;
        }
    }
    const double tolerance = 6.0 * std::sqrt(26.0 * 0.25 * 0.75 / calls);
    for (const double total : totals) {
        EXPECT_NEAR(total / calls, 7.5, tolerance);
    }
}

TEST(AssignRandomStartTest, ShuffleReachesEveryArrangementEqually) {
    // With K = N = 3 each of the 6 orders has probability 1/6; an
    // off-by-one partner range would never leave an entry in place.
    StoreSeedWords(SeedWords{11, 13});
    const int calls = 60000;
    std::map<std::vector<int>, int> seen;
    for (int call = 0; call < calls; ++call) ++seen[Assign(3, 3)];
    ASSERT_EQ(seen.size(), 6u);
    const double expected = calls / 6.0;
    const double tolerance = 6.0 * std::sqrt(calls * (1.0 / 6.0) * (5.0 / 6.0));
    for (const auto& entry : seen) {
        EXPECT_NEAR(entry.second, expected, tolerance);
    }
}

TEST(ShuffleIndexTest, PicksWithinTheRemainingPlaces) {
    EXPECT_EQ(ShuffleIndex(0.5, 10, 0), 5);
    EXPECT_EQ(ShuffleIndex(4.656613057391769e-10, 10, 3), 3);
    EXPECT_EQ(ShuffleIndex(kLargestUniform, 10, 0), 9);
    EXPECT_EQ(ShuffleIndex(kLargestUniform, 10, 9), 9);
}

TEST(ShuffleIndexTest, NeverReachesTheCountForHugeArrays) {
    // Near 2^31 the spacing of doubles is 2^-22, so the largest uniform
    // plus N - 1 rounds up to N itself.
    const int count = INT_MAX;
    ASSERT_EQ(kLargestUniform + static_cast<double>(count - 1),
              static_cast<double>(count));
    for (int position = count - 64; position < count; ++position) {
        const int idx = ShuffleIndex(kLargestUniform, count, position);
        EXPECT_LE(idx, count - 1);
        EXPECT_GE(idx, position);
    }
    EXPECT_EQ(ShuffleIndex(kLargestUniform, 1 << 23, (1 << 23) - 1),
              (1 << 23) - 1);
}

}  // namespace
}  // namespace selvane
