#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// Sorted bit patterns: a multiset comparison that also works for NaN.
std::vector<std::uint64_t> SortedBits(const std::vector<double>& v) {
    std::vector<std::uint64_t> b;
    for (double x : v) b.push_back(Bits(x));
    std::sort(b.begin(), b.end());
    return b;
}

// Independent reference: sort, then the middle value or the sum of the two
// middle values times 0.5.
double SortedMedian(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t h = v.size() / 2;
    return v.size() % 2 ? v[h] : (v[h - 1] + v[h]) * 0.5;
}

// Runs MedianOf on an exactly sized heap copy (so the sanitizer sees any
// read past either end) and checks that the values were only permuted.
double CheckedMedian(const std::vector<double>& values) {
    std::vector<double> work(values);
    const double m =
        ClusterEngine().MedianOf(static_cast<int>(work.size()), work.data());
    EXPECT_EQ(SortedBits(work), SortedBits(values));
    return m;
}

TEST(MedianOfTest, WorkedExamples) {
    struct Case {
        std::vector<double> values;
        double expected;
    };
    const Case cases[] = {
        {{3, 1, 2}, 2.0},
        {{4, 1, 3, 2}, 2.5},  // (2 + 3) * 0.5
        {{2, 2, 2, 9}, 2.0},  // middle pair 2, 2
        {{5, 5, 1, 1}, 3.0},  // middle pair 1, 5
        {{9, 8, 7, 6, 5}, 7.0},
        {{1, 1, 1, 1, 1, 1}, 1.0},
        {{0.1, 0.2, 0.4, 0.3}, (0.2 + 0.3) * 0.5},
        {{-kInf, 4, kInf}, 4.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.values));
        EXPECT_EQ(Bits(CheckedMedian(c.values)), Bits(c.expected));
    }
}

TEST(MedianOfTest, ShortCountsLeaveTheArrayAlone) {
    ClusterEngine engine;
    EXPECT_EQ(engine.MedianOf(0, nullptr), 0.0);
    EXPECT_EQ(engine.MedianOf(-4, nullptr), 0.0);

    double one[] = {-7.5};
    EXPECT_EQ(engine.MedianOf(1, one), -7.5);
    EXPECT_EQ(one[0], -7.5);

    double two[] = {9.0, 1.0};
    EXPECT_EQ(engine.MedianOf(2, two), 5.0);
    EXPECT_EQ(two[0], 9.0);
    EXPECT_EQ(two[1], 1.0);
}

// Duplicate-heavy random arrays of every size up to 200, each in several
// orders: the result must match the sorted reference bit for bit.
TEST(MedianOfTest, MatchesSortedReferenceInEveryOrder) {
    std::mt19937 rng(20240607u);
    for (int n = 1; n <= 200; ++n) {
        for (int distinct : {1, 2, 3, n / 4 + 1, n}) {
            std::uniform_int_distribution<int> pick(0, distinct - 1);
            std::vector<double> values(static_cast<size_t>(n));
            // Thirds make the mean of two middle values round.
            for (double& v : values) v = pick(rng) / 3.0 - 5.0;
            const double expected = SortedMedian(values);
            for (int order = 0; order < 4; ++order) {
                SCOPED_TRACE(testing::Message()
                             << "n=" << n << " distinct=" << distinct
                             << " order=" << order);
                ASSERT_EQ(Bits(CheckedMedian(values)), Bits(expected));
                std::shuffle(values.begin(), values.end(), rng);
            }
        }
    }
}

// Orders that push partitioning schemes to their edges.
TEST(MedianOfTest, StructuredOrders) {
    for (int n = 3; n <= 300; ++n) {
        std::vector<std::vector<double>> shapes(6, std::vector<double>(n));
        for (int k = 0; k < n; ++k) {
            shapes[0][k] = k;                      // ascending
            shapes[1][k] = n - k;                  // descending
            shapes[2][k] = k < n / 2 ? k : n - k;  // organ pipe
            shapes[3][k] = k % 2;                  // alternating
            shapes[4][k] = k < n / 2 ? n - k : k;  // valley
            shapes[5][k] = (k * 7919) % n;         // scrambled
        }
        for (const auto& values : shapes) {
            SCOPED_TRACE(testing::Message() << "n=" << n);
            ASSERT_EQ(Bits(CheckedMedian(values)), Bits(SortedMedian(values)));
        }
    }
}

// A NaN compares false both ways. Whatever the median then is, the call must
// return and stay inside the array (the sanitizer build checks the reads).
TEST(MedianOfTest, NaNInputsReturnWithinBounds) {
    std::mt19937 rng(77u);
    for (int n = 3; n <= 64; ++n) {
        for (int trial = 0; trial < 40; ++trial) {
            std::vector<double> values(static_cast<size_t>(n));
            std::uniform_int_distribution<int> pick(0, 5);
            for (double& v : values) {
                const int p = pick(rng);
                v = p == 0 ? kNaN : p == 1 ? kInf : p - 3.0;
            }
            if (trial == 0) std::fill(values.begin(), values.end(), kNaN);
            CheckedMedian(values);
        }
    }
}

