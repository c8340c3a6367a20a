#include "engine/ItemDistances.h"

#include <cmath>

#include "engine/CorrelationScaling.h"

namespace selvane {

namespace {

constexpr int kLanes = 4;

// One call of the job's own distance function.
double Literal(const ItemSet& items, int item, int to) {
    return items.distance(items.valueCount, items.data, items.data, items.mask,
                          items.mask, items.weights, item, to,
                          items.itemsAsColumns);
}

// EuclideanDistance's sums and result, x the item's value and y the other's.
struct EuclideanSums {
    double sum = 0.0;
    double totalWeight = 0.0;

    void Add(double w, double x, double y) {
        const double d = x - y;
        sum += (w * d) * d;
        totalWeight += w;
    }
    double Result(const ItemSet&, int, int) const {
        if (totalWeight == 0.0) return 0.0;
        return sum / totalWeight;
    }
};

// UncenteredCorrelationDistance's; a pair whose sums leave the range of the
// plain formula is measured again by the function itself.
struct CorrelationSums {
    double sxy = 0.0;
    double sxx = 0.0;
    double syy = 0.0;
    bool anyPresent = false;

    void Add(double w, double x, double y) {
        sxy += (w * x) * y;
        sxx += (w * x) * x;
        syy += (w * y) * y;
        anyPresent = true;
    }
    double Result(const ItemSet& items, int item, int to) const {
        if (!anyPresent) return 0.0;
        if (CorrelationNeedsScaling(sxy, sxx, syy)) {
            return Literal(items, item, to);
        }
        return 1.0 - sxy / std::sqrt(syy * sxx);
    }
};

// Items as rows: each lane reads along its own row.
template <class Sums>
void FourRowsToItem(const ItemSet& items, int first, int to,
                    double* distances) {
    const double* x[kLanes];
    const int* present[kLanes];
    for (int lane = 0; lane < kLanes; ++lane) {
        x[lane] = items.data[first + lane];
        present[lane] = items.mask[first + lane];
    }
    const double* y = items.data[to];
    const int* yPresent = items.mask[to];
    Sums s0, s1, s2, s3;
    for (int k = 0; k < items.valueCount; ++k) {
        if (yPresent[k] == 0) continue;
        const double w = items.weights[k];
        if (present[0][k] != 0) s0.Add(w, x[0][k], y[k]);
        if (present[1][k] != 0) s1.Add(w, x[1][k], y[k]);
        if (present[2][k] != 0) s2.Add(w, x[2][k], y[k]);
        if (present[3][k] != 0) s3.Add(w, x[3][k], y[k]);
    }
    distances[0] = s0.Result(items, first, to);
    distances[1] = s1.Result(items, first + 1, to);
    distances[2] = s2.Result(items, first + 2, to);
    distances[3] = s3.Result(items, first + 3, to);
}

// Items as columns: the lanes read neighbours in each row.
template <class Sums>
void FourColumnsToItem(const ItemSet& items, int first, int to,
                       double* distances) {
    Sums s0, s1, s2, s3;
    for (int k = 0; k < items.valueCount; ++k) {
        const int* present = items.mask[k];
        if (present[to] == 0) continue;
        const double* x = items.data[k];
        const double w = items.weights[k];
        const double y = x[to];
        if (present[first] != 0) s0.Add(w, x[first], y);
        if (present[first + 1] != 0) s1.Add(w, x[first + 1], y);
        if (present[first + 2] != 0) s2.Add(w, x[first + 2], y);
        if (present[first + 3] != 0) s3.Add(w, x[first + 3], y);
    }
    distances[0] = s0.Result(items, first, to);
    distances[1] = s1.Result(items, first + 1, to);
    distances[2] = s2.Result(items, first + 2, to);
    distances[3] = s3.Result(items, first + 3, to);
}

template <class Sums>
void Measure(const ItemSet& items, int first, int count, int to,
             double* distances) {
    int i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        if (items.itemsAsColumns) {
            FourColumnsToItem<Sums>(items, first + i, to, distances + i);
        } else {
            FourRowsToItem<Sums>(items, first + i, to, distances + i);
        }
    }
    for (; i < count; ++i) distances[i] = Literal(items, first + i, to);
}

}  // namespace

void DistancesToItem(const ItemSet& items, int first, int count, int to,
                     double* distances) {
    if (items.distance == EuclideanDistance) {
        Measure<EuclideanSums>(items, first, count, to, distances);
    } else if (items.distance == UncenteredCorrelationDistance) {
        Measure<CorrelationSums>(items, first, count, to, distances);
    } else {
        for (int i = 0; i < count; ++i) {
            distances[i] = Literal(items, first + i, to);
        }
    }
}

}  // namespace selvane
