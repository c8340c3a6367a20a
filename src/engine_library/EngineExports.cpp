// The engine library's exported C functions; each only forwards.
#include "engine_library/EngineJob.h"
#include "selvane_engine.h"

extern "C" {

SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_api_version(void) {
    return SELVANE_ENGINE_API_VERSION;
}

SELVANE_ENGINE_API const char* SELVANE_ENGINE_CALL
selvane_engine_strerror(int code) {
    return selvane::EngineErrorText(code);
}

SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_cluster(
    int item_count, int value_count, const double* values, int layout,
    const unsigned char* present, const double* weights, int cluster_count,
    int pass_count, int centres_kind, int metric, const uint64_t* seed,
    int thread_count, int* cluster_ids, double* error_value, int* found_count,
    double* centres, unsigned char* centre_present) {
    const selvane::EngineRequest request{
        {item_count, value_count, values, layout, present, weights},
        cluster_count,
        pass_count,
        centres_kind,
        metric,
        seed,
        thread_count};
    const selvane::EngineOutputs outputs{cluster_ids, error_value, found_count,
                                         centres, centre_present};
    return selvane::RunEngineJob(request, outputs);
}

SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_assign(
    int item_count, int value_count, const double* values, int layout,
    const unsigned char* present, const double* weights, int cluster_count,
    const double* centres, const unsigned char* centre_present, int metric,
    const int* given_ids, int* cluster_ids, double* distances, double* total) {
    const selvane::AssignRequest request{
        {item_count, value_count, values, layout, present, weights},
        cluster_count,
        centres,
        centre_present,
        metric,
        given_ids};
    return selvane::RunAssignJob(request, {cluster_ids, distances, total});
}

SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_selvane_job(
    int item_count, int dimension_count, const double* input_values,
    int cluster_count, const uint64_t* seed, int thread_count, double* result,
    double* error_value, int* found_count) {
    return selvane::RunSeededSelvaneJob(
        item_count, dimension_count, input_values, cluster_count, seed,
        thread_count, result, error_value, found_count);
}

}  // extern "C"
