// The vector reassignment sweep, as the pass loop calls it. It computes an
// item's distances to every centre together, the clusters in the lanes of a
// register, and moves the items by the literal sweep's rules, so every
// total and every assignment has the bits of one distance call per item and
// cluster. The pass loop opens the job once and a workspace for each pass
// that runs at a time; in every iteration it takes the next centres, lays
// them out, and reassigns every item. Internal.
#ifndef SELVANE_ENGINE_SWEEP_VECTOR_SWEEP_H
#define SELVANE_ENGINE_SWEEP_VECTOR_SWEEP_H

#include "engine/ClusterEngine.h"
#include "engine/JobView.h"

namespace selvane {

// One job's items as every pass reads them; read-only once opened, so that
// passes on several threads may share it.
struct SweepJob;
// One pass's centres, sums and scratch; one per pass running at a time.
struct SweepWorkspace;

// A job as the pass loop knows it.
struct SweepRequest {
    int clusterCount;
    JobView items;
    Metric metric;
    Centres centres;
};

// Takes the job's storage and fills what depends only on the items and
// weights, for the sweep SweepWidthFor chooses with the width the run asks
// for (0: none). Sets *job to null when the literal sweep serves the job
// (it is asked for or the only one this processor has, or the job has no
// values). Returns false, with nothing taken, when memory runs out.
bool OpenSweepJob(const SweepRequest& request, int requestedWidth,
                  SweepJob** job);
void CloseSweepJob(SweepJob* job);

// Takes one pass's storage over the pass's own centroid matrices (as
// KMeansPasses lays them out). Returns false, with nothing taken, when
// memory runs out.
bool OpenSweepWorkspace(const SweepJob& job, DataMatrix centroidData,
                        MaskMatrix centroidMask, SweepWorkspace** workspace);
void CloseSweepWorkspace(SweepWorkspace* workspace);

// A fresh pass: the sums the last pass left behind are not its means.
void StartSweepPass(SweepWorkspace& workspace);

// With means as centres, writes the next centres into the centroid
// matrices, with the bits of ComputeClusterMeans: from the sums the last
// sweep formed, or from ids when this pass has not swept yet. Returns
// false, doing nothing, when the centres are medians.
bool NextSweepCentres(const SweepJob& job, SweepWorkspace& workspace,
                      const int* ids);

// The clusters the last sweep of this pass touched, non-zero where an item
// left or joined; the others keep their members, and so their centres. Null
// before the pass's first sweep.
const unsigned char* TouchedClusters(const SweepWorkspace& workspace);

// Lays out the centroid matrices for the coming sweep.
void LayOutCentres(const SweepJob& job, SweepWorkspace& workspace);

// Moves every item to its nearest centre and returns the sum of the
// distances, as the literal sweep does.
double ReassignItems(const SweepJob& job, SweepWorkspace& workspace, int* ids,
                     int* clusterSizes);

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_VECTOR_SWEEP_H
