#include "Table.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "ColumnChoice.h"
#include "CsvLine.h"
#include "HostError.h"
#include "NumberText.h"
#include "TextLines.h"

namespace selvane::host {

namespace {

// Enough lines to see the delimiter through a header and a few rows.
constexpr std::size_t kDelimiterSampleLines = 5;

const std::size_t kNone = static_cast<std::size_t>(-1);

std::string At(const std::string& name, std::size_t line) {
    return "'" + name + "' line " + std::to_string(line);
}

std::string Cells(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " cell" : " cells");
}

// A cell the value parser calls text, but which a decimal comma explains,
// counts as a number: the file wants --decimal-comma, not a label column.
bool IsText(const std::string& cell, bool decimalComma) {
    double ignored = 0.0;
    return ReadValue(cell, decimalComma, ignored) == CellValue::kText && !HasDecimalComma(cell);
}

// R quotes its row names and leaves numbers bare; a writer that quotes
// every cell says nothing by quoting.
bool QuotedAsText(const std::vector<bool>& quoted, std::size_t column) {
    if (!quoted[column]) return false;
    for (std::size_t c = 0; c < quoted.size(); ++c) {
        if (c != column && !quoted[c]) return true;
    }
    return quoted.size() == 1;
}

// What one pass over every line learns, so that the header, the labels and
// the columns can be chosen without keeping any line.
struct Scan {
    char delimiter = ',';
    std::size_t lineCount = 0;
    // The first two lines' cells; with shortHeader the first gets an empty
    // cell in front, above the row names.
    std::vector<std::string> first;
    std::vector<bool> firstQuoted;
    std::vector<bool> secondQuoted;
    bool shortHeader = false;
    // Per column, over the lines after the first: a number that is not
    // whole; a cell that is not empty (the first line's too).
    std::vector<bool> fraction;
    std::vector<bool> filled;
    // Column 1, over the lines after the first (the first when alone):
    // text there, a number there, and no empty cell there.
    bool firstColumnText = false;
    bool firstColumnNumber = false;
    bool firstColumnFull = true;
};

void VoteFirstColumn(Scan& scan, const std::vector<std::string>& cells,
                     const std::vector<bool>& quoted, bool decimalComma) {
    double ignored = 0.0;
    if (QuotedAsText(quoted, 0) || IsText(cells[0], decimalComma)) {
        scan.firstColumnText = true;
    } else if (ReadValue(cells[0], decimalComma, ignored) == CellValue::kNumber ||
               HasDecimalComma(cells[0])) {
        scan.firstColumnNumber = true;
    }
    if (cells[0].empty()) scan.firstColumnFull = false;
}

// R's write.table names the columns in a line one cell shorter than the
// rows, whose first cells are the row names. A first line of numbers alone
// is no such line: there the short line is a fault to report.
bool NamesAboveRowNames(const std::vector<std::string>& first, const std::vector<bool>& quoted,
                        bool decimalComma) {
    for (std::size_t c = 0; c < first.size(); ++c) {
        if (quoted[c] || IsText(first[c], decimalComma)) return true;
    }
    return false;
}

Scan ScanLines(TextLines& lines, const std::string& name, const ReadChoices& choices) {
    const bool decimalComma = choices.decimalComma;
    Scan scan;
    std::vector<std::string> sample;
    TextLine line;
    while (sample.size() < kDelimiterSampleLines && lines.Next(line)) {
        sample.emplace_back(line.text);
    }
    if (sample.empty()) throw HostError(kExitInput, "'" + name + "' is empty");
    scan.delimiter = DetectDelimiter(sample, decimalComma);
    lines.Restart();

    std::vector<std::string> cells;
    std::vector<bool> quoted;
    std::size_t expected = 0;
    std::size_t expectedLine = 0;
    while (lines.Next(line)) {
        if (!SplitCells(line.text, scan.delimiter, cells, &quoted)) {
            throw HostError(kExitInput, At(name, line.number) + ": a quoted cell is not closed");
        }
        const std::size_t row = scan.lineCount++;
        if (row == 0) {
            scan.first = cells;
            scan.firstQuoted = quoted;
            expected = cells.size();
            expectedLine = line.number;
        } else if (row == 1) {
            scan.secondQuoted = quoted;
            scan.shortHeader = choices.header != HeaderChoice::kNoHeader &&
                               cells.size() == expected + 1 &&
                               NamesAboveRowNames(scan.first, scan.firstQuoted, decimalComma);
            if (scan.shortHeader) {
                scan.first.insert(scan.first.begin(), std::string());
                scan.firstQuoted.insert(scan.firstQuoted.begin(), false);
                expected = cells.size();
                expectedLine = line.number;
            }
            scan.fraction.assign(expected, false);
            scan.filled.assign(expected, false);
        }
        if (cells.size() != expected) {
            throw HostError(kExitInput, At(name, line.number) + ": found " + Cells(cells.size()) +
                                            ", but line " + std::to_string(expectedLine) + " has " +
                                            Cells(expected));
        }
        // One column and no delimiter: text there means the delimiter is
        // one the reader does not know, not a label.
        if (expected == 1 && row > 0 && IsText(cells[0], decimalComma)) {
            throw HostError(kExitInput, At(name, line.number) + ": no delimiter found in '" +
                                            cells[0] +
                                            "'; one of comma, semicolon, tab or a run of spaces "
                                            "must split every line into the same number of cells");
        }
        if (row == 0) continue;
        VoteFirstColumn(scan, cells, quoted, decimalComma);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            double value = 0.0;
            if (!cells[c].empty()) scan.filled[c] = true;
            if (ReadValue(cells[c], decimalComma, value) == CellValue::kNumber &&
                !IsWholeText(cells[c])) {
                scan.fraction[c] = true;
            }
        }
    }
    if (scan.lineCount == 1) {
        if (expected == 1 && IsText(scan.first[0], decimalComma)) {
            throw HostError(kExitInput, At(name, expectedLine) + ": no delimiter found in '" +
                                            scan.first[0] +
                                            "'; one of comma, semicolon, tab or a run of spaces "
                                            "must split every line into the same number of cells");
        }
        // The first line may be a header, so it votes only when alone.
        VoteFirstColumn(scan, scan.first, scan.firstQuoted, decimalComma);
        scan.fraction.assign(expected, false);
        scan.filled.assign(expected, false);
    }
    for (std::size_t c = 0; c < expected; ++c) {
        if (!scan.first[c].empty()) scan.filled[c] = true;
    }
    return scan;
}

