#include "Table.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "CsvLine.h"
#include "HostError.h"
#include "NumberText.h"

namespace selvane::host {

namespace {

// Enough lines to see the delimiter through a header and a few rows.
constexpr std::size_t kDelimiterSampleLines = 5;

struct Line {
    std::size_t number;  // 1-based, counting blank lines too
    std::string text;
};

std::vector<Line> NonBlankLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    // A UTF-8 byte order mark is an encoding artefact, not part of a cell.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    std::size_t number = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ++number;
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") != std::string::npos) {
            lines.push_back({number, line});
        }
        start = end + 1;
    }
    return lines;
}

std::string At(const std::string& name, std::size_t line) {
    return "'" + name + "' line " + std::to_string(line);
}

std::string At(const std::string& name, std::size_t line, std::size_t column) {
    return At(name, line) + ", column " + std::to_string(column);
}

std::string Cells(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " cell" : " cells");
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsWholeText(const std::string& cell) {
    const std::string text = Trimmed(cell);
    std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

// A cell the value parser calls text, but which a decimal comma explains,
// counts as a number: the file wants --decimal-comma, not a label column.
bool IsText(const std::string& cell, bool decimalComma) {
    double ignored = 0.0;
    return ReadValue(cell, decimalComma, ignored) == CellValue::kText && !HasDecimalComma(cell);
}

struct Grid {
    std::vector<Line> lines;
    std::vector<std::vector<std::string>> cells;
    std::vector<std::vector<bool>> quoted;
};

// R quotes its row names and leaves numbers bare; a writer that quotes
// every cell says nothing by quoting.
bool QuotedAsText(const Grid& grid, std::size_t row, std::size_t column) {
    const std::vector<bool>& quoted = grid.quoted[row];
    if (!quoted[column]) return false;
    for (std::size_t c = 0; c < quoted.size(); ++c) {
        if (c != column && !quoted[c]) return true;
    }
    return quoted.size() == 1;
}

const std::size_t kNone = static_cast<std::size_t>(-1);

// A whole number is a 1-based position; anything else names a cell of the
// first line. Returns kNone when wanted is neither.
std::size_t FindColumn(const std::string& wanted, const Grid& grid, bool namesAllowed,
                       bool& byName) {
    const std::size_t count = grid.cells[0].size();
    if (IsWholeText(wanted) && wanted[0] != '+' && wanted[0] != '-') {
        const std::size_t digits = wanted.size();
        if (digits > 9) return kNone;
        const std::size_t position = static_cast<std::size_t>(std::stoul(wanted));
        return position >= 1 && position <= count ? position - 1 : kNone;
    }
    if (!namesAllowed) return kNone;
    for (std::size_t c = 0; c < count; ++c) {
        if (grid.cells[0][c] == wanted) {
            byName = true;
            return c;
        }
    }
    return kNone;
}

[[noreturn]] void NoSuchColumn(const char* option, const std::string& wanted, const Grid& grid,
                               const std::string& name, bool namesAllowed) {
    const std::size_t count = grid.cells[0].size();
    if (IsWholeText(wanted)) {
        throw HostError(kExitUsage, std::string(option) + ": there is no column " + wanted + "; '" +
                                        name + "' has " + std::to_string(count) +
                                        (count == 1 ? " column" : " columns"));
    }
    throw HostError(kExitUsage, std::string(option) + ": no column named '" + wanted +
                                    "' in the first line of '" + name + "'" +
                                    (namesAllowed ? "" : " (--no-header: it names no columns)"));
}

std::size_t ResolveColumn(const char* option, const std::string& wanted, const Grid& grid,
                          const std::string& name, bool namesAllowed, bool& byName) {
    const std::size_t column = FindColumn(wanted, grid, namesAllowed, byName);
    if (column == kNone) NoSuchColumn(option, wanted, grid, name, namesAllowed);
    return column;
}

// "2,5-7,Petal.Width": names or positions, A-B a range; in the order given.
std::vector<std::size_t> ResolveColumns(const std::string& list, const Grid& grid,
                                        const std::string& name, bool namesAllowed, bool& byName) {
    std::vector<std::size_t> columns;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        const std::string entry = Trimmed(list.substr(start, end - start));
        start = end + 1;
        if (entry.empty()) {
            throw HostError(kExitUsage, "--columns: an empty entry in '" + list + "'");
        }
        std::size_t first = FindColumn(entry, grid, namesAllowed, byName);
        std::size_t last = first;
        // A name may hold a dash itself; only a split whose two sides are
        // both columns makes a range.
        for (std::size_t dash = entry.find('-', 1); first == kNone && dash != std::string::npos;
             dash = entry.find('-', dash + 1)) {
            bool named = false;
            const std::size_t from =
                FindColumn(Trimmed(entry.substr(0, dash)), grid, namesAllowed, named);
            const std::size_t to =
                FindColumn(Trimmed(entry.substr(dash + 1)), grid, namesAllowed, named);
            if (from == kNone || to == kNone) continue;
            if (from > to) {
                throw HostError(kExitUsage, "--columns: the range '" + entry + "' runs backwards");
            }
            byName = byName || named;
            first = from;
            last = to;
        }
        if (first == kNone) NoSuchColumn("--columns", entry, grid, name, namesAllowed);
        for (std::size_t c = first; c <= last; ++c) {
            for (std::size_t taken : columns) {
                if (taken == c) {
                    throw HostError(kExitUsage, "--columns: column " + std::to_string(c + 1) +
                                                    " is listed twice");
                }
            }
            columns.push_back(c);
        }
    }
    return columns;
}

