// The draws that start every pass: uniform deviates, binomial deviates and
// a random assignment of items to clusters, each from the generator its
// caller hands in. Internal; ClusterEngine's random operations forward
// here.
#ifndef SELVANE_RANDOM_RANDOM_DRAWS_H
#define SELVANE_RANDOM_RANDOM_DRAWS_H

#include "random/Generator.h"

namespace selvane {

// One draw from (0, 1).
double UniformRandom(Generator& generator);

// One binomial deviate, n trials of probability p (0 < p <= 0.5).
int BinomialRandom(int n, double p, Generator& generator);

// Fills clusterIds[0 .. itemCount-1] with a random assignment in which
// every cluster has at least one item. Caller guarantees
// 1 <= clusterCount <= itemCount.
void AssignRandomStart(int clusterCount, int itemCount, int* clusterIds,
                       Generator& generator);

}  // namespace selvane

#endif  // SELVANE_RANDOM_RANDOM_DRAWS_H
