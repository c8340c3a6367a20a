#include "engine/Distance.h"

#include <cmath>

#include "engine/CorrelationScaling.h"

namespace selvane {

namespace {

// Reads position k of the vector `index` in either orientation.
inline double ValueAt(const double* const* matrix, int index, int k,
                      int itemsAsColumns) {
    return itemsAsColumns ? matrix[k][index] : matrix[index][k];
}

inline bool PresentAt(const int* const* mask, int index, int k,
                      int itemsAsColumns) {
    return (itemsAsColumns ? mask[k][index] : mask[index][k]) != 0;
}

}  // namespace

double EuclideanDistance(int valueCount, const double* const* dataA,
                         const double* const* dataB, const int* const* maskA,
                         const int* const* maskB, const double* weights,
                         int indexA, int indexB, int itemsAsColumns) {
    double sum = 0.0;
    double totalWeight = 0.0;
    for (int k = 0; k < valueCount; ++k) {
        if (!PresentAt(maskA, indexA, k, itemsAsColumns) ||
            !PresentAt(maskB, indexB, k, itemsAsColumns))
            continue;
        const double w = weights[k];
        const double d = ValueAt(dataA, indexA, k, itemsAsColumns) -
                         ValueAt(dataB, indexB, k, itemsAsColumns);
        sum += (w * d) * d;
        totalWeight += w;
    }
    if (totalWeight == 0.0) return 0.0;
    return sum / totalWeight;
}

double UncenteredCorrelationDistance(int valueCount, const double* const* dataA,
                                     const double* const* dataB,
                                     const int* const* maskA,
                                     const int* const* maskB,
                                     const double* weights, int indexA,
                                     int indexB, int itemsAsColumns) {
    double sxy = 0.0;
    double sxx = 0.0;
    double syy = 0.0;
    bool anyPresent = false;
    for (int k = 0; k < valueCount; ++k) {
        if (!PresentAt(maskA, indexA, k, itemsAsColumns) ||
            !PresentAt(maskB, indexB, k, itemsAsColumns))
            continue;
        const double w = weights[k];
        const double x1 = ValueAt(dataA, indexA, k, itemsAsColumns);
        const double x2 = ValueAt(dataB, indexB, k, itemsAsColumns);
        sxy += (w * x1) * x2;
        sxx += (w * x1) * x1;
        syy += (w * x2) * x2;
        anyPresent = true;
    }
    if (!anyPresent) return 0.0;
    if (CorrelationNeedsScaling(sxy, sxx, syy)) {
        return ScaledCorrelation(
            sxy, sxx, syy, valueCount,
            [&](int k, double& w, double& a, double& b) {
                if (!PresentAt(maskA, indexA, k, itemsAsColumns) ||
                    !PresentAt(maskB, indexB, k, itemsAsColumns))
                    return false;
                w = weights[k];
                a = ValueAt(dataA, indexA, k, itemsAsColumns);
                b = ValueAt(dataB, indexB, k, itemsAsColumns);
                return true;
            });
    }
    return 1.0 - sxy / std::sqrt(syy * sxx);
}

DistanceFunction DistanceOf(Metric metric) {
    switch (metric) {
        case Metric::kEuclidean: return EuclideanDistance;
        case Metric::kCorrelation: return UncenteredCorrelationDistance;
    }
    __builtin_unreachable();
}

DistanceFunction SelectDistance(char metric) {
    return DistanceOf(MetricOfCode(metric));
}

}  // namespace selvane
