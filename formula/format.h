// The display form of a number cell's value. The format a cell asks for
// comes from the document: document/number_format.h.
#pragma once

#include <string>
#include <string_view>

#include "formula/dates.h"
#include "formula/value.h"

namespace tw::formula {

struct NumberFormat {
    int decimals = 2;       // 0 to 9; ignored when floating
    bool floating = false;  // as many significant figures as fit
    bool brackets = false;  // negatives as "(12.50)" rather than "-12.50"
    char thousands = 0;     // ',', '.', ' ' or 0 for none; '.' makes the decimal point ','
    std::string leading;    // shown before the number ("" when off)
    std::string trailing;   // shown after it
    DateStyle dates = DateStyle::Text;
};

// The text of a value in a column `width` characters wide; 0 for no
// limit. A number too wide goes into E notation and, when even that does
// not fit, shows as "%" signs across the column. One character of the
// width is kept free, as a gap before the next column. Strings show as
// they are, dates and times in the format's date style, errors by name,
// an array by its first element, a blank as nothing.
std::string FormatValue(const Value& v, const NumberFormat& fmt, int width = 0);

// The number alone (no leading or trailing characters, no width limit).
std::string FormatNumber(double n, const NumberFormat& fmt);

}  // namespace tw::formula
