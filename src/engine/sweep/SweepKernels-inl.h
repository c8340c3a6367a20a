// Compiles only inside an instruction set's target region (SweepPreamble.h).
//
// The distance kernels of the vector sweep, written once against a register
// type T and compiled once per instruction set: each SweepIsa.cpp includes
// SweepPreamble.h, opens its target region, defines T and includes this
// fragment and SweepLoop-inl.h, so that only the templates instantiated for
// T get the wider instructions. T provides:
//   Vec, Mask, kLanes, Zero, Set, Load, Store, Add, Sub, Mul, Div, Sqrt,
//   Min, Max, Least (the least lane), Gather (base[index[l]] in lane l),
//   Strided (p[l * stride] in lane l), kPickRegisters, Picker, MakePicker and
//   Pick (the same from registers of clusters; see SweepAvx2.cpp), LoadMask
//   (all bits set = present), NoLanes, Either, AddWhere (acc + term in the
//   lanes of the mask, acc itself elsewhere), Select (a in the lanes of the
//   mask, b elsewhere), IsZero, AnyNegativeOrNan, and LessBits, AtLeastBits and
//   NotAboveBits (a < b, a >= b and !(a > b), one bit per lane).
//
// Exactness: every lane repeats the scalar arithmetic of the distance
// functions operation for operation, in the same order and with the same
// operands; IEEE division and square root are exactly rounded, so the lanes
// give the scalar bits. An absent position leaves a lane's sums as they are
// (AddWhere), never adding a product with the absent value, which an
// infinite value would turn into NaN.
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_KERNELS_INL_H
#define SELVANE_ENGINE_SWEEP_SWEEP_KERNELS_INL_H

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "engine/CorrelationScaling.h"
#include "engine/sweep/SweepRivals-inl.h"
#include "engine/sweep/SweepTypes.h"

