// What the picture shows of each cluster: its size, mean relative
// magnitude, mean unit-length profile and the members whose profiles are
// drawn.
#ifndef SELVANE_TOOLS_CLUSTER_PROFILES_H
#define SELVANE_TOOLS_CLUSTER_PROFILES_H

#include <cstddef>
#include <vector>

#include "Magnitude.h"
#include "Table.h"

namespace selvane::host {

struct ClusterProfile {
    std::size_t size = 0;      // members
    std::size_t measured = 0;  // members that can be measured
    // Over all members, as in the summary; 0 for an empty cluster.
    double meanMagnitude = 0.0;
    // Per dimension, the mean of the measured members' unit-length
    // profiles; empty when no member can be measured.
    std::vector<double> meanProfile;
    // The measured members whose profiles are drawn, in file order: all of
    // them, or an evenly spaced sample of maxDrawn when there are more.
    std::vector<std::size_t> drawn;
};

// clusters: one number 0 .. clusterCount-1 per item.
std::vector<ClusterProfile> DescribeClusters(const Table& table, const Magnitudes& magnitudes,
                                             const std::vector<int>& clusters, int clusterCount,
                                             std::size_t maxDrawn);

// A raw job's clusters: every member counts as measured and may be drawn,
// and the mean profile is the engine's centre (centres: clusterCount rows
// of D values, NaN where no member has the value).
std::vector<ClusterProfile> DescribeRawClusters(const Table& table,
                                                const std::vector<int>& clusters, int clusterCount,
                                                const std::vector<double>& centres,
                                                std::size_t maxDrawn);

// Item's values divided by its norm, into profile (D values). Only for an
// item that can be measured.
void UnitProfile(const Table& table, std::size_t item, std::vector<double>& profile);

// count positions out of total, evenly spaced and starting at 0: position j
// is floor(j * total / count). All of 0 .. total-1 when count >= total.
std::vector<std::size_t> EvenSample(std::size_t total, std::size_t count);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_CLUSTER_PROFILES_H
