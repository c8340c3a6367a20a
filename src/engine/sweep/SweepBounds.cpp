#include "engine/sweep/SweepBounds.h"

#include <cmath>
#include <cstddef>

namespace selvane {

namespace {

// What the drift of a unit centre may miss, per value of the centres and
// in all: each unit centre is off by its scale's rounding, under (D / 2 + 4)
// units of 2^-53 in length, and the drift's sum by D units relative; the
// bounds' own sums round by a unit or two of 2^-53 every sweep.
constexpr double kDriftShare = 0x1p-50;
constexpr double kDriftFloor = 0x1p-40;

}  // namespace

void TrackCentres(const SweepJob& job, SweepWorkspace& ws) {
    SweepView& view = ws.view;
    // The correlation's screening conditions are those of the bounds: sums
    // of squares whose rounding is relative, weights that make a length.
    view.track = !job.euclidean && view.screen;
    view.bounded = view.track && ws.unitCentresReady;
    ws.unitCentresReady = view.track;
    if (!view.track) return;

    const int D = job.valueCount;
    const int K = job.clusterCount;
    const std::size_t paddedClusters =
        static_cast<std::size_t>(view.paddedClusters);
    for (int j = 0; j < K; ++j) ws.drift[j] = 0.0;
    for (int k = 0; k < D; ++k) {
        const double* centres = ws.centres + k * paddedClusters;
        double* unit = ws.unitCentres + k * paddedClusters;
        const double w = job.weights[k];
        for (int j = 0; j < K; ++j) {
            const double scaled = centres[j] * ws.centreScale[j];
            if (view.bounded) {
                const double moved = scaled - unit[j];
                ws.drift[j] += (w * moved) * moved;
            }
            unit[j] = scaled;
        }
    }
    if (!view.bounded) return;

    const double stretch = 1.0 + (D + 16.0) * kDriftShare;
    const double driftFloor = kDriftFloor + D * kDriftShare;
    int farthest = 0;
    for (int j = 0; j < K; ++j) {
        // A centre with the bits it had has the same unit centre exactly:
        // it did not move, and the sweep reads its items' distances from
        // the last one when the drift is 0.
        ws.drift[j] =
            ws.steady[j] ? 0.0 : std::sqrt(ws.drift[j]) * stretch + driftFloor;
        // Centres too large to scale leave a NaN: their items are computed
        // in full, and renew their bounds.
        if (std::isnan(ws.drift[j])) {
            view.bounded = false;
            return;
        }
        if (ws.drift[j] > ws.drift[farthest]) farthest = j;
    }
    double second = 0.0;
    for (int j = 0; j < K; ++j) {
        if (j != farthest && ws.drift[j] > second) second = ws.drift[j];
    }
    for (int j = 0; j < K; ++j) {
        ws.rivalDrift[j] = j == farthest ? second : ws.drift[farthest];
    }
}

}  // namespace selvane
