// Every thread's storage for one run of passes, opened all together or not
// at all, and closed together. Internal.
#ifndef SELVANE_ENGINE_SCRATCH_POOL_H
#define SELVANE_ENGINE_SCRATCH_POOL_H

#include "engine/PassRun.h"

namespace selvane {

// The arrays the caller of KMeansPasses or KMediansPasses hands in: the
// first thread's passes work in them, as the single-thread loop does.
struct ScratchLoan {
    DataMatrix centroidData;
    MaskMatrix centroidMask;
    int* clusterSizes;   // K
    double* workValues;  // N, medians only
    int* workingIds;     // N
};

struct ScratchPool {
    int threads = 0;
    PassScratch* scratches = nullptr;  // one per thread
    // With more than one thread, 2 * threads arrays of N ints, the first
    // the loan's workingIds; null otherwise.
    int** ids = nullptr;
};

// Opens the storage of `threads` threads (job.sweepJob, when set, must be
// open). Returns false, with nothing left taken, when memory runs out.
bool OpenScratchPool(const PassJob& job, int threads, const ScratchLoan& loan,
                     ScratchPool* pool);
// Closes what OpenScratchPool opened; the loan stays the caller's.
void CloseScratchPool(const PassJob& job, ScratchPool* pool);

}  // namespace selvane

#endif  // SELVANE_ENGINE_SCRATCH_POOL_H
