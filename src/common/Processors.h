// How many processors this process may run on. Internal.
#ifndef SELVANE_COMMON_PROCESSORS_H
#define SELVANE_COMMON_PROCESSORS_H

namespace selvane {

// Processors this process may run on (its affinity), at least 1.
int AvailableProcessors();

}  // namespace selvane

#endif  // SELVANE_COMMON_PROCESSORS_H
