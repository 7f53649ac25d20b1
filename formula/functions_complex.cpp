// Complex number functions: a complex number is a 1 x 2 array {re, im},
// or a text such as "2-3i".
#include <cmath>
#include <complex>
#include <cstdlib>
#include <string>

#include "formula/functions.h"
#include "formula/number_text.h"

namespace tw::formula {

namespace {

using Args = std::vector<Value>;
using Cx = std::complex<double>;

std::string WithoutSpaces(const std::string& s0) {
    std::string s;
    for (char c : s0)
        if (c != ' ') s += c;
    return s;
}

// Where the imaginary part of "re+im" starts: the last sign that is not
// part of an exponent; npos when there is no real part.
std::size_t ImaginaryStart(const std::string& s) {
    for (std::size_t i = s.size(); i-- > 1;)
        if ((s[i] == '+' || s[i] == '-') && s[i - 1] != 'e' && s[i - 1] != 'E') return i;
    return std::string::npos;
}

// The factor of i written before it: nothing or "+" is 1, "-" is -1.
bool ReadImaginary(std::string im, double& y) {
    if (im.empty() || im == "+") im = "1";
    else if (im == "-") im = "-1";
    return ReadWholeNumber(im, y);
}

// "2-3i", "-3j", "4", "1e-2+i".
bool ParseText(const std::string& s0, Cx& out) {
    std::string s = WithoutSpaces(s0);
    if (s.empty()) return false;
    char unit = s.back();
    if (unit != 'i' && unit != 'j') {
        double re;
        if (!ReadWholeNumber(s, re)) return false;
        out = Cx(re, 0);
        return true;
    }
    s.pop_back();
    std::size_t split = ImaginaryStart(s);
    std::string re = split == std::string::npos ? "" : s.substr(0, split);
    std::string im = split == std::string::npos ? s : s.substr(split);
    double y, x = 0;
    if (!ReadImaginary(im, y)) return false;
    if (!re.empty() && !ReadWholeNumber(re, x)) return false;
    out = Cx(x, y);
    return true;
}

bool GetComplex(const Value& v, Cx& out, Value& e) {
    if (v.IsError()) {
        e = v;
        return false;
    }
    if (v.IsString()) {
        if (ParseText(v.text(), out)) return true;
        e = Value::Error(ErrorCode::BadComplexNumber);
        return false;
    }
    if (!v.IsArray() || v.array().cols != 2 || v.array().rows != 1 || !v.array().items[0].IsNumber() ||
        !v.array().items[1].IsNumber()) {
        if (v.IsArray())
            for (const Value& x : v.array().items)
                if (x.IsError()) {
                    e = x;
                    return false;
                }
        e = Value::Error(ErrorCode::BadComplexNumber);
        return false;
    }
    out = Cx(v.array().items[0].number(), v.array().items[1].number());
    return true;
}

std::string Text(double x) { return GeneralText(x, 15); }

Value Result(const Cx& z, bool as_text) {
    if (!std::isfinite(z.real()) || !std::isfinite(z.imag()))
        return Value::Error(std::isnan(z.real()) || std::isnan(z.imag()) ? ErrorCode::FPError : ErrorCode::OutOfRange);
    double re = z.real() == 0 ? 0.0 : z.real(), im = z.imag() == 0 ? 0.0 : z.imag();
    if (as_text) {
        std::string s;
        if (re != 0 || im == 0) s = Text(re);
        if (im != 0) {
            if (!s.empty() && im > 0) s += "+";
            if (im == 1) s += "";
            else if (im == -1) s += "-";
            else s += Text(im);
            s += "i";
        }
        return Value::String(s);
    }
    Array a(2, 1);
    a.items[0] = Value::Number(re);
    a.items[1] = Value::Number(im);
    return Value::MakeArray(std::move(a));
}

enum class Fn {
    Acos,
    Acosec,
    Acosech,
    Acosh,
    Acot,
    Acoth,
    Asec,
    Asech,
    Asin,
    Asinh,
    Atan,
    Atanh,
    Cos,
    Cosec,
    Cosech,
    Cosh,
    Cot,
    Coth,
    Exp,
    Ln,
    Sec,
    Sech,
    Sin,
    Sinh,
    Tan,
    Tanh,
};

bool Inv(const Cx& z, Cx& out) {
    if (z == Cx(0, 0)) return false;
    out = 1.0 / z;
    return true;
}

// How a function of one complex number is worked out: f(z), f(1/z) or
// 1/f(z), each failing where it has a pole.
enum class Shape { Direct, OfReciprocal, ReciprocalOf };
enum class Poles { None, Zero, PlusMinusI, PlusMinusOne };

struct UnaryRule {
    Cx (*f)(const Cx&);
    Shape shape;
    Poles poles = Poles::None;  // of f's argument, for Direct and OfReciprocal
    ErrorCode at_pole = ErrorCode::DivideByZero;
};

// In the order of Fn.
constexpr UnaryRule kUnaryRules[] = {
    {[](const Cx& z) { return std::acos(z); }, Shape::Direct},                                      // Acos
    {[](const Cx& z) { return std::asin(z); }, Shape::OfReciprocal},                                // Acosec
    {[](const Cx& z) { return std::asinh(z); }, Shape::OfReciprocal},                               // Acosech
    {[](const Cx& z) { return std::acosh(z); }, Shape::Direct},                                     // Acosh
    {[](const Cx& z) { return std::atan(z); }, Shape::OfReciprocal, Poles::PlusMinusI},             // Acot
    {[](const Cx& z) { return std::atanh(z); }, Shape::OfReciprocal, Poles::PlusMinusOne},          // Acoth
    {[](const Cx& z) { return std::acos(z); }, Shape::OfReciprocal},                                // Asec
    {[](const Cx& z) { return std::acosh(z); }, Shape::OfReciprocal},                               // Asech
    {[](const Cx& z) { return std::asin(z); }, Shape::Direct},                                      // Asin
    {[](const Cx& z) { return std::asinh(z); }, Shape::Direct},                                     // Asinh
    {[](const Cx& z) { return std::atan(z); }, Shape::Direct, Poles::PlusMinusI},                   // Atan
    {[](const Cx& z) { return std::atanh(z); }, Shape::Direct, Poles::PlusMinusOne},                // Atanh
    {[](const Cx& z) { return std::cos(z); }, Shape::Direct},                                       // Cos
    {[](const Cx& z) { return std::sin(z); }, Shape::ReciprocalOf},                                 // Cosec
    {[](const Cx& z) { return std::sinh(z); }, Shape::ReciprocalOf},                                // Cosech
    {[](const Cx& z) { return std::cosh(z); }, Shape::Direct},                                      // Cosh
    {[](const Cx& z) { return std::tan(z); }, Shape::ReciprocalOf},                                 // Cot
    {[](const Cx& z) { return std::tanh(z); }, Shape::ReciprocalOf},                                // Coth
    {[](const Cx& z) { return std::exp(z); }, Shape::Direct},                                       // Exp
    {[](const Cx& z) { return std::log(z); }, Shape::Direct, Poles::Zero, ErrorCode::BadLogarithm},  // Ln
    {[](const Cx& z) { return std::cos(z); }, Shape::ReciprocalOf},                                 // Sec
    {[](const Cx& z) { return std::cosh(z); }, Shape::ReciprocalOf},                                // Sech
    {[](const Cx& z) { return std::sin(z); }, Shape::Direct},                                       // Sin
    {[](const Cx& z) { return std::sinh(z); }, Shape::Direct},                                      // Sinh
    {[](const Cx& z) { return std::tan(z); }, Shape::Direct},                                       // Tan
    {[](const Cx& z) { return std::tanh(z); }, Shape::Direct},                                      // Tanh
};
static_assert(std::size(kUnaryRules) == static_cast<std::size_t>(Fn::Tanh) + 1);

bool AtPole(const Cx& z, Poles poles) {
    switch (poles) {
    case Poles::None: return false;
    case Poles::Zero: return z == Cx(0, 0);
    case Poles::PlusMinusI: return z == Cx(0, 1) || z == Cx(0, -1);
    case Poles::PlusMinusOne: return z == Cx(1, 0) || z == Cx(-1, 0);
    }
    return false;
}

// f(z) by the rule into r, false at a pole.
bool ApplyRule(const UnaryRule& rule, const Cx& z, Cx& r) {
    Cx w = z;
    if (rule.shape == Shape::ReciprocalOf) return Inv(rule.f(z), r);
    if (rule.shape == Shape::OfReciprocal && !Inv(z, w)) return false;
    if (AtPole(w, rule.poles)) return false;
    r = rule.f(w);
    return true;
}

template <Fn F>
Value Unary(CallContext&, Args& a) {
    Cx z, r;
    Value e;
    if (!GetComplex(a[0], z, e)) return e;
    const UnaryRule& rule = kUnaryRules[static_cast<std::size_t>(F)];
    if (!ApplyRule(rule, z, r)) return Value::Error(rule.at_pole);
    return Result(r, a[0].IsString());
}

enum class Op2 { Add, Sub, Mul, Div, Power };

template <Op2 O>
Value Binary(CallContext&, Args& a) {
    Cx x, y, r;
    Value e;
    if (!GetComplex(a[0], x, e) || !GetComplex(a[1], y, e)) return e;
    bool text = a[0].IsString() || a[1].IsString();
    switch (O) {
    case Op2::Add: r = x + y; break;
    case Op2::Sub: r = x - y; break;
    case Op2::Mul: r = x * y; break;
    case Op2::Div:
        if (y == Cx(0, 0)) return Value::Error(ErrorCode::DivideByZero);
        r = x / y;
        break;
    case Op2::Power:
        if (x == Cx(0, 0)) {
            if (y == Cx(0, 0)) return Value::Error(ErrorCode::FPError);
            if (y.real() <= 0) return Value::Error(ErrorCode::DivideByZero);
            r = Cx(0, 0);
        } else {
            r = std::exp(y * std::log(x));
        }
        break;
    }
    return Result(r, text);
}

Value Radius(CallContext&, Args& a) {
    Cx z;
    Value e;
    if (!GetComplex(a[0], z, e)) return e;
    return NumberResult(std::abs(z));
}

Value Theta(CallContext&, Args& a) {
    Cx z;
    Value e;
    if (!GetComplex(a[0], z, e)) return e;
    if (z == Cx(0, 0)) return Value::Error(ErrorCode::DivideByZero);
    return NumberResult(std::arg(z));
}

Value Round(CallContext&, Args& a) {
    Cx z;
    Value e;
    if (!GetComplex(a[0], z, e)) return e;
    long long d = 2;
    if (a.size() > 1 && !GetInteger(a[1], d, e)) return e;
    if (d < -300 || d > 300) return Value::Error(ErrorCode::ParameterOutOfRange);
    int p = static_cast<int>(d);
    return Result(Cx(RoundDecimal(z.real(), p), RoundDecimal(z.imag(), p)), a[0].IsString());
}

const FunctionSpec kComplex[] = {
    {"c_acos", 1, 1, Unary<Fn::Acos>, kAllArgs},
    {"c_acosec", 1, 1, Unary<Fn::Acosec>, kAllArgs},
    {"c_acosech", 1, 1, Unary<Fn::Acosech>, kAllArgs},
    {"c_acosh", 1, 1, Unary<Fn::Acosh>, kAllArgs},
    {"c_acot", 1, 1, Unary<Fn::Acot>, kAllArgs},
    {"c_acoth", 1, 1, Unary<Fn::Acoth>, kAllArgs},
    {"c_add", 2, 2, Binary<Op2::Add>, kAllArgs},
    {"c_asec", 1, 1, Unary<Fn::Asec>, kAllArgs},
    {"c_asech", 1, 1, Unary<Fn::Asech>, kAllArgs},
    {"c_asin", 1, 1, Unary<Fn::Asin>, kAllArgs},
    {"c_asinh", 1, 1, Unary<Fn::Asinh>, kAllArgs},
    {"c_atan", 1, 1, Unary<Fn::Atan>, kAllArgs},
    {"c_atanh", 1, 1, Unary<Fn::Atanh>, kAllArgs},
    {"c_cos", 1, 1, Unary<Fn::Cos>, kAllArgs},
    {"c_cosec", 1, 1, Unary<Fn::Cosec>, kAllArgs},
    {"c_cosech", 1, 1, Unary<Fn::Cosech>, kAllArgs},
    {"c_cosh", 1, 1, Unary<Fn::Cosh>, kAllArgs},
    {"c_cot", 1, 1, Unary<Fn::Cot>, kAllArgs},
    {"c_coth", 1, 1, Unary<Fn::Coth>, kAllArgs},
    {"c_div", 2, 2, Binary<Op2::Div>, kAllArgs},
    {"c_exp", 1, 1, Unary<Fn::Exp>, kAllArgs},
    {"c_ln", 1, 1, Unary<Fn::Ln>, kAllArgs},
    {"c_mul", 2, 2, Binary<Op2::Mul>, kAllArgs},
    {"c_power", 2, 2, Binary<Op2::Power>, kAllArgs},
    {"c_radius", 1, 1, Radius, kAllArgs},
    {"c_round", 1, 2, Round, kAllArgs},
    {"c_sec", 1, 1, Unary<Fn::Sec>, kAllArgs},
    {"c_sech", 1, 1, Unary<Fn::Sech>, kAllArgs},
    {"c_sin", 1, 1, Unary<Fn::Sin>, kAllArgs},
    {"c_sinh", 1, 1, Unary<Fn::Sinh>, kAllArgs},
    {"c_sub", 2, 2, Binary<Op2::Sub>, kAllArgs},
    {"c_tan", 1, 1, Unary<Fn::Tan>, kAllArgs},
    {"c_tanh", 1, 1, Unary<Fn::Tanh>, kAllArgs},
    {"c_theta", 1, 1, Theta, kAllArgs},
};

}  // namespace

std::span<const FunctionSpec> ComplexFunctions() { return kComplex; }

}  // namespace tw::formula
