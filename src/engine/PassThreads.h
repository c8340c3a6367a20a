// How many threads run a job's passes. Internal.
//
// The caller's count (RunSettings::threadCount) sets it, every processor
// this process may run on when that is 0. Either way a job never gets more
// threads than it has passes, and a job too small to gain from threads runs
// on the calling thread.
#ifndef SELVANE_ENGINE_PASS_THREADS_H
#define SELVANE_ENGINE_PASS_THREADS_H

#include <cstdint>

namespace selvane {

// Never more threads than this, whatever the caller asks.
constexpr int kMostPassThreads = 256;

// Threads for a job of passCount passes over itemCount items of valueCount
// values in clusterCount clusters, of which the caller allows `requested`
// (0: every processor); 1 means the calling thread alone.
int PassThreadCount(int passCount, int itemCount, int valueCount,
                    int clusterCount, int requested);

// Below this many item-value-cluster products per iteration a job stays on
// the calling thread: thread hand-offs would cost more than they save.
constexpr std::int64_t kSmallJobWork = 10000;

// Test seam, process-wide: the limit above (kSmallJobWork restores it; 0
// lets every job with several passes use threads). Not for use while jobs
// run on other threads.
void SetSmallJobWork(std::int64_t work);

}  // namespace selvane

#endif  // SELVANE_ENGINE_PASS_THREADS_H
