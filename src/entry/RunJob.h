// The body of the exported function, callable in-process by tests and tools
// that need a pinned generator state. Internal.
#ifndef SELVANE_ENTRY_RUN_JOB_H
#define SELVANE_ENTRY_RUN_JOB_H

namespace selvane {

// Same contract as Selvane() in include/selvane.h.
void RunJob(int itemCount, int dimensionCount, const double* inputValues,
            int clusterCount, double* result);

// How a job ended; whenever it is not kClustered, every element of result
// holds -1.0 (none when itemCount <= 0).
enum class JobStatus { kClustered, kRefused, kUnmeasurable, kNoMemory };

// The same job, telling how it ended and, when clustered, the engine's
// error value and found count (either pointer may be null).
JobStatus RunJobReporting(int itemCount, int dimensionCount,
                          const double* inputValues, int clusterCount,
                          double* result, double* errorValue, int* foundCount);

}  // namespace selvane

#endif  // SELVANE_ENTRY_RUN_JOB_H
