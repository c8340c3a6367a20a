#include "engine/PassThreads.h"

#include <atomic>

#include "common/Processors.h"

namespace selvane {

namespace {

std::atomic<std::int64_t> smallJobWork{kSmallJobWork};

}  // namespace

int PassThreadCount(int passCount, int itemCount, int valueCount,
                    int clusterCount, int requested) {
    if (passCount <= 1 || requested == 1) return 1;
    const std::int64_t work = static_cast<std::int64_t>(itemCount) *
                              (valueCount > 0 ? valueCount : 1) * clusterCount;
    if (work < smallJobWork.load(std::memory_order_relaxed)) return 1;
    int threads = requested > 0 ? requested : AvailableProcessors();
    if (threads > kMostPassThreads) threads = kMostPassThreads;
    return threads < passCount ? threads : passCount;
}

void SetSmallJobWork(std::int64_t work) {
    smallJobWork.store(work, std::memory_order_relaxed);
}

}  // namespace selvane
