// The picture of a clustering: one panel per cluster with its members'
// unit-length profiles and their mean, and a strip of every item's
// relative magnitude, as one self-contained SVG document.
#ifndef SELVANE_TOOLS_SVG_PLOT_H
#define SELVANE_TOOLS_SVG_PLOT_H

#include <cstddef>
#include <string>
#include <vector>

#include "Magnitude.h"
#include "Table.h"

namespace selvane::host {

// More lines than this in one panel would only add ink: the rest of the
// members are summarised by the mean profile.
constexpr std::size_t kMaxDrawnProfiles = 200;

// clusters: one number 0 .. clusterCount-1 per item. title: how the
// picture names the data (the input file's name). The document's size is
// in its root element's width and height attributes, in pixels.
std::string RenderClusterPlot(const Table& table, const Magnitudes& magnitudes,
                              const std::vector<int>& clusters, int clusterCount,
                              const std::string& title);

// A raw job's picture: the same panels with each member's values as they
// were clustered, gaps where missing, and the cluster's centre (centres:
// clusterCount rows of D values, NaN where no member has the value); no
// magnitude strip. job: the metric and centres in words.
std::string RenderRawPlot(const Table& table, const std::vector<int>& clusters, int clusterCount,
                          const std::vector<double>& centres, const std::string& job,
                          const std::string& title);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_SVG_PLOT_H
