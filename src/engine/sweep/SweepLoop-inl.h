// Compiles only inside an instruction set's target region (SweepPreamble.h).
//
// The loop of the vector sweep: blocks of items whose distances are
// computed ahead of their turns, then the turns themselves with the moves of
// the literal sweep, and after them the sums of the next means. Written
// once against a register type T, like the kernels, and included with them
// by each instruction set's source.
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_LOOP_INL_H
#define SELVANE_ENGINE_SWEEP_SWEEP_LOOP_INL_H

#include <cmath>
#include <cstddef>

#include "engine/sweep/SweepBounds.h"
#include "engine/sweep/SweepKernels-inl.h"
#include "engine/sweep/SweepMeans.h"
#include "engine/sweep/SweepMove.h"
#include "engine/sweep/SweepRivals-inl.h"
#include "engine/sweep/SweepTypes.h"
#include "engine/sweep/SweepWorkspace.h"

namespace selvane {

// sums[k] += values[k] over R whole registers, or over `registers` of them
// when R is 0: a row of a known few goes without counting.
template <class T, int R>
void AddRegisters(double* sums, const double* values, int registers) {
    for (int r = 0; r < (R > 0 ? R : registers); ++r) {
        const int k = r * T::kLanes;
        T::Store(sums + k, T::Add(T::Load(sums + k), T::Load(values + k)));
    }
}

// The sums of the next means of the clusters the sweep touched (all: every
// cluster), every member in item order as the sweep leaves them; a complete
// member's row is added in R whole registers (R = 0: any number).
template <class T, int R>
void SumMembers(const SweepJob& job, SweepWorkspace& ws, const int* ids,
                bool all) {
    const int N = job.itemCount;
    const int D = job.valueCount;
    const int registers = (D + T::kLanes - 1) / T::kLanes;
    const std::size_t sumsRow = static_cast<std::size_t>(job.paddedValueCount);
    const unsigned char* touched = ws.touched;
    const unsigned char* itemComplete = job.itemComplete;
    // A group of items at a time, their members found without a branch, so
    // that only the end of each group's loop is hard to predict.
    for (int first = 0; first < N; first += kSweepGroup) {
        const int count = N - first < kSweepGroup ? N - first : kSweepGroup;
        unsigned members = (2u << (count - 1)) - 1;
        if (!all) {
            members = 0;
            for (int g = 0; g < count; ++g) {
                members |= static_cast<unsigned>(touched[ids[first + g]]) << g;
            }
        }
        for (; members != 0; members &= members - 1) {
            const int i = first + __builtin_ctz(members);
            const int c = ids[i];
            if (!itemComplete[i]) {
                AddIncompleteToMeans(job, ws, c, i);
                continue;
            }
            double* sums = ws.sums + static_cast<std::size_t>(c) * sumsRow;
            const double* values =
                job.itemValues + static_cast<std::size_t>(i) * D;
            AddRegisters<T, R>(sums, values, registers);
            ws.memberCounts[c] += 1;
        }
    }
}

// A cluster no item left or joined keeps its members and so its mean; the
// others' sums are formed again. Whole registers over the D values, no
// more: the rows of sums are padded for the widest register, and nothing
// reads past D.
template <class T>
void SumTouchedClusters(const SweepJob& job, SweepWorkspace& ws,
                        const int* ids) {
    int touched = 0;
    for (int c = 0; c < job.clusterCount; ++c) touched += ws.touched[c];
    if (touched == 0) return;
    ClearMeans(job, ws, ws.touched);
    const bool all = touched == job.clusterCount;
    switch ((job.valueCount + T::kLanes - 1) / T::kLanes) {
        case 1: return SumMembers<T, 1>(job, ws, ids, all);
        case 2: return SumMembers<T, 2>(job, ws, ids, all);
        case 3: return SumMembers<T, 3>(job, ws, ids, all);
        case 4: return SumMembers<T, 4>(job, ws, ids, all);
        case 5: return SumMembers<T, 5>(job, ws, ids, all);
        case 6: return SumMembers<T, 6>(job, ws, ids, all);
        case 7: return SumMembers<T, 7>(job, ws, ids, all);
        case 8: return SumMembers<T, 8>(job, ws, ids, all);
        default: return SumMembers<T, 0>(job, ws, ids, all);
    }
}

// Lane j of the first two registers of clusters: j.
inline constexpr double kClusterIndex[2 * kSweepPadding] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

// The least lane of R registers.
template <class T, int R>
double LeastLane(const typename T::Vec* registers) {
    typename T::Vec least = registers[0];
    for (int r = 1; r < R; ++r) least = T::Min(least, registers[r]);
    return T::Least(least);
}

// The move of a tracked item in lanes, by TakesItem's rule: its
// distances are all finite (its sums and the centres' are screenable), so
// the nearest other cluster is the least lane of the registers of others
// (home's lane and those beyond the clusters +inf), the first of equals,
// found without a branch per cluster, which would be as hard to predict as
// the item is to place. registers(f) calls f(r, others of register r) in
// register order until f returns true. Returns the cluster the item ends
// in, with nearest its distance there and best the least of the others.
template <class T, class Registers>
__attribute__((always_inline)) inline int MoveInLanes(Registers registers,
                                                      const double* distance,
                                                      int home, double& nearest,
                                                      double& best) {
    using Vec = typename T::Vec;
    Vec others = T::Set(HUGE_VAL);
    registers([&](int, Vec v) {
        others = T::Min(others, v);
        return false;
    });
    best = T::Least(others);
    if (!TakesItem(best, nearest)) return home;
    const Vec least = T::Set(best);
    int c = home;
    registers([&](int r, Vec v) {
        const unsigned equal = T::AtLeastBits(v, least) &
                               T::AtLeastBits(least, v);
        if (equal == 0) return false;
        c = r * T::kLanes + __builtin_ctz(equal);
        return true;
    });
    nearest = distance[c];
    return c;
}

// The move of a tracked item whose clusters fit in R registers, and the
// least distance of the clusters it does not join, which renews its bound.
// Returns the cluster the item ends in.
template <class T, int R>
int MoveOnRegisters(const SweepJob& job, const double* distance, int home,
                    double& nearest, double& rival) {
    using Vec = typename T::Vec;
    const Vec inf = T::Set(HUGE_VAL);
    const Vec homeIndex = T::Set(static_cast<double>(home));
    Vec all[R];
    Vec others[R];
    for (int r = 0; r < R; ++r) {
        const int at = r * T::kLanes;
        all[r] = T::Select(T::LoadMask(job.paddingLanes + at), inf,
                           T::Load(distance + at));
        others[r] =
            T::Select(T::IsZero(T::Sub(T::Load(kClusterIndex + at), homeIndex)),
                      inf, all[r]);
    }
    auto registers = [&](auto visit) {
        for (int r = 0; r < R; ++r) {
            if (visit(r, others[r])) return;
        }
    };
    const int c = MoveInLanes<T>(registers, distance, home, nearest, rival);
    // Staying home, the nearest rival is the nearest other cluster.
    if (c == home) return home;
    const Vec joined = T::Set(static_cast<double>(c));
    Vec rest[R];
    for (int r = 0; r < R; ++r) {
        rest[r] = T::Select(
            T::IsZero(T::Sub(T::Load(kClusterIndex + r * T::kLanes), joined)),
            inf, all[r]);
    }
    rival = LeastLane<T, R>(rest);
    return c;
}

// Home sums of a few items, one after another, each as its lane of the
// full sums would form it: from 0.0, position by position.
template <bool Euclidean, bool Unit>
void ItemHomeSums(const SweepJob& job, const SweepView& view, int first,
                  const int* homes, unsigned wanted, double* sums) {
    const int D = view.valueCount;
    const std::size_t paddedClusters =
        static_cast<std::size_t>(view.paddedClusters);
    for (; wanted != 0; wanted &= wanted - 1) {
        const int g = __builtin_ctz(wanted);
        const double* x =
            job.itemValues + static_cast<std::size_t>(first + g) * D;
        const double* centre = view.centres + homes[g];
        double sum = 0.0;
        // Unrolled: the counting would cost as much as the arithmetic.
#pragma GCC unroll 8
        for (int k = 0; k < D; ++k) {
            if (Euclidean) {
                const double d = x[k] - centre[k * paddedClusters];
                sum += (Unit ? d : view.weights[k] * d) * d;
            } else {
                const double wx1 = Unit ? x[k] : view.weights[k] * x[k];
                sum += wx1 * centre[k * paddedClusters];
            }
        }
        sums[g] = sum;
    }
}

// Below this many items of a block, home sums item by item cost less than
// a whole block's in registers, whose gathers dominate.
constexpr int kLanedHomeSums = 4;

// The tracked items of a whole block, in a sweep whose bounds hold from the
// last: each gets its exact home distance in block.home (the last sweep's
// where its centre kept its bits), and its bound is tested against it.
// Returns a bit for each item that no rival can take, whose other
// distances are not needed.
template <class T>
__attribute__((always_inline)) inline unsigned BoundedItems(const SweepJob& job,
                                                            SweepWorkspace& ws,
                                                            const int* ids,
                                                            SweepBlock& block,
                                                            unsigned tracked) {
    using Vec = typename T::Vec;
    static_assert(T::kLanes <= kSweepGroup, "a block fills whole registers");
    constexpr int kRegisters = kSweepGroup / T::kLanes;
    const SweepView& view = ws.view;
    const int first = block.first;
    const int* homes = ids + first;
    double* home = block.home;
    Vec drifts[kRegisters];
    unsigned moved = 0;
    for (int r = 0; r < kRegisters; ++r) {
        const int at = r * T::kLanes;
        drifts[r] = T::Gather(view.drift, homes + at);
        moved |= T::LessBits(T::Zero(), drifts[r]) << at;
        T::Store(home + at, T::Load(ws.homeDistance + first + at));
    }
    moved &= tracked;
    if (moved != 0) {
        // Computed in every lane whose centre moved (harmlessly where the
        // item is not tracked), kept in the others.
        Vec sums[kRegisters];
        if (__builtin_popcount(moved) >= kLanedHomeSums) {
            HomeSumsOfBlock<T, kRegisters>(job, view, first, homes, sums);
        } else {
            double laneSums[kSweepGroup] = {};
            if (view.euclidean) {
                if (view.unitWeights) {
                    ItemHomeSums<true, true>(job, view, first, homes, moved,
                                             laneSums);
                } else {
                    ItemHomeSums<true, false>(job, view, first, homes, moved,
                                              laneSums);
                }
            } else if (view.unitWeights) {
                ItemHomeSums<false, true>(job, view, first, homes, moved,
                                          laneSums);
            } else {
                ItemHomeSums<false, false>(job, view, first, homes, moved,
                                           laneSums);
            }
            for (int r = 0; r < kRegisters; ++r) {
                sums[r] = T::Load(laneSums + r * T::kLanes);
            }
        }
        for (int r = 0; r < kRegisters; ++r) {
            const int at = r * T::kLanes;
            // Bounded Euclidean jobs have a positive total weight.
            const Vec computed =
                view.euclidean
                    ? T::Div(sums[r], T::Set(view.completeWeight))
                    : Correlation<T, true>(
                          sums[r], T::Load(job.itemSelf + first + at),
                          T::Gather(view.centreSelf, homes + at));
            T::Store(home + at, T::Select(T::IsZero(drifts[r]),
                                          T::Load(home + at), computed));
        }
    }

    unsigned failing = 0;
    for (int r = 0; r < kRegisters; ++r) {
        const int at = r * T::kLanes;
        const Vec upper = UpperLength<T>(view, T::Load(home + at));
        T::Store(block.upper + at, upper);
        failing |= BoundsFail<T>(T::Load(ws.lower + first + at),
                                 T::Gather(view.odometer, homes + at), upper)
                   << at;
    }
    return tracked & ~failing;
}

// The least length the group bounds of an item prove now, from its stored
// bounds (groupStride, padding groups +inf): the groups' readings in now.
template <class T>
double LeastGroupBound(const SweepView& view, const double* bounds,
                       double* now) {
    typename T::Vec least = T::Set(HUGE_VAL);
    for (int g = 0; g < view.groupStride; g += T::kLanes) {
        const typename T::Vec reading =
            T::Mul(T::Sub(T::Load(bounds + g), T::Load(view.groupOdometer + g)),
                   T::Set(1.0 - 0x1p-50));
        T::Store(now + g, reading);
        least = T::Min(least, reading);
    }
    return T::Least(least);
}

// An item whose bound failed, tested group by group: a bit for each group
// whose bound does not prove it farther than upper. With none, its bound
// becomes the least of the groups'.
template <class T>
unsigned FailingGroups(const SweepView& view, SweepWorkspace& ws, int item,
                       int home, double upper) {
    const double* bounds =
        ws.groupBounds + static_cast<std::size_t>(item) * view.groupStride;
    unsigned failing = 0;
    for (int g = 0; g < view.groupStride; g += T::kLanes) {
        failing |= BoundsFail<T>(T::Load(bounds + g),
                                 T::Load(view.groupOdometer + g), T::Set(upper))
                   << g;
    }
    failing &= (1u << view.boundGroups) - 1;
    if (failing == 0) {
        double now[kMostGroups];
        ws.lower[item] =
            LeastGroupBound<T>(view, bounds, now) + view.odometer[home];
    }
    return failing;
}

// The registers of clusters of one group, as a range.
struct GroupRegisters {
    int first;
    int last;  // one past
};

inline GroupRegisters RegistersOf(const SweepView& view, int group, int lanes) {
    const int first = group * view.groupRegisters;
    const int end = view.paddedClusters / lanes;
    return {first, first + view.groupRegisters < end
                       ? first + view.groupRegisters
                       : end};
}

// The literal moves of a tracked item among the clusters of the groups
// whose distances are computed (the others are farther than home, so none
// of them could win or tie), and its fresh bounds: each computed group's
// from its distances, the others' kept, with the cluster it left where
// that one's group was not computed. Returns the cluster it ends in.
template <class T>
int MoveAmongGroups(const SweepView& view, SweepWorkspace& ws, int item,
                    double* distance, unsigned groups, int home,
                    double& nearest) {
    using Vec = typename T::Vec;
    const Vec inf = T::Set(HUGE_VAL);
    const Vec offsets = T::Load(kClusterIndex);
    // Lanes beyond the clusters neither win nor bound.
    for (int j = view.clusterCount; j < view.paddedClusters; ++j) {
        distance[j] = HUGE_VAL;
    }
    // The distances of a register, with the given cluster's lane +inf.
    auto without = [&](int r, int cluster) {
        const Vec index =
            T::Add(T::Set(static_cast<double>(r * T::kLanes)), offsets);
        return T::Select(
            T::IsZero(T::Sub(index, T::Set(static_cast<double>(cluster)))), inf,
            T::Load(distance + r * T::kLanes));
    };
    auto registers = [&](auto visit) {
        for (unsigned rest = groups; rest != 0; rest &= rest - 1) {
            const GroupRegisters span =
                RegistersOf(view, __builtin_ctz(rest), T::kLanes);
            for (int r = span.first; r < span.last; ++r) {
                if (visit(r, without(r, home))) return;
            }
        }
    };
    const double homeDistance = nearest;
    double best;
    const int c = MoveInLanes<T>(registers, distance, home, nearest, best);

    double* bounds =
        ws.groupBounds + static_cast<std::size_t>(item) * view.groupStride;
    double now[kMostGroups];
    LeastGroupBound<T>(view, bounds, now);
    const int size = view.groupClusters;
    if (c != home && (groups >> (home / size) & 1u) == 0) {
        // Home's group was not computed: the cluster left joins its rivals.
        const int g = home / size;
        const double left =
            LowerLength(view, homeDistance) + view.groupOdometer[g];
        if (left < bounds[g]) {
            bounds[g] = left;
            now[g] = BoundNow(left, view.groupOdometer[g]);
        }
    }
    for (unsigned rest = groups; rest != 0; rest &= rest - 1) {
        const int g = __builtin_ctz(rest);
        const GroupRegisters span = RegistersOf(view, g, T::kLanes);
        Vec rivals = inf;
        for (int r = span.first; r < span.last; ++r) {
            rivals = T::Min(rivals, without(r, c));
        }
        const double length = LowerLength(view, T::Least(rivals));
        bounds[g] = length + view.groupOdometer[g];
        now[g] = length;
    }
    Vec least = inf;
    for (int g = 0; g < view.groupStride; g += T::kLanes) {
        least = T::Min(least, T::Load(now + g));
    }
    ws.lower[item] = T::Least(least) + view.odometer[c];
    return c;
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
    const int first = block.first;
    const unsigned all = (2u << (block.count - 1)) - 1;
    // The items whose bounds this sweep keeps: all their distances are
    // computed, unless the bounds spare them their rivals.
    const unsigned tracked =
        view.track ? job.blockBoundable[first / kSweepGroup] : 0u;
    unsigned spared = 0;
    unsigned homesKnown = 0;
    // Items whose distances are computed for some groups of clusters only.
    unsigned partial = 0;
    const unsigned allGroups = (1u << view.boundGroups) - 1;
    if (view.boundGroups > 0) {
        for (int g = 0; g < kSweepGroup; ++g) block.groups[g] = allGroups;
    }
    // The last block may be short: its items are computed in full.
    if (view.bounded && tracked != 0 && block.count == kSweepGroup) {
        spared = BoundedItems<T>(job, ws, ids, block, tracked);
        homesKnown = tracked;
        if (view.boundGroups > 0) {
            for (unsigned rest = tracked & ~spared; rest != 0;
                 rest &= rest - 1) {
                const int g = __builtin_ctz(rest);
                const unsigned failing = FailingGroups<T>(
                    view, ws, first + g, ids[first + g], block.upper[g]);
                spared |= static_cast<unsigned>(failing == 0) << g;
                partial |=
                    static_cast<unsigned>(failing != 0 && failing != allGroups)
                    << g;
                block.groups[g] = failing;
            }
        }
    }
    block.homeOnly = spared;
    block.renew = tracked & ~spared;
    for (unsigned rest = partial; rest != 0; rest &= rest - 1) {
        const int g = __builtin_ctz(rest);
        const int item = first + g;
        const double* values =
            job.itemValues + static_cast<std::size_t>(item) * D;
        double* slot = block.distances + g * paddedClusters;
        // The registers of the failing groups, a few at a time.
        constexpr int kListed = 16;
        int registers[kListed];
        int count = 0;
        const int end = view.paddedClusters / T::kLanes;
        for (unsigned groups = block.groups[g]; groups != 0;
             groups &= groups - 1) {
            const int r = __builtin_ctz(groups) * view.groupRegisters;
            for (int i = r; i < r + view.groupRegisters && i < end; ++i) {
                registers[count++] = i;
                if (count == kListed) {
                    RegisterDistances<T>(view, values, job.itemSelf[item],
                                         registers, count, slot);
                    count = 0;
                }
            }
        }
        RegisterDistances<T>(view, values, job.itemSelf[item], registers, count,
                             slot);
    }
    SweepItems items;
    int slotOf[kSweepGroup];
    int complete = 0;
    for (unsigned rest = all & ~spared & ~partial; rest != 0;
         rest &= rest - 1) {
        const int g = __builtin_ctz(rest);
        const int item = first + g;
        double* slot = block.distances + g * paddedClusters;
        const double* values =
            job.itemValues + static_cast<std::size_t>(item) * D;
        if (view.centresComplete && job.itemComplete[item]) {
            items.rows[complete] = values;
            items.self[complete] = job.itemSelf[item];
            items.margin[complete] = job.itemMargin[item];
            items.home[complete] = ids[item];
            items.out[complete] = slot;
            items.track[complete] = (tracked >> g & 1u) != 0;
            slotOf[complete] = g;
            ++complete;
            continue;
        }
        const int* mask;
        if (job.itemsAsColumns) {
            int* gathered =
                block.gatheredMask + static_cast<std::size_t>(g) * D;
            for (int k = 0; k < D; ++k) gathered[k] = job.mask[k][item];
            mask = gathered;
        } else {
            mask = job.mask[item];
        }
        MaskedDistances<T>(view, values, mask, slot);
    }
    if (complete > 0) {
        CompleteDistances<T>(view, items, complete);
        for (int m = 0; m < complete; ++m) {
            if (items.homeOnly[m]) block.homeOnly |= 1u << slotOf[m];
        }
    }
    // The turns read every item's home distance from one place.
    for (unsigned rest = all & ~homesKnown; rest != 0; rest &= rest - 1) {
        const int g = __builtin_ctz(rest);
        block.home[g] = block.distances[g * paddedClusters + ids[first + g]];
    }
}

// The turns of a block's items, in order: the moves of the literal sweep.
template <class T>
void SettleBlock(const SweepJob& job, SweepWorkspace& ws, SweepBlock& block,
                 int* ids, int* clusterSizes, double& total) {
    // Locals, not the job's fields: the stores into the int arrays below
    // would otherwise make the compiler read every field again.
    const int K = job.clusterCount;
    unsigned char* touched = ws.touched;
    const SweepView& view = ws.view;
    const std::size_t paddedClusters =
        static_cast<std::size_t>(view.paddedClusters);
    const int registers = view.paddedClusters / T::kLanes;
    const int first = block.first;
    const int count = block.count;
    const unsigned homeOnly = block.homeOnly;
    const unsigned renew = block.renew;
    const double* homes = block.home;
    double sum = total;
    double* homeDistance = ws.homeDistance;
    // A whole block spared its rivals moves nothing; with no cluster of one
    // member, every item adds its home distance, in order.
    if (homeOnly == (2u << (count - 1)) - 1 && ws.singletons == 0) {
        for (int g = 0; g < count; ++g) {
            sum += homes[g];
            homeDistance[first + g] = homes[g];
        }
        total = sum;
        return;
    }
    for (int g = 0; g < count; ++g) {
        const int item = first + g;
        const int home = ids[item];
        int c = home;
        double nearest = homes[g];
        if (clusterSizes[home] != 1) {
            if ((homeOnly >> g & 1u) == 0) {
                double* distance = block.distances + g * paddedClusters;
                if ((renew >> g & 1u) != 0 && view.boundGroups > 0) {
                    c = MoveAmongGroups<T>(view, ws, item, distance,
                                           block.groups[g], home, nearest);
                } else if ((renew >> g & 1u) != 0) {
                    // Without groups the clusters fit in two registers
                    // (PrepareBounds).
                    double rival;
                    c = registers == 1
                            ? MoveOnRegisters<T, 1>(job, distance, home,
                                                    nearest, rival)
                            : MoveOnRegisters<T, 2>(job, distance, home,
                                                    nearest, rival);
                    ws.lower[item] = StoredBound(view, rival, c);
                } else {
                    c = MoveAmong(distance, K, home, nearest);
                }
                // The sizes the literal moves leave behind: each move takes
                // the item from where it was, so only home and c change.
                if (c != home) {
                    // Only these two sizes change, so only they can become
                    // or stop being 1.
                    ws.singletons += (clusterSizes[home] == 2) +
                                     (clusterSizes[c] == 0) -
                                     (clusterSizes[c] == 1);
                    clusterSizes[home] -= 1;
                    clusterSizes[c] += 1;
                    ids[item] = c;
                    touched[home] = 1;
                    touched[c] = 1;
                }
            }
            sum += nearest;
        } else if ((renew >> g & 1u) != 0 && !view.bounded) {
            // Not compared this turn, and its bounds are older than the
            // odometers: 0 bounds nothing.
            ws.lower[item] = 0.0;
            double* bounds = ws.groupBounds +
                             static_cast<std::size_t>(item) * view.groupStride;
            for (int b = 0; b < view.boundGroups; ++b) bounds[b] = 0.0;
        }
        // Every item's distance to its cluster is known by now; the next
        // sweep reads it where that centre keeps its bits.
        homeDistance[item] = nearest;
    }
    total = sum;
}

template <class T>
double Sweep(const SweepJob& job, SweepWorkspace& ws, int* ids,
             int* clusterSizes) {
    const int N = job.itemCount;
    ws.singletons = 0;
    for (int c = 0; c < job.clusterCount; ++c) {
        ws.touched[c] = 0;
        ws.singletons += clusterSizes[c] == 1;
    }

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
    if (job.means) SumTouchedClusters<T>(job, ws, ids);
    ws.meansPending = job.means;
    ws.swept = true;
    return total;
}

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_LOOP_INL_H
