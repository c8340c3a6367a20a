// Counts of the passes and iterations the engine has run in this process,
// for benchmarks that report iterations per pass. Internal.
#ifndef SELVANE_COMMON_PASS_COUNTERS_H
#define SELVANE_COMMON_PASS_COUNTERS_H

#include <cstdint>

namespace selvane {

struct PassCounts {
    std::uint64_t passes;
    std::uint64_t iterations;
};

PassCounts ReadPassCounts();

// Called by the pass loop.
void CountPass();
void CountIteration();

}  // namespace selvane

#endif  // SELVANE_COMMON_PASS_COUNTERS_H
