// Test-only control of the library's allocator: fail one chosen request and
// count requests and live blocks, so that tests can walk a call through an
// allocation failure at every point where it allocates and check that it
// gives everything back. Internal; the counters cost one atomic operation
// per allocation and are always on. Safe to use from several threads.
#ifndef SELVANE_COMMON_ALLOCATION_FAULTS_H
#define SELVANE_COMMON_ALLOCATION_FAULTS_H

#include <cstdint>

namespace selvane {

// The n-th allocation request from now (n = 1: the very next one) returns
// null as if memory had run out; every other request is served as usual.
// n <= 0 cancels a pending failure. Only one failure is pending at a time.
void FailAllocationAt(std::int64_t n);

// Requests made through AllocateBytes since the process started, failed
// ones included.
std::int64_t AllocationRequests();

// Blocks handed out by AllocateBytes and not yet given to Release.
std::int64_t LiveAllocations();

}  // namespace selvane

#endif  // SELVANE_COMMON_ALLOCATION_FAULTS_H
