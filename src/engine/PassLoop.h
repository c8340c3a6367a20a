// The multi-pass loop shared by k-means and k-medians. Internal.
#ifndef SELVANE_ENGINE_PASS_LOOP_H
#define SELVANE_ENGINE_PASS_LOOP_H

#include "engine/ClusterEngine.h"
#include "engine/PassRun.h"

namespace selvane {

// How the passes went; foundCount counts only when they are done.
struct PassesResult {
    RunStatus status;
    int foundCount;
};

// Arguments as for ClusterEngine::KMeansPasses, the codes as enums;
// workValues is the median scratch (N doubles), unused for means. start:
// how every pass starts (unused when passCount is 0).
PassesResult RunPasses(ClusterEngine& engine, int clusterCount, int rowCount,
                       int columnCount, const double* const* data,
                       const int* const* mask, const double* weights,
                       int itemsAsColumns, int passCount, Metric metric,
                       DataMatrix centroidData, MaskMatrix centroidMask,
                       ClusterIdArray clusterIds, double* errorValue,
                       int* workingIds, int* clusterSizes, int* clusterMap,
                       Centres centres, double* workValues,
                       Generator& generator, const RunSettings& run,
                       RunReport* report, StartMethod start);

}  // namespace selvane

#endif  // SELVANE_ENGINE_PASS_LOOP_H
