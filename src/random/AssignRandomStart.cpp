// A random starting assignment: each cluster gets one guaranteed item plus a
// multinomial share of the rest, dealt in runs, then the whole array is
// shuffled so that the runs do not decide which items share a cluster.
#include "random/RandomDraws.h"
#include "random/ShuffleIndex.h"

namespace selvane {

void AssignRandomStart(int clusterCount, int itemCount, int* clusterIds,
                       Generator& generator) {
    // A chain of binomials gives an equal-probability multinomial split of
    // the items beyond one per cluster: cluster i takes its share of what
    // cluster 0 .. i-1 left with probability 1 / (clusterCount - i).
    int remaining = itemCount - clusterCount;
    int filled = 0;
    for (int i = 0; i < clusterCount - 1; ++i) {
        const double p = 1.0 / static_cast<double>(clusterCount - i);
        const int extra = BinomialRandom(remaining, p, generator);
        remaining -= extra;
        const int end = filled + extra + 1;
        for (int e = filled; e < end; ++e) clusterIds[e] = i;
        filled = end;
    }
    for (int e = filled; e < itemCount; ++e) clusterIds[e] = clusterCount - 1;

    // Forward Fisher-Yates; the last step can only pick itself but still
    // draws, so that every call consumes exactly itemCount uniforms.
    for (int j = 0; j < itemCount; ++j) {
        const int idx = ShuffleIndex(UniformRandom(generator), itemCount, j);
        const int held = clusterIds[j];
        clusterIds[j] = clusterIds[idx];
        clusterIds[idx] = held;
    }
}

}  // namespace selvane
