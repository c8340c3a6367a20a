// The body of the exported function, callable in-process by tests and tools
// and, with a generator and run settings of its own, by the engine library.
// Internal.
#ifndef SELVANE_ENTRY_RUN_JOB_H
#define SELVANE_ENTRY_RUN_JOB_H

#include "engine/RunSettings.h"
#include "random/Generator.h"

namespace selvane {

// Same contract as Selvane() in include/selvane.h: the process-wide stream,
// and the settings of the environment.
void RunJob(int itemCount, int dimensionCount, const double* inputValues,
            int clusterCount, double* result);

// How a job ended; whenever it is not kClustered, every element of result
// holds -1.0 (none when itemCount <= 0).
enum class JobStatus {
    kClustered,
    kRefused,
    kUnmeasurable,
    kNoMemory,
    kCancelled
};

// The exported function's pass count.
constexpr int kSelvanePassCount = 200;

// What a clustered job knows besides the numbers in result; each pointer
// may be null, and nothing is written unless the job is clustered. The
// first two are read: how the job finds its partition.
struct SelvaneJobDetails {
    int passCount = kSelvanePassCount;  // another with a piece to run
    // Not null: the partition (0 .. K-1) to rank instead of running passes;
    // errorValue and foundCount are then not written.
    const int* givenIds = nullptr;
    int* clusterIds = nullptr;     // N: the engine's partition, 0 .. K-1
    double* magnitudes = nullptr;  // N: each item's relative magnitude
    // K: each cluster of clusterIds' ranked value, the single-precision
    // mean its number comes from, widened.
    double* rankedValues = nullptr;
    unsigned char* measurable = nullptr;  // N: 1 when every value counts
    double* errorValue = nullptr;
    int* foundCount = nullptr;
    RunReport* report = nullptr;  // also filled in when cancelled
};

// The job with the caller's generator and settings.
JobStatus RunSelvaneJob(int itemCount, int dimensionCount,
                        const double* inputValues, int clusterCount,
                        double* result, Generator& generator,
                        const RunSettings& run,
                        const SelvaneJobDetails& details);

}  // namespace selvane

#endif  // SELVANE_ENTRY_RUN_JOB_H
