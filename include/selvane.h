/* Selvane: exact k-means clustering of positive measurement vectors.
 *
 * One function, no state the caller manages. Concurrent calls from several
 * threads are safe; they share one process-wide random stream. */
#ifndef SELVANE_H
#define SELVANE_H

/* The version of this header and of the library it declares. The major
   number changes only when a program built against an older one could no
   longer load or call this library (it names the shared object:
   libselvane.so.1). */
#define SELVANE_VERSION_MAJOR 1
#define SELVANE_VERSION_MINOR 0
#define SELVANE_VERSION_PATCH 0
#define SELVANE_VERSION_STRING "1.0.0"

/* The x86 Windows build uses stdcall (the callee pops its 20 bytes of
   arguments); every other build uses the platform's default convention. */
#if defined(_WIN32) && !defined(_WIN64)
#define SELVANE_CALL __stdcall
#else
#define SELVANE_CALL
#endif

/* Windows exports through a module-definition file, which fixes the exact
   export name per architecture; elsewhere visibility picks the one symbol. */
#if defined(_WIN32)
#define SELVANE_API
#elif defined(__GNUC__)
#define SELVANE_API __attribute__((visibility("default")))
#else
#define SELVANE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Partitions itemCount items into clusterCount clusters and writes one
 * cluster number per item into result[0 .. itemCount-1], as a whole-number
 * double, numbered by rank: each cluster's ranked value is the sum of its
 * members' relative magnitudes (an item's Euclidean norm over the largest
 * norm of the job) divided by its member count plus one, computed and
 * compared in single precision. 0 goes to the cluster of lowest ranked
 * value, clusterCount-1 to the highest. Clusters whose ranked values are
 * equal share one number, the highest of the places they take, and the
 * numbers below it are unused: clusters holding only unmeasurable items tie
 * at 0 and share a number.
 *
 * inputValues: itemCount x dimensionCount doubles, dimension-major: the
 *   value of dimension d of item i is inputValues[d * itemCount + i].
 *   Only read. An item with any value that is not a finite number greater
 *   than zero cannot be measured; it is still clustered, by magnitude 0.
 * result: itemCount doubles, written; nothing beyond them is touched.
 *
 * -1.0 in an element means "no cluster": written to every element when the
 * arguments cannot be clustered (clusterCount < 1, itemCount < clusterCount,
 * dimensionCount < 1, no item measurable) or memory ran out. */
SELVANE_API void SELVANE_CALL Selvane(int itemCount, int dimensionCount,
                                      const double* inputValues,
                                      int clusterCount, double* result);

#ifdef __cplusplus
}
#endif

#endif /* SELVANE_H */
