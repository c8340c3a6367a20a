// Exhausted memory at every allocation of a call: each request in turn is
// made to fail, and the call must return normally, report the failure the
// way its contract says and give back every block it took. (In the
// sanitizer build LeakSanitizer checks the same at exit.)
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "common/Allocate.h"
#include "common/AllocationFaults.h"
#include "engine/ClusterEngine.h"
#include "engine/PassThreads.h"
#include "engine_library/EngineJob.h"
#include "entry/RunJob.h"
#include "random/Generator.h"
#include "selvane_engine.h"
#include "support/EngineJobs.h"
#include "support/EngineRun.h"
#include "support/ThreadsVariable.h"

namespace selvane {
namespace {

void Pin() { StoreSeedWords({12345, 67890}); }

// Requests one call makes when nothing fails.
std::int64_t CountRequests(const std::function<void()>& call) {
    Pin();
    const std::int64_t before = AllocationRequests();
    call();
    return AllocationRequests() - before;
}

// Makes request n of the call fail, for every n from 1 to the count, and
// hands n to check after each call. Returns the count.
std::int64_t SweepFailures(const std::function<void()>& call,
                           const std::function<void(std::int64_t)>& check) {
    const std::int64_t count = CountRequests(call);
    for (std::int64_t n = 1; n <= count; ++n) {
        SCOPED_TRACE("request " + std::to_string(n) + " of " +
                     std::to_string(count) + " fails");
        Pin();
        const std::int64_t live = LiveAllocations();
        const std::int64_t before = AllocationRequests();
        FailAllocationAt(n);
        call();
        FailAllocationAt(0);
        // The failure really happened inside the call.
        EXPECT_GE(AllocationRequests() - before, n);
        EXPECT_EQ(LiveAllocations(), live) << "blocks leaked";
        check(n);
    }
    return count;
}

TEST(AllocationFaultsTest, OnlyTheChosenRequestFails) {
    const std::int64_t live = LiveAllocations();
    FailAllocationAt(2);
    int* first = AllocateArray<int>(4);
    int* second = AllocateArray<int>(4);
    int* third = AllocateArray<int>(4);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    EXPECT_EQ(LiveAllocations(), live + 2);
    Release(first);
    Release(second);  // null: nothing to give back, nothing counted
    Release(third);
    EXPECT_EQ(LiveAllocations(), live);

    FailAllocationAt(1);
    FailAllocationAt(0);  // cancelled before it came due
    int* kept = AllocateArray<int>(1);
    EXPECT_NE(kept, nullptr);
    Release(kept);
}

// Six items in two clear groups of profile, three values each;
// dimension-major.
const std::vector<double> kInput = {1, 8, 2, 9, 1.5, 7, 1, 1, 1,
                                    1, 1, 1, 8, 1,   9, 2, 7, 1.5};

TEST(AllocationFailureTest, ExportedFunctionMarksEveryItemAndFreesAll) {
    struct Shape {
        int n, d, k;
    };
    // Several clusters, one cluster, and one item: the last two take
    // different paths through the engine and the renumbering.
    const Shape shapes[] = {{6, 3, 2}, {6, 3, 1}, {1, 1, 1}};
    // Their passes on two threads, so that the threads' storage is swept
    // too; the engine cases below cover one thread.
    test_support::ThreadsVariable threads("2");
    SetSmallJobWork(0);
    for (const Shape& s : shapes) {
        std::vector<double> result(static_cast<std::size_t>(s.n) + 1);
        const auto call = [&] {
            std::fill(result.begin(), result.end(), 0.5);
            RunJob(s.n, s.d, kInput.data(), s.k, result.data());
        };
        // Sanity: without a failure the job is clustered.
        call();
        ASSERT_NE(result[0], -1.0);
        const std::int64_t swept = SweepFailures(call, [&](std::int64_t) {
            for (int i = 0; i < s.n; ++i) ASSERT_EQ(result[i], -1.0) << i;
            EXPECT_EQ(result[s.n], 0.5) << "wrote beyond N elements";
        });
        // A job of N items takes at least 3 rows per item plus the arrays.
        EXPECT_GT(swept, 3 * s.n);
        std::printf("RunJob N=%d D=%d K=%d: %lld requests swept\n", s.n, s.d,
                    s.k, static_cast<long long>(swept));
    }
    SetSmallJobWork(kSmallJobWork);
}

// The engine library's clustering, Selvane job (items as rows, which it
// lays out as Selvane() reads them), assignment, and a job's plan, piece
// and merge through the calls the exports forward to: out of memory
// anywhere is that code, with nothing written.
TEST(AllocationFailureTest, EngineLibraryJobsWriteNothing) {
    const std::vector<double> values = {1, 2, 8, 9, 1, 1, 7, 8};  // 4 items
    const std::uint64_t seed = 3;
    std::vector<int> ids;
    std::vector<double> numbers;
    int code = 0;
    using J = selvane_engine_job;
    const auto medians = [&](J& j) {
        j.layout = 1, j.pass_count = 3, j.seed = &seed;
        j.centres = SELVANE_ENGINE_MEDIANS;
    };
    const auto kMeansPlusPlus = [&](J& j) {
        j.pass_count = 3, j.seed = &seed;
        j.start = SELVANE_ENGINE_START_KMEANS_PLUS_PLUS;
    };
    // The job in pieces: its plan, one piece of its passes, their merge.
    std::vector<std::uint64_t> words(3), wordsOut;
    std::vector<selvane_engine_pass> records(3), recordsOut;
    std::vector<int> passIds(3 * 4);
    J piece = test_support::NewJob(0, 4, 2, values.data(), 2);
    medians(piece);
    selvane_engine_result planned = test_support::NewResult();
    planned.pass_words = words.data();
    planned.pass_records = records.data();
    planned.pass_ids = passIds.data();
    ASSERT_EQ(RunPlan(&piece, &planned), 0);
    piece.range_count = 3, piece.pass_words = words.data();
    ASSERT_EQ(RunEngine(&piece, &planned), 0);
    planned.pass_records = nullptr;
    J merge = test_support::NewJob(0, 4, 2, values.data(), 2);
    medians(merge);
    merge.pass_records = records.data();
    ASSERT_EQ(RunMerge(&merge, &planned), 0);
    const int* bestIds = &passIds[4 * planned.best_pass];

    const std::pair<int (*)(const J*, selvane_engine_result*),
                    std::function<void(J&)>>
        calls[] = {
            {RunEngine, medians},
            {RunEngine, kMeansPlusPlus},
            {RunPlan, kMeansPlusPlus},
            {RunEngine, [&](J& j) { j.kind = SELVANE_ENGINE_JOB_SELVANE; }},
            {RunAssign, [&](J& j) { j.given_centres = kInput.data(); }},
            {RunPlan, medians},
            {RunEngine, [&](J& j) { j = piece; }},
            {RunMerge, [&](J& j) {
                 medians(j), j.pass_records = records.data(),
                             j.best_ids = bestIds;
             }}};
    for (const auto& [run, change] : calls) {
        const auto fresh = [&, run = run, change = change] {
            ids.assign(4, -1);
            numbers.assign(4, -1.0);
            wordsOut.assign(3, 5);
            recordsOut.assign(3, {5, 5.0, 5, 5});
            J job = test_support::NewJob(0, 4, 2, values.data(), 2);
            change(job);
            selvane_engine_result result = test_support::NewResult();
            result.pass_words = wordsOut.data();
            result.pass_records = recordsOut.data();
            result.cluster_ids = job.range_count ? nullptr : ids.data();
            // A clustering's centres, or the Selvane job's numbers.
            (job.kind ? result.ranked_numbers : result.centres) =
                numbers.data();
            code = run(&job, &result);
        };
        fresh();
        ASSERT_EQ(code, 0);
        SweepFailures(fresh, [&](std::int64_t) {
            EXPECT_EQ(code, SELVANE_ENGINE_ERROR_NO_MEMORY);
            EXPECT_EQ(ids, std::vector<int>(4, -1));
            EXPECT_EQ(numbers, std::vector<double>(4, -1.0));
            EXPECT_EQ(wordsOut, std::vector<std::uint64_t>(3, 5));
            EXPECT_EQ(recordsOut[0].fingerprint, 5u);
        });
    }
}

struct EngineCase {
    char method;
    int passCount;
    int itemsAsColumns;
    int threads;
};

// Named fields rather than raw bytes in test names and messages (the
// struct has padding).
void PrintTo(const EngineCase& c, std::ostream* os) {
    *os << "method " << c.method << ", " << c.passCount
        << " passes, itemsAsColumns " << c.itemsAsColumns << ", threads "
        << c.threads;
}

class EngineAllocationFailureTest
    : public ::testing::TestWithParam<EngineCase> {};

TEST_P(EngineAllocationFailureTest, ReportsMinusOneAndFreesAll) {
    const EngineCase c = GetParam();
    // Even this small job on threads, so that every thread's storage is
    // swept too.
    RunSettings run;
    run.threadCount = c.threads;
    SetSmallJobWork(0);
    // Five items of two values, or their transpose when items are columns.
    const test_support::EngineJob rows{
        test_support::Data(5, 2, {1, 2, 2, 1, 5, 5, 6, 4, 9, 1}),
        test_support::Mask(5, 2, 1),
        {1.0, 1.0}};
    test_support::EngineJob job = c.itemsAsColumns ? rows.Transposed() : rows;
    // passCount 0 starts from this assignment; otherwise it marks
    // "untouched".
    const std::vector<int> start = c.passCount == 0
                                       ? std::vector<int>{0, 1, 2, 1, 0}
                                       : std::vector<int>(5, 7);
    test_support::Outcome out;
    const auto call = [&] {
        out = job.Run(3, c.passCount, c.method, 'e', c.itemsAsColumns, start,
                      run);
    };
    call();
    ASSERT_GE(out.found, 1);

    const std::int64_t swept = SweepFailures(call, [&](std::int64_t n) {
        EXPECT_EQ(out.found, -1);
        EXPECT_EQ(out.error, -3.0);
        // With more than one pass the best-so-far array is zeroed once
        // clusterSizes, workingIds and clusterMap (requests 1 to 3) are
        // taken; before that, and always with one pass or none, the
        // caller's array is left as it was.
        if (c.passCount > 1 && n > 3) {
            EXPECT_EQ(out.ids, std::vector<int>(5, 0));
        } else {
            EXPECT_EQ(out.ids, start);
        }
    });
    // clusterSizes, the centroid matrices (2 + 2 rows of each orientation's
    // row count) and the saved assignment at the least.
    EXPECT_GE(swept, 6);
    std::printf(
        "PartitionClusters method %c, %d passes, itemsAsColumns %d, "
        "threads %d: %lld requests swept\n",
        c.method, c.passCount, c.itemsAsColumns, c.threads,
        static_cast<long long>(swept));
    SetSmallJobWork(kSmallJobWork);
}

INSTANTIATE_TEST_SUITE_P(
    MethodsAndPassCounts, EngineAllocationFailureTest,
    ::testing::Values(EngineCase{'a', 0, 0, 1}, EngineCase{'a', 1, 0, 1},
                      EngineCase{'a', 5, 0, 1}, EngineCase{'m', 0, 0, 1},
                      EngineCase{'m', 1, 0, 1}, EngineCase{'m', 5, 0, 1},
                      EngineCase{'a', 5, 1, 1}, EngineCase{'m', 5, 1, 1},
                      EngineCase{'a', 5, 0, 3}, EngineCase{'m', 5, 1, 3},
                      EngineCase{'a', 5, 1, 2}));

}  // namespace
}  // namespace selvane
