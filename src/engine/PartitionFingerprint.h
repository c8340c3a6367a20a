// A partition's fingerprint, the same however its clusters are numbered.
// Internal.
#ifndef SELVANE_ENGINE_PARTITION_FINGERPRINT_H
#define SELVANE_ENGINE_PARTITION_FINGERPRINT_H

#include <cstdint>

namespace selvane {

// Hashes the partition with its clusters renumbered in order of first
// appearance (the first item's cluster becomes 0, the next new one 1, and
// so on), so two partitions that group the items alike get one
// fingerprint; integer arithmetic only, the same on every build. Equal
// fingerprints do not prove equal partitions. ids: itemCount numbers from 0
// to clusterCount-1; labelMap: clusterCount ints of scratch; *clusters
// receives the number of non-empty clusters.
std::uint64_t PartitionFingerprint(const int* ids, int itemCount,
                                   int clusterCount, int* labelMap,
                                   int* clusters);

}  // namespace selvane

#endif  // SELVANE_ENGINE_PARTITION_FINGERPRINT_H
