// Text to number the way the document formats and settings expect it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

// The numeric value of the longest leading part of `text` that forms a
// number. Blanks, tabs and line feeds are skipped wherever they stand; a
// sign, digits, a decimal point and an exponent ("E" or "D") are read, and
// a leading "&H" or "&O" reads hexadecimal or octal. Nothing read gives 0.
double Val(std::string_view text);

// True when the whole of `text` (surrounding blanks aside) is a number.
bool IsNumeric(std::string_view text);

// Rounds to the nearest integer, halves to the even neighbour; a result
// outside the 16-bit range throws VbError 6 (Overflow).
std::int16_t CInt(double value);

// Rounds halves to even without a range check.
double RoundHalfEven(double value);

// Rounds halves away from zero (the whole-number format of the RTF sizes).
long long RoundHalfAway(double value);

// A number in general format: whole values without a decimal point,
// fractions with as many digits as they need ("14", "10.5", "-3").
std::string FormatGeneral(double value);

// The same for a single-precision value (7 significant digits).
std::string FormatSingle(float value);

}  // namespace tw
