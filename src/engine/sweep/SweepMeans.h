// Cluster means for the vector sweep, with exactly the bits of
// ComputeClusterMeans: each cell adds its members' present values in
// ascending item order, then divides once by their count. The sums go to an
// aligned array of the workspace; a complete item is added as a whole row,
// with no mask test per value, and counted once per cluster rather than once
// per cell. The sums can be formed for every cluster, or after a sweep for
// the clusters whose members it changed: the others keep their members, so
// their means keep their bits. Internal to the sweep.
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_MEANS_H
#define SELVANE_ENGINE_SWEEP_SWEEP_MEANS_H

#include <cstddef>

#include "engine/sweep/SweepTypes.h"
#include "engine/sweep/SweepWorkspace.h"

namespace selvane {

// Zero the sums, the member counts, and the per-cell counts of incomplete
// members (kept in the centroid mask), of the clusters where only[c] is
// non-zero, or of every cluster when only is null.
void ClearMeans(const SweepJob& job, SweepWorkspace& workspace,
                const unsigned char* only);

// Sums to means in the centroid matrices, as the last step of
// ComputeClusterMeans, for the same clusters.
void FinishMeans(const SweepJob& job, SweepWorkspace& workspace,
                 const unsigned char* only);

// Clear, every item in order, finish.
void VectorClusterMeans(const SweepJob& job, SweepWorkspace& workspace,
                        const int* ids);

// The count of incomplete members present at cell (c, k), in the centroid
// mask in either orientation.
inline int& CellCount(const SweepJob& job, SweepWorkspace& workspace, int c,
                      int k) {
    return job.itemsAsColumns ? workspace.centroidMask[k][c]
                              : workspace.centroidMask[c][k];
}

// Adds incomplete item i to the sums of cluster c, value by value where it
// is present, in either orientation.
inline void AddIncompleteToMeans(const SweepJob& job, SweepWorkspace& workspace,
                                 int c, int i) {
    const int D = job.valueCount;
    const double* values = job.itemValues + static_cast<std::size_t>(i) * D;
    double* sums =
        workspace.sums + static_cast<std::size_t>(c) * job.paddedValueCount;
    for (int k = 0; k < D; ++k) {
        const int present = job.itemsAsColumns ? job.mask[k][i]
                                               : job.mask[i][k];
        if (present != 0) {
            sums[k] += values[k];
            CellCount(job, workspace, c, k) += 1;
        }
    }
}

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_MEANS_H
