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

#include <stdint.h>

/* The version of this interface. A program checks at run time that the
   library it loaded has the major version it was built for:
   selvane_engine_api_version() / 10000 == SELVANE_ENGINE_API_MAJOR. */
#define SELVANE_ENGINE_API_MAJOR 1
#define SELVANE_ENGINE_API_MINOR 1
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
#define SELVANE_ENGINE_ERROR_OPTION 5 /* unknown layout, centres or metric */
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

#ifdef __cplusplus
extern "C" {
#endif

/* SELVANE_ENGINE_API_VERSION of the library. */
SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_api_version(void);

/* A short English sentence for a return code; never null. */
SELVANE_ENGINE_API const char* SELVANE_ENGINE_CALL
selvane_engine_strerror(int code);

/* Clusters item_count items of value_count values into cluster_count
 * clusters, with pass_count passes from random starts; the partition of
 * smallest total distance wins. The values are used as given.
 *
 * values:   item_count * value_count doubles, in `layout` order.
 * present:  null, or one byte per value in the same order: non-zero where
 *           the value is present. Without it, a NaN value is missing.
 *           Missing values take no part in any distance or centre.
 * weights:  null (every weight 1), or value_count weights of the values in
 *           every distance, each finite and not negative. At least one
 *           present value must have a non-zero weight, or there is nothing
 *           to cluster on (SELVANE_ENGINE_ERROR_NOTHING_PRESENT).
 * seed:     null (the process-wide stream) or the address of a seed.
 * thread_count: 0 for the default (SELVANE_THREADS, else the processors),
 *           else the most threads the passes may use; the result is the
 *           same for every count.
 *
 * Values near the ends of the double range: the correlation distance of
 * finite values is always finite; where its plain sums would overflow or
 * underflow, both vectors and the weights are first scaled by powers of two,
 * which leaves the distance as it is. A Euclidean distance may overflow to
 * infinity; a pass whose total is not a number ends at once, as if it had
 * settled.
 *
 * Outputs, written only on success:
 * cluster_ids:  item_count ints, 0 .. cluster_count-1.
 * error_value:  null or the total distance of the returned partition, as
 *               the last sweep of the first pass to reach it added it up: in
 *               item order, each item's distance to the centre it ended in,
 *               measured against the centres that sweep started from, an
 *               item alone in its cluster adding nothing. It can differ
 *               from the total of the partition's own centres (below);
 *               selvane_engine_assign gives that one.
 * found_count:  null or how many of the passes reached that partition.
 * centres:      null or cluster_count * value_count doubles, row-major
 *               (centre k, value j at [k * value_count + j]) whatever the
 *               layout: the mean or median of the members' present values;
 *               NaN where no member has the value.
 * centre_present: null or cluster_count * value_count bytes: 1 where the
 *               centre value exists, 0 where no member has the value. */
SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_cluster(
    int item_count, int value_count, const double* values, int layout,
    const unsigned char* present, const double* weights, int cluster_count,
    int pass_count, int centres_kind, int metric, const uint64_t* seed,
    int thread_count, int* cluster_ids, double* error_value, int* found_count,
    double* centres, unsigned char* centre_present);

/* Measures items against given centres (those of selvane_engine_cluster,
 * say) with the distances the clustering uses, to the same bits: assigns
 * each item to its nearest centre, or measures it against a centre given
 * for it.
 *
 * item_count, value_count, values, layout, present, weights: the items, as
 *           for selvane_engine_cluster, and checked as there.
 * cluster_count: the number of centres, at least 1 (it may exceed
 *           item_count).
 * centres:  cluster_count * value_count doubles, row-major (centre k, value
 *           j at [k * value_count + j]) whatever the layout.
 * centre_present: null (a NaN centre value is missing) or cluster_count *
 *           value_count bytes, non-zero where the centre value is present.
 *           Present centre values must be finite, and one at least must
 *           have a non-zero weight.
 * metric:   SELVANE_ENGINE_CORRELATION or SELVANE_ENGINE_EUCLIDEAN.
 * given_ids: null to choose each item's nearest centre: a centre takes the
 *           item only when strictly nearer than every centre numbered
 *           below it, so among equally near centres the lowest number
 *           wins. Or item_count cluster numbers, each from 0 to
 *           cluster_count-1: item i is measured against centre
 *           given_ids[i].
 *
 * An item and a centre with no present value in common are at distance 0;
 * where every value in common has weight 0, the Euclidean distance is 0
 * and the correlation distance 1.
 *
 * Outputs, each may be null, written only on success:
 * cluster_ids: item_count ints: the centre of each item (given_ids
 *           copied when given).
 * distances: item_count doubles: each item's distance to its centre.
 * total:    the sum of those distances, added in item order from 0. */
SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_assign(
    int item_count, int value_count, const double* values, int layout,
    const unsigned char* present, const double* weights, int cluster_count,
    const double* centres, const unsigned char* centre_present, int metric,
    const int* given_ids, int* cluster_ids, double* distances, double* total);

/* The job of Selvane() (include/selvane.h): the same input, preparation,
 * settings and numbering of the clusters by magnitude, here with a seed
 * (or null for the process-wide stream) and a thread count. result gets
 * item_count whole-number doubles; error_value and found_count (each may
 * be null) get the engine's error value and found count. */
SELVANE_ENGINE_API int SELVANE_ENGINE_CALL selvane_engine_selvane_job(
    int item_count, int dimension_count, const double* input_values,
    int cluster_count, const uint64_t* seed, int thread_count, double* result,
    double* error_value, int* found_count);

#ifdef __cplusplus
}
#endif

#endif /* SELVANE_ENGINE_H */
