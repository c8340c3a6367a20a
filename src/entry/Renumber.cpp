#include "entry/Renumber.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/Allocate.h"

namespace selvane {

namespace {

// Cluster number held in a result element, or -1 when it is not a whole
// number in 0 .. clusterCount-1 (such an element belongs to no cluster).
inline int ClusterOf(double value, int clusterCount) {
    if (!(value >= 0.0) || !(value < static_cast<double>(clusterCount)))
        return -1;
    const int c = static_cast<int>(value);
    return static_cast<double>(c) == value ? c : -1;
}

// NaN sorts after every number, so the ordering stays strict and weak; NaN
// means match no position anyway.
inline bool MeanBefore(float a, float b) {
    return a < b || (!std::isnan(a) && std::isnan(b));
}

}  // namespace

void ComputeMeanMagnitudes(int itemCount, int clusterCount,
                           const double* const* rows, int magnitudeColumn,
                           const double* result, float* means,
                           std::int64_t* counts) {
    // One sweep in ascending item order adds each cluster's magnitudes in the
    // same order as a sweep per cluster would, so the sums are identical.
    // The divisor starts at 1: a cluster of m members is divided by m + 1.
    for (int k = 0; k < clusterCount; ++k) {
        means[k] = 0.0f;
        counts[k] = 1;
    }
    for (int i = 0; i < itemCount; ++i) {
        const int k = ClusterOf(result[i], clusterCount);
        if (k < 0) continue;
        counts[k] += 1;
        // Each addition is made in double, its sum kept in single precision.
        means[k] = static_cast<float>(static_cast<double>(means[k]) +
                                      rows[i][magnitudeColumn]);
    }
    for (int k = 0; k < clusterCount; ++k) {
        means[k] = means[k] / static_cast<float>(counts[k]);
    }
}

bool RenumberClusters(int itemCount, int clusterCount,
                      const double* const* rows, int magnitudeColumn,
                      double* result, double* rankedValues) {
    if (clusterCount < 1) return false;
    float* clusterMeans = AllocateArray<float>(clusterCount);
    float* sortedMeans = AllocateArray<float>(clusterCount);
    // Each cluster's divisor while the means are formed, then its new
    // number: one array serves both, as the divisors are done with first.
    std::int64_t* newNumbers = AllocateArray<std::int64_t>(clusterCount);
    if (!clusterMeans || !sortedMeans || !newNumbers) {
        Release(clusterMeans);
        Release(sortedMeans);
        Release(newNumbers);
        return false;
    }

    ComputeMeanMagnitudes(itemCount, clusterCount, rows, magnitudeColumn,
                          result, clusterMeans, newNumbers);
    for (int k = 0; k < clusterCount; ++k) {
        sortedMeans[k] = clusterMeans[k];
        if (rankedValues)
            rankedValues[k] = static_cast<double>(clusterMeans[k]);
    }
    std::sort(sortedMeans, sortedMeans + clusterCount, MeanBefore);

    // A cluster takes the last sorted position equal to its mean: later equal
    // positions overwrite earlier ones. newNumbers[k] becomes cluster k's
    // new number, or -1 when no position matches. Numbers stay ints so that
    // they are exact however many clusters there are.
    for (int k = 0; k < clusterCount; ++k) {
        const float mean = clusterMeans[k];
        const float* end = std::upper_bound(
            sortedMeans, sortedMeans + clusterCount, mean, MeanBefore);
        const bool matched = end != sortedMeans && end[-1] == mean;
        newNumbers[k] = matched ? end - sortedMeans - 1 : -1;
    }

    // Each element is read as an old number and written as a new one in the
    // same step, so no new number is ever taken for an old one.
    for (int i = 0; i < itemCount; ++i) {
        const int k = ClusterOf(result[i], clusterCount);
        result[i] = k < 0 ? -1.0 : static_cast<double>(newNumbers[k]);
    }

    Release(clusterMeans);
    Release(sortedMeans);
    Release(newNumbers);
    return true;
}

}  // namespace selvane
