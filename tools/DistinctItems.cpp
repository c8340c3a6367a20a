#include "DistinctItems.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <unordered_set>

namespace selvane::host {

std::size_t CountDistinctItems(const Table& table, const std::vector<bool>* measurable,
                               std::size_t limit) {
    const std::size_t n = table.itemCount;
    const auto value = [&](std::size_t item, std::size_t d) { return table.values[d * n + item]; };
    const auto hash = [&](std::size_t item) {
        std::uint64_t h = 1469598103934665603ull;
        for (std::size_t d = 0; d < table.dimensionCount; ++d) {
            // Equal values hash alike: every NaN one way, -0 as 0.
            const double v = std::isnan(value(item, d)) ? NAN : value(item, d) + 0.0;
            std::uint64_t bits = 0;
            std::memcpy(&bits, &v, sizeof bits);
            h = (h ^ bits) * 1099511628211ull;
        }
        return static_cast<std::size_t>(h);
    };
    const auto equal = [&](std::size_t a, std::size_t b) {
        for (std::size_t d = 0; d < table.dimensionCount; ++d) {
            const double x = value(a, d);
            const double y = value(b, d);
            if (!(x == y || (std::isnan(x) && std::isnan(y)))) return false;
        }
        return true;
    };
    std::unordered_set<std::size_t, std::function<std::size_t(std::size_t)>,
                       std::function<bool(std::size_t, std::size_t)>>
        seen(16, hash, equal);
    bool anyAlike = false;
    for (std::size_t i = 0; i < n && seen.size() + (anyAlike ? 1 : 0) < limit; ++i) {
        if (measurable != nullptr && !(*measurable)[i]) {
            anyAlike = true;
        } else {
            seen.insert(i);
        }
    }
    return seen.size() + (anyAlike ? 1 : 0);
}

}  // namespace selvane::host
