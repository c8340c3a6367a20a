// The summary text, from the library's magnitudes and ranked values.
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostTestSupport.h"
#include "Summary.h"
#include "Table.h"

namespace selvane::host {
namespace {

using testing::Reported;
const double kUnused = NAN;

// Items (3,4), (1,1), (2,-5), dimension-major.
Table WorkedTable() {
    Table t;
    t.itemCount = 3;
    t.dimensionCount = 2;
    t.values = {3, 1, 2, 4, 1, -5};
    t.labels = {"a", "b", "c"};
    return t;
}

TEST(Summary, SizesMeansUnmeasuredAndTime) {
    const Table t = WorkedTable();
    std::ostringstream err;
    // Cluster 2 stays empty; cluster 0 holds b and c: (0.28284 + 0) / 2
    // plain, (0.28284 + 0) / 3 ranked (by the library).
    WriteSummary(err, t, Reported({1.0, 0.28284, 0.0}, {0.09428, 0.5, kUnused}), {1, 0, 0}, 3,
                 0.0123456);
    EXPECT_EQ(err.str(),
              "selvane: 3 items, 2 dimensions, 3 clusters\n"
              "  columns clustered: 1-2\n"
              "  numbered by rank: the sum of the members' relative magnitudes "
              "/ (members + 1), in single precision\n"
              "  cluster 0: 2 items, ranked by 0.0943, mean relative magnitude 0.1414\n"
              "  cluster 1: 1 item, ranked by 0.5000, mean relative magnitude 1.0000\n"
              "  cluster 2: no items: clusters ranked alike share the highest of their "
              "numbers (clusters holding only unmeasurable items tie at 0)\n"
              "  cannot be measured: 1 item (c)\n"
              "  column 2: 1 not greater than zero\n"
              "  library call took 12.346 ms\n");
    // A missing value: unmeasurable, ranked at 0 in its cluster's sum and
    // counted under its column. Seconds from one second on.
    Table u;
    u.itemCount = 4;
    u.dimensionCount = 1;
    u.values = {1.0, 0.5, 0.5, NAN};
    u.dimensionNames = {"x"};
    std::ostringstream err2;
    WriteSummary(err2, u, Reported({1.0, 0.5, 0.5, 0.0}, {0.25, 0.5}), {1, 0, 0, 0}, 2, 77.8278634);
    EXPECT_NE(err2.str().find("  cluster 0: 3 items, ranked by 0.2500, mean relative "
                              "magnitude 0.3333\n  cluster 1: 1 item, ranked by 0.5000"),
              std::string::npos)
        << err2.str();
    EXPECT_NE(err2.str().find("  'x': 1 missing\n  library call took 77.828 s\n"),
              std::string::npos)
        << err2.str();
}

TEST(Summary, RawJobsSayHowTheFileWasReadAndWhatIsMissing) {
    // Items (1,2), (1,2), (NA,5), (NA,5): two distinct for three clusters.
    Table t;
    t.itemCount = 4;
    t.dimensionCount = 2;
    t.values = {1, 1, NAN, NAN, 2, 2, 5, 5};
    t.dimensionNames = {"x", ""};
    t.sourceColumns = {2, 4};
    t.labelColumn = 1;
    t.firstLineNote = "first line taken as column names (it holds text where values stand)";
    t.readingNotes = {"column 5 left out: empty on every line, a delimiter at each line's end"};
    std::ostringstream err;
    WriteSizesSummary(err, t, {0, 1, 2, 0}, 3, "raw engine job");
    EXPECT_EQ(err.str(),
              "selvane: raw engine job, 4 items, 2 dimensions, 3 clusters\n"
              "  first line taken as column names (it holds text where values stand); labels "
              "from column 1\n"
              "  columns clustered: 2, 4 ('x', column 4)\n"
              "  column 5 left out: empty on every line, a delimiter at each line's end\n"
              "  sizes: 2 1 1\n"
              "  'x': 2 missing\n"
              "  only 2 distinct items for 3 clusters: identical items were split between "
              "clusters\n");
    // The default job sees the items it cannot measure as one.
    t.values = {1, 1, 1, 3, 2, 2, 5, 5};
    std::ostringstream alike;
    WriteSummary(alike, t, Reported({0.4, 0.4, 1, 1}, {1, 1, 1}), {0, 1, 2, 0}, 3, 0.0);
    EXPECT_EQ(alike.str().find("only"), std::string::npos) << alike.str();
    t.values = {1, 1, 0, -3, 2, 2, 5, 5};
    std::ostringstream unmeasured;
    WriteSummary(unmeasured, t, Reported({1, 1, 0, 0}, {1, 1, 1}), {0, 1, 2, 0}, 3, 0.0);
    EXPECT_NE(unmeasured.str().find("  only 2 distinct items for 3 clusters (items that cannot be "
                                    "measured count as one): identical items were split between "
                                    "clusters\n"),
              std::string::npos)
        << unmeasured.str();
}

TEST(Summary, NamesAtMostFiveUnmeasuredItems) {
    Table t;
    t.itemCount = 8;
    t.dimensionCount = 1;
    t.values = {1, 0, 0, 0, 0, 0, 0, 0};  // no labels: items by number
    std::ostringstream err;
    WriteSummary(err, t, Reported({1, 0, 0, 0, 0, 0, 0, 0}, {0.1}), std::vector<int>(8, 0), 1, 0.5);
    EXPECT_NE(err.str().find("  cannot be measured: 7 items (item 2, item 3, "
                             "item 4, item 5, item 6, and 2 more)\n"),
              std::string::npos)
        << err.str();
}

}  // namespace
}  // namespace selvane::host
