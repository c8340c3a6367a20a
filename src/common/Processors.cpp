#include "common/Processors.h"

#include <climits>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sched.h>
#include <unistd.h>
#endif

namespace selvane {

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

}  // namespace selvane
