#include "engine/PassLoop.h"

#include <cmath>
#include <cstring>

#include "common/Allocate.h"
#include "common/PassCounters.h"
#include "engine/PassPiece.h"
#include "engine/PassRun.h"
#include "engine/PassThreads.h"
#include "engine/ScratchPool.h"
#include "engine/sweep/SweepMove.h"
#include "engine/sweep/VectorSweep.h"

namespace selvane {

namespace {

// "No total yet": any finished pass compares below it.
constexpr double kNoTotal = 1.7976931348623157e308;

// The save period stops doubling here, so it can never overflow an int.
constexpr int kLongestSavePeriod = 1073741823;

void ComputeCentres(const PassJob& job, const PassScratch& scratch,
                    const int* ids) {
    // With means, the vector sweep gives the next centres itself: it formed
    // their sums during the last sweep.
    if (!scratch.sweep ||
        !NextSweepCentres(*job.sweepJob, *scratch.sweep, ids)) {
        switch (job.centres) {
            case Centres::kMedians:
                job.engine->ComputeClusterMedians(
                    job.clusterCount, job.rowCount, job.columnCount, job.data,
                    job.mask, ids, scratch.centroidData, scratch.centroidMask,
                    job.itemsAsColumns, scratch.workValues, scratch.memberOrder,
                    scratch.clusterStarts,
                    scratch.sweep ? TouchedClusters(*scratch.sweep) : nullptr);
                break;
            case Centres::kMeans:
                job.engine->ComputeClusterMeans(
                    job.clusterCount, job.rowCount, job.columnCount, job.data,
                    job.mask, ids, scratch.centroidData, scratch.centroidMask,
                    job.itemsAsColumns);
                break;
        }
    }
    if (scratch.sweep) LayOutCentres(*job.sweepJob, *scratch.sweep);
}

inline double Distance(const PassJob& job, const PassScratch& scratch, int item,
                       int cluster) {
    return job.distance(job.valueCount, job.data, scratch.centroidData,
                        job.mask, scratch.centroidMask, job.weights, item,
                        cluster, job.itemsAsColumns);
}

// Moves every item to its nearest centre and returns the sum of the
// distances. The centres stay fixed for the sweep while the sizes follow
// every move, so an item left alone by earlier moves is not taken away.
double Reassign(const PassJob& job, const PassScratch& scratch, int* ids) {
    if (scratch.sweep) {
        return ReassignItems(*job.sweepJob, *scratch.sweep, ids,
                             scratch.clusterSizes);
    }
    int* sizes = scratch.clusterSizes;
    double total = 0.0;
    for (int i = 0; i < job.itemCount; ++i) {
        const int home = ids[i];
        if (sizes[home] == 1) continue;
        double nearest = Distance(job, scratch, i, home);
        for (int j = 0; j < job.clusterCount; ++j) {
            if (j == home) continue;
            const double candidate = Distance(job, scratch, i, j);
            if (TakesItem(candidate, nearest)) {
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

void DrawStart(const PassJob& job, int* ids) {
    if (job.itemStarts) {
        DrawItemStart(*job.itemStarts, ids, *job.generator);
    } else {
        job.engine->AssignRandomStart(job.clusterCount, job.itemCount, ids,
                                      *job.generator);
    }
}

PassOutcome RunOnePass(const PassJob& job, const PassScratch& scratch,
                       int* ids) {
    if (scratch.sweep) StartSweepPass(*scratch.sweep);
    int* sizes = scratch.clusterSizes;
    for (int k = 0; k < job.clusterCount; ++k) sizes[k] = 0;
    for (int i = 0; i < job.itemCount; ++i) sizes[ids[i]] += 1;

    const std::size_t idBytes =
        static_cast<std::size_t>(job.itemCount) * sizeof(int);
    int savePeriod = 10;
    PassOutcome outcome{kNoTotal, 0, false};
    for (;;) {
        if (CancelRequested(*job.run)) {
            outcome.stopped = true;
            break;
        }
        const double previous = outcome.total;
        // Saves at geometrically spaced iterations catch a pass that cycles
        // back to an earlier assignment at a cost that stays small.
        if (outcome.iterations % savePeriod == 0) {
            std::memcpy(scratch.saved, ids, idBytes);
            if (savePeriod < kLongestSavePeriod) savePeriod *= 2;
        }
        ++outcome.iterations;
        CountIteration();
        ComputeCentres(job, scratch, ids);
        outcome.total = Reassign(job, scratch, ids);
        // A total that is not a number can never again be "no smaller than
        // before", and the assignment need never repeat: such a pass would
        // run for ever, so it ends here as if it had settled.
        if (outcome.total >= previous || std::isnan(outcome.total)) break;
        if (std::memcmp(ids, scratch.saved, idBytes) == 0) break;
    }
    return outcome;
}

void TakePass(const PassJob& job, BestSoFar& best, int pass, const int* ids,
              const PassOutcome& outcome, int passCount) {
    const std::size_t idBytes =
        static_cast<std::size_t>(job.itemCount) * sizeof(int);
    best.totalIterations += outcome.iterations;
    if (pass == 0) {
        // The first pass is the best so far whatever its total, so a job of
        // one cluster, or one whose totals are not numbers, still returns a
        // partition that some pass found.
        std::memcpy(best.clusterIds, ids, idBytes);
        *best.errorValue = outcome.total;
        best.iterations = outcome.iterations;
    } else if (SamePartition(best.clusterIds, ids, job.itemCount,
                             best.clusterMap, job.clusterCount)) {
        ++best.foundCount;
    } else if (outcome.total < *best.errorValue) {
        best.foundCount = 1;
        *best.errorValue = outcome.total;
        best.iterations = outcome.iterations;
        std::memcpy(best.clusterIds, ids, idBytes);
    }
    if (job.run->progress) {
        job.run->progress(job.run->progressContext, pass + 1, passCount);
    }
}

namespace {

// The passes, on one thread or several, over storage already open.
RunStatus RunOpenPasses(const PassJob& job, const ScratchPool& pool,
                        int passCount, int* workingIds, BestSoFar& best) {
    bool stopped = false;
    *best.errorValue = kNoTotal;
    if (pool.threads > 1 &&
        RunThreadedPasses(job, pool, passCount, best, &stopped)) {
        return stopped ? RunStatus::kCancelled : RunStatus::kDone;
    }
    // With one pass or none the only pass is the result: it works on the
    // caller's array itself, and passCount 0 refines the assignment the
    // caller put there.
    const RunSettings& run = *job.run;
    const int passes = passCount > 1 ? passCount : 1;
    for (int pass = 0; pass < passes; ++pass) {
        // Nothing more is drawn once the caller cancelled.
        if (CancelRequested(run)) return RunStatus::kCancelled;
        if (passCount != 0) DrawPassStart(job, pass, workingIds);
        CountPass();
        const PassOutcome outcome =
            RunOnePass(job, pool.scratches[0], workingIds);
        if (outcome.stopped) return RunStatus::kCancelled;
        NotePass(job, pass, workingIds, outcome);
        if (passCount <= 1) {
            *best.errorValue = outcome.total;
            best.iterations = outcome.iterations;
            best.totalIterations = outcome.iterations;
            if (run.progress) run.progress(run.progressContext, 1, 1);
        } else {
            TakePass(job, best, pass, workingIds, outcome, passCount);
        }
    }
    return RunStatus::kDone;
}

// The pass routines' found count: -1 for a run that returns no partition.
int FoundCountOf(const PassesResult& result) {
    switch (result.status) {
        case RunStatus::kDone: return result.foundCount;
        case RunStatus::kNoMemory:
        case RunStatus::kCancelled: return -1;
    }
    __builtin_unreachable();
}

}  // namespace

PassesResult RunPasses(ClusterEngine& engine, int clusterCount, int rowCount,
                       int columnCount, const double* const* data,
                       const int* const* mask, const double* weights,
                       int itemsAsColumns, int passCount, Metric metric,
                       DataMatrix centroidData, MaskMatrix centroidMask,
                       ClusterIdArray clusterIds, double* errorValue,
                       int* workingIds, int* clusterSizes, int* clusterMap,
                       Centres centres, double* workValues,
                       Generator& generator, const RunSettings& run,
                       RunReport* report, StartMethod start) {
    PassJob job;
    job.engine = &engine;
    job.generator = &generator;
    job.run = &run;
    job.clusterCount = clusterCount;
    job.rowCount = rowCount;
    job.columnCount = columnCount;
    static_cast<JobView&>(job) = {itemsAsColumns ? columnCount : rowCount,
                                  itemsAsColumns ? rowCount : columnCount,
                                  itemsAsColumns,
                                  data,
                                  mask,
                                  weights};
    job.metric = metric;
    job.distance = DistanceOf(metric);
    job.centres = centres;
    job.sweepJob = nullptr;
    job.itemStarts = nullptr;

    // Everything is taken here, once for all passes: the starts' candidates,
    // the items the vector sweep reads, shared, and for every thread what
    // its passes write.
    PassesResult result{RunStatus::kNoMemory, 0};
    BestSoFar best = {clusterIds, errorValue, clusterMap, 1, 0, 0};
    SweepJob* sweepJob = nullptr;
    ScratchPool pool;
    const bool startsOpen =
        start == StartMethod::kPartition || passCount == 0 ||
        OpenItemStarts({start, clusterCount, {job, job.distance}},
                       &job.itemStarts);
    if (startsOpen && run.piece && run.piece->startsOnly) {
        // A plan draws the starts and runs nothing.
        result = {DrawStartsOnly(job, passCount, workingIds), 1};
    } else if (startsOpen && OpenSweepJob({clusterCount, job, metric, centres},
                                          run.sweepWidth, &sweepJob)) {
        job.sweepJob = sweepJob;
        const int threads = PassThreadCount(passCount, job.itemCount,
                                            job.valueCount, clusterCount,
                                            run.threadCount);
        const ScratchLoan loan{centroidData, centroidMask, clusterSizes,
                               workValues, workingIds};
        if (OpenScratchPool(job, threads, loan, &pool)) {
            result.status =
                RunOpenPasses(job, pool, passCount, workingIds, best);
            result.foundCount = best.foundCount;
        }
    }
    if (report) {
        report->cancelled = result.status == RunStatus::kCancelled;
        report->bestPassIterations = best.iterations;
        report->totalIterations = best.totalIterations;
    }
    CloseScratchPool(job, &pool);
    CloseItemStarts(job.itemStarts);
    CloseSweepJob(sweepJob);
    return result;
}

int ClusterEngine::KMeansPasses(
    int clusterCount, int rowCount, int columnCount, const double* const* data,
    const int* const* mask, const double* weights, int itemsAsColumns,
    int passCount, MetricCode metric, DataMatrix centroidData,
    MaskMatrix centroidMask, ClusterIdArray clusterIds, double* errorValue,
    int* workingIds, int* clusterSizes, int* clusterMap, Generator& generator,
    const RunSettings& run, RunReport* report, StartMethod start) {
    return FoundCountOf(RunPasses(
        *this, clusterCount, rowCount, columnCount, data, mask, weights,
        itemsAsColumns, passCount, MetricOfCode(metric), centroidData,
        centroidMask, clusterIds, errorValue, workingIds, clusterSizes,
        clusterMap, Centres::kMeans, nullptr, generator, run, report, start));
}

int ClusterEngine::KMediansPasses(
    int clusterCount, int rowCount, int columnCount, const double* const* data,
    const int* const* mask, const double* weights, int itemsAsColumns,
    int passCount, MetricCode metric, DataMatrix centroidData,
    MaskMatrix centroidMask, ClusterIdArray clusterIds, double* errorValue,
    int* workingIds, int* clusterSizes, int* clusterMap, double* workValues,
    Generator& generator, const RunSettings& run, RunReport* report,
    StartMethod start) {
    return FoundCountOf(
        RunPasses(*this, clusterCount, rowCount, columnCount, data, mask,
                  weights, itemsAsColumns, passCount, MetricOfCode(metric),
                  centroidData, centroidMask, clusterIds, errorValue,
                  workingIds, clusterSizes, clusterMap, Centres::kMedians,
                  workValues, generator, run, report, start));
}

}  // namespace selvane
