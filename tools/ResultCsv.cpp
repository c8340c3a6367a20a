#include "ResultCsv.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

namespace selvane::host {

namespace {

std::string Quoted(const std::string& cell) {
    std::string quoted = "\"";
    for (char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string QuoteIfNeeded(const std::string& cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
    return Quoted(cell);
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

std::string FormatTable(const Table& table) {
    const bool labelled = !table.labels.empty();
    std::string text = labelled ? "\"\"," : "";
    for (std::size_t d = 0; d < table.dimensionCount; ++d) {
        const bool named = d < table.dimensionNames.size() && !table.dimensionNames[d].empty();
        text += Quoted(named ? table.dimensionNames[d] : "V" + std::to_string(d + 1));
        text += d + 1 < table.dimensionCount ? ',' : '\n';
    }
    const std::size_t n = table.itemCount;
    char number[32];
    for (std::size_t i = 0; i < n; ++i) {
        if (labelled) text += Quoted(table.labels[i]) + ",";
        for (std::size_t d = 0; d < table.dimensionCount; ++d) {
            const double value = table.values[d * n + i];
            if (std::isnan(value)) {
                text += "NA";
            } else {
                (void)std::snprintf(number, sizeof number, "%.17g", value);
                text += number;
            }
            text += d + 1 < table.dimensionCount ? ',' : '\n';
        }
    }
    return text;
}

}  // namespace selvane::host
