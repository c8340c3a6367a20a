#include "engine/ClusterEngine.h"

namespace selvane {

// Gathers each cell's present member values into workValues and selects their
// median there, so no storage beyond the caller's scratch is needed. Every
// cell is written exactly once, hence no clearing sweep.
void ClusterEngine::ComputeClusterMedians(int clusterCount, int rowCount,
                                          int columnCount,
                                          const double* const* data,
                                          const int* const* mask,
                                          const int* clusterIds,
                                          DataMatrix centroidData,
                                          MaskMatrix centroidMask,
                                          int itemsAsColumns,
                                          double* workValues) {
    if (itemsAsColumns == 0) {
        for (int c = 0; c < clusterCount; ++c) {
            for (int j = 0; j < columnCount; ++j) {
                int n = 0;
                for (int k = 0; k < rowCount; ++k) {
                    if (clusterIds[k] == c && mask[k][j] != 0)
                        workValues[n++] = data[k][j];
                }
                centroidData[c][j] = n > 0 ? MedianOf(n, workValues) : 0.0;
                centroidMask[c][j] = n > 0 ? 1 : 0;
            }
        }
        return;
    }

    for (int c = 0; c < clusterCount; ++c) {
        for (int r = 0; r < rowCount; ++r) {
            int n = 0;
            for (int k = 0; k < columnCount; ++k) {
                if (clusterIds[k] == c && mask[r][k] != 0)
                    workValues[n++] = data[r][k];
            }
            centroidData[r][c] = n > 0 ? MedianOf(n, workValues) : 0.0;
            centroidMask[r][c] = n > 0 ? 1 : 0;
        }
    }
}

// Hoare partitioning around a median-of-three pivot, narrowing [lo, hi] until
// it is down to the middle position(s). The range never loses a middle
// position, and each round either returns or moves lo up or hi down, so the
// loop ends. The scans need no bounds checks: the pivot is one of the values
// in [lo, hi], and after an exchange the exchanged values stop the next scans
// (a NaN stops them too, since it compares false both ways).
double ClusterEngine::MedianOf(int count, double* values) {
    if (count < 1) return 0.0;
    if (count == 1) return values[0];
    if (count == 2) return (values[0] + values[1]) * 0.5;

    const int half = count / 2;
    const bool even = count == 2 * half;
    int lo = 0;
    int hi = count - 1;
    do {
        // Same as (lo + hi) / 2, without overflowing int on huge counts.
        const int mid = lo + (hi - lo) / 2;
        double small = values[lo];
        double large = values[hi];
        if (small > large) {
            const double t = small;
            small = large;
            large = t;
        }
        double pivot = values[mid];
        if (pivot > large)
            pivot = large;
        else if (small > pivot)
            pivot = small;

        // Strict comparisons: values equal to the pivot stop both scans and
        // get exchanged, which keeps runs of duplicates balanced.
        int i = lo;
        int j = hi;
        for (;;) {
            while (values[i] < pivot) ++i;
            while (values[j] > pivot) --j;
            if (i >= j) break;
            const double t = values[i];
            values[i] = values[j];
            values[j] = t;
            ++i;
            --j;
            if (i > j) break;
        }

        if (even) {
            if (j == half - 1 && i == half) {
                // The two middle values straddle the split: the lower one is
                // the largest on the left, the upper one the smallest on the
                // right. values[0] and values[count-1] bound those sides.
                double largest = values[0];
                for (int k = lo; k <= j; ++k)
                    if (values[k] > largest) largest = values[k];
                double smallest = values[count - 1];
                for (int k = i; k <= hi; ++k)
                    if (values[k] < smallest) smallest = values[k];
                return (smallest + largest) * 0.5;
            }
            if (j < half - 1) lo = i;
            if (i > half) hi = j;
            if (i == j) {
                if (i == half - 1) lo = half - 1;
                if (j == half) hi = half;
            }
        } else {
            if (j < half) lo = i;
            if (i > half) hi = j;
            if (i == j && i == half) return pivot;
        }
    } while (lo < hi - 1);

    if (even) return (values[half - 1] + values[half]) * 0.5;
    if (values[lo] > values[hi]) {
        const double t = values[lo];
        values[lo] = values[hi];
        values[hi] = t;
    }
    return values[half];
}

}  // namespace selvane
