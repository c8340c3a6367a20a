// The shape of the library's one export, as the host calls it.
#ifndef SELVANE_TOOLS_SELVANE_FUNCTION_H
#define SELVANE_TOOLS_SELVANE_FUNCTION_H

#include "selvane.h"

namespace selvane::host {

// SELVANE_CALL matters on x86 Windows, where the export pops its own
// arguments; a pointer of any other convention would corrupt the stack.
using SelvaneFunction = void(SELVANE_CALL*)(int itemCount, int dimensionCount,
                                            const double* inputValues, int clusterCount,
                                            double* result);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_SELVANE_FUNCTION_H