// Six items of three values; cluster 2 has no members. Every masked cell holds
// NaN or an infinity, and the outputs and scratch start out full of garbage.
TEST(ComputeClusterMediansTest, WorkedExampleWithMasksAndStaleContents) {
    Matrix<double> data{{1, 10, kNaN}, {5, kInf, kNaN}, {3, 30, 2},
                        {2, kNaN, 4},  {6, 8, -kInf},   {4, 20, 6}};
    Matrix<int> mask{{1, 1, 0}, {1, 0, 0}, {1, 2, -1},
                     {1, 0, 1}, {1, 1, 0}, {1, 1, 1}};
    const int ids[6] = {0, 1, 0, 0, 1, 0};
    Matrix<double> centres(3, 3, kNaN);
    Matrix<int> centreMask(3, 3, 7);
    std::vector<double> scratch(6, 1e300);

    ClusterEngine().ComputeClusterMedians(3, 6, 3, data.get(), mask.get(), ids,
                                          centres.get(), centreMask.get(), 0,
                                          scratch.data());

    // Worked by hand. Cluster 0 = items 0, 2, 3, 5: {1,3,2,4} -> 2.5;
    // {10,30,20} (item 3 masked; mask 2 counts) -> 20; {2,4,6} (item 0
    // masked; mask -1 counts) -> 4. Cluster 1 = items 1, 4: {5,6} -> 5.5;
    // {8} -> 8; nothing present -> 0.0 with mask 0.
    const double expected[3][3] = {{2.5, 20, 4}, {5.5, 8, 0}, {0, 0, 0}};
    const int expectedMask[3][3] = {{1, 1, 1}, {1, 1, 0}, {0, 0, 0}};
    for (int c = 0; c < 3; ++c)
        for (int j = 0; j < 3; ++j) {
            SCOPED_TRACE(testing::Message() << "cluster " << c << " dim " << j);
            EXPECT_EQ(Bits(centres.at(c, j)), Bits(expected[c][j]));
            EXPECT_EQ(centreMask.at(c, j), expectedMask[c][j]);
        }

    // Items as columns: the same job transposed gives the transposed centres.
    Matrix<double> dataT = data.Transposed();
    Matrix<int> maskT = mask.Transposed();
    Matrix<double> centresT(3, 3, -kInf);
    Matrix<int> centreMaskT(3, 3, -1);
    ClusterEngine().ComputeClusterMedians(3, 3, 6, dataT.get(), maskT.get(),
                                          ids, centresT.get(),
                                          centreMaskT.get(), 1, scratch.data());
    for (int c = 0; c < 3; ++c)
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(Bits(centresT.at(j, c)), Bits(expected[c][j]));
            EXPECT_EQ(centreMaskT.at(j, c), expectedMask[c][j]);
        }
}

// Cluster numbers are only compared with c, so out-of-range ones join nothing.
TEST(ComputeClusterMediansTest, OutOfRangeClusterNumbersBelongToNoCluster) {
    Matrix<double> data(4, 1, {1.0, 100.0, 3.0, -100.0});
    Matrix<int> mask(4, 1, 1);
    const int ids[4] = {0, 1, 0, -1};
    Matrix<double> centres(1, 1, 0.0);
    Matrix<int> centreMask(1, 1, 0);
    std::vector<double> scratch(4);
    ClusterEngine().ComputeClusterMedians(1, 4, 1, data.get(), mask.get(), ids,
                                          centres.get(), centreMask.get(), 0,
                                          scratch.data());
    EXPECT_EQ(centres.at(0, 0), 2.0);  // (1 + 3) * 0.5
    EXPECT_EQ(centreMask.at(0, 0), 1);
}

