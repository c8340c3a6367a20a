#include "engine/PartitionFingerprint.h"

namespace selvane {

namespace {

// SplitMix64's finaliser: every input bit reaches every output bit, so runs
// of equal labels, common in partitions, do not cancel out as they can in a
// plain polynomial hash.
std::uint64_t Mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

}  // namespace

std::uint64_t PartitionFingerprint(const int* ids, int itemCount,
                                   int clusterCount, int* labelMap,
                                   int* clusters) {
    for (int k = 0; k < clusterCount; ++k) labelMap[k] = -1;
    int seen = 0;
    std::uint64_t hash = Mix(static_cast<std::uint64_t>(itemCount) << 32 |
                             static_cast<std::uint32_t>(clusterCount));
    for (int i = 0; i < itemCount; ++i) {
        int& label = labelMap[ids[i]];
        if (label == -1) label = seen++;
        // The added constant keeps 0, which Mix leaves as it is, from
        // becoming a state the hash cannot leave.
        hash = Mix(hash + 0x9E3779B97F4A7C15u + static_cast<unsigned>(label));
    }
    *clusters = seen;
    return hash;
}

}  // namespace selvane
