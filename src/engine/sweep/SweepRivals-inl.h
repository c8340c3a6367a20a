// Compiles only inside an instruction set's target region (SweepPreamble.h).
//
// Where it is decided that no rival can win an item, so that its other
// distances need not be computed. RivalMayWin is the one test; two proofs
// feed it: the sums of the item's distances, before the divisions and
// roots (OnlyHomeCanWin, asked by the kernels' screening), and the bounds
// kept from the last sweep (BoundsFail, asked for an item's bound and for
// each group's by the loop). A lane it passes never reaches TakesItem.
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_RIVALS_INL_H
#define SELVANE_ENGINE_SWEEP_SWEEP_RIVALS_INL_H

#include <cstdint>

#include "engine/sweep/SweepBounds.h"
#include "engine/sweep/SweepTypes.h"

namespace selvane {

// One bit per lane where a rival may take the item: what the rival is at
// least, in a measure that rises with its distance, is not proven above
// what home is at most. Exact measures order as the distances do, so a
// rival equal to home cannot take it (a move must be strictly nearer);
// rounded ones must clear home outright, and a NaN proves nothing.
template <class T, bool Exact>
unsigned RivalMayWin(typename T::Vec rival, typename T::Vec home) {
    return Exact ? T::LessBits(rival, home) : T::NotAboveBits(rival, home);
}

// A length certainly above that of every pair whose computed distance is
// d: any cluster whose length is above it has a computed distance above d.
template <class T>
typename T::Vec UpperLength(const SweepView& view, typename T::Vec d) {
    const typename T::Vec squared =
        T::Add(T::Mul(T::Set(view.boundScale), d), T::Set(view.boundAbsolute));
    return T::Sqrt(T::Mul(squared, T::Set(view.upperFactor)));
}

// One bit per lane: the stored bound does not prove every rival farther
// than the length upper, for items at home in the clusters whose odometers
// are given.
template <class T>
unsigned BoundsFail(typename T::Vec stored, typename T::Vec odometer,
                    typename T::Vec upper) {
    return RivalMayWin<T, false>(
        stored, T::Mul(T::Add(upper, odometer), T::Set(kOdometerRoom)));
}

// Lanes of the register at cluster c that stand for clusters other than
// home, one bit each.
template <class T>
unsigned OtherClusters(int c, int clusterCount, int home) {
    unsigned bits = clusterCount - c >= T::kLanes
                        ? (1u << T::kLanes) - 1u
                        : (1u << (clusterCount - c)) - 1u;
    const unsigned lane = static_cast<unsigned>(home - c);
    if (lane < static_cast<unsigned>(T::kLanes)) bits &= ~(1u << lane);
    return bits;
}

// Whether no cluster can be strictly nearer than home, decided from the
// sums alone. The Euclidean distance is the sum divided by one positive
// total weight, and rounding never reverses an order, so a sum at least the
// home sum gives a distance at least the home distance: the sums are an
// exact measure. The correlation distance falls as sxy / sqrt(syy) rises
// (sxx is common to all clusters): with the score sxy / sqrt(syy) below the
// home score by more than the item's margin, the distance is above the home
// distance whatever the rounding (the margin is 2^-40 of sqrt(sxx),
// thousands of times the rounding errors of the scores and distances, which
// the conditions on view.screen and the margin keep relative). A score
// rises as the distance falls, so home's threshold stands where a rival's
// measure would, and the rival's score where home's would. clusters has a
// bit for each of the K clusters.
template <class T, bool Euclidean>
bool OnlyHomeCanWin(const SweepView& view, const double* sums, int home,
                    double margin, std::uint64_t clusters) {
    using Vec = typename T::Vec;
    const int paddedClusters = view.paddedClusters;
    const double* centreScale = view.centreScale;
    if (!Euclidean && margin == 0.0) return false;
    const Vec threshold = Euclidean
                              ? T::Set(sums[home])
                              : T::Set(sums[home] * centreScale[home] - margin);
    auto rivalsAt = [&](int c) {
        const Vec sum = T::Load(sums + c);
        return Euclidean
                   ? RivalMayWin<T, true>(sum, threshold)
                   : RivalMayWin<T, false>(
                         threshold, T::Mul(sum, T::Load(centreScale + c)));
    };
    if (paddedClusters <= 64) {
        // One bit per cluster, gathered without a branch per register, then
        // the padding lanes and home dropped at once.
        std::uint64_t rivals = 0;
        for (int c = 0; c < paddedClusters; c += T::kLanes) {
            rivals |= static_cast<std::uint64_t>(rivalsAt(c)) << c;
        }
        return (rivals & clusters & ~(std::uint64_t{1} << home)) == 0;
    }
    for (int c = 0; c < paddedClusters; c += T::kLanes) {
        if (rivalsAt(c) & OtherClusters<T>(c, view.clusterCount, home)) {
            return false;
        }
    }
    return true;
}

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_RIVALS_INL_H
