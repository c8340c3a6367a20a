#include <cmath>

#include "engine/ClusterEngine.h"

namespace selvane {

double ClusterEngine::RowNorm(int columnCount, int rowIndex,
                              const double* const* data,
                              const int* const* mask) {
    const double* row = data[rowIndex];
    const int* present = mask[rowIndex];
    double sum = 0.0;
    for (int c = 0; c < columnCount; ++c) {
        if (present[c] > 0) sum += row[c] * row[c];
    }
    return std::sqrt(sum);
}

}  // namespace selvane
