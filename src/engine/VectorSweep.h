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
void CloseSweepWorkspace(SweepWorkspace* workspace);

// Lays out the centroid matrices for the coming sweep.
void LoadSweepCentres(const SweepJob& job, SweepWorkspace& workspace);

}  // namespace selvane

#endif  // SELVANE_ENGINE_VECTOR_SWEEP_H
