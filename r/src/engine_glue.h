/* The package's one door into the engine library: every call into it goes
 * through the functions below, so that a change of the library's interface
 * is a change of engine_glue.c alone. Cluster numbers are the library's,
 * from 0; item values are column-major with one item per row, as R stores a
 * matrix; centres are the library's rows, one centre per row of value_count
 * values (in R, a value_count x cluster_count matrix). */
#ifndef SELVANE_R_ENGINE_GLUE_H
#define SELVANE_R_ENGINE_GLUE_H

#include <stdint.h>

/* Returned when the user interrupted the call; no engine code is negative. */
#define GLUE_INTERRUPTED (-1)

struct glue_items {
    int count;
    int value_count;
    const double* values;  /* NaN (R's NA among them) is a missing value */
    const double* weights; /* null: every weight 1 */
    int euclidean;         /* else the uncentered correlation */
};

struct glue_cluster_job {
    struct glue_items items;
    int cluster_count;
    int pass_count;
    int medians;          /* else means */
    const uint64_t* seed; /* null: the library's process-wide stream */
    int thread_count;     /* 0: the library's default */
};

struct glue_cluster_result {
    int* ids;            /* items.count */
    double* error_value; /* the engine's error value */
    int* found;          /* passes that reached the partition */
    double* centres;     /* cluster_count rows; NaN where no member has it */
    int* iter; /* iterations of the best pass; NA_INTEGER if unknown */
};

/* The library's SELVANE_ENGINE_API_VERSION, and the major version this
 * package was built for. */
int glue_api_version(void);
int glue_api_major(void);
const char* glue_strerror(int code);

/* Each returns the library's code, or GLUE_INTERRUPTED; its outputs hold a
 * result only when it returns 0. */
int glue_cluster(const struct glue_cluster_job* job,
                 const struct glue_cluster_result* result);
/* Items against cluster_count centres (NaN: missing): with given_ids
 * null, each item's nearest centre; else the centre given for it. ids and
 * distances get each item's centre and its distance to it. */
int glue_assign(const struct glue_items* items, int cluster_count,
                const double* centres, const int* given_ids, int* ids,
                double* distances);
/* Selvane's own job; result gets the ranked cluster numbers as doubles. */
int glue_selvane_job(int item_count, int dimension_count, const double* values,
                     int cluster_count, const uint64_t* seed, int thread_count,
                     double* result);

#endif /* SELVANE_R_ENGINE_GLUE_H */
