// Golden vectors: jobs run from pinned generator states, whose every result
// bit is recorded in expected.inc. The Linux, x86 and x86-64 builds must all
// reproduce them exactly, at every thread count and sweep width (the variant
// suite, which also runs random engine jobs every way). To re-record after
// an intended change of results:
//   SELVANE_RECORD_GOLDEN=$PWD/tests/golden/expected.inc ./golden_golden_test
// from a Linux release build, and review the diff.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/ClusterEngine.h"
#include "engine/PassThreads.h"
#include "engine_library/EngineJob.h"
#include "entry/RunJob.h"
#include "support/EngineJobs.h"
#include "support/Matrix.h"
#include "support/SweepWidths.h"

namespace selvane {
namespace {

using test_support::Data;
using test_support::Mask;

struct Recorded {
    const char* name;
    std::vector<std::uint64_t> bits;
};

struct Golden {
    std::string name;
    std::vector<std::uint64_t> bits;
};

const Recorded kExpected[] = {
#include "golden/expected.inc"
};

using test_support::Bits;

// Deterministic positive values with some structure, independent of any
// library's generator: an integer LCG.
class Values {
public:
    explicit Values(std::uint32_t seed) : state_(seed) {}
    double Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / 16777216.0;
    }

private:
    std::uint32_t state_;
};

// Dimension-major input of n items in `groups` profiles with scale noise.
std::vector<double> Profiles(int n, int d, int groups, std::uint32_t seed) {
    Values v(seed);
    std::vector<double> profile(static_cast<std::size_t>(groups) * d);
    for (double& p : profile) p = 0.2 + 5.0 * v.Next();
    std::vector<double> input(static_cast<std::size_t>(n) * d);
    for (int i = 0; i < n; ++i) {
        const int g = i % groups;
        const double scale = 0.5 + 3.0 * v.Next();
        for (int k = 0; k < d; ++k)
            input[static_cast<std::size_t>(k) * n + i] =
                profile[g * d + k] * scale * (0.9 + 0.2 * v.Next());
    }
    return input;
}

std::vector<std::uint64_t> ExportedJob(const RunSettings& run, int n, int d,
                                       int k, std::vector<double> input,
                                       std::int32_t s1, std::int32_t s2) {
    StoreSeedWords({s1, s2});
    std::vector<double> result(n);
    RunSelvaneJob(n, d, input.data(), k, result.data(), ProcessGenerator(), run,
                  SelvaneJobDetails());
    std::vector<std::uint64_t> bits;
    for (double r : result) bits.push_back(Bits(r));
    const SeedWords after = LoadSeedWords();
    bits.push_back(static_cast<std::uint32_t>(after.s1));
    bits.push_back(static_cast<std::uint32_t>(after.s2));
    return bits;
}

// An engine job with masks and uneven weights; rows are items unless
// itemsAsColumns, in which case the same values are passed transposed.
std::vector<std::uint64_t> EngineJob(const RunSettings& run, int n, int d,
                                     int k, int passes, char method,
                                     char metric, int itemsAsColumns,
                                     std::uint32_t seed) {
    Values v(seed);
    Data data(n, d);
    Mask mask(n, d, 1);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < d; ++j) {
            data[i][j] = (i % 3 == j % 3 ? 4.0 : 1.0) * (0.5 + v.Next());
            // About one cell in nine is missing; mask values other than 1
            // still mean present.
            const double m = v.Next();
            mask[i][j] = m < 0.11 ? 0 : (m > 0.95 ? 2 : 1);
        }
    }
    std::vector<double> weights(d);
    for (int j = 0; j < d; ++j) weights[j] = 0.5 + 0.25 * j;

    std::vector<int> ids(n);
    for (int i = 0; i < n; ++i) ids[i] = i % k;  // start when passes == 0
    double error = 0.0;
    int found = 0;
    StoreSeedWords({static_cast<std::int32_t>(seed), 12345});
    Data held = itemsAsColumns ? data.Transposed() : data;
    Mask heldMask = itemsAsColumns ? mask.Transposed() : mask;
    ClusterEngine().PartitionClusters(
        k, held.rows(), held.columns(), held.get(), heldMask.get(),
        weights.data(), itemsAsColumns, passes, method, metric, ids.data(),
        &error, &found, ProcessGenerator(), run, nullptr);
    std::vector<std::uint64_t> bits;
    for (int id : ids) bits.push_back(static_cast<std::uint64_t>(id));
    bits.push_back(Bits(error));
    bits.push_back(static_cast<std::uint64_t>(found));
    return bits;
}

