// The engine library's jobs, in-process: the seed rule, the call's own
// generator state, the Selvane job's outputs, progress and cancellation,
// the structs' sizes, and arguments refused untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "engine_library/EngineJob.h"
#include "entry/RunJob.h"
#include "random/Generator.h"
#include "support/EngineJobs.h"

namespace selvane {
namespace {

using test_support::NewJob;
using test_support::NewResult;

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

// 60 items of 3 values in four overlapping groups, as rows.
struct Job {
    std::vector<double> values;
    int n = 60, d = 3, k = 4;
    std::vector<int> ids = std::vector<int>(60, -5);
    selvane_engine_result result = NewResult();
    int Run(const std::uint64_t* seed) {
        selvane_engine_job job =
            NewJob(SELVANE_ENGINE_JOB_CLUSTER, n, d, values.data(), k);
        job.pass_count = 30;
        job.metric = SELVANE_ENGINE_EUCLIDEAN;
        job.seed = seed;
        result.cluster_ids = ids.data();
        return RunEngine(&job, &result);
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
    EXPECT_EQ(second.result.error_value, first.result.error_value);
    EXPECT_EQ(second.result.found_count, first.result.found_count);
    EXPECT_GE(first.result.best_pass_iterations, 1);
    EXPECT_GE(first.result.total_iterations, 30);

    // Without a seed the process-wide stream advances.
    Job unseeded = Overlapping();
    ASSERT_EQ(unseeded.Run(nullptr), SELVANE_ENGINE_OK);
    EXPECT_NE(LoadSeedWords().s1, 987654);
}

// Selvane()'s job through the library: its numbers are RunJob's, items as
// rows or columns, and what the job knows beside them agrees with them. A
// progress hook hears its 200 passes; a cancel flag set from the hook
// stops it with its own code, having written nothing.
TEST(SeededJobTest, SelvaneJobGivesWhatItRanksBy) {
    Job rows = Overlapping();
    rows.values[4] = 0.0;  // item 1 cannot be measured
    std::vector<double> columns(rows.values.size());
    for (int i = 0; i < rows.n; ++i)
        for (int j = 0; j < rows.d; ++j)
            columns[j * rows.n + i] = rows.values[i * rows.d + j];
    const std::uint64_t seed = 8;
    StoreSeedWords(SeedWordsFromSeed(seed));
    std::vector<double> expected(rows.n);
    RunJob(rows.n, rows.d, columns.data(), rows.k, expected.data());
    for (int layout :
         {SELVANE_ENGINE_ITEMS_AS_ROWS, SELVANE_ENGINE_ITEMS_AS_COLUMNS}) {
        selvane_engine_job job =
            NewJob(SELVANE_ENGINE_JOB_SELVANE, rows.n, rows.d,
                   layout ? columns.data() : rows.values.data(), rows.k);
        job.layout = layout;
        job.seed = &seed;
        static int heard, cancel;
        heard = cancel = 0;
        job.cancel = &cancel;
        job.progress = [](void* cancelAt, int done, int count) {
            heard = done == heard + 1 && count == 200 ? done : -1;
            if (done == *static_cast<int*>(cancelAt)) cancel = 1;
        };
        int cancelAt = layout ? 3 : 0;
        job.progress_context = &cancelAt;
        std::vector<double> numbers(rows.n), magnitudes(rows.n), ranked(4);
        std::vector<unsigned char> measurable(rows.n);
        selvane_engine_result out = NewResult();
        out.cluster_ids = rows.ids.data();
        out.ranked_numbers = numbers.data();
        out.magnitudes = magnitudes.data();
        out.ranked_values = ranked.data();
        out.measurable = measurable.data();
        if (layout) {
            EXPECT_EQ(RunEngine(&job, &out), SELVANE_ENGINE_ERROR_CANCELLED);
            EXPECT_EQ(heard, 3);
            EXPECT_EQ(numbers, std::vector<double>(rows.n, 0.0));
            cancelAt = heard = cancel = 0;
        }
        ASSERT_EQ(RunEngine(&job, &out), SELVANE_ENGINE_OK);
        EXPECT_EQ(heard, 200);
        EXPECT_EQ(numbers, expected);
        EXPECT_GE(out.best_pass_iterations, 1);
        for (double value : ranked) EXPECT_EQ(value, static_cast<float>(value));
        for (int i = 0; i < rows.n; ++i) {
            EXPECT_EQ(measurable[i], i != 1);
            EXPECT_EQ(magnitudes[i] > 0.0, i != 1);
            EXPECT_LE(magnitudes[i], 1.0);
            // A higher ranked value, a higher number.
            for (int e = 0; e < rows.n; ++e) {
                EXPECT_EQ(ranked[rows.ids[i]] < ranked[rows.ids[e]],
                          numbers[i] < numbers[e]);
            }
        }
    }
}

// Structs of a later version are read and written only as far as this one
// reaches, and a later field set is refused; structs below this version
// are refused too.
TEST(SeededJobTest, StructsAreReadAndWrittenAsFarAsTheirSizes) {
    Job job = Overlapping();
    struct Later {
        selvane_engine_job job;
        unsigned char appended[16];
    } later;
    std::memset(&later, 0, sizeof later);
    later.job = NewJob(SELVANE_ENGINE_JOB_CLUSTER, job.n, job.d,
                       job.values.data(), job.k);
    later.job.pass_count = 3;
    later.job.size = sizeof later;
    struct LaterResult {
        selvane_engine_result result;
        unsigned char appended[16];
    } out;
    std::memset(&out, 0xA5, sizeof out);
    out.result = NewResult();
    out.result.size = sizeof out;
    ASSERT_EQ(RunEngine(&later.job, &out.result), SELVANE_ENGINE_OK);
    EXPECT_EQ(out.appended[0], 0xA5);
    EXPECT_EQ(out.appended[15], 0xA5);
    EXPECT_GE(out.result.found_count, 1);
    later.appended[15] = 1;
    EXPECT_EQ(RunEngine(&later.job, &out.result), SELVANE_ENGINE_ERROR_OPTION);
    out.result.size = 8;
    EXPECT_EQ(RunEngine(&later.job, &out.result),
              SELVANE_ENGINE_ERROR_STRUCT_SIZE);
    EXPECT_EQ(RunEngine(nullptr, &out.result),
              SELVANE_ENGINE_ERROR_NULL_POINTER);
}

TEST(SeededJobTest, RefusedArgumentsWriteNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> values = {1, 2, 3, 4, 5, 6};  // 3 items of 2
    const std::vector<double> infinite = {1, 2, inf, 4, 5, 6},
                              allMissing(6, nan);
    const std::vector<double> negative = {1.0, -0.5}, notANumber = {nan, 1.0};
    const std::vector<double> zeroWeights = {0.0, 0.0}, secondOnly = {0.0, 3.0};
    const std::vector<unsigned char> allPresent(6, 1),
        firstOnly = {1, 0, 1, 0, 1, 0};
    const int ids[3] = {0, 1, 0};
    using J = selvane_engine_job;
    const std::pair<std::function<void(J&)>, int> cases[] = {
        {[](J& j) { j.values = nullptr; }, SELVANE_ENGINE_ERROR_NULL_POINTER},
        {[](J& j) { j.item_count = 0; }, SELVANE_ENGINE_ERROR_SHAPE},
        {[](J& j) { j.value_count = 0; }, SELVANE_ENGINE_ERROR_SHAPE},
        {[](J& j) { j.cluster_count = 4; }, SELVANE_ENGINE_ERROR_CLUSTER_COUNT},
        {[](J& j) { j.cluster_count = 0; }, SELVANE_ENGINE_ERROR_CLUSTER_COUNT},
        {[](J& j) { j.pass_count = 0; }, SELVANE_ENGINE_ERROR_PASS_COUNT},
        {[](J& j) { j.layout = 2; }, SELVANE_ENGINE_ERROR_OPTION},
        {[](J& j) { j.centres = 2; }, SELVANE_ENGINE_ERROR_OPTION},
        {[](J& j) { j.metric = -1; }, SELVANE_ENGINE_ERROR_OPTION},
        {[](J& j) { j.kind = 2; }, SELVANE_ENGINE_ERROR_OPTION},
        {[&](J& j) { j.given_ids = ids; }, SELVANE_ENGINE_ERROR_OPTION},
        {[](J& j) { j.thread_count = -1; }, SELVANE_ENGINE_ERROR_THREAD_COUNT},
        {[&](J& j) { j.weights = negative.data(); },
         SELVANE_ENGINE_ERROR_WEIGHT},
        {[&](J& j) { j.weights = notANumber.data(); },
         SELVANE_ENGINE_ERROR_WEIGHT},
        {[&](J& j) { j.values = infinite.data(); }, SELVANE_ENGINE_ERROR_VALUE},
        {[&](J& j) {
             j.values = infinite.data(), j.present = allPresent.data();
         },
         SELVANE_ENGINE_ERROR_VALUE},
        // Nothing to cluster on: every value missing, or of weight zero.
        {[&](J& j) {
             j.values = allMissing.data(), j.layout = 1, j.centres = 1;
         },
         SELVANE_ENGINE_ERROR_NOTHING_PRESENT},
        {[&](J& j) { j.weights = zeroWeights.data(), j.metric = 1; },
         SELVANE_ENGINE_ERROR_NOTHING_PRESENT},
        {[&](J& j) {
             j.present = firstOnly.data(), j.weights = secondOnly.data();
         },
         SELVANE_ENGINE_ERROR_NOTHING_PRESENT},
        {[](J& j) { j.size = offsetof(J, given_ids) + sizeof(int*) - 1; },
         SELVANE_ENGINE_ERROR_STRUCT_SIZE},
        // The Selvane job's settings are fixed, and it measures its items.
        {[](J& j) { j.kind = 1; }, SELVANE_ENGINE_ERROR_OPTION},
        {[&](J& j) {
             j.kind = 1, j.pass_count = 0, j.weights = secondOnly.data();
         },
         SELVANE_ENGINE_ERROR_OPTION},
        {[](J& j) { j.kind = 1, j.pass_count = 0, j.cluster_count = 4; },
         SELVANE_ENGINE_ERROR_CLUSTER_COUNT},
        {[&](J& j) {
             j.kind = 1, j.pass_count = 0, j.values = allMissing.data();
         },
         SELVANE_ENGINE_ERROR_UNMEASURABLE},
    };
    const std::uint64_t seed = 1;
    for (const auto& [change, code] : cases) {
        std::vector<int> out(3, 77);
        double numbers[3] = {9, 9, 9}, centres[8] = {9, 9, 9, 9, 9, 9, 9, 9};
        unsigned char present[8] = {7, 7, 7, 7, 7, 7, 7, 7};
        J job = NewJob(SELVANE_ENGINE_JOB_CLUSTER, 3, 2, values.data(), 2);
        job.pass_count = 5;
        job.seed = &seed;
        change(job);
        selvane_engine_result result = NewResult();
        result.cluster_ids = out.data();
        result.ranked_numbers = numbers;
        result.centres = centres;
        result.centre_present = present;
        result.error_value = 5.5;
        result.found_count = 66;
        EXPECT_EQ(RunEngine(&job, &result), code);
        EXPECT_EQ(out, std::vector<int>(3, 77));
        EXPECT_EQ(result.error_value, 5.5);
        EXPECT_EQ(result.found_count, 66);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(centres[i], 9.0);
            EXPECT_EQ(present[i], 7);
            EXPECT_EQ(numbers[i % 3], 9.0);
        }
    }
    // A missing cell may hold anything, an infinity included.
    const std::vector<unsigned char> gap = {1, 1, 0, 1, 1, 1};
    J job = NewJob(0, 3, 2, infinite.data(), 2);
    job.present = gap.data();
    job.pass_count = 5;
    selvane_engine_result result = NewResult();
    EXPECT_EQ(RunEngine(&job, &result), SELVANE_ENGINE_OK);
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
    selvane_engine_result result = NewResult();
    const auto run = [&](int k, int metric, const double* at,
                         const int* givenIds, int passes = 0) {
        ids.assign(3, 77);
        distances.assign(3, 5.5);
        result.error_value = 6.5;
        result.cluster_ids = ids.data();
        result.distances = distances.data();
        selvane_engine_job job = NewJob(0, 3, 2, items.data(), k);
        job.metric = metric;
        job.given_centres = at;
        job.given_ids = givenIds;
        job.pass_count = passes;
        return RunAssign(&job, &result);
    };
    using Ids = std::vector<int>;
    using Distances = std::vector<double>;
    ASSERT_EQ(run(2, SELVANE_ENGINE_EUCLIDEAN, centres.data(), nullptr), 0);
    EXPECT_EQ(ids, (Ids{0, 1, 1}));
    EXPECT_EQ(distances, (Distances{0.5, 1.0, 4.0}));
    EXPECT_EQ(result.error_value, (0.5 + 1.0) + 4.0);
    ASSERT_EQ(run(2, SELVANE_ENGINE_EUCLIDEAN, centres.data(), given), 0);
    EXPECT_EQ(distances, (Distances{0.5, 2.0, 4.0}));