// The first line against its candidate value columns; reason says why.
bool DetectHeader(const Grid& grid, const std::vector<std::size_t>& columns, bool decimalComma,
                  std::string& reason) {
    const std::vector<std::string>& first = grid.cells[0];
    for (std::size_t c : columns) {
        if (IsText(first[c], decimalComma)) {
            reason = "it holds text where values stand";
            return true;
        }
        if (grid.cells.size() > 1 && grid.quoted[0][c] && !grid.quoted[1][c]) {
            reason = "its cells are quoted above values that are not";
            return true;
        }
    }
    // Wavelengths, years, doses: increasing whole numbers over measurements.
    bool increasing = columns.size() >= 2;
    double previous = 0.0;
    for (std::size_t i = 0; increasing && i < columns.size(); ++i) {
        double value = 0.0;
        increasing = IsWholeText(first[columns[i]]) &&
                     ReadValue(first[columns[i]], false, value) == CellValue::kNumber &&
                     (i == 0 || value > previous);
        previous = value;
    }
    bool fractionBelow = false;
    for (std::size_t r = 1; increasing && !fractionBelow && r < grid.cells.size(); ++r) {
        for (std::size_t c : columns) {
            double value = 0.0;
            if (ReadValue(grid.cells[r][c], decimalComma, value) == CellValue::kNumber &&
                !IsWholeText(grid.cells[r][c])) {
                fractionBelow = true;
            }
        }
    }
    if (increasing && fractionBelow) {
        reason =
            "whole numbers in increasing order above values that are not; "
            "--no-header reads it as an item";
        return true;
    }
    reason = "its values are numbers; --header reads it as column names";
    return false;
}

}  // namespace