// Random job with sparse masks: both orientations agree bit for bit, and a
// cluster is checked cell by cell against the sorted reference.
TEST(ComputeClusterMediansTest, OrientationsAgreeOnRandomJob) {
    const int items = 37, dims = 5, clusters = 4;
    std::mt19937 rng(4242u);
    std::uniform_int_distribution<int> value(-6, 6), presence(0, 3),
        cluster(0, clusters - 2);  // the last cluster stays empty
    Matrix<double> data(items, dims, 0.0);
    Matrix<int> mask(items, dims, 0);
    std::vector<int> ids(items);
    for (int k = 0; k < items; ++k) {
        ids[k] = cluster(rng);
        for (int j = 0; j < dims; ++j) {
            mask.at(k, j) = presence(rng) - 1;  // -1, 0, 1 or 2
            data.at(k, j) = mask.at(k, j) ? value(rng) / 4.0 : kNaN;
        }
    }
    std::vector<double> scratch(items, kNaN);
    Matrix<double> centres(clusters, dims, 0.0);
    Matrix<int> centreMask(clusters, dims, 0);
    ClusterEngine().ComputeClusterMedians(clusters, items, dims, data.get(),
                                          mask.get(), ids.data(), centres.get(),
                                          centreMask.get(), 0, scratch.data());

    Matrix<double> dataT = data.Transposed();
    Matrix<int> maskT = mask.Transposed();
    Matrix<double> centresT(dims, clusters, 0.0);
    Matrix<int> centreMaskT(dims, clusters, 0);
    ClusterEngine().ComputeClusterMedians(
        clusters, dims, items, dataT.get(), maskT.get(), ids.data(),
        centresT.get(), centreMaskT.get(), 1, scratch.data());

    for (int c = 0; c < clusters; ++c)
        for (int j = 0; j < dims; ++j) {
            std::vector<double> present;
            for (int k = 0; k < items; ++k)
                if (ids[k] == c && mask.at(k, j) != 0)
                    present.push_back(data.at(k, j));
            const double expected = present.empty() ? 0.0
                                                    : SortedMedian(present);
            SCOPED_TRACE(testing::Message() << "cluster " << c << " dim " << j);
            EXPECT_EQ(Bits(centres.at(c, j)), Bits(expected));
            EXPECT_EQ(centreMask.at(c, j), present.empty() ? 0 : 1);
            EXPECT_EQ(Bits(centresT.at(j, c)), Bits(centres.at(c, j)));
            EXPECT_EQ(centreMaskT.at(j, c), centreMask.at(c, j));
        }
}

// The grouped form against the literal scan on random jobs: gaps, ties,
// NaN and infinities (present and absent), empty clusters, out-of-range
// numbers, both orientations, stale scratch. Every cell's bits must agree.
TEST(ComputeClusterMediansTest,
     GroupedFormGivesTheLiteralBitsForTheClustersNamed) {
    std::mt19937 rng(2026u);
    auto draw = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const double specials[] = {kNaN, -kNaN, kInf, -kInf, 0.0, -0.0};
    for (int job = 0; job < 400; ++job) {
        const int items = draw(1, 60), dims = draw(1, 6), k = draw(1, 9);
        const int levels = draw(1, 3) == 1 ? 3 : 1000;  // ties, or few
        Matrix<double> data(items, dims, 0.0);
        Matrix<int> mask(items, dims, 0);
        std::vector<int> ids(items);
        for (int i = 0; i < items; ++i) {
            ids[i] = draw(0, 19) == 0 ? draw(-2, k + 2) : draw(0, k - 1);
            for (int j = 0; j < dims; ++j) {
                mask.at(i, j) = draw(0, 4) == 0 ? 0 : draw(-1, 2);
                data.at(i, j) = draw(0, 15) == 0 ? specials[draw(0, 5)]
                                                 : draw(0, levels) / 8.0;
            }
        }
        const int columns = draw(0, 1);
        Matrix<double> d = columns ? data.Transposed() : std::move(data);
        Matrix<int> m = columns ? mask.Transposed() : std::move(mask);
        const int rows = columns ? dims : items;
        const int cols = columns ? items : dims;
        const int cr = columns ? dims : k, cc = columns ? k : dims;
        Matrix<double> literal(cr, cc, 7.0), grouped(cr, cc, -7.0);
        Matrix<int> literalMask(cr, cc, 5), groupedMask(cr, cc, -5);
        std::vector<double> scratch(items, 3.0);
        std::vector<int> order(items, -9), starts(k + 1, 99);
        // Every other job names the clusters to recompute; the others keep
        // what their cells held.
        std::vector<unsigned char> only(k);
        for (unsigned char& o : only)
            o = static_cast<unsigned char>(draw(0, 1));
        const unsigned char* named = job % 2 ? only.data() : nullptr;
        ClusterEngine engine;
        engine.ComputeClusterMedians(
            k, rows, cols, d.get(), m.get(), ids.data(), literal.get(),
            literalMask.get(), columns, scratch.data());
        engine.ComputeClusterMedians(k, rows, cols, d.get(), m.get(),
                                     ids.data(), grouped.get(),
                                     groupedMask.get(), columns, scratch.data(),
                                     order.data(), starts.data(), named);
        for (int r = 0; r < cr; ++r)
            for (int c = 0; c < cc; ++c) {
                if (named && !named[columns ? c : r]) {
                    ASSERT_EQ(grouped.at(r, c), -7.0);
                    ASSERT_EQ(groupedMask.at(r, c), -5);
                    continue;
                }
                ASSERT_EQ(Bits(grouped.at(r, c)), Bits(literal.at(r, c)))
                    << "job " << job << " cell " << r << "," << c;
                ASSERT_EQ(groupedMask.at(r, c), literalMask.at(r, c));
            }
    }
}

}  // namespace
}  // namespace selvane
