#include "entry/PrepareInput.h"

#include <cfloat>
#include <cmath>
#include <cstddef>

namespace selvane {

namespace {

// Exponent e with 2^(e-1) <= largest < 2^e, so that dividing by 2^e brings
// the largest value into [0.5, 1) and no square can overflow or vanish.
int ScaleExponent(const double* row, int count) {
    double largest = 0.0;
    for (int d = 0; d < count; ++d) {
        if (row[d] > largest) largest = row[d];
    }
    int exponent = 0;
    std::frexp(largest, &exponent);
    return exponent;
}

// Norm of a measurable item whose plain sum of squares left the normal
// range. The row is rescaled in place by 2^-e (exact for every value that
// matters to the norm); returns the norm of the rescaled row.
double RescaledRowNorm(ClusterEngine& engine, int dimensionCount, int item,
                       DataMatrix data, MaskMatrix mask, int* exponent) {
    double* row = data[item];
    *exponent = ScaleExponent(row, dimensionCount);
    for (int d = 0; d < dimensionCount; ++d) {
        row[d] = std::ldexp(row[d], -*exponent);
    }
    return engine.RowNorm(dimensionCount, item, data, mask);
}

// Norm of item i times 2^-shift, from the caller's values, for jobs in which
// some norm exceeds the largest double. shift is large enough to bring every
// possible norm (at most sqrt(D) times the largest double) back into range.
double ShiftedNorm(const double* inputValues, int itemCount, int dimensionCount,
                   int item, int shift) {
    double largest = 0.0;
    for (int d = 0; d < dimensionCount; ++d) {
        const double v =
            inputValues[static_cast<std::size_t>(d) * itemCount + item];
        if (v > largest) largest = v;
    }
    int exponent = 0;
    std::frexp(largest, &exponent);
    double sum = 0.0;
    for (int d = 0; d < dimensionCount; ++d) {
        const double v = std::ldexp(
            inputValues[static_cast<std::size_t>(d) * itemCount + item],
            -exponent);
        sum += v * v;
    }
    return std::ldexp(std::sqrt(sum), exponent - shift);
}

}  // namespace

int PrepareInput(ClusterEngine& engine, int itemCount, int dimensionCount,
                 const double* inputValues, DataMatrix workRows,
                 DataMatrix data, MaskMatrix mask, int* rowFlags) {
    const int D = dimensionCount;

    for (int d = 0; d < D; ++d) {
        const double* dimension =
            inputValues + static_cast<std::size_t>(d) * itemCount;
        for (int i = 0; i < itemCount; ++i) workRows[i][d] = dimension[i];
    }

    int measurable = 0;
    for (int i = 0; i < itemCount; ++i) {
        int positive = 0;
        for (int d = 0; d < D; ++d) {
            data[i][d] = workRows[i][d];
            mask[i][d] = 1;
            if (IsMeasurable(workRows[i][d])) ++positive;
        }
        rowFlags[i] = positive < D ? 0 : 1;
        measurable += rowFlags[i];
    }

    for (int i = 0; i < itemCount; ++i) {
        if (rowFlags[i] < 1) {
            for (int d = 0; d < D; ++d) mask[i][d] = 0;
        }
    }

    double largestNorm = 0.0;
    for (int i = 0; i < itemCount; ++i) {
        double norm = engine.RowNorm(D, i, data, mask);
        double divisor = norm;
        // A sum of squares that overflowed, or fell below the normal range,
        // would give an infinite or inexact norm for finite positive values.
        if (rowFlags[i] == 1 && (std::isinf(norm) || norm * norm < DBL_MIN)) {
            int exponent = 0;
            divisor = RescaledRowNorm(engine, D, i, data, mask, &exponent);
            norm = std::ldexp(divisor, exponent);
        }
        data[i][D] = norm;
        workRows[i][D] = norm;
        mask[i][D] = 1;
        if (norm > largestNorm) largestNorm = norm;
        // Flagged items divide by 0 here; their cells are masked and never
        // read again.
        for (int d = 0; d < D; ++d) {
            data[i][d] = data[i][d] / divisor;
            workRows[i][d] = data[i][d];
        }
    }

    if (std::isinf(largestNorm)) {
        // Some norm exceeds the largest double: compare all norms scaled down
        // by one power of two, which leaves every ratio exact.
        const int shift = 64;
        double largestShifted = 0.0;
        for (int i = 0; i < itemCount; ++i) {
            data[i][D] = rowFlags[i] == 1
                             ? ShiftedNorm(inputValues, itemCount, D, i, shift)
                             : 0.0;
            if (data[i][D] > largestShifted) largestShifted = data[i][D];
        }
        largestNorm = largestShifted;
    }

    for (int i = 0; i < itemCount; ++i) {
        data[i][D] = data[i][D] / largestNorm;
        workRows[i][D] = data[i][D];
    }
    return measurable;
}

}  // namespace selvane
