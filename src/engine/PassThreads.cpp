#include "engine/PassThreads.h"

#include <atomic>
#include <climits>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sched.h>
#include <unistd.h>
#endif

namespace selvane {

namespace {

std::atomic<std::int64_t> smallJobWork{kSmallJobWork};

// 0: no caller's count is bound on this thread.
thread_local int boundThreads = 0;

}  // namespace

int ParseThreadCount(const char* text) {
    if (!text || *text == '\0') return 0;
    long long value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return 0;
        value = value * 10 + (*c - '0');
        if (value > INT_MAX) value = INT_MAX;
    }
    return static_cast<int>(value);
}

int AvailableProcessors() {
#if defined(_WIN32)
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
        int count = 0;
        for (; process != 0; process &= process - 1) ++count;
        if (count > 0) return count;
    }
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0
               ? static_cast<int>(info.dwNumberOfProcessors)
               : 1;
#else
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return count;
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 && online < INT_MAX ? static_cast<int>(online) : 1;
#endif
}

int PassThreadCount(int passCount, int itemCount, int valueCount,
                    int clusterCount) {
    if (passCount <= 1) return 1;
    int threads = boundThreads > 0
                      ? boundThreads
                      : ParseThreadCount(std::getenv("SELVANE_THREADS"));
    if (threads == 1) return 1;
    const std::int64_t work = static_cast<std::int64_t>(itemCount) *
                              (valueCount > 0 ? valueCount : 1) * clusterCount;
    if (work < smallJobWork.load(std::memory_order_relaxed)) return 1;
    if (threads == 0) threads = AvailableProcessors();
    if (threads > kMostPassThreads) threads = kMostPassThreads;
    return threads < passCount ? threads : passCount;
}

BoundThreadCount::BoundThreadCount(int threads) : previous_(boundThreads) {
    if (threads > 0) boundThreads = threads;
}

BoundThreadCount::~BoundThreadCount() { boundThreads = previous_; }

void SetSmallJobWork(std::int64_t work) {
    smallJobWork.store(work, std::memory_order_relaxed);
}

}  // namespace selvane
