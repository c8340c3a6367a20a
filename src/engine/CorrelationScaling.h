// The uncentered correlation of vectors whose plain sums leave the double
// range. 1 - sxy / sqrt(syy * sxx) is the distance of any two vectors whose
// sums and product are normal numbers; values beyond about 1e154, or below
// about 1e-154, overflow or underflow those sums, and the plain formula
// would give NaN, infinities or a false 1.0. The distance does not change
// when either vector, or the weights, are scaled by a positive factor, so
// such pairs are recomputed with each of the three scaled by the power of
// two that brings its largest magnitude into [0.5, 1): every term is then at
// most 1 and every sum finite, and a pair that only differs from an
// ordinary one by powers of two gets that pair's bits. Ordinary pairs never
// come here and keep their bits. Internal; the literal distance and the
// vector sweep both decide and compute through these functions, so they
// agree bit for bit.
#ifndef SELVANE_ENGINE_CORRELATION_SCALING_H
#define SELVANE_ENGINE_CORRELATION_SCALING_H

#include <cfloat>
#include <cmath>

namespace selvane {

// Whether the plain formula may be off: a sum is not finite, or the product
// of the sums of squares is not a normal number (0.0 included: a sum of
// squares can underflow to 0.0 though the values are not 0).
inline bool CorrelationNeedsScaling(double sxy, double sxx, double syy) {
    const double product = syy * sxx;
    return !(sxy >= -DBL_MAX && sxy <= DBL_MAX && product >= DBL_MIN &&
             product <= DBL_MAX);
}

// The formula on the sums as they stand, 1.0 where a sum of squares is 0.0.
inline double PlainCorrelation(double sxy, double sxx, double syy) {
    if (sxx == 0.0 || syy == 0.0) return 1.0;
    return 1.0 - sxy / std::sqrt(syy * sxx);
}

// The distance of a pair whose plain sums are sxy, sxx and syy, from the
// scaled values. position(k, w, x1, x2) gives the weight and both values at
// position k and whether the position is present in both vectors;
// positions are read in ascending order. No present position: 0.0. Weights
// or values outside the engine library's contract (negative or infinite
// weights, infinite or NaN values) keep the plain formula. A vector whose
// scaled weighted squares still all vanish counts as zero (1.0).
template <class Position>
double ScaledCorrelation(double sxy, double sxx, double syy, int valueCount,
                         Position position) {
    bool any = false;
    bool scalable = true;
    double largestWeight = 0.0;
    double largestA = 0.0;
    double largestB = 0.0;
    double w = 0.0;
    double x1 = 0.0;
    double x2 = 0.0;
    for (int k = 0; k < valueCount; ++k) {
        if (!position(k, w, x1, x2)) continue;
        any = true;
        scalable = scalable && w >= 0.0 && w <= DBL_MAX &&
                   std::fabs(x1) <= DBL_MAX && std::fabs(x2) <= DBL_MAX;
        largestWeight = std::fmax(largestWeight, w);
        largestA = std::fmax(largestA, std::fabs(x1));
        largestB = std::fmax(largestB, std::fabs(x2));
    }
    if (!any) return 0.0;
    if (!scalable) return PlainCorrelation(sxy, sxx, syy);
    if (largestWeight == 0.0 || largestA == 0.0 || largestB == 0.0) {
        return 1.0;
    }
    int weightExponent = 0;
    int exponentA = 0;
    int exponentB = 0;
    std::frexp(largestWeight, &weightExponent);
    std::frexp(largestA, &exponentA);
    std::frexp(largestB, &exponentB);
    double xy = 0.0;
    double xx = 0.0;
    double yy = 0.0;
    for (int k = 0; k < valueCount; ++k) {
        if (!position(k, w, x1, x2)) continue;
        const double scaledWeight = std::ldexp(w, -weightExponent);
        const double a = std::ldexp(x1, -exponentA);
        const double b = std::ldexp(x2, -exponentB);
        xy += (scaledWeight * a) * b;
        xx += (scaledWeight * a) * a;
        yy += (scaledWeight * b) * b;
    }
    if (xx == 0.0 || yy == 0.0) return 1.0;
    // Every term is at most 1, so the sums are finite; only the product of
    // two very small sums can still underflow, and two roots avoid it.
    const double product = yy * xx;
    const double root = product >= DBL_MIN ? std::sqrt(product)
                                           : std::sqrt(yy) * std::sqrt(xx);
    return 1.0 - xy / root;
}

}  // namespace selvane

#endif  // SELVANE_ENGINE_CORRELATION_SCALING_H
