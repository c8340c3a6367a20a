// The engine's random operations are the random room's draws.
#include "engine/ClusterEngine.h"
#include "random/RandomDraws.h"

namespace selvane {

double ClusterEngine::UniformRandom(Generator& generator) {
    return selvane::UniformRandom(generator);
}

int ClusterEngine::BinomialRandom(int n, double p, Generator& generator) {
    return selvane::BinomialRandom(n, p, generator);
}

void ClusterEngine::AssignRandomStart(int clusterCount, int itemCount,
                                      ClusterIdArray clusterIds,
                                      Generator& generator) {
    selvane::AssignRandomStart(clusterCount, itemCount, clusterIds, generator);
}

}  // namespace selvane
