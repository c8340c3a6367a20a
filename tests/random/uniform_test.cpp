#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "random/RandomDraws.h"
#include "support/GeneratorReference.h"

namespace selvane {
namespace {

using test_support::kA1;
using test_support::kA2;
using test_support::kLargestUniform;
using test_support::kM1;
using test_support::kM2;
using test_support::kSmallestUniform;
using test_support::PreimageOf;
using test_support::Step;

void ExpectWords(std::int32_t s1, std::int32_t s2) {
    const SeedWords words = LoadSeedWords();
    EXPECT_EQ(words.s1, s1);
    EXPECT_EQ(words.s2, s2);
}

TEST(UniformRandomTest, FirstValuesFromWordsOne) {
    // Values and words worked with exact integer arithmetic:
    // 40014 - 40692 + 2147483562 = 2147482884, and so on.
    StoreSeedWords(SeedWords{1, 1});
    EXPECT_EQ(UniformRandom(ProcessGenerator()), 0.9999996838159734);
    ExpectWords(40014, 40692);
    EXPECT_EQ(UniformRandom(ProcessGenerator()), 0.9745196331451501);
    ExpectWords(1601120196, 1655838864);
    EXPECT_EQ(UniformRandom(ProcessGenerator()), 0.6474839146417253);
    ExpectWords(1346387765, 2103410263);
}

TEST(UniformRandomTest, FollowsReferenceGeneratorsOverLongRuns) {
    // Starts include the largest words and words on Schrage's quotient
    // boundaries, where a slip in the decomposition would show first.
    const SeedWords starts[] = {{1, 1},
                                {2147483562, 2147483398},
                                {53668, 52774},
                                {53668 * 40000, 52774 * 40000},
                                {53668 * 40000 - 1, 52774 * 40000 - 1},
                                {12345, 12345}};
    for (const SeedWords& start : starts) {
        SCOPED_TRACE(start.s1);
        StoreSeedWords(start);
        std::int32_t s1 = start.s1;
        std::int32_t s2 = start.s2;
        for (int draw = 0; draw < 100000; ++draw) {
            s1 = Step(s1, kA1, kM1);
            s2 = Step(s2, kA2, kM2);
            std::int32_t z = s1 - s2;
            if (z < 1) z += 2147483562;
            const double u = UniformRandom(ProcessGenerator());
            const SeedWords words = LoadSeedWords();
            ASSERT_EQ(words.s1, s1) << "draw " << draw;
            ASSERT_EQ(words.s2, s2) << "draw " << draw;
            ASSERT_EQ(u, static_cast<double>(z) * kSmallestUniform);
            ASSERT_GT(u, 0.0);
            ASSERT_LT(u, 1.0);
        }
    }
}

TEST(UniformRandomTest, ReachesBothEndsOfTheOpenInterval) {
    // Advanced words 2 and 1 give z = 1.
    StoreSeedWords(PreimageOf(2, 1));
    EXPECT_EQ(UniformRandom(ProcessGenerator()), kSmallestUniform);
    ExpectWords(2, 1);
    // Equal advanced words give z = 0, lifted to 2147483562.
    StoreSeedWords(PreimageOf(5, 5));
    EXPECT_EQ(UniformRandom(ProcessGenerator()), kLargestUniform);
    EXPECT_LT(kLargestUniform, 1.0);
    ExpectWords(5, 5);
}

// A seeding source that records every call, for the tests below.
struct SeedLog {
    std::vector<std::string> calls;
    unsigned seededWith = 0;
    std::vector<int> randValues;
    std::size_t nextRand = 0;
};
SeedLog seedLog;

std::uint32_t LoggedClock() {
    seedLog.calls.push_back("clock");
    return 1234567u;
}
void LoggedSeed(unsigned value) {
    seedLog.calls.push_back("srand");
    seedLog.seededWith = value;
}
int LoggedRand() {
    seedLog.calls.push_back("rand");
    return seedLog.randValues.at(seedLog.nextRand++);
}

class UniformSeedingTest : public ::testing::Test {
protected:
    void UseRandValues(std::vector<int> values) {
        seedLog = SeedLog{};
        seedLog.randValues = std::move(values);
        SetSeedSource(SeedSource{&LoggedClock, &LoggedSeed, &LoggedRand});
    }
    void TearDown() override { SetSeedSource(PlatformSeedSource()); }