// The first line against its candidate value columns; reason says why.
bool DetectHeader(const Scan& scan, const std::vector<std::size_t>& columns, bool decimalComma,
                  std::string& reason) {
    const std::vector<std::string>& first = scan.first;
    for (std::size_t c : columns) {
        if (IsText(first[c], decimalComma)) {
            reason = "it holds text where values stand";
            return true;
        }
        if (scan.lineCount > 1 && scan.firstQuoted[c] && !scan.secondQuoted[c]) {
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
    for (std::size_t c : columns) fractionBelow = fractionBelow || scan.fraction[c];
    if (increasing && fractionBelow) {
        reason =
            "whole numbers in increasing order above values that are not; "
            "--no-header reads it as an item";
        return true;
    }
    reason = "its values are numbers; --header reads it as column names";
    return false;
}

// "column 6" or "columns 6-8".
std::string ColumnSpan(std::size_t first, std::size_t last) {
    if (first == last) return "column " + std::to_string(first + 1);
    return "columns " + std::to_string(first + 1) + "-" + std::to_string(last + 1);
}

// How --label-column can name column c on a command line: by its name when
// that reads back as the same column, else by number.
std::string ColumnWord(const Table& table, const std::vector<std::string>& first, std::size_t c) {
    if (table.hasHeader && !first[c].empty() && !IsWholeText(first[c]) &&
        first[c].find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                   "0123456789._-") == std::string::npos) {
        return first[c];
    }
    return std::to_string(c + 1);
}

// labelsFree: the labels, if any, are row names that another label column
// would leave out, so that --label-column helps.
[[noreturn]] void NotANumber(const std::string& name, std::size_t lineNumber, const Table& table,
                             const std::vector<std::string>& first, std::size_t c,
                             const std::string& cell, bool labelsFree) {
    std::string where = At(name, lineNumber) + ", column " + std::to_string(c + 1);
    if (table.hasHeader && !first[c].empty()) where += " ('" + first[c] + "')";
    std::string help = "; leave the column out with --columns";
    if (labelsFree) {
        help += ", or take it as the labels with --label-column " + ColumnWord(table, first, c);
    }
    throw HostError(kExitInput, where + ": not a number: '" + cell + "'" + help);
}

}  // namespace

