#include "engine/PassLoop.h"

#include <cmath>
#include <cstring>

#include "common/Allocate.h"
#include "common/PassCounters.h"
#include "engine/PassPiece.h"
#include "engine/PassRun.h"
#include "engine/PassThreads.h"
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

void CloseScratch(const PassJob& job, bool borrowed, PassScratch* scratch);

// Everything one thread's passes write, taken at once: false, with nothing
// left allocated, when memory runs out. The centroid matrices, sizes and
// median scratch of the first thread are the caller's, lent by the engine
// entry (`borrowed`).
bool OpenScratch(const PassJob& job, bool borrowed, PassScratch* scratch) {
    PassScratch& s = *scratch;
    const int centroidRows = job.itemsAsColumns ? job.valueCount
                                                : job.clusterCount;
    const int centroidColumns = job.itemsAsColumns ? job.clusterCount
                                                   : job.valueCount;
    s.saved = AllocateArray<int>(job.itemCount);
    bool ok = s.saved != nullptr;
    if (!borrowed) {
        s.centroidData = nullptr;
        s.centroidMask = nullptr;
        s.workValues = nullptr;
        s.clusterSizes = ok ? AllocateArray<int>(job.clusterCount) : nullptr;
        ok = ok && s.clusterSizes &&
             job.engine->AllocCentroidMatrices(centroidRows, centroidColumns,
                                               &s.centroidData,
                                               &s.centroidMask);
        if (ok && job.centres == Centres::kMedians) {
            s.workValues = AllocateArray<double>(job.itemCount);
            ok = s.workValues != nullptr;
        }
    }
    s.memberOrder = nullptr;
    s.clusterStarts = nullptr;
    if (ok && job.centres == Centres::kMedians) {
        s.memberOrder = AllocateArray<int>(job.itemCount);
        s.clusterStarts =
            s.memberOrder ? AllocateArray<int>(
                                static_cast<std::int64_t>(job.clusterCount) + 1)
                          : nullptr;
        ok = s.clusterStarts != nullptr;
    }
    s.sweep = nullptr;
    if (ok && job.sweepJob) {
        ok = OpenSweepWorkspace(*job.sweepJob, s.centroidData, s.centroidMask,
                                &s.sweep);
    }
    if (ok) return true;
    CloseScratch(job, borrowed, scratch);
    return false;
}

