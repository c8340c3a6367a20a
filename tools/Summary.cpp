#include "Summary.h"

#include <cstddef>
#include <iomanip>
#include <sstream>

namespace selvane::host {

namespace {

// Enough names to find the faulty rows in a small file; the count tells
// the rest.
constexpr std::size_t kNamedUnmeasured = 5;

std::string Plural(std::size_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

void WriteSummary(std::ostream& err, const Table& table,
                  const Magnitudes& magnitudes, const std::vector<int>& clusters,
                  int clusterCount, double elapsedSeconds) {
    // Built in a local stream so that the caller's formatting flags and
    // locale play no part.
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << "selvane: " << Plural(table.itemCount, "item") << ", "
         << Plural(table.dimensionCount, "dimension") << ", "
         << Plural(static_cast<std::size_t>(clusterCount), "cluster") << "\n";

    const std::size_t k = static_cast<std::size_t>(clusterCount);
    std::vector<std::size_t> sizes(k, 0);
    std::vector<double> sums(k, 0.0);
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        const std::size_t c = static_cast<std::size_t>(clusters[i]);
        ++sizes[c];
        sums[c] += magnitudes.relative[i];
    }
    text << std::fixed;
    for (std::size_t c = 0; c < k; ++c) {
        text << "  cluster " << c << ": " << Plural(sizes[c], "item");
        if (sizes[c] > 0) {
            text << ", mean relative magnitude " << std::setprecision(4)
                 << sums[c] / static_cast<double>(sizes[c]);
        }
        text << "\n";
    }

    const std::size_t unmeasured = table.itemCount - magnitudes.measurableCount;
    text << "  cannot be measured: " << Plural(unmeasured, "item");
    if (unmeasured > 0) {
        text << " (";
        std::size_t named = 0;
        for (std::size_t i = 0; i < table.itemCount && named < kNamedUnmeasured;
             ++i) {
            if (magnitudes.measurable[i]) continue;
            text << (named > 0 ? ", " : "") << ItemName(table, i);
            ++named;
        }
        if (unmeasured > named) text << ", and " << unmeasured - named << " more";
        text << ")";
    }
    text << "\n";
    text << "  library call took " << std::setprecision(3)
         << elapsedSeconds * 1000.0 << " ms\n";
    err << text.str();
}

}  // namespace selvane::host
