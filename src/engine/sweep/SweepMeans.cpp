#include "engine/sweep/SweepMeans.h"

namespace selvane {

void ClearMeans(const SweepJob& job, SweepWorkspace& workspace,
                const unsigned char* only) {
    const std::size_t row = static_cast<std::size_t>(job.paddedValueCount);
    for (int c = 0; c < job.clusterCount; ++c) {
        if (only && !only[c]) continue;
        double* sums = workspace.sums + static_cast<std::size_t>(c) * row;
        for (std::size_t k = 0; k < row; ++k) sums[k] = 0.0;
        workspace.memberCounts[c] = 0;
        for (int k = 0; k < job.valueCount; ++k) {
            CellCount(job, workspace, c, k) = 0;
        }
    }
}

void FinishMeans(const SweepJob& job, SweepWorkspace& workspace,
                 const unsigned char* only) {
    for (int c = 0; c < job.clusterCount; ++c) {
        if (only && !only[c]) continue;
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
    ClearMeans(job, workspace, nullptr);
    const int D = job.valueCount;
    for (int i = 0; i < job.itemCount; ++i) {
        const int c = ids[i];
        if (job.itemComplete[i]) {
            const double* values =
                job.itemValues + static_cast<std::size_t>(i) * D;
            double* __restrict__ row =
                workspace.sums +
                static_cast<std::size_t>(c) * job.paddedValueCount;
            for (int k = 0; k < D; ++k) row[k] += values[k];
            workspace.memberCounts[c] += 1;
        } else {
            AddIncompleteToMeans(job, workspace, c, i);
        }
    }
    FinishMeans(job, workspace, nullptr);
}

}  // namespace selvane
