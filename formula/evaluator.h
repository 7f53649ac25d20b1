// Computes number cells: lazily, each cell once, in dependency order.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formula/functions.h"
#include "formula/parser.h"
#include "formula/shared_formulas.h"
#include "formula/value.h"

namespace tw::formula {

// What a cell holds, as the evaluator sees it.
struct CellInput {
    enum class Kind : unsigned char { Blank, Text, Formula };
    Kind kind = Kind::Blank;
    std::string text;  // the text a text cell shows, or a number cell's formula
};

class Evaluator;

// What the evaluators of documents computed together share: which of them
// asked another for a cell, and for which of its own, while a computation
// reaches into other documents. It bounds how deep they reach, gives the
// document asked first (whose engine answers for it), and lets a cycle of
// cells through several documents be marked in each of them.
struct Linkage {
    struct Ask {
        Evaluator* asker;
        std::int64_t cell;  // the asker's cell being computed; -1 for a name
    };
    std::vector<Ask> asks;
    // Documents asked within one another at once; a reference past this
    // gives "Stack overflow" rather than going deeper.
    static constexpr std::size_t kMaxDepth = 100;
};

// The sheet the evaluator reads: cells by column and row (from 1), and
// the names the document defines.
class CellSource {
public:
    virtual ~CellSource() = default;
    virtual int Cols() const = 0;
    virtual int Rows() const = 0;
    virtual CellInput Cell(int col, int row) const = 0;
    // What a name (lower case) refers to, as formula text; nothing when the
    // document does not define it.
    virtual std::optional<std::string> NameDefinition(std::string_view name) const {
        (void)name;
        return std::nullopt;
    }
    // References into other documents and calls of custom functions, for
    // whatever holds the documents loaded with this one. `doc` is the name
    // in brackets as written. A block comes back as an array, one cell as
    // its value (an error in it as "Propagated"). Without other documents
    // every one gives "File not loaded".
    virtual Value ExternalCells(std::string_view doc, CellRange range) const;
    virtual Value ExternalName(std::string_view doc, std::string_view name) const;
    // Calls the custom function `name` with its arguments computed: one of
    // the custom function sheet `doc`, or with `doc` empty a function the
    // formula names that is not built in.
    virtual Value CallFunction(std::string_view doc, std::string_view name, std::vector<Value>& args) const;
    // SET_VALUE aimed at cells of another document: the value it gives.
    virtual Value SetExternalCells(std::string_view doc, CellRange range, const Value& v) const;
    // What this document shares with the documents loaded with it; null
    // when there are none.
    virtual Linkage* Links() const { return nullptr; }
};

class Evaluator final : public CallContext {
public:
    explicit Evaluator(const CellSource& source);
    ~Evaluator() override;
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    // The value of a cell, computing it and what it needs the first time:
    // blank, a text cell's string, or a number cell's result (never a
    // reference). Cells outside the sheet are blank. A caller that has
    // just read the cell's input from the source may hand it over in
    // `read`, so that it is not read again.
    Value CellValue(int col, int row, CellInput* read = nullptr);

    // Evaluates a formula as though it stood in cell (col, row), which
    // itself is not recorded.
    Value EvaluateFormula(std::string_view text, int col, int row);

    // CellValue and EvaluateFormula may be asked while a computation is
    // under way, by a document this one refers to: the cell is then
    // computed on top of the work under way, with the same check for
    // cycles. A cell that is itself under way closes a cycle through the
    // documents: its cells show "Circular reference", each in its own.

    // SET_VALUE from another document: a blank, text or constant cell
    // takes `v`; a cell with a formula keeps it. False when it kept it.
    bool SetValue(int col, int row, const Value& v);

    // The value of a cell when it is at hand without computing formulas
    // (a text or blank cell, a plain number, a cell computed before);
    // nothing otherwise.
    std::optional<Value> ValueIfComputed(int col, int row);
    // Computes towards cell (col, row) until it is done or the clock
    // passes `deadline`; true when it is done. Work left when the deadline
    // passes is kept and goes on at the next call for the same cell, so a
    // window can compute in slices between its events. Asking for another
    // cell, or for any value outright, drops what was left.
    bool ComputeUntil(int col, int row, std::chrono::steady_clock::time_point deadline);

