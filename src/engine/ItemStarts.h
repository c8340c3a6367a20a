// Starts drawn from the items themselves: K items become the first centres
// and the pass begins from the partition they make. Internal.
//
// Rules, the same for every centre kind and metric:
// - Candidates: an item can be a centre when it has a present value of
//   non-zero weight; the others are never chosen (a job with fewer
//   candidates than clusters cannot start this way). Candidates are taken
//   in item order.
// - Draws: every uniform u from the generator the caller hands in. An
//   equal choice among the R candidates not yet chosen takes the one at
//   place ShuffleIndex(u, R, 0) (from 0, in item order).
// - Weights: max(d, 0) for each candidate not yet chosen, d its distance to
//   the nearest centre so far (a chosen item weighs 0; a distance that is
//   not a number weighs 0; max(d, 0) removes a correlation distance that
//   rounds below 0), added in item order into a total T. A weighted choice
//   takes the first candidate of positive weight whose running sum exceeds
//   u * T (the last of positive weight, should rounding leave none); when
//   T is 0 (every candidate left sits on a chosen centre) or not finite
//   (distances beyond the double range) it is an equal choice instead.
// - kItems: every centre is an equal choice: K draws.
// - kKMeansPlusPlus, greedy as Arthur and Vassilvitskii suggest and
//   scikit-learn runs it: the first centre is an equal choice; each next
//   one is, of L = 2 + floor(ln K) weighted choices (one draw each), the
//   one that leaves the least total weight once it is a centre (added in
//   item order; the first drawn among equal totals): 1 + (K - 1) L draws.
// - Distances: the job's distance function with the item as the first
//   vector and the chosen item as the second, under the job's mask and
//   weights.
// - The partition: centre j (the j-th chosen, from 0) is the only member of
//   cluster j so far; every other item joins its nearest centre, a centre
//   taking it only when strictly nearer than every centre chosen before it
//   (ties go to the lower cluster number; a distance that is not a number
//   is never nearer). Every cluster holds at least its centre.
#ifndef SELVANE_ENGINE_ITEM_STARTS_H
#define SELVANE_ENGINE_ITEM_STARTS_H

#include "engine/ItemDistances.h"
#include "engine/StartMethod.h"
#include "random/Generator.h"

namespace selvane {

struct ItemStartRequest {
    StartMethod method;  // kItems or kKMeansPlusPlus
    int clusterCount;
    ItemSet items;
};

// Whether the job has at least clusterCount candidates.
bool EnoughStartItems(const ItemStartRequest& request);

// The job's candidates and one start's scratch, taken once per job and
// used by the calling thread alone.
struct ItemStarts;

// Returns false, with nothing taken, when memory runs out. Caller
// guarantees EnoughStartItems(request).
bool OpenItemStarts(const ItemStartRequest& request, ItemStarts** starts);
void CloseItemStarts(ItemStarts* starts);

// The uniforms one start takes from the generator: the same for every
// start of the job, whatever the distances, so that a plan can pass over a
// start without measuring anything.
int ItemStartDraws(const ItemStarts& starts);

// Fills clusterIds (N ints) with a start drawn by the rules above.
void DrawItemStart(ItemStarts& starts, int* clusterIds, Generator& generator);

}  // namespace selvane

#endif  // SELVANE_ENGINE_ITEM_STARTS_H
