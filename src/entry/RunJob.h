// The body of the exported function, callable in-process by tests and tools
// that need a pinned generator state. Internal.
#ifndef SELVANE_ENTRY_RUN_JOB_H
#define SELVANE_ENTRY_RUN_JOB_H

namespace selvane {

// Same contract as Selvane() in include/selvane.h.
void RunJob(int itemCount, int dimensionCount, const double* inputValues,
            int clusterCount, double* result);

}  // namespace selvane

#endif  // SELVANE_ENTRY_RUN_JOB_H
