// Database functions: statistics over the cells of a range for which a
// condition holds, the condition evaluated once per cell of the range.
#include <cmath>

#include "formula/functions.h"

namespace tw::formula {

namespace {

using Args = std::vector<Value>;

enum class Stat { Avg, Count, CountA, Max, Min, Std, StdP, Sum, Var, VarP };

// Collects the values of the range's cells whose condition is true. The
// condition is evaluated with every block of cells in it standing for
// the cell at the same place as the range's cell.
template <Stat S>
Value Database(CallContext& ctx, Args&) {
    Value range = ctx.EvalArg(0);
    if (range.IsError()) return range;
    Array cells = AsArray(range);
    std::vector<double> xs;
    int counted = 0;
    for (int r = 0; r < cells.rows; ++r) {
        for (int c = 0; c < cells.cols; ++c) {
            Value cond = ctx.EvalArgAt(1, c, r);
            if (cond.IsError()) return cond;
            if (!cond.IsNumber() || cond.number() == 0.0) continue;
            const Value& v = cells.at(c, r);
            if (v.IsError()) return v;
            if (S == Stat::CountA) {
                if (!v.IsBlank()) ++counted;
            } else if (v.IsNumber()) {
                xs.push_back(v.number());
            }
        }
    }
    double n = double(xs.size());
    double sum = 0.0, squares = 0.0;
    for (double x : xs) sum += x;
    double mean = xs.empty() ? 0.0 : sum / n;
    for (double x : xs) squares += (x - mean) * (x - mean);
    switch (S) {
    case Stat::Count: return Value::Number(n);
    case Stat::CountA: return Value::Number(counted);
    case Stat::Sum: return NumberResult(sum);
    case Stat::Avg: return xs.empty() ? Value::Error(ErrorCode::DivideByZero) : NumberResult(mean);
    case Stat::Max:
    case Stat::Min: {
        if (xs.empty()) return Value::Number(0.0);
        double best = xs[0];
        for (double x : xs) best = S == Stat::Max ? std::fmax(best, x) : std::fmin(best, x);
        return NumberResult(best);
    }
    case Stat::Var:
    case Stat::Std: {
        if (xs.size() < 2) return Value::Error(ErrorCode::DivideByZero);
        double var = squares / (n - 1.0);
        return NumberResult(S == Stat::Std ? std::sqrt(var) : var);
    }
    case Stat::VarP:
    case Stat::StdP: {
        if (xs.empty()) return Value::Error(ErrorCode::DivideByZero);
        double var = squares / n;
        return NumberResult(S == Stat::StdP ? std::sqrt(var) : var);
    }
    }
    return Value::Error(ErrorCode::ValueNotDefined);
}

const FunctionSpec kDatabase[] = {
    {"davg", 2, 2, Database<Stat::Avg>, 0, 0, kLazy},       {"dcount", 2, 2, Database<Stat::Count>, 0, 0, kLazy},
    {"dcounta", 2, 2, Database<Stat::CountA>, 0, 0, kLazy}, {"dmax", 2, 2, Database<Stat::Max>, 0, 0, kLazy},
    {"dmin", 2, 2, Database<Stat::Min>, 0, 0, kLazy},       {"dstd", 2, 2, Database<Stat::Std>, 0, 0, kLazy},
    {"dstdp", 2, 2, Database<Stat::StdP>, 0, 0, kLazy},     {"dsum", 2, 2, Database<Stat::Sum>, 0, 0, kLazy},
    {"dvar", 2, 2, Database<Stat::Var>, 0, 0, kLazy},       {"dvarp", 2, 2, Database<Stat::VarP>, 0, 0, kLazy},
};

}  // namespace

std::span<const FunctionSpec> DatabaseFunctions() { return kDatabase; }

}  // namespace tw::formula