    const std::vector<std::string> seedingCalls_{"clock", "srand", "rand",
                                                 "rand"};
};

TEST_F(UniformSeedingTest, UnseededStateSeedsOnceThenOnlyAdvances) {
    UseRandValues({1, 1});
    StoreSeedWords(SeedWords{0, 0});
    // Seeded words 1 and 1 are advanced before the first value.
    EXPECT_EQ(UniformRandom(ProcessGenerator()), 0.9999996838159734);
    EXPECT_EQ(seedLog.calls, seedingCalls_);
    EXPECT_EQ(seedLog.seededWith, 1234567u);
    EXPECT_EQ(UniformRandom(ProcessGenerator()), 0.9745196331451501);
    EXPECT_EQ(UniformRandom(ProcessGenerator()), 0.6474839146417253);
    EXPECT_EQ(seedLog.calls.size(), 4u);
}

TEST_F(UniformSeedingTest, EitherZeroWordReseedsBoth) {
    UseRandValues({1, 1, 1, 1});
    StoreSeedWords(SeedWords{7, 0});
    EXPECT_EQ(UniformRandom(ProcessGenerator()), 0.9999996838159734);
    ExpectWords(40014, 40692);
    StoreSeedWords(SeedWords{0, 7});
    EXPECT_EQ(UniformRandom(ProcessGenerator()), 0.9999996838159734);
    EXPECT_EQ(seedLog.calls.size(), 8u);
}

TEST_F(UniformSeedingTest, RandZeroGivesWordOneAndNoReseeding) {
    // A zero word would stay zero, every draw would reseed from the same
    // clock second and the stream would repeat one value.
    UseRandValues({0, 0});
    StoreSeedWords(SeedWords{0, 0});
    const double first = UniformRandom(ProcessGenerator());
    EXPECT_EQ(first, 0.9999996838159734);
    ExpectWords(40014, 40692);
    const double second = UniformRandom(ProcessGenerator());
    EXPECT_NE(second, first);
    EXPECT_EQ(second, 0.9745196331451501);
    EXPECT_EQ(seedLog.calls, seedingCalls_);
}

TEST_F(UniformSeedingTest, OnlyTheZeroWordIsReplaced) {
    UseRandValues({0, 3});
    StoreSeedWords(SeedWords{0, 0});
    UniformRandom(ProcessGenerator());
    ExpectWords(40014, Step(3, kA2, kM2));

    UseRandValues({3, 0});
    StoreSeedWords(SeedWords{0, 0});
    UniformRandom(ProcessGenerator());
    ExpectWords(Step(3, kA1, kM1), 40692);
}

TEST_F(UniformSeedingTest, RandEqualToAModulusAlsoGivesWordOne) {
    // Where RAND_MAX is 2^31 - 1, rand can return a modulus itself, which
    // advances to 0 just as 0 does.
    UseRandValues({2147483563, 2147483399});
    StoreSeedWords(SeedWords{0, 0});
    UniformRandom(ProcessGenerator());
    ExpectWords(40014, 40692);
    EXPECT_EQ(seedLog.calls, seedingCalls_);

    // Any other word above a modulus is usable as it is.
    UseRandValues({2147483647, 2147483647});
    StoreSeedWords(SeedWords{0, 0});
    UniformRandom(ProcessGenerator());
    ExpectWords(Step(2147483647, kA1, kM1), Step(2147483647, kA2, kM2));
}

TEST_F(UniformSeedingTest, PlatformSourceSeedsFromClockAndRand) {
    const SeedSource platform = PlatformSeedSource();
    const SeedSource current = CurrentSeedSource();
    EXPECT_EQ(current.clockSeconds, platform.clockSeconds);
    EXPECT_EQ(current.seed, platform.seed);
    EXPECT_EQ(current.next, platform.next);

    // Replays the runtime's seeding by hand; retried if the clock ticks
    // in between.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::time_t before = std::time(nullptr);
        StoreSeedWords(SeedWords{0, 0});
        UniformRandom(ProcessGenerator());
        const SeedWords seeded = LoadSeedWords();
        if (std::time(nullptr) != before) continue;
        std::srand(static_cast<unsigned>(before));
        int r1 = std::rand();
        int r2 = std::rand();
        if (r1 % 2147483563 == 0) r1 = 1;
        if (r2 % 2147483399 == 0) r2 = 1;
        EXPECT_EQ(seeded.s1, Step(r1, kA1, kM1));
        EXPECT_EQ(seeded.s2, Step(r2, kA2, kM2));
        return;
    }
    FAIL() << "clock kept ticking";
}

}  // namespace
}  // namespace selvane
