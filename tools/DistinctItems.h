// Whether a file holds fewer different items than clusters: the engine then
// has to split identical items between clusters.
#ifndef SELVANE_TOOLS_DISTINCT_ITEMS_H
#define SELVANE_TOOLS_DISTINCT_ITEMS_H

#include <cstddef>
#include <vector>

#include "Table.h"

namespace selvane::host {

// The number of distinct items, counted no further than limit. Two items are
// alike when all their values are equal, a missing value equal only to a
// missing one. With measurable (when not null), the items it does not flag
// are all alike whatever their values: the default job sees nothing of an
// item it cannot measure but its magnitude of 0.
std::size_t CountDistinctItems(const Table& table, const std::vector<bool>* measurable,
                               std::size_t limit);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_DISTINCT_ITEMS_H
