#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "engine/ClusterEngine.h"
#include "support/Bits.h"
#include "support/Matrix.h"

namespace selvane {
namespace {

using test_support::Bits;
using test_support::Matrix;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// One job, run with items as rows and again transposed with items as columns,
// into centroid matrices that start out holding garbage.
struct Centres {
    Matrix<double> rows;
    Matrix<int> rowsMask;
    Matrix<double> columns;  // centres as columns: D rows of K values
    Matrix<int> columnsMask;
};

Centres RunBothWays(Matrix<double>& data, Matrix<int>& mask,
                    const std::vector<int>& ids, int clusters,
                    double staleValue, int staleCount) {
    const int items = data.rows(), dims = data.columns();
    Centres out{Matrix<double>(clusters, dims, staleValue),
                Matrix<int>(clusters, dims, staleCount),
                Matrix<double>(dims, clusters, staleValue),
                Matrix<int>(dims, clusters, staleCount)};
    ClusterEngine().ComputeClusterMeans(clusters, items, dims, data.get(),
                                        mask.get(), ids.data(), out.rows.get(),
                                        out.rowsMask.get(), 0);
    Matrix<double> dataT = data.Transposed();
    Matrix<int> maskT = mask.Transposed();
    ClusterEngine().ComputeClusterMeans(
        clusters, dims, items, dataT.get(), maskT.get(), ids.data(),
        out.columns.get(), out.columnsMask.get(), -3);
    return out;
}

// Expects cell (c, j) of both layouts to hold exactly `value` with `present`.
void ExpectCentre(Centres& out, int c, int j, double value, int present) {
    SCOPED_TRACE(testing::Message() << "cluster " << c << " dim " << j);
    EXPECT_EQ(Bits(out.rows.at(c, j)), Bits(value));
    EXPECT_EQ(out.rowsMask.at(c, j), present);
    EXPECT_EQ(Bits(out.columns.at(j, c)), Bits(value));
    EXPECT_EQ(out.columnsMask.at(j, c), present);
}

// Five items of three values, cluster 2 empty. Masked cells hold NaN or an
// infinity; the centroid mask starts with stale counts that must not carry.
TEST(ComputeClusterMeansTest, WorkedExample) {
    Matrix<double> data{
        {1, 5, kNaN}, {10, kInf, 3}, {2, 7, 1}, {20, kNaN, 5}, {4, 6, 2}};
    Matrix<int> mask{{1, 1, 0}, {1, 0, 1}, {2, -1, 1}, {1, 0, 1}, {1, 1, 1}};
    const std::vector<int> ids = {0, 1, 0, 1, 0};

    for (int stale : {0, 5, -2}) {
        SCOPED_TRACE(testing::Message() << "stale count " << stale);
        Centres out = RunBothWays(data, mask, ids, 3, kNaN, stale);
        // Worked by hand. Cluster 0 = items 0, 2, 4: (1 + 2 + 4) / 3 with the
        // mask 2 counted once; (5 + 7 + 6) / 3 = 6 with the mask -1 counted
        // once; item 0 lacks dim 2, so (1 + 2) / 2. Cluster 1 = items 1, 3:
        // (10 + 20) / 2; dim 1 missing in both; (3 + 5) / 2.
        ExpectCentre(out, 0, 0, 7.0 / 3.0, 1);
        ExpectCentre(out, 0, 1, 6.0, 1);
        ExpectCentre(out, 0, 2, 1.5, 1);
        ExpectCentre(out, 1, 0, 15.0, 1);
        ExpectCentre(out, 1, 1, 0.0, 0);
        ExpectCentre(out, 1, 2, 4.0, 1);
        for (int j = 0; j < 3; ++j) ExpectCentre(out, 2, j, 0.0, 0);
    }
}

// The sum runs in ascending item order. Cluster 0 holds 1e16, 1, 1 (items
// 0, 2, 4). Left to right: 1e16 + 1 is a tie between 1e16 and 1e16 + 2
// (spacing 2 above 2^53) and rounds to the even 1e16; the second + 1 again.
// So the centre is 1e16 / 3 = 3333333333333333.33.., which rounds to
// 3333333333333333.5 (spacing 0.5 below 2^52). Summing the ones first would
// give (1e16 + 2) / 3 = 3333333333333334.
TEST(ComputeClusterMeansTest, SumsInAscendingItemOrder) {
    Matrix<double> data(6, 1, {1e16, 8.0, 1.0, 9.0, 1.0, 10.0});
    Matrix<int> mask(6, 1, 1);
    const std::vector<int> ids = {0, 1, 0, 1, 0, 1};
    Centres out = RunBothWays(data, mask, ids, 2, 0.0, 0);
    ExpectCentre(out, 0, 0, 3333333333333333.5, 1);
    ExpectCentre(out, 1, 0, 9.0, 1);
}

// Calling again on the same centroid matrices with another assignment gives
// what a fresh call gives; a random job agrees across both layouts.
TEST(ComputeClusterMeansTest, RepeatedCallsAndRandomJob) {
    const int items = 29, dims = 4, clusters = 5;
    std::mt19937 rng(99u);
    std::uniform_real_distribution<double> value(-1e3, 1e3);
    std::uniform_int_distribution<int> presence(-1, 2),
        cluster(0, clusters - 1);
    Matrix<double> data(items, dims, 0.0);
    Matrix<int> mask(items, dims, 0);
    std::vector<int> first(items), second(items);
    for (int k = 0; k < items; ++k) {
        first[k] = cluster(rng);
        second[k] = cluster(rng);
        for (int j = 0; j < dims; ++j) {
            mask.at(k, j) = presence(rng);
            data.at(k, j) = mask.at(k, j) ? value(rng) : kNaN;
        }
    }
    Centres fresh = RunBothWays(data, mask, second, clusters, 0.0, 0);

    Matrix<double> centres(clusters, dims, 0.0);
    Matrix<int> centreMask(clusters, dims, 0);
    ClusterEngine engine;
    engine.ComputeClusterMeans(clusters, items, dims, data.get(), mask.get(),
                               first.data(), centres.get(), centreMask.get(),
                               0);
    engine.ComputeClusterMeans(clusters, items, dims, data.get(), mask.get(),
                               second.data(), centres.get(), centreMask.get(),
                               0);
    for (int c = 0; c < clusters; ++c)
        for (int j = 0; j < dims; ++j) {
            // Reference: a running sum in item order, one true division.
            double sum = 0.0;
            int count = 0;
            for (int k = 0; k < items; ++k)
                if (second[k] == c && mask.at(k, j) != 0) {
                    sum += data.at(k, j);
                    ++count;
                }
            ExpectCentre(fresh, c, j, count ? sum / count : 0.0, count ? 1 : 0);
            EXPECT_EQ(Bits(centres.at(c, j)), Bits(fresh.rows.at(c, j)));
            EXPECT_EQ(centreMask.at(c, j), fresh.rowsMask.at(c, j));
        }
}

}  // namespace
}  // namespace selvane
