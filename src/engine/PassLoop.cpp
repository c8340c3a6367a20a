#include "engine/PassLoop.h"

#include <cstring>

#include "common/Allocate.h"
#include "common/PassCounters.h"
#include "engine/sweep/VectorSweep.h"

namespace selvane {

namespace {

// "No total yet": any finished pass compares below it.
constexpr double kNoTotal = 1.7976931348623157e308;

// The save period stops doubling here, so it can never overflow an int.
constexpr int kLongestSavePeriod = 1073741823;

// What every pass of a job reads and none changes.
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
    bool useMedians;
    // The vector sweep's view of the items; null when the literal sweep
    // serves the job.
    const SweepJob* sweepJob;
};

// What one pass changes: its centres, cluster sizes and scratch.
struct Pass {
    DataMatrix centroidData;
    MaskMatrix centroidMask;
    int* clusterSizes;
    double* workValues;  // median scratch
    SweepWorkspace* sweep;  // null when the literal sweep runs
};

void ComputeCentres(const Job& job, const Pass& pass, const int* ids) {
    // With means, the vector sweep gives the next centres itself: it formed
    // their sums during the last sweep.
    if (!pass.sweep || !NextSweepCentres(*job.sweepJob, *pass.sweep, ids)) {
        if (job.useMedians) {
            job.engine->ComputeClusterMedians(
                job.clusterCount, job.rowCount, job.columnCount, job.data,
                job.mask, ids, pass.centroidData, pass.centroidMask,
                job.itemsAsColumns, pass.workValues);
        } else {
            job.engine->ComputeClusterMeans(
                job.clusterCount, job.rowCount, job.columnCount, job.data,
                job.mask, ids, pass.centroidData, pass.centroidMask,
                job.itemsAsColumns);
        }
    }
    if (pass.sweep) LayOutCentres(*job.sweepJob, *pass.sweep);
}

inline double Distance(const Job& job, const Pass& pass, int item,
                       int cluster) {
    return job.distance(job.valueCount, job.data, pass.centroidData,
                        job.mask, pass.centroidMask, job.weights, item,
                        cluster, job.itemsAsColumns);
}

// Moves every item to its nearest centre and returns the sum of the
// distances. The centres stay fixed for the sweep while the sizes follow
// every move, so an item left alone by earlier moves is not taken away.
double Reassign(const Job& job, const Pass& pass, int* ids) {
    if (pass.sweep) {
        return ReassignItems(*job.sweepJob, *pass.sweep, ids,
                             pass.clusterSizes);
    }
    int* sizes = pass.clusterSizes;
    double total = 0.0;
    for (int i = 0; i < job.itemCount; ++i) {
        const int home = ids[i];
        if (sizes[home] == 1) continue;
        double nearest = Distance(job, pass, i, home);
        for (int j = 0; j < job.clusterCount; ++j) {
            if (j == home) continue;
            const double candidate = Distance(job, pass, i, j);
            // Strict: an equally near cluster never takes the item.
            if (nearest > candidate) {
                sizes[ids[i]] -= 1;
                ids[i] = j;
                sizes[j] += 1;
                nearest = candidate;
            }
        }
        total += nearest;
    }
    return total;
}

// Runs one pass from the assignment in ids; returns its last total.
double RunOnePass(const Job& job, const Pass& pass, int* ids, int* saved) {
    if (pass.sweep) StartSweepPass(*pass.sweep);
    for (int k = 0; k < job.clusterCount; ++k) pass.clusterSizes[k] = 0;
    for (int i = 0; i < job.itemCount; ++i) pass.clusterSizes[ids[i]] += 1;

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
        ComputeCentres(job, pass, ids);
        total = Reassign(job, pass, ids);
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
    job.useMedians = useMedians;

    Pass pass;
    pass.centroidData = centroidData;
    pass.centroidMask = centroidMask;
    pass.clusterSizes = clusterSizes;
    pass.workValues = workValues;
    pass.sweep = nullptr;

    // Storage is taken here, once for all passes.
    int* saved = AllocateArray<int>(job.itemCount);
    if (!saved) return -1;
    SweepJob* sweepJob = nullptr;
    const SweepRequest request{clusterCount, job.itemCount, job.valueCount,
                               itemsAsColumns, data,       mask,
                               weights,        job.distance, !useMedians};
    if (!OpenSweepJob(request, &sweepJob) ||
        (sweepJob && !OpenSweepWorkspace(*sweepJob, centroidData,
                                         centroidMask, &pass.sweep))) {
        CloseSweepJob(sweepJob);
        Release(saved);
        return -1;
    }
    job.sweepJob = sweepJob;

    *errorValue = kNoTotal;
    int foundCount = 1;
    int passNumber = 0;
    do {
        if (passCount != 0) {
            engine.AssignRandomStart(clusterCount, job.itemCount, workingIds);
        }
        CountPass();
        const double total = RunOnePass(job, pass, workingIds, saved);
        if (passCount <= 1) {
            *errorValue = total;
            break;
        }
        if (passNumber == 0) {
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
        ++passNumber;
    } while (passNumber < passCount);

    CloseSweepWorkspace(pass.sweep);
    CloseSweepJob(sweepJob);
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
