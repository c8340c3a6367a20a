// The host's output: one line per item with its cluster number.
#ifndef SELVANE_TOOLS_RESULT_CSV_H
#define SELVANE_TOOLS_RESULT_CSV_H

#include <string>
#include <vector>

#include "Table.h"

namespace selvane::host {

// "label,cluster" then "<label>,<n>" per item when the table has labels;
// otherwise "item,cluster" then "<1-based item number>,<n>". Lines end in
// "\n". Labels holding a comma, a quote or a line break are quoted.
std::string FormatResult(const Table& table, const std::vector<int>& clusters);

// The table itself as comma-separated text that ParseTable reads back to
// the same labels and values, bit for bit: a header row (an empty first
// cell above the labels, when there are labels; "V<n>" for a dimension
// without a name), every label and name in quotes, values with 17
// significant digits, missing values as NA.
std::string FormatTable(const Table& table);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_RESULT_CSV_H
