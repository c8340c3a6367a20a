// The engine library's exported C functions; each only forwards.
#include "engine_library/EngineJob.h"
#include "selvane_engine.h"

namespace {

selvane_engine_job NewJob(int kind) {
    selvane_engine_job job = {};
    job.size = sizeof job;
    job.kind = kind;
    return job;
}

selvane_engine_result NewResult() {
    selvane_engine_result result = {};
    result.size = sizeof result;
    return result;
}

}  // namespace

extern "C" {

SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_api_version(void) {
    return SELVANE_ENGINE_API_VERSION;
}

SELVANE_ENGINE_API const char* SELVANE_ENGINE_CALL
selvane_engine_strerror(int code) {
    return selvane::EngineErrorText(code);
}

SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_run(
    const selvane_engine_job* job, selvane_engine_result* result) {
    return selvane::RunEngine(job, result);
}

SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_assign(
    const selvane_engine_job* job, selvane_engine_result* result) {
    return selvane::RunAssign(job, result);
}

SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_plan(
    const selvane_engine_job* job, selvane_engine_result* result) {
    return selvane::RunPlan(job, result);
}

SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_merge(
    const selvane_engine_job* job, selvane_engine_result* result) {
    return selvane::RunMerge(job, result);
}

SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_cluster(
    int item_count, int value_count, const double* values, int layout,
    const unsigned char* present, const double* weights, int cluster_count,
    int pass_count, int centres_kind, int metric, const uint64_t* seed,
    int thread_count, int* cluster_ids, double* error_value, int* found_count,
    double* centres, unsigned char* centre_present) {
    if (!cluster_ids) return SELVANE_ENGINE_ERROR_NULL_POINTER;
    selvane_engine_job job = NewJob(SELVANE_ENGINE_JOB_CLUSTER);
    job.item_count = item_count;
    job.value_count = value_count;
    job.values = values;
    job.layout = layout;
    job.present = present;
    job.weights = weights;
    job.cluster_count = cluster_count;
    job.pass_count = pass_count;
    job.centres = centres_kind;
    job.metric = metric;
    job.seed = seed;
    job.thread_count = thread_count;
    selvane_engine_result result = NewResult();
    result.cluster_ids = cluster_ids;
    result.centres = centres;
    result.centre_present = centre_present;
    const int code = selvane::RunEngine(&job, &result);
    if (code == SELVANE_ENGINE_OK && error_value) {
        *error_value = result.error_value;
    }
    if (code == SELVANE_ENGINE_OK && found_count) {
        *found_count = result.found_count;
    }
    return code;
}

SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_selvane_job(
    int item_count, int dimension_count, const double* input_values,
    int cluster_count, const uint64_t* seed, int thread_count, double* result,
    double* error_value, int* found_count) {
    if (!result) return SELVANE_ENGINE_ERROR_NULL_POINTER;
    selvane_engine_job job = NewJob(SELVANE_ENGINE_JOB_SELVANE);
    job.item_count = item_count;
    job.value_count = dimension_count;
    job.values = input_values;
    job.layout = SELVANE_ENGINE_ITEMS_AS_COLUMNS;
    job.cluster_count = cluster_count;
    job.seed = seed;
    job.thread_count = thread_count;
    selvane_engine_result out = NewResult();
    out.ranked_numbers = result;
    const int code = selvane::RunEngine(&job, &out);
    if (code == SELVANE_ENGINE_OK && error_value)
        *error_value = out.error_value;
    if (code == SELVANE_ENGINE_OK && found_count)
        *found_count = out.found_count;
    return code;
}

}  // extern "C"
