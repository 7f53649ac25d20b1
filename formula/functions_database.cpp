// Database functions: statistics over the cells of a range for which a
// condition holds, the condition evaluated once per cell of the range.
#include <cmath>

#include "formula/functions.h"

namespace tw::formula {

namespace {

using Args = std::vector<Value>;

enum class Stat { Avg, Count, CountA, Max, Min, Std, StdP, Sum, Var, VarP };

// The values of the cells whose condition holds: the numbers, and how
// many are not blank.
struct Selected {
    std::vector<double> xs;
    int counted = 0;
};

// Collects the values of the range's cells whose condition is true. The
// condition is evaluated with every block of cells in it standing for
// the cell at the same place as the range's cell.
Value Select(CallContext& ctx, const Array& cells, bool count_all, Selected& out) {
    for (int r = 0; r < cells.rows; ++r) {
        for (int c = 0; c < cells.cols; ++c) {
            Value cond = ctx.EvalArgAt(1, c, r);
            if (cond.IsError()) return cond;
            if (!cond.IsNumber() || cond.number() == 0.0) continue;
            const Value& v = cells.at(c, r);
            if (v.IsError()) return v;
            if (count_all) {
                if (!v.IsBlank()) ++out.counted;
            } else if (v.IsNumber()) {
                out.xs.push_back(v.number());
            }
        }
    }
    return Value();
}

Value Extreme(const std::vector<double>& xs, bool max) {
    if (xs.empty()) return Value::Number(0.0);
    double best = xs[0];
    for (double x : xs) best = max ? std::fmax(best, x) : std::fmin(best, x);
    return NumberResult(best);
}

// The variance of the sample (n - 1) or of the population (n), or its root.
Value Spread(std::size_t size, double squares, bool sample, bool root) {
    if (size < (sample ? 2u : 1u)) return Value::Error(ErrorCode::DivideByZero);
    double n = double(size);
    double var = squares / (sample ? n - 1.0 : n);
    return NumberResult(root ? std::sqrt(var) : var);
}

Value Summary(Stat s, const Selected& in) {
    const std::vector<double>& xs = in.xs;
    double n = double(xs.size());
    double sum = 0.0, squares = 0.0;
    for (double x : xs) sum += x;
    double mean = xs.empty() ? 0.0 : sum / n;
    for (double x : xs) squares += (x - mean) * (x - mean);
    switch (s) {
    case Stat::Count: return Value::Number(n);
    case Stat::CountA: return Value::Number(in.counted);
    case Stat::Sum: return NumberResult(sum);
    case Stat::Avg: return xs.empty() ? Value::Error(ErrorCode::DivideByZero) : NumberResult(mean);
    case Stat::Max: return Extreme(xs, true);
    case Stat::Min: return Extreme(xs, false);
    case Stat::Var: return Spread(xs.size(), squares, true, false);
    case Stat::Std: return Spread(xs.size(), squares, true, true);
    case Stat::VarP: return Spread(xs.size(), squares, false, false);
    case Stat::StdP: return Spread(xs.size(), squares, false, true);
    }
    return Value::Error(ErrorCode::ValueNotDefined);
}

template <Stat S>
Value Database(CallContext& ctx, Args&) {
    Value range = ctx.EvalArg(0);
    if (range.IsError()) return range;
    Array cells = AsArray(range);
    Selected selected;
    Value e = Select(ctx, cells, S == Stat::CountA, selected);
    if (e.IsError()) return e;
    return Summary(S, selected);
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
