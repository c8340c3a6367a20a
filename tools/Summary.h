// The human-readable account of a finished job, written to standard error.
#ifndef SELVANE_TOOLS_SUMMARY_H
#define SELVANE_TOOLS_SUMMARY_H

#include <ostream>
#include <vector>

#include "Magnitude.h"
#include "Table.h"

namespace selvane::host {

// The default job. clusters: one number 0 .. clusterCount-1 per item.
// elapsedSeconds: the time the library call took.
void WriteSummary(std::ostream& err, const Table& table, const Magnitudes& magnitudes,
                  const std::vector<int>& clusters, int clusterCount, double elapsedSeconds);

// A raw engine job: how the file was read, the cluster sizes, the missing
// values per column.
void WriteRawSummary(std::ostream& err, const Table& table, const std::vector<int>& clusters,
                     int clusterCount);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_SUMMARY_H
