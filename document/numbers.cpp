#include "document/numbers.h"

#include <cmath>

#include "formula/number_text.h"
#include "platform/errors.h"

namespace tw {

namespace {

bool Skippable(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// A cursor over the text that skips the ignorable characters.
struct Scan {
    std::string_view s;
    std::size_t i = 0;
    void Skip() {
        while (i < s.size() && Skippable(s[i])) ++i;
    }
    int Peek() {
        Skip();
        return i < s.size() ? static_cast<unsigned char>(s[i]) : -1;
    }
    void Take() { ++i; }
};

int DigitValue(int c, int radix) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    return v >= 0 && v < radix ? v : -1;
}

// Reads "&H..." or "&O..." after the "&" and the letter; values of up to
// four hex digits (six octal) are 16-bit, up to eight (eleven) 32-bit, as
// the format's integers are.
double ReadRadix(Scan& sc, int radix) {
    unsigned long long v = 0;
    int digits = 0;
    int d;
    while ((d = DigitValue(sc.Peek(), radix)) >= 0) {
        sc.Take();
        if (digits < 24) v = v * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
        ++digits;
    }
    if (v <= 0xFFFF && (radix == 16 ? digits <= 4 : v <= 0177777)) {
        return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(v)));
    }
    if (v <= 0xFFFFFFFFULL) {
        return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
    }
    throw VbError(kErrOverflow);
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// Appends a "+" or "-" at the cursor.
void TakeSign(Scan& sc, std::string& out) {
    int c = sc.Peek();
    if (c == '+' || c == '-') {
        out.push_back(static_cast<char>(c));
        sc.Take();
    }
}

// Appends the digits at the cursor; true when there was one.
bool TakeDigits(Scan& sc, std::string& out) {
    bool any = false;
    int c;
    while (IsDigit(c = sc.Peek())) {
        out.push_back(static_cast<char>(c));
        sc.Take();
        any = true;
    }
    return any;
}

// Appends the sign, digits and decimal point of the mantissa; true when
// it has a digit.
bool TakeMantissa(Scan& sc, std::string& digits) {
    TakeSign(sc, digits);
    bool mant = TakeDigits(sc, digits);
    if (sc.Peek() == '.') {
        digits.push_back('.');
        sc.Take();
        if (TakeDigits(sc, digits)) mant = true;
    }
    return mant;
}

// Appends the digits of an exponent; true when there was one. The whole
// exponent counts: leading zeros add nothing, and one too long to hold
// saturates (the value overflows or vanishes).
bool TakeExponentDigits(Scan& sc, std::string& exp) {
    bool any = false;
    int significant = 0;
    int c;
    while (IsDigit(c = sc.Peek())) {
        if (c != '0' || significant > 0) {
            if (significant < 9) exp.push_back(static_cast<char>(c));
            ++significant;
        }
        sc.Take();
        any = true;
    }
    if (significant == 0) exp.push_back('0');
    else if (significant > 9) exp.replace(exp.size() - 9, 9, "999999999");
    return any;
}

// Appends "e", the sign and the digits of an exponent (written e, E, d or
// D) when one follows; a letter without digits is left unread.
void TakeExponent(Scan& sc, std::string& digits) {
    int c = sc.Peek();
    if (c != 'e' && c != 'E' && c != 'd' && c != 'D') return;
    Scan save = sc;
    sc.Take();
    std::string exp = "e";
    TakeSign(sc, exp);
    if (TakeExponentDigits(sc, exp)) digits += exp;
    else sc = save;
}

// Parses a decimal number; returns the value and sets `any` when one was
// read (the cursor is then after its last character).
double ReadDecimal(Scan& sc, bool& any) {
    std::string digits;
    digits.reserve(32);
    any = false;
    if (!TakeMantissa(sc, digits)) return 0.0;
    any = true;
    TakeExponent(sc, digits);
    return formula::ParseDecimal(digits);
}

// The radix of the letter after "&": 16 for H, 8 for O, 0 for others.
int RadixOfLetter(int k) {
    if (k == 'h' || k == 'H') return 16;
    if (k == 'o' || k == 'O') return 8;
    return 0;
}

// Whether the rest, after the "&", is a radix letter and digits only.
bool IsRadixNumber(Scan& sc) {
    int radix = RadixOfLetter(sc.Peek());
    if (radix == 0) return false;
    sc.Take();
    bool any = false;
    while (DigitValue(sc.Peek(), radix) >= 0) {
        sc.Take();
        any = true;
    }
    return any && sc.Peek() < 0;
}

bool SpaceOrTab(char c) { return c == ' ' || c == '\t'; }

std::string_view WithoutSpacesOrTabs(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && SpaceOrTab(text[b])) ++b;
    while (e > b && SpaceOrTab(text[e - 1])) --e;
    return text.substr(b, e - b);
}

}  // namespace

double Val(std::string_view text) {
    Scan sc{text};
    if (sc.Peek() == '&') {
        Scan after = sc;
        after.Take();
        int k = after.Peek();
        if (k == 'h' || k == 'H') {
            after.Take();
            return ReadRadix(after, 16);
        }
        if (k == 'o' || k == 'O') {
            after.Take();
            return ReadRadix(after, 8);
        }
        return 0.0;
    }
    bool any = false;
    double v = ReadDecimal(sc, any);
    return any ? v : 0.0;
}

bool IsNumeric(std::string_view text) {
    std::string_view t = WithoutSpacesOrTabs(text);
    if (t.empty()) return false;
    Scan sc{t};
    if (sc.Peek() == '&') {
        sc.Take();
        return IsRadixNumber(sc);
    }
    bool any = false;
    ReadDecimal(sc, any);
    return any && sc.Peek() < 0;
}

double RoundHalfEven(double value) { return std::nearbyint(value); }

std::int16_t CInt(double value) {
    double r = RoundHalfEven(value);
    if (!(r >= -32768.0 && r <= 32767.0)) throw VbError(kErrOverflow);
    return static_cast<std::int16_t>(r);
}

long long RoundHalfAway(double value) { return static_cast<long long>(std::round(value)); }

namespace {

std::string FormatWithDigits(double value, int digits) {
    if (value == 0) return "0";
    double r = std::round(value);
    if (r == value && std::fabs(value) < 1e15) return formula::FixedText(value, 0);
    std::string s = formula::GeneralText(value, digits);
    for (char& c : s)
        if (c == 'e') c = 'E';
    // Drop trailing zeros of the fraction ("10.50" -> "10.5").
    auto epos = s.find('E');
    std::string mant = s.substr(0, epos);
    std::string exp = epos == std::string::npos ? "" : s.substr(epos);
    if (mant.find('.') != std::string::npos) {
        while (!mant.empty() && mant.back() == '0') mant.pop_back();
        if (!mant.empty() && mant.back() == '.') mant.pop_back();
    }
    return mant + exp;
}

}  // namespace

std::string FormatGeneral(double value) { return FormatWithDigits(value, 15); }

std::string FormatSingle(float value) { return FormatWithDigits(static_cast<double>(value), 7); }

}  // namespace tw