    const struct {
        int k, metric;
        const double* centres;
        const int* given;
        int passes, code;
    } refused[] = {
        {2, 0, nullptr, nullptr, 0, SELVANE_ENGINE_ERROR_NULL_POINTER},
        {0, 0, centres.data(), nullptr, 0, SELVANE_ENGINE_ERROR_CLUSTER_COUNT},
        {2, 2, centres.data(), nullptr, 0, SELVANE_ENGINE_ERROR_OPTION},
        {2, 0, centres.data(), nullptr, 5, SELVANE_ENGINE_ERROR_OPTION},
        {2, 0, infinite.data(), nullptr, 0, SELVANE_ENGINE_ERROR_VALUE},
        {2, 0, missing.data(), nullptr, 0,
         SELVANE_ENGINE_ERROR_NOTHING_PRESENT},
        {2, 0, centres.data(), outside, 0, SELVANE_ENGINE_ERROR_CLUSTER_ID},
        {2, 0, centres.data(), below, 0, SELVANE_ENGINE_ERROR_CLUSTER_ID},
    };
    for (const auto& c : refused) {
        EXPECT_EQ(run(c.k, c.metric, c.centres, c.given, c.passes), c.code);
        EXPECT_EQ(ids, std::vector<int>(3, 77));
        EXPECT_EQ(distances, std::vector<double>(3, 5.5));
        EXPECT_EQ(result.error_value, 6.5);
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
        selvane_engine_job job = NewJob(0, 6, 2, values.data(), 2);
        job.pass_count = 10;
        job.centres = centres;
        job.metric = SELVANE_ENGINE_EUCLIDEAN;
        job.seed = &seed;
        job.thread_count = 1;
        selvane_engine_result result = NewResult();
        result.cluster_ids = ids.data();
        result.centres = out;
        result.centre_present = has;
        ASSERT_EQ(RunEngine(&job, &result), SELVANE_ENGINE_OK);
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
