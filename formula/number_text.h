// Numbers to text and back without the C library's locale: Qt switches the
// process to the user's locale, where the C library's own conversions would
// read and write "1,5". Every number the program reads or writes goes through here
// (or std::from_chars / std::to_chars directly), so a German desktop shows
// the digits an English one does.
#pragma once

#include <string>
#include <string_view>

namespace tw::formula {

// The value of a decimal number written as digits with an optional sign,
// point and exponent ("-12.5e3"); the caller has checked its shape. Too
// large a value gives an infinity, too small a zero.
double ParseDecimal(std::string_view digits);

// Reads a number that takes the whole of `text` (sign, digits, point,
// exponent; no blanks); false when it does not.
bool ReadWholeNumber(std::string_view text, double& out);

// Fixed, exponent and general forms with the given decimals or figures, as
// the C locale writes them; ExponentText writes the exponent with at least
// two digits and its sign ("1.50e+03").
std::string FixedText(double x, int decimals);
std::string ExponentText(double x, int decimals);
std::string GeneralText(double x, int significant);

// `x` as the nearest value of `figures` significant decimal figures:
// numbers carry 15, so 100.49999999999999 is the 100.5 it stands for.
double ToSignificant(double x, int figures = 15);

// The one decimal rounding rule of the program: `x` to `places` decimals
// (negative places round to tens, hundreds ...), halves away from zero,
// after taking the scaled value to 15 significant figures, so that
// 1.005 rounds to 1.01 as written. round(), string() and every display
// form round with it.
double RoundDecimal(double x, int places);

}  // namespace tw::formula
