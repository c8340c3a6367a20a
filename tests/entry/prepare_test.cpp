#include "entry/PrepareInput.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

namespace selvane {
namespace {

// Owns rows shaped the way the exported function hands them over.
struct Prepared {
    Prepared(int n, int d, const std::vector<double>& input)
        : workStore(n, std::vector<double>(d + 1, -7.0)),
          dataStore(n, std::vector<double>(d + 1, -7.0)),
          maskStore(n, std::vector<int>(d + 1, 9)),
          flags(n, 9) {
        for (int i = 0; i < n; ++i) {
            work.push_back(workStore[i].data());
            data.push_back(dataStore[i].data());
            mask.push_back(maskStore[i].data());
        }
        ClusterEngine engine;
        measurable = PrepareInput(engine, n, d, input.data(), work.data(),
                                  data.data(), mask.data(), flags.data());
    }
    std::vector<std::vector<double>> workStore, dataStore;
    std::vector<std::vector<int>> maskStore;
    std::vector<double*> work, data;
    std::vector<int*> mask;
    std::vector<int> flags;
    int measurable = 0;
};

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(RowNormTest, SumsPresentColumnsOnlyAndIgnoresTheRest) {
    double row[] = {3.0, 100.0, 4.0, 1e300};
    int maskRow[] = {1, 0, 2, -1};  // only entries above 0 count
    double* rows[] = {row};
    int* masks[] = {maskRow};
    ClusterEngine engine;
    EXPECT_EQ(engine.RowNorm(3, 0, rows, masks), 5.0);
    EXPECT_EQ(engine.RowNorm(0, 0, rows, masks), 0.0);
}

// Items (3, 4), (1, 1) and (2, -5), dimension-major.
TEST(PrepareInputTest, WorkedExample) {
    Prepared p(3, 2, {3, 1, 2, 4, 1, -5});
    EXPECT_EQ(p.measurable, 2);
    EXPECT_EQ(p.flags, (std::vector<int>{1, 1, 0}));
    // Norm 5 is exact, so the quotients are the doubles nearest 0.6 and 0.8.
    EXPECT_EQ(p.dataStore[0], (std::vector<double>{3.0 / 5.0, 4.0 / 5.0, 1.0}));
    const double root2 = std::sqrt(2.0);
    EXPECT_EQ(p.dataStore[1],
              (std::vector<double>{1.0 / root2, 1.0 / root2, root2 / 5.0}));
    EXPECT_EQ(p.dataStore[2][2], 0.0);
    EXPECT_EQ(p.maskStore[0], (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(p.maskStore[2], (std::vector<int>{0, 0, 1}));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(p.workStore[i], p.dataStore[i]);
    EXPECT_EQ(p.workStore[2][2], 0.0);
}

TEST(PrepareInputTest, AnyUnusableValueMasksTheWholeItem) {
    // Item 0 is the reference; each other item has one unusable value.
    const double bad[] = {0.0, -0.0, -1.0, kNaN, kInf, -kInf};
    const int n = 7;
    std::vector<double> input(2 * n);
    input[0] = 3.0;
    input[n] = 4.0;
    for (int i = 1; i < n; ++i) {
        input[i] = 2.0;
        input[n + i] = bad[i - 1];
    }
    Prepared p(n, 2, input);
    EXPECT_EQ(p.measurable, 1);
    EXPECT_EQ(p.dataStore[0][2], 1.0);
    for (int i = 1; i < n; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(p.flags[i], 0);
        EXPECT_EQ(p.maskStore[i], (std::vector<int>{0, 0, 1}));
        EXPECT_EQ(p.dataStore[i][2], 0.0);
        EXPECT_EQ(p.workStore[i][2], 0.0);
    }
}

TEST(PrepareInputTest, OneInfiniteValueDoesNotSpoilTheOtherItems) {
    // Without the guard the largest norm would be +inf and every magnitude
    // 0 or NaN.
    Prepared p(3, 2, {3, 6, kInf, 4, 8, 1});
    EXPECT_EQ(p.flags, (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(p.dataStore[0][2], 0.5);
    EXPECT_EQ(p.dataStore[1][2], 1.0);
    EXPECT_EQ(p.dataStore[2][2], 0.0);
}

TEST(PrepareInputTest, MagnitudesAreRelativeToTheLargestNorm) {
    // Items (3, 4), (6, 8), (6, 8), (1, 1): two share the largest norm 10.
    Prepared p(4, 2, {3, 6, 6, 1, 4, 8, 8, 1});
    EXPECT_EQ(p.dataStore[0][2], 0.5);
    EXPECT_EQ(p.dataStore[1][2], 1.0);
    EXPECT_EQ(p.dataStore[2][2], 1.0);
    EXPECT_EQ(p.dataStore[3][2], std::sqrt(2.0) / 10.0);
    EXPECT_GT(p.dataStore[3][2], 0.0);
    EXPECT_LT(p.dataStore[3][2], 1.0);
}

TEST(PrepareInputTest, SingleItemAndScaling) {
    Prepared one(1, 3, {1, 2, 3});
    EXPECT_EQ(one.dataStore[0][3], 1.0);
    // Scaling an item by a power of two leaves its unit vector bit-identical
    // and halves the other item's magnitude when it becomes the largest.
    Prepared base(2, 3, {1, 2, 2, 4, 3, 6});
    Prepared scaled(2, 3, {4, 2, 8, 4, 12, 6});
    for (int d = 0; d < 3; ++d) {
        EXPECT_EQ(base.dataStore[0][d], scaled.dataStore[0][d]);
        EXPECT_EQ(base.dataStore[1][d], scaled.dataStore[1][d]);
    }
    EXPECT_EQ(base.dataStore[0][3], 0.5);
    EXPECT_EQ(scaled.dataStore[0][3], 1.0);
    EXPECT_EQ(scaled.dataStore[1][3], 0.5);
}

TEST(PrepareInputTest, OrdinaryValuesKeepThePlainArithmetic) {
    // The rescue path for extreme values must not touch ordinary ones:
    // each quotient is the value over sqrt of the ascending sum of squares.
    const std::vector<double> input = {0.1, 7.5, 1e-3, 2.25, 1e5, 3.0};
    Prepared p(2, 3, input);
    double norms[2];
    for (int i = 0; i < 2; ++i) {
        double sum = 0.0;
        for (int d = 0; d < 3; ++d) sum += input[d * 2 + i] * input[d * 2 + i];
        norms[i] = std::sqrt(sum);
        for (int d = 0; d < 3; ++d)
            EXPECT_EQ(p.dataStore[i][d], input[d * 2 + i] / norms[i]);
    }
    // Item 0 holds 1e5 and so the largest norm.
    EXPECT_EQ(p.dataStore[0][3], 1.0);
    EXPECT_EQ(p.dataStore[1][3], norms[1] / norms[0]);
}

void ExpectUnitRow(const std::vector<double>& row, int d) {
    double length = 0.0;
    for (int k = 0; k < d; ++k) {
        EXPECT_TRUE(std::isfinite(row[k]));
        length += row[k] * row[k];
    }
    EXPECT_NEAR(length, 1.0, 1e-15);
}

TEST(PrepareInputTest, HugeValuesGiveFiniteNormsAndUnitVectors) {
    // (1e200, 1e200): the squares overflow; the norm 1.414e200 does not.
    // (3, 4) is an ordinary item next to it.
    Prepared p(2, 2, {1e200, 3, 1e200, 4});
    ExpectUnitRow(p.dataStore[0], 2);
    EXPECT_EQ(p.dataStore[0][2], 1.0);
    EXPECT_NEAR(p.dataStore[1][2] / (5.0 / (std::sqrt(2.0) * 1e200)), 1.0,
                1e-15);
}

TEST(PrepareInputTest, NormsBeyondTheLargestDoubleStayOrdered) {
    // (DBL_MAX, DBL_MAX) has norm sqrt(2) * DBL_MAX, beyond every double;
    // (DBL_MAX, DBL_MAX / 2) is smaller; (1, 1) is tiny but not zero.
    const double m = DBL_MAX;
    Prepared p(3, 2, {m, m, 1, m, m / 2, 1});
    for (int i = 0; i < 3; ++i) ExpectUnitRow(p.dataStore[i], 2);
    EXPECT_EQ(p.dataStore[0][2], 1.0);
    EXPECT_NEAR(p.dataStore[1][2], std::sqrt(1.25) / std::sqrt(2.0), 1e-15);
    EXPECT_GT(p.dataStore[2][2], 0.0);
    EXPECT_LT(p.dataStore[2][2], 1e-300);
}

TEST(PrepareInputTest, TinyValuesGiveNonZeroNormsAndUnitVectors) {
    // Squares of 1e-200 vanish, squares of 1e-160 are subnormal, and the
    // smallest subnormal has no square at all.
    const double tiny = std::numeric_limits<double>::denorm_min();
    Prepared p(3, 2, {1e-200, 1e-160, tiny, 1e-200, 3e-160, tiny});
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(p.flags[i], 1);
        ExpectUnitRow(p.dataStore[i], 2);
        EXPECT_GT(p.dataStore[i][2], 0.0);
    }
    EXPECT_EQ(p.dataStore[1][2], 1.0);
    EXPECT_NEAR(p.dataStore[0][2], 1e-40 * std::sqrt(2.0) / std::sqrt(10.0),
                1e-54);
}

}  // namespace
}  // namespace selvane
