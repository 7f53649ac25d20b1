// Statistical functions over lists, arrays and blocks of cells.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "formula/evaluator.h"
#include "formula/functions.h"

namespace tw::formula {

namespace {

using Args = std::vector<Value>;

Value Numbers(const Args& a, std::vector<double>& out) {
    ListItems items;
    Value e = CollectList(a, items);
    if (e.IsError()) return e;
    out = std::move(items.numbers);
    return Value();
}

Value Numbers(CallContext& ctx, const Args& a, std::vector<double>& out) {
    ListItems items;
    Value e = CollectList(ctx, a, items);
    if (e.IsError()) return e;
    out = std::move(items.numbers);
    return Value();
}

Value Avg(CallContext& ctx, Args& a) {
    std::vector<double> x;
    Value e = Numbers(ctx, a, x);
    if (e.IsError()) return e;
    if (x.empty()) return Value::Error(ErrorCode::DivideByZero);
    double s = 0;
    for (double v : x) s += v;
    return NumberResult(s / static_cast<double>(x.size()));
}

Value Count(CallContext& ctx, Args& a) {
    ListItems items;
    Value e = CollectList(ctx, a, items);
    if (e.IsError()) return e;
    return Value::Number(static_cast<double>(items.numbers.size() + items.dates.size()));
}

Value CountA(CallContext& ctx, Args& a) {
    ListItems items;
    Value e = CollectList(ctx, a, items);
    if (e.IsError()) return e;
    return Value::Number(static_cast<double>(items.numbers.size() + items.dates.size()) + items.strings);
}

Value MaxMin(CallContext& ctx, Args& a, bool max) {
    ListItems items;
    Value e = CollectList(ctx, a, items);
    if (e.IsError()) return e;
    if (items.numbers.empty() && !items.dates.empty()) {
        DateTime best = items.dates[0];
        for (const DateTime& d : items.dates)
            if (max ? d.Serial() > best.Serial() : d.Serial() < best.Serial()) best = d;
        return Value::Date(best);
    }
    if (items.numbers.empty()) return Value::Number(0);
    return Value::Number(max ? *std::max_element(items.numbers.begin(), items.numbers.end())
                             : *std::min_element(items.numbers.begin(), items.numbers.end()));
}
Value Max(CallContext& ctx, Args& a) { return MaxMin(ctx, a, true); }
Value Min(CallContext& ctx, Args& a) { return MaxMin(ctx, a, false); }

Value Median(CallContext&, Args& a) {
    std::vector<double> x;
    Value e = Numbers(a, x);
    if (e.IsError()) return e;
    if (x.empty()) return Value::Error(ErrorCode::DivideByZero);
    std::sort(x.begin(), x.end());
    std::size_t n = x.size();
    return NumberResult(n % 2 ? x[n / 2] : (x[n / 2 - 1] + x[n / 2]) / 2);
}

// Variance by the sum of squares about the mean (steadier than the
// textbook n*sum(x^2) - sum(x)^2, and equal to it in exact arithmetic).
Value Variance(Args& a, bool sample, bool root) {
    std::vector<double> x;
    Value e = Numbers(a, x);
    if (e.IsError()) return e;
    double n = static_cast<double>(x.size());
    if (n < (sample ? 2 : 1)) return Value::Error(ErrorCode::DivideByZero);
    double mean = 0;
    for (double v : x) mean += v;
    mean /= n;
    double ss = 0;
    for (double v : x) ss += (v - mean) * (v - mean);
    double var = ss / (sample ? n - 1 : n);
    return NumberResult(root ? std::sqrt(var) : var);
}
Value Var(CallContext&, Args& a) { return Variance(a, true, false); }
Value VarP(CallContext&, Args& a) { return Variance(a, false, false); }
Value Std(CallContext&, Args& a) { return Variance(a, true, true); }
Value StdP(CallContext&, Args& a) { return Variance(a, false, true); }

Value GammaLn(CallContext&, Args& a) {
    double x;
    Value e;
    if (!GetNumber(a[0], x, e)) return e;
    if (x <= 0) return Value::Error(ErrorCode::ParameterOutOfRange);
    return NumberResult(std::lgamma(x));
}

Value Beta(CallContext&, Args& a) {
    double x, y;
    Value e;
    if (!GetNumber(a[0], x, e) || !GetNumber(a[1], y, e)) return e;
    if (x <= 0 || y <= 0) return Value::Error(ErrorCode::ParameterOutOfRange);
    return NumberResult(std::exp(std::lgamma(x) + std::lgamma(y) - std::lgamma(x + y)));
}

// n!/(n-k)! and n!/((n-k)! k!), exactly while the product stays exact.
Value CombPerm(Args& a, bool combin) {
    double n, k;
    Value e;
    if (!GetNumber(a[0], n, e) || !GetNumber(a[1], k, e)) return e;
    n = std::trunc(n);
    k = std::trunc(k);
    if (n < 0 || k < 0 || k > n) return Value::Error(ErrorCode::ParameterOutOfRange);
    if (n <= 170) {
        double r = 1;
        if (combin) {
            double kk = std::min(k, n - k);
            for (double i = 1; i <= kk; ++i) r = r * (n - kk + i) / i;
            return NumberResult(std::round(r));
        }
        for (double i = 0; i < k; ++i) r *= (n - i);
        return NumberResult(r);
    }
    double lr = std::lgamma(n + 1) - std::lgamma(n - k + 1) - (combin ? std::lgamma(k + 1) : 0.0);
    return NumberResult(std::exp(lr));
}
Value Combin(CallContext&, Args& a) { return CombPerm(a, true); }
Value Permut(CallContext&, Args& a) { return CombPerm(a, false); }

Value Rand(CallContext& ctx, Args& a) {
    if (!a.empty()) {
        double seed;
        Value e;
        if (!GetNumber(a[0], seed, e)) return e;
        ctx.Seed(seed);
    }
    return Value::Number(ctx.Random());
}

Value Grand(CallContext& ctx, Args& a) {
    double m = 0, s = 1;
    Value e;
    if (!a.empty() && !GetNumber(a[0], m, e)) return e;
    if (a.size() > 1 && !GetNumber(a[1], s, e)) return e;
    double u1 = ctx.Random(), u2 = ctx.Random();
    if (u1 <= 0) u1 = 1e-300;
    double z = std::sqrt(-2 * std::log(u1)) * std::cos(2 * std::numbers::pi * u2);
    return NumberResult(m + s * z);
}

Value Bin(CallContext&, Args& a) {
    std::vector<double> data, bins;
    Value e = Numbers({a[0]}, data);
    if (e.IsError()) return e;
    e = Numbers({a[1]}, bins);
    if (e.IsError()) return e;
    std::vector<double> sorted = bins;
    std::sort(sorted.begin(), sorted.end());
    std::vector<double> counts(bins.size() + 1, 0.0);
    for (double x : data) {
        auto it = std::lower_bound(sorted.begin(), sorted.end(), x);  // first bin >= x
        counts[static_cast<std::size_t>(it - sorted.begin())] += 1;
    }
    bool row = a[1].IsArray() && a[1].array().rows == 1 && a[1].array().cols > 1;
    int n = static_cast<int>(counts.size());
    Array out(row ? n : 1, row ? 1 : n);
    for (int i = 0; i < n; ++i)
        out.items[static_cast<std::size_t>(i)] = Value::Number(counts[static_cast<std::size_t>(i)]);
    return Value::MakeArray(std::move(out));
}

// The y values of the observations, each a number.
Value ReadObservations(const Array& ya, int n, std::vector<double>& y) {
    y.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const Value& v = ya.items[static_cast<std::size_t>(i)];
        if (!v.IsNumber()) return Value::Error(ErrorCode::MatrixNotNumeric);
        y[static_cast<std::size_t>(i)] = v.number();
    }
    return Value();
}

// Replaces each y by the logarithm of its size, for the exponential fit:
// all must be of the sign of the first and none zero.
Value TakeLogarithms(std::vector<double>& y) {
    bool pos = y.empty() || y[0] > 0;
    for (double& v : y) {
        if (v == 0 || (v > 0) != pos) return Value::Error(ErrorCode::MixedSigns);
        v = std::log(std::fabs(v));
    }
    return Value();
}

// The m x values of each of the n observations, observation by
// observation; without xv one variable counting 1, 2, 3, ...
Value ReadVariables(const Value* xv, bool by_rows, int n, int& m, std::vector<double>& x) {
    m = 1;
    if (!xv) {
        for (int i = 0; i < n; ++i) x.push_back(i + 1);
        return Value();
    }
    Array xa = AsArray(*xv);
    int obs = by_rows ? xa.rows : xa.cols;
    m = by_rows ? xa.cols : xa.rows;
    if (obs != n || m < 1) return Value::Error(ErrorCode::MismatchedMatrices);
    x.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(m));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j) {
            const Value& v = by_rows ? xa.at(j, i) : xa.at(i, j);
            if (!v.IsNumber()) return Value::Error(ErrorCode::MatrixNotNumeric);
            x[static_cast<std::size_t>(i * m + j)] = v.number();
        }
    return Value();
}

