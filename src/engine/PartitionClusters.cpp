#include <cstring>

#include "common/Allocate.h"
#include "engine/ClusterEngine.h"
#include "engine/ItemStarts.h"

namespace selvane {

namespace {

bool ValidAssignment(const int* clusterIds, int itemCount, int clusterCount) {
    for (int i = 0; i < itemCount; ++i) {
        if (clusterIds[i] < 0 || clusterIds[i] >= clusterCount) return false;
    }
    return true;
}

}  // namespace

// Every array the passes share is taken here, once per job, and released
// before returning; the pass loops allocate nothing but their saved
// assignment.
void ClusterEngine::PartitionClusters(
    int clusterCount, int rowCount, int columnCount, const double* const* data,
    const int* const* mask, const double* weights, int itemsAsColumns,
    int passCount, MethodCode centreMethod, MetricCode metric,
    ClusterIdArray clusterIds, double* errorValue, int* foundCount,
    Generator& generator, const RunSettings& run, RunReport* report,
    StartMethod start) {
    if (report) *report = RunReport();
    const int itemCount = itemsAsColumns ? columnCount : rowCount;
    const int valueCount = itemsAsColumns ? rowCount : columnCount;

    // Jobs that cannot be clustered assign nothing and say so with 0, as
    // for too few items: no cluster, a negative length, a starting
    // assignment (passCount 0) that names a cluster that does not exist, or
    // starts from items with too few candidates.
    if (clusterCount < 1 || valueCount < 0 || itemCount < clusterCount ||
        (passCount == 0 &&
         !ValidAssignment(clusterIds, itemCount, clusterCount))) {
        *foundCount = 0;
        return;
    }
    if (passCount != 0 && start != StartMethod::kPartition &&
        !EnoughStartItems(
            {start,
             clusterCount,
             {{itemCount, valueCount, itemsAsColumns, data, mask, weights},
              SelectDistance(metric)}})) {
        *foundCount = 0;
        return;
    }
    *foundCount = -1;

    int* clusterSizes = AllocateArray<int>(clusterCount);
    if (!clusterSizes) return;

    int* workingIds = clusterIds;
    int* clusterMap = nullptr;
    if (passCount > 1) {
        workingIds = AllocateArray<int>(itemCount);
        if (!workingIds) {
            Release(clusterSizes);
            return;
        }
        clusterMap = AllocateArray<int>(clusterCount);
        if (!clusterMap) {
            Release(clusterSizes);
            Release(workingIds);
            return;
        }
        // clusterIds holds the best partition so far; its earlier contents
        // must never influence the result.
        std::memset(clusterIds, 0,
                    static_cast<std::size_t>(itemCount) * sizeof(int));
    }

    const int centroidRows = itemsAsColumns ? valueCount : clusterCount;
    const int centroidColumns = itemsAsColumns ? clusterCount : valueCount;
    DataMatrix centroidData = nullptr;
    MaskMatrix centroidMask = nullptr;
    if (!AllocCentroidMatrices(centroidRows, centroidColumns, &centroidData,
                               &centroidMask)) {
        Release(clusterSizes);
        if (passCount > 1) {
            Release(workingIds);
            Release(clusterMap);
        }
        return;
    }

    switch (CentresOfCode(centreMethod)) {
        case Centres::kMedians: {
            double* workValues = AllocateArray<double>(itemCount);
            if (workValues) {
                *foundCount = KMediansPasses(
                    clusterCount, rowCount, columnCount, data, mask, weights,
                    itemsAsColumns, passCount, metric, centroidData,
                    centroidMask, clusterIds, errorValue, workingIds,
                    clusterSizes, clusterMap, workValues, generator, run,
                    report, start);
                Release(workValues);
            }
            break;
        }
        case Centres::kMeans:
            *foundCount = KMeansPasses(
                clusterCount, rowCount, columnCount, data, mask, weights,
                itemsAsColumns, passCount, metric, centroidData, centroidMask,
                clusterIds, errorValue, workingIds, clusterSizes, clusterMap,
                generator, run, report, start);
            break;
    }

    if (passCount > 1) {
        Release(clusterMap);
        Release(workingIds);
    }
    FreeCentroidMatrices(centroidRows, centroidData, centroidMask);
    Release(clusterSizes);
}

}  // namespace selvane
