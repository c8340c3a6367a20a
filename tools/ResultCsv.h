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

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_RESULT_CSV_H
