// The function registry: one table per group, and the helpers the
// implementations share for taking their arguments.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formula/value.h"

namespace tw::formula {

// What a function may ask of the sheet while it runs.
class CallContext {
public:
    virtual ~CallContext() = default;
    // The cell whose formula is running (columns and rows from 1).
    virtual int CurrentCol() const = 0;
    virtual int CurrentRow() const = 0;
    // Columns and rows of the sheet.
    virtual int SheetCols() const = 0;
    virtual int SheetRows() const = 0;
    // The contents of a reference: one cell gives its value, a block an
    // array; any other value comes back unchanged.
    virtual Value Deref(const Value& v) = 0;
    // The formula text of a cell ("" for a text or blank cell).
    virtual std::string FormulaText(int col, int row) = 0;
    // For functions flagged kLazy: evaluates argument `index` (from 0).
    // References come back dereferenced.
    virtual Value EvalArg(int index) = 0;
    // The same, as a database condition is evaluated for one record: every
    // block of cells in the argument stands for its one cell `dcol` columns
    // and `drow` rows from its top left corner; single cell references stay.
    virtual Value EvalArgAt(int index, int dcol, int drow) = 0;
    // The number of arguments of the call (for kLazy functions).
    virtual int ArgCount() const = 0;
    // Calls `each` with the value of every cell of `range` that lies within
    // the sheet, row by row, without building an array of them; stops where
    // `each` returns false. The cells past the sheet are blank.
    virtual void ForEachCell(CellRange range, const std::function<bool(const Value&)>& each) = 0;
    // Random numbers in [0, 1); Seed(0) seeds from the clock.
    virtual double Random() = 0;
    virtual void Seed(double seed) = 0;
};

// Arguments arrive evaluated (unless the function is kLazy): references
// dereferenced unless their bit is set in `reference_args`; arrays passed
// whole where their bit is set in `whole_args`, otherwise the function is
// called once per element and the results gathered into an array.
using FunctionImpl = Value (*)(CallContext& ctx, std::vector<Value>& args);

// Bit masks for `whole_args` and `reference_args`.
constexpr std::uint32_t Arg(int index) { return std::uint32_t{1} << index; }
constexpr std::uint32_t kAllArgs = 0xFFFFFFFFu;
// Bit 31 stands for argument 31 and every one after it.

enum FunctionFlags : unsigned {
    kNoFlags = 0,
    kLazy = 1,       // arguments are left to the function, through EvalArg
    kVolatile = 2,   // result differs between runs (RAND, NOW)
    kReadsCell = 4,  // result depends on the cell the formula stands in (COL(), ROW())
};

struct FunctionSpec {
    std::string_view name;  // lower case
    int min_args;
    int max_args;  // -1: no limit
    FunctionImpl impl;
    std::uint32_t whole_args = 0;
    std::uint32_t reference_args = 0;
    unsigned flags = kNoFlags;
};

// The tables of each group.
std::span<const FunctionSpec> MathFunctions();
std::span<const FunctionSpec> TrigFunctions();
std::span<const FunctionSpec> StatsFunctions();
std::span<const FunctionSpec> StringFunctions();
std::span<const FunctionSpec> LookupFunctions();
std::span<const FunctionSpec> MiscFunctions();
std::span<const FunctionSpec> MatrixFunctions();
std::span<const FunctionSpec> ComplexFunctions();
std::span<const FunctionSpec> DateTimeFunctions();
std::span<const FunctionSpec> FinancialFunctions();
std::span<const FunctionSpec> DatabaseFunctions();

// The function of that name (any case), or null.
const FunctionSpec* FindFunction(std::string_view name);

// ---- Helpers for implementations ----

// A scalar argument as a number: a number as it is, a blank as 0.
// Otherwise false, with `error` set: an error value as it is, a string
// "String not expected", a date "Date not expected", an array "Array not
// expected".
bool GetNumber(const Value& v, double& out, Value& error);
// The same, rounded towards zero to an integer within +-2^31.
bool GetInteger(const Value& v, long long& out, Value& error);
// A condition's truth: a number not 0, any date. Otherwise false, with
// `error` set as GetNumber sets it.
bool Truth(const Value& v, bool& out, Value& error);
// A scalar argument as a string: a string as it is, a blank as "".
// A number gives "Number not expected", a date "Date not expected".
bool GetString(const Value& v, std::string& out, Value& error);
// A scalar argument as a date/time; a number gives "Number not expected".
bool GetDate(const Value& v, DateTime& out, Value& error);

// A computed number as a value: infinities and NaN give "Out of range"
// and "FP error".
Value NumberResult(double n);

// Every element of a list of arguments (arrays and blocks element by
// element), in order. Numbers go to `numbers`; strings, dates and blanks
// counted in `others`/`blanks`. An error element stops the walk and is
// returned; otherwise a blank value is returned.
struct ListItems {
    std::vector<double> numbers;
    std::vector<DateTime> dates;
    int strings = 0;
    int blanks = 0;
};
Value CollectList(const std::vector<Value>& args, ListItems& items);
// The same where the arguments may be references (functions that take
// references to every argument): their cells are walked, not copied.
Value CollectList(CallContext& ctx, const std::vector<Value>& args, ListItems& items);

// The value as an array: an array as it is, any scalar as a 1 x 1 array.
Array AsArray(const Value& v);

// `s` with A to Z lowered: names of functions and of ND names are
// matched without regard to case.
std::string Lower(std::string_view s);

}  // namespace tw::formula
