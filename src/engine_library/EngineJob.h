// The engine library's jobs: their argument checks and their runs,
// callable in-process by tests. Internal; the exported C functions in
// EngineExports.cpp only forward here.
#ifndef SELVANE_ENGINE_LIBRARY_ENGINE_JOB_H
#define SELVANE_ENGINE_LIBRARY_ENGINE_JOB_H

#include "engine/PassPiece.h"
#include "engine/RunSettings.h"
#include "engine_library/ItemCells.h"
#include "random/Generator.h"
#include "selvane_engine.h"

namespace selvane {

// selvane_engine_run and selvane_engine_assign: the sizes checked, the
// caller's structs read as far as their sizes reach (the rest at the
// defaults), and the result given back as far as its size reaches, only
// on success. SELVANE_ENGINE_* codes.
int RunEngine(const selvane_engine_job* job, selvane_engine_result* result);
int RunAssign(const selvane_engine_job* job, selvane_engine_result* result);
// selvane_engine_plan and selvane_engine_merge, alike.
int RunPlan(const selvane_engine_job* job, selvane_engine_result* result);
int RunMerge(const selvane_engine_job* job, selvane_engine_result* result);

// How a kind's job runs its passes: the whole job (the default); its plan
// or a piece (piece set, of passCount passes, drawing from generator); or
// none, the partition given (givenIds: the merge's).
struct JobPasses {
    const PassPiece* piece = nullptr;
    int passCount = 0;
    Generator* generator = nullptr;
    const int* givenIds = nullptr;
};

// The kinds, on whole structs; each writes nothing unless it returns OK.
// With given ids, error_value, found_count and the iterations are not the
// job's: the caller sets them.
int RunClusterJob(const selvane_engine_job& job, selvane_engine_result& out,
                  const JobPasses& passes = JobPasses());
int RunSelvaneKindJob(const selvane_engine_job& job, selvane_engine_result& out,
                      const JobPasses& passes = JobPasses());
int RunAssignJob(const selvane_engine_job& job, selvane_engine_result& out);

// The checks the kinds make before anything is taken.
int CheckClusterJob(const selvane_engine_job& job);
int CheckSelvaneKindJob(const selvane_engine_job& job);

// The kind the job names, or OPTION.
int RunKind(const selvane_engine_job& job, selvane_engine_result& out,
            const JobPasses& passes);

// A piece of a job (range_count >= 1), its plan, and the merge of its
// pieces, on whole structs.
int RunPiece(const selvane_engine_job& job, selvane_engine_result& out);
int PlanJob(const selvane_engine_job& job, selvane_engine_result& out);
int MergeJob(const selvane_engine_job& job, selvane_engine_result& out);

// True when none of the fields of pieces is set: a job for a call that
// does not read them.
bool NoPieceFields(const selvane_engine_job& job);

// The job's items as the checks and the engine's view take them.
inline ItemCells CellsOf(const selvane_engine_job& job) {
    return {job.item_count, job.value_count, job.values,
            job.layout,     job.present,     job.weights};
}

// The run settings a job asks for: its thread count, or the environment's
// when it gives 0; its progress hook and cancel flag. `job` must outlive
// the run.
RunSettings SettingsOf(const selvane_engine_job& job);

const char* EngineErrorText(int code);

}  // namespace selvane

#endif  // SELVANE_ENGINE_LIBRARY_ENGINE_JOB_H
