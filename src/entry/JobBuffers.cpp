#include "entry/JobBuffers.h"

#include <cstdint>

#include "common/Allocate.h"

namespace selvane {

namespace {

template <typename T>
void ReleaseRows(T** rows, int count) {
    if (!rows) return;
    for (int i = 0; i < count; ++i) Release(rows[i]);
    Release(rows);
}

}  // namespace

bool AllocateJobBuffers(int itemCount, int dimensionCount, JobBuffers* out) {
    // D + 1 in 64 bits: a D of INT_MAX must not wrap.
    const std::int64_t width = static_cast<std::int64_t>(dimensionCount) + 1;
    JobBuffers b;
    b.itemCount = itemCount;
    b.workRows = AllocateArray<double*>(itemCount);
    b.data = AllocateArray<double*>(itemCount);
    b.mask = AllocateArray<int*>(itemCount);
    b.rowFlags = AllocateArray<int>(itemCount);
    bool ok = b.workRows && b.data && b.mask && b.rowFlags;
    if (ok) {
        // Null rows first, so that a failure part-way releases exactly the
        // rows already taken.
        for (int i = 0; i < itemCount; ++i) {
            b.workRows[i] = nullptr;
            b.data[i] = nullptr;
            b.mask[i] = nullptr;
        }
        for (int i = 0; ok && i < itemCount; ++i) {
            b.workRows[i] = AllocateArray<double>(width);
            b.data[i] = AllocateArray<double>(width);
            b.mask[i] = AllocateArray<int>(width);
            ok = b.workRows[i] && b.data[i] && b.mask[i];
        }
    }
    if (ok) {
        b.weights = AllocateArray<double>(width);
        ok = b.weights != nullptr;
    }
    if (!ok) {
        // Rows of an array that failed were never set: release rows only
        // from pointer arrays that exist and were nulled.
        if (!(b.workRows && b.data && b.mask && b.rowFlags)) {
            Release(b.workRows);
            Release(b.data);
            Release(b.mask);
            Release(b.rowFlags);
            return false;
        }
        ReleaseJobBuffers(&b);
        return false;
    }
    for (std::int64_t d = 0; d < width; ++d) b.weights[d] = 1.0;
    *out = b;
    return true;
}

void ReleaseJobBuffers(JobBuffers* buffers) {
    ReleaseRows(buffers->workRows, buffers->itemCount);
    ReleaseRows(buffers->data, buffers->itemCount);
    ReleaseRows(buffers->mask, buffers->itemCount);
    Release(buffers->rowFlags);
    Release(buffers->weights);
    *buffers = JobBuffers();
}

}  // namespace selvane
