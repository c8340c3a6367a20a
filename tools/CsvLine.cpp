#include "CsvLine.h"

#include <cstddef>

namespace selvane::host {

namespace {

const char kCandidates[] = {'\t', ';', ',', ' '};

bool IsBlank(char c, char delimiter) { return c == ' ' || (c == '\t' && delimiter != '\t'); }

// Reads one cell starting at pos; leaves pos on the delimiter or at the end.
bool ReadCell(std::string_view line, char delimiter, std::size_t& pos, std::string& cell,
              bool& quoted) {
    const std::size_t size = line.size();
    cell.clear();
    quoted = false;
    std::size_t start = pos;
    while (start < size && IsBlank(line[start], delimiter)) ++start;
    if (start < size && line[start] == '"') {
        quoted = true;
        std::size_t i = start + 1;
        bool closed = false;
        while (i < size) {
            if (line[i] == '"') {
                if (i + 1 < size && line[i + 1] == '"') {
                    cell += '"';
                    i += 2;
                    continue;
                }
                closed = true;
                ++i;
                break;
            }
            cell += line[i];
            ++i;
        }
        if (!closed) return false;
        // Text between the closing quote and the delimiter is kept rather
        // than dropped: losing part of a label silently would be worse.
        std::size_t tail = i;
        while (i < size && line[i] != delimiter) ++i;
        std::size_t tailEnd = i;
        while (tailEnd > tail && IsBlank(line[tailEnd - 1], delimiter)) --tailEnd;
        cell.append(line, tail, tailEnd - tail);
        pos = i;
        return true;
    }
    std::size_t end = start;
    while (end < size && line[end] != delimiter) ++end;
    pos = end;
    while (end > start && IsBlank(line[end - 1], delimiter)) --end;
    cell.assign(line, start, end - start);
    return true;
}

std::size_t CountOutsideQuotes(std::string_view line, char delimiter) {
    std::size_t count = 0;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == delimiter && !quoted) {
            ++count;
        }
    }
    return count;
}

}  // namespace

bool SplitCells(std::string_view line, char delimiter, std::vector<std::string>& cells,
                std::vector<bool>* quoted) {
    if (quoted != nullptr) quoted->clear();
    // The cells' strings are overwritten rather than made anew, so that a
    // file read line by line into one vector allocates almost nothing.
    std::size_t count = 0;
    std::size_t pos = 0;
    bool cellQuoted = false;
    bool closed = true;
    if (delimiter == ' ') {
        while (pos < line.size() && line[pos] == ' ') ++pos;
    }
    while (delimiter != ' ' || pos < line.size()) {
        if (count == cells.size()) cells.emplace_back();
        closed = ReadCell(line, delimiter, pos, cells[count++], cellQuoted);
        if (!closed) break;
        if (quoted != nullptr) quoted->push_back(cellQuoted);
        if (delimiter == ' ') {
            while (pos < line.size() && line[pos] == ' ') ++pos;
            continue;
        }
        if (pos >= line.size()) break;
        ++pos;  // past the delimiter
    }
    cells.resize(count);
    return closed;
}

namespace {

// Whether every sample line splits into the same number (more than one) of
// cells, or with shortHeader, the first line into one cell fewer than the
// rest.
bool SplitsAlike(const std::vector<std::string>& sampleLines, char candidate, bool shortHeader) {
    if (sampleLines.size() < (shortHeader ? 2u : 1u)) return false;
    std::vector<std::string> cells;
    std::size_t expected = 0;
    for (std::size_t i = shortHeader ? 1 : 0; i < sampleLines.size(); ++i) {
        if (!SplitCells(sampleLines[i], candidate, cells) || cells.size() < 2 ||
            (expected != 0 && cells.size() != expected)) {
            return false;
        }
        expected = cells.size();
    }
    return !shortHeader ||
           (SplitCells(sampleLines[0], candidate, cells) && cells.size() + 1 == expected);
}

}  // namespace

char DetectDelimiter(const std::vector<std::string>& sampleLines, bool noComma) {
    for (bool shortHeader : {false, true}) {
        for (char candidate : kCandidates) {
            if (noComma && candidate == ',') continue;
            if (SplitsAlike(sampleLines, candidate, shortHeader)) return candidate;
        }
    }
    char best = noComma ? ';' : ',';
    std::size_t bestCount = 0;
    if (!sampleLines.empty()) {
        for (char candidate : kCandidates) {
            if (noComma && candidate == ',') continue;
            const std::size_t count = CountOutsideQuotes(sampleLines.front(), candidate);
            if (count > bestCount) {
                best = candidate;
                bestCount = count;
            }
        }
    }
    return best;
}

}  // namespace selvane::host