    // Text and array results of the document's cells together hold no more
    // than this many bytes; a cell past it shows "Memory full" while the
    // rest of the sheet computes.
    void SetResultMemoryLimit(std::size_t bytes) { result_limit_ = bytes; }
    static constexpr std::size_t kResultMemoryLimit = std::size_t{64} << 20;
    // Names evaluated afresh (not from a name's kept value) in the whole
    // document before a name gives "Stack overflow".
    static constexpr long kNameBudget = 10000000;
    void SetNameBudget(long evaluations) { name_budget_ = evaluations; }

    // Number cells whose formulas have been computed so far.
    std::size_t FormulasComputed() const { return formulas_computed_; }
    // The most cells that were ever waiting to be computed at once.
    std::size_t StackPeak() const { return stack_peak_; }

    // CallContext
    int CurrentCol() const override { return cur_col_; }
    int CurrentRow() const override { return cur_row_; }
    int SheetCols() const override { return cols_; }
    int SheetRows() const override { return rows_; }
    Value Deref(const Value& v) override;
    std::string FormulaText(int col, int row) override;
    Value EvalArg(int index) override;
    Value EvalArgAt(int index, int dcol, int drow) override;
    void ForEachCell(CellRange range, const std::function<bool(const Value&)>& each) override;
    int ArgCount() const override;
    double Random() override;
    void Seed(double seed) override;

private:
    struct Chunk;
    struct Level;
    class Nested;
    class Asking;
    struct Frame {
        const Formula* formula;
        int node;
    };
    enum State : std::uint8_t { kUnvisited = 0, kPending = 1, kInProgress = 2, kDone = 3 };

    const CellSource& source_;
    int cols_;
    int rows_;
    // Per column, chunks of rows: state and result of each cell touched.
    std::vector<std::vector<std::unique_ptr<Chunk>>> chunks_;
    std::vector<Value> others_;  // results that are not plain numbers
    // Cells waiting to be computed, each with the cell that asked for it.
    struct Pending {
        std::int64_t id;
        std::int64_t parent;
    };
    std::vector<Pending> stack_;
    std::size_t compacted_size_ = 0;  // the stack's size after its last compaction
    std::size_t stack_peak_ = 0;
    std::int64_t known_id_ = -1;  // a cell whose input is already in known_input_
    CellInput known_input_;
    bool suspended_ = false;  // ComputeUntil left work on the stack
    std::int64_t suspended_target_ = -1;
    std::vector<std::int64_t> missing_;
    struct NameEntry {
        std::unique_ptr<Formula> formula;  // null when the document does not define the name
        bool keepable = false;             // the same value wherever it is used
        std::optional<Value> kept;
    };
    std::unordered_map<std::string, NameEntry> names_;
    // The formula of the cell being computed, parsed once for all cells
    // of the same shape.
    std::unique_ptr<SharedFormulas> shared_ = std::make_unique<SharedFormulas>();
    // Computations under way, the outer ones waiting on another document
    // that refers back to this one; the stack of the innermost starts here.
    int active_ = 0;
    std::size_t level_base_ = 0;
    std::vector<Frame> frames_;
    std::size_t result_bytes_ = 0;
    std::size_t result_limit_ = kResultMemoryLimit;
    std::size_t formulas_computed_ = 0;
    int cur_col_ = 0, cur_row_ = 0;
    std::int64_t cur_cell_ = -1;
    bool offset_mode_ = false;
    int off_col_ = 0, off_row_ = 0;
    int name_depth_ = 0;
    long name_budget_ = kNameBudget;             // name evaluations left for the document
    std::vector<const Formula*> scanned_names_;  // names already pre-scanned for this cell
    std::uint64_t rng_;