// The p x (p + 1) augmented matrix of the normal equations.
struct Augmented {
    int p;
    std::vector<double> cells;
    explicit Augmented(int size) : p(size), cells(static_cast<std::size_t>(size * (size + 1)), 0.0) {}
    double& at(int r, int c) { return cells[static_cast<std::size_t>(r * (p + 1) + c)]; }
};

// The normal equations (X'X) b = X'y, with a column of ones for c0.
Augmented NormalEquations(const std::vector<double>& x, const std::vector<double>& y, int n, int m) {
    Augmented A(m + 1);
    int p = A.p;
    for (int i = 0; i < n; ++i) {
        auto xi = [&](int j) { return j == 0 ? 1.0 : x[static_cast<std::size_t>(i * m + j - 1)]; };
        for (int r = 0; r < p; ++r) {
            for (int c = 0; c < p; ++c) A.at(r, c) += xi(r) * xi(c);
            A.at(r, p) += xi(r) * y[static_cast<std::size_t>(i)];
        }
    }
    return A;
}

// Gauss-Jordan elimination with partial pivoting; false when the matrix is
// singular.
bool Eliminate(Augmented& A) {
    int p = A.p;
    for (int col = 0; col < p; ++col) {
        int piv = col;
        for (int r = col + 1; r < p; ++r)
            if (std::fabs(A.at(r, col)) > std::fabs(A.at(piv, col))) piv = r;
        if (std::fabs(A.at(piv, col)) < 1e-300) return false;
        for (int c = 0; c <= p; ++c) std::swap(A.at(col, c), A.at(piv, c));
        for (int r = 0; r < p; ++r) {
            if (r == col) continue;
            double f = A.at(r, col) / A.at(col, col);
            for (int c = col; c <= p; ++c) A.at(r, c) -= f * A.at(col, c);
        }
    }
    return true;
}

