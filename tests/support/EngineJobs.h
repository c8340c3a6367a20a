// Random engine jobs run from pinned generator states, for tests that
// compare one way of running the passes with another bit for bit; and the
// engine library's structs, sized and at their defaults.
#ifndef SELVANE_TESTS_SUPPORT_ENGINE_JOBS_H
#define SELVANE_TESTS_SUPPORT_ENGINE_JOBS_H

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "random/Generator.h"
#include "selvane_engine.h"
#include "support/Bits.h"
#include "support/EngineRun.h"
#include "support/Matrix.h"
#include "support/SweepWidths.h"

namespace selvane {
namespace test_support {

struct PinnedOutcome : Outcome {
    SeedWords after;  // the generator's state after the call
};

// A random engine job, items as rows.
struct SweepCase : EngineJob {
    int n, d, k, passes;
    char method, metric;
    std::vector<int> start;  // used when passes == 0
};

// Kinds of value, drawn per job so that some jobs are all of one kind.
enum class Values { kSpread, kFewLevels, kSigned };

inline SweepCase RandomJob(std::mt19937_64& rng, bool gaps) {
    auto uniform = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    auto unit = [&] {
        return std::uniform_real_distribution<double>(0, 1)(rng);
    };
    const int n = uniform(1, 40);
    const int d = uniform(1, 7);
    const int k = uniform(1, n < 19 ? n : 19);
    const char methods[] = {'a', 'm', 'M'};
    const char metrics[] = {'e', 'u', 'u', 'c'};
    SweepCase job{{Data(n, d), Mask(n, d, 1), {}},
                  n,
                  d,
                  k,
                  uniform(0, 4),
                  methods[uniform(0, 2)],
                  metrics[uniform(0, 3)],
                  {}};
    const Values kind = static_cast<Values>(uniform(0, 2));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < d; ++j) {
            double v = 0.1 + 4.0 * unit();
            // Few levels make exact ties between clusters common; a nudge
            // of one unit in the last place makes near ties.
            if (kind == Values::kFewLevels) {
                v = 1.0 + uniform(0, 2);
                if (uniform(0, 5) == 0) v = std::nextafter(v, 9.0);
            }
            if (kind == Values::kSigned) v -= 2.0;
            job.data[i][j] = v;
        }
    }
    if (gaps) {
        const int missingColumn = uniform(0, 2) == 0 ? uniform(0, d - 1) : -1;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < d; ++j) {
                const int draw = uniform(0, 9);
                // Absent cells hold garbage that must never be read.
                if (j == missingColumn || draw == 0) {
                    job.mask[i][j] = 0;
                    const double junk[] = {
                        std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity(), 1e308};
                    job.data[i][j] = junk[uniform(0, 3)];
                } else if (draw == 1) {
                    job.mask[i][j] = uniform(0, 1) ? 2 : -1;
                }
            }
        }
    }
    for (int j = 0; j < d; ++j) {
        const double choices[] = {1.0, 1.0, 0.0, 0.5, 2.75, 1e-3};
        job.weights.push_back(choices[uniform(0, gaps ? 5 : 1)]);
    }
    for (int i = 0; i < n; ++i) job.start.push_back(uniform(0, k - 1));
    return job;
}

// The job from generator words {seed, 4242}; `after` holds the words the
// call left.
inline PinnedOutcome Run(const SweepCase& job, int itemsAsColumns,
                         std::int32_t seed,
                         const RunSettings& run = RunSettings()) {
    StoreSeedWords({seed, 4242});
    EngineJob held = itemsAsColumns ? job.Transposed() : EngineJob(job);
    PinnedOutcome out{held.Run(job.k, job.passes, job.method, job.metric,
                               itemsAsColumns, job.start, run),
                      {0, 0}};
    out.after = LoadSeedWords();
    return out;
}

// Every bit of two outcomes, the generator's state after the call included.
inline void ExpectSame(const PinnedOutcome& a, const PinnedOutcome& b) {
    EXPECT_EQ(a.ids, b.ids);
    EXPECT_EQ(Bits(a.error), Bits(b.error));
    EXPECT_EQ(a.found, b.found);
    EXPECT_EQ(a.after.s1, b.after.s1);
    EXPECT_EQ(a.after.s2, b.after.s2);
}

inline selvane_engine_job NewJob(int kind, int n, int d, const double* values,
                                 int k) {
    selvane_engine_job job = {};
    job.size = sizeof job;
    job.kind = kind, job.item_count = n, job.value_count = d;
    job.values = values, job.cluster_count = k;
    return job;
}

inline selvane_engine_result NewResult() {
    selvane_engine_result result = {};
    result.size = sizeof result;
    return result;
}

inline std::string Describe(const SweepCase& job, int columns, int lanes) {
    return "n=" + std::to_string(job.n) + " d=" + std::to_string(job.d) +
           " k=" + std::to_string(job.k) +
           " passes=" + std::to_string(job.passes) + " method=" + job.method +
           " metric=" + job.metric + " columns=" + std::to_string(columns) +
           " lanes=" + std::to_string(lanes);
}

}  // namespace test_support
}  // namespace selvane

#endif  // SELVANE_TESTS_SUPPORT_ENGINE_JOBS_H
