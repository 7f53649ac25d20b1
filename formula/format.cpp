#include "formula/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "formula/number_text.h"

namespace tw::formula {

namespace {

// Digits of |n| in fixed notation with `decimals` places, rounded by the
// program's one decimal rule; past 15 figures the digits are as stored.
std::string Fixed(double n, int decimals) {
    double a = std::fabs(n);
    if (a * std::pow(10.0, decimals) < 1e15) a = RoundDecimal(a, decimals);
    return FixedText(a, decimals);
}

// PipeDream's short exponent: "e+04" is written "E4", "e-05" "E-5".
std::string ShortExponent(std::string s) {
    std::size_t e = s.find('e');
    if (e == std::string::npos) return s;
    int power = 0;
    std::string_view digits(s.data() + e + 1, s.size() - e - 1);
    if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
    std::from_chars(digits.data(), digits.data() + digits.size(), power);
    return s.substr(0, e) + "E" + std::to_string(power);
}

// |n| with up to `digits` significant figures, trailing zeros and a bare
// point dropped; fixed notation unless `exponent`.
std::string Significant(double n, int digits, bool exponent) {
    double a = std::fabs(n);
    std::string s;
    if (exponent) {
        s = ExponentText(a, digits > 0 ? digits - 1 : 0);
    } else {
        int magnitude = a == 0.0 ? 0 : static_cast<int>(std::floor(std::log10(a)));
        int decimals = std::clamp(digits - 1 - magnitude, 0, 340);
        s = FixedText(a, decimals);
    }
    std::size_t e = std::min(s.find('e'), s.size());
    std::string mantissa = s.substr(0, e);
    if (mantissa.find('.') != std::string::npos) {
        while (mantissa.back() == '0') mantissa.pop_back();
        if (mantissa.back() == '.') mantissa.pop_back();
    }
    return ShortExponent(mantissa + s.substr(e));
}

// A mantissa with `decimals` places and PipeDream's short exponent.
std::string Exponent(double n, int decimals) { return ShortExponent(ExponentText(std::fabs(n), decimals)); }

// Puts the separator between groups of three integer digits and turns
// the point into a comma where the separator is a point.
std::string Group(std::string digits, char thousands) {
    if (thousands == 0) return digits;
    std::size_t point = digits.find('.');
    std::size_t exp = digits.find('E');
    if (exp != std::string::npos)
        return thousands == '.' && point != std::string::npos ? digits.replace(point, 1, ",") : digits;
    std::string whole = digits.substr(0, point);
    std::string rest = point == std::string::npos ? "" : digits.substr(point);
    if (thousands == '.' && !rest.empty()) rest[0] = ',';
    std::string out;
    int count = 0;
    for (std::size_t i = whole.size(); i-- > 0;) {
        out.insert(out.begin(), whole[i]);
        if (++count % 3 == 0 && i > 0) out.insert(out.begin(), thousands);
    }
    return out + rest;
}

std::string Decorate(const std::string& body, bool negative, const NumberFormat& fmt) {
    std::string inner = fmt.leading + body + fmt.trailing;
    if (!negative) return inner;
    return fmt.brackets ? "(" + inner + ")" : "-" + inner;
}

bool IsZeroText(const std::string& s) {
    for (char c : s)
        if (c >= '1' && c <= '9') return false;
    return true;
}

std::string FitNumber(double n, const NumberFormat& fmt, int room) {
    bool negative = n < 0.0;
    auto finish = [&](const std::string& digits) {
        // A value that rounds to zero shows no sign.
        return Decorate(Group(digits, fmt.thousands), negative && !IsZeroText(digits), fmt);
    };
    auto fits = [&](const std::string& s) { return room <= 0 || static_cast<int>(s.size()) <= room; };
    if (!fmt.floating) {
        std::string s = finish(Fixed(n, fmt.decimals));
        if (fits(s)) return s;
        s = finish(Exponent(n, fmt.decimals));
        if (fits(s)) return s;
        return std::string(static_cast<std::size_t>(room), '%');
    }
    // Floating: the most significant figures that fit, fixed notation
    // while the value's size allows it, else E notation.
    double a = std::fabs(n);
    bool fixed_ok = a == 0.0 || (a >= 1e-4 && a < 1e15);
    for (int digits = 15; digits >= 1; --digits) {
        if (fixed_ok) {
            std::string s = finish(Significant(n, digits, false));
            if (fits(s)) return s;
        }
    }
    for (int digits = 15; digits >= 1; --digits) {
        std::string s = finish(Significant(n, digits, true));
        if (fits(s)) return s;
    }
    return std::string(static_cast<std::size_t>(room), '%');
}

}  // namespace

std::string FormatNumber(double n, const NumberFormat& fmt) {
    NumberFormat bare = fmt;
    bare.leading.clear();
    bare.trailing.clear();
    return FitNumber(n, bare, 0);
}

std::string FormatValue(const Value& v, const NumberFormat& fmt, int width) {
    int room = width > 0 ? width - 1 : 0;
    if (width == 1) room = 1;
    switch (v.type()) {
    case Value::Type::Blank: return {};
    case Value::Type::Number: return FitNumber(v.number(), fmt, room);
    case Value::Type::String: return v.text();
    case Value::Type::Error: return std::string(ErrorName(v.error()));
    case Value::Type::Date: {
        std::string s = FormatDateTime(v.date(), fmt.dates);
        if (room > 0 && static_cast<int>(s.size()) > room) return std::string(static_cast<std::size_t>(room), '%');
        return s;
    }
    case Value::Type::Array: {
        const Array& a = v.array();
        if (a.items.empty()) return {};
        return FormatValue(a.items[0], fmt, width);
    }
    case Value::Type::Reference: return {};
    }
    return {};
}

}  // namespace tw::formula
