// The human-readable account of a finished job, written to standard error.
#ifndef SELVANE_TOOLS_SUMMARY_H
#define SELVANE_TOOLS_SUMMARY_H

#include <ostream>
#include <string>
#include <vector>

#include "Magnitude.h"
#include "Table.h"

namespace selvane::host {

// The default job, with what the library reported of it. clusters: one
// number 0 .. clusterCount-1 per item. elapsedSeconds: the time the
// library call took.
void WriteSummary(std::ostream& err, const Table& table, const Magnitudes& magnitudes,
                  const std::vector<int>& clusters, int clusterCount, double elapsedSeconds);

// A job known by its numbers alone (job: a raw engine job, or Selvane() of
// a library): how the file was read, the cluster sizes, the missing values
// per column.
void WriteSizesSummary(std::ostream& err, const Table& table, const std::vector<int>& clusters,
                       int clusterCount, const std::string& job);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_SUMMARY_H
