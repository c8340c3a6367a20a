// The data the vector sweep works on: one job's items as every pass reads
// them, and the centres of one sweep as the kernels read them. Internal to
// the sweep; the pass loop sees only VectorSweep.h.
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_TYPES_H
#define SELVANE_ENGINE_SWEEP_SWEEP_TYPES_H

#include <cstdint>

#include "engine/JobView.h"

namespace selvane {

// Items whose distances are computed together: enough independent sums to
// keep the adders busy, few enough that they stay in the registers (16 or
// 32 of them on x86-64, 8 on x86).
constexpr int kSweepGroup = sizeof(void*) == 8 ? 8 : 4;

// Doubles in the widest register: the padding of rows read whole.
constexpr int kSweepPadding = 8;

// Bounds per group of clusters an item keeps at most (SweepBounds.cpp);
// a whole number of registers of any width.
constexpr int kMostGroups = 16;

// With weights of 0 or at least kSmallestWeight, and item and centre values
// of 0 or at least kSmallestValue in magnitude, every weighted square that
// is not 0 is at least 2^-850, so a correlation's sum of squares is 0.0
// only where the values are.
constexpr double kSmallestWeight = 0x1p-50;
constexpr double kSmallestValue = 0x1p-400;

struct SweepJob;
struct SweepWorkspace;

// One reassignment sweep over the centres of workspace.view; returns the
// total distance. With means as centres it also forms, item by item after
// each item's turn, the sums of the next means.
using SweepFunction = double (*)(const SweepJob& job, SweepWorkspace& workspace,
                                 int* ids, int* clusterSizes);

// One job as every pass of it reads it. Filled once when the job opens,
// read-only afterwards, so passes on several threads may share it.
struct SweepJob : JobView {
    int clusterCount;
    bool euclidean;  // else the uncentered correlation
    bool means;      // centres are means (else medians)

