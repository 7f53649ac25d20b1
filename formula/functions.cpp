#include "formula/functions.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

namespace tw::formula {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

namespace {

const std::unordered_map<std::string, const FunctionSpec*>& Registry() {
    static const auto* table = [] {
        auto* m = new std::unordered_map<std::string, const FunctionSpec*>;
        auto add = [m](std::span<const FunctionSpec> group) {
            for (const FunctionSpec& f : group) m->emplace(std::string(f.name), &f);
        };
        add(MathFunctions());
        add(TrigFunctions());
        add(StatsFunctions());
        add(StringFunctions());
        add(LookupFunctions());
        add(MiscFunctions());
        add(MatrixFunctions());
        add(ComplexFunctions());
        add(DateTimeFunctions());
        add(FinancialFunctions());
        add(DatabaseFunctions());
        return m;
    }();
    return *table;
}

}  // namespace

const FunctionSpec* FindFunction(std::string_view name) {
    const auto& reg = Registry();
    auto it = reg.find(Lower(name));
    return it == reg.end() ? nullptr : it->second;
}

bool GetNumber(const Value& v, double& out, Value& error) {
    switch (v.type()) {
    case Value::Type::Number: out = v.number(); return true;
    case Value::Type::Blank: out = 0.0; return true;
    case Value::Type::Error: error = v; return false;
    case Value::Type::String: error = Value::Error(ErrorCode::StringNotExpected); return false;
    case Value::Type::Date: error = Value::Error(ErrorCode::DateNotExpected); return false;
    case Value::Type::Array: error = Value::Error(ErrorCode::ArrayNotExpected); return false;
    case Value::Type::Reference: error = Value::Error(ErrorCode::RangeNotExpected); return false;
    }
    return false;
}

bool Truth(const Value& v, bool& out, Value& error) {
    if (v.IsDate()) {
        out = true;
        return true;
    }
    double d;
    if (!GetNumber(v, d, error)) return false;
    out = d != 0.0;
    return true;
}

bool GetInteger(const Value& v, long long& out, Value& error) {
    double d;
    if (!GetNumber(v, d, error)) return false;
    if (!std::isfinite(d) || std::fabs(d) > 2147483647.0) {
        error = Value::Error(ErrorCode::OutOfRange);
        return false;
    }
    out = static_cast<long long>(std::trunc(d));
    return true;
}

bool GetString(const Value& v, std::string& out, Value& error) {
    switch (v.type()) {
    case Value::Type::String: out = v.text(); return true;
    case Value::Type::Blank: out.clear(); return true;
    case Value::Type::Error: error = v; return false;
    case Value::Type::Number: error = Value::Error(ErrorCode::NumberNotExpected); return false;
    case Value::Type::Date: error = Value::Error(ErrorCode::DateNotExpected); return false;
    case Value::Type::Array: error = Value::Error(ErrorCode::ArrayNotExpected); return false;
    case Value::Type::Reference: error = Value::Error(ErrorCode::RangeNotExpected); return false;
    }
    return false;
}

bool GetDate(const Value& v, DateTime& out, Value& error) {
    switch (v.type()) {
    case Value::Type::Date: out = v.date(); return true;
    case Value::Type::Error: error = v; return false;
    case Value::Type::Number: error = Value::Error(ErrorCode::NumberNotExpected); return false;
    case Value::Type::String: error = Value::Error(ErrorCode::StringNotExpected); return false;
    case Value::Type::Blank: error = Value::Error(ErrorCode::BadDate); return false;
    case Value::Type::Array: error = Value::Error(ErrorCode::ArrayNotExpected); return false;
    case Value::Type::Reference: error = Value::Error(ErrorCode::RangeNotExpected); return false;
    }
    return false;
}

Value NumberResult(double n) {
    if (std::isnan(n)) return Value::Error(ErrorCode::FPError);
    if (std::isinf(n)) return Value::Error(ErrorCode::OutOfRange);
    if (n == 0.0) n = 0.0;  // no negative zero
    return Value::Number(n);
}

namespace {
Value CollectOne(const Value& v, ListItems& items, CallContext* ctx = nullptr) {
    switch (v.type()) {
    case Value::Type::Number: items.numbers.push_back(v.number()); break;
    case Value::Type::Date: items.dates.push_back(v.date()); break;
    case Value::Type::String: ++items.strings; break;
    case Value::Type::Blank: ++items.blanks; break;
    case Value::Type::Error: return v;
    case Value::Type::Reference: {
        if (!ctx) return Value::Error(ErrorCode::RangeNotExpected);
        Value error;
        ctx->ForEachCell(v.reference(), [&](const Value& cell) {
            error = CollectOne(cell, items);
            return !error.IsError();
        });
        return error;
    }
    case Value::Type::Array:
        for (const Value& e : v.array().items) {
            Value r = CollectOne(e, items);
            if (r.IsError()) return r;
        }
        break;
    }
    return Value();
}
}  // namespace

Value CollectList(const std::vector<Value>& args, ListItems& items) {
    for (const Value& a : args) {
        Value r = CollectOne(a, items);
        if (r.IsError()) return r;
    }
    return Value();
}

Value CollectList(CallContext& ctx, const std::vector<Value>& args, ListItems& items) {
    for (const Value& a : args) {
        Value r = CollectOne(a, items, &ctx);
        if (r.IsError()) return r;
    }
    return Value();
}

Array AsArray(const Value& v) {
    if (v.IsArray()) return v.array();
    Array a(1, 1);
    a.items[0] = v;
    return a;
}

}  // namespace tw::formula
