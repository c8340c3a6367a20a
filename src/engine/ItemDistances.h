// Distances of a run of items to one item of the same job, with the bits of
// one call of the job's distance function per item: the item as the first
// vector, the other item as the second. Internal.
//
// Each distance is a serial sum over the positions, so one item at a time
// waits on the latency of every addition; here four items share the walk
// over the positions, each keeping its own sums in the literal function's
// order, so their additions overlap.
#ifndef SELVANE_ENGINE_ITEM_DISTANCES_H
#define SELVANE_ENGINE_ITEM_DISTANCES_H

#include "engine/Distance.h"

namespace selvane {

// The items of a job and the distance they are measured by.
struct ItemSet : JobView {
    DistanceFunction distance;
};

// distances[i - first] = distance(item i, item `to`) for i in first ..
// first + count - 1. A distance function other than the engine's two is
// called once per item.
void DistancesToItem(const ItemSet& items, int first, int count, int to,
                     double* distances);

}  // namespace selvane

#endif  // SELVANE_ENGINE_ITEM_DISTANCES_H