Table ParseTable(const std::string& text, const std::string& name, const ReadChoices& choices) {
    TextLines lines(text);
    const Scan scan = ScanLines(lines, name, choices);
    const std::vector<std::string>& first = scan.first;
    const std::size_t columnCount = first.size();
    const bool decimalComma = choices.decimalComma;
    Table table;
    table.delimiter = scan.delimiter;

    const bool namesAllowed = choices.header != HeaderChoice::kNoHeader;
    bool byName = false;
    std::size_t chosenLabel = kNone;
    if (!choices.labelColumn.empty()) {
        chosenLabel =
            ResolveColumn("--label-column", choices.labelColumn, first, name, namesAllowed, byName);
    }
    const bool listed = !choices.columns.empty();
    std::vector<std::size_t> valueColumns;
    if (listed) valueColumns = ResolveColumns(choices.columns, first, name, namesAllowed, byName);
    const auto isListed = [&](std::size_t column) {
        for (std::size_t c : valueColumns) {
            if (c == column) return true;
        }
        return false;
    };
    if (chosenLabel != kNone && isListed(chosenLabel)) {
        throw HostError(kExitUsage,
                        "--columns includes the label column " + std::to_string(chosenLabel + 1));
    }

    // A delimiter at the end of every line, the first's too, makes a column
    // of nothing that no one asked for.
    std::vector<bool> leftOut(columnCount, false);
    std::size_t emptyFrom = columnCount;
    while (!listed && emptyFrom > 1 && !scan.filled[emptyFrom - 1] &&
           emptyFrom - 1 != chosenLabel && !isListed(emptyFrom - 1)) {
        leftOut[--emptyFrom] = true;
    }
    if (emptyFrom < columnCount) {
        table.readingNotes.push_back(ColumnSpan(emptyFrom, columnCount - 1) +
                                     " left out: empty on every line, a delimiter at each "
                                     "line's end");
    }
    if (lines.CommentLines() > 0) {
        table.readingNotes.push_back(std::to_string(lines.CommentLines()) + " comment line" +
                                     (lines.CommentLines() == 1 ? "" : "s") +
                                     " ('#') at the top passed over");
    }

    // Labels in the first column: every later line has text or nothing
    // there, and some have text. Requiring all of them keeps a mistyped
    // number in column 1 an error instead of silently turning the column
    // into labels.
    std::size_t labelColumn = chosenLabel;
    if (chosenLabel == kNone && columnCount > 1 && !isListed(0) && scan.firstColumnText &&
        !scan.firstColumnNumber) {
        labelColumn = 0;
    }
    // R and pandas write row names (an index) under an empty first cell of a
    // line of column names, whatever the values are. Unquoted cells come
    // trimmed; a quoted blank is a name.
    bool namedAfterCorner = false;
    for (std::size_t c = 1; c < columnCount; ++c) namedAfterCorner |= !first[c].empty();
    const bool rowNames = namesAllowed && columnCount > 1 && !isListed(0) && first[0].empty() &&
                          namedAfterCorner && (scan.shortHeader || scan.firstColumnFull);

    std::string reason;
    switch (choices.header) {
        case HeaderChoice::kHeader:
            table.hasHeader = true;
            reason = "--header";
            break;
        case HeaderChoice::kNoHeader: reason = "--no-header"; break;
        case HeaderChoice::kDetect:
            table.hasHeader = true;
            if (byName) {
                reason = "the columns were chosen by name";
            } else if (scan.shortHeader) {
                reason = "it is one cell shorter than the lines below, as R's write.table writes";
            } else if (rowNames) {
                reason =
                    "its first cell is empty, as R and pandas write above row names; "
                    "--no-header reads it as an item";
            } else {
                std::vector<std::size_t> candidates;
                for (std::size_t c = 0; c < columnCount; ++c) {
                    if (listed ? isListed(c) : c != labelColumn && !leftOut[c]) {
                        candidates.push_back(c);
                    }
                }
                table.hasHeader = DetectHeader(scan, candidates, decimalComma, reason);
            }
            break;
    }
    table.firstLineNote = std::string("first line taken as ") +
                          (table.hasHeader ? "column names (" : "an item (") + reason + ")";
    if (table.hasHeader && rowNames) {
        if (labelColumn == kNone) {
            labelColumn = 0;
        } else if (labelColumn != 0) {
            leftOut[0] = true;
            table.readingNotes.push_back(
                "column 1 left out: row names, under the first line's empty first cell");
        }
    }
    if (!listed) {
        for (std::size_t c = 0; c < columnCount; ++c) {
            if (c != labelColumn && !leftOut[c]) valueColumns.push_back(c);
        }
    }
    if (valueColumns.empty()) {
        throw HostError(kExitInput, "'" + name + "' has labels but no values");
    }
    const std::size_t firstItem = table.hasHeader ? 1 : 0;
    if (firstItem >= scan.lineCount) {
        throw HostError(kExitInput, "'" + name + "' has a header row but no items");
    }

    const std::size_t itemCount = scan.lineCount - firstItem;
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
        if (table.hasHeader) table.dimensionNames.push_back(first[c]);
    }
    if (labelColumn != kNone) table.labels.reserve(itemCount);

    lines.Restart();
    TextLine line;
    std::vector<std::string> cells;
    for (std::size_t row = 0; lines.Next(line); ++row) {
        if (row < firstItem) continue;
        const std::size_t i = row - firstItem;
        SplitCells(line.text, scan.delimiter, cells);
        if (labelColumn != kNone) table.labels.push_back(cells[labelColumn]);
        for (std::size_t d = 0; d < dimensionCount; ++d) {
            const std::size_t c = valueColumns[d];
            double& value = table.values[d * itemCount + i];
            if (ReadValue(cells[c], decimalComma, value) != CellValue::kText) continue;
            if (HasDecimalComma(cells[c])) {
                throw HostError(kExitInput, At(name, line.number) + ", column " +
                                                std::to_string(c + 1) + ": decimal comma in '" +
                                                cells[c] + "': add --decimal-comma");
            }
            NotANumber(name, line.number, table, first, c, cells[c],
                       labelColumn == kNone || (rowNames && chosenLabel == kNone));
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
    // Grown by doubling, the text could take twice its size, and for a
    // moment three times; a file says its size up front.
    std::error_code ec;
    const std::uintmax_t size = standardInput ? 0 : std::filesystem::file_size(path, ec);
    if (!ec && size > 0 && size < text.max_size()) text.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    // A stream only read from loses nothing when its close fails.
    if (!standardInput) (void)std::fclose(file);
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
