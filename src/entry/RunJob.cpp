#include "entry/RunJob.h"

#include <climits>

#include "common/Allocate.h"
#include "engine/ClusterEngine.h"
#include "entry/FloatEnvironment.h"
#include "entry/JobBuffers.h"
#include "entry/PrepareInput.h"
#include "entry/Renumber.h"

namespace selvane {

namespace {

// The caller has no other channel: -1.0 in every element means "no cluster".
void MarkUnclustered(double* result, int itemCount) {
    for (int i = 0; i < itemCount; ++i) result[i] = -1.0;
}

// The fixed settings of the exported function: items are rows, 200 passes
// from fresh random starts, cluster means, uncentered correlation.
constexpr int kPassCount = 200;
constexpr char kMethod = 'a';
constexpr char kMetric = 'u';

}  // namespace

void RunJob(int itemCount, int dimensionCount, const double* inputValues,
            int clusterCount, double* result) {
    RunJobReporting(itemCount, dimensionCount, inputValues, clusterCount,
                    result, nullptr, nullptr);
}

JobStatus RunJobReporting(int itemCount, int dimensionCount,
                          const double* inputValues, int clusterCount,
                          double* result, double* errorValueOut,
                          int* foundCountOut) {
    const FloatEnvironmentGuard floatEnvironment;
    if (!result || itemCount <= 0) return JobStatus::kRefused;
    // dimensionCount + 1 columns must fit in an int.
    if (clusterCount < 1 || itemCount < clusterCount || dimensionCount < 1 ||
        dimensionCount == INT_MAX || !inputValues) {
        MarkUnclustered(result, itemCount);
        return JobStatus::kRefused;
    }

    ClusterEngine engine;
    JobBuffers buffers;
    if (!AllocateJobBuffers(itemCount, dimensionCount, &buffers)) {
        MarkUnclustered(result, itemCount);
        return JobStatus::kNoMemory;
    }

    const int measurable = PrepareInput(
        engine, itemCount, dimensionCount, inputValues, buffers.workRows,
        buffers.data, buffers.mask, buffers.rowFlags);
    // Without one measurable item there is no largest norm, and every
    // magnitude would be 0/0: refuse before drawing from the generator.
    bool clustered = measurable > 0;
    JobStatus status = clustered ? JobStatus::kNoMemory
                                 : JobStatus::kUnmeasurable;

    int* clusterIds = clustered ? AllocateArray<int>(itemCount) : nullptr;
    clustered = clustered && clusterIds;
    if (clustered) {
        double errorValue = 0.0;
        int foundCount = 0;
        engine.PartitionClusters(clusterCount, itemCount, dimensionCount + 1,
                                 buffers.data, buffers.mask, buffers.weights, 0,
                                 kPassCount, kMethod, kMetric, clusterIds,
                                 &errorValue, &foundCount);
        clustered = foundCount > 0;
        if (clustered) {
            if (errorValueOut) *errorValueOut = errorValue;
            if (foundCountOut) *foundCountOut = foundCount;
            for (int i = 0; i < itemCount; ++i) {
                result[i] = static_cast<double>(clusterIds[i]);
            }
        }
    }
    Release(clusterIds);

    if (clustered) {
        clustered = RenumberClusters(itemCount, clusterCount, buffers.workRows,
                                     dimensionCount, result);
    }
    if (clustered) status = JobStatus::kClustered;
    if (!clustered) MarkUnclustered(result, itemCount);
    ReleaseJobBuffers(&buffers);
    return status;
}

}  // namespace selvane
