#include "common/PassCounters.h"

#include <atomic>

namespace selvane {

namespace {

// Relaxed: the counts guard nothing, and concurrent jobs may add to them.
std::atomic<std::uint64_t> passes{0};
std::atomic<std::uint64_t> iterations{0};

}  // namespace

PassCounts ReadPassCounts() {
    return {passes.load(std::memory_order_relaxed),
            iterations.load(std::memory_order_relaxed)};
}

void CountPass() { passes.fetch_add(1, std::memory_order_relaxed); }

void CountIteration() { iterations.fetch_add(1, std::memory_order_relaxed); }

}  // namespace selvane
