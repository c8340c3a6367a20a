/* The functions R calls with .Call. Each takes arguments already checked by
 * the package's R code, allocates its outputs as R objects (so that an
 * error or interrupt anywhere frees them) and returns the library's code
 * with them: R turns a failure into a condition with the library's words. */
#include <R.h>
#include <R_ext/Rdynload.h>
#include <Rinternals.h>
#include <stdint.h>
#include <stdlib.h>

#include "engine_glue.h"

/* seed: NULL, or the decimal digits of a number below 2^64 (checked in R). */
static const uint64_t* seed_from(SEXP seed, uint64_t* storage) {
    if (isNull(seed)) return NULL;
    *storage = (uint64_t)strtoull(CHAR(STRING_ELT(seed, 0)), NULL, 10);
    return storage;
}

static struct glue_items items_from(SEXP x, SEXP weights, SEXP euclidean) {
    struct glue_items items;
    items.count = nrows(x);
    items.value_count = ncols(x);
    items.values = REAL(x);
    items.weights = isNull(weights) ? NULL : REAL(weights);
    items.euclidean = asLogical(euclidean);
    return items;
}

/* list(code, values...); the n values are the last n objects protected,
 * and are unprotected here. */
static SEXP code_and(int code, int n, SEXP* values) {
    SEXP out = PROTECT(allocVector(VECSXP, n + 1));
    int i;
    SET_VECTOR_ELT(out, 0, ScalarInteger(code));
    for (i = 0; i < n; i++) SET_VECTOR_ELT(out, i + 1, values[i]);
    UNPROTECT(n + 1);
    return out;
}

/* list(code, ids from 0, error, found, centres (value_count x k), iter) */
static SEXP cluster(SEXP x, SEXP k, SEXP passes, SEXP medians, SEXP euclidean,
                    SEXP weights, SEXP seed, SEXP threads) {
    uint64_t seed_storage;
    struct glue_cluster_job job;
    struct glue_cluster_result result;
    SEXP out[5];
    int code;
    job.items = items_from(x, weights, euclidean);
    job.cluster_count = asInteger(k);
    job.pass_count = asInteger(passes);
    job.medians = asLogical(medians);
    job.seed = seed_from(seed, &seed_storage);
    job.thread_count = asInteger(threads);
    out[0] = PROTECT(allocVector(INTSXP, job.items.count));
    out[1] = PROTECT(allocVector(REALSXP, 1));
    out[2] = PROTECT(allocVector(INTSXP, 1));
    /* A cluster count the library will refuse gets no room: it writes
     * nothing then. */
    out[3] = PROTECT(allocMatrix(
        REALSXP, job.items.value_count,
        job.cluster_count >= 1 && job.cluster_count <= job.items.count
            ? job.cluster_count
            : 0));
    out[4] = PROTECT(allocVector(INTSXP, 1));
    result.ids = INTEGER(out[0]);
    result.error_value = REAL(out[1]);
    result.found = INTEGER(out[2]);
    result.centres = REAL(out[3]);
    result.iter = INTEGER(out[4]);
    code = glue_cluster(&job, &result);
    return code_and(code, 5, out);
}

/* list(code, ids from 0, distances); centres: value_count x k, NA where
 * missing; given: NULL or ids from 0 */
static SEXP assign(SEXP x, SEXP weights, SEXP euclidean, SEXP centres,
                   SEXP given) {
    struct glue_items items = items_from(x, weights, euclidean);
    SEXP out[2];
    int code;
    out[0] = PROTECT(allocVector(INTSXP, items.count));
    out[1] = PROTECT(allocVector(REALSXP, items.count));
    code = glue_assign(&items, ncols(centres), REAL(centres),
                       isNull(given) ? NULL : INTEGER(given), INTEGER(out[0]),
                       REAL(out[1]));
    return code_and(code, 2, out);
}

/* list(code, ranked cluster numbers from 0 as doubles) */
static SEXP selvane_job(SEXP x, SEXP k, SEXP seed, SEXP threads) {
    uint64_t seed_storage;
    SEXP numbers = PROTECT(allocVector(REALSXP, nrows(x)));
    int code = glue_selvane_job(nrows(x), ncols(x), REAL(x), asInteger(k),
                                seed_from(seed, &seed_storage),
                                asInteger(threads), REAL(numbers));
    return code_and(code, 1, &numbers);
}

static SEXP error_text(SEXP code) {
    return mkString(glue_strerror(asInteger(code)));
}

/* c(the library's interface version, the major version built for) */
static SEXP api_version(void) {
    SEXP out = allocVector(INTSXP, 2);
    INTEGER(out)[0] = glue_api_version();
    INTEGER(out)[1] = glue_api_major();
    return out;
}

static const R_CallMethodDef calls[] = {
    {"selvane_cluster", (DL_FUNC)&cluster, 8},
    {"selvane_assign", (DL_FUNC)&assign, 5},
    {"selvane_job", (DL_FUNC)&selvane_job, 4},
    {"selvane_error_text", (DL_FUNC)&error_text, 1},
    {"selvane_api_version", (DL_FUNC)&api_version, 0},
    {NULL, NULL, 0}};

void R_init_selvane(DllInfo* info) {
    R_registerRoutines(info, NULL, calls, NULL, NULL);
    R_useDynamicSymbols(info, FALSE);
    R_forceSymbols(info, TRUE);
}