// Seeded jobs of the engine library draw from their own state: the
// process's words are set to something else first, and must come out
// untouched. kind: SELVANE_ENGINE_JOB_CLUSTER or _SELVANE (dimension-major
// values, fixed settings).
std::vector<std::uint64_t> SeededJob(const RunSettings& run, int kind, int n,
                                     int d, int k, const double* values,
                                     int passes, int centres, int metric,
                                     int layout, const double* weights,
                                     std::uint64_t seed) {
    const bool selvane = kind == SELVANE_ENGINE_JOB_SELVANE;
    std::vector<int> ids(n);
    std::vector<double> numbers(n), centres_(selvane ? 0 : k * d);
    StoreSeedWords({1, 1});
    selvane_engine_job job = test_support::NewJob(kind, n, d, values, k);
    job.pass_count = passes, job.centres = centres, job.metric = metric;
    job.layout = layout, job.weights = weights, job.seed = &seed;
    job.thread_count = run.threadCount;
    selvane_engine_result result = test_support::NewResult();
    result.cluster_ids = ids.data();
    result.ranked_numbers = selvane ? numbers.data() : nullptr;
    result.centres = selvane ? nullptr : centres_.data();
    std::vector<std::uint64_t> bits{
        static_cast<std::uint64_t>(RunEngine(&job, &result))};
    for (int i = 0; i < n; ++i) {
        bits.push_back(selvane ? Bits(numbers[i]) : ids[i]);
    }
    bits.push_back(Bits(result.error_value));
    bits.push_back(static_cast<std::uint64_t>(result.found_count));
    for (double c : centres_) bits.push_back(Bits(c));
    const SeedWords after = LoadSeedWords();
    bits.push_back(static_cast<std::uint32_t>(after.s1));
    bits.push_back(static_cast<std::uint32_t>(after.s2));
    return bits;
}

std::vector<std::uint64_t> SeededEngineJob(const RunSettings& run, int n, int d,
                                           int k, int passes, int centres,
                                           int metric, int layout,
                                           std::uint64_t seed) {
    Values v(static_cast<std::uint32_t>(seed));
    std::vector<double> values(static_cast<std::size_t>(n) * d);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = (i % 5 == 0 ? 3.0 : 1.0) * (0.5 + v.Next());
        if (v.Next() < 0.1) values[i] = std::nan("");
    }
    std::vector<double> weights(d);
    for (int j = 0; j < d; ++j) weights[j] = 1.0 + 0.5 * j;
    return SeededJob(run, SELVANE_ENGINE_JOB_CLUSTER, n, d, k, values.data(),
                     passes, centres, metric, layout, weights.data(), seed);
}

std::vector<std::uint64_t> SeededExportedJob(const RunSettings& run, int n,
                                             int d, int k,
                                             std::vector<double> input,
                                             std::uint64_t seed) {
    return SeededJob(run, SELVANE_ENGINE_JOB_SELVANE, n, d, k, input.data(), 0,
                     0, 0, SELVANE_ENGINE_ITEMS_AS_COLUMNS, nullptr, seed);
}

