// Reading one measurement from the text of a cell.
#ifndef SELVANE_TOOLS_NUMBER_TEXT_H
#define SELVANE_TOOLS_NUMBER_TEXT_H

#include <string>

namespace selvane::host {

enum class NumberStatus {
    kNumber,      // value holds it
    kEmpty,       // nothing but blanks
    kNotNumber,   // text that is no number
    kOutOfRange,  // a number too large for a double
};

// Accepts what strtod accepts in the C locale ("2.5", "1e-3", "inf", "nan"),
// with surrounding blanks, and nothing else in the cell.
NumberStatus ParseNumber(const std::string& text, double& value);

// True for a cell that is neither empty nor number-shaped: what marks a
// header cell or a label.
bool IsText(const std::string& text);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_NUMBER_TEXT_H
