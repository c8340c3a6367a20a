// One pass of the multi-pass loop, and the rule that keeps the best
// partition, as the single-thread loop and the threaded passes share them.
// Internal.
#ifndef SELVANE_ENGINE_PASS_RUN_H
#define SELVANE_ENGINE_PASS_RUN_H

#include <cstdint>

#include "engine/ClusterEngine.h"
#include "engine/ItemStarts.h"
#include "engine/sweep/VectorSweep.h"

namespace selvane {

struct ScratchPool;

// How a run of passes ended: only a run that is done has a partition.
enum class RunStatus { kDone, kNoMemory, kCancelled };

// What every pass of a job reads and no pass writes.
struct PassJob : JobView {
    ClusterEngine* engine;
    Generator* generator;  // drawn from on the calling thread only
    const RunSettings* run;
    int clusterCount;
    int rowCount;  // of data, as the centre computations take them
    int columnCount;
    Metric metric;
    DistanceFunction distance;  // the metric's
    Centres centres;
    // The vector sweep's view of the items, shared by every thread; null
    // when the literal sweep serves the job.
    const SweepJob* sweepJob;
    // Null: starts dealt at random; else starts from items, drawn on the
    // calling thread only.
    ItemStarts* itemStarts;
};

// What one pass writes besides its assignment: one per thread.
struct PassScratch {
    DataMatrix centroidData;
    MaskMatrix centroidMask;
    int* clusterSizes;   // K
    int* saved;          // N: the assignment saved at spaced iterations
    double* workValues;  // N, medians only
    int* memberOrder;    // N, medians only
    int* clusterStarts;  // K + 1, medians only
    // The vector sweep's storage over this scratch's centroid matrices;
    // null when the literal sweep runs.
    SweepWorkspace* sweep;
};

struct PassOutcome {
    double total;  // the last sweep's
    int iterations;
    bool stopped;  // cancelled before it settled: its partition is no result
};

// Draws the start of the next pass into ids (N ints), on the calling thread
// and in pass order.
void DrawStart(const PassJob& job, int* ids);

// Runs one pass from the assignment in ids.
PassOutcome RunOnePass(const PassJob& job, const PassScratch& scratch,
                       int* ids);

// The best partition so far and how many passes found it.
struct BestSoFar {
    int* clusterIds;  // N
    double* errorValue;
    int* clusterMap;  // K
    int foundCount;
    int iterations;  // of the first pass that reached it
    std::int64_t totalIterations;
};

// Takes finished pass number `pass` (0 first) into the best so far and
// tells the caller's progress hook; passes must come in pass order.
void TakePass(const PassJob& job, BestSoFar& best, int pass, const int* ids,
              const PassOutcome& outcome, int passCount);

// Passes 0 .. passCount-1 on the pool's threads, each with its own scratch
// (the first included, which the single-thread loop would use), the starts
// drawn in pass order on the calling thread and the finished passes taken
// in pass order, over the pool's ids. Returns false when no thread could
// be started; nothing has been drawn then. *stopped tells whether the
// caller's cancel flag ended the passes early.
bool RunThreadedPasses(const PassJob& job, const ScratchPool& pool,
                       int passCount, BestSoFar& best, bool* stopped);

}  // namespace selvane

#endif  // SELVANE_ENGINE_PASS_RUN_H
