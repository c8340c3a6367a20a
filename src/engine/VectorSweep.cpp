#include "engine/VectorSweep.h"

#include <climits>
#include <cmath>
#include <cstddef>

#include "engine/Allocate.h"
#include "engine/SweepControls.h"

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

// The screening margin as a share of sqrt(sxx): 2^-40, against rounding
// errors of a few units of 2^-53 in the scores and distances.
constexpr double kMarginShare = 0x1p-40;

inline bool Screenable(double sumOfSquares) {
    return sumOfSquares >= kSmallestScreened &&
           sumOfSquares <= kLargestScreened;
}

// Offsets of the workspace arrays within its one block, each aligned.
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

SweepFunction SweepFor(int lanes) {
    switch (lanes) {
        case kAvx512Lanes: return Avx512Sweep();
        case kAvx2Lanes: return Avx2Sweep();
        default: return Sse2Sweep();
    }
}

inline double ItemValue(const SweepJob& job, int item, int k) {
    return job.itemsAsColumns ? job.data[k][item] : job.data[item][k];
}

inline bool ItemPresent(const SweepJob& job, int item, int k) {
    return (job.itemsAsColumns ? job.mask[k][item] : job.mask[item][k]) != 0;
}

// What never changes during a job: which items are complete, their own sums
// of squares and margins, and the weights' properties.
void PrepareItems(const SweepJob& job, SweepWorkspace& ws) {
    const int D = job.valueCount;
    bool unitWeights = true;
    bool screenable = true;
    double completeWeight = 0.0;
    for (int k = 0; k < D; ++k) {
        const double w = job.weights[k];
        unitWeights = unitWeights && w == 1.0;
        screenable = screenable && w >= 0.0 && w <= kLargestScreened;
        completeWeight += w;
    }
    ws.view.unitWeights = unitWeights;
    ws.view.completeWeight = completeWeight;
    ws.weightsScreenable = screenable;

    for (int i = 0; i < job.itemCount; ++i) {
        double* values = ws.itemValues + static_cast<std::size_t>(i) * D;
        for (int k = 0; k < D; ++k) values[k] = ItemValue(job, i, k);

        bool complete = true;
        for (int k = 0; k < D && complete; ++k) {
            complete = ItemPresent(job, i, k);
        }
        ws.itemComplete[i] = complete ? 1 : 0;
        double self = 0.0;
        double margin = 0.0;
        if (complete && !job.euclidean) {
            for (int k = 0; k < D; ++k) {
                self += (job.weights[k] * values[k]) * values[k];
            }
            if (screenable && Screenable(self)) {
                margin = std::sqrt(self) * kMarginShare;
            }
        }
        ws.itemSelf[i] = self;
        ws.itemMargin[i] = margin;
    }
}

// One aligned block of layout.bytes, or null.
unsigned char* AllocateAligned(const Layout& layout, unsigned char** base) {
    unsigned char* raw = AllocateArray<unsigned char>(
        static_cast<std::int64_t>(layout.bytes + kAlignment));
    if (!raw) return nullptr;
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(raw);
    *base = raw + (kAlignment - address % kAlignment) % kAlignment;
    return raw;
}

}  // namespace

bool OpenSweepWorkspace(const SweepJob& job, int lanes,
                        SweepWorkspace* workspace) {
    const std::uint64_t D = static_cast<std::uint64_t>(job.valueCount);
    const std::uint64_t N = static_cast<std::uint64_t>(job.itemCount);
    const std::uint64_t K = static_cast<std::uint64_t>(job.clusterCount);
    const std::uint64_t width = static_cast<std::uint64_t>(lanes);
    const std::uint64_t paddedClusters = (K + width - 1) / width * width;
    if (paddedClusters > INT_MAX) return false;
    const std::uint64_t paddedValues =
        (D + kSweepPadding - 1) / kSweepPadding * kSweepPadding;
    if (paddedValues > INT_MAX) return false;

    // What every pass only reads: the items.
    Layout layout;
    const std::uint64_t itemSelfAt = layout.Take(N, sizeof(double));
    const std::uint64_t itemMarginAt = layout.Take(N, sizeof(double));
    const std::uint64_t itemValuesAt =
        layout.Take(N * D + kSweepPadding, sizeof(double));
    const std::uint64_t itemCompleteAt = layout.Take(N, 1);
    if (!layout.fits) return false;
    unsigned char* base = nullptr;
    unsigned char* raw = AllocateAligned(layout, &base);
    if (!raw) return false;

    SweepWorkspace& ws = *workspace;
    ws.block = raw;
    ws.workerBlock = nullptr;
    ws.sweep = SweepFor(lanes);
    ws.itemSelf = reinterpret_cast<double*>(base + itemSelfAt);
    ws.itemMargin = reinterpret_cast<double*>(base + itemMarginAt);
    ws.itemValues = reinterpret_cast<double*>(base + itemValuesAt);
    for (int k = 0; k < kSweepPadding; ++k) ws.itemValues[N * D + k] = 0.0;
    ws.itemComplete = base + itemCompleteAt;
    ws.paddedValueCount = static_cast<int>(paddedValues);
    ws.view.valueCount = job.valueCount;
    ws.view.clusterCount = job.clusterCount;
    ws.view.paddedClusters = static_cast<int>(paddedClusters);
    ws.view.euclidean = job.euclidean;
    ws.view.weights = job.weights;
    ws.view.centresComplete = false;
    ws.view.screen = false;
    ws.meansPending = false;
    PrepareItems(job, ws);
    if (!OpenSweepWorker(job, ws, workspace)) {
        Release(raw);
        ws.block = nullptr;
        return false;
    }
    return true;
}

