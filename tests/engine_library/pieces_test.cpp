// A job in pieces: its plan, pieces over random splits of its passes and
// the merge of their records give the whole call's bits, for engine jobs
// (means and medians, both metrics, both layouts, gaps and weights) and
// the Selvane job; the merge's rule by hand; arguments refused untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/PassMerge.h"
#include "engine/PassThreads.h"
#include "engine_library/EngineJob.h"
#include "support/Bits.h"
#include "support/EngineJobs.h"

namespace selvane {
namespace {

using test_support::Bits;
using test_support::NewJob;
using test_support::NewResult;

// Everything a merged job gives, and what the whole call gives alike.
struct Outcome {
    std::vector<int> ids;
    std::vector<double> doubles;  // centres, or magnitudes and ranked values
    std::vector<unsigned char> bytes;  // centre_present, or measurable
    std::vector<double> numbers;       // the Selvane job's
    double error = 0;
    int found = 0, bestIterations = 0;
    std::int64_t totalIterations = 0;
    std::uint64_t words = 0;  // the generator's after the last draw
};

struct RandomJob {
    selvane_engine_job job;
    std::vector<double> values;
    std::vector<unsigned char> present;
    std::vector<double> weights;
    std::uint64_t seed;
    int passes;
};

RandomJob MakeJob(std::mt19937_64& rng, int kind) {
    auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const int n = pick(1, 60), d = pick(1, 5), k = pick(1, n < 8 ? n : 8);
    RandomJob r{NewJob(kind, n, d, nullptr, k), {}, {}, {}, rng(), 0};
    // Few levels: passes often reach one partition, so the found counts
    // and the merge's matched passes are exercised.
    const bool levels = pick(0, 1);
    for (int c = 0; c < n * d; ++c) {
        r.values.push_back(levels ? 1.0 + pick(0, 2)
                                  : 0.1 + 3.0 * pick(0, 999));
    }
    if (kind == SELVANE_ENGINE_JOB_CLUSTER) {
        for (int c = 0; c < n * d; ++c) r.present.push_back(pick(0, 9) != 0);
        r.present[0] = 1;
        for (int j = 0; j < d; ++j) r.weights.push_back(pick(0, 2) * 0.75);
        r.weights[0] = 1.0;
        r.job.pass_count = pick(1, 12);
        r.job.centres = pick(0, 1);
        r.job.metric = pick(0, 1);
        if (pick(0, 1)) r.job.present = r.present.data();
        if (pick(0, 1)) r.job.weights = r.weights.data();
    } else if (n > 1 && pick(0, 4) == 0) {
        r.values[pick(0, n * d - 1)] = 0.0;  // an item that cannot be measured
    }
    r.job.layout = pick(0, 1);
    r.job.values = r.values.data();
    r.job.seed = &r.seed;
    r.passes = kind == SELVANE_ENGINE_JOB_CLUSTER ? r.job.pass_count : 200;
    return r;
}

// The result's arrays, sized for the job, pointing into the outcome.
selvane_engine_result Outputs(const selvane_engine_job& job, Outcome& o) {
    const int n = job.item_count, k = job.cluster_count;
    const int d = job.value_count;
    o.ids.assign(n, -7);
    selvane_engine_result result = NewResult();
    result.cluster_ids = o.ids.data();
    if (job.kind == SELVANE_ENGINE_JOB_CLUSTER) {
        o.doubles.assign(static_cast<std::size_t>(k) * d, -7.0);
        o.bytes.assign(static_cast<std::size_t>(k) * d, 7);
        result.centres = o.doubles.data();
        result.centre_present = o.bytes.data();
    } else {
        o.doubles.assign(n + k, -7.0);
        o.bytes.assign(n, 7);
        o.numbers.assign(n, -7.0);
        result.magnitudes = o.doubles.data();
        result.ranked_values = o.doubles.data() + n;
        result.measurable = o.bytes.data();
        result.ranked_numbers = o.numbers.data();
    }
    return result;
}

void Keep(const selvane_engine_result& result, Outcome& o) {
    o.error = result.error_value;
    o.found = result.found_count;
    o.bestIterations = result.best_pass_iterations;
    o.totalIterations = result.total_iterations;
}

// The whole call on one thread, with the words its starts were drawn from
// (through the same hook a plan records with) and those it leaves.
Outcome Whole(const selvane_engine_job& job, int passes,
              std::vector<std::uint64_t>& startWords) {
    Outcome o;
    selvane_engine_result result = Outputs(job, o);
    selvane_engine_job one = job;
    one.thread_count = 1;
    startWords.assign(passes, 0);
    PassPiece piece;
    piece.wordsOut = startWords.data();
    Generator own(SeedWordsFromSeed(*job.seed));
    EXPECT_EQ(RunKind(one, result, {&piece, passes, &own, nullptr}),
              SELVANE_ENGINE_OK);
    Keep(result, o);
    o.words = PackSeedWords(LoadSeedWords(own));
    return o;
}

// Each cluster of best lies within one cluster of current.
bool OneWay(const int* best, const int* current, int n, int k) {
    std::vector<int> map(k, -1);
    for (int i = 0; i < n; ++i) {
        if (map[best[i]] == -1) map[best[i]] = current[i];
        if (map[best[i]] != current[i]) return false;
    }
    return true;
}

// Plan, pieces cut at random and run at random thread counts, the matched
// pairs confirmed, then the merge with the best partition.
Outcome InPieces(const selvane_engine_job& job, int passes,
                 std::mt19937_64& rng, std::vector<std::uint64_t>& words) {
    Outcome o;
    words.assign(passes, 0);
    selvane_engine_result plan = NewResult();
    plan.pass_words = words.data();
    EXPECT_EQ(RunPlan(&job, &plan), SELVANE_ENGINE_OK);
    o.words = plan.generator_words;

    const int n = job.item_count;
    std::vector<selvane_engine_pass> records(passes);
    std::vector<int> ids(static_cast<std::size_t>(passes) * n, -1);
    for (int first = 0; first < passes;) {
        const int count =
            std::uniform_int_distribution<int>(1, passes - first)(rng);
        selvane_engine_job piece = job;
        piece.seed = nullptr;
        piece.first_pass = first;
        piece.range_count = count;
        piece.pass_words = words.data() + first;
        piece.thread_count = std::uniform_int_distribution<int>(1, 3)(rng);
        selvane_engine_result out = NewResult();
        out.pass_records = records.data() + first;
        out.pass_ids = ids.data() + static_cast<std::size_t>(first) * n;
        EXPECT_EQ(RunEngine(&piece, &out), SELVANE_ENGINE_OK);
        first += count;
    }

    selvane_engine_job merge = job;
    merge.pass_records = records.data();
    std::vector<int> matched(passes, -9);
    selvane_engine_result decided = NewResult();
    decided.matched = matched.data();
    EXPECT_EQ(RunMerge(&merge, &decided), SELVANE_ENGINE_OK);
    for (int p = 0; p < passes; ++p) {
        if (matched[p] < 0) continue;
        EXPECT_TRUE(OneWay(&ids[static_cast<std::size_t>(matched[p]) * n],
                           &ids[static_cast<std::size_t>(p) * n], n,
                           job.cluster_count))
            << "pass " << p << " matched " << matched[p];
    }
    merge.best_ids = &ids[static_cast<std::size_t>(decided.best_pass) * n];
    selvane_engine_result result = Outputs(job, o);
    EXPECT_EQ(RunMerge(&merge, &result), SELVANE_ENGINE_OK);
    Keep(result, o);
    EXPECT_EQ(result.best_pass, decided.best_pass);
    return o;
}

void ExpectSame(const Outcome& a, const Outcome& b) {
    EXPECT_EQ(a.ids, b.ids);
    ASSERT_EQ(a.doubles.size(), b.doubles.size());
    for (std::size_t i = 0; i < a.doubles.size(); ++i) {
        EXPECT_EQ(Bits(a.doubles[i]), Bits(b.doubles[i])) << i;
    }
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_EQ(a.numbers, b.numbers);
    EXPECT_EQ(Bits(a.error), Bits(b.error));
    EXPECT_EQ(a.found, b.found);
    EXPECT_EQ(a.bestIterations, b.bestIterations);
    EXPECT_EQ(a.totalIterations, b.totalIterations);
    EXPECT_EQ(a.words, b.words);
}

TEST(PiecesTest, RandomSplitsGiveTheWholeCall) {
    SetSmallJobWork(0);  // threads in every piece of several passes
    std::mt19937_64 rng(2023);
    int matchedJobs = 0;
    for (int round = 0; round < 160; ++round) {
        const int kind = round % 8 == 7 ? SELVANE_ENGINE_JOB_SELVANE
                                        : SELVANE_ENGINE_JOB_CLUSTER;
        RandomJob r = MakeJob(rng, kind);
        // Starts from items, where every item can be a centre.
        if (kind == SELVANE_ENGINE_JOB_CLUSTER && !r.job.present &&
            !r.job.weights) {
            r.job.start = round % 3;
        }
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<std::uint64_t> drawn, planned;
        const Outcome whole = Whole(r.job, r.passes, drawn);
        ExpectSame(InPieces(r.job, r.passes, rng, planned), whole);
        EXPECT_EQ(planned, drawn);
        matchedJobs += whole.found > 1;
    }
    SetSmallJobWork(kSmallJobWork);
    EXPECT_GT(matchedJobs, 40);  // the matched passes were exercised
}

// Totals 5, 3, 5, 4, 4.5, NaN, 1 with fingerprints a, a, b, c, a, d, c:
// pass 1 reaches the best (a) again, smaller total or not; pass 2 is not
// smaller; pass 3 is, and becomes the best (c); pass 4 reaches the old
// best (a), which is no longer the best, and is not smaller; a NaN total
// is never smaller; pass 6 reaches c again.
TEST(PiecesTest, MergeReplaysTheRuleByHand) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const PassRecord records[] = {
        {1, 5.0, 2, 3}, {1, 3.0, 3, 3}, {2, 5.0, 4, 3}, {3, 4.0, 5, 3},
        {1, 4.5, 6, 3}, {4, nan, 7, 3}, {3, 1.0, 8, 3}};
    int matched[7];
    const MergedPasses merged = MergePassRecords(records, 7, matched);
    EXPECT_EQ(merged.bestPass, 3);
    EXPECT_EQ(merged.foundCount, 2);
    EXPECT_EQ(merged.errorValue, 4.0);
    EXPECT_EQ(merged.bestIterations, 5);
    EXPECT_EQ(merged.totalIterations, 35);
    EXPECT_EQ(std::vector<int>(matched, matched + 7),
              (std::vector<int>{-1, 0, -1, -1, -1, -1, 3}));
}

TEST(PiecesTest, RefusedArgumentsWriteNothing) {
    std::mt19937_64 rng(5);
    RandomJob r = MakeJob(rng, SELVANE_ENGINE_JOB_CLUSTER);
    r.job.pass_count = 4;
    std::vector<std::uint64_t> words(4);
    selvane_engine_result plan = NewResult();
    plan.pass_words = words.data();
    ASSERT_EQ(RunPlan(&r.job, &plan), SELVANE_ENGINE_OK);
    const int n = r.job.item_count, k = r.job.cluster_count;
    std::vector<selvane_engine_pass> records(4);
    selvane_engine_job piece = r.job;
    piece.range_count = 4;
    piece.pass_words = words.data();
    selvane_engine_result out = NewResult();
    out.pass_records = records.data();
    ASSERT_EQ(RunEngine(&piece, &out), SELVANE_ENGINE_OK);
    const std::vector<int> outside(n, k);
    const std::uint64_t zero = 0;
    std::vector<selvane_engine_pass> fewer = records;
    fewer[2].clusters = k + 1;

    using J = selvane_engine_job;
    enum Call { kPlan, kPiece, kMerge };
    const struct {
        Call call;
        std::function<void(J&)> change;
        int code;
    } cases[] = {
        {kPlan, [](J& j) { j.seed = nullptr; },
         SELVANE_ENGINE_ERROR_NULL_POINTER},
        {kPlan, [&](J& j) { j.pass_words = words.data(); },
         SELVANE_ENGINE_ERROR_OPTION},
        {kPlan, [](J& j) { j.cluster_count = 0; },
         SELVANE_ENGINE_ERROR_CLUSTER_COUNT},
        {kPiece, [](J& j) { j.first_pass = 1; },
         SELVANE_ENGINE_ERROR_PASS_COUNT},
        {kPiece, [](J& j) { j.first_pass = -1, j.range_count = 1; },
         SELVANE_ENGINE_ERROR_PASS_COUNT},
        {kPiece, [](J& j) { j.range_count = -2; },
         SELVANE_ENGINE_ERROR_PASS_COUNT},
        {kPiece, [](J& j) { j.pass_words = nullptr; },
         SELVANE_ENGINE_ERROR_NULL_POINTER},
        {kPiece, [&](J& j) { j.pass_words = &zero, j.range_count = 1; },
         SELVANE_ENGINE_ERROR_MISMATCH},
        {kPiece, [&](J& j) { j.best_ids = outside.data(); },
         SELVANE_ENGINE_ERROR_OPTION},
        {kPiece, [](J& j) { j.range_count = 0, j.first_pass = 1; },
         SELVANE_ENGINE_ERROR_OPTION},
        {kMerge, [](J& j) { j.pass_records = nullptr; },
         SELVANE_ENGINE_ERROR_NULL_POINTER},
        {kMerge, [&](J& j) { j.pass_records = fewer.data(); },
         SELVANE_ENGINE_ERROR_MISMATCH},
        {kMerge, [&](J& j) { j.best_ids = outside.data(); },
         SELVANE_ENGINE_ERROR_CLUSTER_ID},
        {kMerge, [](J& j) { j.range_count = 1; }, SELVANE_ENGINE_ERROR_OPTION},
    };
    for (const auto& c : cases) {
        J job = r.job;
        if (c.call == kPiece) job = piece;
        if (c.call == kMerge) job.pass_records = records.data();
        c.change(job);
        std::vector<std::uint64_t> wordsOut(4, 9);
        std::vector<selvane_engine_pass> recordsOut(4, {9, 9.0, 9, 9});
        std::vector<int> ids(n, 77);
        selvane_engine_result result = NewResult();
        result.pass_words = wordsOut.data();
        result.pass_records = recordsOut.data();
        result.cluster_ids = job.best_ids ? ids.data() : nullptr;
        result.found_count = 66;
        const int code = c.call == kPlan    ? RunPlan(&job, &result)
                         : c.call == kPiece ? RunEngine(&job, &result)
                                            : RunMerge(&job, &result);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(wordsOut, std::vector<std::uint64_t>(4, 9));
        EXPECT_EQ(recordsOut[0].fingerprint, 9u);
        EXPECT_EQ(ids, std::vector<int>(n, 77));
        EXPECT_EQ(result.found_count, 66);
    }
    // A merge asked for the partition's outputs needs the partition, and
    // refuses one that is not the best pass's.
    J merge = r.job;
    merge.pass_records = records.data();
    std::vector<int> ids(n, 0);
    selvane_engine_result result = NewResult();
    result.cluster_ids = ids.data();
    EXPECT_EQ(RunMerge(&merge, &result), SELVANE_ENGINE_ERROR_NULL_POINTER);
    if (k > 1) {
        merge.best_ids = ids.data();  // one cluster only: another fingerprint
        EXPECT_EQ(RunMerge(&merge, &result), SELVANE_ENGINE_ERROR_MISMATCH);
    }
}

}  // namespace
}  // namespace selvane
