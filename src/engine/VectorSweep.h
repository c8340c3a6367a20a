// The vector form of the k-means and k-medians iteration: cluster means and
// the reassignment sweep, bit for bit the same as ComputeClusterMeans and the
// literal sweep (one distance call per item and cluster). Internal.
#ifndef SELVANE_ENGINE_VECTOR_SWEEP_H
#define SELVANE_ENGINE_VECTOR_SWEEP_H

#include "engine/SweepKernels.h"

namespace selvane {

// Allocates the workspace for a sweep of `lanes` doubles per register and
// computes what depends only on the items and weights. Returns false, with
// nothing left allocated, when memory runs out. Caller guarantees D >= 1 and
// that the processor has the width.
bool OpenSweepWorkspace(const SweepJob& job, int lanes,
                        SweepWorkspace* workspace);

// A workspace for another thread's passes: its own storage for everything a
// sweep writes (centres, distances, sums), and the read-only items of
// `items`, shared. False, with nothing allocated, when memory runs out.
bool OpenSweepWorker(const SweepJob& job, const SweepWorkspace& items,
                     SweepWorkspace* worker);

// Releases what the workspace owns: a worker's own storage, and the items
// when it is the workspace that opened them.
void CloseSweepWorkspace(SweepWorkspace* workspace);

// Lays out the centroid matrices for the coming sweep.
void LoadSweepCentres(const SweepJob& job, SweepWorkspace& workspace);

}  // namespace selvane

#endif  // SELVANE_ENGINE_VECTOR_SWEEP_H
