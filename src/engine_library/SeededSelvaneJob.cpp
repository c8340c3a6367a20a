// The exported function's own job, reached through the engine library with
// a seed and a thread count, and failures reported as codes.
#include <climits>

#include "engine/PassThreads.h"
#include "engine_library/EngineJob.h"
#include "entry/RunJob.h"
#include "random/CallGenerator.h"
#include "selvane_engine.h"

namespace selvane {

int RunSeededSelvaneJob(int itemCount, int dimensionCount,
                        const double* inputValues, int clusterCount,
                        const std::uint64_t* seed, int threadCount,
                        double* result, double* errorValue, int* foundCount) {
    if (!inputValues || !result) return SELVANE_ENGINE_ERROR_NULL_POINTER;
    // The preparation adds a column: dimensionCount + 1 must fit in an int.
    if (itemCount < 1 || dimensionCount < 1 || dimensionCount == INT_MAX) {
        return SELVANE_ENGINE_ERROR_SHAPE;
    }
    if (clusterCount < 1 || clusterCount > itemCount) {
        return SELVANE_ENGINE_ERROR_CLUSTER_COUNT;
    }
    if (threadCount < 0) return SELVANE_ENGINE_ERROR_THREAD_COUNT;

    SeedWords own = seed ? SeedWordsFromSeed(*seed) : SeedWords{};
    const BoundGenerator generator(seed ? &own : BoundSeedWords());
    const BoundThreadCount threads(threadCount);
    switch (RunJobReporting(itemCount, dimensionCount, inputValues,
                            clusterCount, result, errorValue, foundCount)) {
        case JobStatus::kClustered: return SELVANE_ENGINE_OK;
        case JobStatus::kUnmeasurable: return SELVANE_ENGINE_ERROR_UNMEASURABLE;
        case JobStatus::kRefused: return SELVANE_ENGINE_ERROR_SHAPE;
        case JobStatus::kNoMemory:
        default: return SELVANE_ENGINE_ERROR_NO_MEMORY;
    }
}

}  // namespace selvane
