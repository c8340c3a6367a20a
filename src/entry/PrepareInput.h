// Turns the caller's dimension-major matrix into the rows the engine
// clusters: unit vectors plus a relative-magnitude column. Internal.
#ifndef SELVANE_ENTRY_PREPARE_INPUT_H
#define SELVANE_ENTRY_PREPARE_INPUT_H

#include "engine/ClusterEngine.h"

namespace selvane {

// A measurement is usable when it is a finite number greater than zero.
// +infinity is not: one infinite value would otherwise make the largest norm
// infinite and every other item's magnitude 0 or NaN.
inline bool IsMeasurable(double value) {
    return value > 0.0 && value <= 1.7976931348623157e308;
}

// itemCount >= 1, dimensionCount >= 1. workRows and data: itemCount rows of
// dimensionCount + 1 doubles; mask: itemCount rows of dimensionCount + 1
// ints; rowFlags: itemCount ints. On return row i of workRows and data holds
// item i's unit vector followed by its norm over the largest norm, mask marks
// which cells take part, and rowFlags[i] is 1 when every value of item i is
// measurable. Returns the number of such items; when it is 0 the magnitudes
// are meaningless (there is no largest norm to divide by).
int PrepareInput(ClusterEngine& engine, int itemCount, int dimensionCount,
                 const double* inputValues, DataMatrix workRows,
                 DataMatrix data, MaskMatrix mask, int* rowFlags);

}  // namespace selvane

#endif  // SELVANE_ENTRY_PREPARE_INPUT_H
