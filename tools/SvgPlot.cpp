#include "SvgPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "ClusterProfiles.h"
#include "SvgText.h"

#ifndef SELVANE_VERSION
#error "SELVANE_VERSION must be defined by the build"
#endif

namespace selvane::host {

namespace {

constexpr double kWidth = 1200.0;
constexpr double kMargin = 24.0;
constexpr double kGap = 16.0;
constexpr double kHeaderHeight = 76.0;
constexpr double kNoteLine = 14.0;
// About 4 px per bin across the strip: finer would not be seen.
constexpr std::size_t kStripBins = 280;
constexpr double kStripLabelWidth = 84.0;
// Enough room for a dimension's name under the panel's axis.
constexpr double kMinLabelSpacing = 60.0;

const char kFont[] = "DejaVu Sans, Verdana, Arial, Helvetica, sans-serif";
const char kDot[] = " \xC2\xB7 ";  // " · "

std::string Count(std::size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

std::string Attr(const char* name, double value) {
    return std::string(" ") + name + "=\"" + Fixed(value, 1) + "\"";
}

void Text(std::string& out, double x, double y, const std::string& content,
          const std::string& style) {
    out += "<text" + Attr("x", x) + Attr("y", y) + " " + style + ">" + EscapeXml(content) +
           "</text>\n";
}

void Line(std::string& out, double x1, double y1, double x2, double y2, const std::string& style) {
    out += "<line" + Attr("x1", x1) + Attr("y1", y1) + Attr("x2", x2) + Attr("y2", y2) + " " +
           style + "/>\n";
}

std::size_t Columns(std::size_t clusters) {
    if (clusters <= 3) return std::max<std::size_t>(clusters, 1);
    if (clusters == 4) return 2;
    if (clusters <= 9) return 3;
    if (clusters <= 16) return 4;
    return 5;
}

// What the picture draws of an item: its unit-length profile (the default
// job), or its values as they stand (a raw job), gaps where they are missing.
struct View {
    bool raw = false;
    std::string job;  // raw: the metric and the centres, in words
    void Line(const Table& table, std::size_t item, std::vector<double>& values) const {
        if (!raw) {
            UnitProfile(table, item, values);
            return;
        }
        values.resize(table.dimensionCount);
        for (std::size_t d = 0; d < table.dimensionCount; ++d) {
            values[d] = table.values[d * table.itemCount + item];
        }
    }
};

// Everything the panels share, so that they compare at a glance.
struct PanelScale {
    double width = 0.0;
    double height = 0.0;
    double plotTop = 0.0;  // below the panel's top
    // Profiles run from 0 to 0.25, 0.5, 0.75 or 1 in steps of 0.25; raw
    // values over a range rounded out to whole steps of 1, 2, 2.5 or 5
    // times a power of ten.
    double yMin = 0.0;
    double yMax = 1.0;
    double step = 0.25;
    int decimals = -1;  // of the tick labels; -1: "0", then two decimals
    // Per dimension, the name under the axis (empty where skipped) and in
    // full for the tooltip; a smaller font when 10 px would cut names.
    std::vector<std::string> labels;
    std::vector<std::string> names;
    double labelSize = 10.0;
};

// The smallest and largest value drawn: lowest starts at 0 for profiles.
void ValueRange(const std::vector<ClusterProfile>& clusters, const Table& table, const View& view,
                double& lowest, double& largest) {
    std::vector<double> profile;
    const auto take = [&](double v) {
        if (std::isnan(v)) return;
        lowest = std::min(lowest, v);
        largest = std::max(largest, v);
    };
    for (const ClusterProfile& cluster : clusters) {
        for (double v : cluster.meanProfile) take(v);
        for (std::size_t item : cluster.drawn) {
            view.Line(table, item, profile);
            for (double v : profile) take(v);
        }
    }
}

// A range rounded out to whole steps that read well, four to ten of them.
void RawScale(double lowest, double largest, PanelScale& scale) {
    if (!(lowest <= largest)) lowest = largest = 0.0;  // nothing drawn
    double range = largest - lowest;
    if (!(range > 0.0) || !std::isfinite(range)) {
        range = std::max(1.0, std::fabs(largest) * 0.1);
        if (!std::isfinite(range)) range = largest / 8.0;
        lowest -= range / 2.0;
        largest += range / 2.0;
        range = largest - lowest;
        if (!std::isfinite(range)) range = std::fabs(largest) / 4.0;
    }
    const double rough = range / 5.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double ratio = rough / power;
    const double factor = ratio <= 1.0 ? 1.0 : ratio <= 2.0 ? 2.0 : ratio <= 2.5 ? 2.5 : 5.0;
    scale.step = ratio > 5.0 ? 10.0 * power : factor * power;
    scale.yMin = std::floor(lowest / scale.step) * scale.step;
    scale.yMax = std::ceil(largest / scale.step) * scale.step;
    if (scale.yMax <= scale.yMin) scale.yMax = scale.yMin + scale.step;
    const int digits = static_cast<int>(-std::floor(std::log10(scale.step) + 1e-9));
    scale.decimals = std::min(6, std::max(0, digits + (factor == 2.5 && ratio <= 5.0 ? 1 : 0)));
}

std::string TickLabel(double v, const PanelScale& scale) {
    if (scale.decimals < 0) return v == 0.0 ? "0" : Fixed(v, 2);
    if (std::fabs(v) >= 1e7 || (v != 0.0 && scale.step < 1e-6)) {
        char text[32];
        (void)std::snprintf(text, sizeof text, "%.3g", v);
        return text;
    }
    return Fixed(v, scale.decimals);
}

// The longest start of name (see Shorten) that fits width at fontSize.
std::string Fit(const std::string& name, double width, double fontSize) {
    std::string label = name;
    for (std::size_t chars = name.size(); chars > 1; --chars) {
        if (EstimatedWidth(label, fontSize) <= width) break;
        label = Shorten(name, chars - 1);
    }
    return label;
}

void ChooseDimensionLabels(const Table& table, double plotWidth, PanelScale& scale) {
    const std::size_t dimensions = table.dimensionCount;
    const double spacing = plotWidth / static_cast<double>(dimensions);
    const std::size_t step =
        std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(kMinLabelSpacing / spacing)));
    // A little space between neighbours.
    const double room = spacing * static_cast<double>(step) - 2.0;
    scale.names.resize(dimensions);
    bool fitAt10 = true;
    for (std::size_t d = 0; d < dimensions; ++d) {
        scale.names[d] = table.dimensionNames.empty() ? std::to_string(d + 1)
                                                      : table.dimensionNames[d];
        if (d % step == 0 && EstimatedWidth(scale.names[d], 10.0) > room) fitAt10 = false;
    }
    scale.labelSize = fitAt10 ? 10.0 : 9.0;
    scale.labels.assign(dimensions, std::string());
    for (std::size_t d = 0; d < dimensions; d += step) {
        scale.labels[d] = Fit(scale.names[d], room, scale.labelSize);
    }
}

struct PlotArea {
    double left;
    double top;
    double width;
    double height;
    // The centre of dimension d's slot: every label gets a slot's width.
    double X(std::size_t d, std::size_t dimensions) const {
        return left + width * (static_cast<double>(d) + 0.5) / static_cast<double>(dimensions);
    }
    double Y(double value, const PanelScale& scale) const {
        return top + height - (value - scale.yMin) / (scale.yMax - scale.yMin) * height;
    }
};

// A line through the values, broken where one is missing; a value alone
// between gaps, or the only one, is a dot.
void Profile(std::string& out, const PlotArea& area, const std::vector<double>& values,
             const PanelScale& scale, double radius) {
    const std::size_t dimensions = values.size();
    for (std::size_t start = 0; start < dimensions;) {
        if (std::isnan(values[start])) {
            ++start;
            continue;
        }
        std::size_t end = start + 1;
        while (end < dimensions && !std::isnan(values[end])) ++end;
        if (end - start == 1) {
            out += "<circle" + Attr("cx", area.X(start, dimensions)) +
                   Attr("cy", area.Y(values[start], scale)) + Attr("r", radius) + "/>\n";
        } else {
            out += "<polyline points=\"";
            for (std::size_t d = start; d < end; ++d) {
                if (d > start) out += ' ';
                out += Fixed(area.X(d, dimensions), 1) + "," + Fixed(area.Y(values[d], scale), 1);
            }
            out += "\"/>\n";
        }
        start = end;
    }
}

void Panel(std::string& out, double left, double top, std::size_t number,
           const ClusterProfile& cluster, const Table& table, const PanelScale& scale,
           const View& view) {
    const std::string colour = ClusterColour(number);
    const std::string dark = Darker(colour, 0.62);
    out += "<g class=\"panel\" data-cluster=\"" + std::to_string(number) + "\">\n";
    out += "<rect" + Attr("x", left) + Attr("y", top) + Attr("width", scale.width) +
           Attr("height", scale.height) + " rx=\"6\" fill=\"#fbfbfb\" stroke=\"#d8d8d8\"/>\n";
    Text(out, left + 12, top + 22, "Cluster " + std::to_string(number),
         "font-size=\"15\" font-weight=\"bold\" fill=\"" + dark + "\"");
    Text(out, left + scale.width - 12, top + 22, Count(cluster.size, "item"),
         "font-size=\"12\" fill=\"#333\" text-anchor=\"end\"");
    Text(out, left + 12, top + 40,
         view.raw ? "raw values" + std::string(kDot) + view.job
                  : "mean relative magnitude " + Fixed(cluster.meanMagnitude, 4),
         "font-size=\"11\" fill=\"#444\"");
    double noteY = top + 40 + kNoteLine;
    const std::string noteStyle =
        "class=\"note\" font-size=\"10.5\" font-style=\"italic\" fill=\"#666\"";
    if (cluster.drawn.size() < cluster.measured) {
        Text(out, left + 12, noteY,
             std::to_string(cluster.drawn.size()) + " of " + std::to_string(cluster.measured) +
                 (view.raw ? " members" : " profiles") + " drawn (sample)",
             noteStyle);
        noteY += kNoteLine;
    }
    if (cluster.measured < cluster.size) {
        Text(out, left + 12, noteY,
             std::to_string(cluster.size - cluster.measured) + " cannot be measured, not drawn",
             noteStyle);
    }

    const PlotArea area{left + 42, top + scale.plotTop, scale.width - 42 - 16,
                        scale.height - scale.plotTop - 30};
    const std::size_t dimensions = table.dimensionCount;
    // Grid: value ticks every 0.25, and one line per dimension while they
    // stay apart.
    for (int tick = 0;; ++tick) {
        const double v = scale.yMin + tick * scale.step;
        if (v > scale.yMax + scale.step * 4e-9) break;
        const double y = area.Y(v, scale);
        Line(out, area.left, y, area.left + area.width, y, "stroke=\"#e4e4e4\"");
        Text(out, area.left - 6, y + 3.5, TickLabel(v, scale),
             "font-size=\"10\" fill=\"#777\" text-anchor=\"end\"");
    }
    for (std::size_t d = 0; d < dimensions; ++d) {
        const double x = area.X(d, dimensions);
        if (dimensions <= 40) {
            Line(out, x, area.top, x, area.top + area.height, "stroke=\"#ececec\"");
        }
        if (scale.labels[d].empty()) continue;
        // The title child shows the full name on hover.
        out += "<text" + Attr("x", x) + Attr("y", area.top + area.height + 15) + " font-size=\"" +
               Fixed(scale.labelSize, 0) + "\" fill=\"#555\" text-anchor=\"middle\"><title>" +
               EscapeXml(scale.names[d]) + "</title>" + EscapeXml(scale.labels[d]) + "</text>\n";
    }

    if (cluster.meanProfile.empty()) {
        Text(out, area.left + area.width / 2, area.top + area.height / 2,
             cluster.size == 0 ? "no items" : "no member can be measured",
             "font-size=\"12\" font-style=\"italic\" fill=\"#999\" text-anchor=\"middle\"");
        out += "</g>\n";
        return;
    }

    // Fainter as lines pile up, so that where many run together reads
    // darker than a lone outlier.
    const double opacity =
        std::min(0.6, 3.0 / std::sqrt(static_cast<double>(cluster.drawn.size())));
    // Dots rather than lines when there is one dimension.
    const std::string fill = dimensions > 1 ? "none" : colour;
    out += "<g class=\"members\" fill=\"" + fill + "\" fill-opacity=\"" + Fixed(opacity, 2) +
           "\" stroke=\"" + colour + "\" stroke-opacity=\"" + Fixed(opacity, 2) +
           "\" stroke-width=\"1\" stroke-linejoin=\"round\">\n";
    std::vector<double> profile;
    for (std::size_t item : cluster.drawn) {
        view.Line(table, item, profile);
        Profile(out, area, profile, scale, 2.0);
    }
    out += "</g>\n";
    // A white casing keeps the mean visible on top of its own members.
    out +=
        "<g class=\"mean\" stroke-linejoin=\"round\" stroke-linecap=\"round\">\n"
        "<g stroke=\"#ffffff\" stroke-width=\"6\" fill=\"" +
        (dimensions > 1 ? std::string("none") : "#ffffff") + "\">\n";
    Profile(out, area, cluster.meanProfile, scale, 6.0);
    out += "</g>\n<g stroke=\"" + dark + "\" stroke-width=\"3\" fill=\"" +
           (dimensions > 1 ? std::string("none") : dark) + "\">\n";
    Profile(out, area, cluster.meanProfile, scale, 4.0);
    out += "</g>\n</g>\n</g>\n";
}

// Returns the y below the strip.
double MagnitudeStrip(std::string& out, double top, const std::vector<ClusterProfile>& clusters,
                      const Magnitudes& magnitudes, const std::vector<int>& numbers) {
    const std::size_t k = clusters.size();
    const double laneHeight = k <= 6 ? 22.0 : (k <= 12 ? 16.0 : (k <= 24 ? 12.0 : 8.0));
    const double left = kMargin + kStripLabelWidth;
    const double width = kWidth - kMargin - 12 - left;
    const double binWidth = width / static_cast<double>(kStripBins);

    Text(out, kMargin, top, "Relative magnitude of every item",
         "font-size=\"14\" font-weight=\"bold\" fill=\"#222\"");
    Text(out, kMargin, top + 17,
         "an item's norm divided by the largest norm; one lane per cluster, a mark for every "
         "item (darker where several share a spot), a black tick at the cluster's mean",
         "font-size=\"11\" fill=\"#555\"");
    const double lanesTop = top + 30;
    const double lanesBottom = lanesTop + laneHeight * static_cast<double>(k);

    std::vector<std::vector<std::size_t>> bins(k, std::vector<std::size_t>(kStripBins, 0));
    std::size_t busiest = 1;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const double scaled = std::floor(magnitudes.relative[i] * static_cast<double>(kStripBins));
        const std::size_t bin =
            std::min(kStripBins - 1, static_cast<std::size_t>(std::max(0.0, scaled)));
        std::size_t& count = bins[static_cast<std::size_t>(numbers[i])][bin];
        ++count;
        busiest = std::max(busiest, count);
    }

