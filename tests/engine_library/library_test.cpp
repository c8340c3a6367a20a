// The built engine library, loaded by path and called by its export names,
// agrees bit for bit with the engine entry the other tests trust, given the
// generator words its seed rule names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "engine/Distance.h"
#include "entry/RunJob.h"
#include "selvane_engine.h"
#include "support/Bits.h"
#include "support/EngineJobs.h"

namespace selvane {
namespace {

const char* libraryPath = nullptr;

using ClusterFunction = decltype(&selvane_engine_cluster);
using SelvaneJobFunction = decltype(&selvane_engine_selvane_job);
using RunFunction = decltype(&selvane_engine_run);
using AssignFunction = decltype(&selvane_engine_assign);
using VersionFunction = decltype(&selvane_engine_api_version);
using TextFunction = decltype(&selvane_engine_strerror);

// Copied, not cast, between the loader's pointer type and the function's.
template <typename F>
F Function(const char* name) {
#if defined(_WIN32)
    static HMODULE module = LoadLibraryA(libraryPath);
    FARPROC address = module ? GetProcAddress(module, name) : nullptr;
#else
    static void* module = dlopen(libraryPath, RTLD_NOW | RTLD_LOCAL);
    void* address = module ? dlsym(module, name) : nullptr;
#endif
    F function;
    std::memcpy(&function, &address, sizeof function);
    return function;
}

TEST(EngineLibraryTest, ExportsItsVersionAndMessages) {
    const auto version =
        Function<VersionFunction>("selvane_engine_api_version");
    const auto text = Function<TextFunction>("selvane_engine_strerror");
    ASSERT_NE(version, nullptr) << libraryPath;
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(version(), SELVANE_ENGINE_API_VERSION);
    EXPECT_STREQ(text(SELVANE_ENGINE_ERROR_CLUSTER_COUNT),
                 "the cluster count must be at least 1 and at most the item "
                 "count");
    EXPECT_STREQ(text(SELVANE_ENGINE_ERROR_NOTHING_PRESENT),
                 "no item has a present value with a non-zero weight");
    EXPECT_STREQ(text(-3), "unknown error code");
}

// The job's items against its own centres, by the engine's distance
// function called here: the lowest-numbered nearest centre and its bits,
// the given centre's bits, and the total added in item order.
void CheckAssignment(test_support::SweepCase& job, int columns,
                     const std::vector<double>& values,
                     const std::vector<unsigned char>& present,
                     const std::vector<int>& ids,
                     const std::vector<double>& centres,
                     const std::vector<unsigned char>& centrePresent) {
    const auto assign = Function<AssignFunction>("selvane_engine_assign");
    test_support::Data centreRows(job.k, job.d, centres);
    test_support::Mask centreMask(
        job.k, job.d,
        std::vector<int>(centrePresent.begin(), centrePresent.end()));
    std::vector<int> nearest(job.n);
    std::vector<double> toNearest(job.n), toGiven(job.n), d(job.k);
    double total = 0.0, sum = 0.0;
    const auto run = [&](const int* given, int* out, double* to) {
        selvane_engine_job a =
            test_support::NewJob(0, job.n, job.d, values.data(), job.k);
        a.layout = columns;
        a.present = present.data();
        a.weights = job.weights.data();
        a.metric = job.metric == 'u' ? 0 : 1;
        a.given_centres = centres.data();
        a.given_centre_present = centrePresent.data();
        a.given_ids = given;
        selvane_engine_result r = test_support::NewResult();
        r.cluster_ids = out;
        r.distances = to;
        const int code = assign(&a, &r);
        total = r.error_value;
        return code;
    };
    ASSERT_EQ(run(ids.data(), nullptr, toGiven.data()), 0);
    ASSERT_EQ(run(nullptr, nearest.data(), toNearest.data()), 0);
    for (int i = 0; i < job.n; ++i) {
        for (int c = 0; c < job.k; ++c) {
            d[c] = SelectDistance(job.metric)(
                job.d, job.data.get(), centreRows.get(), job.mask.get(),
                centreMask.get(), job.weights.data(), i, c, 0);
        }
        const auto least = std::min_element(d.begin(), d.end()) - d.begin();
        EXPECT_EQ(nearest[i], least);
        EXPECT_EQ(test_support::Bits(toNearest[i]),
                  test_support::Bits(d[least]));
        EXPECT_EQ(test_support::Bits(toGiven[i]),
                  test_support::Bits(d[ids[i]]));
        sum += toNearest[i];
    }
    EXPECT_EQ(test_support::Bits(total), test_support::Bits(sum));
}

// Through the 17-argument export and through selvane_engine_run alike.
TEST(EngineLibraryTest, RandomJobsAgreeWithTheEngineEntry) {
    const auto cluster = Function<ClusterFunction>("selvane_engine_cluster");
    const auto run = Function<RunFunction>("selvane_engine_run");
    ASSERT_NE(cluster, nullptr);
    ASSERT_NE(run, nullptr);
    std::mt19937_64 rng(14);
    for (int trial = 0; trial < 120; ++trial) {
        test_support::SweepCase job = test_support::RandomJob(rng, trial % 2);
        if (job.passes == 0) job.passes = 1 + trial % 3;
        const int columns = trial % 3 == 2;
        const std::uint64_t seed = rng();
        SCOPED_TRACE(test_support::Describe(job, columns, 0));

        // The same cells, contiguous in the library's layout.
        std::vector<double> values;
        std::vector<unsigned char> present;
        const int outer = columns ? job.d : job.n;
        const int inner = columns ? job.n : job.d;
        for (int a = 0; a < outer; ++a) {
            for (int b = 0; b < inner; ++b) {
                const int i = columns ? b : a, j = columns ? a : b;
                values.push_back(job.data[i][j]);
                present.push_back(job.mask[i][j] != 0);
            }
        }
        std::vector<int> ids(job.n, -9);
        std::vector<double> centres(job.k * job.d);
        std::vector<unsigned char> centrePresent(job.k * job.d);
        selvane_engine_job same =
            test_support::NewJob(0, job.n, job.d, values.data(), job.k);
        same.layout = columns, same.present = present.data();
        same.weights = job.weights.data(), same.pass_count = job.passes;
        same.centres = job.method == 'm', same.metric = job.metric != 'u';
        same.seed = &seed, same.thread_count = trial % 4;
        selvane_engine_result out = test_support::NewResult();
        out.cluster_ids = ids.data(), out.centres = centres.data();
        out.centre_present = centrePresent.data();
        // Without a present value of non-zero weight there is nothing to
        // cluster on: refused.
        bool measured = false;
        for (int i = 0; i < job.n; ++i)
            for (int j = 0; j < job.d; ++j)
                measured |= job.mask[i][j] != 0 && job.weights[j] != 0.0;
        // Every other pair of trials through the 17-argument export.
        ASSERT_EQ(
            (trial / 2) % 2
                ? cluster(job.n, job.d, values.data(), columns, present.data(),
                          same.weights, job.k, job.passes, same.centres,
                          same.metric, &seed, same.thread_count, ids.data(),
                          &out.error_value, &out.found_count, centres.data(),
                          centrePresent.data())
                : run(&same, &out),
            measured ? SELVANE_ENGINE_OK
                     : SELVANE_ENGINE_ERROR_NOTHING_PRESENT);
        if (!measured) continue;
        CheckAssignment(job, columns, values, present, ids, centres,
                        centrePresent);

        StoreSeedWords(SeedWordsFromSeed(seed));
        std::vector<int> engineIds(job.n);
        double engineError = 0.0;
        int engineFound = 0;
        ClusterEngine engine;
        test_support::Data t = job.data.Transposed();
        test_support::Mask tm = job.mask.Transposed();
        engine.PartitionClusters(
            job.k, columns ? job.d : job.n, columns ? job.n : job.d,
            columns ? t.get() : job.data.get(),
            columns ? tm.get() : job.mask.get(), job.weights.data(), columns,
            job.passes, job.method, job.metric, engineIds.data(), &engineError,
            &engineFound, ProcessGenerator(), RunSettings(), nullptr);
        EXPECT_EQ(ids, engineIds);
        EXPECT_EQ(test_support::Bits(out.error_value),
                  test_support::Bits(engineError));
        EXPECT_EQ(out.found_count, engineFound);
    }
}

TEST(EngineLibraryTest, SeededSelvaneJobIsTheExportedJob) {
    const auto job = Function<SelvaneJobFunction>("selvane_engine_selvane_job");
    ASSERT_NE(job, nullptr);
    std::mt19937_64 rng(99);
    for (int trial = 0; trial < 20; ++trial) {
        const int n = 5 + trial * 3, d = 1 + trial % 4, k = 1 + trial % 5;
        std::vector<double> input(static_cast<std::size_t>(n) * d);
        for (double& v : input)
            v = 0.05 + 3.0 * static_cast<double>(rng() >> 11) * 0x1p-53;
        const std::uint64_t seed = rng();
        std::vector<double> result(n), expected(n);
        double error = 0.0;
        int found = 0;
        ASSERT_EQ(job(n, d, input.data(), k, &seed, trial % 3, result.data(),
                      &error, &found),
                  SELVANE_ENGINE_OK);
        EXPECT_GE(found, 1);
        StoreSeedWords(SeedWordsFromSeed(seed));
        RunJob(n, d, input.data(), k, expected.data());
        EXPECT_EQ(result, expected) << "trial " << trial;
    }
}

}  // namespace
}  // namespace selvane

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ENGINE-LIBRARY\n", argv[0]);
        return 2;
    }
    selvane::libraryPath = argv[1];
    return RUN_ALL_TESTS();
}
