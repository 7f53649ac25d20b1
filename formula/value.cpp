#include "formula/value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "formula/number_text.h"

namespace tw::formula {

namespace {
constexpr std::string_view kErrorNames[] = {
    "Accuracy lost",
    "Array not expected",
    "Bad complex number",
    "Bad date",
    "Bad identifier",
    "Bad index",
    "Bad logarithm",
    "Bad time",
    "Circular reference",
    "Control function outside custom function",
    "Custom function not defined",
    "Date not expected",
    "Divide by zero",
    "File not loaded",
    "Formula too long",
    "FP error",
    "Irr",
    "Lookup",
    "Matrix not numeric",
    "Matrix wrong size",
    "Mismatched matrices",
    "Mistake in formula",
    "Mixed signs",
    "Name not defined",
    "Negative root",
    "Nested array",
    "No date value",
    "No time value",
    "Number not expected",
    "Out of range",
    "Parameter out of range",
    "Propagated",
    "Range not expected",
    "Cell deleted",
    "Stack overflow",
    "String not expected",
    "Value not defined",
    "Bad cell",
    "Memory full",
    "Bad target for GOTO",
    "Local parameter not declared",
    "More than 1 file loaded",
    "No RESULT in custom function",
    "Wrongly nested IF ELSE ELSEIF ENDIF",
    "Wrongly nested loop",
};
static_assert(std::size(kErrorNames) == static_cast<std::size_t>(ErrorCode::WronglyNestedLoop) + 1);

const std::string kEmpty;
const Array kNoArray;
}  // namespace

std::string_view ErrorName(ErrorCode code) {
    auto i = static_cast<std::size_t>(code);
    return i < std::size(kErrorNames) ? kErrorNames[i] : std::string_view("Mistake in formula");
}

Array::Array(int c, int r) : cols(c), rows(r), items(static_cast<std::size_t>(c) * static_cast<std::size_t>(r)) {}
Value& Array::at(int col, int row) {
    return items[static_cast<std::size_t>(row) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(col)];
}
const Value& Array::at(int col, int row) const {
    return items[static_cast<std::size_t>(row) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(col)];
}

Value Value::Number(double n) {
    Value v;
    v.type_ = Type::Number;
    v.num_ = n;
    return v;
}
Value Value::String(std::string s) {
    Value v;
    v.type_ = Type::String;
    v.ptr_ = std::make_shared<const std::string>(std::move(s));
    return v;
}
Value Value::Date(DateTime d) {
    Value v;
    v.type_ = Type::Date;
    v.date_ = d;
    return v;
}
Value Value::Error(ErrorCode e) {
    Value v;
    v.type_ = Type::Error;
    v.err_ = e;
    return v;
}
Value Value::MakeArray(Array a) {
    Value v;
    v.type_ = Type::Array;
    v.ptr_ = std::make_shared<const Array>(std::move(a));
    return v;
}
Value Value::Reference(CellRange r) {
    Value v;
    v.type_ = Type::Reference;
    v.ref_ = r;
    return v;
}

#ifdef TARNWICK_VALUE_CHECKS
namespace {
const char* TypeName(Value::Type t) {
    switch (t) {
    case Value::Type::Blank: return "blank";
    case Value::Type::Number: return "number";
    case Value::Type::String: return "string";
    case Value::Type::Date: return "date";
    case Value::Type::Error: return "error";
    case Value::Type::Array: return "array";
    case Value::Type::Reference: return "reference";
    }
    return "?";
}
}  // namespace

void Value::WrongKind(const char* accessor) const {
    std::fprintf(stderr, "tarnwick: Value::%s() read from a %s value\n", accessor, TypeName(type_));
    std::abort();
}
#endif

const std::string& Value::text() const {
    Expect(Type::String, "text");
    return type_ == Type::String ? *static_cast<const std::string*>(ptr_.get()) : kEmpty;
}
const Array& Value::array() const {
    Expect(Type::Array, "array");
    return type_ == Type::Array ? *static_cast<const Array*>(ptr_.get()) : kNoArray;
}

bool Value::operator==(const Value& o) const {
    if (type_ != o.type_) return false;
    switch (type_) {
    case Type::Blank: return true;
    case Type::Number: return num_ == o.num_;
    case Type::String: return text() == o.text();
    case Type::Date: return date_ == o.date_;
    case Type::Error: return err_ == o.err_;
    case Type::Reference: return ref_ == o.ref_;
    case Type::Array: {
        const Array& a = array();
        const Array& b = o.array();
        return a.cols == b.cols && a.rows == b.rows && a.items == b.items;
    }
    }
    return false;
}

std::string ColumnName(int col) {
    std::string s;
    while (col > 0) {
        int d = (col - 1) % 26;
        s.insert(s.begin(), static_cast<char>('A' + d));
        col = (col - 1) / 26;
    }
    return s;
}

std::string Describe(const Value& v) {
    switch (v.type()) {
    case Value::Type::Blank: return "blank";
    case Value::Type::Number: return GeneralText(v.number(), 15);
    case Value::Type::String: return "\"" + v.text() + "\"";
    case Value::Type::Date: {
        DateTime d = v.date();
        std::string s = "date(";
        s += d.has_date ? std::to_string(d.days) : "-";
        s += ",";
        s += d.has_time ? std::to_string(d.seconds) : "-";
        return s + ")";
    }
    case Value::Type::Error: return "#" + std::string(ErrorName(v.error()));
    case Value::Type::Reference: {
        CellRange r = v.reference();
        return "ref(" + ColumnName(r.c1) + std::to_string(r.r1) + ColumnName(r.c2) + std::to_string(r.r2) + ")";
    }
    case Value::Type::Array: {
        const Array& a = v.array();
        std::string s = "{";
        for (int r = 0; r < a.rows; ++r) {
            if (r) s += ";";
            for (int c = 0; c < a.cols; ++c) {
                if (c) s += ",";
                s += Describe(a.at(c, r));
            }
        }
        return s + "}";
    }
    }
    return "?";
}

}  // namespace tw::formula
