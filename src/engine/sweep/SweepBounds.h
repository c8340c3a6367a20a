// Bounds that spare an item its rivals' sums. Both distances are squares
// of lengths that obey the triangle inequality: the correlation distance d
// is half the squared distance between the item and the centre scaled to
// unit length, and the Euclidean one the squared weighted distance over
// the total weight. Each bounded item keeps a lower bound on its length to
// every cluster but its own; a centre that moved by a brings the item at
// most a nearer. Every sweep computes the item's exact home distance,
// which the total needs anyway; while the bound stays above the home
// length by more than rounding can blur, no rival can be strictly nearer,
// and nothing else is computed.
//
// The bounds are not shrunk item by item: each cluster keeps an odometer,
// the sum over the pass's sweeps of how far the other centres moved at
// most, and an item stores its bound plus its cluster's odometer at the
// sweep that set it. Its bound now is that less the odometer now.
// Internal to the sweep.
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_BOUNDS_H
#define SELVANE_ENGINE_SWEEP_SWEEP_BOUNDS_H

#include <cmath>

#include "engine/sweep/SweepTypes.h"
#include "engine/sweep/SweepWorkspace.h"

namespace selvane {

// Fills the job's bound constants: the groups of clusters for a sweep of
// that many lanes, and the rounding the metric allows.
void PrepareBounds(SweepJob& job, int lanes);

// Decides whether the sweep over the centres just laid out tracks bounds,
// and if the last one did too, how far each centre has moved since, with
// room for every rounding of the centres and of the lengths, and advances
// the odometers.
void TrackCentres(const SweepJob& job, SweepWorkspace& workspace);

// The odometer reading, and the bound stored, are rounded; comparing
// above this share of their sum leaves room for both.
constexpr double kOdometerRoom = 1.0 + 0x1p-50;

// A length certainly below that of the pair whose computed distance is d.
inline double LowerLength(const SweepView& view, double d) {
    const double squared =
        (view.boundScale * d - view.boundAbsolute) * view.lowerFactor;
    return squared > 0.0 ? std::sqrt(squared) : 0.0;
}

// What an item whose nearest rival lies at computed distance rival, at
// home in cluster home, stores: a length certainly below that of any rival,
// plus home's odometer.
inline double StoredBound(const SweepView& view, double rival, int home) {
    return LowerLength(view, rival) + view.odometer[home];
}

// The length a stored bound proves now, with the odometer it was stored
// against: rounding the difference up would claim too much, so it is
// shrunk a little.
inline double BoundNow(double stored, double odometer) {
    return (stored - odometer) * (1.0 - 0x1p-50);
}

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_BOUNDS_H
