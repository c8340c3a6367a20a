// The growing structs at the interface: read as far as the caller's size
// reaches, written back as far, and only on success.
#include <cstddef>
#include <cstring>

#include "engine_library/EngineJob.h"
#include "entry/RunEnvironment.h"

namespace selvane {

namespace {

// The sizes of minor version 2, the first with these structs: a caller
// compiled against it or a later header gives at least these.
constexpr std::size_t kFirstJobSize =
    offsetof(selvane_engine_job, given_ids) + sizeof(const int*);
constexpr std::size_t kFirstResultSize =
    offsetof(selvane_engine_result, total_iterations) + sizeof(std::int64_t);

std::size_t Smaller(std::size_t a, std::size_t b) { return a < b ? a : b; }

int Take(const selvane_engine_job* job, const selvane_engine_result* result,
         selvane_engine_job& j, selvane_engine_result& r) {
    if (!job || !result) return SELVANE_ENGINE_ERROR_NULL_POINTER;
    if (job->size < kFirstJobSize || result->size < kFirstResultSize) {
        return SELVANE_ENGINE_ERROR_STRUCT_SIZE;
    }
    // A field of a later version set to anything but its default asks for
    // something this library cannot do.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(job);
    for (std::size_t at = sizeof j; at < job->size; ++at) {
        if (bytes[at] != 0) return SELVANE_ENGINE_ERROR_OPTION;
    }
    // Every default is 0 or null.
    std::memset(&j, 0, sizeof j);
    std::memset(&r, 0, sizeof r);
    std::memcpy(&j, job, Smaller(job->size, sizeof j));
    std::memcpy(&r, result, Smaller(result->size, sizeof r));
    return SELVANE_ENGINE_OK;
}

template <typename Run>
int RunTaken(const selvane_engine_job* job, selvane_engine_result* result,
             Run run) {
    selvane_engine_job j;
    selvane_engine_result r;
    int code = Take(job, result, j, r);
    if (code == SELVANE_ENGINE_OK) code = run(j, r);
    if (code == SELVANE_ENGINE_OK) {
        std::memcpy(result, &r, Smaller(result->size, sizeof r));
    }
    return code;
}

void ForwardProgress(void* context, int done, int count) {
    const selvane_engine_job& job =
        *static_cast<const selvane_engine_job*>(context);
    job.progress(job.progress_context, done, count);
}

}  // namespace

int RunEngine(const selvane_engine_job* job, selvane_engine_result* result) {
    return RunTaken(job, result,
                    [](const selvane_engine_job& j, selvane_engine_result& r) {
                        if (j.range_count != 0) return RunPiece(j, r);
                        if (!NoPieceFields(j)) {
                            return SELVANE_ENGINE_ERROR_OPTION;
                        }
                        return RunKind(j, r, JobPasses());
                    });
}

int RunAssign(const selvane_engine_job* job, selvane_engine_result* result) {
    return RunTaken(job, result,
                    [](const selvane_engine_job& j, selvane_engine_result& r) {
                        return NoPieceFields(j) ? RunAssignJob(j, r)
                                                : SELVANE_ENGINE_ERROR_OPTION;
                    });
}

int RunPlan(const selvane_engine_job* job, selvane_engine_result* result) {
    return RunTaken(job, result, PlanJob);
}

int RunMerge(const selvane_engine_job* job, selvane_engine_result* result) {
    return RunTaken(job, result, MergeJob);
}

int RunKind(const selvane_engine_job& job, selvane_engine_result& out,
            const JobPasses& passes) {
    switch (job.kind) {
        case SELVANE_ENGINE_JOB_CLUSTER: return RunClusterJob(job, out, passes);
        case SELVANE_ENGINE_JOB_SELVANE:
            return RunSelvaneKindJob(job, out, passes);
        default: return SELVANE_ENGINE_ERROR_OPTION;
    }
}

RunSettings SettingsOf(const selvane_engine_job& job) {
    RunSettings run = SettingsFromEnvironment();
    if (job.thread_count > 0) run.threadCount = job.thread_count;
    if (job.progress) {
        run.progress = &ForwardProgress;
        run.progressContext = const_cast<selvane_engine_job*>(&job);
    }
    run.cancel = job.cancel;
    return run;
}

}  // namespace selvane
