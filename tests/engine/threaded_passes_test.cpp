// Passes on several threads give the bits of one (cluster numbers, error
// value, found count and the generator's state after the call) when threads
// cannot be started and whatever the caller's rounding mode; the thread
// count rule; progress and cancellation. Every thread count and sweep width
// on random jobs: the variant suite in golden_test.cpp. Run under
// ThreadSanitizer in the tsan build.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <random>
#include <string>

#include <thread>
#include <vector>

#include "common/Processors.h"
#include "common/WorkerThreads.h"
#include "engine/PassThreads.h"
#include "entry/RunEnvironment.h"
#include "support/EngineJobs.h"

namespace selvane {
namespace {

using test_support::ExpectSame;
using test_support::PinnedOutcome;
using test_support::SweepCase;

RunSettings Threads(int count) {
    RunSettings run;
    run.threadCount = count;
    return run;
}

TEST(ThreadedPassesTest, ThreadsThatCannotStartLeaveTheirPassesToOthers) {
    SetSmallJobWork(0);
    std::mt19937_64 rng(99);
    SweepCase many = test_support::RandomJob(rng, false);
    many.passes = 9;
    const PinnedOutcome alone = test_support::Run(many, 0, 77, Threads(1));
    // The first, the last, two, and every start refused (the caller's
    // thread then runs every pass).
    const struct {
        int first, count;
    } refusals[] = {{1, 1}, {3, 1}, {1, 2}, {1, 3}};
    for (const auto& r : refusals) {
        SCOPED_TRACE("refused " + std::to_string(r.count) + " from start " +
                     std::to_string(r.first));
        FailThreadStarts(r.first, r.count);
        ExpectSame(test_support::Run(many, 0, 77, Threads(3)), alone);
        FailThreadStarts(0, 0);
    }
    SetSmallJobWork(kSmallJobWork);
}

TEST(ThreadedPassesTest, ThreadsComputeInTheCallersRoundingMode) {
    // Called directly, the engine computes in whatever the caller set. A
    // POSIX thread inherits it, but a Windows thread starts with the
    // system's default (to nearest), so there each must take on the
    // caller's mode or its passes would round otherwise.
    SetSmallJobWork(0);
    std::mt19937_64 rng(4711);
    for (int trial = 0; trial < 6; ++trial) {
        SweepCase job = test_support::RandomJob(rng, false);
        job.passes = 6;
        job.metric = 'u';  // divisions and square roots: every mode differs
        ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
        const PinnedOutcome alone =
            test_support::Run(job, 0, 50 + trial, Threads(1));
        const PinnedOutcome threaded =
            test_support::Run(job, 0, 50 + trial, Threads(3));
        std::fesetround(FE_TONEAREST);
        SCOPED_TRACE(test_support::Describe(job, 0, 0));
        ExpectSame(threaded, alone);
    }
    SetSmallJobWork(kSmallJobWork);
}

TEST(ThreadedPassesTest, ThreadCountRule) {
    const struct {
        const char* text;
        int count;
    } cases[] = {{"1", 1},
                 {"8", 8},
                 {"0012", 12},
                 {"", 0},
                 {"0", 0},
                 {"-3", 0},
                 {"+3", 0},
                 {"2x", 0},
                 {" 2", 0},
                 {"1.5", 0},
                 {"99999999999999999999", 2147483647}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseThreadCount(c.text), c.count) << '"' << c.text << '"';
    }
    EXPECT_EQ(ParseThreadCount(nullptr), 0);
    EXPECT_GE(AvailableProcessors(), 1);

    SetSmallJobWork(0);
    EXPECT_EQ(PassThreadCount(200, 100, 3, 2, 8), 8);
    EXPECT_EQ(PassThreadCount(5, 100, 3, 2, 8), 5);  // never beyond passes
    EXPECT_EQ(PassThreadCount(1, 100, 3, 2, 8), 1);
    EXPECT_EQ(PassThreadCount(0, 100, 3, 2, 8), 1);
    const int processors = AvailableProcessors();
    EXPECT_EQ(PassThreadCount(200, 100, 3, 2, 0),
              processors < 200 ? processors : 200);
    SetSmallJobWork(kSmallJobWork);
    EXPECT_EQ(PassThreadCount(200, 10, 3, 2, 8), 1);  // too small to gain
}

// The hook hears of every pass taken, in pass order, on the calling thread;
// a flag set from it stops the job at once, on one thread or several.
TEST(ThreadedPassesTest, ProgressInPassOrderAndCancelStopsTheJob) {
    SetSmallJobWork(0);
    std::mt19937_64 rng(5);
    SweepCase job = test_support::RandomJob(rng, false);
    job.passes = 12;
    static std::vector<int> heard;
    static std::thread::id caller;
    static int stopAfter, cancel;
    caller = std::this_thread::get_id();
    for (const int threads : {1, 3}) {
        for (const int stop : {0, 4}) {
            SCOPED_TRACE(std::to_string(threads) + " threads");
            heard.clear();
            stopAfter = stop, cancel = 0;
            RunSettings run = Threads(threads);
            run.cancel = &cancel;
            run.progress = [](void*, int done, int count) {
                EXPECT_EQ(std::this_thread::get_id(), caller);
                EXPECT_EQ(count, 12);
                heard.push_back(done);
                if (done == stopAfter) __atomic_store_n(&cancel, 1, 0);
            };
            const PinnedOutcome out = test_support::Run(job, 0, 9, run);
            EXPECT_EQ(heard.size(), stop ? 4u : 12u);
            for (std::size_t p = 0; p < heard.size(); ++p) {
                EXPECT_EQ(heard[p], static_cast<int>(p) + 1);
            }
            EXPECT_EQ(out.found == -1, stop != 0);
        }
    }
    SetSmallJobWork(kSmallJobWork);
}

}  // namespace
}  // namespace selvane
