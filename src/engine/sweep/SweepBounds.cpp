#include "engine/sweep/SweepBounds.h"

#include <cmath>
#include <cstddef>

namespace selvane {

namespace {

// Correlation: what the drift of a unit centre may miss, per value of the
// centres and in all. Each unit centre is off by its scale's rounding,
// under (D / 2 + 4) units of 2^-53 in length, and the drift's sum by D
// units relative; the bounds' own arithmetic rounds by a unit or two of
// 2^-53 every sweep.
constexpr double kDriftShare = 0x1p-50;
constexpr double kDriftFloor = 0x1p-40;

// Euclidean: the drift's terms may underflow, each by at most 2^-1074; in
// lengths (the root of the sum over a total weight of at least 2^-100),
// under 2^-400 in all for any D below 2^100.
constexpr double kEuclideanDriftFloor = 0x1p-400;

// Euclidean: absolute rounding of a distance whose terms underflow, over a
// total weight of at least 2^-100: D units of 2^-1074 per term, 2^-974
// each after the division, far below this.
constexpr double kEuclideanAbsolute = 0x1p-900;

// The arithmetic of the bounds themselves (a product, a sum, a root)
// rounds by a few units of 2^-53; this covers it many times over.
constexpr double kBoundArithmetic = 0x1p-48;

}  // namespace

void PrepareBounds(SweepJob& job, int lanes) {
    const int D = job.valueCount;
    // Groups where the clusters take more than two registers (the moves of
    // fewer are computed whole), at most kMostGroups of them: enough to
    // spare the many-cluster jobs most of their rivals, few enough to keep
    // an item's within two cache lines.
    const int registers = job.paddedClusters / lanes;
    job.groupRegisters = (registers + kMostGroups - 1) / kMostGroups;
    job.boundGroups = registers > 2 ? (registers + job.groupRegisters - 1) /
                                          job.groupRegisters
                                    : 0;
    job.groupStride = (job.boundGroups + lanes - 1) / lanes * lanes;
    job.groupClusters = job.groupRegisters * lanes;
    double relative = 0.0;
    if (job.euclidean) {
        // The distance is the root's square: each term's three roundings
        // and the sum's D - 1 give (D + 3) units of 2^-53 relative, the
        // total weight's D - 1 and the division one more; twice that.
        relative = (4.0 * D + 16.0) * 0x1p-53;
        job.boundScale = 1.0;
        job.boundAbsolute = kEuclideanAbsolute;
    } else {
        // The length squared is twice the distance. Three sums of D terms,
        // each within (D + 1) units of 2^-53 of its exact value relative to
        // sqrt(sxx * syy), then the product, the root, the division and the
        // subtraction: less than (3D + 8) units in the distance, which the
        // bound's (8D + 64) covers, twice for the length squared.
        job.boundScale = 2.0;
        job.boundAbsolute = 2.0 * (8.0 * D + 64.0) * 0x1p-53;
    }
    job.upperFactor = 1.0 + relative + kBoundArithmetic;
    job.lowerFactor = 1.0 - relative - kBoundArithmetic;
}

void TrackCentres(const SweepJob& job, SweepWorkspace& ws) {
    SweepView& view = ws.view;
    // The screening conditions of the correlation are those of the bounds:
    // sums of squares whose rounding is relative, weights that make a
    // length. The Euclidean ones are checked as the centres are laid out.
    view.track = job.euclidean ? ws.centresBoundable : view.screen;
    view.bounded = view.track && ws.unitCentresReady;
    ws.unitCentresReady = view.track;
    if (!view.track) return;
    // A sweep that tracks without bounds from the last sets every bound it
    // keeps afresh: the odometers start again.
    if (!view.bounded) {
        for (int j = 0; j < view.paddedClusters; ++j) ws.odometer[j] = 0.0;
        for (int g = 0; g < view.groupStride; ++g) ws.groupOdometer[g] = 0.0;
    }

    const int D = job.valueCount;
    const int K = job.clusterCount;
    const std::size_t paddedClusters =
        static_cast<std::size_t>(view.paddedClusters);
    for (int j = 0; j < K; ++j) ws.drift[j] = 0.0;
    for (int k = 0; k < D; ++k) {
        const double* centres = ws.centres + k * paddedClusters;
        // The last tracked sweep's centres, scaled to unit length for the
        // correlation.
        double* previous = ws.unitCentres + k * paddedClusters;
        const double w = job.weights[k];
        for (int j = 0; j < K; ++j) {
            const double now = job.euclidean ? centres[j]
                                             : centres[j] * ws.centreScale[j];
            if (view.bounded) {
                const double moved = now - previous[j];
                ws.drift[j] += (w * moved) * moved;
            }
            previous[j] = now;
        }
    }
    if (!view.bounded) return;

    const double stretch = 1.0 + (D + 16.0) * kDriftShare;
    const double floor = job.euclidean ? kEuclideanDriftFloor
                                       : kDriftFloor + D * kDriftShare;
    const double scale = job.euclidean ? 1.0 / job.completeWeight : 1.0;
    int farthest = 0;
    for (int j = 0; j < K; ++j) {
        // A centre with the bits it had did not move, and the sweep reads
        // its items' distances from the last one when the drift is 0.
        ws.drift[j] = ws.steady[j]
                          ? 0.0
                          : std::sqrt(ws.drift[j] * scale) * stretch + floor;
        // Centres too large to scale leave a NaN: every item is computed in
        // full, and renews its bound.
        if (std::isnan(ws.drift[j])) {
            view.bounded = false;
            break;
        }
        if (ws.drift[j] > ws.drift[farthest]) farthest = j;
    }
    if (!view.bounded) {
        for (int j = 0; j < K; ++j) ws.odometer[j] = 0.0;
        for (int g = 0; g < view.groupStride; ++g) ws.groupOdometer[g] = 0.0;
        return;
    }
    double second = 0.0;
    for (int j = 0; j < K; ++j) {
        if (j != farthest && ws.drift[j] > second) second = ws.drift[j];
    }
    for (int j = 0; j < K; ++j) {
        // The others moved by at most this; the odometer advances by at
        // least as much, whatever the rounding of the sum.
        const double others = j == farthest ? second : ws.drift[farthest];
        ws.odometer[j] = (ws.odometer[j] + others) * kOdometerRoom;
    }
    for (int g = 0; g < view.boundGroups; ++g) {
        double largest = 0.0;
        const int first = g * view.groupClusters;
        const int last =
            first + view.groupClusters < K ? first + job.groupClusters : K;
        for (int j = first; j < last; ++j) {
            if (ws.drift[j] > largest) largest = ws.drift[j];
        }
        ws.groupOdometer[g] = (ws.groupOdometer[g] + largest) * kOdometerRoom;
    }
}

}  // namespace selvane
