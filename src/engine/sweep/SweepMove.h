// Where an item's move is decided. A turn takes an item to another cluster
// only when that cluster is strictly nearer than where the item stands, so
// an equally near cluster never takes it and, among equals, the first in
// cluster order does. The literal sweep asks TakesItem at every candidate as
// it computes the distances; the vector sweep's turns ask it of distances
// computed ahead, through MoveAmong here or, in lanes, MoveInLanes
// (SweepLoop-inl.h). Internal to the engine.
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_MOVE_H
#define SELVANE_ENGINE_SWEEP_SWEEP_MOVE_H

namespace selvane {

// Whether a cluster at distance candidate takes an item that stands at
// distance nearest. A candidate at NaN never takes an item, and an item
// standing at NaN is never taken.
inline bool TakesItem(double candidate, double nearest) {
    return nearest > candidate;
}

// The literal moves of an item at home among the distances of
// clusterCount clusters, in cluster order. Returns the cluster it ends in,
// with nearest its distance there.
inline int MoveAmong(const double* distance, int clusterCount, int home,
                     double& nearest) {
    int c = home;
    for (int j = 0; j < clusterCount; ++j) {
        if (j != home && TakesItem(distance[j], nearest)) {
            c = j;
            nearest = distance[j];
        }
    }
    return c;
}

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_MOVE_H
