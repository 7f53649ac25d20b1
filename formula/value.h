// The value of a number cell or of any part of a formula.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formula/dates.h"

// Reading a value as a kind it is not (number() of a string, text() of a
// blank, ...) is a mistake in the caller. Debug and sanitizer builds check
// every read and abort naming the accessor and the kind the value has;
// release builds check nothing.
#if !defined(NDEBUG) || defined(TARNWICK_CHECKED_VALUES)
#define TARNWICK_VALUE_CHECKS 1
#endif

namespace tw::formula {

// The errors a number cell can show. ErrorName gives each its text.
enum class ErrorCode : std::uint8_t {
    AccuracyLost,
    ArrayNotExpected,
    BadComplexNumber,
    BadDate,
    BadIdentifier,
    BadIndex,
    BadLogarithm,
    BadTime,
    CircularReference,
    ControlFunctionOutsideCustomFunction,
    CustomFunctionNotDefined,
    DateNotExpected,
    DivideByZero,
    FileNotLoaded,
    FormulaTooLong,
    FPError,
    Irr,
    Lookup,
    MatrixNotNumeric,
    MatrixWrongSize,
    MismatchedMatrices,
    MistakeInFormula,
    MixedSigns,
    NameNotDefined,
    NegativeRoot,
    NestedArray,
    NoDateValue,
    NoTimeValue,
    NumberNotExpected,
    OutOfRange,
    ParameterOutOfRange,
    Propagated,
    RangeNotExpected,
    CellDeleted,
    StackOverflow,
    StringNotExpected,
    ValueNotDefined,
    BadCell,
    MemoryFull,
    BadGotoTarget,
    LocalParameterNotDeclared,
    MoreThanOneFileLoaded,
    NoResult,
    WronglyNestedIf,
    WronglyNestedLoop,
};

// "Divide by zero", "Circular reference", ...
std::string_view ErrorName(ErrorCode code);

// Dates and times are the DateTime of formula/dates.h.

// A block of cells of the sheet, columns and rows counted from 1,
// corners inclusive. A single cell has c1 == c2 and r1 == r2.
struct CellRange {
    int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
    bool IsCell() const { return c1 == c2 && r1 == r2; }
    int Cols() const { return c2 - c1 + 1; }
    int Rows() const { return r2 - r1 + 1; }
    bool operator==(const CellRange&) const = default;
};

// "A" for 1, "Z" for 26, "AA" for 27.
std::string ColumnName(int col);

class Value;

// A two-dimensional array of values, stored row by row.
struct Array {
    int cols = 0;
    int rows = 0;
    std::vector<Value> items;

    Array() = default;
    Array(int c, int r);
    Value& at(int col, int row);              // 0-based
    const Value& at(int col, int row) const;  // 0-based
};

// A value: blank, number, string, date/time, error, array, or a reference
// to cells (what a cell reference or range evaluates to before a function
// or operator takes its contents).
class Value {
public:
    enum class Type : std::uint8_t { Blank, Number, String, Date, Error, Array, Reference };

    Value() : ref_{} {}
    static Value Number(double n);
    static Value Bool(bool b) { return Number(b ? 1.0 : 0.0); }
    static Value String(std::string s);
    static Value Date(DateTime d);
    static Value Error(ErrorCode e);
    static Value MakeArray(Array a);
    static Value Reference(CellRange r);

    Type type() const { return type_; }
    bool IsBlank() const { return type_ == Type::Blank; }
    bool IsNumber() const { return type_ == Type::Number; }
    bool IsString() const { return type_ == Type::String; }
    bool IsDate() const { return type_ == Type::Date; }
    bool IsError() const { return type_ == Type::Error; }
    bool IsArray() const { return type_ == Type::Array; }
    bool IsReference() const { return type_ == Type::Reference; }

    // Accessors; each is valid only for its own type (checked in debug
    // and sanitizer builds, see TARNWICK_VALUE_CHECKS).
    double number() const {
        Expect(Type::Number, "number");
        return num_;
    }
    const std::string& text() const;
    DateTime date() const {
        Expect(Type::Date, "date");
        return date_;
    }
    ErrorCode error() const {
        Expect(Type::Error, "error");
        return err_;
    }
    const Array& array() const;
    CellRange reference() const {
        Expect(Type::Reference, "reference");
        return ref_;
    }

    // Exact equality of type and content (for tests and caching).
    bool operator==(const Value& other) const;

private:
#ifdef TARNWICK_VALUE_CHECKS
    void Expect(Type wanted, const char* accessor) const {
        if (type_ != wanted) WrongKind(accessor);
    }
    [[noreturn]] void WrongKind(const char* accessor) const;
#else
    void Expect(Type, const char*) const {}
#endif

    Type type_ = Type::Blank;
    ErrorCode err_ = ErrorCode::MistakeInFormula;
    double num_ = 0.0;
    union {
        DateTime date_;
        CellRange ref_;
    };
    std::shared_ptr<const void> ptr_;  // the string or the array
};

// A readable form of a value for test failure messages: 3.5, "abc",
// date(day,seconds), #Divide by zero, {1,2;3,4}, ref(A1B2).
std::string Describe(const Value& v);

}  // namespace tw::formula
