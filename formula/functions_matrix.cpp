// Matrix functions over arrays and blocks of cells.
#include <cmath>
#include <vector>

#include "formula/functions.h"

namespace tw::formula {

namespace {

using Args = std::vector<Value>;

// The numbers of a matrix, row by row; false when any is not a number.
bool Numeric(const Array& a, std::vector<double>& out, Value& e) {
    out.clear();
    for (const Value& v : a.items) {
        if (v.IsError()) {
            e = v;
            return false;
        }
        if (!v.IsNumber()) {
            e = Value::Error(ErrorCode::MatrixNotNumeric);
            return false;
        }
        out.push_back(v.number());
    }
    return true;
}

// Gauss-Jordan elimination with partial pivoting on an n x n matrix;
// `inv` receives the inverse when asked for. Returns the determinant.
double Eliminate(std::vector<double> m, int n, std::vector<double>* inv) {
    auto at = [n](std::vector<double>& v, int r, int c) -> double& { return v[static_cast<std::size_t>(r * n + c)]; };
    std::vector<double> id(static_cast<std::size_t>(n * n), 0.0);
    for (int i = 0; i < n; ++i) at(id, i, i) = 1;
    double det = 1;
    for (int col = 0; col < n; ++col) {
        int piv = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(at(m, r, col)) > std::fabs(at(m, piv, col))) piv = r;
        if (at(m, piv, col) == 0.0) return 0.0;
        if (piv != col) {
            for (int c = 0; c < n; ++c) {
                std::swap(at(m, col, c), at(m, piv, c));
                std::swap(at(id, col, c), at(id, piv, c));
            }
            det = -det;
        }
        double p = at(m, col, col);
        det *= p;
        for (int c = 0; c < n; ++c) {
            at(m, col, c) /= p;
            at(id, col, c) /= p;
        }
        for (int r = 0; r < n; ++r) {
            if (r == col) continue;
            double f = at(m, r, col);
            if (f == 0.0) continue;
            for (int c = 0; c < n; ++c) {
                at(m, r, c) -= f * at(m, col, c);
                at(id, r, c) -= f * at(id, col, c);
            }
        }
    }
    if (inv) *inv = id;
    return det;
}

// Fraction-free elimination: every division is exact for a matrix of
// whole numbers, so their determinant comes out whole.
double Bareiss(std::vector<double> m, int n) {
    auto at = [&m, n](int r, int c) -> double& { return m[static_cast<std::size_t>(r * n + c)]; };
    double sign = 1, prev = 1;
    for (int k = 0; k < n - 1; ++k) {
        if (at(k, k) == 0.0) {
            int swap = -1;
            for (int r = k + 1; r < n && swap < 0; ++r)
                if (at(r, k) != 0.0) swap = r;
            if (swap < 0) return 0.0;
            for (int c = 0; c < n; ++c) std::swap(at(k, c), at(swap, c));
            sign = -sign;
        }
        for (int i = k + 1; i < n; ++i)
            for (int j = k + 1; j < n; ++j) at(i, j) = (at(i, j) * at(k, k) - at(i, k) * at(k, j)) / prev;
        prev = at(k, k);
    }
    return sign * at(n - 1, n - 1);
}

bool AllWhole(const std::vector<double>& x) {
    for (double v : x)
        if (v != std::trunc(v) || std::fabs(v) > 1e6) return false;
    return true;
}

Value Determ(CallContext&, Args& a) {
    Array m = AsArray(a[0]);
    if (m.cols != m.rows || m.cols == 0) return Value::Error(ErrorCode::MatrixWrongSize);
    std::vector<double> x;
    Value e;
    if (!Numeric(m, x, e)) return e;
    if (AllWhole(x) && m.cols <= 8) return NumberResult(Bareiss(x, m.cols));
    return NumberResult(Eliminate(x, m.cols, nullptr));
}

Value Inverse(CallContext&, Args& a) {
    Array m = AsArray(a[0]);
    if (m.cols != m.rows || m.cols == 0) return Value::Error(ErrorCode::MatrixWrongSize);
    std::vector<double> x, inv;
    Value e;
    if (!Numeric(m, x, e)) return e;
    double det = Eliminate(x, m.cols, &inv);
    if (det == 0.0) return Value::Error(ErrorCode::DivideByZero);

    Array out(m.cols, m.rows);
    for (std::size_t i = 0; i < inv.size(); ++i) {
        Value v = NumberResult(inv[i]);
        if (v.IsError()) return v;
        out.items[i] = v;
    }
    return Value::MakeArray(std::move(out));
}

Value Mult(CallContext&, Args& a) {
    Array x = AsArray(a[0]), y = AsArray(a[1]);
    if (x.cols != y.rows) return Value::Error(ErrorCode::MismatchedMatrices);
    std::vector<double> p, q;
    Value e;
    if (!Numeric(x, p, e) || !Numeric(y, q, e)) return e;
    Array out(y.cols, x.rows);
    for (int r = 0; r < x.rows; ++r)
        for (int c = 0; c < y.cols; ++c) {
            double s = 0;
            for (int k = 0; k < x.cols; ++k)
                s += p[static_cast<std::size_t>(r * x.cols + k)] * q[static_cast<std::size_t>(k * y.cols + c)];
            Value v = NumberResult(s);
            if (v.IsError()) return v;
            out.at(c, r) = v;
        }
    if (out.cols == 1 && out.rows == 1) return out.items[0];
    return Value::MakeArray(std::move(out));
}

Value Transpose(CallContext&, Args& a) {
    Array m = AsArray(a[0]);
    Array out(m.rows, m.cols);
    for (int r = 0; r < m.rows; ++r)
        for (int c = 0; c < m.cols; ++c) out.at(r, c) = m.at(c, r);
    return Value::MakeArray(std::move(out));
}

const FunctionSpec kMatrix[] = {
    {"m_determ", 1, 1, Determ, kAllArgs},
    {"m_inverse", 1, 1, Inverse, kAllArgs},
    {"m_mult", 2, 2, Mult, kAllArgs},
    {"transpose", 1, 1, Transpose, kAllArgs},
};

}  // namespace

std::span<const FunctionSpec> MatrixFunctions() { return kMatrix; }

}  // namespace tw::formula
