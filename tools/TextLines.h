// The lines of a file's text that hold cells, read one at a time so that
// the text is never copied whole.
#ifndef SELVANE_TOOLS_TEXT_LINES_H
#define SELVANE_TOOLS_TEXT_LINES_H

#include <cstddef>
#include <string>
#include <string_view>

namespace selvane::host {

struct TextLine {
    std::size_t number = 0;  // 1-based, counting every line of the text
    std::string_view text;   // without its line end; valid while the text lives
};

// Passes over a UTF-8 byte order mark, the "\r" of "\r\n" line ends, blank
// lines (nothing but spaces and tabs) and the comment lines at the top: those
// whose first character other than a blank is '#', before the first line
// that holds cells.
class TextLines {
public:
    explicit TextLines(const std::string& text);

    // The next line, or false at the end of the text.
    bool Next(TextLine& line);
    // Back to the first line.
    void Restart();
    // Comment lines passed over at the top.
    std::size_t CommentLines() const { return comments_; }

private:
    std::string_view text_;
    std::size_t start_;
    std::size_t number_;
    bool beforeFirst_;
    std::size_t comments_;
};

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_TEXT_LINES_H
