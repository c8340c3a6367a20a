// Which items the library can measure, and how large each is relative to
// the largest: the quantity its cluster numbers are ordered by.
#ifndef SELVANE_TOOLS_MAGNITUDE_H
#define SELVANE_TOOLS_MAGNITUDE_H

#include <cstddef>
#include <vector>

#include "Table.h"

namespace selvane::host {

struct Magnitudes {
    // Per item: every value finite and greater than zero.
    std::vector<bool> measurable;
    // Per item: Euclidean norm / the largest norm among measurable items;
    // 0 for an item that cannot be measured, and for all when none can.
    std::vector<double> relative;
    std::size_t measurableCount = 0;
};

Magnitudes MeasureItems(const Table& table);

// The Euclidean norm of a measurable item's values, scaled on the way so
// that finite values near the largest double still give a finite norm.
double ItemNorm(const Table& table, std::size_t item);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_MAGNITUDE_H
