#include "engine/PassLoop.h"

#include <cstring>

#include "engine/Allocate.h"
#include "engine/PassCounters.h"
#include "engine/SweepControls.h"
#include "engine/SweepMeans.h"
#include "engine/VectorSweep.h"

namespace selvane {

namespace {

// "No total yet": any finished pass compares below it.
constexpr double kNoTotal = 1.7976931348623157e308;

// The save period stops doubling here, so it can never overflow an int.
constexpr int kLongestSavePeriod = 1073741823;

struct Job {
    ClusterEngine* engine;
    int clusterCount;
    int rowCount;
    int columnCount;
    int itemCount;
    int valueCount;
    const double* const* data;
    const int* const* mask;
    const double* weights;
    int itemsAsColumns;
    DistanceFunction distance;
    DataMatrix centroidData;
    MaskMatrix centroidMask;
    int* clusterSizes;
    bool useMedians;
    double* workValues;
    // Scratch of the grouped medians: one int per item, clusterCount + 1.
    int* memberOrder;
    int* clusterStarts;
    // The vector sweep's view of the job and its storage; null when the
    // literal sweep runs.
    SweepJob sweepJob;
    SweepWorkspace* sweep;
};

void ComputeCentres(const Job& job, const int* ids) {
    if (job.sweep && !job.useMedians) {
        if (job.sweep->meansPending) {
            FinishMeans(job.sweepJob, *job.sweep);
        } else {
            VectorClusterMeans(job.sweepJob, *job.sweep, ids);
        }
    } else if (job.useMedians) {
        job.engine->ComputeClusterMedians(
            job.clusterCount, job.rowCount, job.columnCount, job.data,
            job.mask, ids, job.centroidData, job.centroidMask,
            job.itemsAsColumns, job.workValues, job.memberOrder,
            job.clusterStarts);
    } else {
        job.engine->ComputeClusterMeans(
            job.clusterCount, job.rowCount, job.columnCount, job.data,
            job.mask, ids, job.centroidData, job.centroidMask,
            job.itemsAsColumns);
    }
    if (job.sweep) LoadSweepCentres(job.sweepJob, *job.sweep);
}

inline double Distance(const Job& job, int item, int cluster) {
    return job.distance(job.valueCount, job.data, job.centroidData, job.mask,
                        job.centroidMask, job.weights, item, cluster,
                        job.itemsAsColumns);
}

// Moves every item to its nearest centre and returns the sum of the
// distances. The centres stay fixed for the sweep while the sizes follow
// every move, so an item left alone by earlier moves is not taken away.
double Reassign(const Job& job, int* ids) {
    if (job.sweep) {
        return job.sweep->sweep(job.sweepJob, *job.sweep, ids,
                                job.clusterSizes);
    }
    double total = 0.0;
    for (int i = 0; i < job.itemCount; ++i) {
        const int home = ids[i];
        if (job.clusterSizes[home] == 1) continue;
        double nearest = Distance(job, i, home);
        for (int j = 0; j < job.clusterCount; ++j) {
            if (j == home) continue;
            const double candidate = Distance(job, i, j);
            // Strict: an equally near cluster never takes the item.
            if (nearest > candidate) {
                job.clusterSizes[ids[i]] -= 1;
                ids[i] = j;
                job.clusterSizes[j] += 1;
                nearest = candidate;
            }
        }
        total += nearest;
    }
    return total;
}

// Runs one pass from the assignment in ids; returns its last total.
double RunOnePass(const Job& job, int* ids, int* saved) {
    // A fresh start: the sums the last pass left behind are not its means.
    if (job.sweep) job.sweep->meansPending = false;
    for (int k = 0; k < job.clusterCount; ++k) job.clusterSizes[k] = 0;
    for (int i = 0; i < job.itemCount; ++i) job.clusterSizes[ids[i]] += 1;

    const std::size_t idBytes = static_cast<std::size_t>(job.itemCount) * sizeof(int);
    int savePeriod = 10;
    int iteration = 0;
    double total = kNoTotal;
    for (;;) {
        const double previous = total;
        // Saves at geometrically spaced iterations catch a pass that cycles
        // back to an earlier assignment at a cost that stays small.
        if (iteration % savePeriod == 0) {
            std::memcpy(saved, ids, idBytes);
            if (savePeriod < kLongestSavePeriod) savePeriod *= 2;
        }
        ++iteration;
        CountIteration();
        ComputeCentres(job, ids);
        total = Reassign(job, ids);
        // A NaN total fails this test and the next one decides.
        if (total >= previous) break;
        if (std::memcmp(ids, saved, idBytes) == 0) break;
    }
    return total;
}

// True when every cluster of best corresponds to one cluster of current.
// Both have every cluster non-empty, so this decides equality up to
// renumbering.
bool SamePartition(const int* best, const int* current, int itemCount,
                   int* clusterMap, int clusterCount) {
    for (int k = 0; k < clusterCount; ++k) clusterMap[k] = -1;
    for (int i = 0; i < itemCount; ++i) {
        const int b = best[i];
        if (clusterMap[b] == -1) {
            clusterMap[b] = current[i];
        } else if (clusterMap[b] != current[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

int RunPasses(ClusterEngine& engine, int clusterCount, int rowCount,
              int columnCount, const double* const* data,
              const int* const* mask, const double* weights,
              int itemsAsColumns, int passCount, MetricCode metric,
              DataMatrix centroidData, MaskMatrix centroidMask,
              ClusterIdArray clusterIds, double* errorValue, int* workingIds,
              int* clusterSizes, int* clusterMap, bool useMedians,
              double* workValues) {
    Job job;
    job.engine = &engine;
    job.clusterCount = clusterCount;
    job.rowCount = rowCount;
    job.columnCount = columnCount;
    job.itemCount = itemsAsColumns ? columnCount : rowCount;
    job.valueCount = itemsAsColumns ? rowCount : columnCount;
    job.data = data;
    job.mask = mask;
    job.weights = weights;
    job.itemsAsColumns = itemsAsColumns;
    job.distance = SelectDistance(metric);
    job.centroidData = centroidData;
    job.centroidMask = centroidMask;
    job.clusterSizes = clusterSizes;
    job.useMedians = useMedians;
    job.workValues = workValues;

    job.sweepJob = {clusterCount,  job.itemCount, job.valueCount,
                    itemsAsColumns, data,          mask,
                    weights,        metric != 'u', !useMedians,
                    centroidData,   centroidMask};
    job.sweep = nullptr;

    int* saved = AllocateArray<int>(job.itemCount);
    if (!saved) return -1;
    job.memberOrder = nullptr;
    job.clusterStarts = nullptr;
    if (useMedians) {
        job.memberOrder = AllocateArray<int>(job.itemCount);
        job.clusterStarts =
            AllocateArray<int>(static_cast<std::int64_t>(clusterCount) + 1);
        if (!job.memberOrder || !job.clusterStarts) {
            Release(job.memberOrder);
            Release(job.clusterStarts);
            Release(saved);
            return -1;
        }
    }

    // The vector sweep's storage is taken here, once for all passes. A job
    // without values has nothing to vectorise.
    SweepWorkspace sweep;
    const int lanes = SweepWidthFor(clusterCount);
    if (lanes != kLiteralSweep && job.valueCount > 0) {
        if (!OpenSweepWorkspace(job.sweepJob, lanes, &sweep)) {
            Release(job.memberOrder);
            Release(job.clusterStarts);
            Release(saved);
            return -1;
        }
        job.sweep = &sweep;
    }

    *errorValue = kNoTotal;
    int foundCount = 1;
    int pass = 0;
    do {
        if (passCount != 0) {
            engine.AssignRandomStart(clusterCount, job.itemCount, workingIds);
        }
        CountPass();
        const double total = RunOnePass(job, workingIds, saved);
        if (passCount <= 1) {
            *errorValue = total;
            break;
        }
        if (pass == 0) {
            // The first pass is the best so far whatever its total, so a job
            // of one cluster, or one whose totals are not numbers, still
            // returns a partition that some pass found.
            std::memcpy(clusterIds, workingIds,
                        static_cast<std::size_t>(job.itemCount) * sizeof(int));
            *errorValue = total;
        } else if (SamePartition(clusterIds, workingIds, job.itemCount,
                                 clusterMap, clusterCount)) {
            ++foundCount;
        } else if (total < *errorValue) {
            foundCount = 1;
            *errorValue = total;
            std::memcpy(clusterIds, workingIds,
                        static_cast<std::size_t>(job.itemCount) * sizeof(int));
        }
        ++pass;
    } while (pass < passCount);

    if (job.sweep) CloseSweepWorkspace(job.sweep);
    Release(job.memberOrder);
    Release(job.clusterStarts);
    Release(saved);
    return foundCount;
}

int ClusterEngine::KMeansPasses(int clusterCount, int rowCount,
                                int columnCount, const double* const* data,
                                const int* const* mask, const double* weights,
                                int itemsAsColumns, int passCount,
                                MetricCode metric, DataMatrix centroidData,
                                MaskMatrix centroidMask,
                                ClusterIdArray clusterIds, double* errorValue,
                                int* workingIds, int* clusterSizes,
                                int* clusterMap) {
    return RunPasses(*this, clusterCount, rowCount, columnCount, data, mask,
                     weights, itemsAsColumns, passCount, metric, centroidData,
                     centroidMask, clusterIds, errorValue, workingIds,
                     clusterSizes, clusterMap, false, nullptr);
}

int ClusterEngine::KMediansPasses(
    int clusterCount, int rowCount, int columnCount,
    const double* const* data, const int* const* mask, const double* weights,
    int itemsAsColumns, int passCount, MetricCode metric,
    DataMatrix centroidData, MaskMatrix centroidMask,
    ClusterIdArray clusterIds, double* errorValue, int* workingIds,
    int* clusterSizes, int* clusterMap, double* workValues) {
    return RunPasses(*this, clusterCount, rowCount, columnCount, data, mask,
                     weights, itemsAsColumns, passCount, metric, centroidData,
                     centroidMask, clusterIds, errorValue, workingIds,
                     clusterSizes, clusterMap, true, workValues);
}

}  // namespace selvane
