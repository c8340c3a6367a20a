#include "Summary.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <iomanip>
#include <sstream>
#include <string>

#include "DistinctItems.h"

namespace selvane::host {

namespace {

// Enough names to find the faulty rows in a small file; the count tells
// the rest.
constexpr std::size_t kNamedUnmeasured = 5;

// Names beyond these are counted, not listed: a wide file's summary stays
// readable.
constexpr std::size_t kNamedColumns = 8;

std::string Plural(std::size_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// "2-5, 7": the file's columns the dimensions come from.
std::string ColumnNumbers(const Table& table) {
    const auto column = [&](std::size_t d) {
        return table.sourceColumns.empty() ? d + 1 : table.sourceColumns[d];
    };
    std::string text;
    for (std::size_t d = 0; d < table.dimensionCount;) {
        std::size_t end = d + 1;
        while (end < table.dimensionCount && column(end) == column(end - 1) + 1) ++end;
        text += (d > 0 ? ", " : "") + std::to_string(column(d));
        if (end - d > 1) text += "-" + std::to_string(column(end - 1));
        d = end;
    }
    return text;
}

// How the file was read, so that a wrong guess is seen and overridden.
void WriteReading(std::ostream& text, const Table& table) {
    if (!table.firstLineNote.empty()) text << "  " << table.firstLineNote;
    if (table.labelColumn != 0) text << "; labels from column " << table.labelColumn;
    if (!table.firstLineNote.empty() || table.labelColumn != 0) text << "\n";
    // A numeric id column is a measurement unless left out: the list shows it.
    text << "  " << (table.dimensionCount == 1 ? "column" : "columns")
         << " clustered: " << ColumnNumbers(table);
    if (!table.dimensionNames.empty()) {
        text << " (";
        for (std::size_t d = 0; d < table.dimensionCount && d < kNamedColumns; ++d) {
            text << (d > 0 ? ", " : "") << DimensionName(table, d);
        }
        if (table.dimensionCount > kNamedColumns) {
            text << ", and " << table.dimensionCount - kNamedColumns << " more";
        }
        text << ")";
    }
    text << "\n";
    for (const std::string& note : table.readingNotes) text << "  " << note << "\n";
}

// A 0/1 column or a column of gaps makes every item unmeasurable; the
// counts point at it.
void WriteColumnCounts(std::ostream& text, const Table& table, bool notPositiveToo) {
    const std::size_t n = table.itemCount;
    for (std::size_t d = 0; d < table.dimensionCount; ++d) {
        std::size_t missing = 0;
        std::size_t notPositive = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double v = table.values[d * n + i];
            if (std::isnan(v)) ++missing;
            if (notPositiveToo && v <= 0.0) ++notPositive;
        }
        if (missing == 0 && notPositive == 0) continue;
        text << "  " << DimensionName(table, d) << ": ";
        if (missing > 0) text << missing << " missing" << (notPositive > 0 ? ", " : "");
        if (notPositive > 0) text << notPositive << " not greater than zero";
        text << "\n";
    }
}

// The engine must split identical items when they are fewer than the
// clusters; said, rather than left for the user to find in the result.
void WriteDistinct(std::ostream& text, const Table& table, const std::vector<bool>* measurable,
                   int clusterCount) {
    const std::size_t k = static_cast<std::size_t>(clusterCount);
    const std::size_t distinct = CountDistinctItems(table, measurable, k);
    if (distinct >= k) return;
    text << "  only " << Plural(distinct, "distinct item") << " for " << Plural(k, "cluster")
         << (measurable != nullptr ? " (items that cannot be measured count as one)" : "")
         << ": identical items were split between clusters\n";
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

    WriteReading(text, table);
    const std::size_t k = static_cast<std::size_t>(clusterCount);
    std::vector<std::size_t> sizes(k, 0);
    std::vector<double> sums(k, 0.0);
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        const std::size_t c = static_cast<std::size_t>(clusters[i]);
        ++sizes[c];
        sums[c] += magnitudes.relative[i];
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
        text << Plural(sizes[c], "item") << ", ranked by " << magnitudes.ranked[c]
             << ", mean relative magnitude " << sums[c] / static_cast<double>(sizes[c]) << "\n";
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
    WriteColumnCounts(text, table, true);
    WriteDistinct(text, table, &magnitudes.measurable, clusterCount);
    char took[48];
    if (elapsedSeconds >= 1.0) {
        (void)std::snprintf(took, sizeof took, "%.3f s", elapsedSeconds);
    } else {
        (void)std::snprintf(took, sizeof took, "%.3f ms", elapsedSeconds * 1000.0);
    }
    text << "  library call took " << took << "\n";
    err << text.str();
}

void WriteSizesSummary(std::ostream& err, const Table& table, const std::vector<int>& clusters,
                       int clusterCount, const std::string& job) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    const std::size_t k = static_cast<std::size_t>(clusterCount);
    text << "selvane: " << job << ", " << Plural(table.itemCount, "item") << ", "
         << Plural(table.dimensionCount, "dimension") << ", " << Plural(k, "cluster") << "\n";
    WriteReading(text, table);
    // No ranking to report: a raw job is numbered as the engine found it,
    // and Selvane() gives its numbers alone.
    std::vector<std::size_t> sizes(k, 0);
    for (int c : clusters) ++sizes[static_cast<std::size_t>(c)];
    text << "  sizes:";
    for (std::size_t size : sizes) text << " " << size;
    text << "\n";
    WriteColumnCounts(text, table, false);
    WriteDistinct(text, table, nullptr, clusterCount);
    err << text.str();
}

}  // namespace selvane::host
