#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "engine/Distance.h"
#include "support/Bits.h"
#include "support/Matrix.h"

namespace selvane {
namespace {

using test_support::Bits;
using test_support::Matrix;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Vectors {
    std::vector<double> x1, x2;
    std::vector<int> m1, m2;
    std::vector<double> weights;
};

// Compares x1 and x2 with `metric`, both as rows and as columns. x1 sits in
// row 1 of A and x2 in row 0 of B, each beside a present decoy row, so a
// swapped or ignored index shows. Both layouts must agree bit for bit.
double Compare(DistanceFunction metric, const Vectors& v) {
    const int n = static_cast<int>(v.x1.size());
    Matrix<double> a(2, n, 1000.0), b(2, n, -300.0);
    Matrix<int> ma(2, n, 1), mb(2, n, 1);
    for (int k = 0; k < n; ++k) {
        a.at(1, k) = v.x1[k];
        ma.at(1, k) = v.m1[k];
        b.at(0, k) = v.x2[k];
        mb.at(0, k) = v.m2[k];
    }
    const double byRows = metric(n, a.get(), b.get(), ma.get(), mb.get(),
                                 v.weights.data(), 1, 0, 0);
    Matrix<double> at = a.Transposed(), bt = b.Transposed();
    Matrix<int> mat = ma.Transposed(), mbt = mb.Transposed();
    const double byColumns = metric(n, at.get(), bt.get(), mat.get(), mbt.get(),
                                    v.weights.data(), 1, 0, 7);
    EXPECT_EQ(Bits(byRows), Bits(byColumns));
    return byRows;
}

struct Case {
    const char* name;
    Vectors v;
    double euclidean;
    double correlation;
};

// Expected values worked by hand from the weighted sums.
TEST(DistanceTest, EdgeCases) {
    const Case cases[] = {
        {"no position present",
         {{1, 2}, {3, 4}, {0, 1}, {1, 0}, {1, 1}},
         0.0,
         0.0},
        {"present weights all zero",
         {{1, 2}, {3, 4}, {1, 1}, {1, 1}, {0, 0}},
         0.0,
         1.0},
        {"all-zero vector",
         {{0, 0}, {1, 2}, {1, 1}, {1, 1}, {1, 1}},
         2.5,
         1.0},  // (1 + 4) / 2
        {"orthogonal",
         {{1, 0}, {0, 1}, {1, 1}, {1, 1}, {1, 1}},
         1.0,
         1.0},  // (1 + 1) / 2; sxy = 0
        {"parallel",
         {{1, 2}, {2, 4}, {1, 1}, {1, 1}, {1, 1}},
         2.5,
         0.0},  // (1 + 4) / 2; 1 - 10 / sqrt(20 * 5)
        {"opposite",
         {{1, 2}, {-2, -4}, {1, 1}, {1, 1}, {1, 1}},
         22.5,
         2.0},  // (9 + 36) / 2; 1 + 10 / 10
        {"mask 2 and -1 are present",
         {{1, 2}, {2, 4}, {2, -1}, {-1, 2}, {1, 1}},
         2.5,
         0.0},
        {"masked NaN never read",
         {{1, kNaN}, {2, 5}, {1, 0}, {1, 1}, {1, 1}},
         1.0,
         0.0},  // only position 0: 1 / 1; 1 - 2 / sqrt(4 * 1)
        // Weight 0 at position 1: (2 * 1 * 1) / 2 = 1, and 1 - 4 / sqrt(8 * 2).
        {"weight zero adds nothing",
         {{1, 2}, {2, 5}, {1, 1}, {1, 1}, {2, 0}},
         1.0,
         0.0},
        // Only position 1 is present and it weighs 0: it still counts as
        // present, so the correlation sees sxx = 0 (1.0), not "none" (0.0).
        {"weight zero still present",
         {{1, 2}, {2, 5}, {0, 1}, {1, 1}, {2, 0}},
         0.0,
         1.0},
        // Weights scale each term: (3 * 1 * 1 + 1 * 2 * 2) / (3 + 1).
        {"weighted mean", {{1, 0}, {0, 2}, {1, 1}, {1, 1}, {3, 1}}, 1.75, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Bits(Compare(EuclideanDistance, c.v)), Bits(c.euclidean));
        EXPECT_EQ(Bits(Compare(UncenteredCorrelationDistance, c.v)),
                  Bits(c.correlation));
    }
}

// Positions are summed in ascending order; both cases change under any
// reversed summation.
TEST(DistanceTest, SumsInAscendingPositionOrder) {
    // Squared differences 1e16, 1, 1 over weight 3. 1e16 + 1 is a tie between
    // 1e16 and 1e16 + 2 (spacing 2 above 2^53) and rounds to the even 1e16,
    // twice. 1e16 / 3 rounds to 3333333333333333.5 (spacing 0.5 below 2^52);
    // ones first would give (1e16 + 2) / 3 = 3333333333333334.
    const Vectors e{{1e8, 1, 1}, {0, 0, 0}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}};
    EXPECT_EQ(Compare(EuclideanDistance, e), 3333333333333333.5);

