// Working storage of one call of the exported function. Internal.
#ifndef SELVANE_ENTRY_JOB_BUFFERS_H
#define SELVANE_ENTRY_JOB_BUFFERS_H

#include "engine/ClusterEngine.h"

namespace selvane {

struct JobBuffers {
    DataMatrix workRows = nullptr;   // itemCount rows of D+1 doubles
    DataMatrix data = nullptr;       // itemCount rows of D+1 doubles
    MaskMatrix mask = nullptr;       // itemCount rows of D+1 ints
    int* rowFlags = nullptr;         // itemCount ints
    WeightVector weights = nullptr;  // D+1 doubles, all 1.0
    int itemCount = 0;
};

// Takes every buffer, rows item by item. Returns false when memory runs out,
// having released whatever it took.
bool AllocateJobBuffers(int itemCount, int dimensionCount, JobBuffers* out);

// Releases every buffer that is set; safe on a partly filled JobBuffers.
void ReleaseJobBuffers(JobBuffers* buffers);

}  // namespace selvane

#endif  // SELVANE_ENTRY_JOB_BUFFERS_H