std::vector<std::uint64_t> RandomStream() {
    StoreSeedWords({1, 1});
    ClusterEngine engine;
    std::vector<std::uint64_t> bits;
    Generator& stream = ProcessGenerator();
    for (int i = 0; i < 16; ++i) {
        bits.push_back(Bits(engine.UniformRandom(stream)));
    }
    // Inversion, the BTPE triangle and tails, the squeeze and the Stirling
    // bound are all reached by these.
    const struct {
        int n;
        double p;
    } draws[] = {{0, 0.5},     {1, 0.5},       {20, 0.3},
                 {59, 0.5},    {60, 0.5},      {300, 0.25},
                 {10000, 0.5}, {2000000, 0.2}, {2147483000, 0.5}};
    for (const auto& d : draws)
        for (int i = 0; i < 25; ++i)
            bits.push_back(static_cast<std::uint64_t>(
                engine.BinomialRandom(d.n, d.p, stream)));
    std::vector<int> start(50);
    engine.AssignRandomStart(7, 50, start.data(), stream);
    for (int id : start) bits.push_back(static_cast<std::uint64_t>(id));
    return bits;
}

std::vector<Golden> Compute(const RunSettings& run) {
    std::vector<Golden> jobs;
    jobs.push_back({"random stream", RandomStream()});
    jobs.push_back(
        {"exported 60x5 k4",
         ExportedJob(run, 60, 5, 4, Profiles(60, 5, 4, 7), 12345, 678)});
    jobs.push_back(
        {"exported 150x4 k3",
         ExportedJob(run, 150, 4, 3, Profiles(150, 4, 3, 99), 1, 2)});
    jobs.push_back(
        {"exported 400x3 k3 (BTPE starts)",
         ExportedJob(run, 400, 3, 3, Profiles(400, 3, 3, 5), 42, 4242)});
    jobs.push_back({"exported k1",
                    ExportedJob(run, 20, 3, 1, Profiles(20, 3, 2, 3), 9, 9)});
    jobs.push_back({"exported n=k",
                    ExportedJob(run, 9, 2, 9, Profiles(9, 2, 3, 11), 77, 88)});
    {
        std::vector<double> input = Profiles(40, 3, 2, 13);
        input[5] = 0.0;  // unmeasurable items
        input[40 + 17] = -2.0;
        input[80 + 30] = 1e300;  // squares overflow
        input[3] = 1e-200;       // squares vanish
        jobs.push_back({"exported extreme values",
                        ExportedJob(run, 40, 3, 3, input, 31, 41)});
    }
    const char methods[] = {'a', 'm'};
    const char metrics[] = {'e', 'u'};
    for (char method : methods) {
        for (char metric : metrics) {
            for (int columns : {0, 1}) {
                const std::string name = std::string("engine ") + method +
                                         metric +
                                         (columns ? " columns" : " rows");
                jobs.push_back(
                    {name + " 8 passes",
                     EngineJob(run, 30, 4, 3, 8, method, metric, columns,
                               1000u + static_cast<unsigned>(method) +
                                   static_cast<unsigned>(metric))});
            }
            jobs.push_back(
                {std::string("engine ") + method + metric + " 1 pass",
                 EngineJob(run, 25, 3, 4, 1, method, metric, 0, 555)});
            jobs.push_back(
                {std::string("engine ") + method + metric + " from start",
                 EngineJob(run, 25, 3, 4, 0, method, metric, 0, 556)});
        }
    }
    jobs.push_back({"engine ae 300 items 3 passes (BTPE starts)",
                    EngineJob(run, 300, 2, 3, 3, 'a', 'e', 0, 2718)});
    for (int centres : {0, 1}) {
        for (int metric : {0, 1}) {
            for (int layout : {0, 1}) {
                jobs.push_back(
                    {"seeded engine " + std::to_string(centres) +
                         std::to_string(metric) + std::to_string(layout),
                     SeededEngineJob(
                         run, 45, 4, 3, 12, centres, metric, layout,
                         900u + 4u * centres + 2u * metric + layout)});
            }
        }
    }
    jobs.push_back(
        {"seeded engine 400 items (BTPE starts)",
         SeededEngineJob(run, 400, 2, 3, 4, 0, 1, 0, 0xFFFFFFFFFFFFull)});
    jobs.push_back(
        {"seeded exported 150x4 k3",
         SeededExportedJob(run, 150, 4, 3, Profiles(150, 4, 3, 99), 7)});
    jobs.push_back({"seeded exported 400x3 k3",
                    SeededExportedJob(run, 400, 3, 3, Profiles(400, 3, 3, 5),
                                      UINT64_MAX)});
    return jobs;
}

