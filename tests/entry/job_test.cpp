// The exported function's body end to end, from pinned generator states.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "entry/RunJob.h"
#include "random/Generator.h"

namespace selvane {
namespace {

const double kGuard = 12345.5;

// Runs a job on a result array with one guard element after the N items.
std::vector<double> Cluster(int n, int d, const std::vector<double>& input,
                            int k) {
    std::vector<double> result(static_cast<std::size_t>(n > 0 ? n : 0) + 1,
                               kGuard);
    RunJob(n, d, input.empty() ? nullptr : input.data(), k, result.data());
    EXPECT_EQ(result.back(), kGuard) << "wrote beyond N elements";
    result.pop_back();
    return result;
}

void Pin(std::int32_t s1, std::int32_t s2) { StoreSeedWords({s1, s2}); }

void ExpectUntouchedGenerator(std::int32_t s1, std::int32_t s2) {
    const SeedWords now = LoadSeedWords();
    EXPECT_EQ(now.s1, s1);
    EXPECT_EQ(now.s2, s2);
}

// Two groups of profiles, (1, 1, 8) and (8, 1, 1), at several sizes;
// dimension-major.
std::vector<double> TwoProfiles(std::vector<double>* scales) {
    *scales = {1.0, 2.0, 3.0, 0.5, 4.0, 1.5};
    const double profile[2][3] = {{1, 1, 8}, {8, 1, 1}};
    std::vector<double> input(3 * 6);
    for (int d = 0; d < 3; ++d)
        for (int i = 0; i < 6; ++i)
            input[d * 6 + i] = profile[i % 2][d] * (*scales)[i] + 0.01 * i;
    return input;
}

TEST(RunJobTest, OneClusterNumbersEveryItemZero) {
    std::vector<double> scales;
    Pin(1, 2);
    EXPECT_EQ(Cluster(6, 3, TwoProfiles(&scales), 1),
              std::vector<double>(6, 0.0));
}

TEST(RunJobTest, AsManyClustersAsItemsOrdersItemsByMagnitude) {
    // Items (3, 4), (0.6, 0.8), (5, 12), (0, 1) and (2, -2): norms 5, 1
    // and 13, and two unmeasurable items. Magnitudes 5/13, 1/13, 1, 0, 0;
    // each cluster holds one item, so its mean is half its magnitude, and
    // the two zeros tie at positions 0 and 1 and both take 1.
    const std::vector<double> input = {3, 0.6, 5,  0.0, 2,    // dimension 0
                                       4, 0.8, 12, 1,   -2};  // dimension 1
    Pin(3, 4);
    EXPECT_EQ(Cluster(5, 2, input, 5), (std::vector<double>{3, 2, 4, 1, 1}));
}

TEST(RunJobTest, ProfilesAreClusteredAndOrderedByMeanMagnitude) {
    // Items alternate between the two profiles; the (8, 1, 1) items have
    // the larger scales on average, hence the higher cluster number. Pinned
    // state, so the numbers are exact and the same on every build.
    std::vector<double> scales;
    const std::vector<double> input = TwoProfiles(&scales);
    Pin(12345, 67890);
    const std::vector<double> result = Cluster(6, 3, input, 2);
    // Mean magnitude of the (1,1,8) items: scales 1, 3, 4 over 4 (members
    // plus one); of the (8,1,1) items: 2, 0.5, 1.5 over 4: the first higher.
    EXPECT_EQ(result, (std::vector<double>{1, 0, 1, 0, 1, 0}));
}

TEST(RunJobTest, UnclusterableArgumentsGiveMinusOneAndDrawNothing) {
    std::vector<double> scales;
    const std::vector<double> input = TwoProfiles(&scales);
    const std::vector<double> none(6, -1.0);
    Pin(11, 22);
    EXPECT_EQ(Cluster(6, 3, input, 0), none);
    EXPECT_EQ(Cluster(6, 3, input, -4), none);
    EXPECT_EQ(Cluster(6, 3, input, 7), none);  // fewer items than clusters
    EXPECT_EQ(Cluster(6, 0, input, 2), none);  // no dimension
    EXPECT_EQ(Cluster(6, -1, input, 2), none);
    EXPECT_EQ(Cluster(6, 3, {}, 2), none);  // no input array
    // No item has all values greater than zero: every magnitude is 0/0.
    std::vector<double> unusable = input;
    for (int i = 0; i < 6; ++i) unusable[i] = i % 2 ? 0.0 : -1.0;
    EXPECT_EQ(Cluster(6, 3, unusable, 2), none);
    ExpectUntouchedGenerator(11, 22);
}

TEST(RunJobTest, NothingIsWrittenWithoutItemsOrResultArray) {
    Pin(7, 8);
    EXPECT_TRUE(Cluster(0, 3, {1.0}, 1).empty());
    EXPECT_TRUE(Cluster(0, 3, {}, 0).empty());
    EXPECT_TRUE(Cluster(-5, 3, {}, 2).empty());
    std::vector<double> scales;
    const std::vector<double> input = TwoProfiles(&scales);
    RunJob(6, 3, input.data(), 2, nullptr);
    ExpectUntouchedGenerator(7, 8);
}

TEST(RunJobTest, InputIsOnlyRead) {
    std::vector<double> scales;
    const std::vector<double> input = TwoProfiles(&scales);
    std::vector<double> copy = input;
    copy[4] = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> before = copy;
    Pin(1, 1);
    Cluster(6, 3, copy, 3);
    for (std::size_t i = 0; i < copy.size(); ++i) {
        // Bitwise, so the NaN compares too.
        EXPECT_EQ(std::memcmp(&copy[i], &before[i], sizeof(double)), 0);
    }
}

TEST(RunJobTest, ACallLeavesNoTraceInTheNext) {
    // The second of two calls equals the same call made alone from the
    // generator state the first one left.
    std::vector<double> scales;
    const std::vector<double> first = TwoProfiles(&scales);
    std::vector<double> second(30);
    for (int i = 0; i < 30; ++i) second[i] = 1.0 + (i * 37 % 11) + 0.1 * i;
    Pin(99, 98);
    Cluster(6, 3, first, 2);
    const SeedWords between = LoadSeedWords();
    const std::vector<double> afterFirst = Cluster(10, 3, second, 3);
    StoreSeedWords(between);
    EXPECT_EQ(Cluster(10, 3, second, 3), afterFirst);
}

TEST(RunJobTest, InfiniteValuesMarkOnlyTheirOwnItem) {
    // Item 2 holds +inf: it is unmeasurable (magnitude 0, lowest cluster)
    // while the others keep their order by magnitude.
    const std::vector<double> input = {
        1, 2, std::numeric_limits<double>::infinity(), 1, 2, 1};
    Pin(5, 5);
    EXPECT_EQ(Cluster(3, 2, input, 3), (std::vector<double>{1, 2, 0}));
}

}  // namespace
}  // namespace selvane
