// What the vector sweeps work on, and the sweeps themselves, one per
// register width. A sweep computes an item's distances to every cluster
// centre together, the clusters in the lanes of a register. Each lane adds
// its positions in ascending order with the same products and the same
// final formula as EuclideanDistance and UncenteredCorrelationDistance, so
// every distance has the bits the distance function would return, and the
// moves follow the literal sweep's rules. Internal.
#ifndef SELVANE_ENGINE_SWEEP_KERNELS_H
#define SELVANE_ENGINE_SWEEP_KERNELS_H

#include <cstdint>

#include "engine/ClusterEngine.h"

namespace selvane {

// Items whose distances are computed together: enough independent sums to
// keep the adders busy, few enough that they stay in the registers (16 or
// 32 of them on x86-64, 8 on x86).
constexpr int kSweepGroup = sizeof(void*) == 8 ? 8 : 4;

// Doubles in the widest register: the padding of rows read whole.
constexpr int kSweepPadding = 8;

// One job as the pass loop sees it; orientation and shapes as for
// KMeansPasses, with N items of D values each.
struct SweepJob {
    int clusterCount;
    int itemCount;   // N
    int valueCount;  // D
    int itemsAsColumns;
    const double* const* data;
    const int* const* mask;
    const double* weights;
    bool euclidean;  // else the uncentered correlation
    bool means;      // centres are means (else medians)
    DataMatrix centroidData;
    MaskMatrix centroidMask;
};

// The centres of one sweep, laid out for the kernels. Kpad is the cluster
// count rounded up to whole registers; lanes beyond the clusters hold 0.0,
// are absent, and their results are never read.
struct SweepView {
    int valueCount;      // D
    int clusterCount;    // K
    int paddedClusters;  // Kpad
    bool euclidean;      // else the uncentered correlation
    bool unitWeights;    // every weight is exactly 1.0, so w * x is x
    // Sum of all D weights in position order: the total weight of a pair
    // whose positions are all present.
    double completeWeight;
    const double* weights;  // D
    // D rows of Kpad: the value of centre j at position k is centres[k *
    // Kpad + j]; present[k * Kpad + j] has every bit set when that value is
    // present, and is 0 otherwise.
    const double* centres;
    const std::int64_t* present;
    bool centresComplete;  // every centre value present
    // Kpad: sum of (w * x) * x over the positions of each centre, in
    // position order; valid when centresComplete.
    const double* centreSelf;
    // Whether complete items may be screened: a cluster whose sums show it
    // cannot be strictly nearer than home needs no distance. For the
    // correlation, centreScale holds 1 / sqrt(centreSelf), Kpad values.
    bool screen;
    const double* centreScale;
};

struct SweepWorkspace;

// One reassignment sweep over the centres of workspace.view; returns the
// total distance. With means as centres it also forms, item by item after
// each item's turn, the sums of the next means.
using SweepFunction = double (*)(const SweepJob& job,
                                 SweepWorkspace& workspace, int* ids,
                                 int* clusterSizes);

// Storage of the vector sweep, taken once per job in one block and carved
// into the arrays below.
struct SweepWorkspace {
    SweepFunction sweep;
    SweepView view;
    double* centres;        // D rows of Kpad
    std::int64_t* present;  // D rows of Kpad
    double* centreSelf;     // Kpad
    double* centreScale;    // Kpad
    // Every weight finite and not negative: a condition of screening the
    // correlation.
    bool weightsScreenable;
    // N rows of D: a compact copy of the items, read in order by every
    // sweep (rows scattered over the heap would cost memory traffic), and
    // kSweepPadding doubles more, so that a whole register can be read at
    // the end of the last row.
    double* itemValues;
    unsigned char* itemComplete;  // N: 1 when every position is present
    double* itemSelf;    // N: sum of (w * x) * x of complete items
    // N: how far apart two clusters' screening scores must be for the
    // order of their correlation distances to be certain; 0 forbids
    // screening the item.
    double* itemMargin;
    // K rows of paddedValueCount (D rounded up to whole registers of any
    // width): the sums of the next means; the columns beyond D collect
    // values that are never read.
    double* sums;
    int paddedValueCount;
    int* memberCounts;   // K: complete members of each cluster
    // The last sweep left the sums of the next means; FinishMeans makes
    // them means.
    bool meansPending;
    double* distances;   // 2 * kSweepGroup rows of Kpad
    int* gatheredMask;   // 2 * kSweepGroup rows of D (items as columns)
    // The items (itemValues .. itemMargin), shared by the workspaces of all
    // threads of a job and owned by the first, where block is not null;
    // everything else, each workspace's own, in workerBlock.
    void* block;
    void* workerBlock;
};

// The sweep for one register width; call only when SweepWidthSupported
// says the processor has it.
SweepFunction Sse2Sweep();
SweepFunction Avx2Sweep();
SweepFunction Avx512Sweep();

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_KERNELS_H
