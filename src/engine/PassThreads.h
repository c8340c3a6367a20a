// How many threads run a job's passes. Internal.
//
// SELVANE_THREADS, read at every call, sets the count: a positive integer
// (1 runs everything on the calling thread); any other value is ignored.
// Without it the count is the number of processors this process may run on.
// Either way a job never gets more threads than it has passes, and a job too
// small to gain from threads runs on the calling thread.
#ifndef SELVANE_ENGINE_PASS_THREADS_H
#define SELVANE_ENGINE_PASS_THREADS_H

#include <cstdint>

namespace selvane {

// The positive integer that text spells in decimal digits alone (values
// beyond an int saturate), or 0 when it spells none.
int ParseThreadCount(const char* text);

// Processors this process may run on (its affinity), at least 1.
int AvailableProcessors();

// Never more threads than this, whatever SELVANE_THREADS says.
constexpr int kMostPassThreads = 256;

// Threads for a job of passCount passes over itemCount items of valueCount
// values in clusterCount clusters; 1 means the calling thread alone.
int PassThreadCount(int passCount, int itemCount, int valueCount,
                    int clusterCount);

// Below this many item-value-cluster products per iteration a job stays on
// the calling thread: thread hand-offs would cost more than they save.
constexpr std::int64_t kSmallJobWork = 10000;

// A caller's own thread count for the jobs run on this thread while it
// lives, in place of SELVANE_THREADS (0 keeps the variable's choice). The
// small-job limit and the pass count still bound it.
class BoundThreadCount {
public:
    explicit BoundThreadCount(int threads);
    ~BoundThreadCount();
    BoundThreadCount(const BoundThreadCount&) = delete;
    BoundThreadCount& operator=(const BoundThreadCount&) = delete;

private:
    int previous_;
};

// Test hook, process-wide: the limit above (kSmallJobWork restores it; 0
// lets every job with several passes use threads). Not for use while jobs
// run on other threads.
void SetSmallJobWork(std::int64_t work);

}  // namespace selvane

#endif  // SELVANE_ENGINE_PASS_THREADS_H
