#include "engine/sweep/SweepDispatch.h"

#include <atomic>

namespace selvane {

namespace {

std::atomic<int> forcedWidth{0};

int RegistersFor(int clusterCount, int lanes) {
    return clusterCount / lanes + (clusterCount % lanes != 0 ? 1 : 0);
}

}  // namespace

bool SweepWidthSupported(int lanes) {
    if (lanes == kLiteralSweep) return true;
#if defined(__x86_64__) || defined(__i386__)
    // The feature bits also say whether the system saves the wide
    // registers, so a processor with AVX-512 under a system without it
    // reports no AVX-512.
    __builtin_cpu_init();
    switch (lanes) {
        case kSse2Lanes: return __builtin_cpu_supports("sse2") != 0;
        case kAvx2Lanes: return __builtin_cpu_supports("avx2") != 0;
        case kAvx512Lanes: return __builtin_cpu_supports("avx512f") != 0;
        default: return false;
    }
#else
    return false;
#endif
}

bool ForceSweepWidth(int lanes) {
    if (lanes != 0 && !SweepWidthSupported(lanes)) return false;
    forcedWidth.store(lanes, std::memory_order_relaxed);
    return true;
}

int SweepWidthFor(int clusterCount) {
    const int forced = forcedWidth.load(std::memory_order_relaxed);
    if (forced != 0) return forced;
    int best = kLiteralSweep;
    const int widths[] = {kSse2Lanes, kAvx2Lanes, kAvx512Lanes};
    for (int lanes : widths) {
        if (!SweepWidthSupported(lanes)) continue;
        if (best == kLiteralSweep || RegistersFor(clusterCount, lanes) <
                                         RegistersFor(clusterCount, best)) {
            best = lanes;
        }
    }
    return best;
}

SweepFunction SweepOfWidth(int lanes) {
    switch (lanes) {
        case kAvx512Lanes: return Avx512Sweep();
        case kAvx2Lanes: return Avx2Sweep();
        default: return Sse2Sweep();
    }
}

}  // namespace selvane
