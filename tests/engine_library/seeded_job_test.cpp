// Seeded jobs of the engine library, in-process: the seed rule, the call's
// own generator state, thread counts, and arguments refused untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/PassThreads.h"
#include "engine_library/EngineJob.h"
#include "random/CallGenerator.h"
#include "random/SeedWords.h"
#include "selvane_engine.h"

namespace selvane {
namespace {

// Words worked out by a separate script from the documented rule.
TEST(SeedRuleTest, KnownSeedsGiveKnownWords) {
    const struct {
        std::uint64_t seed;
        std::int32_t s1, s2;
    } cases[] = {{0u, 2065550768, 1646307636},
                 {1u, 151149848, 285880039},
                 {42u, 803958422, 1037513505},
                 {UINT64_MAX, 459615265, 1691972210}};
    for (const auto& c : cases) {
        const SeedWords words = SeedWordsFromSeed(c.seed);
        EXPECT_EQ(words.s1, c.s1) << c.seed;
        EXPECT_EQ(words.s2, c.s2) << c.seed;
    }
}

struct Job {
    std::vector<double> values;
    int n = 60, d = 3, k = 4;
    std::vector<int> ids = std::vector<int>(60, -5);
    double error = -1.0;
    int found = -1;
    int Run(const std::uint64_t* seed, int threads = 0, int passes = 30) {
        const EngineRequest request{n,
                                    d,
                                    values.data(),
                                    0,
                                    nullptr,
                                    nullptr,
                                    k,
                                    passes,
                                    SELVANE_ENGINE_MEANS,
                                    SELVANE_ENGINE_EUCLIDEAN,
                                    seed,
                                    threads};
        return RunEngineJob(request,
                            {ids.data(), &error, &found, nullptr, nullptr});
    }
};

Job Overlapping() {
    Job job;
    std::uint32_t state = 7;
    for (int i = 0; i < job.n * job.d; ++i) {
        state = state * 1664525u + 1013904223u;
        job.values.push_back((i / job.d) % 4 + 2.5 * (state >> 8) / 16777216.0);
    }
    return job;
}

TEST(SeededJobTest, OwnStateNeitherDisturbsNorIsDisturbed) {
    const std::uint64_t seed = 20240601u;
    Job first = Overlapping();
    StoreSeedWords({11, 22});
    ASSERT_EQ(first.Run(&seed), SELVANE_ENGINE_OK);
    EXPECT_EQ(LoadSeedWords().s1, 11);
    EXPECT_EQ(LoadSeedWords().s2, 22);

    Job second = Overlapping();
    StoreSeedWords({987654, 3});
    ASSERT_EQ(second.Run(&seed), SELVANE_ENGINE_OK);
    EXPECT_EQ(second.ids, first.ids);
    EXPECT_EQ(second.error, first.error);
    EXPECT_EQ(second.found, first.found);

    // Without a seed the process-wide stream advances.
    Job unseeded = Overlapping();
    ASSERT_EQ(unseeded.Run(nullptr), SELVANE_ENGINE_OK);
    EXPECT_NE(LoadSeedWords().s1, 987654);
}

TEST(SeededJobTest, EveryThreadCountGivesTheSameBits) {
    SetSmallJobWork(0);
    const std::uint64_t seed = 5;
    Job one = Overlapping();
    ASSERT_EQ(one.Run(&seed, 1), SELVANE_ENGINE_OK);
    for (int threads : {2, 3, 8}) {
        Job many = Overlapping();
        ASSERT_EQ(many.Run(&seed, threads), SELVANE_ENGINE_OK);
        EXPECT_EQ(many.ids, one.ids) << threads;
        EXPECT_EQ(many.error, one.error) << threads;
        EXPECT_EQ(many.found, one.found) << threads;
    }
    SetSmallJobWork(kSmallJobWork);
}

TEST(SeededJobTest, RefusedArgumentsWriteNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> values = {1, 2, 3, 4, 5, 6};  // 3 items of 2
    std::vector<double> infinite = {1, 2, inf, 4, 5, 6};
    std::vector<double> weights = {1.0, -0.5};
    std::vector<double> nanWeights = {nan, 1.0};
    std::vector<unsigned char> allPresent(6, 1);
    // Nothing to cluster on: every value missing, or of weight zero.
    std::vector<double> allMissing(6, nan);
    std::vector<unsigned char> firstOnly = {1, 0, 1, 0, 1, 0};
    std::vector<double> zeroWeights = {0.0, 0.0}, secondOnly = {0.0, 3.0};
    const struct {
        int n, d, layout, k, passes, centres, metric, threads;
        const double* values;
        const unsigned char* present;
        const double* weights;
        int code;
    } cases[] = {
        {3, 2, 0, 2, 5, 0, 0, 0, nullptr, nullptr, nullptr,
         SELVANE_ENGINE_ERROR_NULL_POINTER},
        {0, 2, 0, 1, 5, 0, 0, 0, values.data(), nullptr, nullptr,
         SELVANE_ENGINE_ERROR_SHAPE},
        {3, 0, 0, 1, 5, 0, 0, 0, values.data(), nullptr, nullptr,
         SELVANE_ENGINE_ERROR_SHAPE},
        {3, 2, 0, 4, 5, 0, 0, 0, values.data(), nullptr, nullptr,
         SELVANE_ENGINE_ERROR_CLUSTER_COUNT},
        {3, 2, 0, 0, 5, 0, 0, 0, values.data(), nullptr, nullptr,
         SELVANE_ENGINE_ERROR_CLUSTER_COUNT},
        {3, 2, 0, 2, 0, 0, 0, 0, values.data(), nullptr, nullptr,
         SELVANE_ENGINE_ERROR_PASS_COUNT},
        {3, 2, 2, 2, 5, 0, 0, 0, values.data(), nullptr, nullptr,
         SELVANE_ENGINE_ERROR_OPTION},
        {3, 2, 0, 2, 5, 2, 0, 0, values.data(), nullptr, nullptr,
         SELVANE_ENGINE_ERROR_OPTION},
        {3, 2, 0, 2, 5, 0, -1, 0, values.data(), nullptr, nullptr,
         SELVANE_ENGINE_ERROR_OPTION},
        {3, 2, 0, 2, 5, 0, 0, -1, values.data(), nullptr, nullptr,
         SELVANE_ENGINE_ERROR_THREAD_COUNT},
        {3, 2, 0, 2, 5, 0, 0, 0, values.data(), nullptr, weights.data(),
         SELVANE_ENGINE_ERROR_WEIGHT},
        {3, 2, 0, 2, 5, 0, 0, 0, values.data(), nullptr, nanWeights.data(),
         SELVANE_ENGINE_ERROR_WEIGHT},
        {3, 2, 0, 2, 5, 0, 0, 0, infinite.data(), nullptr, nullptr,
         SELVANE_ENGINE_ERROR_VALUE},
        {3, 2, 0, 2, 5, 0, 0, 0, infinite.data(), allPresent.data(), nullptr,
         SELVANE_ENGINE_ERROR_VALUE},
        {3, 2, 1, 2, 5, 1, 0, 0, allMissing.data(), nullptr, nullptr,
         SELVANE_ENGINE_ERROR_NOTHING_PRESENT},
        {3, 2, 0, 2, 5, 0, 1, 0, values.data(), nullptr, zeroWeights.data(),
         SELVANE_ENGINE_ERROR_NOTHING_PRESENT},
        {3, 2, 0, 2, 5, 0, 0, 0, values.data(), firstOnly.data(),
         secondOnly.data(), SELVANE_ENGINE_ERROR_NOTHING_PRESENT},
    };
    for (const auto& c : cases) {
        std::vector<int> ids(3, 77);
        double error = 5.5, centres[8] = {9, 9, 9, 9, 9, 9, 9, 9};
        int found = 66;
        unsigned char present[8] = {7, 7, 7, 7, 7, 7, 7, 7};
        const std::uint64_t seed = 1;
        const EngineRequest request{c.n,       c.d,       c.values, c.layout,
                                    c.present, c.weights, c.k,      c.passes,
                                    c.centres, c.metric,  &seed,    c.threads};
        EXPECT_EQ(RunEngineJob(request,
                               {ids.data(), &error, &found, centres, present}),
                  c.code);
        EXPECT_EQ(ids, std::vector<int>(3, 77));
        EXPECT_EQ(error, 5.5);
        EXPECT_EQ(found, 66);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(centres[i], 9.0);
            EXPECT_EQ(present[i], 7);
        }
    }
    // A missing cell may hold anything, an infinity included.
    std::vector<unsigned char> gap = {1, 1, 0, 1, 1, 1};
    std::vector<int> ids(3, 77);
    const EngineRequest request{
        3, 2, infinite.data(), 0, gap.data(), nullptr, 2, 5, 0, 0, nullptr, 0};
    EXPECT_EQ(
        RunEngineJob(request, {ids.data(), nullptr, nullptr, nullptr, nullptr}),
        SELVANE_ENGINE_OK);
}

// Items (1, 0), (0, 2), (3, 3) against centres (0, 0) and (1, 1), unit
// weights: squared distances over 2 values are 0.5 and 0.5 (a tie: the
// lower number), 2 and 1, 9 and 4; the total adds them in item order.
// Refused arguments leave every output untouched.
TEST(AssignJobTest, NearestCentresByHandAndRefusals) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> items = {1, 0, 0, 2, 3, 3};
    const std::vector<double> centres = {0, 0, 1, 1};
    const std::vector<double> infinite = {0, inf, 1, 1}, missing(4, nan);
    const int given[] = {1, 0, 1}, outside[] = {0, 2, 1}, below[] = {-1, 0, 0};
    std::vector<int> ids;
    std::vector<double> distances;
    double total;
    const auto run = [&](int k, int metric, const double* at,
                         const int* givenIds) {
        ids.assign(3, 77);
        distances.assign(3, 5.5);
        total = 6.5;
        const ItemCells cells{3, 2, items.data(), 0, nullptr, nullptr};
        return RunAssignJob({cells, k, at, nullptr, metric, givenIds},
                            {ids.data(), distances.data(), &total});
    };
    using Ids = std::vector<int>;
    using Distances = std::vector<double>;
    ASSERT_EQ(run(2, SELVANE_ENGINE_EUCLIDEAN, centres.data(), nullptr), 0);
    EXPECT_EQ(ids, (Ids{0, 1, 1}));
    EXPECT_EQ(distances, (Distances{0.5, 1.0, 4.0}));
    EXPECT_EQ(total, (0.5 + 1.0) + 4.0);
    ASSERT_EQ(run(2, SELVANE_ENGINE_EUCLIDEAN, centres.data(), given), 0);
    EXPECT_EQ(distances, (Distances{0.5, 2.0, 4.0}));

