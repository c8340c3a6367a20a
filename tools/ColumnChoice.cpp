#include "ColumnChoice.h"

#include "HostError.h"

namespace selvane::host {

namespace {

const std::size_t kNone = static_cast<std::size_t>(-1);

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole number is a 1-based position; anything else names a cell of the
// first line. Returns kNone when wanted is neither.
std::size_t FindColumn(const std::string& wanted, const std::vector<std::string>& firstLine,
                       bool namesAllowed, bool& byName) {
    const std::size_t count = firstLine.size();
    if (IsWholeText(wanted) && wanted[0] != '+' && wanted[0] != '-') {
        const std::size_t digits = wanted.size();
        if (digits > 9) return kNone;
        const std::size_t position = static_cast<std::size_t>(std::stoul(wanted));
        return position >= 1 && position <= count ? position - 1 : kNone;
    }
    if (!namesAllowed) return kNone;
    for (std::size_t c = 0; c < count; ++c) {
        if (firstLine[c] == wanted) {
            byName = true;
            return c;
        }
    }
    return kNone;
}

[[noreturn]] void NoSuchColumn(const char* option, const std::string& wanted,
                               const std::vector<std::string>& firstLine, const std::string& name,
                               bool namesAllowed) {
    const std::size_t count = firstLine.size();
    if (IsWholeText(wanted)) {
        throw HostError(kExitUsage, std::string(option) + ": there is no column " + wanted + "; '" +
                                        name + "' has " + std::to_string(count) +
                                        (count == 1 ? " column" : " columns"));
    }
    throw HostError(kExitUsage, std::string(option) + ": no column named '" + wanted +
                                    "' in the first line of '" + name + "'" +
                                    (namesAllowed ? "" : " (--no-header: it names no columns)"));
}

}  // namespace

bool IsWholeText(const std::string& cell) {
    const std::string text = Trimmed(cell);
    std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

std::size_t ResolveColumn(const char* option, const std::string& wanted,
                          const std::vector<std::string>& firstLine, const std::string& fileName,
                          bool namesAllowed, bool& byName) {
    const std::size_t column = FindColumn(wanted, firstLine, namesAllowed, byName);
    if (column == kNone) NoSuchColumn(option, wanted, firstLine, fileName, namesAllowed);
    return column;
}

std::vector<std::size_t> ResolveColumns(const std::string& list,
                                        const std::vector<std::string>& firstLine,
                                        const std::string& fileName, bool namesAllowed,
                                        bool& byName) {
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
        std::size_t first = FindColumn(entry, firstLine, namesAllowed, byName);
        std::size_t last = first;
        // A name may hold a dash itself; only a split whose two sides are
        // both columns makes a range.
        for (std::size_t dash = entry.find('-', 1); first == kNone && dash != std::string::npos;
             dash = entry.find('-', dash + 1)) {
            bool named = false;
            const std::size_t from =
                FindColumn(Trimmed(entry.substr(0, dash)), firstLine, namesAllowed, named);
            const std::size_t to =
                FindColumn(Trimmed(entry.substr(dash + 1)), firstLine, namesAllowed, named);
            if (from == kNone || to == kNone) continue;
            if (from > to) {
                throw HostError(kExitUsage, "--columns: the range '" + entry + "' runs backwards");
            }
            byName = byName || named;
            first = from;
            last = to;
        }
        if (first == kNone) NoSuchColumn("--columns", entry, firstLine, fileName, namesAllowed);
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

}  // namespace selvane::host
