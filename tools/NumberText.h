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

// What a cell of the value columns holds.
enum class CellValue {
    kNumber,   // a finite number
    kMissing,  // empty, NA, NaN, an infinity, or beyond the range of a double
    kText,     // anything else
};

// Reads a value cell; value is the number, or NaN when it is missing. With
// decimalComma, one comma stands for the decimal point ("1,5").
CellValue ReadValue(const std::string& text, bool decimalComma, double& value);

// True for "1,5" and the like: a number once its one comma is a point.
bool HasDecimalComma(const std::string& text);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_NUMBER_TEXT_H
