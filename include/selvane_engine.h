/* Selvane engine: the clustering engine behind Selvane(), with every choice
 * in the caller's hands and results reproducible by seed.
 *
 * Library: libselvane_engine.so (Linux), selvane_engine.dll (Windows x86
 * and x86-64). Calling convention: the platform's C convention; on 32-bit
 * x86 that is cdecl (the caller pops the arguments), and the DLL exports
 * the plain, undecorated names below.
 *
 * Seeds. A call given a seed draws from its own generator state, made from
 * the seed alone, so it neither disturbs nor is disturbed by any other call
 * in the process, and gives the same bits on every build and at every
 * thread count. The rule from a seed to the generator's two words:
 *   x  = SplitMix64(seed): z = seed + 0x9E3779B97F4A7C15;
 *        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
 *        z = (z ^ (z >> 27)) * 0x94D049BB133111EB; x = z ^ (z >> 31)
 *        (all modulo 2^64)
 *   s1 = 1 + (x mod 2^32) mod 2147483562
 *   s2 = 1 + (x div 2^32) mod 2147483398
 * A call given no seed (a null pointer) continues the process-wide stream
 * that Selvane() uses, which is seeded from the clock.
 *
 * Every function is safe to call from several threads at once. Every
 * failure is a return code (never a result in disguise), and a call that
 * refuses its arguments writes nothing. */
#ifndef SELVANE_ENGINE_H
#define SELVANE_ENGINE_H

#include <stddef.h>
#include <stdint.h>

/* The version of this interface. A program checks at run time that the
   library it loaded has the major version it was built for:
   selvane_engine_api_version() / 10000 == SELVANE_ENGINE_API_MAJOR. */
#define SELVANE_ENGINE_API_MAJOR 1
#define SELVANE_ENGINE_API_MINOR 3
#define SELVANE_ENGINE_API_VERSION \
    (SELVANE_ENGINE_API_MAJOR * 10000 + SELVANE_ENGINE_API_MINOR)

#if defined(_WIN32) && !defined(_WIN64)
#define SELVANE_ENGINE_CALL __cdecl
#else
#define SELVANE_ENGINE_CALL
#endif

#if defined(_WIN32)
#define SELVANE_ENGINE_API
#elif defined(__GNUC__)
#define SELVANE_ENGINE_API __attribute__((visibility("default")))
#else
#define SELVANE_ENGINE_API
#endif

/* Return codes. */
#define SELVANE_ENGINE_OK 0
#define SELVANE_ENGINE_ERROR_NULL_POINTER 1 /* a required pointer is null */
#define SELVANE_ENGINE_ERROR_SHAPE 2        /* item or value count < 1 */
#define SELVANE_ENGINE_ERROR_CLUSTER_COUNT \
    3 /* < 1, or in a clustering > the item count */
#define SELVANE_ENGINE_ERROR_PASS_COUNT 4 /* < 1 */
#define SELVANE_ENGINE_ERROR_OPTION \
    5 /* unknown layout, centres, metric or start */
#define SELVANE_ENGINE_ERROR_VALUE 6  /* a present value is not finite */
#define SELVANE_ENGINE_ERROR_WEIGHT 7 /* a weight is negative or not finite */
#define SELVANE_ENGINE_ERROR_THREAD_COUNT 8 /* < 0 */
#define SELVANE_ENGINE_ERROR_NO_MEMORY 9
#define SELVANE_ENGINE_ERROR_UNMEASURABLE \
    10 /* Selvane job: no item measurable */
/* Since minor version 1: */
#define SELVANE_ENGINE_ERROR_NOTHING_PRESENT \
    11 /* no item has a present value with non-zero weight */
#define SELVANE_ENGINE_ERROR_CLUSTER_ID \
    12 /* a given cluster number is not from 0 to cluster_count-1 */
/* Since minor version 2: */
#define SELVANE_ENGINE_ERROR_CANCELLED 13 /* the job's cancel flag was set */
#define SELVANE_ENGINE_ERROR_STRUCT_SIZE \
    14 /* a job or result is smaller than in minor version 2 */
