#include "SvgText.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace selvane::host {

namespace {

const char* const kPalette[] = {
    "#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b", "#e377c2",
    "#7f7f7f", "#bcbd22", "#17becf", "#393b79", "#e7ba52", "#637939", "#ad494a",
    "#a55194", "#6b6ecf", "#8ca252", "#843c39", "#d6616b", "#7b4173",
};
constexpr std::size_t kPaletteSize = sizeof kPalette / sizeof kPalette[0];

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
const char kEllipsis[] = "\xE2\x80\xA6";     // U+2026

// Length of the well-formed UTF-8 sequence at text[i], or 0.
std::size_t SequenceLength(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return length;
}

std::string Hex(int red, int green, int blue) {
    char text[8];
    (void)std::snprintf(text, sizeof text, "#%02x%02x%02x", red, green, blue);
    return text;
}

int Channel(double value) {
    const long rounded = std::lround(value * 255.0);
    return static_cast<int>(rounded < 0 ? 0 : (rounded > 255 ? 255 : rounded));
}

// hue in degrees; saturation and lightness 0..1.
std::string FromHsl(double hue, double saturation, double lightness) {
    const double chroma = (1.0 - std::fabs(2.0 * lightness - 1.0)) * saturation;
    const double sector = hue / 60.0;
    const double x = chroma * (1.0 - std::fabs(std::fmod(sector, 2.0) - 1.0));
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    switch (static_cast<int>(sector) % 6) {
        case 0:
            r = chroma;
            g = x;
            break;
        case 1:
            r = x;
            g = chroma;
            break;
        case 2:
            g = chroma;
            b = x;
            break;
        case 3:
            g = x;
            b = chroma;
            break;
        case 4:
            r = x;
            b = chroma;
            break;
        default:
            r = chroma;
            b = x;
            break;
    }
    const double m = lightness - chroma / 2.0;
    return Hex(Channel(r + m), Channel(g + m), Channel(b + m));
}

}  // namespace

std::string EscapeXml(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = SequenceLength(text, i);
        if (length == 0) {
            escaped += kReplacement;
            ++i;
            continue;
        }
        if (length > 1) {
            escaped.append(text, i, length);
            i += length;
            continue;
        }
        const char c = text[i++];
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            case '\'': escaped += "&apos;"; break;
            default:
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') escaped += c;
                break;
        }
    }
    return escaped;
}

std::string Shorten(const std::string& text, std::size_t maxChars) {
    std::vector<std::size_t> starts;  // byte offset of each character
    for (std::size_t i = 0; i < text.size();) {
        starts.push_back(i);
        const std::size_t length = SequenceLength(text, i);
        i += length == 0 ? 1 : length;
    }
    if (starts.size() <= maxChars) return text;
    if (maxChars == 0) return std::string();
    // A trailing number usually tells similar names apart
    // (measurement_9, measurement_10): it survives the cut.
    std::size_t digits = 0;
    while (digits < 4 && digits < text.size() &&
           std::isdigit(static_cast<unsigned char>(text[text.size() - 1 - digits])) != 0) {
        ++digits;
    }
    if (digits == 0 || maxChars < digits + 3) digits = 0;
    const std::size_t head = maxChars - 1 - digits;
    return text.substr(0, starts[head]) + kEllipsis + text.substr(text.size() - digits);
}

double EstimatedWidth(const std::string& text, double fontSize) {
    // Advances in em of DejaVu Sans for printable ASCII, from space (32)
    // to tilde (126).
    static const double kAdvance[95] = {
        0.318, 0.401, 0.460, 0.838, 0.636, 0.950, 0.780, 0.275, 0.390, 0.390,  //  !"#$%&'()
        0.500, 0.838, 0.318, 0.361, 0.318, 0.337, 0.636, 0.636, 0.636, 0.636,  // *+,-./0123
        0.636, 0.636, 0.636, 0.636, 0.636, 0.636, 0.337, 0.337, 0.838, 0.838,  // 456789:;<=
        0.838, 0.531, 1.000, 0.684, 0.686, 0.698, 0.770, 0.632, 0.575, 0.775,  // >?@ABCDEFG
        0.752, 0.295, 0.295, 0.656, 0.557, 0.863, 0.748, 0.787, 0.603, 0.787,  // HIJKLMNOPQ
        0.695, 0.635, 0.611, 0.732, 0.684, 0.989, 0.685, 0.611, 0.685, 0.390,  // RSTUVWXYZ[
        0.337, 0.390, 0.838, 0.500, 0.500, 0.613, 0.635, 0.550, 0.635, 0.615,  // \]^_`abcde
        0.352, 0.635, 0.634, 0.278, 0.278, 0.579, 0.278, 0.974, 0.634, 0.612,  // fghijklmno
        0.635, 0.635, 0.411, 0.521, 0.392, 0.634, 0.592, 0.818, 0.592, 0.592,  // pqrstuvwxy
        0.525, 0.636, 0.337, 0.636, 0.838,                                     // z{|}~
    };
    double ems = 0.0;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t length = SequenceLength(text, i);
        i += length == 0 ? 1 : length;
        ems += (c >= 32 && c <= 126) ? kAdvance[c - 32] : 1.0;
    }
    return ems * fontSize;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    (void)std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string result = text;
    // snprintf follows LC_NUMERIC; the host never changes it, but a
    // comma would break every coordinate list.
    for (char& c : result) {
        if (c == ',') c = '.';
    }
    if (result[0] == '-' && std::strtod(result.c_str(), nullptr) == 0.0) result.erase(0, 1);
    return result;
}

std::string ClusterColour(std::size_t cluster) {
    if (cluster < kPaletteSize) return kPalette[cluster];
    // 137.5 degrees apart, lightness alternating, so that neighbours differ.
    const double hue = std::fmod(static_cast<double>(cluster) * 137.508, 360.0);
    return FromHsl(hue, 0.6, cluster % 2 == 0 ? 0.42 : 0.55);
}

std::string Darker(const std::string& colour, double factor) {
    const long value = std::strtol(colour.c_str() + 1, nullptr, 16);
    const auto scaled = [&](long channel) {
        return Channel(static_cast<double>(channel) / 255.0 * factor);
    };
    return Hex(scaled((value >> 16) & 0xFF), scaled((value >> 8) & 0xFF), scaled(value & 0xFF));
}

}  // namespace selvane::host
