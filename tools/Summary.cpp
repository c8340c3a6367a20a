#include "Summary.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
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

void WriteSummary(std::ostream& err, const Table& table, const Magnitudes& magnitudes,
                  const std::vector<int>& clusters, int clusterCount, double elapsedSeconds) {
    // Built in a local stream so that the caller's formatting flags and
    // locale play no part.
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << "selvane: " << Plural(table.itemCount, "item") << ", "
         << Plural(table.dimensionCount, "dimension") << ", "
         << Plural(static_cast<std::size_t>(clusterCount), "cluster") << "\n";

    // How the file was read, so that a wrong guess is seen and overridden.
    if (!table.firstLineNote.empty()) text << "  " << table.firstLineNote;
    if (table.labelColumn != 0) text << "; labels from column " << table.labelColumn;
    if (!table.firstLineNote.empty() || table.labelColumn != 0) text << "\n";
    const std::size_t k = static_cast<std::size_t>(clusterCount);
    std::vector<std::size_t> sizes(k, 0);
    std::vector<double> sums(k, 0.0);
    // The library's own ranking arithmetic: each sum rounded to single
    // precision after every addition, over members + 1.
    std::vector<float> ranked(k, 0.0f);
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        const std::size_t c = static_cast<std::size_t>(clusters[i]);
        ++sizes[c];
        sums[c] += magnitudes.relative[i];
        ranked[c] = static_cast<float>(static_cast<double>(ranked[c]) + magnitudes.relative[i]);
    }
    text << "  numbered by rank: the sum of the members' relative magnitudes "
            "/ (members + 1), in single precision\n";
    text << std::fixed << std::setprecision(4);
    for (std::size_t c = 0; c < k; ++c) {
        text << "  cluster " << c << ": ";
        if (sizes[c] == 0) {
            text << "no items: clusters ranked alike share the highest of their "
                    "numbers (clusters holding only unmeasurable items tie at 0)\n";
            continue;
        }
        const float rank = ranked[c] / static_cast<float>(sizes[c] + 1);
        text << Plural(sizes[c], "item") << ", ranked by " << rank << ", mean relative magnitude "
             << sums[c] / static_cast<double>(sizes[c]) << "\n";
    }

    const std::size_t unmeasured = table.itemCount - magnitudes.measurableCount;
    text << "  cannot be measured: " << Plural(unmeasured, "item");
    if (unmeasured > 0) {
        text << " (";
        std::size_t named = 0;
        for (std::size_t i = 0; i < table.itemCount && named < kNamedUnmeasured; ++i) {
            if (magnitudes.measurable[i]) continue;
            text << (named > 0 ? ", " : "") << ItemName(table, i);
            ++named;
        }
        if (unmeasured > named) text << ", and " << unmeasured - named << " more";
        text << ")";
    }
    text << "\n";
    // A 0/1 column or a column of gaps makes every item unmeasurable; the
    // counts point at it.
    const std::size_t n = table.itemCount;
    for (std::size_t d = 0; d < table.dimensionCount; ++d) {
        std::size_t missing = 0;
        std::size_t notPositive = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double v = table.values[d * n + i];
            if (std::isnan(v)) ++missing;
            if (v <= 0.0) ++notPositive;
        }
        if (missing == 0 && notPositive == 0) continue;
        text << "  " << DimensionName(table, d) << ": ";
        if (missing > 0) text << missing << " missing" << (notPositive > 0 ? ", " : "");
        if (notPositive > 0) text << notPositive << " not greater than zero";
        text << "\n";
    }
    char took[48];
    if (elapsedSeconds >= 1.0) {
        std::snprintf(took, sizeof took, "%.3f s", elapsedSeconds);
    } else {
        std::snprintf(took, sizeof took, "%.3f ms", elapsedSeconds * 1000.0);
    }
    text << "  library call took " << took << "\n";
    err << text.str();
}

}  // namespace selvane::host
