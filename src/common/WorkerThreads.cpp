#include "common/WorkerThreads.h"

#include <atomic>

namespace selvane {

namespace {

std::atomic<std::int64_t> startCount{0};
// Starts numbered firstFailing .. lastFailing fail; none when first > last.
std::atomic<std::int64_t> firstFailing{1};
std::atomic<std::int64_t> lastFailing{0};

}  // namespace

bool StartThread(pthread_t* thread, void* (*body)(void*), void* argument) {
    const std::int64_t start =
        startCount.fetch_add(1, std::memory_order_relaxed) + 1;
    if (start >= firstFailing.load(std::memory_order_relaxed) &&
        start <= lastFailing.load(std::memory_order_relaxed)) {
        return false;
    }
    return pthread_create(thread, nullptr, body, argument) == 0;
}

void JoinThread(pthread_t thread) { pthread_join(thread, nullptr); }

void FailThreadStarts(std::int64_t first, std::int64_t count) {
    const std::int64_t now = startCount.load(std::memory_order_relaxed);
    lastFailing.store(0, std::memory_order_relaxed);
    firstFailing.store(now + first, std::memory_order_relaxed);
    lastFailing.store(count > 0 && first > 0 ? now + first + count - 1 : 0,
                      std::memory_order_relaxed);
}

}  // namespace selvane
