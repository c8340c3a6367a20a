#include "ClusterProfiles.h"

#include <cmath>

namespace selvane::host {

namespace {

// Scaled by the largest value so that the sum of squares cannot overflow:
// finite values near 1e308 still draw.
double ItemNorm(const Table& table, std::size_t item) {
    const std::size_t n = table.itemCount;
    double largest = 0.0;
    for (std::size_t d = 0; d < table.dimensionCount; ++d) {
        largest = std::fmax(largest, table.values[d * n + item]);
    }
    double sum = 0.0;
    for (std::size_t d = 0; d < table.dimensionCount; ++d) {
        const double v = table.values[d * n + item] / largest;
        sum += v * v;
    }
    return largest * std::sqrt(sum);
}

}  // namespace

void UnitProfile(const Table& table, std::size_t item, std::vector<double>& profile) {
    const std::size_t n = table.itemCount;
    const double norm = ItemNorm(table, item);
    profile.resize(table.dimensionCount);
    for (std::size_t d = 0; d < table.dimensionCount; ++d) {
        profile[d] = table.values[d * n + item] / norm;
    }
}

std::vector<std::size_t> EvenSample(std::size_t total, std::size_t count) {
    std::vector<std::size_t> positions;
    if (count >= total) {
        for (std::size_t i = 0; i < total; ++i) positions.push_back(i);
        return positions;
    }
    positions.reserve(count);
    // In 64 bits: on a 32-bit size_t, j * total could overflow.
    for (std::size_t j = 0; j < count; ++j) {
        const unsigned long long position = static_cast<unsigned long long>(j) * total / count;
        positions.push_back(static_cast<std::size_t>(position));
    }
    return positions;
}

std::vector<ClusterProfile> DescribeClusters(const Table& table, const Magnitudes& magnitudes,
                                             const std::vector<int>& clusters, int clusterCount,
                                             std::size_t maxDrawn) {
    const std::size_t k = static_cast<std::size_t>(clusterCount);
    const std::size_t dimensions = table.dimensionCount;
    std::vector<ClusterProfile> result(k);
    std::vector<std::vector<std::size_t>> measuredMembers(k);
    std::vector<double> magnitudeSums(k, 0.0);
    std::vector<double> profile;
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        const std::size_t c = static_cast<std::size_t>(clusters[i]);
        ClusterProfile& cluster = result[c];
        ++cluster.size;
        magnitudeSums[c] += magnitudes.relative[i];
        if (!magnitudes.measurable[i]) continue;
        ++cluster.measured;
        measuredMembers[c].push_back(i);
        UnitProfile(table, i, profile);
        if (cluster.meanProfile.empty()) cluster.meanProfile.assign(dimensions, 0.0);
        for (std::size_t d = 0; d < dimensions; ++d) cluster.meanProfile[d] += profile[d];
    }
    for (std::size_t c = 0; c < k; ++c) {
        ClusterProfile& cluster = result[c];
        if (cluster.size > 0) {
            cluster.meanMagnitude = magnitudeSums[c] / static_cast<double>(cluster.size);
        }
        for (double& value : cluster.meanProfile) {
            value /= static_cast<double>(cluster.measured);
        }
        for (std::size_t position : EvenSample(cluster.measured, maxDrawn)) {
            cluster.drawn.push_back(measuredMembers[c][position]);
        }
    }
    return result;
}

std::vector<ClusterProfile> DescribeRawClusters(const Table& table,
                                                const std::vector<int>& clusters, int clusterCount,
                                                const std::vector<double>& centres,
                                                std::size_t maxDrawn) {
    const std::size_t k = static_cast<std::size_t>(clusterCount);
    const std::size_t dimensions = table.dimensionCount;
    std::vector<ClusterProfile> result(k);
    std::vector<std::vector<std::size_t>> members(k);
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        members[static_cast<std::size_t>(clusters[i])].push_back(i);
    }
    for (std::size_t c = 0; c < k; ++c) {
        ClusterProfile& cluster = result[c];
        cluster.size = cluster.measured = members[c].size();
        if (cluster.size == 0) continue;
        cluster.meanProfile.assign(
            centres.begin() + static_cast<std::ptrdiff_t>(c * dimensions),
            centres.begin() + static_cast<std::ptrdiff_t>((c + 1) * dimensions));
        for (std::size_t position : EvenSample(cluster.size, maxDrawn)) {
            cluster.drawn.push_back(members[c][position]);
        }
    }
    return result;
}

}  // namespace selvane::host