    const struct {
        int k, metric;
        const double* centres;
        const int* given;
        int code;
    } refused[] = {
        {2, 0, nullptr, nullptr, SELVANE_ENGINE_ERROR_NULL_POINTER},
        {0, 0, centres.data(), nullptr, SELVANE_ENGINE_ERROR_CLUSTER_COUNT},
        {2, 2, centres.data(), nullptr, SELVANE_ENGINE_ERROR_OPTION},
        {2, 0, infinite.data(), nullptr, SELVANE_ENGINE_ERROR_VALUE},
        {2, 0, missing.data(), nullptr, SELVANE_ENGINE_ERROR_NOTHING_PRESENT},
        {2, 0, centres.data(), outside, SELVANE_ENGINE_ERROR_CLUSTER_ID},
        {2, 0, centres.data(), below, SELVANE_ENGINE_ERROR_CLUSTER_ID},
    };
    for (const auto& c : refused) {
        EXPECT_EQ(run(c.k, c.metric, c.centres, c.given), c.code);
        EXPECT_EQ(ids, std::vector<int>(3, 77));
        EXPECT_EQ(distances, std::vector<double>(3, 5.5));
        EXPECT_EQ(total, 6.5);
    }
}

// Centres are NaN and absent exactly where no member has the value, and
// otherwise the mean or median of the members' present values.
TEST(SeededJobTest, CentresFromPresentValuesOnly) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Two far groups; value 1 is missing in every item of the second.
    const std::vector<double> values = {1,   2,   1.5, 4,   2,   nan,
                                        100, nan, 102, nan, 101, nan};
    for (int centres : {SELVANE_ENGINE_MEANS, SELVANE_ENGINE_MEDIANS}) {
        std::vector<int> ids(6);
        double out[4];
        unsigned char has[4];
        const std::uint64_t seed = 3;
        const EngineRequest request{6,
                                    2,
                                    values.data(),
                                    0,
                                    nullptr,
                                    nullptr,
                                    2,
                                    10,
                                    centres,
                                    SELVANE_ENGINE_EUCLIDEAN,
                                    &seed,
                                    1};
        ASSERT_EQ(
            RunEngineJob(request, {ids.data(), nullptr, nullptr, out, has}),
            SELVANE_ENGINE_OK);
        ASSERT_EQ(ids[0], ids[1]);
        ASSERT_EQ(ids[0], ids[2]);
        ASSERT_EQ(ids[3], ids[4]);
        ASSERT_NE(ids[0], ids[3]);
        const int low = ids[0], high = ids[3];
        EXPECT_EQ(out[low * 2], 1.5);
        EXPECT_EQ(out[low * 2 + 1], 3.0);  // mean and median of 2 and 4
        EXPECT_EQ(has[low * 2 + 1], 1);
        EXPECT_EQ(out[high * 2], 101.0);
        EXPECT_TRUE(std::isnan(out[high * 2 + 1]));
        EXPECT_EQ(has[high * 2 + 1], 0);
    }
}

}  // namespace
}  // namespace selvane
