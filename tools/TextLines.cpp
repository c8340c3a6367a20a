#include "TextLines.h"

namespace selvane::host {

TextLines::TextLines(const std::string& text) : text_(text) { Restart(); }

void TextLines::Restart() {
    // A byte order mark is an encoding artefact, not part of a cell.
    start_ = text_.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    number_ = 0;
    beforeFirst_ = true;
    comments_ = 0;
}

bool TextLines::Next(TextLine& line) {
    while (start_ < text_.size()) {
        std::size_t end = text_.find('\n', start_);
        if (end == std::string_view::npos) end = text_.size();
        std::string_view text = text_.substr(start_, end - start_);
        start_ = end + 1;
        ++number_;
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        const std::size_t first = text.find_first_not_of(" \t");
        if (first == std::string_view::npos) continue;
        if (beforeFirst_ && text[first] == '#') {
            ++comments_;
            continue;
        }
        beforeFirst_ = false;
        line.number = number_;
        line.text = text;
        return true;
    }
    return false;
}

}  // namespace selvane::host