bool OpenSweepWorker(const SweepJob& job, const SweepWorkspace& items,
                     SweepWorkspace* worker) {
    const std::uint64_t D = static_cast<std::uint64_t>(job.valueCount);
    const std::uint64_t K = static_cast<std::uint64_t>(job.clusterCount);
    const std::uint64_t paddedClusters =
        static_cast<std::uint64_t>(items.view.paddedClusters);
    const std::uint64_t paddedValues =
        static_cast<std::uint64_t>(items.paddedValueCount);
    // Rows for two blocks of items in flight.
    const std::uint64_t group = 2 * kSweepGroup;
    const std::uint64_t gathered = job.itemsAsColumns ? group * D : 0;

    Layout layout;
    const std::uint64_t centresAt =
        layout.Take(D * paddedClusters, sizeof(double));
    const std::uint64_t presentAt =
        layout.Take(D * paddedClusters, sizeof(std::int64_t));
    const std::uint64_t centreSelfAt =
        layout.Take(paddedClusters, sizeof(double));
    const std::uint64_t centreScaleAt =
        layout.Take(paddedClusters, sizeof(double));
    const std::uint64_t distancesAt =
        layout.Take(group * paddedClusters, sizeof(double));
    const std::uint64_t sumsAt = layout.Take(K * paddedValues, sizeof(double));
    const std::uint64_t gatheredMaskAt = layout.Take(gathered, sizeof(int));
    const std::uint64_t memberCountsAt = layout.Take(K, sizeof(int));
    if (!layout.fits) return false;
    unsigned char* base = nullptr;
    unsigned char* raw = AllocateAligned(layout, &base);
    if (!raw) return false;

    SweepWorkspace& ws = *worker;
    if (&ws != &items) {
        ws = items;
        ws.block = nullptr;  // the items belong to the workspace they came from
    }
    ws.workerBlock = raw;
    ws.centres = reinterpret_cast<double*>(base + centresAt);
    ws.present = reinterpret_cast<std::int64_t*>(base + presentAt);
    ws.centreSelf = reinterpret_cast<double*>(base + centreSelfAt);
    ws.centreScale = reinterpret_cast<double*>(base + centreScaleAt);
    ws.distances = reinterpret_cast<double*>(base + distancesAt);
    ws.sums = reinterpret_cast<double*>(base + sumsAt);
    ws.gatheredMask = reinterpret_cast<int*>(base + gatheredMaskAt);
    ws.memberCounts = reinterpret_cast<int*>(base + memberCountsAt);
    ws.view.centres = ws.centres;
    ws.view.present = ws.present;
    ws.view.centreSelf = ws.centreSelf;
    ws.view.centreScale = ws.centreScale;
    ws.view.centresComplete = false;
    ws.view.screen = false;
    ws.meansPending = false;
    return true;
}

void CloseSweepWorkspace(SweepWorkspace* workspace) {
    Release(workspace->workerBlock);
    workspace->workerBlock = nullptr;
    Release(workspace->block);
    workspace->block = nullptr;
}

void LoadSweepCentres(const SweepJob& job, SweepWorkspace& ws) {
    const int D = job.valueCount;
    const int K = job.clusterCount;
    const std::size_t paddedClusters =
        static_cast<std::size_t>(ws.view.paddedClusters);
    bool complete = true;
    for (int k = 0; k < D; ++k) {
        double* centres = ws.centres + k * paddedClusters;
        std::int64_t* present = ws.present + k * paddedClusters;
        if (job.itemsAsColumns) {
            const double* values = job.centroidData[k];
            const int* mask = job.centroidMask[k];
            for (int j = 0; j < K; ++j) {
                centres[j] = values[j];
                present[j] = mask[j] != 0 ? -1 : 0;
                complete = complete && mask[j] != 0;
            }
        } else {
            for (int j = 0; j < K; ++j) {
                centres[j] = job.centroidData[j][k];
                present[j] = job.centroidMask[j][k] != 0 ? -1 : 0;
                complete = complete && job.centroidMask[j][k] != 0;
            }
        }
        for (std::size_t j = static_cast<std::size_t>(K); j < paddedClusters;
             ++j) {
            centres[j] = 0.0;
            present[j] = 0;
        }
    }
    ws.view.centresComplete = complete;

    for (std::size_t j = 0; j < paddedClusters; ++j) {
        ws.centreSelf[j] = 0.0;
        ws.centreScale[j] = 0.0;
    }
    if (job.euclidean) {
        ws.view.screen = complete && ws.view.completeWeight > 0.0;
        return;
    }
    bool screen = complete && ws.weightsScreenable;
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
}

}  // namespace selvane