    // x1 = (1, 1, 2^26), x2 = (1, 1, 2^27). Ascending: sxy = 2 + 2^53
    // (exact), sxx = 2 + 2^52 (exact), syy = 2 + 2^54, a tie rounding to
    // 2^54. syy * sxx = 2^106 + 2^55 exactly; its root 2^53 * sqrt(1 + 2^-51)
    // lies just below 2^53 + 2 and rounds to it, so sxy / root = 1 and the
    // distance is exactly 0. Descending, the ones are lost from sxy
    // (2^53 + 1 ties to 2^53) and the distance becomes 2^-52.
    const double big = 67108864.0;  // 2^26
    const Vectors u{
        {1, 1, big}, {1, 1, 2 * big}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}};
    EXPECT_EQ(Bits(Compare(UncenteredCorrelationDistance, u)), Bits(0.0));
}

// Each term is (w * x) * y: the weight multiplies the first factor before
// the second. With w = 0.1 that rounding shows; w * (x * y) would hide it.
TEST(DistanceTest, WeightJoinsTheFirstFactor) {
    // d = (3, 0), weights (0.1, 0.9), total weight 0.1 + 0.9 = 1 exactly.
    // 0.1 * 3 = 0.30000000000000004, times 3 = 0.9000000000000001
    // (0.1 * 9 would be 0.9).
    const Vectors e{{4, 1}, {1, 1}, {1, 1}, {1, 1}, {0.1, 0.9}};
    EXPECT_EQ(Compare(EuclideanDistance, e), 0.9000000000000001);

    // x1 = (1, 1), x2 = (3, 3), weights (0.1, 0.9): sxx = 1, sxy = 0.3..04 +
    // 2.7 = 3, syy = 0.9000000000000001 + 8.100000000000001 =
    // 9.000000000000002 (9 plus one ulp), whose root is 3.0000000000000004.
    // 3 / 3.0000000000000004 = 1 - 2^-53, so the distance is 2^-53; grouped
    // as w * (x * x), syy would be 0.9 + 8.1 = 9 and the distance 0.
    const Vectors u{{1, 1}, {3, 3}, {1, 1}, {1, 1}, {0.1, 0.9}};
    EXPECT_EQ(Compare(UncenteredCorrelationDistance, u), std::ldexp(1.0, -53));
    // The same with the vectors swapped: now sxx carries the extra ulp.
    const Vectors swapped{u.x2, u.x1, u.m2, u.m1, u.weights};
    EXPECT_EQ(Compare(UncenteredCorrelationDistance, swapped),
              std::ldexp(1.0, -53));

    // x1 = (1, 3), x2 = (1, 7), weights (0.1, 0.9): 0.9 * 3 = 2.7 and
    // 2.7 * 7 = 18.900000000000002, so sxy = 0.1 + 18.900000000000002 =
    // 19.000000000000004 (weighting x2 first, 6.3 * 3 = 18.9, gives 19);
    // sxx = 0.1 + 2.7 * 3 = 8.200000000000001; syy = 0.1 + 6.3 * 7 = 44.2.
    const Vectors v{{1, 3}, {1, 7}, {1, 1}, {1, 1}, {0.1, 0.9}};
    EXPECT_EQ(Compare(UncenteredCorrelationDistance, v),
              1.0 - 19.000000000000004 / std::sqrt(44.2 * 8.200000000000001));
}

