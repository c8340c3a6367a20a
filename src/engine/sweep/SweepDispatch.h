// Which reassignment sweep a job runs, chosen at run time from what the
// processor has: the literal one, which calls the distance function once per
// item and cluster, or a vector one, which computes an item's distances to
// every centre together in the lanes of one register. All give the same
// bits, so the default is the fastest measured: AVX2 where the processor
// has it, AVX-512 for more than eight clusters where it has that.
// A run's settings may ask for one (the entry layer reads SELVANE_SWEEP:
// literal, sse2, avx2, avx512), for benchmarks and bug reports. Internal;
// the forcing hook exists for tests.
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_DISPATCH_H
#define SELVANE_ENGINE_SWEEP_SWEEP_DISPATCH_H

#include "engine/sweep/SweepTypes.h"

namespace selvane {

// Lane counts of the vector sweeps: doubles per SSE2, AVX2 and AVX-512F
// register. kLiteralSweep stands for the literal sweep.
constexpr int kLiteralSweep = 1;
constexpr int kSse2Lanes = 2;
constexpr int kAvx2Lanes = 4;
constexpr int kAvx512Lanes = 8;

// True when this processor (and build) can run a sweep of that many lanes;
// always true for kLiteralSweep.
bool SweepWidthSupported(int lanes);

// Test and benchmark hook, process-wide: 0 restores the choice at run time,
// kLiteralSweep forces the literal sweep, 2, 4 or 8 force that lane count.
// Returns false, changing nothing, for a width this processor lacks. Not for
// use while jobs run on other threads.
bool ForceSweepWidth(int lanes);

// The width a name of SweepWidthName's names: 0 for null, for any other
// text, or for a width this processor lacks.
int SweepWidthNamed(const char* name);

// "literal", "sse2", "avx2" or "avx512": the names SELVANE_SWEEP takes.
const char* SweepWidthName(int lanes);

// The sweep a job of clusterCount clusters runs: the forced width, else the
// requested one (RunSettings::sweepWidth) where this processor has it,
// else the fastest it has.
int SweepWidthFor(int clusterCount, int requested);

// The vector sweep of a supported width other than kLiteralSweep.
SweepFunction SweepOfWidth(int lanes);

// The sweep of one instruction set, each in its own source file; null in a
// build for another processor.
SweepFunction Sse2Sweep();
SweepFunction Avx2Sweep();
SweepFunction Avx512Sweep();

}  // namespace selvane

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_DISPATCH_H