void CloseScratch(const PassJob& job, bool borrowed, PassScratch* scratch) {
    PassScratch& s = *scratch;
    CloseSweepWorkspace(s.sweep);
    Release(s.saved);
    Release(s.memberOrder);
    Release(s.clusterStarts);
    if (!borrowed) {
        Release(s.clusterSizes);
        Release(s.workValues);
        // Null when opening failed before the matrices were taken.
        if (s.centroidData) {
            job.engine->FreeCentroidMatrices(
                job.itemsAsColumns ? job.valueCount : job.clusterCount,
                s.centroidData, s.centroidMask);
        }
    }
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

int RunPasses(ClusterEngine& engine, int clusterCount, int rowCount,
              int columnCount, const double* const* data,
              const int* const* mask, const double* weights, int itemsAsColumns,
              int passCount, Metric metric, DataMatrix centroidData,
              MaskMatrix centroidMask, ClusterIdArray clusterIds,
              double* errorValue, int* workingIds, int* clusterSizes,
              int* clusterMap, Centres centres, double* workValues,
              Generator& generator, const RunSettings& run, RunReport* report,
              StartMethod start) {
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
    const int threads = PassThreadCount(passCount, job.itemCount,
                                        job.valueCount, clusterCount,
                                        run.threadCount);

    // Everything is taken here, once for all passes: the items the vector
    // sweep reads, shared, and for every thread what its passes write. The
    // first thread's scratch borrows the engine entry's arrays.
    SweepJob* sweepJob = nullptr;
    const SweepRequest request{clusterCount, job, metric, centres};
    job.sweepJob = nullptr;
    job.itemStarts = nullptr;
    if (start != StartMethod::kPartition && passCount != 0) {
        const ItemStartRequest starts{start, clusterCount, {job, job.distance}};
        if (!OpenItemStarts(starts, &job.itemStarts)) return -1;
    }
    // A plan draws the starts and runs nothing.
    if (run.piece && run.piece->startsOnly) {
        const int drawn = DrawStartsOnly(job, passCount, workingIds, report);
        CloseItemStarts(job.itemStarts);
        return drawn;
    }
    if (!OpenSweepJob(request, &sweepJob)) {
        CloseItemStarts(job.itemStarts);
        return -1;
    }
    job.sweepJob = sweepJob;
    PassScratch* scratches = AllocateArray<PassScratch>(threads);
    int** poolIds = threads > 1 ? AllocateArray<int*>(2 * threads) : nullptr;
    bool ok = scratches && (threads == 1 || poolIds);
    int opened = 0;
    for (; ok && opened < threads; ++opened) {
        PassScratch& s = scratches[opened];
        const bool borrowed = opened == 0;
        if (borrowed) {
            s.centroidData = centroidData;
            s.centroidMask = centroidMask;
            s.clusterSizes = clusterSizes;
            s.workValues = workValues;
        }
        ok = OpenScratch(job, borrowed, &s);
        if (!ok) break;
    }
    int pooled = 0;
    if (ok && poolIds) {
        // The first of the pool is the engine entry's working assignment.
        poolIds[pooled++] = workingIds;
        for (; pooled < 2 * threads; ++pooled) {
            poolIds[pooled] = AllocateArray<int>(job.itemCount);
            if (!poolIds[pooled]) {
                ok = false;
                break;
            }
        }
    }

    int foundCount = -1;
    bool stopped = false;
    BestSoFar best = {clusterIds, errorValue, clusterMap, 1, 0, 0};
    if (ok) {
        *errorValue = kNoTotal;
        if (threads == 1 || !RunThreadedPasses(job, scratches, threads, poolIds,
                                               passCount, best, &stopped)) {
            // With one pass or none the only pass is the result: it works
            // on the caller's array itself, and passCount 0 refines the
            // assignment the caller put there.
            const int passes = passCount > 1 ? passCount : 1;
            for (int pass = 0; pass < passes; ++pass) {
                // Nothing more is drawn once the caller cancelled.
                stopped = CancelRequested(run);
                if (stopped) break;
                if (passCount != 0) DrawPassStart(job, pass, workingIds);
                CountPass();
                const PassOutcome outcome =
                    RunOnePass(job, scratches[0], workingIds);
                stopped = outcome.stopped;
                if (stopped) break;
                NotePass(job, pass, workingIds, outcome);
                if (passCount <= 1) {
                    *errorValue = outcome.total;
                    best.iterations = outcome.iterations;
                    best.totalIterations = outcome.iterations;
                    if (run.progress) run.progress(run.progressContext, 1, 1);
                } else {
                    TakePass(job, best, pass, workingIds, outcome, passCount);
                }
            }
        }
        if (!stopped) foundCount = best.foundCount;
    }
    if (report) {
        report->cancelled = stopped;
        report->bestPassIterations = best.iterations;
        report->totalIterations = best.totalIterations;
    }

    for (int p = 1; p < pooled; ++p) Release(poolIds[p]);
    for (int t = opened - 1; t >= 0; --t) {
        CloseScratch(job, t == 0, &scratches[t]);
    }
    Release(poolIds);
    Release(scratches);
    CloseItemStarts(job.itemStarts);
    CloseSweepJob(sweepJob);
    return foundCount;
}

int ClusterEngine::KMeansPasses(
    int clusterCount, int rowCount, int columnCount, const double* const* data,
    const int* const* mask, const double* weights, int itemsAsColumns,
    int passCount, MetricCode metric, DataMatrix centroidData,
    MaskMatrix centroidMask, ClusterIdArray clusterIds, double* errorValue,
    int* workingIds, int* clusterSizes, int* clusterMap, Generator& generator,
    const RunSettings& run, RunReport* report, StartMethod start) {
    return RunPasses(*this, clusterCount, rowCount, columnCount, data, mask,
                     weights, itemsAsColumns, passCount, MetricOfCode(metric),
                     centroidData, centroidMask, clusterIds, errorValue,
                     workingIds, clusterSizes, clusterMap, Centres::kMeans,
                     nullptr, generator, run, report, start);
}

int ClusterEngine::KMediansPasses(
    int clusterCount, int rowCount, int columnCount, const double* const* data,
    const int* const* mask, const double* weights, int itemsAsColumns,
    int passCount, MetricCode metric, DataMatrix centroidData,
    MaskMatrix centroidMask, ClusterIdArray clusterIds, double* errorValue,
    int* workingIds, int* clusterSizes, int* clusterMap, double* workValues,
    Generator& generator, const RunSettings& run, RunReport* report,
    StartMethod start) {
    return RunPasses(*this, clusterCount, rowCount, columnCount, data, mask,
                     weights, itemsAsColumns, passCount, MetricOfCode(metric),
                     centroidData, centroidMask, clusterIds, errorValue,
                     workingIds, clusterSizes, clusterMap, Centres::kMedians,
                     workValues, generator, run, report, start);
}

}  // namespace selvane
