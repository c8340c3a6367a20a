#include "entry/Renumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace selvane {
namespace {

// Magnitudes stand in column 0 of one-column rows.
struct Rows {
    explicit Rows(const std::vector<double>& magnitudes) : store(magnitudes) {
        for (double& m : store) rows.push_back(&m);
    }
    std::vector<double> store;
    std::vector<double*> rows;
};

std::vector<double> Renumber(const std::vector<double>& magnitudes,
                             std::vector<double> ids, int k) {
    Rows rows(magnitudes);
    EXPECT_TRUE(RenumberClusters(static_cast<int>(ids.size()), k,
                                 rows.rows.data(), 0, ids.data()));
    return ids;
}

TEST(RenumberTest, OrdersClustersByMeanMagnitude) {
    // One member each, so the means are half the magnitudes: 0.50, 0.20,
    // 0.35 in cluster order, sorted 0.20, 0.35, 0.50.
    EXPECT_EQ(Renumber({1.0, 0.4, 0.7, 1.0}, {0, 1, 2, 0}, 3),
              (std::vector<double>{2, 0, 1, 2}));
}

TEST(RenumberTest, DividesByMembersPlusOneInSinglePrecision) {
    // Cluster 0: one member 0.5, mean 0.5 / 2 = 0.25. Cluster 1: three
    // members 0.4; the float sum is 1.2000000476837158 and the mean
    // 0.30000001192092896, so cluster 1 ranks higher though each of its
    // members is smaller.
    Rows rows({0.5, 0.4, 0.4, 0.4});
    const std::vector<double> ids = {0, 1, 1, 1};
    float means[2];
    std::int64_t counts[2];
    ComputeMeanMagnitudes(4, 2, rows.rows.data(), 0, ids.data(), means, counts);
    EXPECT_EQ(means[0], 0.25f);
    EXPECT_EQ(static_cast<double>(means[1]), 0.30000001192092896);
    EXPECT_EQ(counts[1], 4);
    EXPECT_EQ(Renumber({0.5, 0.4, 0.4, 0.4}, ids, 2),
              (std::vector<double>{0, 1, 1, 1}));
}

TEST(RenumberTest, TiedClustersShareTheHighestPositionOfTheirRun) {
    // Clusters 0 and 2 hold only unmeasurable items (magnitude 0): both
    // means are 0.0, the smallest, so they fill positions 0 and 1 and all
    // their items receive 1; no item receives 0.
    EXPECT_EQ(Renumber({0.0, 0.9, 0.0, 0.0}, {0, 1, 2, 2}, 3),
              (std::vector<double>{1, 2, 1, 1}));
    // Three clusters tied in the middle take the last of positions 1..3.
    EXPECT_EQ(Renumber({0.1, 0.6, 0.6, 0.6, 1.0}, {0, 1, 2, 3, 4}, 5),
              (std::vector<double>{0, 3, 3, 3, 4}));
}

TEST(RenumberTest, MeansEqualInSinglePrecisionShareANumber) {
    // 0.5 and 0.5 + 1e-12 differ as doubles but not as floats.
    EXPECT_EQ(Renumber({0.5, 0.5 + 1e-12, 0.1}, {0, 1, 2}, 3),
              (std::vector<double>{2, 2, 0}));
}

TEST(RenumberTest, OneClusterGivesZeroEverywhere) {
    EXPECT_EQ(Renumber({0.3, 1.0, 0.0}, {0, 0, 0}, 1),
              (std::vector<double>{0, 0, 0}));
}

TEST(RenumberTest, NumbersThatNameNoClusterBecomeMinusOne) {
    // 3 and -1 are outside 0..2, 0.5 is not whole: such items belong to no
    // cluster, count in no mean, and are marked rather than left undefined.
    EXPECT_EQ(Renumber({0.2, 0.4, 0.6, 0.8, 1.0}, {0, 3, -1, 0.5, 1}, 2),
              (std::vector<double>{0, -1, -1, -1, 1}));
}

TEST(RenumberTest, NanMagnitudesMatchNoPosition) {
    EXPECT_EQ(Renumber({0.2, std::nan(""), 0.5}, {0, 1, 2}, 3),
              (std::vector<double>{0, -1, 1}));
}

}  // namespace
}  // namespace selvane
