#include "engine/ClusterEngine.h"

namespace selvane {

// Gathers each cell's present member values into workValues and selects their
// median there, so no storage beyond the caller's scratch is needed. Every
// cell is written exactly once, hence no clearing sweep.
void ClusterEngine::ComputeClusterMedians(
    int clusterCount, int rowCount, int columnCount, const double* const* data,
    const int* const* mask, const int* clusterIds, DataMatrix centroidData,
    MaskMatrix centroidMask, int itemsAsColumns, double* workValues) {
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

namespace {

// A stable counting sort of the items by cluster: afterwards the members of
// cluster c are memberOrder[starts[c] .. starts[c + 1] - 1], ascending.
void GroupByCluster(int clusterCount, int itemCount, const int* clusterIds,
                    int* memberOrder, int* starts) {
    for (int c = 0; c <= clusterCount; ++c) starts[c] = 0;
    for (int k = 0; k < itemCount; ++k) {
        const int c = clusterIds[k];
        if (c >= 0 && c < clusterCount) starts[c + 1] += 1;
    }
    for (int c = 0; c < clusterCount; ++c) starts[c + 1] += starts[c];
    // starts[c] runs through cluster c's slots and ends at cluster c+1's
    // first; shifting by one puts every start back.
    for (int k = 0; k < itemCount; ++k) {
        const int c = clusterIds[k];
        if (c >= 0 && c < clusterCount) memberOrder[starts[c]++] = k;
    }
    for (int c = clusterCount; c > 0; --c) starts[c] = starts[c - 1];
    starts[0] = 0;
}

}  // namespace

void ClusterEngine::ComputeClusterMedians(
    int clusterCount, int rowCount, int columnCount, const double* const* data,
    const int* const* mask, const int* clusterIds, DataMatrix centroidData,
    MaskMatrix centroidMask, int itemsAsColumns, double* workValues,
    int* memberOrder, int* clusterStarts, const unsigned char* only) {
    const int itemCount = itemsAsColumns ? columnCount : rowCount;
    const int valueCount = itemsAsColumns ? rowCount : columnCount;
    GroupByCluster(clusterCount, itemCount, clusterIds, memberOrder,
                   clusterStarts);
    for (int c = 0; c < clusterCount; ++c) {
        if (only && only[c] == 0) continue;
        const int* first = memberOrder + clusterStarts[c];
        const int* last = memberOrder + clusterStarts[c + 1];
        for (int j = 0; j < valueCount; ++j) {
            int n = 0;
            if (itemsAsColumns == 0) {
                for (const int* m = first; m != last; ++m) {
                    if (mask[*m][j] != 0) workValues[n++] = data[*m][j];
                }
            } else {
                const double* values = data[j];
                const int* present = mask[j];
                for (const int* m = first; m != last; ++m) {
                    if (present[*m] != 0) workValues[n++] = values[*m];
                }
            }
            double& centre = itemsAsColumns ? centroidData[j][c]
                                            : centroidData[c][j];
            int& defined = itemsAsColumns ? centroidMask[j][c]
                                          : centroidMask[c][j];
            centre = n > 0 ? MedianOf(n, workValues) : 0.0;
            defined = n > 0 ? 1 : 0;
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