    std::int64_t Id(int col, int row) const {
        return (static_cast<std::int64_t>(col) << 32) | static_cast<std::uint32_t>(row);
    }
    static int ColOf(std::int64_t id) { return static_cast<int>(id >> 32); }
    static int RowOf(std::int64_t id) { return static_cast<int>(id & 0xFFFFFFFF); }
    bool InSheet(int col, int row) const { return col >= 1 && col <= cols_ && row >= 1 && row <= rows_; }

    State GetState(int col, int row) const;
    void SetState(int col, int row, State s);
    Value Stored(int col, int row) const;
    void Store(int col, int row, const Value& v);

    void Compute(std::int64_t id);
    // The loop of Compute and ComputeUntil: runs the stack down to `base`,
    // or until `deadline` passes when one is given; true when it got there.
    bool RunStack(std::size_t base, const std::chrono::steady_clock::time_point* deadline);
    // Forgets the cells waiting on a stack that ComputeUntil left.
    void AbandonStack();
    void CompactStack();
    void PreScan(const Formula& f, int node, int depth);
    void PushIfNeeded(int col, int row, std::int64_t parent, const CellInput* known = nullptr);
    void ResetForFormula();
    bool Keepable(const Formula& f, int depth);
    // Marks the cells from `from` back along the cells that asked for them,
    // up to `to` (true) or to the first cell of the innermost computation.
    bool MarkCycle(std::int64_t from, std::int64_t to);
    void MarkCycleThrough(std::int64_t from, std::int64_t to);
    void SwapLevel(Level& level);
    // Ends the formula being computed when its cell was marked, as part of
    // a cycle through other documents, while it waited on one of them.
    void AbortIfMarked();
    Value ReadCell(int col, int row);

    Value Eval(const Formula& f, int node);
    Value EvalDeref(const Formula& f, int node) { return Deref(Eval(f, node)); }
    Value EvalName(const std::string& name);
    NameEntry& NameOf(const std::string& name, int depth = 0);
    const Formula* NameFormula(const std::string& name) { return NameOf(name).formula.get(); }
    Value EvalCall(const Formula& f, const Node& n);
    // A reference, name or call into another document, and a call of a
    // function that is not built in: both left to the source.
    Value EvalExternal(const Formula& f, const Node& n);
    Value EvalOtherCall(const Formula& f, const Node& n, std::string_view doc);
    // SET_VALUE whose target is a reference into another document.
    Value SetOutside(const Formula& f, const Node& n);
    Value EvalArray(const Formula& f, const Node& n);
};

// Applies an operator to two values (not references), array by array as
// the language lifts them.
Value ApplyBinary(Op op, const Value& a, const Value& b);
Value ApplyUnary(Op op, const Value& a);

// String comparison with the wildcards "^?" (one character, not a blank),
// "^#" (any run of characters) and "^^" (a caret) in `pattern`; letters
// compare without regard to case.
bool WildcardMatch(std::string_view text, std::string_view pattern);
// Case-blind ordering of two strings: <0, 0, >0.
int CompareText(std::string_view a, std::string_view b);
// Where values of different types come in an order: numbers, dates,
// strings, then errors, arrays and references, blanks last.
int TypeOrder(const Value& v);
// The order of sorting and counting: by TypeOrder, then numbers and dates
// by value and strings without regard to case; <0, 0, >0.
int SortOrder(const Value& a, const Value& b);

// An element of `a` as seen from an array of `cols` x `rows` it is
// expanded to: a single value everywhere, the last column or row repeated
// where the other size agrees, "Value not defined" elsewhere.
Value ExpandedAt(const Value& a, int col, int row, int cols, int rows);

// SET_VALUE's spread of `v` over the block `target`, cut to a sheet of
// `cols` x `rows`: `set` gets each cell with its element as ExpandedAt
// gives it.
void SpreadOver(CellRange target, int cols, int rows, const Value& v,
                const std::function<void(int, int, const Value&)>& set);

// Calls `fn` with `args` (evaluated, references taken where `fn` takes
// them): once, or, where an argument it takes as a single value is an
// array, once per element, the results making an array.
Value CallLifted(const FunctionSpec& fn, CallContext& ctx, std::vector<Value>& args);

}  // namespace tw::formula