// The row of coefficients {c0, c1, ...} of the solved equations; for the
// exponential fit of negative ys, c0 is negative.
Value Coefficients(Augmented& A, bool logarithmic, bool negative) {
    int p = A.p;
    Array out(p, 1);
    for (int j = 0; j < p; ++j) {
        double b = A.at(j, p) / A.at(j, j);
        if (logarithmic) b = std::exp(b);
        Value v = NumberResult(b);
        if (v.IsError()) return v;
        out.items[static_cast<std::size_t>(j)] = v;
    }
    if (negative) out.items[0] = Value::Number(-out.items[0].number());
    return Value::MakeArray(std::move(out));
}

// Solves the least squares fit y = c0 + sum ci * xi. Observations run down
// the rows of x (one column per variable) when y is a column, along the
// columns when y is a row.
Value Regress(const Value& yv, const Value* xv, bool logarithmic) {
    Array ya = AsArray(yv);
    bool by_rows = !(ya.rows == 1 && ya.cols > 1);
    int n = by_rows ? ya.rows : ya.cols;
    if (by_rows && ya.cols != 1) return Value::Error(ErrorCode::MismatchedMatrices);
    std::vector<double> y;
    Value e = ReadObservations(ya, n, y);
    if (e.IsError()) return e;
    if (logarithmic) {
        e = TakeLogarithms(y);
        if (e.IsError()) return e;
    }
    int m = 1;
    std::vector<double> x;  // n x m, observation by observation
    e = ReadVariables(xv, by_rows, n, m, x);
    if (e.IsError()) return e;
    if (n < m + 1) return Value::Error(ErrorCode::MatrixWrongSize);
    Augmented A = NormalEquations(x, y, n, m);
    if (!Eliminate(A)) return Value::Error(ErrorCode::DivideByZero);
    return Coefficients(A, logarithmic, logarithmic && !y.empty() && ya.items[0].number() < 0);
}

