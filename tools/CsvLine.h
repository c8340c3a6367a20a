// Splitting one line of a delimited text file into cells, and choosing the
// delimiter a file uses.
#ifndef SELVANE_TOOLS_CSV_LINE_H
#define SELVANE_TOOLS_CSV_LINE_H

#include <string>
#include <string_view>
#include <vector>

namespace selvane::host {

// Splits line at every delimiter outside double quotes. A cell that starts
// with a quote (after blanks) runs to the matching quote, "" standing for
// one quote; blanks around unquoted cells are trimmed (tabs only when the
// delimiter is not a tab). A space delimiter stands for a run of spaces,
// and blanks at either end of the line make no cell. quoted, when given,
// receives one flag per cell: whether it was written in quotes. Returns
// false, with cells unspecified, when a quoted cell is not closed on this
// line.
bool SplitCells(std::string_view line, char delimiter, std::vector<std::string>& cells,
                std::vector<bool>* quoted = nullptr);

// Tab, semicolon, comma or space: the first that splits every sample line
// into the same number (more than one) of cells. Semicolon is tried before
// comma so that files written with decimal commas ("1,5;2,3") split at the
// semicolons; comma is not tried at all when noComma is set. Failing that,
// the first that splits the first line into one cell fewer than every later
// line alike, as R's write.table writes its header above row names. When no
// candidate is either, the one most frequent in the first line wins, so
// that the ragged line gets reported; comma when none occurs (a single
// column).
char DetectDelimiter(const std::vector<std::string>& sampleLines, bool noComma = false);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_CSV_LINE_H
