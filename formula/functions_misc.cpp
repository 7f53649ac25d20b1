// Miscellaneous functions.
#include <algorithm>

#include "formula/evaluator.h"
#include "formula/functions.h"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "0"
#endif

namespace tw::formula {

namespace {

using Args = std::vector<Value>;

// IF evaluates only the branch the condition picks; an array condition
// picks element by element.
Value If(CallContext& ctx, Args&) {
    Value c = ctx.EvalArg(0);
    int n = ctx.ArgCount();
    if (c.IsArray()) {
        Value t = ctx.EvalArg(1);
        Value f = n > 2 ? ctx.EvalArg(2) : Value();
        int cols = c.array().cols, rows = c.array().rows;
        for (const Value* v : {&t, &f})
            if (v->IsArray()) cols = std::max(cols, v->array().cols), rows = std::max(rows, v->array().rows);
        Array out(cols, rows);
        for (int r = 0; r < rows; ++r)
            for (int k = 0; k < cols; ++k) {
                Value ce = ExpandedAt(c, k, r, cols, rows);
                bool b;
                Value e;
                out.at(k, r) = !Truth(ce, b, e) ? e : ExpandedAt(b ? t : f, k, r, cols, rows);
            }
        return Value::MakeArray(std::move(out));
    }
    bool b;
    Value e;
    if (!Truth(c, b, e)) return e;
    if (b) return ctx.EvalArg(1);
    return n > 2 ? ctx.EvalArg(2) : Value();
}

Value Deref(CallContext& ctx, Args& a) { return ctx.Deref(a[0]); }

Value Type(CallContext&, Args& a) {
    switch (a[0].type()) {
    case Value::Type::Reference: return Value::String("reference");
    case Value::Type::String: return Value::String("text");
    case Value::Type::Array: return Value::String("array");
    case Value::Type::Error: return Value::String("error");
    case Value::Type::Date: return Value::String("date");
    case Value::Type::Number:
    case Value::Type::Blank: return Value::String("number");
    }
    return Value::String("number");
}

Value Flip(CallContext&, Args& a) {
    Array in = AsArray(a[0]);
    Array out(in.cols, in.rows);
    for (int r = 0; r < in.rows; ++r)
        for (int c = 0; c < in.cols; ++c) out.at(c, r) = in.at(c, in.rows - 1 - r);
    return Value::MakeArray(std::move(out));
}

// SORT(array, column): the rows in ascending order of one column (from 1).
Value Sort(CallContext&, Args& a) {
    Array in = AsArray(a[0]);
    long long col = 1;
    Value e;
    if (a.size() > 1 && !GetInteger(a[1], col, e)) return e;
    if (col < 1 || col > in.cols) return Value::Error(ErrorCode::BadIndex);
    std::vector<int> order(static_cast<std::size_t>(in.rows));
    for (int i = 0; i < in.rows; ++i) order[static_cast<std::size_t>(i)] = i;
    int k = static_cast<int>(col - 1);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) { return SortOrder(in.at(k, x), in.at(k, y)) < 0; });
    Array out(in.cols, in.rows);
    for (int r = 0; r < in.rows; ++r)
        for (int c = 0; c < in.cols; ++c) out.at(c, r) = in.at(c, order[static_cast<std::size_t>(r)]);
    return Value::MakeArray(std::move(out));
}

// SET_NAME and SET_VALUE give the value they set. A document read from a
// file already holds what they last wrote (the target cells are saved
// with their values), so the computation leaves other cells and names as
// the file has them.
Value SetName(CallContext&, Args& a) { return a[1]; }
Value SetValue(CallContext&, Args& a) { return a[1]; }

// ALERT and INPUT ask the user; a document being viewed or converted is
// computed without asking, as though the first button were chosen.
Value FirstButton(CallContext&, Args& a) {
    for (const Value& v : a)
        if (v.IsError()) return v;
    return Value::Number(1);
}

Value Version(CallContext&, Args&) { return Value::String(TARNWICK_VERSION); }

const FunctionSpec kMisc[] = {
    {"alert", 2, 3, FirstButton},
    {"deref", 1, 1, Deref, kAllArgs, Arg(0)},
    {"flip", 1, 1, Flip, kAllArgs},
    {"if", 2, 3, If, 0, 0, kLazy},
    {"input", 3, 4, FirstButton},
    {"set_name", 2, 2, SetName, kAllArgs},
    {"set_value", 2, 2, SetValue, kAllArgs, Arg(0)},
    {"sort", 1, 2, Sort, Arg(0)},
    {"type", 1, 1, Type, kAllArgs, Arg(0)},
    {"version", 0, 0, Version},
};

}  // namespace

std::span<const FunctionSpec> MiscFunctions() { return kMisc; }

}  // namespace tw::formula