/* Since minor version 3: */
#define SELVANE_ENGINE_ERROR_START_ITEMS \
    15 /* a start from items: fewer items to start from than clusters */
#define SELVANE_ENGINE_ERROR_MISMATCH \
    16 /* pass words, records or a partition that this job cannot have */

/* layout */
#define SELVANE_ENGINE_ITEMS_AS_ROWS \
    0 /* item i, value j at [i * value_count + j] */
#define SELVANE_ENGINE_ITEMS_AS_COLUMNS \
    1 /* item i, value j at [j * item_count + i] */
/* centres */
#define SELVANE_ENGINE_MEANS 0
#define SELVANE_ENGINE_MEDIANS 1
/* metric */
#define SELVANE_ENGINE_CORRELATION 0 /* uncentered correlation */
#define SELVANE_ENGINE_EUCLIDEAN 1
/* kind (since minor version 2) */
#define SELVANE_ENGINE_JOB_CLUSTER 0 /* the engine on the values as given */
#define SELVANE_ENGINE_JOB_SELVANE 1 /* Selvane()'s own job */
/* start (since minor version 3): how each pass of a clustering starts */
#define SELVANE_ENGINE_START_PARTITION \
    0 /* the items dealt into the clusters at random, as Selvane() */
#define SELVANE_ENGINE_START_ITEMS 1 /* K items drawn as the first centres */
#define SELVANE_ENGINE_START_KMEANS_PLUS_PLUS \
    2 /* greedy k-means++: centres drawn by distance */

/* Since minor version 2: one job description and one result, each
 * beginning with its own size, for selvane_engine_run and
 * selvane_engine_assign. Later minor versions only append fields: a field
 * beyond the size a caller gives takes its default (job) or is not written
 * (result), so a program built against this header keeps working with
 * later libraries. A library refuses a job that sets a field it does not
 * know (SELVANE_ENGINE_ERROR_OPTION) rather than ignore it: check
 * selvane_engine_api_version() before relying on a later field. Set size
 * to sizeof the struct and every other field you do not use to 0 (memset,
 * or = {0}): 0 and null are every field's default. */

/* Called with the passes finished so far and the job's pass count. */
typedef void(SELVANE_ENGINE_CALL* selvane_engine_progress)(void* context,
                                                           int passes_done,
                                                           int pass_count);

/* Since minor version 3: what one pass of a job run in pieces leaves for
 * selvane_engine_merge. 24 bytes on every build. */
typedef struct selvane_engine_pass {
    /* Of the pass's partition with its clusters renumbered in order of
     * first appearance: equal for partitions that group the items alike,
     * whatever their numbers (equal fingerprints alone prove nothing). */
    uint64_t fingerprint;
    double total; /* its error value, had it been the job's only pass */
    int iterations;
    int clusters; /* its non-empty clusters */
} selvane_engine_pass;