    out += "<g class=\"strip\">\n";
    for (std::size_t c = 0; c < k; ++c) {
        const double laneTop = lanesTop + laneHeight * static_cast<double>(c);
        if (c % 2 == 0) {
            out += "<rect" + Attr("x", left) + Attr("y", laneTop) + Attr("width", width) +
                   Attr("height", laneHeight) + " fill=\"#f4f4f4\"/>\n";
        }
    }
    for (int tick = 0; tick <= 4; ++tick) {
        const double x = left + width * tick / 4.0;
        Line(out, x, lanesTop, x, lanesBottom + 4, "stroke=\"#d0d0d0\"");
        Text(out, x, lanesBottom + 17, tick == 0 ? "0" : (tick == 4 ? "1" : Fixed(tick / 4.0, 2)),
             "font-size=\"10\" fill=\"#555\" text-anchor=\"middle\"");
    }
    for (std::size_t c = 0; c < k; ++c) {
        const double laneTop = lanesTop + laneHeight * static_cast<double>(c);
        const std::string colour = ClusterColour(c);
        Text(out, kMargin, laneTop + laneHeight / 2 + 4, "cluster " + std::to_string(c),
             "font-size=\"" + std::string(laneHeight < 12 ? "8" : "11") + "\" fill=\"" +
                 Darker(colour, 0.62) + "\"");
        out += "<g class=\"lane\" fill=\"" + colour + "\">\n";
        for (std::size_t b = 0; b < kStripBins; ++b) {
            const std::size_t count = bins[c][b];
            if (count == 0) continue;
            const double opacity =
                0.3 + 0.7 * std::sqrt(static_cast<double>(count) / static_cast<double>(busiest));
            out += "<rect" + Attr("x", left + binWidth * static_cast<double>(b)) +
                   Attr("y", laneTop + 2) + Attr("width", binWidth + 0.4) +
                   Attr("height", laneHeight - 4) + " fill-opacity=\"" + Fixed(opacity, 2) +
                   "\"/>\n";
        }
        out += "</g>\n";
        if (clusters[c].size > 0) {
            const double x = left + width * clusters[c].meanMagnitude;
            Line(out, x, laneTop, x, laneTop + laneHeight, "stroke=\"#111\" stroke-width=\"2\"");
        }
    }
    out += "</g>\n";
    return lanesBottom + 17;
}