    SweepFunction sweep;
    // Kpad: the cluster count rounded up to whole registers.
    int paddedClusters;
    // D rounded up to whole registers of any width: the row length of the
    // sums of the next means.
    int paddedValueCount;
    bool unitWeights;  // every weight is exactly 1.0, so w * x is x
    // Sum of all D weights in position order: the total weight of a pair
    // whose positions are all present.
    double completeWeight;
    // Every weight finite and not negative: a condition of screening the
    // correlation.
    bool weightsScreenable;
    // The weights allow bounds: for the Euclidean distance, none above
    // 2^100 and a total between 2^-100 and 2^100.
    bool weightsBoundable;
    // A correlation's sum of squares of 0.0 may hide values that are not 0:
    // some weight is negative, not a number or below kSmallestWeight, or
    // some present value is below kSmallestValue but not 0.
    bool squaresMayVanish;
    // N rows of D: a compact copy of the items, read in order by every
    // sweep (rows scattered over the heap would cost memory traffic), and
    // kSweepPadding doubles more, so that a whole register can be read at
    // the end of the last row.
    double* itemValues;
    unsigned char* itemComplete;  // N: 1 when every position is present
    double* itemSelf;             // N: sum of (w * x) * x of complete items
    // N: how far apart two clusters' screening scores must be for the
    // order of their correlation distances to be certain; 0 forbids
    // screening the item.
    double* itemMargin;
    // A byte per block of kSweepGroup items (from item 0), bit g for item g
    // of the block: 1 when the item's distances may be bounded (complete,
    // and its values (Euclidean) or sums (correlation) in the range where
    // every rounding is relative).
    unsigned char* blockBoundable;
    // Where the clusters take more than two registers, bounded items also
    // keep a bound per group of groupRegisters registers of clusters,
    // boundGroups of them in groupStride doubles (whole registers); 0
    // groups otherwise.
    int boundGroups;
    int groupRegisters;
    int groupClusters;  // groupRegisters whole registers
    int groupStride;
    // How far a computed distance d of a bounded item may be off: its
    // length squared lies within boundAbsolute of boundScale * d, stretched
    // by upperFactor or shrunk by lowerFactor (SweepView).
    double boundScale;
    double boundAbsolute;
    double upperFactor;
    double lowerFactor;
    // Lanes of the first two registers of clusters: all bits set in those
    // beyond the clusters.
    std::int64_t paddingLanes[2 * kSweepPadding];
    void* block;  // the one allocation that holds this object and its arrays
};

// The centres of one sweep, laid out for the kernels. Lanes beyond the
// clusters hold 0.0, are absent, and their results are never read.
struct SweepView {
    int valueCount;      // D
    int clusterCount;    // K
    int paddedClusters;  // Kpad
    bool euclidean;      // else the uncentered correlation
    bool unitWeights;    // every weight is exactly 1.0, so w * x is x
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
    // Bounds on how far a bounded item lies from the centres (SweepBounds.h).
    // track: centres fit for bounds, so items whose distances are all
    // computed renew theirs. bounded: the last sweep tracked too, and the
    // odometers say how far the centres have moved since.
    bool track;
    bool bounded;
    // Kpad; exactly 0 for a centre laid out with the bits it had, whose
    // items' home distances are those of the last sweep.
    const double* drift;
    // Kpad: for each cluster, the sum over this pass's sweeps of the
    // largest drift of any other cluster.
    const double* odometer;
    // groupStride: for each group of clusters, the sum over this pass's
    // sweeps of its largest drift. Groups as in SweepJob.
    const double* groupOdometer;
    int boundGroups;
    int groupRegisters;
    int groupClusters;
    int groupStride;
    // From a computed distance d, a length certainly above the exact one
    // (UpperLength) and one certainly below (StoredBound): boundScale * d
    // plus or minus boundAbsolute, stretched by upperFactor or shrunk by
    // lowerFactor, under the root.
    double boundScale;
    double boundAbsolute;
    double upperFactor;
    double lowerFactor;
    // As SweepJob::squaresMayVanish, for the items or for these centres: a
    // lane whose sum of squares is 0.0 goes through the scaled rule too.
    bool squaresMayVanish;
};

// The kernels and the loop are templates on the register type, compiled
// once per instruction set; what they share without the type is here,
// outside any target region, so that no instruction set's code is shared.

// Complete items (present at every position) whose distances are computed
// together, up to kSweepGroup of them.
struct SweepItems {
    const double* rows[kSweepGroup];  // the D values of each item
    double self[kSweepGroup];    // its sum of (w * x) * x (correlation only)
    double margin[kSweepGroup];  // its screening margin (correlation only)
    int home[kSweepGroup];       // its cluster at its turn
    double* out[kSweepGroup];    // Kpad distances each
    // Set by CompleteDistances: only the distance to home was computed,
    // because no other cluster can be strictly nearer.
    bool homeOnly[kSweepGroup];
    // Every distance is wanted, unscreened, to renew the item's bounds.
    bool track[kSweepGroup];
};

// Where the kernels read value k of item m of the group.
struct RowValues {
    const double* const* rows;
    double At(int m, int k) const { return rows[m][k]; }
};

// Items first .. first + count - 1 of a sweep, with the distances computed
// before any of them takes its turn.
struct SweepBlock {
    int first;
    int count;
    double* distances;  // kSweepGroup rows of Kpad
    int* gatheredMask;  // kSweepGroup rows of D (items as columns)
    // A bit per item: only its home distance is known, no rival can win.
    unsigned homeOnly;
    double home[kSweepGroup];  // each item's distance to its cluster
    // A bit per item: its distances are computed, all of them or those of
    // the groups in groups[g], and its bounds are renewed from them at its
    // turn.
    unsigned renew;
    // Per item, with group bounds: a bit per group of clusters whose
    // distances are computed (all bits: every one), and the length its
    // bounds were tested against.
    unsigned groups[kSweepGroup];
    double upper[kSweepGroup];
};

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_TYPES_H