typedef struct selvane_engine_job {
    size_t size; /* sizeof(selvane_engine_job), as the caller was compiled */
    int kind;    /* SELVANE_ENGINE_JOB_CLUSTER or _SELVANE */
    /* The items: item_count items of value_count values, in `layout`
     * order. The Selvane job reads them as Selvane() does (every value a
     * finite number greater than zero, or the item is unmeasurable) and
     * takes value_count as its dimension count; Selvane()'s own
     * dimension-major input is SELVANE_ENGINE_ITEMS_AS_COLUMNS. */
    int item_count;
    int value_count;
    const double* values;
    int layout; /* SELVANE_ENGINE_ITEMS_AS_ROWS (default) or _COLUMNS */
    /* Clustering and assignment only (the Selvane job: null): one byte per
     * value, non-zero where present; null: a NaN value is missing. */
    const unsigned char* present;
    /* Clustering and assignment only (Selvane job: null): value_count
     * weights, each finite and not negative; null: every weight 1. */
    const double* weights;
    int cluster_count; /* 1 .. item_count (assignment: the centres, >= 1) */
    /* Clustering only (Selvane job: 0; it runs 200): passes, each from a
     * start of its own (see `start`), at least 1. */
    int pass_count;
    /* Clustering only: SELVANE_ENGINE_MEANS or _MEDIANS. */
    int centres;
    /* Clustering and assignment: SELVANE_ENGINE_CORRELATION or _EUCLIDEAN.
     * The Selvane job: 0 (it uses the correlation). */
    int metric;
    /* Null: the process-wide stream (as Selvane()); else a seed. */
    const uint64_t* seed;
    /* 0: SELVANE_THREADS, else every processor; else the most threads the
     * passes may use. The result is the same for every count. */
    int thread_count;
    /* Null, or called on the calling thread after each pass is finished,
     * in pass order, with progress_context. It may not call back into
     * the library for this job. */
    selvane_engine_progress progress;
    void* progress_context;
    /* Null, or a flag the caller may set non-zero from any thread (with an
     * atomic or volatile store) while the job runs: the job then stops at
     * the next iteration of its passes and returns
     * SELVANE_ENGINE_ERROR_CANCELLED, having written nothing. A cancelled
     * job without a seed has advanced the process-wide stream by the
     * starts it drew. */
    const volatile int* cancel;
    /* selvane_engine_assign only: cluster_count * value_count doubles,
     * row-major (centre k, value j at [k * value_count + j]) whatever the
     * layout. */
    const double* given_centres;
    /* selvane_engine_assign only: null (a NaN centre value is missing) or
     * one byte per centre value, non-zero where present. */
    const unsigned char* given_centre_present;
    /* selvane_engine_assign only: null to choose each item's nearest
     * centre, or item_count numbers from 0 to cluster_count-1: the centre
     * each item is measured against. */
    const int* given_ids;
    /* Since minor version 3. Clustering only: how each pass starts.
     * SELVANE_ENGINE_START_PARTITION (default): every item dealt into a
     * cluster at random, each cluster given at least one.
     * SELVANE_ENGINE_START_ITEMS: cluster_count distinct items, drawn with
     * equal probability, are the first centres.
     * SELVANE_ENGINE_START_KMEANS_PLUS_PLUS: greedy k-means++, as
     * scikit-learn's: the first centre an item drawn with equal
     * probability; each next one, of L = 2 + floor(ln cluster_count) items
     * drawn with probability proportional to their distance to the nearest
     * centre so far, the one that leaves the least total distance.
     * With either start from items, centre j (the j-th chosen, from 0) is
     * alone in cluster j, every other item joins its nearest centre (a
     * centre takes it only when strictly nearer than every centre chosen
     * before it), and the pass runs from that partition as from a random
     * one. The rules, by the job's own metric, weights and presence, for
     * every centre kind:
     * - Only an item with a present value of non-zero weight can be a
     *   centre; a job with fewer such items than clusters is refused
     *   (SELVANE_ENGINE_ERROR_START_ITEMS).
     * - Every draw is a uniform u from the job's generator, drawn on the
     *   calling thread in pass order, so the starts and the results are the
     *   same at every thread count: cluster_count draws per start from
     *   items, 1 + (cluster_count - 1) L per k-means++ start. An equal
     *   choice among the R such items not yet chosen takes the one at place
     *   floor(u * R) (from 0, in item order; at most R-1).
     * - A weighted choice weighs each such item not yet chosen by
     *   max(d, 0), d its distance to its nearest centre (max removes a
     *   correlation distance rounded below 0; a distance that is not a
     *   number weighs 0), adds the weights in item order into a total T,
     *   and takes the first item of positive weight whose running sum
     *   exceeds u * T. A total of 0 (every item left lies on a centre:
     *   duplicates) or beyond the double range makes it an equal choice.
     * - The total a k-means++ trial leaves is the same sum of weights with
     *   the trial as a centre, added in item order; among equal totals the
     *   first drawn wins.
     * - Distances are measured from the item (first vector) to the chosen
     *   item (second vector). */
    int start;
    /* Since minor version 3 too: a seeded job's passes run in pieces, apart
     * (on other machines, say), with the bits of the whole call; see
     * selvane_engine_plan. selvane_engine_run with range_count 0 runs the
     * whole job; with range_count >= 1 it runs only passes first_pass ..
     * first_pass + range_count - 1 (0 is the first, and the last must be
     * below the job's pass count), each from its words in pass_words. */
    int first_pass;
    int range_count;
    /* A piece: range_count words from the plan's pass_words, those of its
     * passes (pass_words + first_pass of the plan's array). */
    const uint64_t* pass_words;
    /* selvane_engine_merge: the records of every pass of the job (pass
     * count of them; the Selvane job: 200), in pass order. */
    const selvane_engine_pass* pass_records;
    /* selvane_engine_merge: null, or the partition of pass best_pass as its
     * piece gave it in pass_ids. */
    const int* best_ids;
} selvane_engine_job;

