// Formula text to a small expression tree.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formula/functions.h"
#include "formula/value.h"

namespace tw::formula {

// One end of a cell reference: column and row from 1, each maybe fixed
// with "$".
struct CellRef {
    int col = 0;
    int row = 0;
    bool abs_col = false;
    bool abs_row = false;
};

enum class Op : unsigned char {
    None,
    Neg,
    Plus,
    Not,  // unary
    Pow,
    Mul,
    Div,
    Add,
    Sub,  // arithmetic
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,  // relational
    And,
    Or,  // short-cut logic
};

struct Node {
    enum class Kind : unsigned char {
        Constant,  // number, string or date in `value`
        Ref,       // cell `a`
        Range,     // block `a` to `b`
        Name,      // `text`, lower case; "@name" is a custom function's parameter
        External,  // kid 0 (a reference, name or call) in the document named `text`
        Unary,     // `op` on kid 0
        Binary,    // kid 0 `op` kid 1
        Call,      // `fn` with the kids as arguments; `text` is the name
        ArrayLit,  // kids row by row, `cols` by `rows`
        Error,     // `value` holds the error
    };
    Kind kind = Kind::Constant;
    Op op = Op::None;
    Value value;
    CellRef a, b;
    std::string text;
    const FunctionSpec* fn = nullptr;
    int first_kid = 0;  // index into Formula::kids
    int kid_count = 0;
    int cols = 0, rows = 0;
};

// A parsed formula: nodes with their children listed in `kids`.
struct Formula {
    std::vector<Node> nodes;
    std::vector<int> kids;
    int root = -1;
    const Node& node(int i) const { return nodes[static_cast<std::size_t>(i)]; }
    int kid(const Node& n, int k) const { return kids[static_cast<std::size_t>(n.first_kid + k)]; }
};

// Deepest nesting of brackets, arrays and operators a formula may have.
inline constexpr int kMaxFormulaDepth = 200;
// Longest formula text read.
inline constexpr std::size_t kMaxFormulaLength = 65536;

// Parses a formula. A mistake gives a formula whose root is an Error node
// ("Mistake in formula", or "Stack overflow" when nested too deep).
Formula ParseFormula(std::string_view text);
// The same into `out`, whose storage is used again.
void ParseFormulaInto(std::string_view text, Formula& out);

// A cell reference at `pos` of `text`: "$"?, one to five letters, "$"?,
// a row from 1 of at most nine digits, not followed by "_". True with the
// reference and the position just past it.
bool MatchCellRef(std::string_view text, std::size_t pos, CellRef& ref, std::size_t& end);
// The column that letters name ("b" or "B" is 2); 0 for anything else.
int ColumnNumber(std::string_view letters);

}  // namespace tw::formula
