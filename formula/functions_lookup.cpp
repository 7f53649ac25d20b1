// Lookup and reference functions.
#include <algorithm>
#include <cmath>

#include "formula/evaluator.h"
#include "formula/functions.h"

namespace tw::formula {

namespace {

using Args = std::vector<Value>;

Value Choose(CallContext&, Args& a) {
    long long n;
    Value e;
    if (a[0].IsArray()) {
        const Array& arr = a[0].array();
        if (arr.items.empty()) return Value::Error(ErrorCode::BadIndex);
        if (!GetInteger(arr.items[0], n, e)) return e;
    } else if (!GetInteger(a[0], n, e)) {
        return e.IsError() && e.error() != ErrorCode::Propagated ? Value::Error(ErrorCode::BadIndex) : e;
    }
    // Every element of the list counts, blanks and all.
    long long i = 0;
    for (std::size_t k = 1; k < a.size(); ++k) {
        if (a[k].IsArray()) {
            for (const Value& v : a[k].array().items)
                if (++i == n) return v;
        } else if (++i == n) {
            return a[k];
        }
    }
    return Value::Error(ErrorCode::BadIndex);
}

Value ColOrRow(CallContext& ctx, Args& a, bool col) {
    if (a.empty()) return Value::Number(col ? ctx.CurrentCol() : ctx.CurrentRow());
    if (!a[0].IsReference()) return a[0].IsError() ? a[0] : Value::Error(ErrorCode::ParameterOutOfRange);
    CellRange r = a[0].reference();
    return Value::Number(col ? r.c1 : r.r1);
}
Value Col(CallContext& ctx, Args& a) { return ColOrRow(ctx, a, true); }
Value Row(CallContext& ctx, Args& a) { return ColOrRow(ctx, a, false); }

Value Size(CallContext& ctx, Args& a, bool cols) {
    if (a.empty()) return Value::Number(cols ? ctx.SheetCols() : ctx.SheetRows());
    const Value& v = a[0];
    if (v.IsReference()) return Value::Number(cols ? v.reference().Cols() : v.reference().Rows());
    if (v.IsArray()) return Value::Number(cols ? v.array().cols : v.array().rows);
    if (v.IsError()) return v;
    return Value::Number(1);
}
Value Cols(CallContext& ctx, Args& a) { return Size(ctx, a, true); }
Value Rows(CallContext& ctx, Args& a) { return Size(ctx, a, false); }

// The part of a dimension INDEX takes: from `start` (1-based), `size` long.
struct Span {
    long long start = 0, size = 1;

