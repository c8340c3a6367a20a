// The items of an input file: optional labels and a matrix of measurements.
#ifndef SELVANE_TOOLS_TABLE_H
#define SELVANE_TOOLS_TABLE_H

#include <cstddef>
#include <string>
#include <vector>

namespace selvane::host {

struct Table {
    std::size_t itemCount = 0;
    std::size_t dimensionCount = 0;
    // Dimension-major, as the library takes it: dimension d of item i is
    // values[d * itemCount + i].
    std::vector<double> values;
    // One per item when the file has a label column, else empty.
    std::vector<std::string> labels;
    // The header's cell above each dimension when there is a header row,
    // else empty.
    std::vector<std::string> dimensionNames;
    bool hasHeader = false;
    char delimiter = ',';
};

// Parses the text of a delimited file. name is how error messages refer to
// the file. Throws HostError (kExitInput) naming the line, and the column
// where there is one, of the first fault.
//
// Shape rules: blank lines are skipped; every other line must have as many
// cells as the first. The first column holds labels when no data row has a
// number there. The first line is a header when one of its value cells is
// text.
Table ParseTable(const std::string& text, const std::string& name);

// Reads and parses a file; throws HostError (kExitInput) when it cannot.
Table ReadTableFile(const std::string& path);

// How messages name item i (0-based): its label, or "item i+1" when it has
// none.
std::string ItemName(const Table& table, std::size_t item);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_TABLE_H
