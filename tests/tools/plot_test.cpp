// The picture: what each cluster's panel is made of, the member sample,
// the SVG text helpers, and the structure of the rendered document.
#include <cmath>
#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ClusterProfiles.h"
#include "HostTestSupport.h"
#include "SvgPlot.h"
#include "SvgText.h"
#include "Table.h"

namespace selvane::host {
namespace {

using testing::Reported;

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

// items: one vector of values per item; stored dimension-major.
Table MakeTable(const std::vector<std::vector<double>>& items,
                std::vector<std::string> names = {}) {
    Table t;
    t.itemCount = items.size();
    t.dimensionCount = items.empty() ? 0 : items[0].size();
    t.values.resize(t.itemCount * t.dimensionCount);
    for (std::size_t i = 0; i < t.itemCount; ++i) {
        for (std::size_t d = 0; d < t.dimensionCount; ++d) {
            t.values[d * t.itemCount + i] = items[i][d];
        }
    }
    t.dimensionNames = std::move(names);
    return t;
}

// n items of profile (3,4)/5 scaled by 1 .. n, all in cluster 0.
Table Ramp(std::size_t n) {
    std::vector<std::vector<double>> items;
    for (std::size_t i = 1; i <= n; ++i) {
        const double scale = static_cast<double>(i);
        items.push_back({3.0 * scale, 4.0 * scale});
    }
    return MakeTable(items);
}

TEST(EvenSample, PositionsAreFloorOfEvenSteps) {
    // floor(j * 5 / 2) for j = 0, 1.
    EXPECT_EQ(EvenSample(5, 2), (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(EvenSample(3, 200), (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(EvenSample(0, 200), (std::vector<std::size_t>{}));
    const std::vector<std::size_t> many = EvenSample(250, 200);
    ASSERT_EQ(many.size(), 200u);
    EXPECT_EQ(many.front(), 0u);
    EXPECT_EQ(many.back(), 248u);  // floor(199 * 250 / 200)
    EXPECT_EQ(std::set<std::size_t>(many.begin(), many.end()).size(), 200u);
    // A count that would overflow 32 bits in j * total.
    const std::vector<std::size_t> huge = EvenSample(2000000000u, 200);
    EXPECT_EQ(huge[199], 1990000000u);
}

TEST(ClusterProfiles, SizesMeansAndDrawnMembersWorkedByHand) {
    // Norms 5, sqrt(2), 10; (0, 1) cannot be measured. Relative magnitudes
    // 0.5, sqrt(2)/10, 1, 0.
    const Table t = MakeTable({{3, 4}, {1, 1}, {6, 8}, {0, 1}});
    const Magnitudes m = Reported({0.5, std::sqrt(2.0) / 10.0, 1.0, 0.0});
    const std::vector<ClusterProfile> p = DescribeClusters(t, m, {0, 1, 0, 1}, 3, 200);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].size, 2u);
    EXPECT_EQ(p[0].measured, 2u);
    EXPECT_DOUBLE_EQ(p[0].meanMagnitude, 0.75);
    ASSERT_EQ(p[0].meanProfile.size(), 2u);
    EXPECT_DOUBLE_EQ(p[0].meanProfile[0], 0.6);  // both members are (0.6, 0.8)
    EXPECT_DOUBLE_EQ(p[0].meanProfile[1], 0.8);
    EXPECT_EQ(p[0].drawn, (std::vector<std::size_t>{0, 2}));

    EXPECT_EQ(p[1].size, 2u);
    EXPECT_EQ(p[1].measured, 1u);
    EXPECT_DOUBLE_EQ(p[1].meanMagnitude, std::sqrt(2.0) / 20.0);  // (sqrt(2)/10 + 0) / 2
    EXPECT_DOUBLE_EQ(p[1].meanProfile[0], 1.0 / std::sqrt(2.0));
    EXPECT_EQ(p[1].drawn, (std::vector<std::size_t>{1}));  // not the unmeasured 3

    EXPECT_EQ(p[2].size, 0u);
    EXPECT_TRUE(p[2].meanProfile.empty());
    EXPECT_TRUE(p[2].drawn.empty());
}

TEST(ClusterProfiles, SamplesInFileOrderButAveragesEveryMember) {
    // Members 0, 2, 4, ... of 10 items; item 9's profile differs.
    std::vector<std::vector<double>> items(10, {1.0, 1.0});
    items[8] = {1.0, 3.0};
    const Table t = MakeTable(items);
    const std::vector<ClusterProfile> p = DescribeClusters(
        t, Reported(std::vector<double>(10, 0.5)), {0, 1, 0, 1, 0, 1, 0, 1, 0, 1}, 2, 2);
    // Five members, two drawn: positions floor(0) and floor(5/2) = 2.
    EXPECT_EQ(p[0].drawn, (std::vector<std::size_t>{0, 4}));
    // Item 8, not drawn, still pulls the mean: (4 * 1/sqrt(2) + 1/sqrt(10)) / 5.
    EXPECT_DOUBLE_EQ(p[0].meanProfile[0], (4.0 / std::sqrt(2.0) + 1.0 / std::sqrt(10.0)) / 5.0);
}

TEST(SvgText, EscapesAndRepairsText) {
    EXPECT_EQ(EscapeXml("a<b & \"c\" 'd'>"), "a&lt;b &amp; &quot;c&quot; &apos;d&apos;&gt;");
    const std::string fffd = "\xEF\xBF\xBD";
    // Latin-1 "été", a control character, an overlong slash, a surrogate.
    EXPECT_EQ(EscapeXml("\xE9t\xE9"), fffd + "t" + fffd);
    EXPECT_EQ(EscapeXml("a\x01\tb\n"), "a\tb");
    EXPECT_EQ(EscapeXml("\xC0\xAF"), fffd + fffd);
    EXPECT_EQ(EscapeXml("\xED\xA0\x80"), fffd + fffd + fffd);
    // Well-formed UTF-8 passes unchanged, up to four bytes.
    EXPECT_EQ(EscapeXml("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8C\xB8"),
              "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8C\xB8");
    EXPECT_EQ(EscapeXml("\xF0\x9F\x8C"), fffd + fffd + fffd);  // cut short
}

TEST(SvgText, ShortensKeepingTrailingDigits) {
    const std::string ellipsis = "\xE2\x80\xA6";
    EXPECT_EQ(Shorten("sepal_length_cm", 15), "sepal_length_cm");
    EXPECT_EQ(Shorten("sepal_length_cm", 10), "sepal_len" + ellipsis);
    EXPECT_EQ(Shorten("measurement_10", 10), "measure" + ellipsis + "10");
    EXPECT_EQ(Shorten("measurement_10", 4), "mea" + ellipsis);  // no room for digits
    EXPECT_EQ(Shorten("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9" + ellipsis);
    EXPECT_EQ(Shorten("abc", 0), "");
}

TEST(SvgText, NumbersAndColours) {
    EXPECT_EQ(Fixed(2.345678, 2), "2.35");
    EXPECT_EQ(Fixed(-0.04, 1), "0.0");  // never "-0.0"
    EXPECT_EQ(Fixed(-1.5, 1), "-1.5");
    EXPECT_EQ(Fixed(1200.0, 0), "1200");
    EXPECT_EQ(ClusterColour(0), "#1f77b4");
    EXPECT_EQ(ClusterColour(19), "#7b4173");
    std::set<std::string> colours;
    for (std::size_t c = 0; c < 60; ++c) colours.insert(ClusterColour(c));
    EXPECT_EQ(colours.size(), 60u);
    EXPECT_EQ(Darker("#ffffff", 0.5), "#808080");  // 127.5 rounds up
    EXPECT_EQ(Darker("#1f77b4", 0.0), "#000000");
}

TEST(SvgPlot, OnePanelAndOneLanePerCluster) {
    for (int k : {1, 3, 7, 20}) {
        SCOPED_TRACE(k);
        const Table t = Ramp(40);
        std::vector<int> clusters;
        for (int i = 0; i < 40; ++i) clusters.push_back(i % k);
        const std::string svg =
            RenderClusterPlot(t, Reported(std::vector<double>(40, 0.5)), clusters, k, "r.csv");
        EXPECT_EQ(Occurrences(svg, "<g class=\"panel\""), static_cast<std::size_t>(k));
        EXPECT_EQ(Occurrences(svg, "<g class=\"lane\""), static_cast<std::size_t>(k));
        EXPECT_NE(svg.find("data-cluster=\"" + std::to_string(k - 1) + "\""), std::string::npos);
        EXPECT_EQ(Occurrences(svg, "<g"), Occurrences(svg, "</g>"));
        EXPECT_EQ(svg.find("profiles drawn (sample)"), std::string::npos);
    }
}

TEST(SvgPlot, SizeGrowsWithRowsOfPanels) {
    const Table t = Ramp(40);
    const auto heightOf = [&](int k) {
        std::vector<int> clusters;
        for (int i = 0; i < 40; ++i) clusters.push_back(i % k);
        const std::string svg =
            RenderClusterPlot(t, Reported(std::vector<double>(40, 0.5)), clusters, k, "r.csv");
        EXPECT_NE(svg.find("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1200\" height=\""),
                  std::string::npos);
        const std::size_t at = svg.find("height=\"") + 8;
        return std::stoi(svg.substr(at, svg.find('"', at) - at));
    };
    // 3 clusters: one row of 290 px panels; 4: two rows (2 x 2);
    // 20: four rows of five 240 px panels; 20 lanes of 12 px.
    const int one = heightOf(3);
    EXPECT_EQ(heightOf(4), one + 290 + 16 + 22);  // a row and one more lane
    EXPECT_GT(heightOf(20), one + 3 * 240);
}

TEST(SvgPlot, MemberLinesAreSampledAndTheSampleIsSaid) {
    const Table t = Ramp(250);
    const std::string svg = RenderClusterPlot(t, Reported(std::vector<double>(250, 0.5)),
                                              std::vector<int>(250, 0), 1, "ramp.csv");
    // 200 members and the mean drawn twice (casing and line).
    EXPECT_EQ(Occurrences(svg, "<polyline"), kMaxDrawnProfiles + 2);
    EXPECT_NE(svg.find(">200 of 250 profiles drawn (sample)</text>"), std::string::npos);
    EXPECT_NE(svg.find("Panels draw at most 200 member profiles each, evenly spaced in file "
                       "order; the means and the strip use every item."),
              std::string::npos);

    const Table few = Ramp(200);
    const std::string full = RenderClusterPlot(few, Reported(std::vector<double>(200, 0.5)),
                                               std::vector<int>(200, 0), 1, "ramp.csv");
    EXPECT_EQ(Occurrences(full, "<polyline"), 202u);
    EXPECT_EQ(full.find("profiles drawn"), std::string::npos);
    EXPECT_EQ(full.find("Panels draw at most"), std::string::npos);
}

TEST(SvgPlot, ProfileCoordinatesWorkedByHand) {
    // K = 1: one panel 1152 px wide from x = 24, so the plot runs from
    // 24 + 42 = 66 over 1152 - 58 = 1094 px; two dimension slots put the
    // points at 66 + 1094 / 4 = 339.5 and 66 + 3 * 1094 / 4 = 886.5. The
    // plot's top is 76 + 52 = 128 and its height 290 - 52 - 30 = 208; the
    // largest value, 0.8, makes the scale 0..1: 0.6 -> 336 - 124.8 = 211.2,
    // 0.8 -> 336 - 166.4 = 169.6.
    const Table t = MakeTable({{3, 4}, {6, 8}});
    const std::string svg = RenderClusterPlot(t, Reported({0.5, 1.0}), {0, 0}, 1, "two.csv");
    EXPECT_EQ(Occurrences(svg, "<polyline points=\"339.5,211.2 886.5,169.6\"/>"), 4u);
}

TEST(SvgPlot, NamesAreEscapedAndUnmeasuredItemsSaid) {
    const Table t = MakeTable({{1, 2}, {0, 2}, {2, 2}}, {"a&b", "<c>"});
    const std::string svg =
        RenderClusterPlot(t, Reported({0.5, 0.0, 1.0}), {0, 0, 1}, 2, "x<y>.csv");
    EXPECT_NE(svg.find("<title>x&lt;y&gt;.csv: 2 clusters</title>"), std::string::npos);
    EXPECT_NE(svg.find("<title>a&amp;b</title>a&amp;b</text>"), std::string::npos);
    EXPECT_NE(svg.find("<title>&lt;c&gt;</title>&lt;c&gt;</text>"), std::string::npos);
    EXPECT_EQ(svg.find("<c>"), std::string::npos);
    EXPECT_NE(svg.find(">1 cannot be measured, not drawn</text>"), std::string::npos);
    EXPECT_NE(svg.find("cannot be measured: they have no profile and a relative magnitude of 0."),
              std::string::npos);
}

TEST(SvgPlot, EmptyClustersAndSingleDimension) {
    const Table t = MakeTable({{1}, {2}, {0}});
    // Cluster 1 empty, cluster 2 holds only the unmeasurable item.
    const std::string svg =
        RenderClusterPlot(t, Reported({0.5, 1.0, 0.0}), {0, 0, 2}, 3, "one.csv");
    EXPECT_NE(svg.find(">no items</text>"), std::string::npos);
    EXPECT_NE(svg.find(">no member can be measured</text>"), std::string::npos);
    // One dimension: dots, no lines; two members and the mean twice.
    EXPECT_EQ(Occurrences(svg, "<polyline"), 0u);
    EXPECT_EQ(Occurrences(svg, "<circle"), 4u);
}

TEST(SvgPlot, RawValuesAsClusteredWithGapsAndNoStrip) {
    // Values from -3 to 6 round out to -4..6 in steps of 2; the panel's
    // plot runs 208 px down from y = 128, so 6 -> 128, 0 -> 252.8, -3 ->
    // 315.2; x = 66 + 1094 * (d + 0.5) / 3. Item 1's missing middle value
    // leaves two dots.
    const Table t = MakeTable({{1, 2, 6}, {-3, NAN, 0}});
    const std::string svg =
        RenderRawPlot(t, {0, 0}, 1, {-1, 2, 3}, "Euclidean distance, means", "raw.csv");
    EXPECT_NE(svg.find("<title>raw.csv: 1 cluster (raw)</title>"), std::string::npos);
    EXPECT_NE(svg.find(">raw values \xC2\xB7 Euclidean distance, means</text>"), std::string::npos);
    EXPECT_EQ(Occurrences(svg, "<g class=\"lane\""), 0u);
    EXPECT_NE(svg.find(">-4</text>"), std::string::npos);
    EXPECT_NE(svg.find(">6</text>"), std::string::npos);
    EXPECT_NE(svg.find("<circle cx=\"248.3\" cy=\"315.2\" r=\"2.0\"/>"), std::string::npos);
    EXPECT_NE(svg.find("<circle cx=\"977.7\" cy=\"252.8\" r=\"2.0\"/>"), std::string::npos);
    EXPECT_EQ(Occurrences(svg, "<polyline"), 1u + 2u);  // item 0, the centre twice
}

}  // namespace
}  // namespace selvane::host
