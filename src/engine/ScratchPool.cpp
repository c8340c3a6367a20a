#include "engine/ScratchPool.h"

#include <cstdint>

#include "common/Allocate.h"

namespace selvane {

namespace {

int CentroidRows(const PassJob& job) {
    return job.itemsAsColumns ? job.valueCount : job.clusterCount;
}

bool UsesMedians(const PassJob& job) {
    switch (job.centres) {
        case Centres::kMeans: return false;
        case Centres::kMedians: return true;
    }
    __builtin_unreachable();
}

// The centres, sizes and median values a pass computes: the loan's for the
// first thread, taken here for every other.
bool OpenCentres(const PassJob& job, PassScratch& s) {
    const int centroidColumns = job.itemsAsColumns ? job.clusterCount
                                                   : job.valueCount;
    s.clusterSizes = AllocateArray<int>(job.clusterCount);
    if (!s.clusterSizes ||
        !job.engine->AllocCentroidMatrices(CentroidRows(job), centroidColumns,
                                           &s.centroidData, &s.centroidMask)) {
        return false;
    }
    if (UsesMedians(job)) s.workValues = AllocateArray<double>(job.itemCount);
    return !UsesMedians(job) || s.workValues;
}

void CloseCentres(const PassJob& job, PassScratch& s) {
    Release(s.clusterSizes);
    Release(s.workValues);
    if (s.centroidData) {
        job.engine->FreeCentroidMatrices(CentroidRows(job), s.centroidData,
                                         s.centroidMask);
    }
}

// What every thread takes for itself, the first included.
bool OpenOwn(const PassJob& job, PassScratch& s) {
    s.saved = AllocateArray<int>(job.itemCount);
    if (!s.saved) return false;
    if (UsesMedians(job)) {
        s.memberOrder = AllocateArray<int>(job.itemCount);
        if (!s.memberOrder) return false;
        s.clusterStarts =
            AllocateArray<int>(static_cast<std::int64_t>(job.clusterCount) + 1);
        if (!s.clusterStarts) return false;
    }
    return !job.sweepJob || OpenSweepWorkspace(*job.sweepJob, s.centroidData,
                                               s.centroidMask, &s.sweep);
}

void CloseOwn(PassScratch& s) {
    CloseSweepWorkspace(s.sweep);
    Release(s.saved);
    Release(s.memberOrder);
    Release(s.clusterStarts);
}

}  // namespace

bool OpenScratchPool(const PassJob& job, int threads, const ScratchLoan& loan,
                     ScratchPool* pool) {
    *pool = ScratchPool();
    pool->scratches = AllocateArray<PassScratch>(threads);
    if (!pool->scratches) return false;
    pool->threads = threads;
    for (int t = 0; t < threads; ++t) pool->scratches[t] = PassScratch();
    PassScratch& first = pool->scratches[0];
    first.centroidData = loan.centroidData;
    first.centroidMask = loan.centroidMask;
    first.clusterSizes = loan.clusterSizes;
    first.workValues = loan.workValues;
    bool ok = OpenOwn(job, first);
    for (int t = 1; ok && t < threads; ++t) {
        ok = OpenCentres(job, pool->scratches[t]) &&
             OpenOwn(job, pool->scratches[t]);
    }
    if (ok && threads > 1) {
        pool->ids = AllocateArray<int*>(2 * std::int64_t{threads});
        ok = pool->ids != nullptr;
        for (int p = 0; ok && p < 2 * threads; ++p) pool->ids[p] = nullptr;
        if (ok) pool->ids[0] = loan.workingIds;
        for (int p = 1; ok && p < 2 * threads; ++p) {
            pool->ids[p] = AllocateArray<int>(job.itemCount);
            ok = pool->ids[p] != nullptr;
        }
    }
    if (!ok) CloseScratchPool(job, pool);
    return ok;
}

void CloseScratchPool(const PassJob& job, ScratchPool* pool) {
    if (pool->ids) {
        for (int p = 1; p < 2 * pool->threads; ++p) Release(pool->ids[p]);
        Release(pool->ids);
    }
    for (int t = pool->threads - 1; t >= 0; --t) {
        CloseOwn(pool->scratches[t]);
        if (t > 0) CloseCentres(job, pool->scratches[t]);
    }
    Release(pool->scratches);
    *pool = ScratchPool();
}

}  // namespace selvane