void Record(const std::vector<Golden>& jobs, const char* path) {
    FILE* out = std::fopen(path, "w");
    ASSERT_NE(out, nullptr) << path;
    for (const Golden& job : jobs) {
        std::fprintf(out, "    {\"%s\", {", job.name.c_str());
        for (std::size_t i = 0; i < job.bits.size(); ++i) {
            std::fprintf(out, "%s%s0x%" PRIx64 "u", i ? "," : "",
                         i % 6 ? " " : "\n        ", job.bits[i]);
        }
        std::fprintf(out, "}},\n");
    }
    std::fclose(out);
}

void ExpectRecorded(const std::vector<Golden>& jobs) {
    const std::size_t recorded = sizeof kExpected / sizeof kExpected[0];
    ASSERT_EQ(jobs.size(), recorded);
    for (std::size_t j = 0; j < recorded; ++j) {
        SCOPED_TRACE(kExpected[j].name);
        EXPECT_EQ(jobs[j].name, kExpected[j].name);
        ASSERT_EQ(jobs[j].bits.size(), kExpected[j].bits.size());
        for (std::size_t i = 0; i < jobs[j].bits.size(); ++i) {
            EXPECT_EQ(jobs[j].bits[i], kExpected[j].bits[i]) << "element " << i;
        }
    }
}

RunSettings Threads(int count) {
    RunSettings run;
    run.threadCount = count;
    return run;
}

TEST(GoldenTest, EveryBuildReproducesTheRecordedBits) {
    if (const char* path = std::getenv("SELVANE_RECORD_GOLDEN")) {
        Record(Compute(Threads(1)), path);
        GTEST_SKIP() << "recorded";
    }
    ExpectRecorded(Compute(Threads(1)));
}

// Every way of running the passes: a thread count and a sweep width, with
// even the smallest jobs on threads.
class Variants : public ::testing::TestWithParam<std::tuple<int, int>> {
protected:
    void SetUp() override {
        SetSmallJobWork(0);
        ASSERT_TRUE(ForceSweepWidth(lanes()));
    }
    void TearDown() override {
        ForceSweepWidth(0);
        SetSmallJobWork(kSmallJobWork);
    }
    RunSettings threads() const { return Threads(std::get<0>(GetParam())); }
    int lanes() const { return std::get<1>(GetParam()); }
};

TEST_P(Variants, ReproduceTheRecordedBits) {
    ExpectRecorded(Compute(threads()));
}

// Random engine jobs, with and without gaps, rows and columns, give the
// bits of the literal sweep on the calling thread alone.
TEST_P(Variants, GiveTheBitsOfOneThreadOnRandomJobs) {
    std::mt19937_64 rng(1312);
    for (int trial = 0; trial < 40 && !HasFailure(); ++trial) {
        test_support::SweepCase job = test_support::RandomJob(rng, trial % 2);
        job.passes = 2 + trial % 11;
        const int columns = trial % 3 == 0;
        test_support::PinnedOutcome alone;
        {
            test_support::ForcedWidth literal(kLiteralSweep);
            alone = test_support::Run(job, columns, 300 + trial, Threads(1));
        }
        SCOPED_TRACE(test_support::Describe(job, columns, lanes()));
        test_support::ExpectSame(
            test_support::Run(job, columns, 300 + trial, threads()), alone);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ThreadsAndWidths, Variants,
    ::testing::Combine(::testing::Values(1, 2, 3, 8),
                       ::testing::ValuesIn(test_support::SweepWidths())),
    [](const ::testing::TestParamInfo<std::tuple<int, int>>& variant) {
        return std::to_string(std::get<0>(variant.param)) + "Threads" +
               test_support::WidthName({std::get<1>(variant.param), 0});
    });

}  // namespace
}  // namespace selvane