    // A zero start takes the whole dimension, a zero size the rest of it.
    void Resolve(int whole) {
        if (start == 0) start = 1, size = whole;
        if (size == 0) size = whole - start + 1;
    }
    bool Fits(int whole) const { return start <= whole && size >= 1 && start - 1 + size <= whole; }
};

// Reads INDEX's col, row and optional sizes; false when one is not a
// whole number or is negative.
bool ReadSpans(const Args& a, Span& cols, Span& rows) {
    Value e;
    if (!GetInteger(a[1], cols.start, e) || !GetInteger(a[2], rows.start, e)) return false;
    if (a.size() > 3 && !GetInteger(a[3], cols.size, e)) return false;
    if (a.size() > 4 && !GetInteger(a[4], rows.size, e)) return false;
    return cols.start >= 0 && rows.start >= 0 && cols.size >= 0 && rows.size >= 0;
}

// INDEX(array, col, row {, cols, rows}): a zero col or row takes them all,
// a zero size the rest.
Value Index(CallContext&, Args& a) {
    Array arr = AsArray(a[0]);
    Span cs, rs;
    if (!ReadSpans(a, cs, rs)) return Value::Error(ErrorCode::BadIndex);
    cs.Resolve(arr.cols);
    rs.Resolve(arr.rows);
    if (!cs.Fits(arr.cols) || !rs.Fits(arr.rows)) return Value::Error(ErrorCode::BadIndex);
    long long c = cs.start, r = rs.start, nc = cs.size, nr = rs.size;
    if (nc == 1 && nr == 1) return arr.at(static_cast<int>(c - 1), static_cast<int>(r - 1));
    Array out(static_cast<int>(nc), static_cast<int>(nr));
    for (int y = 0; y < nr; ++y)
        for (int x = 0; x < nc; ++x) out.at(x, y) = arr.at(static_cast<int>(c - 1 + x), static_cast<int>(r - 1 + y));
    return Value::MakeArray(std::move(out));
}

// -1, 0 or 1 for a value against the key; `exact` compares strings with
// the key's wildcards. Values of another type than the key never match.
bool SameKind(const Value& v, const Value& key) {
    if (key.IsNumber()) return v.IsNumber();
    if (key.IsDate()) return v.IsDate();
    if (key.IsString()) return v.IsString();
    return false;
}
int Cmp(const Value& v, const Value& key) {
    if (v.IsString()) return CompareText(v.text(), key.text());
    double x = v.IsDate() ? v.date().Serial() : v.number();
    double y = key.IsDate() ? key.date().Serial() : key.number();
    return x < y ? -1 : (x > y ? 1 : 0);
}
bool Matches(const Value& v, const Value& key) {
    if (!SameKind(v, key)) return false;
    if (v.IsString()) return WildcardMatch(v.text(), key.text());
    return Cmp(v, key) == 0;
}

// Position of the key in a list of values: exact (type 0), the largest
// not above it (1) or the smallest not below it (-1). -1 when none.
long long Find(const std::vector<Value>& list, const Value& key, int type) {
    long long best = -1;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Value& v = list[i];
        if (Matches(v, key)) return static_cast<long long>(i);
        if (type == 0 || !SameKind(v, key)) continue;
        int c = Cmp(v, key);
        if (type > 0 && c < 0 && (best < 0 || Cmp(v, list[static_cast<std::size_t>(best)]) > 0))
            best = static_cast<long long>(i);
        if (type < 0 && c > 0 && (best < 0 || Cmp(v, list[static_cast<std::size_t>(best)]) < 0))
            best = static_cast<long long>(i);
    }
    return best;
}

std::vector<Value> Elements(const Value& v) { return AsArray(v).items; }

Value Key(const Value& k) {
    if (k.IsBlank()) return Value::Number(0);
    return k;
}

Value Lookup(CallContext&, Args& a) {
    if (a[0].IsError()) return a[0];
    Value key = Key(a[0]);
    std::vector<Value> in = Elements(a[1]), out = Elements(a[2]);
    long long i = Find(in, key, 0);
    if (i < 0 || static_cast<std::size_t>(i) >= out.size()) return Value::Error(ErrorCode::Lookup);
    return out[static_cast<std::size_t>(i)];
}

// VLOOKUP and HLOOKUP read the answer from the cells `offset` columns to
// the right of (or rows below) the matched one, inside the block or not.
Value OffsetLookup(CallContext& ctx, Args& a, bool vertical) {
    if (a[0].IsError()) return a[0];
    if (!a[1].IsReference()) return a[1].IsError() ? a[1] : Value::Error(ErrorCode::Lookup);
    long long offset;
    Value e;
    if (!GetInteger(a[2], offset, e)) return e;
    CellRange rg = a[1].reference();
    // The first column (or row) of the block is searched.
    CellRange keys = vertical ? CellRange{rg.c1, rg.r1, rg.c1, rg.r2} : CellRange{rg.c1, rg.r1, rg.c2, rg.r1};
    std::vector<Value> list = Elements(ctx.Deref(Value::Reference(keys)));
    for (const Value& v : list)
        if (v.IsError()) return v;
    long long i = Find(list, Key(a[0]), 1);
    if (i < 0) return Value::Error(ErrorCode::Lookup);
    long long c = vertical ? rg.c1 + offset : rg.c1 + i;
    long long r = vertical ? rg.r1 + i : rg.r1 + offset;
    if (c < 1 || r < 1 || c > 0x7FFFFFFF || r > 0x7FFFFFFF) return Value::Error(ErrorCode::BadIndex);
    return ctx.Deref(
        Value::Reference({static_cast<int>(c), static_cast<int>(r), static_cast<int>(c), static_cast<int>(r)}));
}
Value VLookup(CallContext& ctx, Args& a) { return OffsetLookup(ctx, a, true); }
Value HLookup(CallContext& ctx, Args& a) { return OffsetLookup(ctx, a, false); }

// MATCH gives the matched cell of a block, or the place in an array.
Value Match(CallContext& ctx, Args& a) {
    Value key = Key(ctx.Deref(a[0]));
    if (key.IsError()) return key;
    long long type = 1;
    Value e;
    if (a.size() > 2) {
        Value t = ctx.Deref(a[2]);
        if (!GetInteger(t, type, e)) return e;
    }
    Value where = a[1];
    std::vector<Value> list = Elements(ctx.Deref(where));
    long long i = Find(list, key, type > 0 ? 1 : (type < 0 ? -1 : 0));
    if (i < 0) return Value::Error(ErrorCode::Lookup);
    if (where.IsReference()) {
        CellRange rg = where.reference();
        int w = rg.Cols();
        int c = rg.c1 + static_cast<int>(i % w), r = rg.r1 + static_cast<int>(i / w);
        return Value::Reference({c, r, c, r});
    }
    return Value::Number(static_cast<double>(i + 1));
}

const FunctionSpec kLookup[] = {
    {"choose", 2, -1, Choose, kAllArgs},
    {"col", 0, 1, Col, 0, Arg(0), kReadsCell},
    {"cols", 0, 1, Cols, kAllArgs, Arg(0)},
    {"hlookup", 3, 3, HLookup, Arg(1), Arg(1)},
    {"index", 3, 5, Index, Arg(0)},
    {"lookup", 3, 3, Lookup, Arg(1) | Arg(2)},
    {"match", 2, 3, Match, kAllArgs, kAllArgs},
    {"row", 0, 1, Row, 0, Arg(0), kReadsCell},
    {"rows", 0, 1, Rows, kAllArgs, Arg(0)},
    {"vlookup", 3, 3, VLookup, Arg(1), Arg(1)},
};

}  // namespace

std::span<const FunctionSpec> LookupFunctions() { return kLookup; }

}  // namespace tw::formula
