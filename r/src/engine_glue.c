/* Every call into the engine library. The rest of the package sees only
 * engine_glue.h. */
#include "engine_glue.h"

#define R_NO_REMAP
#include <R_ext/Arith.h>
#include <Rinternals.h>
#include <stddef.h>

#include "selvane_engine.h"

static void check_interrupt(void* unused) {
    (void)unused;
    R_CheckUserInterrupt();
}

/* R_CheckUserInterrupt jumps out of the calling function when the user
 * pressed Ctrl-C; run inside R_ToplevelExec, it returns here instead, so
 * the caller can leave the library in good order and re-raise the
 * interrupt from R. */
static int interrupt_pending(void) {
    return !R_ToplevelExec(check_interrupt, NULL);
}

int glue_api_version(void) { return selvane_engine_api_version(); }

int glue_api_major(void) { return SELVANE_ENGINE_API_MAJOR; }

const char* glue_strerror(int code) { return selvane_engine_strerror(code); }

/* The library's current interface runs a job to its end: an interrupt is
 * seen before the job starts and after it ends, and cancelling a job half
 * way, and counting its iterations, wait for the library's job-struct call
 * (its cancel flag and iteration counts). */
int glue_cluster(const struct glue_cluster_job* job,
                 const struct glue_cluster_result* result) {
    int code;
    if (interrupt_pending()) return GLUE_INTERRUPTED;
    code = selvane_engine_cluster(
        job->items.count, job->items.value_count, job->items.values,
        SELVANE_ENGINE_ITEMS_AS_COLUMNS, NULL, job->items.weights,
        job->cluster_count, job->pass_count,
        job->medians ? SELVANE_ENGINE_MEDIANS : SELVANE_ENGINE_MEANS,
        job->items.euclidean ? SELVANE_ENGINE_EUCLIDEAN
                             : SELVANE_ENGINE_CORRELATION,
        job->seed, job->thread_count, result->ids, result->error_value,
        result->found, result->centres, NULL);
    if (code != SELVANE_ENGINE_OK) return code;
    if (interrupt_pending()) return GLUE_INTERRUPTED;
    *result->iter = NA_INTEGER;
    return code;
}

int glue_assign(const struct glue_items* items, int cluster_count,
                const double* centres, const int* given_ids, int* ids,
                double* distances) {
    if (interrupt_pending()) return GLUE_INTERRUPTED;
    return selvane_engine_assign(items->count, items->value_count,
                                 items->values, SELVANE_ENGINE_ITEMS_AS_COLUMNS,
                                 NULL, items->weights, cluster_count, centres,
                                 NULL,
                                 items->euclidean ? SELVANE_ENGINE_EUCLIDEAN
                                                  : SELVANE_ENGINE_CORRELATION,
                                 given_ids, ids, distances, NULL);
}

int glue_selvane_job(int item_count, int dimension_count, const double* values,
                     int cluster_count, const uint64_t* seed, int thread_count,
                     double* result) {
    int code;
    if (interrupt_pending()) return GLUE_INTERRUPTED;
    /* The job reads its values dimension-major, as R stores a matrix of
     * one item per row. */
    code = selvane_engine_selvane_job(item_count, dimension_count, values,
                                      cluster_count, seed, thread_count, result,
                                      NULL, NULL);
    if (code != SELVANE_ENGINE_OK) return code;
    return interrupt_pending() ? GLUE_INTERRUPTED : code;
}