/* Outputs: arrays the caller owns (each may be null), and numbers. Nothing
 * is written unless the call returns SELVANE_ENGINE_OK. */
typedef struct selvane_engine_result {
    size_t size; /* sizeof(selvane_engine_result), as the caller was compiled */
    /* item_count ints: the partition the engine found, 0 .. cluster_count-1
     * (assignment: each item's centre). */
    int* cluster_ids;
    /* Selvane job: item_count doubles, what Selvane() writes: the number of
     * each item's cluster by rank (include/selvane.h). */
    double* ranked_numbers;
    /* Clustering: cluster_count * value_count doubles, row-major (centre k,
     * value j at [k * value_count + j]) whatever the layout: cluster k's
     * mean or median of its members' present values; NaN where no member
     * has the value. */
    double* centres;
    /* Clustering: cluster_count * value_count bytes, 1 where the centre
     * value exists, 0 where no member has the value. */
    unsigned char* centre_present;
    /* Selvane job: item_count doubles, each item's relative magnitude: its
     * Euclidean norm over the largest norm of the job, 0 for an
     * unmeasurable item. */
    double* magnitudes;
    /* Selvane job: cluster_count doubles; element k is the ranked value of
     * cluster k of cluster_ids: the sum of its members' magnitudes, each
     * addition made in double and rounded to single precision, divided by
     * its member count plus one in single precision, then widened exactly
     * to double. ranked_numbers orders the clusters by these values. */
    double* ranked_values;
    /* Selvane job: item_count bytes, 1 where every value of the item is a
     * finite number greater than zero, 0 where the item is unmeasurable. */
    unsigned char* measurable;
    /* Assignment: item_count doubles, each item's distance to its
     * centre. */
    double* distances;
    /* Clustering and Selvane job: the total distance of the returned
     * partition, as the last sweep of the first pass to reach it added it
     * up: in item order, each item's distance to the centre it ended in,
     * measured against the centres that sweep started from, an item alone
     * in its cluster adding nothing. It can differ from the total of the
     * partition's own centres, which selvane_engine_assign gives.
     * Assignment: the sum of the distances, added in item order from 0. */
    double error_value;
    /* Clustering and Selvane job: how many passes reached the partition. */
    int found_count;
    /* Clustering and Selvane job: the iterations of the first pass that
     * reached the partition, and of every pass in total. */
    int best_pass_iterations;
    int64_t total_iterations;
    /* Since minor version 3. selvane_engine_plan: pass count words (the
     * Selvane job: 200), the generator's two words as each pass's start is
     * drawn, s1 in the low 32 bits and s2 in the high ones. */
    uint64_t* pass_words;
    /* selvane_engine_plan: the generator's words after the job's last draw,
     * those the whole call leaves. */
    uint64_t generator_words;
    /* A piece: range_count records, one per pass of the range. */
    selvane_engine_pass* pass_records;
    /* A piece: range_count * item_count ints, pass by pass: each pass's
     * partition, 0 .. cluster_count-1. */
    int* pass_ids;
    /* selvane_engine_merge: the pass whose partition the job returns. */
    int best_pass;
    /* selvane_engine_merge: null, or pass count ints: for a pass the merge
     * took to reach the best partition so far, that best pass; -1 for
     * every other pass. */
    int* matched;
} selvane_engine_result;

