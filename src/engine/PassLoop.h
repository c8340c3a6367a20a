// The multi-pass loop shared by k-means and k-medians. Internal.
#ifndef SELVANE_ENGINE_PASS_LOOP_H
#define SELVANE_ENGINE_PASS_LOOP_H

#include "engine/ClusterEngine.h"

namespace selvane {

// Arguments as for ClusterEngine::KMeansPasses. useMedians selects the
// centres; workValues is the median scratch (N doubles), unused for means.
int RunPasses(ClusterEngine& engine, int clusterCount, int rowCount,
              int columnCount, const double* const* data,
              const int* const* mask, const double* weights, int itemsAsColumns,
              int passCount, MetricCode metric, DataMatrix centroidData,
              MaskMatrix centroidMask, ClusterIdArray clusterIds,
              double* errorValue, int* workingIds, int* clusterSizes,
              int* clusterMap, bool useMedians, double* workValues,
              Generator& generator, const RunSettings& run, RunReport* report);

}  // namespace selvane

#endif  // SELVANE_ENGINE_PASS_LOOP_H
