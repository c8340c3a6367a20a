#include "engine/sweep/SweepDispatch.h"

#include <atomic>
#include <cstring>

namespace selvane {

namespace {

std::atomic<int> forcedWidth{0};

constexpr int kWidths[] = {kLiteralSweep, kSse2Lanes, kAvx2Lanes, kAvx512Lanes};

}  // namespace

int SweepWidthNamed(const char* name) {
    if (!name) return 0;
    for (int lanes : kWidths) {
        if (std::strcmp(name, SweepWidthName(lanes)) == 0) {
            return SweepWidthSupported(lanes) ? lanes : 0;
        }
    }
    return 0;
}

const char* SweepWidthName(int lanes) {
    switch (lanes) {
        case kSse2Lanes: return "sse2";
        case kAvx2Lanes: return "avx2";
        case kAvx512Lanes: return "avx512";
        default: return "literal";
    }
}

bool SweepWidthSupported(int lanes) {
    if (lanes == kLiteralSweep) return true;
#if defined(__x86_64__) || defined(__i386__)
    // The feature bits also say whether the system saves the wide
    // registers, so a processor with AVX-512 under a system without it
    // reports no AVX-512.
    __builtin_cpu_init();
    // A width this build does not compile has no sweep.
    if (lanes != kSse2Lanes && lanes != kAvx2Lanes && lanes != kAvx512Lanes) {
        return false;
    }
    if (!SweepOfWidth(lanes)) return false;
    switch (lanes) {
        case kSse2Lanes: return __builtin_cpu_supports("sse2") != 0;
        case kAvx2Lanes: return __builtin_cpu_supports("avx2") != 0;
        default: return __builtin_cpu_supports("avx512f") != 0;
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

int SweepWidthFor(int clusterCount, int requested) {
    const int forced = forcedWidth.load(std::memory_order_relaxed);
    if (forced != 0) return forced;
    if (requested != 0 && SweepWidthSupported(requested)) return requested;
    // Measured on a processor with both: AVX-512 is as fast as AVX2 up to
    // two AVX2 registers of clusters and faster beyond (it moves items on
    // registers where AVX2 tests groups of them), so AVX2 keeps the jobs
    // it serves as well, on processors that slow their clock for 512-bit
    // work too.
    if (clusterCount > 2 * kAvx2Lanes && SweepWidthSupported(kAvx512Lanes)) {
        return kAvx512Lanes;
    }
    const int fastestFirst[] = {kAvx2Lanes, kSse2Lanes};
    for (int lanes : fastestFirst) {
        if (SweepWidthSupported(lanes)) return lanes;
    }
    return kLiteralSweep;
}

SweepFunction SweepOfWidth(int lanes) {
    switch (lanes) {
        case kAvx512Lanes: return Avx512Sweep();
        case kAvx2Lanes: return Avx2Sweep();
        default: return Sse2Sweep();
    }
}

}  // namespace selvane
