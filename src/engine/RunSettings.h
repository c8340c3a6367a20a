// How a job runs, as its caller decides, and what the run reports beside
// its result. Internal. None of it changes a result's bits, except a
// piece, which runs a part of a job.
#ifndef SELVANE_ENGINE_RUN_SETTINGS_H
#define SELVANE_ENGINE_RUN_SETTINGS_H

#include <cstdint>

namespace selvane {

struct PassPiece;

// Called with the passes finished so far and the job's pass count.
using ProgressHook = void (*)(void* context, int passesDone, int passCount);

struct RunSettings {
    // The most threads the passes may use; 0: every processor this process
    // may run on. A job too small to gain, or of fewer passes, uses fewer.
    int threadCount = 0;
    // The sweep asked for (engine/sweep/SweepDispatch.h: kLiteralSweep or a
    // lane count); 0, or a width this processor lacks: the fastest it has.
    int sweepWidth = 0;
    // Null, or called on the calling thread after every pass, in pass
    // order, once the pass is taken into the best so far.
    ProgressHook progress = nullptr;
    void* progressContext = nullptr;
    // Null, or a flag another thread may set at any time: once it is
    // non-zero the job stops at the next iteration of any pass and reports
    // itself cancelled. Read with relaxed atomic loads.
    const volatile int* cancel = nullptr;
    // Null, or the starts and keepings of a job run in pieces
    // (engine/PassPiece.h): the passes' count is then the piece's.
    const PassPiece* piece = nullptr;
};

// What a run of passes tells besides its partition; filled in whenever the
// caller gives one.
struct RunReport {
    bool cancelled = false;
    // Iterations of the pass whose partition was returned: the first pass
    // that reached it.
    int bestPassIterations = 0;
    // Iterations of every pass run, in total.
    std::int64_t totalIterations = 0;
};

inline bool CancelRequested(const RunSettings& run) {
    return run.cancel && __atomic_load_n(run.cancel, __ATOMIC_RELAXED) != 0;
}

}  // namespace selvane

#endif  // SELVANE_ENGINE_RUN_SETTINGS_H
