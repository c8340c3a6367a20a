// Engine operations: internal, never exported; tests and tools compile
// against them. Every operation works only on its arguments: the class holds
// no data, and any instance gives the same results. The random ones, and
// the passes that draw from them, take the generator to draw from; the
// passes take the caller's run settings (threads, progress, cancellation)
// too, and report how they ran where given a RunReport.
//
// Shapes. A DataMatrix is an array of row pointers to doubles, a MaskMatrix
// the parallel array of row pointers to ints; a value takes part exactly when
// its mask entry is non-zero. With itemsAsColumns == 0 each row is an item
// (N = rowCount items of D = columnCount values); with any other value each
// column is an item (N = columnCount, D = rowCount). Centroid matrices follow
// the same orientation: clusterCount rows of D values, or D rows of
// clusterCount values.
#ifndef SELVANE_ENGINE_CLUSTER_ENGINE_H
#define SELVANE_ENGINE_CLUSTER_ENGINE_H

#include "engine/Distance.h"
#include "engine/RunSettings.h"
#include "random/Generator.h"

namespace selvane {

using DataMatrix = double**;
using MaskMatrix = int**;
using WeightVector = double*;
using ClusterIdArray = int*;
using MethodCode = char;
using MetricCode = char;

class ClusterEngine {
public:
    // Square root of the sum of squares of columns 0 .. columnCount-1 of row
    // rowIndex whose mask is greater than 0, added in ascending order.
    double RowNorm(int columnCount, int rowIndex, const double* const* data,
                   const int* const* mask);

    // The one way into the engine. foundCount receives the number of passes
    // that found the returned partition, 0 when there are fewer items than
    // clusters, -1 when memory ran out or the run was cancelled (the report
    // tells which). clusterIds: N ints; with passCount 0 it also holds the
    // starting assignment (each 0 .. clusterCount-1). report may be null.
    // Caller guarantees clusterCount >= 1.
    void PartitionClusters(int clusterCount, int rowCount, int columnCount,
                           const double* const* data, const int* const* mask,
                           const double* weights, int itemsAsColumns,
                           int passCount, MethodCode centreMethod,
                           MetricCode metric, ClusterIdArray clusterIds,
                           double* errorValue, int* foundCount,
                           Generator& generator, const RunSettings& run,
                           RunReport* report);

    // Returns 1 with both outputs set, or 0 with nothing left allocated.
    int AllocCentroidMatrices(int rowCount, int columnCount,
                              DataMatrix* centroidData,
                              MaskMatrix* centroidMask);
    void FreeCentroidMatrices(int rowCount, DataMatrix centroidData,
                              MaskMatrix centroidMask);

    // Multi-pass k-means. workingIds is clusterIds itself when passCount <= 1;
    // clusterMap (K ints) is only touched when passCount > 1. Returns the
    // found count, or -1 when the saved assignment cannot be allocated or
    // the run was cancelled.
    int KMeansPasses(int clusterCount, int rowCount, int columnCount,
                     const double* const* data, const int* const* mask,
                     const double* weights, int itemsAsColumns, int passCount,
                     MetricCode metric, DataMatrix centroidData,
                     MaskMatrix centroidMask, ClusterIdArray clusterIds,
                     double* errorValue, int* workingIds, int* clusterSizes,
                     int* clusterMap, Generator& generator,
                     const RunSettings& run, RunReport* report);

    // The same loop with medians as centres; workValues has room for N doubles.
    int KMediansPasses(int clusterCount, int rowCount, int columnCount,
                       const double* const* data, const int* const* mask,
                       const double* weights, int itemsAsColumns, int passCount,
                       MetricCode metric, DataMatrix centroidData,
                       MaskMatrix centroidMask, ClusterIdArray clusterIds,
                       double* errorValue, int* workingIds, int* clusterSizes,
                       int* clusterMap, double* workValues,
                       Generator& generator, const RunSettings& run,
                       RunReport* report);

    // Centre of every cluster as the mean of its members' present values.
    // Caller guarantees 0 <= clusterIds[i] < clusterCount.
    void ComputeClusterMeans(int clusterCount, int rowCount, int columnCount,
                             const double* const* data, const int* const* mask,
                             const int* clusterIds, DataMatrix centroidData,
                             MaskMatrix centroidMask, int itemsAsColumns);

    // Centre of every cluster as the median of its members' present values;
    // workValues is scratch with room for one value per item.
    void ComputeClusterMedians(int clusterCount, int rowCount, int columnCount,
                               const double* const* data,
                               const int* const* mask, const int* clusterIds,
                               DataMatrix centroidData, MaskMatrix centroidMask,
                               int itemsAsColumns, double* workValues);

    // The same centres, bit for bit, at the cost of one pass over the items
    // per dimension instead of one per cluster and dimension: the items are
    // grouped by cluster once, each cluster's members in item order, so each
    // cell gathers the values the scan above gathers, in the same order.
    // memberOrder (one int per item) and clusterStarts (clusterCount + 1
    // ints) are scratch. Numbers outside 0 .. clusterCount-1 join no cluster.
    // Where only is not null, the clusters c with only[c] == 0 keep their
    // centres: the caller knows their members have not changed.
    void ComputeClusterMedians(int clusterCount, int rowCount, int columnCount,
                               const double* const* data,
                               const int* const* mask, const int* clusterIds,
                               DataMatrix centroidData, MaskMatrix centroidMask,
                               int itemsAsColumns, double* workValues,
                               int* memberOrder, int* clusterStarts,
                               const unsigned char* only);

    // Median of values[0 .. count-1], reordering them in place; 0.0 when
    // count < 1.
    double MedianOf(int count, double* values);

    // The draws of random/RandomDraws.h, from `generator`.
    double UniformRandom(Generator& generator);
    int BinomialRandom(int n, double p, Generator& generator);
    void AssignRandomStart(int clusterCount, int itemCount,
                           ClusterIdArray clusterIds, Generator& generator);
};

}  // namespace selvane

#endif  // SELVANE_ENGINE_CLUSTER_ENGINE_H
