// The items of an input file: optional labels and a matrix of measurements.
#ifndef SELVANE_TOOLS_TABLE_H
#define SELVANE_TOOLS_TABLE_H

#include <cstddef>
#include <string>
#include <vector>

#include "Options.h"

namespace selvane::host {

struct Table {
    std::size_t itemCount = 0;
    std::size_t dimensionCount = 0;
    // Dimension-major, as the library takes it: dimension d of item i is
    // values[d * itemCount + i]. A missing value is NaN, which the library
    // cannot measure, as it cannot a value not greater than zero.
    std::vector<double> values;
    // One per item when the file has a label column, else empty.
    std::vector<std::string> labels;
    // The header's cell above each dimension when there is a header row,
    // else empty.
    std::vector<std::string> dimensionNames;
    // The 1-based column of the file each dimension comes from.
    std::vector<std::size_t> sourceColumns;
    std::size_t labelColumn = 0;  // 1-based; 0 when there are no labels
    bool hasHeader = false;
    // How the first line was read and why, for the user to check:
    // "first line taken as column names (...)" or "... as an item (...)".
    std::string firstLineNote;
    // What else the reading decided that the user did not ask for: columns
    // left out and why, comment lines passed over.
    std::vector<std::string> readingNotes;
    char delimiter = ',';
};

// Parses the text of a delimited file. name is how error messages refer to
// the file. Throws HostError naming the line, and the column where there is
// one, of the first fault: kExitInput for the file, kExitUsage for a column
// of --label-column or --columns that the file does not have.
//
// Shape rules: blank lines and comment lines at the top are skipped; every
// other line must have as many cells as the first, or (R's write.table) the
// first one cell fewer than all the others. Empty cells, NA, NaN, infinities
// and numbers beyond the range of a double are missing values. The header
// and label rules are the ones the --help text states.
//
// The text is read line by line, twice, and no line is kept: the table
// holds the values once and the labels.
Table ParseTable(const std::string& text, const std::string& name, const ReadChoices& choices = {});

// Reads and parses a file, or standard input for "-"; throws HostError
// (kExitInput) when it cannot.
Table ReadTableFile(const std::string& path, const ReadChoices& choices = {});

// How messages name item i (0-based): its label, or "item i+1" when it has
// none.
std::string ItemName(const Table& table, std::size_t item);

// How messages name dimension d: its header cell, else "column N".
std::string DimensionName(const Table& table, std::size_t dimension);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_TABLE_H
