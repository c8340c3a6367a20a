// The library's only exported symbol.
#include "selvane.h"

#include "entry/RunJob.h"

extern "C" SELVANE_API void SELVANE_CALL Selvane(int itemCount,
                                                 int dimensionCount,
                                                 const double* inputValues,
                                                 int clusterCount,
                                                 double* result) {
    selvane::RunJob(itemCount, dimensionCount, inputValues, clusterCount,
                    result);
}
