#include "NumberText.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace selvane::host {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

NumberStatus ParseNumber(const std::string& text, double& value) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    if (first == last) return NumberStatus::kEmpty;
    const std::string core = text.substr(first, last - first);
    // strtod would skip leading newlines and form feeds as well; the trim
    // above already decided what counts as blank.
    if (std::isspace(static_cast<unsigned char>(core[0])) != 0) {
        return NumberStatus::kNotNumber;
    }
    errno = 0;
    char* end = nullptr;
    const double parsed = std::strtod(core.c_str(), &end);
    if (end != core.c_str() + core.size()) return NumberStatus::kNotNumber;
    // ERANGE also flags underflow, whose result (0 or a subnormal) is the
    // nearest double and fine; only overflow loses the value.
    if (errno == ERANGE && std::isinf(parsed)) return NumberStatus::kOutOfRange;
    value = parsed;
    return NumberStatus::kNumber;
}

CellValue ReadValue(const std::string& text, bool decimalComma, double& value) {
    value = std::numeric_limits<double>::quiet_NaN();
    std::string cell = text;
    if (decimalComma && HasDecimalComma(text)) cell[cell.find(',')] = '.';
    double parsed = 0.0;
    switch (ParseNumber(cell, parsed)) {
        case NumberStatus::kNumber:
            if (!std::isfinite(parsed)) return CellValue::kMissing;
            value = parsed;
            return CellValue::kNumber;
        case NumberStatus::kEmpty:
        case NumberStatus::kOutOfRange: return CellValue::kMissing;
        case NumberStatus::kNotNumber: break;
    }
    // R writes NA for a missing value.
    const std::size_t first = cell.find_first_not_of(" \t");
    const std::size_t last = cell.find_last_not_of(" \t");
    return cell.compare(first, last - first + 1, "NA") == 0 ? CellValue::kMissing
                                                            : CellValue::kText;
}

bool HasDecimalComma(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos ||
        text.find('.') != std::string::npos) {
        return false;
    }
    std::string pointed = text;
    pointed[comma] = '.';
    double ignored = 0.0;
    return ParseNumber(pointed, ignored) == NumberStatus::kNumber;
}

}  // namespace selvane::host
