// The exported function's own job, reached through the engine library with
// a seed, run settings and everything the job knows, and failures reported
// as codes. Its numbers are computed in buffers of its own, so that the
// caller's arrays are written only when the job succeeded.
#include <climits>
#include <cstddef>

#include "common/Allocate.h"
#include "engine_library/EngineJob.h"
#include "entry/RunJob.h"

namespace selvane {

int CheckSelvaneKindJob(const selvane_engine_job& r) {
    if (!r.values) return SELVANE_ENGINE_ERROR_NULL_POINTER;
    // The preparation adds a column: value_count + 1 must fit in an int.
    int status = CheckCellCounts(r.item_count, r.value_count);
    if (status == SELVANE_ENGINE_OK && r.value_count == INT_MAX) {
        status = SELVANE_ENGINE_ERROR_SHAPE;
    }
    if (status != SELVANE_ENGINE_OK) return status;
    if (r.cluster_count < 1 || r.cluster_count > r.item_count) {
        return SELVANE_ENGINE_ERROR_CLUSTER_COUNT;
    }
    // Its settings are fixed: the fields that would choose others stay at
    // their defaults, so that they can mean something in a later version.
    if ((r.layout != SELVANE_ENGINE_ITEMS_AS_ROWS &&
         r.layout != SELVANE_ENGINE_ITEMS_AS_COLUMNS) ||
        r.present || r.weights || r.pass_count != 0 || r.centres != 0 ||
        r.metric != 0 || r.given_centres || r.given_centre_present ||
        r.given_ids || r.start != 0) {
        return SELVANE_ENGINE_ERROR_OPTION;
    }
    if (r.thread_count < 0) return SELVANE_ENGINE_ERROR_THREAD_COUNT;
    return SELVANE_ENGINE_OK;
}

namespace {

struct SelvaneStorage {
    double* input = nullptr;  // dimension-major, when given as rows
    double* numbers = nullptr;
    int* ids = nullptr;
    double* magnitudes = nullptr;
    double* rankedValues = nullptr;
    unsigned char* measurable = nullptr;

    ~SelvaneStorage() {
        Release(input);
        Release(numbers);
        Release(ids);
        Release(magnitudes);
        Release(rankedValues);
        Release(measurable);
    }
};

template <typename T>
void CopyOut(T* to, const T* from, int count) {
    for (int i = 0; to && i < count; ++i) to[i] = from[i];
}

}  // namespace

int RunSelvaneKindJob(const selvane_engine_job& r, selvane_engine_result& o,
                      const JobPasses& passes) {
    const int status = CheckSelvaneKindJob(r);
    if (status != SELVANE_ENGINE_OK) return status;

    const int n = r.item_count;
    const int d = r.value_count;
    SelvaneStorage s;
    const bool rows = r.layout == SELVANE_ENGINE_ITEMS_AS_ROWS;
    if (rows) s.input = AllocateArray<double>(static_cast<std::int64_t>(n) * d);
    s.numbers = AllocateArray<double>(n);
    s.ids = AllocateArray<int>(n);
    s.magnitudes = AllocateArray<double>(n);
    s.rankedValues = AllocateArray<double>(r.cluster_count);
    s.measurable = AllocateArray<unsigned char>(n);
    if ((rows && !s.input) || !s.numbers || !s.ids || !s.magnitudes ||
        !s.rankedValues || !s.measurable) {
        return SELVANE_ENGINE_ERROR_NO_MEMORY;
    }
    // Selvane() reads its items dimension-major.
    for (int i = 0; rows && i < n; ++i) {
        for (int j = 0; j < d; ++j) {
            s.input[static_cast<std::size_t>(j) * n + i] =
                r.values[static_cast<std::size_t>(i) * d + j];
        }
    }

    SelvaneJobDetails details;
    details.clusterIds = s.ids;
    details.magnitudes = s.magnitudes;
    details.rankedValues = s.rankedValues;
    details.measurable = s.measurable;
    details.errorValue = &o.error_value;
    details.foundCount = &o.found_count;
    RunReport report;
    details.report = &report;
    details.givenIds = passes.givenIds;
    if (passes.piece) details.passCount = passes.passCount;
    RunSettings settings = SettingsOf(r);
    settings.piece = passes.piece;
    Generator own(SeedWordsFromSeed(r.seed ? *r.seed : 0));
    switch (RunSelvaneJob(n, d, rows ? s.input : r.values, r.cluster_count,
                          s.numbers,
                          passes.generator ? *passes.generator
                          : r.seed         ? own
                                           : ProcessGenerator(),
                          settings, details)) {
        case JobStatus::kClustered: break;
        case JobStatus::kUnmeasurable: return SELVANE_ENGINE_ERROR_UNMEASURABLE;
        case JobStatus::kRefused: return SELVANE_ENGINE_ERROR_SHAPE;
        case JobStatus::kCancelled: return SELVANE_ENGINE_ERROR_CANCELLED;
        case JobStatus::kNoMemory: return SELVANE_ENGINE_ERROR_NO_MEMORY;
    }
    CopyOut(o.ranked_numbers, s.numbers, n);
    CopyOut(o.cluster_ids, s.ids, n);
    CopyOut(o.magnitudes, s.magnitudes, n);
    CopyOut(o.ranked_values, s.rankedValues, r.cluster_count);
    CopyOut(o.measurable, s.measurable, n);
    o.best_pass_iterations = report.bestPassIterations;
    o.total_iterations = report.totalIterations;
    return SELVANE_ENGINE_OK;
}

}  // namespace selvane
