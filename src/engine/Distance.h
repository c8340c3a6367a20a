// Distances between one item and one cluster centre, compared only where
// both values are present and weighted per position. Internal.
#ifndef SELVANE_ENGINE_DISTANCE_H
#define SELVANE_ENGINE_DISTANCE_H

#include "engine/JobView.h"

namespace selvane {

// indexA / indexB: the row of dataA / dataB (the column when itemsAsColumns
// is non-zero). weights: valueCount doubles.
using DistanceFunction = double (*)(int valueCount, const double* const* dataA,
                                    const double* const* dataB,
                                    const int* const* maskA,
                                    const int* const* maskB,
                                    const double* weights, int indexA,
                                    int indexB, int itemsAsColumns);

// Weighted mean of the squared differences; 0.0 when the weights present add
// up to 0.0. No square root: the result is in squared units of the data.
double EuclideanDistance(int valueCount, const double* const* dataA,
                         const double* const* dataB, const int* const* maskA,
                         const int* const* maskB, const double* weights,
                         int indexA, int indexB, int itemsAsColumns);

// One minus the weighted cosine of the angle between the two vectors; 0.0
// when no position is present, 1.0 when either vector is all zero there.
// Finite for finite values and weights: where the plain sums would overflow
// or underflow, the vectors are rescaled by powers of two first
// (CorrelationScaling.h).
double UncenteredCorrelationDistance(int valueCount, const double* const* dataA,
                                     const double* const* dataB,
                                     const int* const* maskA,
                                     const int* const* maskB,
                                     const double* weights, int indexA,
                                     int indexB, int itemsAsColumns);

DistanceFunction DistanceOf(Metric metric);

// By MetricOfCode: 'u' selects the uncentered correlation; 'e' and every
// other code Euclidean.
DistanceFunction SelectDistance(char metric);

}  // namespace selvane

#endif  // SELVANE_ENGINE_DISTANCE_H
