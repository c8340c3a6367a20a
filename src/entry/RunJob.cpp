#include "entry/RunJob.h"

#include <climits>

#include "common/Allocate.h"
#include "common/FloatEnvironment.h"
#include "engine/ClusterEngine.h"
#include "entry/JobBuffers.h"
#include "entry/PrepareInput.h"
#include "entry/Renumber.h"
#include "entry/RunEnvironment.h"

namespace selvane {

namespace {

// The caller has no other channel: -1.0 in every element means "no cluster".
void MarkUnclustered(double* result, int itemCount) {
    for (int i = 0; i < itemCount; ++i) result[i] = -1.0;
}

// The fixed settings of the exported function: items are rows,
// kSelvanePassCount passes from fresh random starts, cluster means,
// uncentered correlation.
constexpr char kMethod = 'a';
constexpr char kMetric = 'u';

}  // namespace

void RunJob(int itemCount, int dimensionCount, const double* inputValues,
            int clusterCount, double* result) {
    RunSelvaneJob(itemCount, dimensionCount, inputValues, clusterCount, result,
                  ProcessGenerator(), SettingsFromEnvironment(),
                  SelvaneJobDetails());
}

JobStatus RunSelvaneJob(int itemCount, int dimensionCount,
                        const double* inputValues, int clusterCount,
                        double* result, Generator& generator,
                        const RunSettings& run,
                        const SelvaneJobDetails& details) {
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
    double errorValue = 0.0;
    int foundCount = 0;
    if (clustered && details.givenIds) {
        for (int i = 0; i < itemCount; ++i) clusterIds[i] = details.givenIds[i];
    } else if (clustered) {
        RunReport report;
        engine.PartitionClusters(clusterCount, itemCount, dimensionCount + 1,
                                 buffers.data, buffers.mask, buffers.weights, 0,
                                 details.passCount, kMethod, kMetric,
                                 clusterIds, &errorValue, &foundCount,
                                 generator, run, &report);
        if (report.cancelled) status = JobStatus::kCancelled;
        if (details.report) *details.report = report;
        clustered = foundCount > 0;
    }
    for (int i = 0; clustered && i < itemCount; ++i) {
        result[i] = static_cast<double>(clusterIds[i]);
    }
    if (clustered) {
        clustered = RenumberClusters(itemCount, clusterCount, buffers.workRows,
                                     dimensionCount, result,
                                     details.rankedValues);
    }
    if (clustered) {
        status = JobStatus::kClustered;
        if (details.errorValue && !details.givenIds) {
            *details.errorValue = errorValue;
        }
        if (details.foundCount && !details.givenIds) {
            *details.foundCount = foundCount;
        }
        for (int i = 0; i < itemCount; ++i) {
            if (details.clusterIds) details.clusterIds[i] = clusterIds[i];
            if (details.magnitudes) {
                details.magnitudes[i] = buffers.workRows[i][dimensionCount];
            }
            if (details.measurable) {
                details.measurable[i] = buffers.rowFlags[i] == 1 ? 1 : 0;
            }
        }
    }
    Release(clusterIds);
    if (!clustered) MarkUnclustered(result, itemCount);
    ReleaseJobBuffers(&buffers);
    return status;
}

}  // namespace selvane
