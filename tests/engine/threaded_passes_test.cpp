// Passes on several threads give the bits of one: cluster numbers, error
// value, found count and the generator's state after the call, on random
// engine jobs at every sweep width, with SELVANE_THREADS = 1, 2, 3 and 8, and
// when threads cannot be started. Run under ThreadSanitizer in the tsan
// build.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <random>
#include <string>

#include "engine/PassThreads.h"
#include "engine/WorkerThreads.h"
#include "support/Bits.h"
#include "support/EngineJobs.h"
#include "support/ThreadsVariable.h"

namespace selvane {
namespace {

using test_support::ForcedWidth;
using test_support::PinnedOutcome;
using test_support::SweepCase;
using test_support::ThreadsVariable;

void ExpectSame(const PinnedOutcome& threaded, const PinnedOutcome& alone) {
    EXPECT_EQ(threaded.ids, alone.ids);
    EXPECT_EQ(test_support::Bits(threaded.error),
              test_support::Bits(alone.error));
    EXPECT_EQ(threaded.found, alone.found);
    EXPECT_EQ(threaded.after.s1, alone.after.s1);
    EXPECT_EQ(threaded.after.s2, alone.after.s2);
}

TEST(ThreadedPassesTest, EveryThreadCountAndWidthGivesTheBitsOfOne) {
    SetSmallJobWork(0);  // even the smallest jobs go to threads
    std::mt19937_64 rng(1312);
    std::vector<int> widths = test_support::VectorWidths();
    widths.push_back(kLiteralSweep);
    for (int trial = 0; trial < 40; ++trial) {
        SweepCase job = test_support::RandomJob(rng, trial % 2 == 1);
        job.passes = 2 + trial % 11;
        const int columns = trial % 3 == 0;
        PinnedOutcome alone;
        {
            ThreadsVariable one("1");
            ForcedWidth force(kLiteralSweep);
            alone = test_support::Run(job, columns, 300 + trial);
        }
        for (const char* threads : {"1", "2", "3", "8"}) {
            ThreadsVariable variable(threads);
            for (int lanes : widths) {
                ForcedWidth force(lanes);
                SCOPED_TRACE(test_support::Describe(job, columns, lanes) +
                             " threads=" + threads);
                ExpectSame(test_support::Run(job, columns, 300 + trial), alone);
            }
        }
        if (HasFailure()) break;
    }
    SetSmallJobWork(kSmallJobWork);
}

TEST(ThreadedPassesTest, ThreadsThatCannotStartLeaveTheirPassesToOthers) {
    SetSmallJobWork(0);
    std::mt19937_64 rng(99);
    SweepCase many = test_support::RandomJob(rng, false);
    many.passes = 9;
    const PinnedOutcome alone = [&] {
        ThreadsVariable one("1");
        return test_support::Run(many, 0, 77);
    }();
    ThreadsVariable three("3");
    // The first, the last, two, and every start refused (the caller's
    // thread then runs every pass).
    const struct {
        int first, count;
    } refusals[] = {{1, 1}, {3, 1}, {1, 2}, {1, 3}};
    for (const auto& r : refusals) {
        SCOPED_TRACE("refused " + std::to_string(r.count) + " from start " +
                     std::to_string(r.first));
        FailThreadStarts(r.first, r.count);
        ExpectSame(test_support::Run(many, 0, 77), alone);
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
        PinnedOutcome alone, threaded;
        {
            ThreadsVariable one("1");
            alone = test_support::Run(job, 0, 50 + trial);
        }
        {
            ThreadsVariable three("3");
            threaded = test_support::Run(job, 0, 50 + trial);
        }
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
    {
        ThreadsVariable eight("8");
        EXPECT_EQ(PassThreadCount(200, 100, 3, 2), 8);
        EXPECT_EQ(PassThreadCount(5, 100, 3, 2), 5);  // never beyond passes
        EXPECT_EQ(PassThreadCount(1, 100, 3, 2), 1);
        EXPECT_EQ(PassThreadCount(0, 100, 3, 2), 1);
    }
    {
        ThreadsVariable ignored("lots");
        const int processors = AvailableProcessors();
        EXPECT_EQ(PassThreadCount(200, 100, 3, 2),
                  processors < 200 ? processors : 200);
    }
    SetSmallJobWork(kSmallJobWork);
    ThreadsVariable eight("8");
    EXPECT_EQ(PassThreadCount(200, 10, 3, 2), 1);  // too small to gain
}

}  // namespace
}  // namespace selvane
