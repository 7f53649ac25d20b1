// String functions. Text is bytes of the document's 8-bit character set.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "formula/functions.h"
#include "formula/number_text.h"

namespace tw::formula {

namespace {

using Args = std::vector<Value>;

// Longest text a string function builds.
constexpr std::size_t kMaxText = 1 << 20;

bool IsLower(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7); }
bool IsUpper(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7); }
char ToUpper(char c) { return IsLower(static_cast<unsigned char>(c)) ? static_cast<char>(c - 32) : c; }
char ToLower(char c) { return IsUpper(static_cast<unsigned char>(c)) ? static_cast<char>(c + 32) : c; }

Value Char(CallContext&, Args& a) {
    long long n;
    Value e;
    if (!GetInteger(a[0], n, e)) return e;
    if (n < 1 || n > 255) return Value::Error(ErrorCode::ParameterOutOfRange);
    return Value::String(std::string(1, static_cast<char>(n)));
}

Value Code(CallContext&, Args& a) {
    std::string s;
    Value e;
    if (!GetString(a[0], s, e)) return e;
    if (s.empty()) return Value::Number(0);
    return Value::Number(static_cast<unsigned char>(s[0]));
}

Value Exact(CallContext&, Args& a) {
    std::string x, y;
    Value e;
    if (!GetString(a[0], x, e) || !GetString(a[1], y, e)) return e;
    return Value::Bool(x == y);
}

Value Find(CallContext&, Args& a) {
    std::string what, in;
    Value e;
    if (!GetString(a[0], what, e) || !GetString(a[1], in, e)) return e;
    long long start = 1;
    if (a.size() > 2 && !GetInteger(a[2], start, e)) return e;
    if (start < 1) return Value::Error(ErrorCode::ParameterOutOfRange);
    if (static_cast<std::size_t>(start - 1) > in.size()) return Value::Number(0);
    std::size_t p = in.find(what, static_cast<std::size_t>(start - 1));
    return Value::Number(p == std::string::npos ? 0.0 : static_cast<double>(p + 1));
}

Value FormulaTextOf(CallContext& ctx, Args& a) {
    if (!a[0].IsReference()) return a[0].IsError() ? a[0] : Value::Error(ErrorCode::ParameterOutOfRange);
    CellRange r = a[0].reference();
    return Value::String(ctx.FormulaText(r.c1, r.r1));
}

// A number as text: whole numbers without a point, others to 15 figures.
std::string NumberText(double x) { return GeneralText(x, 15); }

Value Join(CallContext&, Args& a) {
    std::string out;
    for (const Value& v : a) {
        std::string s;
        Value e;
        if (v.IsNumber()) s = NumberText(v.number());
        else if (!GetString(v, s, e)) return e;
        out += s;
        if (out.size() > kMaxText) return Value::Error(ErrorCode::OutOfRange);
    }
    return Value::String(out);
}

bool Count(const Value& v, long long& n, Value& e) {
    if (!GetInteger(v, n, e)) return false;
    if (n < 0) {
        e = Value::Error(ErrorCode::ParameterOutOfRange);
        return false;
    }
    return true;
}

Value Left(CallContext&, Args& a) {
    std::string s;
    long long n = 1;
    Value e;
    if (!GetString(a[0], s, e)) return e;
    if (a.size() > 1 && !Count(a[1], n, e)) return e;
    return Value::String(
        s.substr(0, static_cast<std::size_t>(std::min<long long>(n, static_cast<long long>(s.size())))));
}

Value Right(CallContext&, Args& a) {
    std::string s;
    long long n = 1;
    Value e;
    if (!GetString(a[0], s, e)) return e;
    if (a.size() > 1 && !Count(a[1], n, e)) return e;
    std::size_t k = static_cast<std::size_t>(std::min<long long>(n, static_cast<long long>(s.size())));
    return Value::String(s.substr(s.size() - k));
}

Value Mid(CallContext&, Args& a) {
    std::string s;
    long long start, n;
    Value e;
    if (!GetString(a[0], s, e) || !GetInteger(a[1], start, e) || !Count(a[2], n, e)) return e;
    if (start < 1) return Value::Error(ErrorCode::ParameterOutOfRange);
    if (static_cast<std::size_t>(start - 1) >= s.size()) return Value::String("");
    return Value::String(s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n)));
}

Value Length(CallContext&, Args& a) {
    std::string s;
    Value e;
    if (!GetString(a[0], s, e)) return e;
    return Value::Number(static_cast<double>(s.size()));
}

Value Lower(CallContext&, Args& a) {
    std::string s;
    Value e;
    if (!GetString(a[0], s, e)) return e;
    std::transform(s.begin(), s.end(), s.begin(), ToLower);
    return Value::String(s);
}

