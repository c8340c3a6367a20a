#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>

#include "random/BtpeSetup.h"
#include "random/RandomDraws.h"
#include "support/GeneratorReference.h"

namespace selvane {
namespace {

using test_support::kM1;
using test_support::SameWords;

// Words whose next draw combines to z (1 .. 2147483562), so the uniform
// is z * 4.656613057391769e-10: advanced words z + 1 and 1, or two equal
// words for the top value.
SeedWords WordsForNextZ(std::int64_t z) {
    return test_support::PreimageOf(z == kM1 - 1 ? 1 : z + 1, 1);
}

// How many uniforms took the stream from start to end (-1 if over 1000).
int DrawsBetween(SeedWords start, SeedWords end) {
    StoreSeedWords(start);
    for (int draws = 0; draws <= 1000; ++draws) {
        if (SameWords(LoadSeedWords(), end)) return draws;
        UniformRandom(ProcessGenerator());
    }
    return -1;
}

struct Drawn {
    int value;
    int draws;
};

Drawn DrawFrom(SeedWords start, int n, double p) {
    StoreSeedWords(start);
    const int value = BinomialRandom(n, p, ProcessGenerator());
    return Drawn{value, DrawsBetween(start, LoadSeedWords())};
}

TEST(BinomialRandomTest, BtpeSetupForThreeHundredQuarter) {
    // Worked by hand: np = 75, npq = 56.25, sqrt = 7.5,
    // p1 = floor(16.4625 - 3.45) + 0.5, ph = 20.5 / 90.3 + 0.134, ...
    const BtpeSetup b = MakeBtpeSetup(300, 0.25);
    EXPECT_EQ(b.npq, 56.25);
    EXPECT_EQ(b.m, 75);
    EXPECT_EQ(b.p1, 13.5);
    EXPECT_EQ(b.xm, 75.5);
    EXPECT_EQ(b.xl, 62.0);
    EXPECT_EQ(b.xr, 89.0);
    EXPECT_NEAR(b.ph, 0.361021040975, 5e-13);
    EXPECT_NEAR(b.xll, 0.246345477145, 5e-13);
    EXPECT_NEAR(b.xlr, 0.22720896632, 5e-12);
    EXPECT_NEAR(b.p2, 23.247568106312, 5e-12);
    EXPECT_NEAR(b.p3, 24.713075186688, 5e-12);
    EXPECT_NEAR(b.p4, 26.302013540757, 5e-12);
}

TEST(BinomialRandomTest, ZeroTrialsGiveZeroAfterOneDraw) {
    // q^0 = 1 exceeds every uniform, including the largest.
    for (const SeedWords start :
         {SeedWords{1, 1}, WordsForNextZ(kM1 - 1), WordsForNextZ(1)}) {
        for (const double p : {0.5, 0.25, 1e-9}) {
            const Drawn d = DrawFrom(start, 0, p);
            EXPECT_EQ(d.value, 0);
            EXPECT_EQ(d.draws, 1);
        }
    }
}

TEST(BinomialRandomTest, MeanOfThirtyTakesBtpeAndJustBelowTakesInversion) {
    // Inversion draws once per call; BTPE twice per attempt. n = 60,
    // p = 0.5 is exactly 30.0; n = 59 is 29.5.
    StoreSeedWords(SeedWords{271828, 314159});
    for (int call = 0; call < 300; ++call) {
        const SeedWords start = LoadSeedWords();
        const Drawn btpe = DrawFrom(start, 60, 0.5);
        EXPECT_GE(btpe.draws, 2);
        EXPECT_EQ(btpe.draws % 2, 0);
        const Drawn inversion = DrawFrom(start, 59, 0.5);
        EXPECT_EQ(inversion.draws, 1);
        StoreSeedWords(start);
        UniformRandom(ProcessGenerator());
    }
}

TEST(BinomialRandomTest, SingleTrialSplitsAtOneHalf) {
    // z = 1073741781 gives u = 0.49999999977, z = 1073741782 gives
    // u = 0.50000000023; q^1 = 0.5 decides.
    EXPECT_EQ(DrawFrom(WordsForNextZ(1), 1, 0.5).value, 0);
    EXPECT_EQ(DrawFrom(WordsForNextZ(1073741781), 1, 0.5).value, 0);
    EXPECT_EQ(DrawFrom(WordsForNextZ(1073741782), 1, 0.5).value, 1);
    EXPECT_EQ(DrawFrom(WordsForNextZ(kM1 - 1), 1, 0.5).value, 1);
}

TEST(BinomialRandomTest, TriangleAcceptsWithTwoDraws) {
    // The smallest first uniform lands in the triangle (u <= p1), whose
    // value is xm - v * p1 + u truncated, with no further test.
    const SeedWords start = WordsForNextZ(1);
    const BtpeSetup b = MakeBtpeSetup(300, 0.25);
    StoreSeedWords(start);
    const double u = UniformRandom(ProcessGenerator()) * b.p4;
    const double v = UniformRandom(ProcessGenerator());
    ASSERT_LE(u, b.p1);

    const Drawn d = DrawFrom(start, 300, 0.25);
    EXPECT_EQ(d.draws, 2);
    EXPECT_EQ(d.value, static_cast<int>(75.5 - v * 13.5 + u));
}

TEST(BinomialRandomTest, InversionStopsWhenComputedProbabilitiesRunOut) {
    // For n = 10^7, p = 1 / 344851, q^n comes out low enough that the
    // computed probabilities sum to less than the largest uniform. Searching
    // on would pass n or never end; the result must stay a value of 0 .. n
    // after a single draw.
    const Drawn d = DrawFrom(WordsForNextZ(kM1 - 1), 10000000, 1.0 / 344851);
    EXPECT_EQ(d.draws, 1);
    EXPECT_GE(d.value, 0);
    EXPECT_LE(d.value, 10000000);
}

TEST(BinomialRandomTest, LongRunsMatchAnIndependentTranscription) {
    // Reference figures from a separate line-by-line transcription of both
    // methods, run in Python doubles with exact integer arithmetic for the
    // seed words: the sum of the values and the words after the run. The
    // words pin the number of uniforms used, and so every accept/reject
    // decision; the sum pins the values.
    struct Case {
        int n;
        double p;
        int count;
        std::int64_t sum;
        SeedWords end;
    };
    const Case cases[] = {
        // Inversion.
        {20, 0.3, 100000, 599557, {1020104619, 712556314}},
        {1000, 0.01, 100000, 998843, {1020104619, 712556314}},
        // Triangle and explicit evaluation only.
        {60, 0.5, 100000, 2999463, {364785876, 1292749507}},
        // All four acceptance tests.
        {300, 0.25, 100000, 7497355, {1176992529, 1419756364}},
        {1000, 0.5, 100000, 50003051, {1938146092, 378584903}},
        {2000000, 0.2, 100000, 39999944252, {935527621, 1779507749}},
        // Triangle and squeeze, with k * k far beyond int.
        {INT_MAX, 0.5, 20000, 21474835476760, {1503566177, 1813700974}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "n=" << c.n << " p=" << c.p);
        StoreSeedWords(SeedWords{1, 1});
        std::int64_t sum = 0;
        for (int i = 0; i < c.count; ++i) {
            sum += BinomialRandom(c.n, c.p, ProcessGenerator());
        }
        EXPECT_EQ(sum, c.sum);
        EXPECT_TRUE(SameWords(LoadSeedWords(), c.end));
    }
}

struct Moments {
    double mean;
    double variance;
};

// Sample moments of count draws, every one checked to lie in 0 .. n.
Moments SampleMoments(int n, double p, int count, SeedWords start) {
    StoreSeedWords(start);
    const double centre = static_cast<double>(n) * p;
    double sum = 0.0;
    double squares = 0.0;
    for (int i = 0; i < count; ++i) {
        const int x = BinomialRandom(n, p, ProcessGenerator());
        EXPECT_GE(x, 0);
        EXPECT_LE(x, n);
        if (x < 0 || x > n) break;
        const double d = x - centre;
        sum += d;
        squares += d * d;
    }
    const double shift = sum / count;
    return Moments{centre + shift, (squares - shift * sum) / (count - 1)};
}

TEST(BinomialRandomTest, MomentsMatchTheBinomial) {
    // Six standard errors: the mean's is sqrt(npq / N), the sample
    // variance's sqrt((mu4 - sigma^4) / N) with mu4 = npq (1 + 3 (n-2) pq).
    struct Case {
        int n;
        double p;
        int count;
    };
    const Case cases[] = {
        // Inversion.
        {20, 0.3, 200000},       // inversion
        {1000, 0.01, 200000},    // inversion, long tail
        {60, 0.5, 200000},       // BTPE, explicit evaluation only
        {300, 0.25, 200000},     // BTPE
        {10000, 0.5, 200000},    // BTPE with the squeeze
        {2000000, 0.2, 200000},  // squeeze and Stirling bound
        {INT_MAX, 0.5, 20000},   // k * k and 2n far beyond int
        {INT_MAX, 1.0 / 3.0, 20000},
    };
    std::int32_t seed = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "n=" << c.n << " p=" << c.p);
        const double npq = static_cast<double>(c.n) * c.p * (1.0 - c.p);
        const double pq = c.p * (1.0 - c.p);
        const double mu4 = npq * (1.0 + 3.0 * (c.n - 2.0) * pq);
        const Moments m =
            SampleMoments(c.n, c.p, c.count, SeedWords{seed, seed + 7});
        seed += 1000;
        EXPECT_NEAR(m.mean, c.n * c.p, 6.0 * std::sqrt(npq / c.count));
        EXPECT_NEAR(m.variance, npq,
                    6.0 * std::sqrt((mu4 - npq * npq) / c.count));
    }
}

}  // namespace
}  // namespace selvane