namespace selvane {

// The library's sqrt, not the instruction, decides what a negative argument
// gives (it may return its own NaN); the distance function calls it, so
// lanes whose product is negative or NaN go through it too.
template <class T>
typename T::Vec LibrarySqrt(typename T::Vec product) {
    double lanes[T::kLanes];
    T::Store(lanes, product);
    for (int l = 0; l < T::kLanes; ++l) lanes[l] = std::sqrt(lanes[l]);
    return T::Load(lanes);
}

// 1 - sxy / sqrt(syy * sxx), or 1.0 where either sum of squares is 0.0.
// Plain: the sums are screenable, so the product is a positive number.
template <class T, bool Plain = false>
typename T::Vec Correlation(typename T::Vec sxy, typename T::Vec sxx,
                            typename T::Vec syy) {
    using Vec = typename T::Vec;
    const Vec product = T::Mul(syy, sxx);
    Vec root = T::Sqrt(product);
    if (!Plain && T::AnyNegativeOrNan(product)) {
        root = LibrarySqrt<T>(product);
    }
    const Vec one = T::Set(1.0);
    const Vec distance = T::Sub(one, T::Div(sxy, root));
    return T::Select(T::Either(T::IsZero(sxx), T::IsZero(syy)), one, distance);
}

// The lanes whose sums CorrelationNeedsScaling rejects, a bit each, but
// for those with a sum of squares of 0.0 when view.squaresMayVanish is not
// set: their values are then truly 0 and the plain rule's 1.0 stands.
template <class T>
unsigned ScalingLanes(const SweepView& view, int c, typename T::Vec sxy,
                      typename T::Vec sxx, typename T::Vec syy) {
    const typename T::Vec product = T::Mul(syy, sxx);
    const unsigned plain = T::AtLeastBits(product, T::Set(DBL_MIN)) &
                           T::AtLeastBits(T::Set(DBL_MAX), product) &
                           T::AtLeastBits(T::Set(DBL_MAX), sxy) &
                           T::AtLeastBits(sxy, T::Set(-DBL_MAX));
    // Lanes beyond the clusters keep what the plain rule gave them.
    const int real = view.clusterCount - c;
    unsigned lanes = ~plain & (real >= T::kLanes ? (1u << T::kLanes) - 1u
                                                 : (1u << real) - 1u);
    if (!view.squaresMayVanish) {
        lanes &= T::LessBits(T::Zero(), sxx) & T::LessBits(T::Zero(), syy);
    }
    return lanes;
}

// Replaces the distances of the lanes named by lanes, of the register at
// cluster c, by the scaled correlation of the item (values x, present
// where present(k)) and each lane's centre, as the distance function forms
// it from the same sums.
template <class T, class Present>
void ScaleLanes(const SweepView& view, int c, unsigned lanes,
                typename T::Vec sxy, typename T::Vec sxx, typename T::Vec syy,
                const double* x, Present present, double* out) {
    double xy[T::kLanes];
    double xx[T::kLanes];
    double yy[T::kLanes];
    T::Store(xy, sxy);
    T::Store(xx, sxx);
    T::Store(yy, syy);
    const std::size_t paddedClusters =
        static_cast<std::size_t>(view.paddedClusters);
    for (; lanes != 0; lanes &= lanes - 1) {
        const int l = __builtin_ctz(lanes);
        const std::size_t j = static_cast<std::size_t>(c) + l;
        out[j] = ScaledCorrelation(xy[l], xx[l], yy[l], view.valueCount,
                                   [&](int k, double& w, double& a, double& b) {
                                       const std::size_t at =
                                           k * paddedClusters + j;
                                       if (!present(k) || view.present[at] == 0)
                                           return false;
                                       w = view.weights[k];
                                       a = x[k];
                                       b = view.centres[at];
                                       return true;
                                   });
    }
}

// Every position present for every pair: sxx is the item's own sum and syy
// the centre's, computed once, so only sxy remains per pair; it is stored
// in out for the screening. With unit weights w * x1 is x1 itself.
template <class T, int G, bool Unit, class Values>
void CorrelationSums(const SweepView& view, Values values, double* const* out) {
    using Vec = typename T::Vec;
    const int paddedClusters = view.paddedClusters;
    for (int c = 0; c < paddedClusters; c += T::kLanes) {
        Vec sxy[G];
        for (int g = 0; g < G; ++g) sxy[g] = T::Zero();
        const double* centre = view.centres + c;
        for (int k = 0; k < view.valueCount; ++k, centre += paddedClusters) {
            const Vec x2 = T::Load(centre);
            for (int g = 0; g < G; ++g) {
                const double wx1 = Unit ? values.At(g, k)
                                        : view.weights[k] * values.At(g, k);
                sxy[g] = T::Add(sxy[g], T::Mul(T::Set(wx1), x2));
            }
        }
        for (int g = 0; g < G; ++g) T::Store(out[g] + c, sxy[g]);
    }
}

// Every position present for every pair: the sums of (w * d) * d, stored in
// out; the total weight is the same number for every pair.
template <class T, int G, bool Unit, class Values>
void EuclideanSums(const SweepView& view, Values values, double* const* out) {
    using Vec = typename T::Vec;
    const int paddedClusters = view.paddedClusters;
    for (int c = 0; c < paddedClusters; c += T::kLanes) {
        Vec sum[G];
        for (int g = 0; g < G; ++g) sum[g] = T::Zero();
        const double* centre = view.centres + c;
        for (int k = 0; k < view.valueCount; ++k, centre += paddedClusters) {
            const Vec x2 = T::Load(centre);
            const Vec w = T::Set(view.weights[k]);
            for (int g = 0; g < G; ++g) {
                const Vec d = T::Sub(T::Set(values.At(g, k)), x2);
                const Vec wd = Unit ? d : T::Mul(w, d);
                sum[g] = T::Add(sum[g], T::Mul(wd, d));
            }
        }
        for (int g = 0; g < G; ++g) T::Store(out[g] + c, sum[g]);
    }
}

// Two registers of clusters, both at once: each item's value is broadcast
// once per position instead of once per register, and every lane still
// sees the operations above in the same order. 2G sums must stay in the
// registers, so G is at most 4 (and only where there are 16 or more).
template <class T, int G, bool Euclidean, bool Unit, class Values>
void PairSums(const SweepView& view, Values values, double* const* out) {
    using Vec = typename T::Vec;
    const int paddedClusters = view.paddedClusters;
    Vec low[G], high[G];
    for (int g = 0; g < G; ++g) low[g] = high[g] = T::Zero();
    const double* centre = view.centres;
    for (int k = 0; k < view.valueCount; ++k, centre += paddedClusters) {
        const Vec lowCentre = T::Load(centre);
        const Vec highCentre = T::Load(centre + T::kLanes);
        if (Euclidean) {
            const Vec w = T::Set(view.weights[k]);
            for (int g = 0; g < G; ++g) {
                const Vec x = T::Set(values.At(g, k));
                const Vec dLow = T::Sub(x, lowCentre);
                const Vec dHigh = T::Sub(x, highCentre);
                low[g] =
                    T::Add(low[g], T::Mul(Unit ? dLow : T::Mul(w, dLow), dLow));
                high[g] = T::Add(
                    high[g], T::Mul(Unit ? dHigh : T::Mul(w, dHigh), dHigh));
            }
        } else {
            for (int g = 0; g < G; ++g) {
                const Vec wx1 = T::Set(
                    Unit ? values.At(g, k) : view.weights[k] * values.At(g, k));
                low[g] = T::Add(low[g], T::Mul(wx1, lowCentre));
                high[g] = T::Add(high[g], T::Mul(wx1, highCentre));
            }
        }
    }
    for (int g = 0; g < G; ++g) {
        T::Store(out[g], low[g]);
        T::Store(out[g] + T::kLanes, high[g]);
    }
}

template <class T>
bool PairOfRegisters(const SweepView& view) {
    return kSweepGroup == 8 && view.paddedClusters == 2 * T::kLanes;
}

template <class T, int G, class Values>
void GroupSums(const SweepView& view, Values values, double* const* out) {
    constexpr int kPair = std::min(G, 4);  // only G <= 4 comes this way
    if (G <= 4 && PairOfRegisters<T>(view)) {
        if (view.euclidean) {
            if (view.unitWeights) {
                PairSums<T, kPair, true, true>(view, values, out);
            } else {
                PairSums<T, kPair, true, false>(view, values, out);
            }
        } else if (view.unitWeights) {
            PairSums<T, kPair, false, true>(view, values, out);
        } else {
            PairSums<T, kPair, false, false>(view, values, out);
        }
        return;
    }
    if (view.euclidean) {
        if (view.unitWeights) {
            EuclideanSums<T, G, true>(view, values, out);
        } else {
            EuclideanSums<T, G, false>(view, values, out);
        }
    } else if (view.unitWeights) {
        CorrelationSums<T, G, true>(view, values, out);
    } else {
        CorrelationSums<T, G, false>(view, values, out);
    }
}

template <class T, int G>
void CompleteSums(const SweepView& view, SweepItems& items, int first) {
    GroupSums<T, G>(view, RowValues{items.rows + first}, items.out + first);
}

// Sets items.homeOnly for a group screened by OnlyHomeCanWin; returns whether
// any item was screened out.
template <class T, bool Euclidean>
bool ScreenItems(const SweepView& view, SweepItems& items, int count) {
    const std::uint64_t clusters =
        view.clusterCount >= 64 ? ~std::uint64_t{0}
                                : (std::uint64_t{1} << view.clusterCount) - 1u;
    bool any = false;
    for (int g = 0; g < count; ++g) {
        items.homeOnly[g] =
            !items.track[g] &&
            OnlyHomeCanWin<T, Euclidean>(view, items.out[g], items.home[g],
                                         items.margin[g], clusters);
        any = any || items.homeOnly[g];
    }
    return any;
}

// The distances from the sums, for every lane of one item (values x). An
// item whose sums are screenable (margin above 0), against screenable
// centres, has sums of squares between 2^-500 and 2^500 and a product of
// them between 2^-1000 and 2^1000: it never needs the scaled form.
template <class T>
void AllDistances(const SweepView& view, const double* x, double self,
                  double margin, double* out) {
    const bool plain = view.screen && margin > 0.0;
    for (int c = 0; c < view.paddedClusters; c += T::kLanes) {
        const typename T::Vec sums = T::Load(out + c);
        if (view.euclidean) {
            T::Store(out + c, view.completeWeight == 0.0
                                  ? T::Zero()
                                  : T::Div(sums, T::Set(view.completeWeight)));
        } else {
            const typename T::Vec sxx = T::Set(self);
            const typename T::Vec syy = T::Load(view.centreSelf + c);
            if (plain) {
                T::Store(out + c, Correlation<T, true>(sums, sxx, syy));
                continue;
            }
            T::Store(out + c, Correlation<T>(sums, sxx, syy));
            const unsigned scaled = ScalingLanes<T>(view, c, sums, sxx, syy);
            if (scaled != 0) {
                ScaleLanes<T>(
                    view, c, scaled, sums, sxx, syy, x,
                    [](int) { return true; }, out);
            }
        }
    }
}

// The home distances of the items screened out, several items per
// register: lane g stands for item g.
template <class T>
void HomeDistances(const SweepView& view, SweepItems& items, int count) {
    constexpr int kRoom = (kSweepGroup + T::kLanes - 1) / T::kLanes * T::kLanes;
    double sums[kRoom];
    double selfs[kRoom];
    double centreSelfs[kRoom];
    for (int g = 0; g < count; ++g) {
        const int home = items.home[g];
        sums[g] = items.out[g][home];
        selfs[g] = items.self[g];
        centreSelfs[g] = view.centreSelf[home];
    }
    // Lanes beyond the items compute a harmless 1 - 0 / 1.
    for (int g = count; g < kRoom; ++g) {
        sums[g] = 0.0;
        selfs[g] = 1.0;
        centreSelfs[g] = 1.0;
    }
    for (int g = 0; g < count; g += T::kLanes) {
        const typename T::Vec s = T::Load(sums + g);
        if (view.euclidean) {
            // view.screen guarantees a positive total weight.
            T::Store(sums + g, T::Div(s, T::Set(view.completeWeight)));
        } else {
            T::Store(sums + g, Correlation<T>(s, T::Load(selfs + g),
                                              T::Load(centreSelfs + g)));
        }
    }
    for (int g = 0; g < count; ++g) {
        if (items.homeOnly[g]) items.out[g][items.home[g]] = sums[g];
    }
}

// The home sums of R registers of consecutive items, lane g of register r
// for item first + r * kLanes + g, each as its lane of the full sums would
// form it: sxy for the correlation, the sum of (w * d) * d for the
// Euclidean distance. The centres' values are picked from registers where
// the clusters fit in kPickRegisters, else gathered. Several registers at
// once, so that their chains of additions overlap.
template <class T, int R, bool Euclidean, bool Unit, bool Picked>
void LaneHomeSums(const SweepJob& job, const SweepView& view, int first,
                  const int* homes, typename T::Vec* sums) {
    using Vec = typename T::Vec;
    const int D = view.valueCount;
    const std::size_t paddedClusters =
        static_cast<std::size_t>(view.paddedClusters);
    const double* x = job.itemValues + static_cast<std::size_t>(first) * D;
    const std::ptrdiff_t registerStride = std::ptrdiff_t{T::kLanes} * D;
    // With a single register of clusters both picks read it.
    const int highAt = view.paddedClusters > T::kLanes ? T::kLanes : 0;
    typename T::Picker pickers[R];
    for (int r = 0; r < R; ++r) {
        sums[r] = T::Zero();
        if (Picked) pickers[r] = T::MakePicker(homes + r * T::kLanes);
    }
    const double* centre = view.centres;
    for (int k = 0; k < D; ++k, ++x, centre += paddedClusters) {
        Vec low = T::Zero(), high = T::Zero();
        if (Picked) {
            low = T::Load(centre);
            high = T::Load(centre + highAt);
        }
        const Vec w = T::Set(view.weights[k]);
        for (int r = 0; r < R; ++r) {
            const Vec x1 = T::Strided(x + r * registerStride, D);
            const Vec x2 = Picked ? T::Pick(low, high, pickers[r])
                                  : T::Gather(centre, homes + r * T::kLanes);
            if (Euclidean) {
                const Vec d = T::Sub(x1, x2);
                sums[r] = T::Add(sums[r], T::Mul(Unit ? d : T::Mul(w, d), d));
            } else {
                const Vec wx1 = Unit ? x1 : T::Mul(w, x1);
                sums[r] = T::Add(sums[r], T::Mul(wx1, x2));
            }
        }
    }
}

template <class T, int R, bool Euclidean>
void LaneHomeSumsOf(const SweepJob& job, const SweepView& view, int first,
                    const int* homes, typename T::Vec* sums) {
    const bool picked = T::kPickRegisters > 0 &&
                        view.paddedClusters <= T::kPickRegisters * T::kLanes;
    if (picked) {
        if (view.unitWeights) {
            LaneHomeSums<T, R, Euclidean, true, true>(job, view, first, homes,
                                                      sums);
        } else {
            LaneHomeSums<T, R, Euclidean, false, true>(job, view, first, homes,
                                                       sums);
        }
    } else if (view.unitWeights) {
        LaneHomeSums<T, R, Euclidean, true, false>(job, view, first, homes,
                                                   sums);
    } else {
        LaneHomeSums<T, R, Euclidean, false, false>(job, view, first, homes,
                                                    sums);
    }
}

template <class T, int R>
void HomeSumsOfBlock(const SweepJob& job, const SweepView& view, int first,
                     const int* homes, typename T::Vec* sums) {
    if (view.euclidean) {
        LaneHomeSumsOf<T, R, true>(job, view, first, homes, sums);
    } else {
        LaneHomeSumsOf<T, R, false>(job, view, first, homes, sums);
    }
}

// The sums of one complete item (values x) with N registers of clusters,
// those at registers[0 .. N), each lane as the full sums form it; together,
// so that the item's value is broadcast once per position.
template <class T, int N, bool Euclidean, bool Unit>
void SomeRegisterSums(const SweepView& view, const double* x,
                      const int* registers, double* out) {
    using Vec = typename T::Vec;
    const std::size_t paddedClusters =
        static_cast<std::size_t>(view.paddedClusters);
    Vec sums[N];
    const double* centre[N];
    for (int i = 0; i < N; ++i) {
        sums[i] = T::Zero();
        centre[i] = view.centres + registers[i] * T::kLanes;
    }
    for (int k = 0; k < view.valueCount; ++k) {
        const std::size_t at = k * paddedClusters;
        if (Euclidean) {
            const Vec x1 = T::Set(x[k]);
            const Vec w = T::Set(view.weights[k]);
            for (int i = 0; i < N; ++i) {
                const Vec d = T::Sub(x1, T::Load(centre[i] + at));
                sums[i] = T::Add(sums[i], T::Mul(Unit ? d : T::Mul(w, d), d));
            }
        } else {
            const Vec wx1 = T::Set(Unit ? x[k] : view.weights[k] * x[k]);
            for (int i = 0; i < N; ++i) {
                sums[i] = T::Add(sums[i], T::Mul(wx1, T::Load(centre[i] + at)));
            }
        }
    }
    for (int i = 0; i < N; ++i)
        T::Store(out + registers[i] * T::kLanes, sums[i]);
}

template <class T, bool Euclidean, bool Unit>
void RegisterSumsOf(const SweepView& view, const double* x,
                    const int* registers, int count, double* out) {
    for (; count >= 4; count -= 4, registers += 4) {
        SomeRegisterSums<T, 4, Euclidean, Unit>(view, x, registers, out);
    }
    switch (count) {
        case 3:
            return SomeRegisterSums<T, 3, Euclidean, Unit>(view, x, registers,
                                                           out);
        case 2:
            return SomeRegisterSums<T, 2, Euclidean, Unit>(view, x, registers,
                                                           out);
        case 1:
            return SomeRegisterSums<T, 1, Euclidean, Unit>(view, x, registers,
                                                           out);
        default: return;
    }
}

// The distances of one complete, bounded item (values x, own sum self) to
// the clusters of the count registers listed, into out (Kpad).
template <class T>
void RegisterDistances(const SweepView& view, const double* x, double self,
                       const int* registers, int count, double* out) {
    if (view.euclidean) {
        if (view.unitWeights) {
            RegisterSumsOf<T, true, true>(view, x, registers, count, out);
        } else {
            RegisterSumsOf<T, true, false>(view, x, registers, count, out);
        }
    } else if (view.unitWeights) {
        RegisterSumsOf<T, false, true>(view, x, registers, count, out);
    } else {
        RegisterSumsOf<T, false, false>(view, x, registers, count, out);
    }
    for (int i = 0; i < count; ++i) {
        double* at = out + registers[i] * T::kLanes;
        const typename T::Vec sums = T::Load(at);
        // Bounded items have screenable sums and a positive total weight.
        T::Store(
            at, view.euclidean
                    ? T::Div(sums, T::Set(view.completeWeight))
                    : Correlation<T, true>(
                          sums, T::Set(self),
                          T::Load(view.centreSelf + registers[i] * T::kLanes)));
    }
}

template <class T>
void CompleteDistances(const SweepView& view, SweepItems& items, int count) {
    int g = 0;
    if (!PairOfRegisters<T>(view)) {
        for (; count - g >= kSweepGroup; g += kSweepGroup) {
            CompleteSums<T, kSweepGroup>(view, items, g);
        }
    }
    for (; kSweepGroup > 4 && count - g >= 4; g += 4) {
        CompleteSums<T, 4>(view, items, g);
    }
    if (count - g >= 2) {
        CompleteSums<T, 2>(view, items, g);
        g += 2;
    }
    if (count - g == 1) CompleteSums<T, 1>(view, items, g);

    bool anyHomeOnly = false;
    if (!view.screen) {
        for (g = 0; g < count; ++g) items.homeOnly[g] = false;
    } else if (view.euclidean) {
        anyHomeOnly = ScreenItems<T, true>(view, items, count);
    } else {
        anyHomeOnly = ScreenItems<T, false>(view, items, count);
    }
    for (g = 0; g < count; ++g) {
        if (!items.homeOnly[g]) {
            AllDistances<T>(view, items.rows[g], items.self[g], items.margin[g],
                            items.out[g]);
        }
    }
    if (anyHomeOnly) HomeDistances<T>(view, items, count);
}

// One item with gaps, or centres with gaps: each lane keeps its own sums and
// its own record of whether any position was present.
template <class T, bool Euclidean>
void MaskedDistancesOf(const SweepView& view, const double* x, const int* mask,
                       double* out) {
    using Vec = typename T::Vec;
    using Mask = typename T::Mask;
    const int paddedClusters = view.paddedClusters;
    for (int c = 0; c < paddedClusters; c += T::kLanes) {
        // Euclidean: sum and total weight. Correlation: sxy, sxx, syy.
        Vec first = T::Zero();
        Vec second = T::Zero();
        Vec third = T::Zero();
        Mask any = T::NoLanes();
        const double* centre = view.centres + c;
        const std::int64_t* present = view.present + c;
        for (int k = 0; k < view.valueCount;
             ++k, centre += paddedClusters, present += paddedClusters) {
            if (mask[k] == 0) continue;
            const Mask lanes = T::LoadMask(present);
            const Vec x2 = T::Load(centre);
            const double w = view.weights[k];
            if (Euclidean) {
                const Vec d = T::Sub(T::Set(x[k]), x2);
                first =
                    T::AddWhere(lanes, first, T::Mul(T::Mul(T::Set(w), d), d));
                second = T::AddWhere(lanes, second, T::Set(w));
            } else {
                const double wx1 = w * x[k];
                first = T::AddWhere(lanes, first, T::Mul(T::Set(wx1), x2));
                second = T::AddWhere(lanes, second, T::Set(wx1 * x[k]));
                third = T::AddWhere(lanes, third,
                                    T::Mul(T::Mul(T::Set(w), x2), x2));
                any = T::Either(any, lanes);
            }
        }
        Vec distance;
        if (Euclidean) {
            distance =
                T::Select(T::IsZero(second), T::Zero(), T::Div(first, second));
        } else {
            distance =
                T::Select(any, Correlation<T>(first, second, third), T::Zero());
        }
        T::Store(out + c, distance);
        if (!Euclidean) {
            const unsigned scaled =
                ScalingLanes<T>(view, c, first, second, third);
            if (scaled != 0) {
                ScaleLanes<T>(
                    view, c, scaled, first, second, third, x,
                    [&](int k) { return mask[k] != 0; }, out);
            }
        }
    }
}

template <class T>
void MaskedDistances(const SweepView& view, const double* values,
                     const int* mask, double* out) {
    if (view.euclidean) {
        MaskedDistancesOf<T, true>(view, values, mask, out);
    } else {
        MaskedDistancesOf<T, false>(view, values, mask, out);
    }
}

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_KERNELS_INL_H
