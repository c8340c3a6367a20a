#include "common/Allocate.h"

#include <atomic>
#include <cstdlib>

#include "common/AllocationFaults.h"

namespace selvane {

namespace {

// Relaxed order throughout: the counters guard no other data, and the
// request number taken by fetch_add is unique to one request, so exactly
// one request can match the pending failure.
std::atomic<std::int64_t> requestCount{0};
std::atomic<std::int64_t> failingRequest{0};  // 0: none pending
std::atomic<std::int64_t> liveBlocks{0};

}  // namespace

void* AllocateBytes(std::int64_t count, std::size_t elementSize) {
    const std::int64_t request =
        requestCount.fetch_add(1, std::memory_order_relaxed) + 1;
    std::int64_t expected = request;
    if (failingRequest.load(std::memory_order_relaxed) == request &&
        failingRequest.compare_exchange_strong(expected, 0,
                                               std::memory_order_relaxed)) {
        return nullptr;
    }

    if (count < 0) return nullptr;
    // Compare in uint64 so the check is exact on 32-bit builds too.
    const std::uint64_t limit = static_cast<std::uint64_t>(SIZE_MAX);
    const std::uint64_t n = static_cast<std::uint64_t>(count);
    if (elementSize != 0 && n > limit / elementSize) return nullptr;
    std::size_t bytes = static_cast<std::size_t>(n) * elementSize;
    // malloc(0) may return null, which callers would take for exhaustion.
    if (bytes == 0) bytes = 1;
    void* block = std::malloc(bytes);
    if (block) liveBlocks.fetch_add(1, std::memory_order_relaxed);
    return block;
}

void Release(void* block) {
    if (!block) return;
    liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(block);
}

void FailAllocationAt(std::int64_t n) {
    const std::int64_t target =
        n > 0 ? requestCount.load(std::memory_order_relaxed) + n : 0;
    failingRequest.store(target, std::memory_order_relaxed);
}

std::int64_t AllocationRequests() {
    return requestCount.load(std::memory_order_relaxed);
}

std::int64_t LiveAllocations() {
    return liveBlocks.load(std::memory_order_relaxed);
}

}  // namespace selvane
