// Several threads calling the exported function's body at once, on
// different inputs. The calls share only the process-wide generator, so
// every result must be what the same job gives alone: for well-separated
// groups, the groups themselves, numbered by magnitude. Run under
// ThreadSanitizer in the tsan build.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "entry/RunJob.h"
#include "random/RandomDraws.h"

namespace selvane {
namespace {

constexpr int kThreads = 4;
constexpr int kCallsPerThread = 20;
constexpr int kDimensions = 4;

// A job of `groups` groups of well-separated profiles: group g points
// along its own axis (value 20 there, 1 elsewhere) and is scaled by g + 1,
// so its mean magnitude, and hence its number, rises with g. Items of the
// groups are interleaved in an order that depends on `variant`, so that
// each thread's job differs.
struct Job {
    int itemCount;
    int groups;
    std::vector<double> input;  // dimension-major
    std::vector<double> expected;
};

Job MakeJob(int groups, int perGroup, int variant) {
    Job job;
    job.groups = groups;
    job.itemCount = groups * perGroup;
    job.input.resize(static_cast<std::size_t>(job.itemCount) * kDimensions);
    job.expected.resize(static_cast<std::size_t>(job.itemCount));
    for (int i = 0; i < job.itemCount; ++i) {
        // Each run of `groups` items holds every group once, rotated.
        const int g = (i % groups + variant * (i / groups)) % groups;
        job.expected[i] = g;
        // A small per-item wobble keeps distances from tying exactly.
        const double wobble = 1.0 + 0.01 * ((i * 7 + variant) % 5);
        for (int d = 0; d < kDimensions; ++d) {
            const double value = d == g ? 20.0 : 1.0;
            job.input[static_cast<std::size_t>(d) * job.itemCount + i] =
                value * (g + 1) * wobble;
        }
    }
    return job;
}

// The outcome of one call, checked on the calling thread; failures are
// counted rather than reported so that gtest is only used from the main
// thread.
bool Correct(const Job& job, const std::vector<double>& result) {
    if (result.size() != job.expected.size() + 1) return false;
    if (result.back() != 0.25) return false;  // the guard past N
    for (int i = 0; i < job.itemCount; ++i) {
        if (result[i] != job.expected[i]) return false;
    }
    return true;
}

void RunConcurrently(std::atomic<int>* wrong) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, wrong] {
            // Two to four groups, 5 to 8 items each: every thread its own
            // shapes.
            const Job job = MakeJob(2 + t % 3, 5 + t, t);
            std::vector<double> result;
            for (int call = 0; call < kCallsPerThread; ++call) {
                result.assign(job.expected.size() + 1, 0.25);
                RunJob(job.itemCount, kDimensions, job.input.data(), job.groups,
                       result.data());
                if (!Correct(job, result)) wrong->fetch_add(1);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
}

TEST(ConcurrencyTest, JobsOnSeveralThreadsEachGetTheirOwnPartition) {
    // The expected numbers assume the job alone finds the groups; check that
    // first, on this thread.
    StoreSeedWords({4242, 2424});
    for (int t = 0; t < kThreads; ++t) {
        const Job job = MakeJob(2 + t % 3, 5 + t, t);
        std::vector<double> result(job.expected.size() + 1, 0.25);
        RunJob(job.itemCount, kDimensions, job.input.data(), job.groups,
               result.data());
        ASSERT_TRUE(Correct(job, result)) << "thread " << t << "'s job";
    }

    std::atomic<int> wrong{0};
    RunConcurrently(&wrong);
    EXPECT_EQ(wrong.load(), 0) << "calls with a wrong result";
}

TEST(ConcurrencyTest, ThreadsMaySeedTheUnseededGeneratorTogether) {
    // Both words 0: the first draws of several threads seed from the clock
    // at once; every word they leave must be a valid generator state.
    StoreSeedWords({0, 0});
    std::atomic<int> wrong{0};
    RunConcurrently(&wrong);
    EXPECT_EQ(wrong.load(), 0) << "calls with a wrong result";
    const SeedWords after = LoadSeedWords();
    EXPECT_GT(after.s1, 0);
    EXPECT_LT(after.s1, 2147483563);
    EXPECT_GT(after.s2, 0);
    EXPECT_LT(after.s2, 2147483399);
}

TEST(ConcurrencyTest, ConcurrentDrawsLoseNoDrawAndRepeatNone) {
    // Together the threads must take exactly the values one thread takes
    // from the same words, each once, and leave the same words behind.
    constexpr int kDraws = 50000;
    StoreSeedWords({777, 888});
    std::vector<double> alone(kThreads * kDraws);
    for (double& value : alone) value = UniformRandom(ProcessGenerator());
    const SeedWords aloneAfter = LoadSeedWords();

    StoreSeedWords({777, 888});
    std::vector<std::vector<double>> drawn(kThreads);
    std::vector<std::thread> threads;
    std::atomic<int> waiting{kThreads};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&drawn, &waiting, t] {
            // All start together, so that their draws really overlap.
            waiting.fetch_sub(1);
            while (waiting.load() > 0) std::this_thread::yield();
            for (int i = 0; i < kDraws; ++i) {
                drawn[t].push_back(UniformRandom(ProcessGenerator()));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::vector<double> together;
    for (const auto& values : drawn) {
        together.insert(together.end(), values.begin(), values.end());
    }
    std::sort(alone.begin(), alone.end());
    std::sort(together.begin(), together.end());
    EXPECT_TRUE(together == alone);
    EXPECT_EQ(LoadSeedWords().s1, aloneAfter.s1);
    EXPECT_EQ(LoadSeedWords().s2, aloneAfter.s2);
}

}  // namespace
}  // namespace selvane
