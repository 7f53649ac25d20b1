// Financial functions: compound interest, annuities, depreciation and
// rates of return.
#include <cmath>

#include "formula/functions.h"

namespace tw::formula {

namespace {

using Args = std::vector<Value>;

Value Err(ErrorCode e) { return Value::Error(e); }

// Reads the first `n` arguments as numbers.
bool Numbers(const Args& a, std::size_t n, double* out, Value& error) {
    for (std::size_t i = 0; i < n; ++i)
        if (!GetNumber(a[i], out[i], error)) return false;
    return true;
}

Value LogRatio(double num, double den) {
    if (num <= 0.0 || den <= 0.0) return Err(ErrorCode::BadLogarithm);
    if (den == 1.0) return Err(ErrorCode::DivideByZero);
    return NumberResult(std::log(num) / std::log(den));
}

// Periods for a present value to grow to a future value.
Value Cterm(CallContext&, Args& a) {
    double x[3];
    Value e;
    if (!Numbers(a, 3, x, e)) return e;
    if (x[2] == 0.0) return Err(ErrorCode::DivideByZero);
    return LogRatio(x[1] / x[2], 1.0 + x[0]);
}

// Double declining balance: the book value at the start of the period
// times the rate, never taking the value below the salvage.
Value Ddb(CallContext&, Args& a) {
    double x[5] = {0, 0, 0, 0, 2.0};
    Value e;
    if (!Numbers(a, a.size(), x, e)) return e;
    double cost = x[0], salvage = x[1], life = x[2], period = x[3], factor = x[4];
    if (life <= 0.0 || period < 1.0 || period > life || factor <= 0.0 || cost < 0.0 || salvage < 0.0)
        return Err(ErrorCode::ParameterOutOfRange);
    double rate = factor / life;
    if (rate > 1.0) rate = 1.0;
    double before = cost * std::pow(1.0 - rate, period - 1.0);
    double dep = before * rate;
    double room = before - salvage;
    if (dep > room) dep = room > 0.0 ? room : 0.0;
    return NumberResult(dep);
}

Value Fv(CallContext&, Args& a) {
    double x[3];
    Value e;
    if (!Numbers(a, 3, x, e)) return e;
    double pay = x[0], i = x[1], n = x[2];
    if (i == 0.0) return NumberResult(pay * n);
    return NumberResult(pay * (std::pow(1.0 + i, n) - 1.0) / i);
}

Value Pmt(CallContext&, Args& a) {
    double x[3];
    Value e;
    if (!Numbers(a, 3, x, e)) return e;
    double p = x[0], i = x[1], n = x[2];
    if (i == 0.0) return n == 0.0 ? Err(ErrorCode::DivideByZero) : NumberResult(p / n);
    double d = 1.0 - std::pow(1.0 + i, -n);
    if (d == 0.0) return Err(ErrorCode::DivideByZero);
    return NumberResult(p * i / d);
}

Value Pv(CallContext&, Args& a) {
    double x[3];
    Value e;
    if (!Numbers(a, 3, x, e)) return e;
    double pay = x[0], i = x[1], n = x[2];
    if (i == 0.0) return NumberResult(pay * n);
    return NumberResult(pay * (1.0 - std::pow(1.0 + i, -n)) / i);
}

Value Rate(CallContext&, Args& a) {
    double x[3];
    Value e;
    if (!Numbers(a, 3, x, e)) return e;
    if (x[1] == 0.0 || x[2] == 0.0) return Err(ErrorCode::DivideByZero);
    double ratio = x[0] / x[1];
    if (ratio < 0.0) return Err(ErrorCode::MixedSigns);
    return NumberResult(std::pow(ratio, 1.0 / x[2]) - 1.0);
}

Value Sln(CallContext&, Args& a) {
    double x[3];
    Value e;
    if (!Numbers(a, 3, x, e)) return e;
    if (x[2] == 0.0) return Err(ErrorCode::DivideByZero);
    return NumberResult((x[0] - x[1]) / x[2]);
}

Value Syd(CallContext&, Args& a) {
    double x[4];
    Value e;
    if (!Numbers(a, 4, x, e)) return e;
    double cost = x[0], salvage = x[1], life = x[2], period = x[3];
    if (life <= 0.0 || period < 1.0 || period > life) return Err(ErrorCode::ParameterOutOfRange);
    return NumberResult((cost - salvage) * (life - period + 1.0) * 2.0 / (life * (life + 1.0)));
}

// Periods of equal payments to reach a future value.
Value Term(CallContext&, Args& a) {
    double x[3];
    Value e;
    if (!Numbers(a, 3, x, e)) return e;
    double pay = x[0], i = x[1], fv = x[2];
    if (pay == 0.0) return Err(ErrorCode::DivideByZero);
    return LogRatio(1.0 + fv * i / pay, 1.0 + i);
}

// The numbers of a range or array argument, in order; other items skipped.
bool Flows(const Value& v, std::vector<double>& out, Value& error) {
    ListItems items;
    Value r = CollectList({v}, items);
    if (r.IsError()) {
        error = r;
        return false;
    }
    out = std::move(items.numbers);
    return true;
}

double NetPresent(double rate, const std::vector<double>& flows, std::size_t first_power) {
    double sum = 0.0;
    for (std::size_t k = 0; k < flows.size(); ++k) sum += flows[k] / std::pow(1.0 + rate, double(k + first_power));
    return sum;
}

Value Npv(CallContext&, Args& a) {
    double rate;
    Value e;
    if (!GetNumber(a[0], rate, e)) return e;
    if (rate == -1.0) return Err(ErrorCode::DivideByZero);
    std::vector<double> flows;
    if (!Flows(a[1], flows, e)) return e;
    return NumberResult(NetPresent(rate, flows, 1));
}

// Newton's method on the net present value from the guess; a rate that
// does not settle within 20 steps is the IRR error.
Value Irr(CallContext&, Args& a) {
    double rate;
    Value e;
    if (!GetNumber(a[0], rate, e)) return e;
    std::vector<double> flows;
    if (!Flows(a[1], flows, e)) return e;
    bool pos = false, neg = false;
    for (double f : flows) {
        pos = pos || f > 0.0;
        neg = neg || f < 0.0;
    }
    if (!pos || !neg) return Err(ErrorCode::Irr);
    for (int iter = 0; iter < 20; ++iter) {
        if (rate <= -1.0) return Err(ErrorCode::Irr);
        double f = 0.0, df = 0.0;
        for (std::size_t k = 0; k < flows.size(); ++k) {
            double t = double(k);
            double p = std::pow(1.0 + rate, t);
            f += flows[k] / p;
            df -= t * flows[k] / (p * (1.0 + rate));
        }
        if (df == 0.0 || !std::isfinite(df)) return Err(ErrorCode::Irr);
        double next = rate - f / df;
        if (std::fabs(next - rate) < 1e-12 * (1.0 + std::fabs(rate))) return NumberResult(next);
        rate = next;
    }
    return Err(ErrorCode::Irr);
}

Value Mirr(CallContext&, Args& a) {
    std::vector<double> flows;
    Value e;
    if (!Flows(a[0], flows, e)) return e;
    double finance, reinvest;
    if (!GetNumber(a[1], finance, e) || !GetNumber(a[2], reinvest, e)) return e;
    std::size_t n = flows.size();
    if (n < 2 || finance == -1.0 || reinvest == -1.0) return Err(ErrorCode::DivideByZero);
    std::vector<double> in(n, 0.0), out(n, 0.0);
    for (std::size_t k = 0; k < n; ++k) (flows[k] > 0.0 ? in : out)[k] = flows[k];
    double future_in = NetPresent(reinvest, in, 0) * std::pow(1.0 + reinvest, double(n - 1));
    double present_out = NetPresent(finance, out, 0);
    if (present_out == 0.0 || future_in == 0.0) return Err(ErrorCode::MixedSigns);
    return NumberResult(std::pow(-future_in / present_out, 1.0 / double(n - 1)) - 1.0);
}

const FunctionSpec kFinancial[] = {
    {"cterm", 3, 3, Cterm},       {"ddb", 4, 5, Ddb},         {"fv", 3, 3, Fv},   {"irr", 2, 2, Irr, Arg(1)},
    {"mirr", 3, 3, Mirr, Arg(0)}, {"npv", 2, 2, Npv, Arg(1)}, {"pmt", 3, 3, Pmt}, {"pv", 3, 3, Pv},
    {"rate", 3, 3, Rate},         {"sln", 3, 3, Sln},         {"syd", 4, 4, Syd}, {"term", 3, 3, Term},
};

}  // namespace

std::span<const FunctionSpec> FinancialFunctions() { return kFinancial; }

}  // namespace tw::formula
