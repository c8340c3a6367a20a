// Random engine jobs run from pinned generator states, for tests that
// compare one way of running the passes with another bit for bit.
#ifndef SELVANE_TESTS_SUPPORT_ENGINE_JOBS_H
#define SELVANE_TESTS_SUPPORT_ENGINE_JOBS_H

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/ClusterEngine.h"
#include "engine/sweep/SweepDispatch.h"
#include "random/SeedWords.h"
#include "support/Grid.h"
#include "support/Matrix.h"

namespace selvane {
namespace test_support {

// Restores the choice at run time whatever a test forced.
struct ForcedWidth {
    explicit ForcedWidth(int lanes) { ok = ForceSweepWidth(lanes); }
    ~ForcedWidth() { ForceSweepWidth(0); }
    bool ok;
};

inline std::vector<int> VectorWidths() {
    std::vector<int> widths;
    for (int lanes : {kSse2Lanes, kAvx2Lanes, kAvx512Lanes}) {
        if (SweepWidthSupported(lanes)) widths.push_back(lanes);
    }
    return widths;
}

// A random engine job, items as rows; Transposed() gives the column form.
struct EngineJob {
    int n, d, k, passes;
    char method, metric;
    Data data;
    Mask mask;
    std::vector<double> weights;
    std::vector<int> start;  // used when passes == 0
};

struct Outcome {
    std::vector<int> ids;
    std::uint64_t error;
    int found;
    SeedWords after;  // the generator's state after the call
};

// Kinds of value, drawn per job so that some jobs are all of one kind.
enum class Values { kSpread, kFewLevels, kSigned };

inline EngineJob RandomJob(std::mt19937_64& rng, bool gaps) {
    auto uniform = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    auto unit = [&] { return std::uniform_real_distribution<double>(0, 1)(rng); };
    const int n = uniform(1, 40);
    const int d = uniform(1, 7);
    const int k = uniform(1, n < 19 ? n : 19);
    const char methods[] = {'a', 'm', 'M'};
    const char metrics[] = {'e', 'u', 'u', 'c'};
    EngineJob job{n, d, k, uniform(0, 4), methods[uniform(0, 2)],
                  metrics[uniform(0, 3)], Data(n, d), Mask(n, d, 1), {}, {}};
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

inline Outcome Run(EngineJob job, int itemsAsColumns, std::int32_t seed) {
    StoreSeedWords({seed, 4242});
    Outcome out{job.start, 0, -7, {0, 0}};
    double error = -3.0;
    ClusterEngine engine;
    if (itemsAsColumns) {
        Data t = job.data.Transposed();
        Mask tm = job.mask.Transposed();
        engine.PartitionClusters(job.k, job.d, job.n, t.get(), tm.get(),
                                 job.weights.data(), itemsAsColumns,
                                 job.passes, job.method, job.metric,
                                 out.ids.data(), &error, &out.found);
    } else {
        engine.PartitionClusters(job.k, job.n, job.d, job.data.get(),
                                 job.mask.get(), job.weights.data(), 0,
                                 job.passes, job.method, job.metric,
                                 out.ids.data(), &error, &out.found);
    }
    out.error = Bits(error);
    out.after = LoadSeedWords();
    return out;
}

inline std::string Describe(const EngineJob& job, int columns, int lanes) {
    return "n=" + std::to_string(job.n) + " d=" + std::to_string(job.d) +
           " k=" + std::to_string(job.k) + " passes=" +
           std::to_string(job.passes) + " method=" + job.method +
           " metric=" + job.metric + " columns=" + std::to_string(columns) +
           " lanes=" + std::to_string(lanes);
}

}  // namespace test_support
}  // namespace selvane

#endif  // SELVANE_TESTS_SUPPORT_ENGINE_JOBS_H
