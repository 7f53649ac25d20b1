// Trigonometric and hyperbolic functions; angles in radians.
#include <cmath>
#include <numbers>

#include "formula/functions.h"

namespace tw::formula {

namespace {

using Args = std::vector<Value>;

// Beyond this an angle cannot be brought into one turn with any accuracy.
constexpr double kMaxAngle = 1e15;

template <double (*F)(double, Value&)>
Value Unary(CallContext&, Args& a) {
    double x;
    Value e;
    if (!GetNumber(a[0], x, e)) return e;
    Value err;
    double r = F(x, err);
    if (err.IsError()) return err;
    return NumberResult(r);
}

Value Fail(Value& err, ErrorCode code) {
    err = Value::Error(code);
    return err;
}

double Sin(double x, Value& err) {
    if (std::fabs(x) > kMaxAngle) Fail(err, ErrorCode::AccuracyLost);
    return std::sin(x);
}
double Cos(double x, Value& err) {
    if (std::fabs(x) > kMaxAngle) Fail(err, ErrorCode::AccuracyLost);
    return std::cos(x);
}
double Tan(double x, Value& err) {
    if (std::fabs(x) > kMaxAngle) Fail(err, ErrorCode::AccuracyLost);
    return std::tan(x);
}
double Reciprocal(double y, Value& err) {
    if (y == 0.0) {
        Fail(err, ErrorCode::DivideByZero);
        return 0;
    }
    return 1.0 / y;
}
double Sec(double x, Value& err) {
    double c = Cos(x, err);
    return err.IsError() ? 0 : Reciprocal(c, err);
}
double Cosec(double x, Value& err) {
    double s = Sin(x, err);
    return err.IsError() ? 0 : Reciprocal(s, err);
}
double Cot(double x, Value& err) {
    double t = Tan(x, err);
    return err.IsError() ? 0 : Reciprocal(t, err);
}
double Acs(double x, Value& err) {
    if (x < -1 || x > 1) Fail(err, ErrorCode::ParameterOutOfRange);
    return std::acos(x);
}
double Asn(double x, Value& err) {
    if (x < -1 || x > 1) Fail(err, ErrorCode::ParameterOutOfRange);
    return std::asin(x);
}
double Atn(double x, Value&) { return std::atan(x); }
double Asec(double x, Value& err) {
    if (std::fabs(x) < 1) Fail(err, ErrorCode::ParameterOutOfRange);
    return std::acos(1.0 / x);
}
double Acosec(double x, Value& err) {
    if (std::fabs(x) < 1) Fail(err, ErrorCode::ParameterOutOfRange);
    return std::asin(1.0 / x);
}
// Arc cotangent in (0, pi), continuous through zero.
double Acot(double x, Value&) { return std::numbers::pi / 2 - std::atan(x); }
double Sinh(double x, Value&) { return std::sinh(x); }
double Cosh(double x, Value&) { return std::cosh(x); }
double Tanh(double x, Value&) { return std::tanh(x); }
double Sech(double x, Value&) { return 1.0 / std::cosh(x); }
double Cosech(double x, Value& err) { return Reciprocal(std::sinh(x), err); }
double Coth(double x, Value& err) { return Reciprocal(std::tanh(x), err); }
double Asinh(double x, Value&) { return std::asinh(x); }
double Acosh(double x, Value& err) {
    if (x < 1) Fail(err, ErrorCode::ParameterOutOfRange);
    return std::acosh(x);
}
double Atanh(double x, Value& err) {
    if (x <= -1 || x >= 1) Fail(err, ErrorCode::ParameterOutOfRange);
    return std::atanh(x);
}
double Asech(double x, Value& err) {
    if (x <= 0 || x > 1) Fail(err, ErrorCode::ParameterOutOfRange);
    return std::acosh(1.0 / x);
}
double Acosech(double x, Value& err) {
    if (x == 0) Fail(err, ErrorCode::DivideByZero);
    return std::asinh(1.0 / x);
}
double Acoth(double x, Value& err) {
    if (std::fabs(x) <= 1) Fail(err, ErrorCode::ParameterOutOfRange);
    return std::atanh(1.0 / x);
}
double Deg(double x, Value&) { return x * 180.0 / std::numbers::pi; }
double Rad(double x, Value&) { return x * std::numbers::pi / 180.0; }

Value Pi(CallContext&, Args&) { return Value::Number(std::numbers::pi); }

// ATAN_2(x, y): the angle of the point (x, y).
Value Atan2(CallContext&, Args& a) {
    double x, y;
    Value e;
    if (!GetNumber(a[0], x, e) || !GetNumber(a[1], y, e)) return e;
    if (x == 0 && y == 0) return Value::Error(ErrorCode::DivideByZero);
    return NumberResult(std::atan2(y, x));
}

const FunctionSpec kTrig[] = {
    {"acs", 1, 1, Unary<Acs>},       {"acosec", 1, 1, Unary<Acosec>}, {"acosech", 1, 1, Unary<Acosech>},
    {"acosh", 1, 1, Unary<Acosh>},   {"acot", 1, 1, Unary<Acot>},     {"acoth", 1, 1, Unary<Acoth>},
    {"asec", 1, 1, Unary<Asec>},     {"asech", 1, 1, Unary<Asech>},   {"asinh", 1, 1, Unary<Asinh>},
    {"asn", 1, 1, Unary<Asn>},       {"atan_2", 2, 2, Atan2},         {"atanh", 1, 1, Unary<Atanh>},
    {"atn", 1, 1, Unary<Atn>},       {"cos", 1, 1, Unary<Cos>},       {"cosec", 1, 1, Unary<Cosec>},
    {"cosech", 1, 1, Unary<Cosech>}, {"cosh", 1, 1, Unary<Cosh>},     {"cot", 1, 1, Unary<Cot>},
    {"coth", 1, 1, Unary<Coth>},     {"deg", 1, 1, Unary<Deg>},       {"pi", 0, 0, Pi},
    {"rad", 1, 1, Unary<Rad>},       {"sec", 1, 1, Unary<Sec>},       {"sech", 1, 1, Unary<Sech>},
    {"sin", 1, 1, Unary<Sin>},       {"sinh", 1, 1, Unary<Sinh>},     {"tan", 1, 1, Unary<Tan>},
    {"tanh", 1, 1, Unary<Tanh>},
};

}  // namespace

std::span<const FunctionSpec> TrigFunctions() { return kTrig; }

}  // namespace tw::formula
