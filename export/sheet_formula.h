// PipeDream formulas in the grammars of other spreadsheets: OpenFormula
// (ODS) and the Excel grammar (XLSX).
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "formula/parser.h"

namespace tw {

enum class Dialect { OpenFormula, Excel };

// How one PipeDream function is written in the targets. A template names
// the arguments %1 to %9, all of them joined as %*, and separates them
// with ";" (written as "," in the Excel grammar). An empty template means
// the function has no faithful counterpart there; `why` says so.
struct FunctionRow {
    std::string_view name;  // lower case, as the parser knows it
    int args;               // the argument count the row is for; -1 any
    std::string_view ods;
    std::string_view xlsx;  // empty: the same as `ods`
    std::string_view why = {};
    int range_arg = 0;  // the argument (from 1) that must be a range or an array; 0 none
};

std::span<const FunctionRow> FunctionRows();

// What a formula becomes: the target's formula text without its leading
// "=" (or "of:="), or, when it cannot live there, the reason it is kept
// as a value only.
struct Translation {
    std::string text;
    std::string frozen;  // empty when `text` is live
    bool Live() const { return frozen.empty(); }
};

// Whether a document's name can stand as a named range or expression in
// both targets (not shaped like a cell reference, not a function's name).
bool NameIsDefinable(std::string_view name);

// Translates a parsed formula. `defined` says whether a name the formula
// uses is one the workbook defines.
Translation TranslateFormula(const formula::Formula& f, Dialect dialect,
                             const std::function<bool(std::string_view)>& defined);

// The same from the formula text, with every definable name taken as
// defined (for tests and name definitions).
Translation TranslateFormulaText(std::string_view text, Dialect dialect);

// A cell reference or range in the target's form: "[.$A$1:.B2]" or
// "$A$1:B2"; `absolute` fixes every part, as named ranges need.
std::string ReferenceText(const formula::CellRef& a, const formula::CellRef& b, Dialect dialect, bool absolute = false,
                          std::string_view sheet = {});

}  // namespace tw