// Random masks (0, 1, 2, -1) and weights: comparing columns i and j gives
// the same bits as comparing rows i and j of the transposed matrices.
TEST(DistanceTest, ColumnsMatchRowsOfTransposed) {
    const int n = 9, itemsA = 6, itemsB = 4;
    std::mt19937 rng(31337u);
    std::uniform_real_distribution<double> value(-50.0, 50.0), weight(0.0, 3.0);
    std::uniform_int_distribution<int> presence(-1, 2);
    Matrix<double> a(n, itemsA, 0.0), b(n, itemsB, 0.0);
    Matrix<int> ma(n, itemsA, 0), mb(n, itemsB, 0);
    std::vector<double> weights(n);
    for (int k = 0; k < n; ++k) {
        weights[k] = weight(rng);
        for (int i = 0; i < itemsA; ++i) {
            ma.at(k, i) = presence(rng);
            a.at(k, i) = ma.at(k, i) ? value(rng) : kNaN;
        }
        for (int i = 0; i < itemsB; ++i) {
            mb.at(k, i) = presence(rng);
            b.at(k, i) = mb.at(k, i) ? value(rng) : kNaN;
        }
    }
    Matrix<double> at = a.Transposed(), bt = b.Transposed();
    Matrix<int> mat = ma.Transposed(), mbt = mb.Transposed();
    for (DistanceFunction metric :
         {&EuclideanDistance, &UncenteredCorrelationDistance}) {
        for (int i = 0; i < itemsA; ++i)
            for (int j = 0; j < itemsB; ++j) {
                const double columns = metric(n, a.get(), b.get(), ma.get(),
                                              mb.get(), weights.data(), i, j,
                                              1);
                const double rows = metric(n, at.get(), bt.get(), mat.get(),
                                           mbt.get(), weights.data(), i, j, 0);
                EXPECT_EQ(Bits(columns), Bits(rows)) << i << "," << j;
                EXPECT_FALSE(std::isnan(columns));
            }
    }
}

// A positive power-of-two factor scales sxy exactly by s and syy by s^2, so
// the root scales exactly by s and the correlation keeps every bit; so do
// factors that would overflow or underflow the plain sums (2^+-600 on
// values of about 10: squares near 2^1206 or 2^-1194), through the scaled
// form.
TEST(DistanceTest, CorrelationIgnoresPowerOfTwoScaling) {
    std::mt19937 rng(5u);
    std::uniform_real_distribution<double> value(-10.0, 10.0), weight(0.1, 2.0);
    for (int trial = 0; trial < 50; ++trial) {
        Vectors v{std::vector<double>(7), std::vector<double>(7),
                  std::vector<int>(7, 1), std::vector<int>(7, 1),
                  std::vector<double>(7)};
        for (int k = 0; k < 7; ++k) {
            v.x1[k] = value(rng);
            v.x2[k] = value(rng);
            v.weights[k] = weight(rng);
        }
        v.m1[trial % 7] = 0;
        const double base = Compare(UncenteredCorrelationDistance, v);
        for (double scale : {2.0, 8.0, 1024.0, 0.125, 0x1p+600, 0x1p-600}) {
            for (int which = 0; which < 3; ++which) {
                Vectors scaled = v;
                std::vector<double>& target = which == 0   ? scaled.x1
                                              : which == 1 ? scaled.x2
                                                           : scaled.weights;
                for (double& x : target) x *= scale;
                EXPECT_EQ(Bits(Compare(UncenteredCorrelationDistance, scaled)),
                          Bits(base))
                    << "trial " << trial << " scale " << scale << " of "
                    << which;
            }
        }
    }
}

TEST(DistanceTest, SelectDistance) {
    EXPECT_EQ(SelectDistance('u'), &UncenteredCorrelationDistance);
    EXPECT_EQ(SelectDistance('e'), &EuclideanDistance);
    for (char other : {'c', 'U', 'E', 'a', 'm', '\0'})
        EXPECT_EQ(SelectDistance(other), &EuclideanDistance) << int(other);
}

}  // namespace
}  // namespace selvane
