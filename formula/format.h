// The display form of a number cell's value.
#pragma once

#include <string>
#include <string_view>

#include "document/constructs.h"
#include "document/model.h"
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

// The separator a TH option value asks for: "0" none, "1" a comma, "2" a
// full stop (the decimal point then a comma), "3" a space, or the
// character itself; 0 for none.
char ThousandsSeparator(std::string_view th);

// The document's default format: DP (a number or "F"), MB ("B" brackets),
// TH, DF; no leading or trailing characters.
NumberFormat DocumentNumberFormat(const DocumentModel& doc);

// A cell's format: its own %Dn% %DF% %B% over the default, and with
// %LC% and %TC% the document's LP and TP characters.
NumberFormat CellNumberFormat(const DocumentModel& doc, const CellConstructs& cell);
NumberFormat CellNumberFormat(const NumberFormat& defaults, const DocumentModel& doc, const CellConstructs& cell);

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
