// The storage of a job and of a pass, each taken in one aligned block that
// also holds the object describing it, and what fills it: the items'
// compact copy and sums once per job, the centres' layout once per sweep.
#include "engine/sweep/SweepWorkspace.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>

#include "common/Allocate.h"
#include "engine/sweep/SweepBounds.h"
#include "engine/sweep/SweepDispatch.h"
#include "engine/sweep/VectorSweep.h"

namespace selvane {

namespace {

// One cache line, and the width of an AVX-512 register.
constexpr std::uint64_t kAlignment = 64;

// Far beyond any array that can be allocated; keeps the byte sums below
// exact in 64 bits.
constexpr std::uint64_t kLargestCount = std::uint64_t{1} << 48;

// Screening of the correlation needs sums of squares whose products and
// roots are normal numbers, so that every rounding error is relative.
constexpr double kSmallestScreened = 0x1p-500;
constexpr double kLargestScreened = 0x1p+500;

// Euclidean bounds need values and weights whose squares and products
// neither overflow nor lose more than a few units of 2^-1074 to underflow
// against a total weight of at least 2^-100.
constexpr double kLargestBoundedValue = 0x1p+200;
constexpr double kLargestBoundedWeight = 0x1p+100;
constexpr double kSmallestBoundedTotal = 0x1p-100;

inline bool BoundedValue(double x) {
    return std::fabs(x) <= kLargestBoundedValue;  // false for NaN
}

// The screening margin as a share of sqrt(sxx): 2^-40, against rounding
// errors of a few units of 2^-53 in the scores and distances.
constexpr double kMarginShare = 0x1p-40;

// A value whose weighted square may underflow though it is not 0.
inline bool Vanishing(double value) {
    return value != 0.0 && std::fabs(value) < kSmallestValue;
}

inline bool Screenable(double sumOfSquares) {
    return sumOfSquares >= kSmallestScreened &&
           sumOfSquares <= kLargestScreened;
}

// Offsets of the arrays within one block, each aligned; the object that
// describes them comes first.
struct Layout {
    std::uint64_t bytes = 0;
    bool fits = true;