std::string Render(const Table& table, const Magnitudes& magnitudes,
                   const std::vector<int>& clusters, const std::vector<ClusterProfile>& profiles,
                   const View& view, const std::string& title) {
    const std::size_t k = profiles.size();
    const std::size_t columns = Columns(k);
    const std::size_t rows = (k + columns - 1) / columns;

    std::size_t noteLines = 0;
    bool sampled = false;
    bool unmeasured = false;
    for (const ClusterProfile& cluster : profiles) {
        const bool drawnFewer = cluster.drawn.size() < cluster.measured;
        const bool someUnmeasured = cluster.measured < cluster.size;
        sampled = sampled || drawnFewer;
        unmeasured = unmeasured || someUnmeasured;
        noteLines =
            std::max<std::size_t>(noteLines, (drawnFewer ? 1 : 0) + (someUnmeasured ? 1 : 0));
    }

    PanelScale scale;
    scale.width = (kWidth - 2 * kMargin - kGap * static_cast<double>(columns - 1)) /
                  static_cast<double>(columns);
    scale.height = columns <= 3 ? 290.0 : 240.0;
    scale.plotTop = 52.0 + kNoteLine * static_cast<double>(noteLines);
    double lowest = view.raw ? HUGE_VAL : 0.0;
    double largest = view.raw ? -HUGE_VAL : 0.0;
    ValueRange(profiles, table, view, lowest, largest);
    if (view.raw) {
        RawScale(lowest, largest, scale);
    } else {
        scale.yMax = std::max(0.25, std::ceil(largest * 4.0 - 1e-9) / 4.0);
    }
    ChooseDimensionLabels(table, scale.width - 42 - 16, scale);

    const double panelsTop = kHeaderHeight;
    const double panelsBottom =
        panelsTop + static_cast<double>(rows) * (scale.height + kGap) - kGap;

    const std::string heading =
        Shorten(title, 80) + ": " + Count(k, "cluster") + (view.raw ? " (raw)" : "");
    std::string body;
    Text(body, kMargin, 34, heading, "font-size=\"20\" font-weight=\"bold\" fill=\"#222\"");
    Text(body, kMargin, 56,
         Count(table.itemCount, "item") + kDot + Count(table.dimensionCount, "dimension") + kDot +
             (view.raw ? "raw engine job: thin lines, the members' values as clustered (gaps "
                         "where missing); thick line, the cluster's centre"
                       : "thin lines: the members' unit-length profiles (values divided by the "
                         "item's norm); thick line: the cluster's mean profile"),
         "font-size=\"12\" fill=\"#555\"");
    for (std::size_t c = 0; c < k; ++c) {
        const double left = kMargin + static_cast<double>(c % columns) * (scale.width + kGap);
        const std::size_t row = c / columns;
        const double top = panelsTop + static_cast<double>(row) * (scale.height + kGap);
        Panel(body, left, top, c, profiles[c], table, scale, view);
    }
    // Relative magnitudes mean nothing to a raw job.
    double y = view.raw ? panelsBottom
                        : MagnitudeStrip(body, panelsBottom + 36, profiles, magnitudes, clusters);

    y += 24;
    if (sampled) {
        Text(body, kMargin, y,
             "Panels draw at most " + std::to_string(kMaxDrawnProfiles) +
                 (view.raw ? " members each, evenly spaced in file order; the centres use "
                             "every item."
                           : " member profiles each, evenly spaced in file order; the means and "
                             "the strip use every item."),
             "class=\"note\" font-size=\"11\" fill=\"#555\"");
        y += 16;
    }
    if (unmeasured) {
        Text(body, kMargin, y,
             "Items with a value that is not a finite number greater than zero cannot be "
             "measured: they have no profile and a relative magnitude of 0.",
             "class=\"note\" font-size=\"11\" fill=\"#555\"");
        y += 16;
    }
    Text(body, kWidth - kMargin, y, std::string("selvane ") + SELVANE_VERSION,
         "font-size=\"10\" fill=\"#999\" text-anchor=\"end\"");
    const double height = std::ceil(y + 14);

    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
        Fixed(kWidth, 0) + "\" height=\"" + Fixed(height, 0) + "\" viewBox=\"0 0 " +
        Fixed(kWidth, 0) + " " + Fixed(height, 0) + "\" font-family=\"" + kFont + "\">\n";
    svg += "<title>" + EscapeXml(title) + ": " + Count(k, "cluster") + (view.raw ? " (raw)" : "") +
           "</title>\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    svg += body;
    svg += "</svg>\n";
    return svg;
}

}  // namespace

std::string RenderClusterPlot(const Table& table, const Magnitudes& magnitudes,
                              const std::vector<int>& clusters, int clusterCount,
                              const std::string& title) {
    return Render(table, magnitudes, clusters,
                  DescribeClusters(table, magnitudes, clusters, clusterCount, kMaxDrawnProfiles),
                  View(), title);
}

std::string RenderRawPlot(const Table& table, const std::vector<int>& clusters, int clusterCount,
                          const std::vector<double>& centres, const std::string& job,
                          const std::string& title) {
    View view;
    view.raw = true;
    view.job = job;
    return Render(table, Magnitudes(), clusters,
                  DescribeRawClusters(table, clusters, clusterCount, centres, kMaxDrawnProfiles),
                  view, title);
}

}  // namespace selvane::host
