// Bounds that spare an item its rivals' sums. With the correlation, an
// item's distance to a centre is half the squared length between the two
// scaled to unit length, and those lengths obey the triangle inequality: an
// item whose home centre moved by a and whose rivals moved by at most b is
// at most a further from home and at least b nearer to any rival than
// before. While the bounds stay apart by more than rounding can blur, no
// rival can be strictly nearer, and only the home distance, which the total
// needs exactly, is computed. Internal to the sweep.
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_BOUNDS_H
#define SELVANE_ENGINE_SWEEP_SWEEP_BOUNDS_H

#include <cmath>

#include "engine/sweep/SweepTypes.h"
#include "engine/sweep/SweepWorkspace.h"

namespace selvane {

// Decides whether the sweep over the centres just laid out tracks bounds,
// and if the last one did too, how far each unit centre has moved since,
// with room for every rounding of the unit centres and of the lengths.
void TrackCentres(const SweepJob& job, SweepWorkspace& workspace);

// The helpers below are templates on the register type, like the kernels,
// so that each instruction set's sweep compiles its own.

// Bounds widened by the drift of the centres: whether they prove, with
// room for rounding, that no rival of the item is as near as home.
template <class T>
bool BoundsHoldHome(const SweepView& view, double& upper, double& lower,
                    int home) {
    upper += view.drift[home];
    lower -= view.rivalDrift[home];
    // lower^2 - upper^2 bounds twice the gap between the exact distances,
    // which must exceed twice their rounding errors; a NaN never passes.
    return lower > upper &&
           (lower - upper) * (lower + upper) > 8.0 * view.boundError;
}

// Fresh bounds from an item's computed distances to its home and to its
// nearest rival, widened by their rounding error.
template <class T>
void RenewBounds(const SweepView& view, double home, double rival,
                 double& upper, double& lower) {
    const double room = 4.0 * view.boundError;
    upper = std::sqrt(2.0 * home + room);
    const double squared = 2.0 * rival - room;
    lower = squared > 0.0 ? std::sqrt(squared) : 0.0;
}

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_BOUNDS_H