    std::uint64_t Take(std::uint64_t count, std::uint64_t elementSize) {
        if (count > kLargestCount) fits = false;
        bytes = (bytes + kAlignment - 1) / kAlignment * kAlignment;
        const std::uint64_t at = bytes;
        if (fits) bytes += count * elementSize;
        return at;
    }
};

// The block of a layout, aligned; null when memory runs out. *raw gets what
// Release takes back.
unsigned char* TakeBlock(const Layout& layout, void** raw) {
    unsigned char* taken = AllocateArray<unsigned char>(
        static_cast<std::int64_t>(layout.bytes + kAlignment));
    *raw = taken;
    if (!taken) return nullptr;
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(taken);
    return taken + (kAlignment - address % kAlignment) % kAlignment;
}

template <typename T>
T* At(unsigned char* base, std::uint64_t offset) {
    return reinterpret_cast<T*>(base + offset);
}

inline bool SameBits(double a, double b) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

inline double ItemValue(const SweepJob& job, int item, int k) {
    return job.itemsAsColumns ? job.data[k][item] : job.data[item][k];
}

inline bool ItemPresent(const SweepJob& job, int item, int k) {
    return (job.itemsAsColumns ? job.mask[k][item] : job.mask[item][k]) != 0;
}

// What never changes during a job: which items are complete, their own sums
// of squares and margins, and the weights' properties.
void PrepareItems(SweepJob& job) {
    const int D = job.valueCount;
    bool unitWeights = true;
    bool screenable = true;
    bool boundedWeights = true;
    bool mayVanish = false;
    double completeWeight = 0.0;
    for (int k = 0; k < D; ++k) {
        const double w = job.weights[k];
        unitWeights = unitWeights && w == 1.0;
        screenable = screenable && w >= 0.0 && w <= kLargestScreened;
        boundedWeights = boundedWeights && w >= 0.0 &&
                         w <= kLargestBoundedWeight;
        mayVanish = mayVanish || !(w == 0.0 || w >= kSmallestWeight);
        completeWeight += w;
    }
    job.unitWeights = unitWeights;
    job.completeWeight = completeWeight;
    job.weightsScreenable = screenable;
    job.weightsBoundable = job.euclidean
                               ? boundedWeights &&
                                     completeWeight >= kSmallestBoundedTotal &&
                                     completeWeight <= kLargestBoundedWeight
                               : screenable;

    for (int i = 0; i < job.itemCount; ++i) {
        double* values = job.itemValues + static_cast<std::size_t>(i) * D;
        for (int k = 0; k < D; ++k) {
            values[k] = ItemValue(job, i, k);
            mayVanish = mayVanish ||
                        (ItemPresent(job, i, k) && Vanishing(values[k]));
        }

        bool complete = true;
        for (int k = 0; k < D && complete; ++k) {
            complete = ItemPresent(job, i, k);
        }
        job.itemComplete[i] = complete ? 1 : 0;
        double self = 0.0;
        double margin = 0.0;
        bool boundable = complete && job.weightsBoundable;
        if (complete && !job.euclidean) {
            for (int k = 0; k < D; ++k) {
                self += (job.weights[k] * values[k]) * values[k];
            }
            if (screenable && Screenable(self)) {
                margin = std::sqrt(self) * kMarginShare;
            }
            boundable = boundable && margin > 0.0;
        } else {
            for (int k = 0; k < D && boundable; ++k) {
                boundable = BoundedValue(values[k]);
            }
        }
        job.itemSelf[i] = self;
        job.itemMargin[i] = margin;
        unsigned char& block = job.blockBoundable[i / kSweepGroup];
        if (i % kSweepGroup == 0) block = 0;
        block = static_cast<unsigned char>(block | (boundable ? 1u : 0u)
                                                       << (i % kSweepGroup));
    }
    job.squaresMayVanish = mayVanish;
}

}  // namespace

bool OpenSweepJob(const SweepRequest& request, int requestedWidth,
                  SweepJob** opened) {
    *opened = nullptr;
    // The kernels need a value to vectorise.
    const int lanes = SweepWidthFor(request.clusterCount, requestedWidth);
    if (lanes == kLiteralSweep || request.items.valueCount <= 0) return true;

    const std::uint64_t D =
        static_cast<std::uint64_t>(request.items.valueCount);
    const std::uint64_t N = static_cast<std::uint64_t>(request.items.itemCount);
    const std::uint64_t K = static_cast<std::uint64_t>(request.clusterCount);
    const std::uint64_t width = static_cast<std::uint64_t>(lanes);
    const std::uint64_t paddedClusters = (K + width - 1) / width * width;
    const std::uint64_t paddedValues =
        (D + kSweepPadding - 1) / kSweepPadding * kSweepPadding;
    if (paddedClusters > INT_MAX || paddedValues > INT_MAX) return false;

    Layout layout;
    const std::uint64_t jobAt = layout.Take(1, sizeof(SweepJob));
    const std::uint64_t itemSelfAt = layout.Take(N, sizeof(double));
    const std::uint64_t itemMarginAt = layout.Take(N, sizeof(double));
    const std::uint64_t itemValuesAt =
        layout.Take(N * D + kSweepPadding, sizeof(double));
    const std::uint64_t itemCompleteAt = layout.Take(N, 1);
    const std::uint64_t blockBoundableAt =
        layout.Take((N + kSweepGroup - 1) / kSweepGroup, 1);
    if (!layout.fits) return false;
    void* raw;
    unsigned char* base = TakeBlock(layout, &raw);
    if (!base) return false;

    SweepJob& job = *new (base + jobAt) SweepJob();
    job.block = raw;
    static_cast<JobView&>(job) = request.items;
    job.clusterCount = request.clusterCount;
    switch (request.metric) {
        case Metric::kEuclidean: job.euclidean = true; break;
        case Metric::kCorrelation: job.euclidean = false; break;
    }
    switch (request.centres) {
        case Centres::kMeans: job.means = true; break;
        case Centres::kMedians: job.means = false; break;
    }
    job.sweep = SweepOfWidth(lanes);
    job.paddedClusters = static_cast<int>(paddedClusters);
    job.paddedValueCount = static_cast<int>(paddedValues);
    for (int j = 0; j < 2 * kSweepPadding; ++j) {
        job.paddingLanes[j] = j >= request.clusterCount ? -1 : 0;
    }
    job.itemSelf = At<double>(base, itemSelfAt);
    job.itemMargin = At<double>(base, itemMarginAt);
    job.itemValues = At<double>(base, itemValuesAt);
    for (int k = 0; k < kSweepPadding; ++k) job.itemValues[N * D + k] = 0.0;
    job.itemComplete = At<unsigned char>(base, itemCompleteAt);
    job.blockBoundable = At<unsigned char>(base, blockBoundableAt);
    PrepareBounds(job, lanes);
    PrepareItems(job);
    *opened = &job;
    return true;
}

void CloseSweepJob(SweepJob* job) {
    if (job) Release(job->block);
}

bool OpenSweepWorkspace(const SweepJob& job, DataMatrix centroidData,
                        MaskMatrix centroidMask, SweepWorkspace** opened) {
    *opened = nullptr;
    const std::uint64_t D = static_cast<std::uint64_t>(job.valueCount);
    const std::uint64_t K = static_cast<std::uint64_t>(job.clusterCount);
    const std::uint64_t paddedClusters =
        static_cast<std::uint64_t>(job.paddedClusters);
    // Rows for two blocks of items in flight.
    const std::uint64_t group = std::uint64_t{2} * kSweepGroup;
    const std::uint64_t gathered = job.itemsAsColumns ? group * D : 0;

    Layout layout;
    const std::uint64_t workspaceAt = layout.Take(1, sizeof(SweepWorkspace));
    const std::uint64_t centresAt =
        layout.Take(D * paddedClusters, sizeof(double));
    const std::uint64_t presentAt =
        layout.Take(D * paddedClusters, sizeof(std::int64_t));
    const std::uint64_t centreSelfAt =
        layout.Take(paddedClusters, sizeof(double));
    const std::uint64_t centreScaleAt =
        layout.Take(paddedClusters, sizeof(double));
    const std::uint64_t N = static_cast<std::uint64_t>(job.itemCount);
    const std::uint64_t lowerAt = layout.Take(N, sizeof(double));
    const std::uint64_t unitCentresAt =
        layout.Take(D * paddedClusters, sizeof(double));
    const std::uint64_t driftAt = layout.Take(paddedClusters, sizeof(double));
    const std::uint64_t odometerAt =
        layout.Take(paddedClusters, sizeof(double));
    const std::uint64_t groupStride =
        static_cast<std::uint64_t>(job.groupStride);
    const std::uint64_t groupBoundsAt =
        layout.Take(N * groupStride, sizeof(double));
    const std::uint64_t groupOdometerAt =
        layout.Take(groupStride, sizeof(double));
    const std::uint64_t homeDistanceAt = layout.Take(N, sizeof(double));
    const std::uint64_t steadyAt = layout.Take(paddedClusters, 1);
    const std::uint64_t touchedAt = layout.Take(paddedClusters, 1);
    const std::uint64_t distancesAt =
        layout.Take(group * paddedClusters, sizeof(double));
    const std::uint64_t sumsAt = layout.Take(
        K * static_cast<std::uint64_t>(job.paddedValueCount), sizeof(double));
    const std::uint64_t gatheredMaskAt = layout.Take(gathered, sizeof(int));
    const std::uint64_t memberCountsAt = layout.Take(K, sizeof(int));
    if (!layout.fits) return false;
    void* raw;
    unsigned char* base = TakeBlock(layout, &raw);
    if (!base) return false;

    SweepWorkspace& ws = *new (base + workspaceAt) SweepWorkspace();
    ws.block = raw;
    ws.centroidData = centroidData;
    ws.centroidMask = centroidMask;
    ws.centres = At<double>(base, centresAt);
    ws.present = At<std::int64_t>(base, presentAt);
    ws.centreSelf = At<double>(base, centreSelfAt);
    ws.centreScale = At<double>(base, centreScaleAt);
    ws.lower = At<double>(base, lowerAt);
    ws.unitCentres = At<double>(base, unitCentresAt);
    ws.unitCentresReady = false;
    ws.centresBoundable = false;
    ws.drift = At<double>(base, driftAt);
    ws.odometer = At<double>(base, odometerAt);
    ws.groupBounds = At<double>(base, groupBoundsAt);
    ws.groupOdometer = At<double>(base, groupOdometerAt);
    ws.homeDistance = At<double>(base, homeDistanceAt);
    ws.steady = At<unsigned char>(base, steadyAt);
    ws.touched = At<unsigned char>(base, touchedAt);
    ws.swept = false;
    ws.layoutReady = false;
    ws.distances = At<double>(base, distancesAt);
    ws.sums = At<double>(base, sumsAt);
    ws.gatheredMask = At<int>(base, gatheredMaskAt);
    ws.memberCounts = At<int>(base, memberCountsAt);
    ws.meansPending = false;
    // Bounds are read only after a sweep of the same pass has set them.
    for (std::uint64_t i = 0; i < N; ++i) {
        ws.lower[i] = 0.0;
        ws.homeDistance[i] = 0.0;
    }
    for (std::uint64_t j = 0; j < paddedClusters; ++j) {
        ws.drift[j] = 0.0;
        ws.odometer[j] = 0.0;
    }
    for (std::uint64_t g = 0; g < groupStride; ++g) ws.groupOdometer[g] = 0.0;
    // Groups beyond the clusters bound nothing, so never fail.
    for (std::uint64_t b = 0; b < N * groupStride; ++b) {
        const bool real = static_cast<int>(b % groupStride) < job.boundGroups;
        ws.groupBounds[b] = real ? 0.0 : HUGE_VAL;
    }

    ws.view.valueCount = job.valueCount;
    ws.view.clusterCount = job.clusterCount;
    ws.view.paddedClusters = job.paddedClusters;
    ws.view.euclidean = job.euclidean;
    ws.view.unitWeights = job.unitWeights;
    ws.view.completeWeight = job.completeWeight;
    ws.view.weights = job.weights;
    ws.view.centres = ws.centres;
    ws.view.present = ws.present;
    ws.view.centresComplete = false;
    ws.view.centreSelf = ws.centreSelf;
    ws.view.screen = false;
    ws.view.centreScale = ws.centreScale;
    ws.view.track = false;
    ws.view.bounded = false;
    ws.view.drift = ws.drift;
    ws.view.odometer = ws.odometer;
    ws.view.groupOdometer = ws.groupOdometer;
    ws.view.boundGroups = job.boundGroups;
    ws.view.groupRegisters = job.groupRegisters;
    ws.view.groupClusters = job.groupClusters;
    ws.view.groupStride = job.groupStride;
    ws.view.boundScale = job.boundScale;
    ws.view.boundAbsolute = job.boundAbsolute;
    ws.view.upperFactor = job.upperFactor;
    ws.view.lowerFactor = job.lowerFactor;
    ws.view.squaresMayVanish = job.squaresMayVanish;
    *opened = &ws;
    return true;
}

void CloseSweepWorkspace(SweepWorkspace* workspace) {
    if (workspace) Release(workspace->block);
}

void LayOutCentres(const SweepJob& job, SweepWorkspace& ws) {
    const int D = job.valueCount;
    const int K = job.clusterCount;
    const std::size_t paddedClusters =
        static_cast<std::size_t>(job.paddedClusters);
    bool complete = true;
    bool mayVanish = job.squaresMayVanish;
    // The first layout of a pass has nothing to compare with.
    const bool compare = ws.layoutReady;
    for (std::size_t j = 0; j < paddedClusters; ++j) {
        ws.steady[j] = compare ? 1 : 0;
    }
    ws.layoutReady = true;
    for (int k = 0; k < D; ++k) {
        double* centres = ws.centres + k * paddedClusters;
        std::int64_t* present = ws.present + k * paddedClusters;
        for (int j = 0; j < K; ++j) {
            const double value = job.itemsAsColumns ? ws.centroidData[k][j]
                                                    : ws.centroidData[j][k];
            const int mask = job.itemsAsColumns ? ws.centroidMask[k][j]
                                                : ws.centroidMask[j][k];
            const std::int64_t presence = mask != 0 ? -1 : 0;
            // Bits, not values: 0.0 and -0.0 differ, and NaN equals itself.
            if (compare &&
                (!SameBits(centres[j], value) || present[j] != presence)) {
                ws.steady[j] = 0;
            }
            centres[j] = value;
            present[j] = presence;
            complete = complete && mask != 0;
            mayVanish = mayVanish || (mask != 0 && Vanishing(value));
        }
        for (std::size_t j = static_cast<std::size_t>(K); j < paddedClusters;
             ++j) {
            centres[j] = 0.0;
            present[j] = 0;
        }
    }
    ws.view.centresComplete = complete;
    if (job.euclidean) {
        bool boundable = complete && job.weightsBoundable;
        for (int k = 0; k < D && boundable; ++k) {
            const double* centres = ws.centres + k * paddedClusters;
            for (int j = 0; j < K && boundable; ++j) {
                boundable = BoundedValue(centres[j]);
            }
        }
        ws.centresBoundable = boundable;
    }
    ws.view.squaresMayVanish = mayVanish;

    for (std::size_t j = 0; j < paddedClusters; ++j) {
        ws.centreSelf[j] = 0.0;
        ws.centreScale[j] = 0.0;
    }
    if (job.euclidean) {
        ws.view.screen = complete && job.completeWeight > 0.0;
        TrackCentres(job, ws);
        return;
    }
    bool screen = complete && job.weightsScreenable;
    if (complete) {
        for (int j = 0; j < K; ++j) {
            double self = 0.0;
            for (int k = 0; k < D; ++k) {
                const double x = ws.centres[k * paddedClusters + j];
                self += (job.weights[k] * x) * x;
            }
            ws.centreSelf[j] = self;
            screen = screen && Screenable(self);
            if (screen) ws.centreScale[j] = 1.0 / std::sqrt(self);
        }
    }
    ws.view.screen = screen;
    TrackCentres(job, ws);
}

}  // namespace selvane
