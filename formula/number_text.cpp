#include "formula/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tw::formula {

namespace {

std::string Chars(double x, std::chars_format form, int precision) {
    // 400 holds the longest fixed form of a double with 17 decimals.
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x, form, precision);
    if (ec != std::errc()) return {};
    return std::string(buf, end);
}

}  // namespace

double ParseDecimal(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    double v = 0.0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Past the range of a double: an infinity, or a zero when the
        // exponent is what makes the number vanish.
        std::size_t e = s.find_first_of("eE");
        bool tiny = e != std::string_view::npos && e + 1 < s.size() && s[e + 1] == '-';
        v = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (ec != std::errc()) {
        v = 0.0;
    }
    (void)end;
    return negative ? -v : v;
}

namespace {

bool IsDigitAt(std::string_view t, std::size_t i) { return i < t.size() && t[i] >= '0' && t[i] <= '9'; }

bool IsEitherAt(std::string_view t, std::size_t i, char a, char b) { return i < t.size() && (t[i] == a || t[i] == b); }

// Moves i past the digits there; true when there was one.
bool SkipDigits(std::string_view t, std::size_t& i) {
    bool any = false;
    while (IsDigitAt(t, i)) ++i, any = true;
    return any;
}

// Moves i past a sign, digits, a point and digits; true when there was a
// digit.
bool SkipMantissa(std::string_view t, std::size_t& i) {
    if (IsEitherAt(t, i, '+', '-')) ++i;
    bool digits = SkipDigits(t, i);
    if (i < t.size() && t[i] == '.') {
        ++i;
        if (SkipDigits(t, i)) digits = true;
    }
    return digits;
}

// Moves i past an exponent (e, a sign, digits) when there is one; false
// when an "e" has no digits.
bool SkipExponent(std::string_view t, std::size_t& i) {
    if (!IsEitherAt(t, i, 'e', 'E')) return true;
    std::size_t j = i + 1;
    if (IsEitherAt(t, j, '+', '-')) ++j;
    if (!SkipDigits(t, j)) return false;
    i = j;
    return true;
}

}  // namespace

bool ReadWholeNumber(std::string_view t, double& out) {
    std::size_t i = 0;
    if (!SkipMantissa(t, i) || !SkipExponent(t, i) || i != t.size()) return false;
    out = ParseDecimal(t);
    return true;
}

std::string FixedText(double x, int decimals) { return Chars(x, std::chars_format::fixed, decimals); }

std::string ExponentText(double x, int decimals) { return Chars(x, std::chars_format::scientific, decimals); }

std::string GeneralText(double x, int significant) { return Chars(x, std::chars_format::general, significant); }

double ToSignificant(double x, int figures) {
    if (!std::isfinite(x) || x == 0.0) return x;
    return ParseDecimal(GeneralText(x, figures));
}

double RoundDecimal(double x, int places) {
    if (!std::isfinite(x) || places > 15) return x;
    // Powers of ten up to 10^15 are exact, so the scale itself adds no error.
    double scale = std::pow(10.0, std::abs(places));
    if (!std::isfinite(scale)) return 0.0;
    double y = places >= 0 ? x * scale : x / scale;
    if (!std::isfinite(y)) return x;
    double r = std::round(ToSignificant(y));
    return places >= 0 ? r / scale : r * scale;
}

}  // namespace tw::formula
