// The shape of the library's one export, as the host calls it.
#ifndef SELVANE_TOOLS_SELVANE_FUNCTION_H
#define SELVANE_TOOLS_SELVANE_FUNCTION_H

#include "selvane.h"

namespace selvane::host {

// Taken from the declaration itself, calling convention included: on x86
// Windows the export pops its own arguments, and a pointer of any other
// convention would corrupt the stack.
using SelvaneFunction = decltype(&Selvane);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_SELVANE_FUNCTION_H
