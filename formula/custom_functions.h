// Custom function sheets: documents whose FUNCTION(...) cells define
// functions that formulas of other documents call. Their cells are
// statements, run down the column from the FUNCTION cell until RESULT.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formula/evaluator.h"
#include "formula/parser.h"
#include "formula/value.h"

namespace tw::formula {

// The types a parameter may be declared to take: the words TYPE() gives.
enum ParameterTypes : unsigned {
    kTakesNumber = 1,
    kTakesText = 2,
    kTakesDate = 4,
    kTakesArray = 8,
    kTakesReference = 16,
    kTakesError = 32,
    kTakesUndeclared = kTakesNumber | kTakesText | kTakesDate,
};

struct CustomParameter {
    std::string name;  // lower case, without the "@"
    unsigned types = kTakesUndeclared;
};

// A FUNCTION cell read: the function's name and parameters, and where its
// statements start. `fault` is set when a name or type is not well formed.
struct CustomDefinition {
    std::string name;  // lower case
    std::vector<CustomParameter> params;
    int col = 0, row = 0;  // the FUNCTION cell
    std::optional<ErrorCode> fault;
};

// The definition a parsed formula makes, when it is a FUNCTION(...) call.
std::optional<CustomDefinition> ReadDefinition(const Formula& f, int col, int row);
// Whether a number cell's formula starts a function: a document holding
// one is a custom function sheet.
bool IsFunctionFormula(std::string_view formula);
// The error a call of `name` gives where no custom function of that name
// is at hand: the control statements have their own.
ErrorCode UndefinedCallError(std::string_view name);
// The same for a bare name no definition gives ("endif", "next").
ErrorCode UndefinedNameError(std::string_view name);

// Runs the functions of one custom function sheet. Each call runs on a
// stack of frames of its own, never the C++ stack, so that a function
// calling itself goes as deep as the frame bound however small the
// thread's stack. The sheet's names and the values its statements leave
// in its cells last from one call to the next, as in PipeDream.
class CustomSheet {
public:
    // `sheet` gives the statements as formulas and the sheet's names; it
    // must outlive this. References out of the sheet go through it too.
    explicit CustomSheet(const CellSource& sheet);
    ~CustomSheet();
    CustomSheet(const CustomSheet&) = delete;
    CustomSheet& operator=(const CustomSheet&) = delete;

    // The result of the function `name` (any case) given `args`. An array
    // argument where no parameter takes arrays calls the function once per
    // element. A call that runs past its bounds gives "Stack overflow".
    Value Call(std::string_view name, std::vector<Value> args);
    bool Defines(std::string_view name) const;
    // A cell of the sheet as its statement last left it: before any has
    // run, a constant as itself, a text cell as its text, else blank.
    Value CellValue(int col, int row);
    // SET_VALUE from another document.
    void SetCell(int col, int row, const Value& v);

    // Statements one call may run, and all calls of the document together:
    // a loop that never ends stops at the first, and a sheet of such calls
    // at the second; later calls then fail at once.
    static constexpr long kStepsPerCall = 5'000'000;
    static constexpr long kStepsPerDocument = 200'000'000;
    // Frames one call may stack: calls within calls, recursion included.
    static constexpr int kMaxFrames = 2000;
    void SetStepLimits(long per_call, long per_document);
    void SetFrameLimit(int frames);

    long StepsTaken() const;
    std::size_t DeepestStack() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tw::formula