Value Linest(CallContext&, Args& a) { return Regress(a[0], a.size() > 1 ? &a[1] : nullptr, false); }
Value Logest(CallContext&, Args& a) { return Regress(a[0], a.size() > 1 ? &a[1] : nullptr, true); }

// Applies fitted coefficients {c0, c1, ...} to each row of x values.
Value Apply(Args& a, bool growth) {
    Array coef = AsArray(a[0]);
    std::vector<double> c;
    for (const Value& v : coef.items) {
        if (!v.IsNumber()) return Value::Error(ErrorCode::MatrixNotNumeric);
        c.push_back(v.number());
    }
    if (c.empty()) return Value::Error(ErrorCode::MatrixWrongSize);
    Array xa = AsArray(a[1]);
    int m = static_cast<int>(c.size()) - 1;
    // One row of x per estimate; a single column with one coefficient
    // gives one estimate per row.
    if (xa.cols != m) {
        if (xa.rows == m && m > 0) {
            Array t(xa.rows, xa.cols);
            for (int r = 0; r < xa.rows; ++r)
                for (int col = 0; col < xa.cols; ++col) t.at(r, col) = xa.at(col, r);
            xa = std::move(t);
        } else {
            return Value::Error(ErrorCode::MismatchedMatrices);
        }
    }
    Array out(1, xa.rows);
    for (int r = 0; r < xa.rows; ++r) {
        double y = c[0];
        for (int j = 0; j < m; ++j) {
            const Value& v = xa.at(j, r);
            if (!v.IsNumber()) return Value::Error(ErrorCode::MatrixNotNumeric);
            y = growth ? y * std::pow(c[static_cast<std::size_t>(j + 1)], v.number())
                       : y + c[static_cast<std::size_t>(j + 1)] * v.number();
        }
        Value v = NumberResult(y);
        if (v.IsError()) return v;
        out.items[static_cast<std::size_t>(r)] = v;
    }
    if (xa.rows == 1) return out.items[0];
    return Value::MakeArray(std::move(out));
}
Value Trend(CallContext&, Args& a) { return Apply(a, false); }
Value Growth(CallContext&, Args& a) { return Apply(a, true); }

Value ListCount(CallContext&, Args& a) {
    Array in = AsArray(a[0]);
    bool sums = in.cols >= 2;
    std::vector<std::pair<Value, double>> groups;
    std::vector<int> order;
    for (int r = 0; r < in.rows; ++r) {
        const Value& key = in.at(0, r);
        if (key.IsError()) return key;
        if (key.IsBlank()) continue;
        double add = 1;
        if (sums) {
            const Value& v = in.at(1, r);
            if (v.IsError()) return v;
            add = v.IsNumber() ? v.number() : 0;
        }
        auto it =
            std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return SortOrder(g.first, key) == 0; });
        if (it == groups.end()) groups.emplace_back(key, add);
        else it->second += add;
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const auto& x, const auto& y) { return SortOrder(x.first, y.first) < 0; });
    if (groups.empty()) return Value::Error(ErrorCode::ValueNotDefined);
    Array out(2, static_cast<int>(groups.size()));
    for (int r = 0; r < out.rows; ++r) {
        out.at(0, r) = groups[static_cast<std::size_t>(r)].first;
        out.at(1, r) = NumberResult(groups[static_cast<std::size_t>(r)].second);
    }
    return Value::MakeArray(std::move(out));
}

// Ranks from highest (1) to lowest; ties share a rank, or with `average`
// the mean of the places they take.
std::vector<double> Ranks(const std::vector<double>& x, bool average, std::vector<int>* ties) {
    std::vector<double> out(x.size());
    if (ties) ties->assign(x.size(), 0);
    for (std::size_t i = 0; i < x.size(); ++i) {
        int greater = 0, equal = 0;
        for (double v : x) {
            if (v > x[i]) ++greater;
            else if (v == x[i]) ++equal;
        }
        out[i] = 1 + greater + (average ? (equal - 1) / 2.0 : 0.0);
        if (ties) (*ties)[i] = equal;
    }
    return out;
}

