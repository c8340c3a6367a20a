#include "ResultCsv.h"

#include <cstddef>

namespace selvane::host {

namespace {

std::string QuoteIfNeeded(const std::string& cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string FormatResult(const Table& table, const std::vector<int>& clusters) {
    const bool labelled = !table.labels.empty();
    std::string text = labelled ? "label,cluster\n" : "item,cluster\n";
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        text += labelled ? QuoteIfNeeded(table.labels[i]) : std::to_string(i + 1);
        text += ',';
        text += std::to_string(clusters[i]);
        text += '\n';
    }
    return text;
}

}  // namespace selvane::host
