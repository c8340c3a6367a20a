// Fuzzes the exported function's body with arbitrary shapes and value bit
// patterns: NaN, infinities, subnormals, -0.0, values whose squares leave
// the double range, and K from below 1 to above N.
#include <xmmintrin.h>

#include <cstdint>
#include <cstring>

#include "FuzzInput.h"
#include "entry/PrepareInput.h"
#include "entry/RunJob.h"

// The rerun below uses another reassignment sweep than the first run: they
// must give the same bits.
#include "engine/sweep/SweepDispatch.h"

namespace {

using selvane::fuzz::FuzzInput;

constexpr int kMaxItems = 40;
constexpr int kMaxDimensions = 6;
constexpr int kGuards = 4;
// A NaN with a payload the library never produces: any write shows.
constexpr std::uint64_t kGuardBits = 0x7FF4DEADBEEF0001ull;

struct Job {
    int itemCount;
    int dimensionCount;
    int clusterCount;
    bool nullInput;
    unsigned int sseRegister;  // the caller's floating-point environment
    double input[kMaxItems * kMaxDimensions];
};

// Guards, then the N result elements, then guards.
struct ResultArea {
    double cells[kGuards + kMaxItems + kGuards];
    double* result() { return cells + kGuards; }
};

void FillGuards(ResultArea* area) {
    for (double& cell : area->cells) std::memcpy(&cell, &kGuardBits, 8);
}

bool IsGuard(double value) { return std::memcmp(&value, &kGuardBits, 8) == 0; }

bool Clusterable(const Job& job) {
    if (job.clusterCount < 1 || job.itemCount < job.clusterCount ||
        job.dimensionCount < 1 || job.nullInput)
        return false;
    for (int i = 0; i < job.itemCount; ++i) {
        bool measurable = true;
        for (int d = 0; d < job.dimensionCount; ++d) {
            measurable = measurable && selvane::IsMeasurable(
                                           job.input[d * job.itemCount + i]);
        }
        if (measurable) return true;
    }
    return false;
}

void Run(const Job& job, std::uint64_t seed, ResultArea* area) {
    selvane::StoreSeedWords({static_cast<std::int32_t>(seed),
                             static_cast<std::int32_t>(seed >> 32)});
    FillGuards(area);
    const unsigned int before = _mm_getcsr();
    _mm_setcsr(job.sseRegister);
    selvane::RunJob(job.itemCount, job.dimensionCount,
                    job.nullInput ? nullptr : job.input, job.clusterCount,
                    area->result());
    const unsigned int after = _mm_getcsr();
    _mm_setcsr(before);
    // The caller's modes and flags come back exactly as they were.
    SELVANE_FUZZ_CHECK(after == job.sseRegister);
}

void CheckResult(const Job& job, ResultArea* area) {
    const int n = job.itemCount > 0 ? job.itemCount : 0;
    for (int g = 0; g < kGuards; ++g) {
        SELVANE_FUZZ_CHECK(IsGuard(area->cells[g]));
        SELVANE_FUZZ_CHECK(IsGuard(area->result()[n + g]));
    }
    if (n == 0) return;
    const double* result = area->result();
    const bool unclustered = result[0] == -1.0;
    bool topNumberSeen = false;
    for (int i = 0; i < n; ++i) {
        const double v = result[i];
        if (unclustered) {
            // -1.0 is all or nothing.
            SELVANE_FUZZ_CHECK(v == -1.0);
            continue;
        }
        SELVANE_FUZZ_CHECK(v >= 0.0 && v <= job.clusterCount - 1 &&
                           v == static_cast<double>(static_cast<int>(v)));
        topNumberSeen = topNumberSeen || v == job.clusterCount - 1;
    }
    // No memory runs out here, so -1.0 means exactly "cannot be clustered".
    SELVANE_FUZZ_CHECK(unclustered == !Clusterable(job));
    // The cluster of the highest mean magnitude takes the top number.
    SELVANE_FUZZ_CHECK(unclustered || topNumberSeen);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    selvane::fuzz::PinSeedSource();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes,
                                      std::size_t size) {
    FuzzInput in(bytes, size);
    static Job job;
    job.itemCount = in.TakeInRange(0, kMaxItems);
    job.dimensionCount = in.TakeInRange(0, kMaxDimensions);
    job.clusterCount = in.TakeInRange(-2, job.itemCount + 2);
    const std::uint8_t flags = in.TakeByte();
    job.nullInput = job.itemCount > 0 && (flags & 0x0F) == 0x0F;
    const bool nullResult = (flags & 0xF0) == 0xF0;
    // Some hosts leave another rounding mode, flush-to-zero or
    // denormals-are-zero in force; the library must not depend on it.
    const unsigned int modes[] = {0x1F80u, 0x1F80u, 0x3F80u, 0x5F80u,
                                  0x7F80u, 0x9FC0u, 0x1FC0u, 0x9F80u};
    job.sseRegister = modes[(flags >> 4) & 7];
    std::uint64_t seed = in.TakeWord() % 2147483563u;
    seed |= static_cast<std::uint64_t>(in.TakeWord() % 2147483399u) << 32;

    const int values = job.itemCount * job.dimensionCount;
    for (int v = 0; v < values; ++v) job.input[v] = in.TakeMeasurement();
    double original[kMaxItems * kMaxDimensions];
    std::memcpy(original, job.input, sizeof(double) * values);

    if (nullResult) {
        selvane::RunJob(job.itemCount, job.dimensionCount, job.input,
                        job.clusterCount, nullptr);
        return 0;
    }

    static ResultArea area;
    Run(job, seed, &area);
    // The input is only read: bitwise, so NaN payloads count too.
    SELVANE_FUZZ_CHECK(
        std::memcmp(original, job.input, sizeof(double) * values) == 0);
    CheckResult(job, &area);

    // The same job from the same generator state in the default environment
    // gives the same bits: nothing depends on stale memory, on the caller's
    // rounding and flush settings, or on the sweep width.
    // A quarter of the runs, to keep the rate of new inputs up.
    if ((flags & 0x03) == 0) {
        static ResultArea again;
        Job plain = job;
        plain.sseRegister = 0x1F80u;
        const int lanes = (flags >> 2) & 1 ? selvane::kLiteralSweep
                                           : selvane::kAvx2Lanes;
        selvane::ForceSweepWidth(lanes);
        Run(plain, seed, &again);
        selvane::ForceSweepWidth(0);
        SELVANE_FUZZ_CHECK(
            std::memcmp(area.cells, again.cells, sizeof area.cells) == 0);
    }
    return 0;
}
