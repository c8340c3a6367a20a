// Cluster means for the vector sweep, with exactly the bits of
// ComputeClusterMeans: each cell adds its members' present values in
// ascending item order, then divides once by their count. The sums go to an
// aligned array of the workspace; a complete item is added as a whole row,
// with no mask test per value, and counted once per cluster rather than once
// per cell. The sums can be formed in a separate scan, or during a sweep,
// item by item right after each item's turn, for the next iteration's
// centres. Internal to the sweep.
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_MEANS_H
#define SELVANE_ENGINE_SWEEP_SWEEP_MEANS_H

#include <cstddef>

#include "engine/sweep/SweepTypes.h"
#include "engine/sweep/SweepWorkspace.h"

namespace selvane {

// Zero the sums, the member counts, and the per-cell counts of incomplete
// members (kept in the centroid mask).
void ClearMeans(const SweepJob& job, SweepWorkspace& workspace);

// Sums to means in the centroid matrices, as the last step of
// ComputeClusterMeans.
void FinishMeans(const SweepJob& job, SweepWorkspace& workspace);

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

// Adds item i of cluster c, value by value, where its mask is non-zero.
inline void AddIncompleteToMeans(const SweepJob& job, SweepWorkspace& workspace,
                                 int c, const double* values, const int* mask) {
    double* sums =
        workspace.sums + static_cast<std::size_t>(c) * job.paddedValueCount;
    for (int k = 0; k < job.valueCount; ++k) {
        if (mask[k] != 0) {
            sums[k] += values[k];
            CellCount(job, workspace, c, k) += 1;
        }
    }
}

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_MEANS_H
