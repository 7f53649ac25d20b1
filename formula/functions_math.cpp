// Mathematical functions.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "formula/functions.h"
#include "formula/number_text.h"

namespace tw::formula {

namespace {

using Args = std::vector<Value>;

Value Abs(CallContext&, Args& a) {
    double x;
    Value e;
    if (!GetNumber(a[0], x, e)) return e;
    return NumberResult(std::fabs(x));
}

Value Sgn(CallContext&, Args& a) {
    double x;
    Value e;
    if (!GetNumber(a[0], x, e)) return e;
    return Value::Number(x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0));
}

Value Exp(CallContext&, Args& a) {
    double x;
    Value e;
    if (!GetNumber(a[0], x, e)) return e;
    return NumberResult(std::exp(x));
}

Value Int(CallContext&, Args& a) {
    double x;
    Value e;
    if (!GetNumber(a[0], x, e)) return e;
    return NumberResult(std::trunc(x));  // towards zero
}

Value Ln(CallContext&, Args& a) {
    double x;
    Value e;
    if (!GetNumber(a[0], x, e)) return e;
    if (x <= 0) return Value::Error(ErrorCode::BadLogarithm);
    return NumberResult(std::log(x));
}

Value Log(CallContext&, Args& a) {
    double x, b = 10.0;
    Value e;
    if (!GetNumber(a[0], x, e)) return e;
    if (a.size() > 1 && !GetNumber(a[1], b, e)) return e;
    if (x <= 0 || b <= 0 || b == 1.0) return Value::Error(ErrorCode::BadLogarithm);
    if (b == 10.0) return NumberResult(std::log10(x));
    return NumberResult(std::log(x) / std::log(b));
}

Value Sqr(CallContext&, Args& a) {
    double x;
    Value e;
    if (!GetNumber(a[0], x, e)) return e;
    if (x < 0) return Value::Error(ErrorCode::NegativeRoot);
    return NumberResult(std::sqrt(x));
}

// Truncated division: the remainder takes the dividend's sign.
Value Mod(CallContext&, Args& a) {
    double n, d;
    Value e;
    if (!GetNumber(a[0], n, e) || !GetNumber(a[1], d, e)) return e;
    if (d == 0) return Value::Error(ErrorCode::DivideByZero);
    return NumberResult(std::fmod(n, d));
}

Value Round(CallContext&, Args& a) {
    double x, p = 0;
    Value e;
    if (!GetNumber(a[0], x, e)) return e;
    if (a.size() > 1 && !GetNumber(a[1], p, e)) return e;
    if (p < -308 || p > 308) return NumberResult(p > 0 ? x : 0.0);
    return NumberResult(RoundDecimal(x, static_cast<int>(std::clamp(std::trunc(p), -400.0, 400.0))));
}

Value CeilingFloor(Args& a, bool ceiling) {
    double x, m = 1.0;
    Value e;
    if (!GetNumber(a[0], x, e)) return e;
    if (a.size() > 1 && !a[1].IsBlank() && !GetNumber(a[1], m, e)) return e;
    if (m == 0) return Value::Number(0);
    if (x > 0 && m < 0) return Value::Error(ErrorCode::ParameterOutOfRange);
    // With both negative the quotient is positive, so ceil moves away from
    // zero and floor towards it, as the two functions ask.
    double q = ToSignificant(x / m);
    return NumberResult((ceiling ? std::ceil(q) : std::floor(q)) * m);
}
Value Ceiling(CallContext&, Args& a) { return CeilingFloor(a, true); }
Value Floor(CallContext&, Args& a) { return CeilingFloor(a, false); }

double LogFactorial(double n) { return std::lgamma(n + 1.0); }

Value Fact(CallContext&, Args& a) {
    double n;
    Value e;
    if (!GetNumber(a[0], n, e)) return e;
    if (n < 0 || n != std::trunc(n)) return Value::Error(ErrorCode::ParameterOutOfRange);
    if (n <= 20) {
        double r = 1;
        for (int i = 2; i <= static_cast<int>(n); ++i) r *= i;
        return Value::Number(r);
    }
    return NumberResult(std::exp(LogFactorial(n)));
}

Value Sum(CallContext& ctx, Args& a) {
    ListItems items;
    Value e = CollectList(ctx, a, items);
    if (e.IsError()) return e;
    double s = 0;
    for (double x : items.numbers) s += x;
    return NumberResult(s);
}

Value SeriesSum(CallContext&, Args& a) {
    double x, n, m;
    Value e;
    if (!GetNumber(a[0], x, e) || !GetNumber(a[1], n, e) || !GetNumber(a[2], m, e)) return e;
    ListItems items;
    e = CollectList({a[3]}, items);
    if (e.IsError()) return e;
    if (!items.dates.empty() || items.strings) return Value::Error(ErrorCode::StringNotExpected);
    double s = 0, power = n;
    for (double c : items.numbers) {
        s += c * std::pow(x, power);
        power += m;
    }
    return NumberResult(s);
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

Value Base(CallContext&, Args& a) {
    double x, radix, minlen = 0;
    Value e;
    if (!GetNumber(a[0], x, e) || !GetNumber(a[1], radix, e)) return e;
    if (a.size() > 2 && !GetNumber(a[2], minlen, e)) return e;
    radix = std::trunc(radix);
    if (radix < 2 || radix > 36 || x < 0 || x >= 9007199254740992.0 || minlen < 0 || minlen > 255)
        return Value::Error(ErrorCode::ParameterOutOfRange);
    auto v = static_cast<unsigned long long>(std::trunc(x));
    auto r = static_cast<unsigned long long>(radix);
    std::string out;
    do {
        int d = static_cast<int>(v % r);
        out.insert(out.begin(), static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10));
        v /= r;
    } while (v);
    while (out.size() < static_cast<std::size_t>(minlen)) out.insert(out.begin(), '0');
    return Value::String(out);
}

void TrimSpaces(std::string& s) {
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    while (!s.empty() && s.back() == ' ') s.pop_back();
}

bool EndsWithEither(const std::string& s, char lower, char upper) {
    return !s.empty() && (s.back() == lower || s.back() == upper);
}

// Takes off the marks of the base that may come with the digits: 0x...
// or ...h in hexadecimal, ...b in binary.
void DropRadixMark(std::string& s, int r) {
    if (r == 16 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.erase(0, 2);
    else if (r == 16 && EndsWithEither(s, 'h', 'H')) s.pop_back();
    else if (r == 2 && EndsWithEither(s, 'b', 'B')) s.pop_back();
}

// The number the digits s write in base r.
Value DigitsValue(const std::string& s, int r) {
    if (s.empty()) return Value::Error(ErrorCode::ParameterOutOfRange);
    double v = 0;
    for (char c : s) {
        int d = DigitValue(c);
        if (d >= r) return Value::Error(ErrorCode::ParameterOutOfRange);
        v = v * r + d;
    }
    return NumberResult(v);
}

Value Decimal(CallContext&, Args& a) {
    double radix;
    Value e;
    if (!GetNumber(a[1], radix, e)) return e;
    radix = std::trunc(radix);
    if (radix < 2 || radix > 36) return Value::Error(ErrorCode::ParameterOutOfRange);
    std::string s;
    if (a[0].IsNumber()) {
        s = FixedText(std::trunc(a[0].number()), 0);
    } else if (!GetString(a[0], s, e)) {
        return e;
    }
    TrimSpaces(s);
    int r = static_cast<int>(radix);
    DropRadixMark(s, r);
    return DigitsValue(s, r);
}

const FunctionSpec kMath[] = {
    {"abs", 1, 1, Abs},
    {"base", 2, 3, Base},
    {"ceiling", 1, 2, Ceiling},
    {"decimal", 2, 2, Decimal},
    {"exp", 1, 1, Exp},
    {"fact", 1, 1, Fact},
    {"floor", 1, 2, Floor},
    {"int", 1, 1, Int},
    {"ln", 1, 1, Ln},
    {"log", 1, 2, Log},
    {"mod", 2, 2, Mod},
    {"round", 1, 2, Round},
    {"seriessum", 4, 4, SeriesSum, Arg(3)},
    {"sgn", 1, 1, Sgn},
    {"sqr", 1, 1, Sqr},
    {"sum", 1, -1, Sum, kAllArgs, kAllArgs},
};

}  // namespace

std::span<const FunctionSpec> MathFunctions() { return kMath; }

}  // namespace tw::formula