Table ParseTable(const std::string& text, const std::string& name, const ReadChoices& choices) {
    Grid grid;
    grid.lines = NonBlankLines(text);
    const std::vector<Line>& lines = grid.lines;
    if (lines.empty()) throw HostError(kExitInput, "'" + name + "' is empty");

    std::vector<std::string> sample;
    for (std::size_t i = 0; i < lines.size() && i < kDelimiterSampleLines; ++i) {
        sample.push_back(lines[i].text);
    }
    Table table;
    const bool decimalComma = choices.decimalComma;
    table.delimiter = DetectDelimiter(sample, decimalComma);

    grid.cells.resize(lines.size());
    grid.quoted.resize(lines.size());
    for (std::size_t r = 0; r < lines.size(); ++r) {
        if (!SplitCells(lines[r].text, table.delimiter, grid.cells[r], &grid.quoted[r])) {
            throw HostError(kExitInput,
                            At(name, lines[r].number) + ": a quoted cell is not closed");
        }
        if (grid.cells[r].size() != grid.cells[0].size()) {
            throw HostError(kExitInput, At(name, lines[r].number) + ": found " +
                                            Cells(grid.cells[r].size()) + ", but line " +
                                            std::to_string(lines[0].number) + " has " +
                                            Cells(grid.cells[0].size()));
        }
    }
    const std::vector<std::vector<std::string>>& rows = grid.cells;
    const std::size_t columnCount = rows[0].size();
    // The first line may be a header, so it does not vote unless it is the
    // only line.
    const std::size_t firstVoter = rows.size() > 1 ? 1 : 0;
    if (columnCount == 1) {
        for (std::size_t r = firstVoter; r < rows.size(); ++r) {
            if (IsText(rows[r][0], decimalComma)) {
                throw HostError(kExitInput, At(name, lines[r].number) +
                                                ": no delimiter found in '" + rows[r][0] +
                                                "'; one of comma, semicolon, tab or "
                                                "a run of spaces must split every line into the "
                                                "same number of cells");
            }
        }
    }

    const bool namesAllowed = choices.header != HeaderChoice::kNoHeader;
    bool byName = false;
    std::size_t labelColumn = kNone;
    if (!choices.labelColumn.empty()) {
        labelColumn =
            ResolveColumn("--label-column", choices.labelColumn, grid, name, namesAllowed, byName);
    }
    const bool listed = !choices.columns.empty();
    std::vector<std::size_t> valueColumns;
    if (listed) {
        valueColumns = ResolveColumns(choices.columns, grid, name, namesAllowed, byName);
    }
    const auto isListed = [&](std::size_t column) {
        for (std::size_t c : valueColumns) {
            if (c == column) return true;
        }
        return false;
    };
    if (labelColumn != kNone && isListed(labelColumn)) {
        throw HostError(kExitUsage,
                        "--columns includes the label column " + std::to_string(labelColumn + 1));
    }
    const auto allBut = [&](std::size_t label) {
        if (listed) return valueColumns;
        std::vector<std::size_t> columns;
        for (std::size_t c = 0; c < columnCount; ++c) {
            if (c != label) columns.push_back(c);
        }
        return columns;
    };

    // Labels in the first column: every later line has text or nothing
    // there, and some have text. Requiring all of them keeps a mistyped
    // number in column 1 an error instead of silently turning the column
    // into labels.
    const bool firstColumnFree = choices.labelColumn.empty() && columnCount > 1 && !isListed(0);
    if (firstColumnFree) {
        bool anyText = false;
        bool anyNumber = false;
        for (std::size_t r = firstVoter; r < rows.size(); ++r) {
            double ignored = 0.0;
            if (QuotedAsText(grid, r, 0) || IsText(rows[r][0], decimalComma)) {
                anyText = true;
            } else if (ReadValue(rows[r][0], decimalComma, ignored) == CellValue::kNumber ||
                       HasDecimalComma(rows[r][0])) {
                anyNumber = true;
            }
        }
        if (anyText && !anyNumber) labelColumn = 0;
    }
    // An empty first cell above the first column is how R and pandas write
    // the name of their index column. Unquoted cells come trimmed; a quoted
    // blank is a name.
    const bool indexCandidate = firstColumnFree && labelColumn == kNone && rows[0][0].empty();

    std::string reason;
    switch (choices.header) {
        case HeaderChoice::kHeader:
            table.hasHeader = true;
            reason = "--header";
            break;
        case HeaderChoice::kNoHeader: reason = "--no-header"; break;
        case HeaderChoice::kDetect:
            if (byName) {
                table.hasHeader = true;
                reason = "the columns were chosen by name";
            } else {
                table.hasHeader = DetectHeader(grid, allBut(indexCandidate ? 0 : labelColumn),
                                               decimalComma, reason);
            }
            break;
    }
    table.firstLineNote = std::string("first line taken as ") +
                          (table.hasHeader ? "column names (" : "an item (") + reason + ")";
    if (table.hasHeader && indexCandidate) labelColumn = 0;
    valueColumns = allBut(labelColumn);
    if (valueColumns.empty()) {
        throw HostError(kExitInput, "'" + name + "' has labels but no values");
    }
    const std::size_t firstItem = table.hasHeader ? 1 : 0;
    if (firstItem >= rows.size()) {
        throw HostError(kExitInput, "'" + name + "' has a header row but no items");
    }

    const std::size_t itemCount = rows.size() - firstItem;
    const std::size_t dimensionCount = valueColumns.size();
    if (itemCount > static_cast<std::size_t>(INT_MAX) ||
        dimensionCount > static_cast<std::size_t>(INT_MAX)) {
        throw HostError(kExitInput, "'" + name +
                                        "' is too large: the library "
                                        "takes at most 2147483647 items and "
                                        "dimensions");
    }
    table.itemCount = itemCount;
    table.dimensionCount = dimensionCount;
    table.values.resize(itemCount * dimensionCount);
    table.labelColumn = labelColumn == kNone ? 0 : labelColumn + 1;
    for (std::size_t c : valueColumns) {
        table.sourceColumns.push_back(c + 1);
        if (table.hasHeader) table.dimensionNames.push_back(rows[0][c]);
    }
    if (labelColumn != kNone) table.labels.reserve(itemCount);

    for (std::size_t i = 0; i < itemCount; ++i) {
        const std::vector<std::string>& row = rows[firstItem + i];
        const std::size_t lineNumber = lines[firstItem + i].number;
        if (labelColumn != kNone) table.labels.push_back(row[labelColumn]);
        for (std::size_t d = 0; d < dimensionCount; ++d) {
            const std::size_t c = valueColumns[d];
            double& value = table.values[d * itemCount + i];
            if (ReadValue(row[c], decimalComma, value) != CellValue::kText) continue;
            if (HasDecimalComma(row[c])) {
                throw HostError(kExitInput, At(name, lineNumber, c + 1) + ": decimal comma in '" +
                                                row[c] + "': add --decimal-comma");
            }
            throw HostError(kExitInput,
                            At(name, lineNumber, c + 1) + ": not a number: '" + row[c] + "'");
        }
    }
    return table;
}

