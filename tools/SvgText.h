// Small pieces of SVG text: escaped strings, numbers, cluster colours.
#ifndef SELVANE_TOOLS_SVG_TEXT_H
#define SELVANE_TOOLS_SVG_TEXT_H

#include <cstddef>
#include <string>

namespace selvane::host {

// Text made safe for XML content and attribute values. Bytes that are not
// well-formed UTF-8 (a Latin-1 label, say) become U+FFFD and control
// characters XML forbids are dropped, so that any input file gives a
// picture that parses.
std::string EscapeXml(const std::string& text);

// At most maxChars characters (code points) of text: when it is longer,
// its start, "…", and its trailing digits (up to 4) when there is room for
// them and two more characters. Bytes that are not UTF-8 count as one
// character each (EscapeXml replaces them later).
std::string Shorten(const std::string& text, std::size_t maxChars);

// The width text takes at fontSize pixels in DejaVu Sans, the widest of
// the faces the picture names; characters it does not know count as wide.
double EstimatedWidth(const std::string& text, double fontSize);

// value with the given number of decimals, always with a '.' and never
// "-0", whatever the process's locale.
std::string Fixed(double value, int decimals);

// "#rrggbb": 20 well-separated colours, then hues spaced by the golden
// angle for larger cluster numbers.
std::string ClusterColour(std::size_t cluster);

// A "#rrggbb" colour with every channel scaled by factor (0..1).
std::string Darker(const std::string& colour, double factor);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_SVG_TEXT_H