#ifdef __cplusplus
extern "C" {
#endif

/* SELVANE_ENGINE_API_VERSION of the library. */
SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_api_version(void);

/* A short English sentence for a return code; never null. */
SELVANE_ENGINE_API const char* SELVANE_ENGINE_CALL
selvane_engine_strerror(int code);

/* Since minor version 2. Runs the job; a field its kind does not use must
 * keep its default, or the job is refused (SELVANE_ENGINE_ERROR_OPTION). A
 * job or result that is null, or whose size is below this version's, is
 * refused (SELVANE_ENGINE_ERROR_NULL_POINTER, _STRUCT_SIZE).
 *
 * SELVANE_ENGINE_JOB_CLUSTER clusters the items into cluster_count
 * clusters, with pass_count passes from starts chosen by `start`; the
 * partition of smallest total distance wins. The values are used as given;
 * missing values take no part in any distance or centre, and at least one
 * present value must have a non-zero weight, or there is nothing to cluster on
 * (SELVANE_ENGINE_ERROR_NOTHING_PRESENT). Values near the ends of the
 * double range: the correlation distance of finite values is always
 * finite; where its plain sums would overflow or underflow, both vectors
 * and the weights are first scaled by powers of two, which leaves the
 * distance as it is. A Euclidean distance may overflow to infinity; a
 * pass whose total is not a number ends at once, as if it had settled.
 * Writes cluster_ids, centres, centre_present, error_value, found_count
 * and the iterations.
 *
 * SELVANE_ENGINE_JOB_SELVANE is the job of Selvane() (include/selvane.h):
 * the same preparation, settings (200 passes, means, the correlation) and
 * numbering of the clusters by magnitude, here with a seed and a thread
 * count. Writes cluster_ids, ranked_numbers, magnitudes, ranked_values,
 * measurable, error_value, found_count and the iterations; refuses a job
 * in which no item can be measured (SELVANE_ENGINE_ERROR_UNMEASURABLE).
 *
 * With range_count >= 1 (since minor version 3) the job is a piece (see
 * selvane_engine_plan): it also refuses a range outside the job's passes
 * (SELVANE_ENGINE_ERROR_PASS_COUNT), pass_words or pass_records that are
 * null (SELVANE_ENGINE_ERROR_NULL_POINTER), and words no generator can hold
 * (SELVANE_ENGINE_ERROR_MISMATCH); pass_records and best_ids must be null.
 * Without a range, first_pass, pass_words, pass_records and best_ids keep
 * their defaults. */
SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_run(
    const selvane_engine_job* job, selvane_engine_result* result);

/* Measures items against given centres (those of a clustering, say) with
 * the distances the clustering uses, to the same bits: assigns each item
 * to its nearest centre, or measures it against a centre given for it.
 * Reads item_count, value_count, values, layout, present, weights (checked
 * as for a clustering), cluster_count (the centres, at least 1; it may
 * exceed item_count), metric, given_centres (required; present centre
 * values must be finite, one at least with a non-zero weight),
 * given_centre_present and given_ids; kind must be
 * SELVANE_ENGINE_JOB_CLUSTER, and pass_count, centres, seed, thread_count,
 * progress, cancel and the fields of minor version 3 keep their defaults.
 *
 * Nearest: a centre takes the item only when strictly nearer than every
 * centre numbered below it, so among equally near centres the lowest
 * number wins. An item and a centre with no present value in common are
 * at distance 0; where every value in common has weight 0, the Euclidean
 * distance is 0 and the correlation distance 1.
 *
 * Writes cluster_ids (given_ids copied when given), distances and
 * error_value (their sum) of the result. Interface 1.1 had another
 * signature for this function; it was never released. */
SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_assign(
    const selvane_engine_job* job, selvane_engine_result* result);

/* Since minor version 3: a job in pieces. The passes of a seeded job
 * depend on each other only through the generator, and only through the
 * words each start is drawn from, so a job can be run as:
 *
 *   1. selvane_engine_plan: every pass's start drawn in pass order, as the
 *      whole call draws them, and the words each was drawn from kept.
 *   2. selvane_engine_run with a range, anywhere, as many times as wanted:
 *      passes first_pass .. first_pass + range_count - 1 from their words.
 *      A pass gives the same bits as in the whole call. Writes only
 *      pass_records and pass_ids of the result; seed is not read.
 *   3. selvane_engine_merge with every pass's record, in pass order: the
 *      whole call's choice among them, decided by fingerprints. Every pass
 *      of a job ends with all its clusters non-empty, so different
 *      fingerprints prove different partitions; equal ones must be
 *      confirmed: for every pass p with matched[p] = b >= 0, each cluster
 *      of pass b's partition lies within one cluster of pass p's (test
 *      ids_p[i] == map[ids_b[i]], map[ids_b[i]] being set by the first such
 *      item). If every pair holds, the merge is the whole call's outcome;
 *      if one fails (two partitions share a fingerprint, which is rare
 *      beyond observation), the merge is not, and the job must be run
 *      whole. Then call it again with best_ids, pass best_pass's
 *      partition, for the outputs that come from the partition.
 *
 * The plan's generator_words are those the whole call leaves.
 *
 * Reads the job's fields as selvane_engine_run does (a seed is required)
 * and refuses what it refuses; range_count, pass_words, pass_records and
 * best_ids keep their defaults. Writes pass_words (required) and
 * generator_words. */
SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_plan(
    const selvane_engine_job* job, selvane_engine_result* result);

/* Since minor version 3. Reads the job's fields as selvane_engine_run does
 * (the seed is not read, range_count and pass_words keep their defaults)
 * and pass_records (required) and best_ids. Writes best_pass, matched,
 * error_value, found_count and the iterations; with best_ids, also the
 * outputs the whole call derives from its partition: cluster_ids (best_ids
 * itself), and centres and centre_present, or the Selvane job's
 * ranked_numbers, magnitudes, ranked_values and measurable, each where not
 * null; without best_ids those must be null (SELVANE_ENGINE_ERROR_NULL_
 * POINTER). Refuses (SELVANE_ENGINE_ERROR_MISMATCH) a record with fewer
 * iterations than 1 or clusters other than cluster_count, and best_ids
 * whose fingerprint is not best_pass's (SELVANE_ENGINE_ERROR_CLUSTER_ID
 * for a number outside 0 .. cluster_count-1). */
SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_merge(
    const selvane_engine_job* job, selvane_engine_result* result);

/* The calls of minor versions 0 and 1, kept: each is selvane_engine_run
 * with the fields its arguments name and every other field at its default.
 *
 * The clustering job: cluster_ids is required; error_value and
 * found_count, each may be null, receive the result's. */
SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_cluster(
    int item_count, int value_count, const double* values, int layout,
    const unsigned char* present, const double* weights, int cluster_count,
    int pass_count, int centres_kind, int metric, const uint64_t* seed,
    int thread_count, int* cluster_ids, double* error_value, int* found_count,
    double* centres, unsigned char* centre_present);

/* The Selvane job, on Selvane()'s own dimension-major input
 * (SELVANE_ENGINE_ITEMS_AS_COLUMNS): result (required) receives
 * ranked_numbers; error_value and found_count, each may be null, the
 * result's. */
SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_selvane_job(
    int item_count, int dimension_count, const double* input_values,
    int cluster_count, const uint64_t* seed, int thread_count, double* result,
    double* error_value, int* found_count);

#ifdef __cplusplus
}
#endif

#endif /* SELVANE_ENGINE_H */
