// Renumbers clusters by ascending mean relative magnitude. Internal.
#ifndef SELVANE_ENTRY_RENUMBER_H
#define SELVANE_ENTRY_RENUMBER_H

#include <cstdint>

namespace selvane {

// Mean magnitude of every cluster into means[0 .. clusterCount-1]; counts
// receives each cluster's divisor (members plus one).
void ComputeMeanMagnitudes(int itemCount, int clusterCount,
                           const double* const* rows, int magnitudeColumn,
                           const double* result, float* means,
                           std::int64_t* counts);

// result: itemCount doubles holding the engine's cluster numbers (whole
// numbers 0 .. clusterCount-1) on entry, the new numbers on return.
// magnitudes: row i's relative magnitude is rows[i][magnitudeColumn].
// A cluster's mean is its members' magnitudes summed in single precision
// (each addition made in double) over the member count plus one; means are
// compared in single precision, and tied clusters all take the highest
// position of their run. Items that no mean matches (a NaN mean, a number
// outside 0 .. clusterCount-1) receive -1.0. rankedValues: null, or
// clusterCount doubles that receive each cluster's mean (by its number on
// entry), widened. Returns false, leaving result and rankedValues as they
// were, when memory runs out.
bool RenumberClusters(int itemCount, int clusterCount,
                      const double* const* rows, int magnitudeColumn,
                      double* result, double* rankedValues = nullptr);

}  // namespace selvane

#endif  // SELVANE_ENTRY_RENUMBER_H
