#include "NumberText.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

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

bool IsText(const std::string& text) {
    double ignored = 0.0;
    const NumberStatus status = ParseNumber(text, ignored);
    return status == NumberStatus::kNotNumber;
}

}  // namespace selvane::host
