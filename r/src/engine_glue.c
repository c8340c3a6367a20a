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

/* Called by the library on this thread after every pass: an interrupt
 * pressed since sets the job's cancel flag, and the job stops at its next
 * iteration. */
static void SELVANE_ENGINE_CALL check_between_passes(void* cancel, int done,
                                                     int count) {
    (void)done;
    (void)count;
    if (interrupt_pending()) *(volatile int*)cancel = 1;
}

static selvane_engine_job new_job(int kind, const struct glue_items* items,
                                  int cluster_count) {
    selvane_engine_job job = {0};
    job.size = sizeof job;
    job.kind = kind;
    job.item_count = items->count;
    job.value_count = items->value_count;
    job.values = items->values;
    job.layout = SELVANE_ENGINE_ITEMS_AS_COLUMNS;
    job.weights = items->weights;
    job.cluster_count = cluster_count;
    job.metric = items->euclidean ? SELVANE_ENGINE_EUCLIDEAN
                                  : SELVANE_ENGINE_CORRELATION;
    return job;
}

/* Runs a job that an interrupt can stop between its passes. */
static int run(selvane_engine_job* job, selvane_engine_result* result) {
    volatile int cancel = 0;
    int code;
    if (interrupt_pending()) return GLUE_INTERRUPTED;
    job->progress = check_between_passes;
    job->progress_context = (void*)&cancel;
    job->cancel = &cancel;
    code = selvane_engine_run(job, result);
    return code == SELVANE_ENGINE_ERROR_CANCELLED ? GLUE_INTERRUPTED : code;
}

int glue_cluster(const struct glue_cluster_job* job,
                 const struct glue_cluster_result* result) {
    selvane_engine_job run_job =
        new_job(SELVANE_ENGINE_JOB_CLUSTER, &job->items, job->cluster_count);
    selvane_engine_result out = {0};
    int code;
    run_job.pass_count = job->pass_count;
    run_job.centres = job->medians ? SELVANE_ENGINE_MEDIANS : SELVANE_ENGINE_MEANS;
    run_job.seed = job->seed;
    run_job.thread_count = job->thread_count;
    out.size = sizeof out;
    out.cluster_ids = result->ids;
    out.centres = result->centres;
    code = run(&run_job, &out);
    if (code != SELVANE_ENGINE_OK) return code;
    *result->error_value = out.error_value;
    *result->found = out.found_count;
    *result->iter = out.best_pass_iterations;
    return code;
}

int glue_assign(const struct glue_items* items, int cluster_count,
                const double* centres, const int* given_ids, int* ids,
                double* distances) {
    selvane_engine_job job =
        new_job(SELVANE_ENGINE_JOB_CLUSTER, items, cluster_count);
    selvane_engine_result out = {0};
    if (interrupt_pending()) return GLUE_INTERRUPTED;
    job.given_centres = centres;
    job.given_ids = given_ids;
    out.size = sizeof out;
    out.cluster_ids = ids;
    out.distances = distances;
    return selvane_engine_assign(&job, &out);
}

int glue_selvane_job(int item_count, int dimension_count, const double* values,
                     int cluster_count, const uint64_t* seed, int thread_count,
                     double* result) {
    /* The job reads its values dimension-major, as R stores a matrix of
     * one item per row. */
    const struct glue_items items = {item_count, dimension_count, values,
                                     NULL, 0};
    selvane_engine_job job =
        new_job(SELVANE_ENGINE_JOB_SELVANE, &items, cluster_count);
    selvane_engine_result out = {0};
    job.seed = seed;
    job.thread_count = thread_count;
    out.size = sizeof out;
    out.ranked_numbers = result;
    return run(&job, &out);
}
