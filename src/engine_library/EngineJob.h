// The engine library's jobs: their argument checks and their runs,
// callable in-process by tests. Internal; the exported C functions in
// EngineExports.cpp only forward here.
#ifndef SELVANE_ENGINE_LIBRARY_ENGINE_JOB_H
#define SELVANE_ENGINE_LIBRARY_ENGINE_JOB_H

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

// The kinds, on whole structs; each writes nothing unless it returns OK.
int RunClusterJob(const selvane_engine_job& job, selvane_engine_result& out);
int RunSelvaneKindJob(const selvane_engine_job& job,
                      selvane_engine_result& out);
int RunAssignJob(const selvane_engine_job& job, selvane_engine_result& out);

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