Table ReadTableFile(const std::string& path, const ReadChoices& choices) {
    const bool standardInput = path == "-";
    const std::string name = standardInput ? "standard input" : path;
#ifdef _WIN32
    // Text mode would turn "\r\n" into "\n" but also stop at a Ctrl-Z.
    if (standardInput) _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::FILE* file = standardInput ? stdin : std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        const int error = errno;
        throw HostError(kExitInput, "cannot read '" + path + "': " + std::strerror(error));
    }
    std::string text;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    if (!standardInput) std::fclose(file);
    if (failed) {
        throw HostError(kExitInput, "cannot read '" + name + "': " + std::strerror(error));
    }
    return ParseTable(text, name, choices);
}

std::string ItemName(const Table& table, std::size_t item) {
    if (!table.labels.empty() && !table.labels[item].empty()) {
        return table.labels[item];
    }
    return "item " + std::to_string(item + 1);
}

std::string DimensionName(const Table& table, std::size_t dimension) {
    if (!table.dimensionNames.empty() && !table.dimensionNames[dimension].empty()) {
        return "'" + table.dimensionNames[dimension] + "'";
    }
    return "column " + std::to_string(table.sourceColumns.empty() ? dimension + 1
                                                                  : table.sourceColumns[dimension]);
}

}  // namespace selvane::host
