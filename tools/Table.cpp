#include "Table.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

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

}  // namespace

Table ParseTable(const std::string& text, const std::string& name) {
    const std::vector<Line> lines = NonBlankLines(text);
    if (lines.empty()) throw HostError(kExitInput, "'" + name + "' is empty");

    std::vector<std::string> sample;
    for (std::size_t i = 0; i < lines.size() && i < kDelimiterSampleLines; ++i) {
        sample.push_back(lines[i].text);
    }
    Table table;
    table.delimiter = DetectDelimiter(sample);

    std::vector<std::vector<std::string>> rows(lines.size());
    for (std::size_t r = 0; r < lines.size(); ++r) {
        if (!SplitCells(lines[r].text, table.delimiter, rows[r])) {
            throw HostError(kExitInput, At(name, lines[r].number) +
                                            ": a quoted cell is not closed");
        }
        if (rows[r].size() != rows[0].size()) {
            throw HostError(kExitInput,
                            At(name, lines[r].number) + ": found " +
                                Cells(rows[r].size()) + ", but line " +
                                std::to_string(lines[0].number) + " has " +
                                Cells(rows[0].size()));
        }
    }
    const std::size_t columnCount = rows[0].size();

    // Labels: every data row's first cell is text or empty, and some are
    // text. The first line may be a header, so it does not vote unless it is
    // the only line. Requiring all rows keeps a mistyped number in column 1
    // an error instead of silently turning the column into labels.
    const std::size_t firstVoter = rows.size() > 1 ? 1 : 0;
    bool anyText = false;
    bool anyNumber = false;
    for (std::size_t r = firstVoter; r < rows.size(); ++r) {
        double ignored = 0.0;
        const NumberStatus status = ParseNumber(rows[r][0], ignored);
        if (status == NumberStatus::kNotNumber) anyText = true;
        if (status == NumberStatus::kNumber ||
            status == NumberStatus::kOutOfRange) {
            anyNumber = true;
        }
    }
    const bool hasLabels = anyText && !anyNumber;
    const std::size_t firstValueColumn = hasLabels ? 1 : 0;
    if (firstValueColumn >= columnCount) {
        throw HostError(kExitInput, "'" + name + "' has labels but no values");
    }

    for (std::size_t c = firstValueColumn; c < columnCount; ++c) {
        if (IsText(rows[0][c])) table.hasHeader = true;
    }
    if (table.hasHeader) {
        table.dimensionNames.assign(rows[0].begin() + static_cast<std::ptrdiff_t>(firstValueColumn),
                                    rows[0].end());
    }
    const std::size_t firstItem = table.hasHeader ? 1 : 0;
    if (firstItem >= rows.size()) {
        throw HostError(kExitInput,
                        "'" + name + "' has a header row but no items");
    }

    const std::size_t itemCount = rows.size() - firstItem;
    const std::size_t dimensionCount = columnCount - firstValueColumn;
    if (itemCount > static_cast<std::size_t>(INT_MAX) ||
        dimensionCount > static_cast<std::size_t>(INT_MAX)) {
        throw HostError(kExitInput, "'" + name + "' is too large: the library "
                                    "takes at most 2147483647 items and "
                                    "dimensions");
    }
    table.itemCount = itemCount;
    table.dimensionCount = dimensionCount;
    table.values.resize(itemCount * dimensionCount);
    if (hasLabels) table.labels.reserve(itemCount);

    for (std::size_t i = 0; i < itemCount; ++i) {
        const std::vector<std::string>& row = rows[firstItem + i];
        const std::size_t lineNumber = lines[firstItem + i].number;
        if (hasLabels) table.labels.push_back(row[0]);
        for (std::size_t d = 0; d < dimensionCount; ++d) {
            const std::size_t c = firstValueColumn + d;
            double value = 0.0;
            switch (ParseNumber(row[c], value)) {
                case NumberStatus::kNumber:
                    break;
                case NumberStatus::kEmpty:
                    throw HostError(kExitInput,
                                    At(name, lineNumber, c + 1) + ": empty cell");
                case NumberStatus::kNotNumber:
                    throw HostError(kExitInput, At(name, lineNumber, c + 1) +
                                                    ": not a number: '" +
                                                    row[c] + "'");
                case NumberStatus::kOutOfRange:
                    throw HostError(kExitInput, At(name, lineNumber, c + 1) +
                                                    ": number out of range: '" +
                                                    row[c] + "'");
            }
            table.values[d * itemCount + i] = value;
        }
    }
    return table;
}

Table ReadTableFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        const int error = errno;
        throw HostError(kExitInput, "cannot read '" + path +
                                        "': " + std::strerror(error));
    }
    std::string text;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        throw HostError(kExitInput, "cannot read '" + path +
                                        "': " + std::strerror(error));
    }
    return ParseTable(text, path);
}

std::string ItemName(const Table& table, std::size_t item) {
    if (!table.labels.empty() && !table.labels[item].empty()) {
        return table.labels[item];
    }
    return "item " + std::to_string(item + 1);
}

}  // namespace selvane::host
