#include "CsvLine.h"

#include <cstddef>

namespace selvane::host {

namespace {

const char kCandidates[] = {'\t', ';', ',', ' '};

bool IsBlank(char c, char delimiter) { return c == ' ' || (c == '\t' && delimiter != '\t'); }

// Reads one cell starting at pos; leaves pos on the delimiter or at the end.
bool ReadCell(const std::string& line, char delimiter, std::size_t& pos, std::string& cell,
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

std::size_t CountOutsideQuotes(const std::string& line, char delimiter) {
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

bool SplitCells(const std::string& line, char delimiter, std::vector<std::string>& cells,
                std::vector<bool>* quoted) {
    cells.clear();
    if (quoted != nullptr) quoted->clear();
    std::size_t pos = 0;
    std::string cell;
    bool cellQuoted = false;
    if (delimiter == ' ') {
        while (pos < line.size() && line[pos] == ' ') ++pos;
        if (pos == line.size()) return true;
    }
    while (true) {
        if (!ReadCell(line, delimiter, pos, cell, cellQuoted)) return false;
        cells.push_back(cell);
        if (quoted != nullptr) quoted->push_back(cellQuoted);
        if (delimiter == ' ') {
            while (pos < line.size() && line[pos] == ' ') ++pos;
            if (pos >= line.size()) return true;
            continue;
        }
        if (pos >= line.size()) return true;
        ++pos;  // past the delimiter
    }
}

char DetectDelimiter(const std::vector<std::string>& sampleLines, bool noComma) {
    std::vector<std::string> cells;
    for (char candidate : kCandidates) {
        if (noComma && candidate == ',') continue;
        std::size_t expected = 0;
        bool consistent = !sampleLines.empty();
        for (const std::string& line : sampleLines) {
            if (!SplitCells(line, candidate, cells) || cells.size() < 2 ||
                (expected != 0 && cells.size() != expected)) {
                consistent = false;
                break;
            }
            expected = cells.size();
        }
        if (consistent) return candidate;
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