Value Rank(CallContext&, Args& a) {
    std::vector<double> x;
    Value e = Numbers({a[0]}, x);
    if (e.IsError()) return e;
    bool spear = false;
    if (a.size() > 1) {
        double f;
        if (!GetNumber(a[1], f, e)) return e;
        spear = f != 0;
    }
    if (x.empty()) return Value::Error(ErrorCode::ValueNotDefined);
    std::vector<int> ties;
    std::vector<double> r = Ranks(x, spear, &ties);
    Array out(2, static_cast<int>(x.size()));
    for (int i = 0; i < out.rows; ++i) {
        out.at(0, i) = Value::Number(r[static_cast<std::size_t>(i)]);
        out.at(1, i) = Value::Number(ties[static_cast<std::size_t>(i)]);
    }
    return Value::MakeArray(std::move(out));
}

// The values of a one-dimensional argument: the first column of a block
// of several rows, else its first row.
Value Series(const Value& v, std::vector<double>& out) {
    Array a = AsArray(v);
    out.clear();
    bool column = a.rows > 1;
    int n = column ? a.rows : a.cols;
    for (int i = 0; i < n; ++i) {
        const Value& x = column ? a.at(0, i) : a.at(i, 0);
        if (x.IsError()) return x;
        if (!x.IsNumber()) return Value::Error(ErrorCode::MatrixNotNumeric);
        out.push_back(x.number());
    }
    return Value();
}

Value Spearman(CallContext&, Args& a) {
    std::vector<double> x, y;
    Value e = Series(a[0], x);
    if (e.IsError()) return e;
    e = Series(a[1], y);
    if (e.IsError()) return e;
    if (x.size() != y.size()) return Value::Error(ErrorCode::MismatchedMatrices);
    double n = static_cast<double>(x.size());
    if (n < 2) return Value::Error(ErrorCode::DivideByZero);
    std::vector<double> rx = Ranks(x, true, nullptr), ry = Ranks(y, true, nullptr);
    double d2 = 0;
    for (std::size_t i = 0; i < rx.size(); ++i) d2 += (rx[i] - ry[i]) * (rx[i] - ry[i]);
    return NumberResult(1 - 6 * d2 / (n * (n * n - 1)));
}

const FunctionSpec kStats[] = {
    {"avg", 1, -1, Avg, kAllArgs, kAllArgs},
    {"beta", 2, 2, Beta},
    {"bin", 2, 2, Bin, kAllArgs},
    {"combin", 2, 2, Combin},
    {"count", 1, -1, Count, kAllArgs, kAllArgs},
    {"counta", 1, -1, CountA, kAllArgs, kAllArgs},
    {"gammaln", 1, 1, GammaLn},
    {"grand", 0, 2, Grand, 0, 0, kVolatile},
    {"growth", 2, 2, Growth, kAllArgs},
    {"linest", 1, 2, Linest, kAllArgs},
    {"listcount", 1, 1, ListCount, kAllArgs},
    {"logest", 1, 2, Logest, kAllArgs},
    {"max", 1, -1, Max, kAllArgs, kAllArgs},
    {"median", 1, -1, Median, kAllArgs},
    {"min", 1, -1, Min, kAllArgs, kAllArgs},
    {"permut", 2, 2, Permut},
    {"rand", 0, 1, Rand, 0, 0, kVolatile},
    {"rank", 1, 2, Rank, Arg(0)},
    {"spearman", 2, 2, Spearman, kAllArgs},
    {"std", 1, -1, Std, kAllArgs},
    {"stdp", 1, -1, StdP, kAllArgs},
    {"trend", 2, 2, Trend, kAllArgs},
    {"var", 1, -1, Var, kAllArgs},
    {"varp", 1, -1, VarP, kAllArgs},
};

}  // namespace

std::span<const FunctionSpec> StatsFunctions() { return kStats; }

}  // namespace tw::formula
