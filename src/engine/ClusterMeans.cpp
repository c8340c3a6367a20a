#include "engine/ClusterEngine.h"

namespace selvane {

// The centroid mask doubles as the per-cell count of present values while the
// sums are formed, which is why no counting array is needed; every cell of
// both matrices is rewritten, so stale contents never leak into a centre.
void ClusterEngine::ComputeClusterMeans(
    int clusterCount, int rowCount, int columnCount, const double* const* data,
    const int* const* mask, const int* clusterIds, DataMatrix centroidData,
    MaskMatrix centroidMask, int itemsAsColumns) {
    if (itemsAsColumns == 0) {
        for (int c = 0; c < clusterCount; ++c) {
            for (int j = 0; j < columnCount; ++j) {
                centroidData[c][j] = 0.0;
                centroidMask[c][j] = 0;
            }
        }
        for (int k = 0; k < rowCount; ++k) {
            double* sums = centroidData[clusterIds[k]];
            int* counts = centroidMask[clusterIds[k]];
            for (int j = 0; j < columnCount; ++j) {
                if (mask[k][j] != 0) {
                    sums[j] += data[k][j];
                    counts[j] += 1;
                }
            }
        }
        for (int c = 0; c < clusterCount; ++c) {
            for (int j = 0; j < columnCount; ++j) {
                if (centroidMask[c][j] > 0) {
                    centroidData[c][j] /=
                        static_cast<double>(centroidMask[c][j]);
                    centroidMask[c][j] = 1;
                }
            }
        }
        return;
    }

    for (int r = 0; r < rowCount; ++r) {
        for (int c = 0; c < clusterCount; ++c) {
            centroidData[r][c] = 0.0;
            centroidMask[r][c] = 0;
        }
    }
    for (int k = 0; k < columnCount; ++k) {
        const int c = clusterIds[k];
        for (int r = 0; r < rowCount; ++r) {
            if (mask[r][k] != 0) {
                centroidData[r][c] += data[r][k];
                centroidMask[r][c] += 1;
            }
        }
    }
    for (int r = 0; r < rowCount; ++r) {
        for (int c = 0; c < clusterCount; ++c) {
            if (centroidMask[r][c] > 0) {
                centroidData[r][c] /= static_cast<double>(centroidMask[r][c]);
                centroidMask[r][c] = 1;
            }
        }
    }
}

}  // namespace selvane
