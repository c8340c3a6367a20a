// One pass's storage of the vector sweep: the centres laid out for the
// kernels, the sums of the next means and the distances in flight. Each
// pass has its own; the job it reads (SweepJob) is shared. Internal to the
// sweep.
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_WORKSPACE_H
#define SELVANE_ENGINE_SWEEP_SWEEP_WORKSPACE_H

#include <cstdint>

#include "engine/ClusterEngine.h"
#include "engine/sweep/SweepTypes.h"

namespace selvane {

struct SweepWorkspace {
    // The pass's centroid matrices, in the job's orientation. While a sweep
    // forms the next means, the centroid mask counts the incomplete members
    // present at each cell.
    DataMatrix centroidData;
    MaskMatrix centroidMask;
    SweepView view;
    double* centres;        // D rows of Kpad
    std::int64_t* present;  // D rows of Kpad
    double* centreSelf;     // Kpad
    double* centreScale;    // Kpad
    // K rows of paddedValueCount: the sums of the next means; the columns
    // beyond D collect values that are never read.
    double* sums;
    int* memberCounts;  // K: complete members of each cluster
    // The last sweep left the sums of the next means of the clusters it
    // touched (Kpad, non-zero where an item left or joined the cluster);
    // FinishMeans makes them means, and the others keep theirs.
    bool meansPending;
    unsigned char* touched;
    bool swept;  // touched belongs to a sweep of this pass
    // Clusters of one member during a sweep: their items are not moved, nor
    // counted in the total.
    int singletons;
    // Per item, a lower bound on its length to any other cluster plus its
    // cluster's odometer (SweepBounds.h); valid for the items the last
    // sweeps tracked.
    double* lower;  // N
    // The last tracked sweep's centres (scaled to unit length for the
    // correlation), laid out as the centres, and whether they belong to
    // this pass's previous sweep.
    double* unitCentres;  // D rows of Kpad
    bool unitCentresReady;
    // The centres just laid out may bound Euclidean distances: complete,
    // and every value within the range where rounding stays relative.
    bool centresBoundable;
    double* drift;     // Kpad
    double* odometer;  // Kpad
    // With group bounds: per item, a bound for each group of clusters plus
    // that group's odometer (N rows of groupStride), and the odometers.
    double* groupBounds;
    double* groupOdometer;  // groupStride
    // Per item, its distance to its cluster at the end of the last sweep.
    // A centre laid out with the same bits as for the last sweep gives its
    // items the same distances, so items spared their rivals reuse them.
    double* homeDistance;  // N
    // Kpad: 1 where the centre has the bits it had in the last sweep of
    // this pass, as far as layoutReady says there was one.
    unsigned char* steady;
    bool layoutReady;
    double* distances;  // 2 * kSweepGroup rows of Kpad
    int* gatheredMask;  // 2 * kSweepGroup rows of D (items as columns)
    void* block;  // the one allocation that holds this object and its arrays
};

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_WORKSPACE_H
