// What the library reports of the default job beside its cluster numbers:
// which items it could measure, how large each is relative to the largest,
// and the value each cluster number is ranked by. The host shows these
// and computes none of them.
#ifndef SELVANE_TOOLS_MAGNITUDE_H
#define SELVANE_TOOLS_MAGNITUDE_H

#include <cstddef>
#include <vector>

namespace selvane::host {

struct Magnitudes {
    // Per item: every value finite and greater than zero.
    std::vector<bool> measurable;
    // Per item: Euclidean norm / the largest norm; 0 for an item that
    // cannot be measured.
    std::vector<double> relative;
    std::size_t measurableCount = 0;
    // Per cluster number: the ranked value of the clusters that received
    // it (they share one); NaN for a number no cluster received.
    std::vector<double> ranked;
};

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_MAGNITUDE_H
