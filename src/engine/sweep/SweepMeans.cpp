#include "engine/sweep/SweepMeans.h"

namespace selvane {

void ClearMeans(const SweepJob& job, SweepWorkspace& workspace) {
    const std::size_t cells =
        static_cast<std::size_t>(job.clusterCount) * job.paddedValueCount;
    for (std::size_t i = 0; i < cells; ++i) workspace.sums[i] = 0.0;
    for (int c = 0; c < job.clusterCount; ++c) {
        workspace.memberCounts[c] = 0;
        for (int k = 0; k < job.valueCount; ++k) {
            CellCount(job, workspace, c, k) = 0;
        }
    }
}

void FinishMeans(const SweepJob& job, SweepWorkspace& workspace) {
    for (int c = 0; c < job.clusterCount; ++c) {
        const double* sums =
            workspace.sums + static_cast<std::size_t>(c) * job.paddedValueCount;
        for (int k = 0; k < job.valueCount; ++k) {
            int& count = CellCount(job, workspace, c, k);
            double& centre = job.itemsAsColumns ? workspace.centroidData[k][c]
                                                : workspace.centroidData[c][k];
            const int present = count + workspace.memberCounts[c];
            if (present > 0) {
                centre = sums[k] / static_cast<double>(present);
                count = 1;
            } else {
                centre = 0.0;
                count = 0;
            }
        }
    }
}

void VectorClusterMeans(const SweepJob& job, SweepWorkspace& workspace,
                        const int* ids) {
    ClearMeans(job, workspace);
    const int D = job.valueCount;
    for (int i = 0; i < job.itemCount; ++i) {
        const double* values = job.itemValues + static_cast<std::size_t>(i) * D;
        const int c = ids[i];
        double* sums =
            workspace.sums + static_cast<std::size_t>(c) * job.paddedValueCount;
        if (job.itemComplete[i]) {
            double* __restrict__ row = sums;
            for (int k = 0; k < D; ++k) row[k] += values[k];
            workspace.memberCounts[c] += 1;
        } else if (job.itemsAsColumns) {
            // The mask of column i, gathered one value at a time.
            for (int k = 0; k < D; ++k) {
                if (job.mask[k][i] != 0) {
                    sums[k] += values[k];
                    CellCount(job, workspace, c, k) += 1;
                }
            }
        } else {
            AddIncompleteToMeans(job, workspace, c, values, job.mask[i]);
        }
    }
    FinishMeans(job, workspace);
}

}  // namespace selvane