Value Upper(CallContext&, Args& a) {
    std::string s;
    Value e;
    if (!GetString(a[0], s, e)) return e;
    std::transform(s.begin(), s.end(), s.begin(), ToUpper);
    return Value::String(s);
}

Value Proper(CallContext&, Args& a) {
    std::string s;
    Value e;
    if (!GetString(a[0], s, e)) return e;
    bool start = true;
    for (char& c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        bool letter = IsLower(u) || IsUpper(u);
        if (letter && start) c = ToUpper(c);
        start = !(letter || (c >= '0' && c <= '9') || c == '\'');
    }
    return Value::String(s);
}

Value Replace(CallContext&, Args& a) {
    std::string s, with;
    long long start, n;
    Value e;
    if (!GetString(a[0], s, e) || !GetInteger(a[1], start, e) || !Count(a[2], n, e) || !GetString(a[3], with, e))
        return e;
    if (start < 1) return Value::Error(ErrorCode::ParameterOutOfRange);
    std::size_t p = std::min(static_cast<std::size_t>(start - 1), s.size());
    std::size_t k = std::min(static_cast<std::size_t>(n), s.size() - p);
    s.replace(p, k, with);
    return Value::String(s);
}

Value Rept(CallContext&, Args& a) {
    std::string s;
    long long n;
    Value e;
    if (!GetString(a[0], s, e) || !Count(a[1], n, e)) return e;
    if (static_cast<double>(n) * static_cast<double>(s.size()) > kMaxText) return Value::Error(ErrorCode::OutOfRange);
    std::string out;
    if (s.size() == 1) {
        out.assign(static_cast<std::size_t>(n), s[0]);
    } else {
        out.reserve(static_cast<std::size_t>(n) * s.size());
        for (long long i = 0; i < n; ++i) out += s;
    }
    return Value::String(std::move(out));
}

Value Reverse(CallContext&, Args& a) {
    std::string s;
    Value e;
    if (!GetString(a[0], s, e)) return e;
    std::reverse(s.begin(), s.end());
    return Value::String(s);
}

Value StringOf(CallContext&, Args& a) {
    double x, d = 2;
    Value e;
    if (!GetNumber(a[0], x, e)) return e;
    if (a.size() > 1 && !GetNumber(a[1], d, e)) return e;
    int places = static_cast<int>(std::clamp(std::trunc(d), -15.0, 15.0));
    std::string s = FixedText(RoundDecimal(x, places), std::max(places, 0));
    if (s == "-0" || s.rfind("-0.", 0) == 0) {
        bool zero = s.find_first_not_of("-0.") == std::string::npos;
        if (zero) s.erase(0, 1);
    }
    return Value::String(s);
}

Value Trim(CallContext&, Args& a) {
    std::string s;
    Value e;
    if (!GetString(a[0], s, e)) return e;
    std::string out;
    bool space = false;
    for (char c : s) {
        if (c == ' ') {
            space = true;
            continue;
        }
        if (space && !out.empty()) out += ' ';
        space = false;
        out += c;
    }
    return Value::String(out);
}

// The number a whole text spells, blanks around it allowed; 0 otherwise.
Value ValueOf(CallContext&, Args& a) {
    if (a[0].IsNumber()) return a[0];
    std::string s;
    Value e;
    if (!GetString(a[0], s, e)) return e;
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return Value::Number(0);
    std::size_t end = s.find_last_not_of(' ');
    double n;
    if (!ReadWholeNumber(std::string_view(s).substr(b, end - b + 1), n)) return Value::Number(0);
    return NumberResult(n);
}

const FunctionSpec kString[] = {
    {"char", 1, 1, Char},
    {"code", 1, 1, Code},
    {"exact", 2, 2, Exact},
    {"find", 2, 3, Find},
    {"formula_text", 1, 1, FormulaTextOf, 0, Arg(0)},
    {"join", 1, -1, Join},
    {"left", 1, 2, Left},
    {"length", 1, 1, Length},
    {"lower", 1, 1, Lower},
    {"mid", 3, 3, Mid},
    {"proper", 1, 1, Proper},
    {"replace", 4, 4, Replace},
    {"rept", 2, 2, Rept},
    {"reverse", 1, 1, Reverse},
    {"right", 1, 2, Right},
    {"string", 1, 2, StringOf},
    {"trim", 1, 1, Trim},
    {"upper", 1, 1, Upper},
    {"value", 1, 1, ValueOf},
};

}  // namespace

std::span<const FunctionSpec> StringFunctions() { return kString; }

}  // namespace tw::formula
