// The loop of the vector sweep: blocks of items whose distances are
// computed ahead of their turns, then the turns themselves with the moves of
// the literal sweep and the sums of the next means. Written once against a
// register type T, like the kernels, and included with them inside an
// instruction set's target region (see SweepPreamble.h).
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_LOOP_H
#define SELVANE_ENGINE_SWEEP_SWEEP_LOOP_H

#include <cstddef>

#include "engine/sweep/SweepKernels.h"
#include "engine/sweep/SweepMeans.h"
#include "engine/sweep/SweepTypes.h"
#include "engine/sweep/SweepWorkspace.h"

namespace selvane {

// sums[k] += values[k] for k up to paddedCount, a multiple of the lanes;
// sums beyond the values collect whatever follows them.
template <class T>
void AddRow(double* sums, const double* values, int paddedCount) {
    for (int k = 0; k < paddedCount; k += T::kLanes) {
        T::Store(sums + k, T::Add(T::Load(sums + k), T::Load(values + k)));
    }
}

// The centres are fixed for the whole sweep, and only an item's own turn
// changes its cluster, so a block's distances can be computed ahead of the
// turns of the items before it.
template <class T>
void ComputeBlock(const SweepJob& job, SweepWorkspace& ws, const int* ids,
                  SweepBlock& block) {
    const SweepView& view = ws.view;
    const int D = job.valueCount;
    const std::size_t paddedClusters =
        static_cast<std::size_t>(view.paddedClusters);
    SweepItems items;
    int slotOf[kSweepGroup];
    int complete = 0;
    for (int g = 0; g < block.count; ++g) {
        const int item = block.first + g;
        double* slot = block.distances + g * paddedClusters;
        const double* values =
            job.itemValues + static_cast<std::size_t>(item) * D;
        block.homeOnly[g] = false;
        block.masks[g] = nullptr;
        if (view.centresComplete && job.itemComplete[item]) {
            items.rows[complete] = values;
            items.self[complete] = job.itemSelf[item];
            items.margin[complete] = job.itemMargin[item];
            items.home[complete] = ids[item];
            items.out[complete] = slot;
            slotOf[complete] = g;
            ++complete;
            continue;
        }
        if (job.itemsAsColumns) {
            int* gathered =
                block.gatheredMask + static_cast<std::size_t>(g) * D;
            for (int k = 0; k < D; ++k) gathered[k] = job.mask[k][item];
            block.masks[g] = gathered;
        } else {
            block.masks[g] = job.mask[item];
        }
        MaskedDistances<T>(view, values, block.masks[g], slot);
    }
    if (complete > 0) {
        CompleteDistances<T>(view, items, complete);
        for (int m = 0; m < complete; ++m) {
            block.homeOnly[slotOf[m]] = items.homeOnly[m];
        }
    }
}

// The turns of a block's items, in order: the moves of the literal sweep,
// then each item's values into the sums of the next means.
template <class T>
void SettleBlock(const SweepJob& job, SweepWorkspace& ws,
                 const SweepBlock& block, int* ids, int* clusterSizes,
                 double& total) {
    // Locals, not the job's fields: the stores into the int arrays below
    // would otherwise make the compiler read every field again.
    const int K = job.clusterCount;
    const int D = job.valueCount;
    const bool means = job.means;
    const double* itemValues = job.itemValues;
    const unsigned char* itemComplete = job.itemComplete;
    const std::size_t sumsRow = static_cast<std::size_t>(job.paddedValueCount);
    double* sums = ws.sums;
    int* memberCounts = ws.memberCounts;
    const std::size_t paddedClusters =
        static_cast<std::size_t>(ws.view.paddedClusters);
    // Whole registers over the D values, no more: the rows of sums are
    // padded for the widest register, and nothing reads past D.
    const int addedCount = (D + T::kLanes - 1) / T::kLanes * T::kLanes;
    double sum = total;
    for (int g = 0; g < block.count; ++g) {
        const int item = block.first + g;
        const int home = ids[item];
        int c = home;
        if (clusterSizes[home] != 1) {
            const double* distance = block.distances + g * paddedClusters;
            double nearest = distance[home];
            if (!block.homeOnly[g]) {
                for (int j = 0; j < K; ++j) {
                    // Strict: an equally near cluster never takes the item.
                    if (j != home && nearest > distance[j]) {
                        c = j;
                        nearest = distance[j];
                    }
                }
                // The sizes the literal moves leave behind: each move takes
                // the item from where it was, so only home and c change.
                if (c != home) {
                    clusterSizes[home] -= 1;
                    clusterSizes[c] += 1;
                    ids[item] = c;
                }
            }
            sum += nearest;
        }
        if (!means) continue;
        const double* values = itemValues + static_cast<std::size_t>(item) * D;
        if (itemComplete[item]) {
            AddRow<T>(sums + static_cast<std::size_t>(c) * sumsRow, values,
                      addedCount);
            memberCounts[c] += 1;
        } else {
            AddIncompleteToMeans(job, ws, c, values, block.masks[g]);
        }
    }
    total = sum;
}

template <class T>
double Sweep(const SweepJob& job, SweepWorkspace& ws, int* ids,
             int* clusterSizes) {
    const int N = job.itemCount;
    // The centres were laid out for the sweep, so the centroid mask is free
    // to count the next means' incomplete members meanwhile.
    if (job.means) ClearMeans(job, ws);

    // Two blocks in flight: the next block's distances are computed before
    // this block's turns, which then wait for no square root or division.
    SweepBlock blocks[2];
    for (int b = 0; b < 2; ++b) {
        blocks[b].distances =
            ws.distances + static_cast<std::size_t>(b) * kSweepGroup *
                               static_cast<std::size_t>(ws.view.paddedClusters);
        blocks[b].gatheredMask =
            ws.gatheredMask + static_cast<std::size_t>(b) * kSweepGroup *
                                  static_cast<std::size_t>(job.valueCount);
    }
    auto start = [&](SweepBlock& block, int first) {
        block.first = first;
        block.count = N - first < kSweepGroup ? N - first : kSweepGroup;
        ComputeBlock<T>(job, ws, ids, block);
    };

    double total = 0.0;
    int current = 0;
    if (N > 0) start(blocks[0], 0);
    for (int first = 0; first < N; first += kSweepGroup) {
        if (N - first > kSweepGroup) {
            start(blocks[1 - current], first + kSweepGroup);
        }
        SettleBlock<T>(job, ws, blocks[current], ids, clusterSizes, total);
        current = 1 - current;
    }
    ws.meansPending = job.means;
    return total;
}

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_LOOP_H
