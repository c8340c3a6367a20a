#include "Magnitude.h"

#include <cmath>

namespace selvane::host {

// Scaled by the largest value so that the sum of squares cannot overflow:
// finite values near 1e308 still give a finite norm.
double ItemNorm(const Table& table, std::size_t item) {
    const std::size_t n = table.itemCount;
    double largest = 0.0;
    for (std::size_t d = 0; d < table.dimensionCount; ++d) {
        largest = std::fmax(largest, table.values[d * n + item]);
    }
    double sum = 0.0;
    for (std::size_t d = 0; d < table.dimensionCount; ++d) {
        const double v = table.values[d * n + item] / largest;
        sum += v * v;
    }
    return largest * std::sqrt(sum);
}

Magnitudes MeasureItems(const Table& table) {
    const std::size_t n = table.itemCount;
    Magnitudes result;
    result.measurable.assign(n, true);
    result.relative.assign(n, 0.0);
    for (std::size_t d = 0; d < table.dimensionCount; ++d) {
        for (std::size_t i = 0; i < n; ++i) {
            const double v = table.values[d * n + i];
            if (!(std::isfinite(v) && v > 0.0)) result.measurable[i] = false;
        }
    }
    double largest = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!result.measurable[i]) continue;
        ++result.measurableCount;
        result.relative[i] = ItemNorm(table, i);
        largest = std::fmax(largest, result.relative[i]);
    }
    if (largest > 0.0) {
        for (std::size_t i = 0; i < n; ++i) result.relative[i] /= largest;
    }
    return result;
}

}  // namespace selvane::host
