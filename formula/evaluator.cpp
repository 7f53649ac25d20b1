#include "formula/evaluator.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <tuple>
#include <unordered_set>

#include "formula/custom_functions.h"

namespace tw::formula {

namespace {

constexpr int kChunkShift = 12;
constexpr int kChunkRows = 1 << kChunkShift;
constexpr std::uint32_t kNumberTag = 0xFFFFFFFFu;
constexpr int kMaxNameDepth = 32;

// Thrown when a formula reads a number cell not yet computed; the cells
// it needs are in `missing_`, and the formula runs again once they are.
struct NeedCells {};
// Thrown when a formula reads a cell whose computation is under way.
struct CycleFound {};

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// A cell's result: a reference left over is a mistake.
Value Finished(Value v) {
    if (v.IsReference()) return Value::Error(ErrorCode::RangeNotExpected);
    return v;
}

// A formula that is just a number ("12", "-3.5"), read without the
// parser: most number cells of a large sheet are such constants.
bool PlainNumber(std::string_view t, double& out) {
    std::size_t i = 0, digits = 0;
    if (i < t.size() && t[i] == '-') ++i;
    std::size_t start = i;
    bool point = false;
    for (; i < t.size(); ++i) {
        char c = t[i];
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0 || digits > 15) return false;
    // Leave "1.2.3"-like dates and anything odd to the parser.
    auto r = std::from_chars(t.data() + start, t.data() + t.size(), out);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
    if (t[0] == '-') out = -out;
    if (out == 0.0) out = 0.0;
    return true;
}

}  // namespace

struct Evaluator::Chunk {
    std::uint8_t state[kChunkRows] = {};
    std::uint32_t tag[kChunkRows] = {};
    double num[kChunkRows] = {};
};

Evaluator::Evaluator(const CellSource& source)
    : source_(source),
      cols_(std::max(0, source.Cols())),
      rows_(std::max(0, source.Rows())),
      chunks_(static_cast<std::size_t>(cols_) + 1),
      rng_(0x9E3779B97F4A7C15ull) {
    others_.push_back(Value());
}

Evaluator::~Evaluator() = default;

Evaluator::State Evaluator::GetState(int col, int row) const {
    const auto& cv = chunks_[static_cast<std::size_t>(col)];
    std::size_t ci = static_cast<std::size_t>((row - 1) >> kChunkShift);
    if (ci >= cv.size() || !cv[ci]) return kUnvisited;
    return static_cast<State>(cv[ci]->state[(row - 1) & (kChunkRows - 1)]);
}

void Evaluator::SetState(int col, int row, State s) {
    auto& cv = chunks_[static_cast<std::size_t>(col)];
    std::size_t ci = static_cast<std::size_t>((row - 1) >> kChunkShift);
    if (ci >= cv.size()) cv.resize(ci + 1);
    if (!cv[ci]) cv[ci] = std::make_unique<Chunk>();
    cv[ci]->state[(row - 1) & (kChunkRows - 1)] = s;
}

Value Evaluator::Stored(int col, int row) const {
    const Chunk& ch = *chunks_[static_cast<std::size_t>(col)][static_cast<std::size_t>((row - 1) >> kChunkShift)];
    int i = (row - 1) & (kChunkRows - 1);
    if (ch.tag[i] == kNumberTag) return Value::Number(ch.num[i]);
    return others_[ch.tag[i]];
}

namespace {

// Bytes a text or array result keeps beyond its Value.
std::size_t HeldBytes(const Value& v) {
    if (v.IsString()) return v.text().size();
    if (!v.IsArray()) return 0;
    std::size_t n = v.array().items.size() * sizeof(Value);
    for (const Value& e : v.array().items) n += HeldBytes(e);
    return n;
}

}  // namespace

void Evaluator::Store(int col, int row, const Value& v) {
    SetState(col, row, kDone);
    Chunk& ch = *chunks_[static_cast<std::size_t>(col)][static_cast<std::size_t>((row - 1) >> kChunkShift)];
    int i = (row - 1) & (kChunkRows - 1);
    if (v.IsNumber()) {
        ch.tag[i] = kNumberTag;
        ch.num[i] = v.number();
    } else if (v.IsBlank()) {
        ch.tag[i] = 0;
    } else {
        std::size_t bytes = HeldBytes(v);
        ch.tag[i] = static_cast<std::uint32_t>(others_.size());
        if (bytes > result_limit_ - std::min(result_bytes_, result_limit_)) {
            others_.push_back(Value::Error(ErrorCode::MemoryFull));
        } else {
            result_bytes_ += bytes;
            others_.push_back(v);
        }
    }
}

// The state of the formula being computed, beside the stack.
struct Evaluator::Level {
    int col = 0, row = 0;
    std::int64_t cell = -1;
    std::vector<std::int64_t> missing;
    std::vector<Frame> frames;
    bool offset_mode = false;
    int off_col = 0, off_row = 0, name_depth = 0;
    std::vector<const Formula*> scanned;
    // A formula the outer computation holds stays as it is: the inner one
    // parses into shapes of its own.
    std::unique_ptr<SharedFormulas> shared;
    std::size_t base = 0, compacted = 0;
};

void Evaluator::SwapLevel(Level& l) {
    auto mine = std::tie(cur_col_, cur_row_, cur_cell_, missing_, frames_, offset_mode_, off_col_, off_row_,
                         name_depth_, scanned_names_, shared_, level_base_, compacted_size_);
    auto saved = std::tie(l.col, l.row, l.cell, l.missing, l.frames, l.offset_mode, l.off_col, l.off_row, l.name_depth,
                          l.scanned, l.shared, l.base, l.compacted);
    mine.swap(saved);
}

// A computation asked for while another is under way (by a document that
// the one under way refers to) puts the outer one's state aside and works
// on the stack above it.
class Evaluator::Nested {
public:
    explicit Nested(Evaluator& e) : e_(e), nested_(e.active_ > 0) {
        if (nested_) {
            saved_.shared = std::make_unique<SharedFormulas>();
            saved_.base = saved_.compacted = e.stack_.size();
            e.SwapLevel(saved_);
        }
        ++e.active_;
    }
    ~Nested() {
        --e_.active_;
        if (nested_) e_.SwapLevel(saved_);
    }
    Nested(const Nested&) = delete;
    Nested& operator=(const Nested&) = delete;

private:
    Evaluator& e_;
    bool nested_;
    Level saved_;
};

Value Evaluator::CellValue(int col, int row, CellInput* read) {
    if (!InSheet(col, row)) return Value();
    State st = GetState(col, row);
    if (st == kDone) return Stored(col, row);
    if (st == kInProgress) {
        // Asked for by another document while it is under way here.
        MarkCycleThrough(-1, Id(col, row));
        return GetState(col, row) == kDone ? Stored(col, row) : Value::Error(ErrorCode::CircularReference);
    }
    Nested level(*this);
    CellInput in;
    if (st == kUnvisited) {
        // Text and blank cells are read afresh each time rather than kept.
        in = read ? std::move(*read) : source_.Cell(col, row);
        if (in.kind == CellInput::Kind::Blank) return Value();
        if (in.kind == CellInput::Kind::Text) return Value::String(std::move(in.text));
    }
    if (suspended_) AbandonStack();
    std::size_t base = stack_.size();
    PushIfNeeded(col, row, -1, in.kind == CellInput::Kind::Formula ? &in : nullptr);
    // The cell's input, already read, is handed on rather than read again.
    if (in.kind == CellInput::Kind::Formula && stack_.size() > base) {
        known_id_ = Id(col, row);
        known_input_ = std::move(in);
    }
    RunStack(base, nullptr);
    return GetState(col, row) == kDone ? Stored(col, row) : Value();
}

bool Evaluator::SetValue(int col, int row, const Value& v) {
    if (!InSheet(col, row)) return false;
    State st = GetState(col, row);
    if (st == kPending || st == kInProgress) return false;
    CellInput in = source_.Cell(col, row);
    double n;
    if (in.kind == CellInput::Kind::Formula && !PlainNumber(in.text, n)) return false;
    Store(col, row, v);
    return true;
}

std::optional<Value> Evaluator::ValueIfComputed(int col, int row) {
    if (!InSheet(col, row)) return Value();
    State st = GetState(col, row);
    if (st == kDone) return Stored(col, row);
    if (st != kUnvisited) return std::nullopt;
    CellInput in = source_.Cell(col, row);
    if (in.kind == CellInput::Kind::Blank) return Value();
    if (in.kind == CellInput::Kind::Text) return Value::String(std::move(in.text));
    double n;
    if (PlainNumber(in.text, n)) {
        Store(col, row, Value::Number(n));
        ++formulas_computed_;
        return Value::Number(n);
    }
    return std::nullopt;
}

bool Evaluator::ComputeUntil(int col, int row, std::chrono::steady_clock::time_point deadline) {
    if (!InSheet(col, row)) return true;
    Nested level(*this);
    std::int64_t id = Id(col, row);
    if (suspended_ && suspended_target_ != id) AbandonStack();
    if (GetState(col, row) == kDone) return true;
    if (!suspended_) PushIfNeeded(col, row, -1);
    suspended_ = false;
    if (RunStack(0, &deadline)) return true;
    suspended_ = true;
    suspended_target_ = id;
    return false;
}

void Evaluator::AbandonStack() {
    for (const Pending& p : stack_) {
        int c = ColOf(p.id), r = RowOf(p.id);
        if (GetState(c, r) != kDone) SetState(c, r, kUnvisited);
    }
    stack_.clear();
    compacted_size_ = 0;
    suspended_ = false;
}

// A cell asked for again moves to the top of the stack, and its older
// entry stays below, stale. Where that happens often the stack is cut
// back to the latest entry of each cell still waiting, so that its size
// stays bounded by the cells that wait, not by the times they were asked.
void Evaluator::CompactStack() {
    // What lies below the innermost computation belongs to the outer ones.
    std::unordered_set<std::int64_t> seen;
    std::vector<Pending> kept;
    for (std::size_t i = stack_.size(); i-- > level_base_;) {
        const Pending& p = stack_[i];
        if (GetState(ColOf(p.id), RowOf(p.id)) == kDone) continue;
        if (!seen.insert(p.id).second) continue;
        kept.push_back(p);
    }
    stack_.resize(level_base_);
    stack_.insert(stack_.end(), kept.rbegin(), kept.rend());
    compacted_size_ = stack_.size();
}

void Evaluator::PushIfNeeded(int col, int row, std::int64_t parent, const CellInput* known) {
    if (!InSheet(col, row)) return;
    State st = GetState(col, row);
    if (st == kDone || st == kInProgress) return;
    std::int64_t id = Id(col, row);
    if (st == kUnvisited) {
        CellInput read;
        if (!known) read = source_.Cell(col, row);
        const CellInput& in = known ? *known : read;
        if (in.kind != CellInput::Kind::Formula) return;  // nothing to compute
        double n;
        if (PlainNumber(in.text, n)) {
            Store(col, row, Value::Number(n));
            ++formulas_computed_;
            return;
        }
        SetState(col, row, kPending);
    }
    stack_.push_back({id, parent});
    if (stack_.size() > 2 * compacted_size_ + 4096) CompactStack();
    stack_peak_ = std::max(stack_peak_, stack_.size());
}

// Pushes the number cells a formula names outright, so that they are
// computed before it runs rather than found missing one at a time. A
// block is pushed from its far corner back, so that its first cells are
// computed first: in a sheet whose rows build on the rows above, each
// cell then finds what it needs already done.
void Evaluator::PreScan(const Formula& f, int node, int depth) {
    const Node& n = f.node(node);
    switch (n.kind) {
    case Node::Kind::Ref: PushIfNeeded(n.a.col, n.a.row, cur_cell_); return;
    case Node::Kind::Range: {
        int c2 = std::min(n.b.col, cols_), r2 = std::min(n.b.row, rows_);
        for (int c = c2; c >= n.a.col; --c)
            for (int r = r2; r >= n.a.row; --r) PushIfNeeded(c, r, cur_cell_);
        return;
    }
    case Node::Kind::External: {
        // Only the arguments of a call into another document are cells of this one.
        const Node& inner = f.node(f.kid(n, 0));
        if (inner.kind == Node::Kind::Call)
            for (int k = inner.kid_count; k-- > 0;) PreScan(f, f.kid(inner, k), depth);
        return;
    }
    case Node::Kind::Name:
        if (depth < kMaxNameDepth)
            if (const Formula* nf = NameFormula(n.text)) {
                if (std::find(scanned_names_.begin(), scanned_names_.end(), nf) != scanned_names_.end()) return;
                scanned_names_.push_back(nf);
                PreScan(*nf, nf->root, depth + 1);
            }
        return;
    default:
        for (int k = n.kid_count; k-- > 0;) PreScan(f, f.kid(n, k), depth);
        return;
    }
}

bool Evaluator::MarkCycle(std::int64_t from, std::int64_t to) {
    if (from < 0) return false;
    // The latest entry of each cell on the stack says who asked for it.
    std::size_t pos = stack_.size();
    std::int64_t x = from;
    for (;;) {
        while (pos > 0 && stack_[pos - 1].id != x) --pos;
        Store(ColOf(x), RowOf(x), Value::Error(ErrorCode::CircularReference));
        ++formulas_computed_;
        if (x == to) return true;
        if (pos == 0) return false;
        x = stack_[pos - 1].parent;
        if (x < 0) return false;
    }
}

// The cycle just closed at `to`, a cell of this document under way: from
// `from` back to it, and where the way back leaves this computation for
// the document that asked for it, on through the cells of each document
// that asked, as far as `to`.
void Evaluator::MarkCycleThrough(std::int64_t from, std::int64_t to) {
    if (MarkCycle(from, to)) return;
    Linkage* links = source_.Links();
    if (!links) return;
    for (std::size_t i = links->asks.size(); i-- > 0;) {
        const Linkage::Ask& ask = links->asks[i];
        if (ask.asker->MarkCycle(ask.cell, ask.asker == this ? to : -1)) return;
    }
}

void Evaluator::AbortIfMarked() {
    if (cur_cell_ >= 0 && GetState(ColOf(cur_cell_), RowOf(cur_cell_)) == kDone) throw CycleFound{};
}

void Evaluator::Compute(std::int64_t target) {
    if (suspended_) AbandonStack();
    std::size_t base = stack_.size();
    PushIfNeeded(ColOf(target), RowOf(target), -1);
    RunStack(base, nullptr);
}

void Evaluator::ResetForFormula() {
    missing_.clear();
    frames_.clear();
    offset_mode_ = false;
    name_depth_ = 0;
}

bool Evaluator::RunStack(std::size_t base, const std::chrono::steady_clock::time_point* deadline) {
    // Each call takes at least one step, so slices however short get on.
    bool first = true;
    while (stack_.size() > base) {
        if (deadline && !first && std::chrono::steady_clock::now() >= *deadline) return false;
        first = false;
        std::int64_t id = stack_.back().id;
        int c = ColOf(id), r = RowOf(id);
        State st = GetState(c, r);
        if (st == kDone) {
            stack_.pop_back();
            continue;
        }
        // The formula is read again each time the cell comes up: a cell
        // waiting for others keeps nothing but its place on the stack.
        CellInput in;
        if (id == known_id_) {
            in = std::move(known_input_);
            known_id_ = -1;
        } else {
            in = source_.Cell(c, r);
        }
        double n;
        if (in.kind != CellInput::Kind::Formula) {
            stack_.pop_back();
            continue;
        }
        if (PlainNumber(in.text, n)) {
            Store(c, r, Value::Number(n));
            ++formulas_computed_;
            continue;
        }
        const Formula& f = shared_->Get(in.text, c, r);
        cur_col_ = c;
        cur_row_ = r;
        cur_cell_ = id;
        if (st != kInProgress) {
            SetState(c, r, kInProgress);
            std::size_t before = stack_.size();
            scanned_names_.clear();
            PreScan(f, f.root, 0);
            if (stack_.size() > before) continue;
        }
        ResetForFormula();
        try {
            Store(c, r, Finished(Deref(Eval(f, f.root))));
            ++formulas_computed_;
        } catch (const NeedCells&) {
            std::vector<std::int64_t> need;
            need.swap(missing_);
            for (std::size_t k = need.size(); k-- > 0;) PushIfNeeded(ColOf(need[k]), RowOf(need[k]), id);
        } catch (const CycleFound&) {
            // The cells of the cycle are marked; the rest carry on.
        }
    }
    return true;
}

Value Evaluator::ReadCell(int col, int row) {
    if (!InSheet(col, row)) return Value();
    State st = GetState(col, row);
    if (st == kDone) {
        Value v = Stored(col, row);
        return v.IsError() ? Value::Error(ErrorCode::Propagated) : v;
    }
    std::int64_t id = Id(col, row);
    if (st == kInProgress) {
        if (cur_cell_ < 0) {
            MarkCycleThrough(-1, id);
            return Value::Error(ErrorCode::CircularReference);
        }
        if (!missing_.empty()) throw NeedCells{};
        MarkCycleThrough(cur_cell_, id);
        throw CycleFound{};
    }
    CellInput in = source_.Cell(col, row);
    if (in.kind == CellInput::Kind::Blank) return Value();
    if (in.kind == CellInput::Kind::Text) return Value::String(std::move(in.text));
    missing_.push_back(id);
    return Value();
}

void Evaluator::ForEachCell(CellRange rg, const std::function<bool(const Value&)>& each) {
    int c2 = std::min(rg.c2, cols_), r2 = std::min(rg.r2, rows_);
    bool going = true;
    for (int c = std::max(rg.c1, 1); c <= c2; ++c)
        for (int r = std::max(rg.r1, 1); r <= r2; ++r) {
            Value v = ReadCell(c, r);
            // Once cells are missing the rest are only read for what they
            // need, so that all of it is asked for at once.
            if (going && missing_.empty()) going = each(v);
        }
    if (!missing_.empty()) throw NeedCells{};
}

Value Evaluator::Deref(const Value& v) {
    if (!v.IsReference()) return v;
    CellRange rg = v.reference();
    if (rg.IsCell()) {
        Value out = ReadCell(rg.c1, rg.r1);
        if (!missing_.empty()) throw NeedCells{};
        return out;
    }
    // A block reaching past the sheet reads blanks there. A vast one is
    // cut to the sheet before anything is built: what lies past it is
    // blank, and an array of millions of blanks would cost gigabytes.
    constexpr double kVast = 65536;
    if (static_cast<double>(rg.Cols()) * rg.Rows() > kVast) {
        rg.c2 = std::min(rg.c2, std::max(cols_, rg.c1));
        rg.r2 = std::min(rg.r2, std::max(rows_, rg.r1));
        constexpr double kMaxCells = 20e6;
        if (static_cast<double>(rg.Cols()) * rg.Rows() > kMaxCells) return Value::Error(ErrorCode::OutOfRange);
    }
    Array a(rg.Cols(), rg.Rows());
    for (int c = rg.c1; c <= std::min(rg.c2, cols_); ++c)
        for (int r = rg.r1; r <= std::min(rg.r2, rows_); ++r) a.at(c - rg.c1, r - rg.r1) = ReadCell(c, r);
    if (!missing_.empty()) throw NeedCells{};
    return Value::MakeArray(std::move(a));
}

std::string Evaluator::FormulaText(int col, int row) {
    if (!InSheet(col, row)) return "";
    CellInput in = source_.Cell(col, row);
    return in.kind == CellInput::Kind::Formula ? in.text : std::string();
}

Value Evaluator::EvaluateFormula(std::string_view text, int col, int row) {
    Nested level(*this);
    Formula f = ParseFormula(text);
    for (int attempt = 0; attempt < 1000000; ++attempt) {
        cur_col_ = col;
        cur_row_ = row;
        cur_cell_ = -1;
        ResetForFormula();
        try {
            return Finished(Deref(Eval(f, f.root)));
        } catch (const NeedCells&) {
            std::vector<std::int64_t> need = missing_;
            for (std::int64_t m : need) Compute(m);
        } catch (const CycleFound&) {
            return Value::Error(ErrorCode::CircularReference);
        }
    }
    return Value::Error(ErrorCode::StackOverflow);
}

// A name whose formula reads no cell position, clock or dice has the same
// value wherever it is used, so it is evaluated once per document.
// Each name is judged once, when first met; a name still being judged
// (one that refers to itself) is not keepable.
bool Evaluator::Keepable(const Formula& f, int depth) {
    if (depth >= kMaxNameDepth) return false;
    for (const Node& n : f.nodes) {
        if (n.kind == Node::Kind::Call && n.fn && (n.fn->flags & (kVolatile | kReadsCell))) return false;
        if (n.kind == Node::Kind::Name) {
            const NameEntry& inner = NameOf(n.text, depth + 1);
            if (inner.formula && !inner.keepable) return false;
        }
    }
    return true;
}

Evaluator::NameEntry& Evaluator::NameOf(const std::string& name, int depth) {
    auto it = names_.find(name);
    if (it != names_.end()) return it->second;
    // Entries of an unordered_map stay where they are as it grows.
    NameEntry& entry = names_[name];
    if (std::optional<std::string> def = source_.NameDefinition(name)) {
        entry.formula = std::make_unique<Formula>(ParseFormula(*def));
        entry.keepable = Keepable(*entry.formula, depth);
    }
    return entry;
}

Value Evaluator::EvalName(const std::string& name) {
    NameEntry& entry = NameOf(name);
    const Formula* f = entry.formula.get();
    if (!f) return Value::Error(UndefinedNameError(name));
    if (entry.kept) return *entry.kept;
    if (name_depth_ >= kMaxNameDepth || --name_budget_ < 0) return Value::Error(ErrorCode::StackOverflow);
    ++name_depth_;
    struct Restore {
        int& d;
        ~Restore() { --d; }
    } restore{name_depth_};
    // A name's references are its own: no database offset reaches them.
    bool saved = offset_mode_;
    offset_mode_ = false;
    struct RestoreMode {
        bool& m;
        bool v;
        ~RestoreMode() { m = v; }
    } restore_mode{offset_mode_, saved};
    Value v = Eval(*f, f->root);
    if (entry.keepable && missing_.empty()) entry.kept = v;
    return v;
}

Value Evaluator::Eval(const Formula& f, int index) {
    const Node& n = f.node(index);
    switch (n.kind) {
    case Node::Kind::Constant:
    case Node::Kind::Error: return n.value;
    case Node::Kind::Ref: return Value::Reference({n.a.col, n.a.row, n.a.col, n.a.row});
    case Node::Kind::Range:
        if (offset_mode_) {
            int c = n.a.col + off_col_, r = n.a.row + off_row_;
            return Value::Reference({c, r, c, r});
        }
        return Value::Reference({n.a.col, n.a.row, n.b.col, n.b.row});
    case Node::Kind::Name: return EvalName(n.text);
    case Node::Kind::External: return EvalExternal(f, n);
    case Node::Kind::Unary: return ApplyUnary(n.op, EvalDeref(f, f.kid(n, 0)));
    case Node::Kind::Binary: {
        Value a = EvalDeref(f, f.kid(n, 0));
        if (n.op == Op::And || n.op == Op::Or) {
            if (!a.IsArray()) {
                bool t;
                Value err;
                if (!Truth(a, t, err)) return err;
                // The right side is not evaluated when the left decides.
                if (n.op == Op::And && !t) return Value::Bool(false);
                if (n.op == Op::Or && t) return Value::Bool(true);
            }
        }
        Value b = EvalDeref(f, f.kid(n, 1));
        return ApplyBinary(n.op, a, b);
    }
    case Node::Kind::Call: return EvalCall(f, n);
    case Node::Kind::ArrayLit: return EvalArray(f, n);
    }
    return Value::Error(ErrorCode::MistakeInFormula);
}

Value Evaluator::EvalArray(const Formula& f, const Node& n) {
    if (n.cols == 0) return Value::MakeArray(Array(0, 0));
    // Each row of the literal: its elements side by side; a block or
    // array element contributes all its columns and rows.
    std::vector<Array> rows;
    int width = 0;
    for (int r = 0; r < n.rows; ++r) {
        std::vector<Array> parts;
        int h = 1, w = 0;
        for (int c = 0; c < n.cols; ++c) {
            Value v = EvalDeref(f, f.kid(n, r * n.cols + c));
            parts.push_back(AsArray(v));
            h = std::max(h, parts.back().rows);
            w += parts.back().cols;
        }
        Array row(w, h);
        int x = 0;
        for (const Array& p : parts) {
            for (int pr = 0; pr < p.rows; ++pr)
                for (int pc = 0; pc < p.cols; ++pc) row.at(x + pc, pr) = p.at(pc, pr);
            x += p.cols;
        }
        width = std::max(width, w);
        rows.push_back(std::move(row));
    }
    int height = 0;
    for (const Array& a : rows) height += a.rows;
    Array out(width, height);
    int y = 0;
    for (const Array& a : rows) {
        for (int r = 0; r < a.rows; ++r)
            for (int c = 0; c < a.cols; ++c) out.at(c, y + r) = a.at(c, r);
        y += a.rows;
    }
    return Value::MakeArray(std::move(out));
}

Value Evaluator::EvalCall(const Formula& f, const Node& n) {
    if (!n.fn) return EvalOtherCall(f, n, {});
    if (n.text == "set_value" && n.kid_count == 2 && f.node(f.kid(n, 0)).kind == Node::Kind::External)
        return SetOutside(f, n);
    const FunctionSpec& fn = *n.fn;
    struct PopFrame {
        std::vector<Frame>& frames;
        ~PopFrame() { frames.pop_back(); }
    };
    if (fn.flags & kLazy) {
        frames_.push_back({&f, static_cast<int>(&n - f.nodes.data())});
        PopFrame pop{frames_};
        std::vector<Value> none;
        return fn.impl(*this, none);
    }
    std::vector<Value> args;
    args.reserve(static_cast<std::size_t>(n.kid_count));
    for (int k = 0; k < n.kid_count; ++k) {
        Value v = Eval(f, f.kid(n, k));
        if (!(fn.reference_args & Arg(std::min(k, 31)))) v = Deref(v);
        args.push_back(std::move(v));
    }
    return CallLifted(fn, *this, args);
}

Value CallLifted(const FunctionSpec& fn, CallContext& ctx, std::vector<Value>& args) {
    auto each = [&fn](const Value& v, std::size_t k) {
        return v.IsArray() && !(fn.whole_args & Arg(std::min(static_cast<int>(k), 31)));
    };
    bool lift = false;
    int cols = 1, rows = 1;
    for (std::size_t k = 0; k < args.size(); ++k) {
        if (!each(args[k], k)) continue;
        lift = true;
        cols = std::max(cols, args[k].array().cols);
        rows = std::max(rows, args[k].array().rows);
    }
    if (!lift) return fn.impl(ctx, args);
    // A function of single values given arrays is applied element by element.
    Array out(cols, rows);
    std::vector<Value> one(args.size());
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            for (std::size_t k = 0; k < args.size(); ++k) {
                one[k] = each(args[k], k) ? ExpandedAt(args[k], c, r, cols, rows) : args[k];
            }
            out.at(c, r) = fn.impl(ctx, one);
        }
    return Value::MakeArray(std::move(out));
}

int Evaluator::ArgCount() const {
    if (frames_.empty()) return 0;
    const Frame& fr = frames_.back();
    return fr.formula->node(fr.node).kid_count;
}

Value Evaluator::EvalArg(int index) {
    if (frames_.empty() || index < 0 || index >= ArgCount()) return Value();
    Frame fr = frames_.back();
    // Arguments run in the caller's frame, not the function's own.
    frames_.pop_back();
    struct Repush {
        std::vector<Frame>& frames;
        Frame fr;
        ~Repush() { frames.push_back(fr); }
    } repush{frames_, fr};
    const Node& n = fr.formula->node(fr.node);
    return EvalDeref(*fr.formula, fr.formula->kid(n, index));
}

Value Evaluator::EvalArgAt(int index, int dcol, int drow) {
    bool saved = offset_mode_;
    int sc = off_col_, sr = off_row_;
    offset_mode_ = true;
    off_col_ = dcol;
    off_row_ = drow;
    struct Restore {
        Evaluator& e;
        bool m;
        int c, r;
        ~Restore() {
            e.offset_mode_ = m;
            e.off_col_ = c;
            e.off_row_ = r;
        }
    } restore{*this, saved, sc, sr};
    return EvalArg(index);
}

double Evaluator::Random() {
    // xorshift64*
    rng_ ^= rng_ >> 12;
    rng_ ^= rng_ << 25;
    rng_ ^= rng_ >> 27;
    std::uint64_t x = rng_ * 0x2545F4914F6CDD1Dull;
    return static_cast<double>(x >> 11) * (1.0 / 9007199254740992.0);
}

void Evaluator::Seed(double seed) {
    std::uint64_t s;
    if (seed == 0.0) s = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    else s = static_cast<std::uint64_t>(std::fabs(seed) * 2654435761.0) ^ 0x9E3779B97F4A7C15ull;
    rng_ = s ? s : 1;
}

// ---- Operators ----

Value ExpandedAt(const Value& v, int col, int row, int cols, int rows) {
    if (!v.IsArray()) return v;
    const Array& a = v.array();
    if (a.cols == 0 || a.rows == 0) return Value::Error(ErrorCode::ValueNotDefined);
    if (a.cols == 1 && a.rows == 1) return a.at(0, 0);
    if (col < a.cols && row < a.rows) return a.at(col, row);
    if (a.rows == rows && col >= a.cols) return a.at(a.cols - 1, row);
    if (a.cols == cols && row >= a.rows) return a.at(col, a.rows - 1);
    return Value::Error(ErrorCode::ValueNotDefined);
}

void SpreadOver(CellRange rg, int cols, int rows, const Value& v,
                const std::function<void(int, int, const Value&)>& set) {
    rg.c2 = std::min(rg.c2, cols);
    rg.r2 = std::min(rg.r2, rows);
    for (int c = rg.c1; c <= rg.c2; ++c)
        for (int r = rg.r1; r <= rg.r2; ++r) set(c, r, ExpandedAt(v, c - rg.c1, r - rg.r1, rg.Cols(), rg.Rows()));
}

int CompareText(std::string_view a, std::string_view b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(Fold(a[i])), y = static_cast<unsigned char>(Fold(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int TypeOrder(const Value& v) {
    switch (v.type()) {
    case Value::Type::Number: return 0;
    case Value::Type::Date: return 1;
    case Value::Type::String: return 2;
    case Value::Type::Blank: return 4;
    default: return 3;
    }
}

int SortOrder(const Value& a, const Value& b) {
    int ra = TypeOrder(a), rb = TypeOrder(b);
    if (ra != rb) return ra < rb ? -1 : 1;
    if (a.IsString()) return CompareText(a.text(), b.text());
    if (a.IsNumber() || a.IsDate()) {
        double x = a.IsNumber() ? a.number() : a.date().Serial();
        double y = b.IsNumber() ? b.number() : b.date().Serial();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return 0;
}

namespace {

// "^#" at `p` of a pattern: any run of characters.
bool AnyRunAt(std::string_view pat, std::size_t p) { return p + 1 < pat.size() && pat[p] == '^' && pat[p + 1] == '#'; }

// Whether the pattern at `p` takes the character `c`; `step` says how many
// pattern characters it uses.
bool MatchOne(std::string_view pat, std::size_t p, char c, std::size_t& step) {
    step = 1;
    if (p + 1 < pat.size() && pat[p] == '^' && (pat[p + 1] == '?' || pat[p + 1] == '^')) {
        step = 2;
        return pat[p + 1] == '?' ? c != ' ' : c == '^';
    }
    return p < pat.size() && Fold(c) == Fold(pat[p]);
}

}  // namespace

bool WildcardMatch(std::string_view text, std::string_view pat) {
    // Iterative matching with one back-track point for the last "^#".
    std::size_t t = 0, p = 0;
    std::size_t star_p = std::string_view::npos, star_t = 0;
    while (t < text.size()) {
        if (AnyRunAt(pat, p)) {
            star_p = p + 2;
            star_t = t;
            p += 2;
            continue;
        }
        std::size_t step = 1;
        if (MatchOne(pat, p, text[t], step)) {
            ++t;
            p += step;
        } else if (star_p != std::string_view::npos) {
            p = star_p;
            t = ++star_t;
        } else {
            return false;
        }
    }
    while (AnyRunAt(pat, p)) p += 2;
    return p == pat.size();
}

namespace {

template <typename F>
Value Lift2(const Value& a, const Value& b, F f) {
    if (!a.IsArray() && !b.IsArray()) return f(a, b);
    int cols = 1, rows = 1;
    for (const Value* v : {&a, &b})
        if (v->IsArray()) {
            cols = std::max(cols, v->array().cols);
            rows = std::max(rows, v->array().rows);
        }
    Array out(cols, rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            out.at(c, r) = f(ExpandedAt(a, c, r, cols, rows), ExpandedAt(b, c, r, cols, rows));
    return Value::MakeArray(std::move(out));
}

// A blank beside a string reads as "", beside anything else as 0.
Value Unblank(const Value& v, const Value& other) {
    if (!v.IsBlank()) return v;
    return other.IsString() ? Value::String("") : Value::Number(0);
}

// How two values (neither blank nor an error) compare: their order, and
// whether they are equal, strings by a wildcard match.
int Order(const Value& a, const Value& b, bool& equal) {
    if (a.IsString() && b.IsString()) {
        equal = WildcardMatch(a.text(), b.text());
        return CompareText(a.text(), b.text());
    }
    if (a.type() == b.type()) {
        double x = a.IsDate() ? a.date().Serial() : a.number();
        double y = b.IsDate() ? b.date().Serial() : b.number();
        int cmp = x < y ? -1 : (x > y ? 1 : 0);
        equal = cmp == 0;
        return cmp;
    }
    equal = false;
    return TypeOrder(a) < TypeOrder(b) ? -1 : 1;
}

Value Compare(Op op, const Value& a0, const Value& b0) {
    if (a0.IsError()) return a0;
    if (b0.IsError()) return b0;
    Value a = Unblank(a0, b0);
    Value b = Unblank(b0, a);
    bool equal;
    int cmp = Order(a, b, equal);
    switch (op) {
    case Op::Eq: return Value::Bool(equal);
    case Op::Ne: return Value::Bool(!equal);
    case Op::Lt: return Value::Bool(cmp < 0);
    case Op::Gt: return Value::Bool(cmp > 0);
    case Op::Le: return Value::Bool(cmp < 0 || equal);
    case Op::Ge: return Value::Bool(cmp > 0 || equal);
    default: return Value::Error(ErrorCode::MistakeInFormula);
    }
}

// A date moved by a number of days (a blank is none).
Value DateShift(Op op, const Value& date, const Value& days) {
    double d = days.IsNumber() ? days.number() : 0.0;
    if (!std::isfinite(d) || std::fabs(d) > 4e6) return Value::Error(ErrorCode::BadDate);
    auto seconds = static_cast<std::int64_t>(std::llround((op == Op::Add ? d : -d) * kSecondsPerDay));
    return Value::Date(AddSeconds(date.date(), seconds));
}

// Two dates: subtracted, the days between them (seconds between two times
// of day); added, a date and a time of day make one, as do two times.
Value DatePair(Op op, const DateTime& x, const DateTime& y) {
    if (op == Op::Sub) {
        double diff = x.Serial() - y.Serial();
        if (!x.has_date && !y.has_date) return NumberResult(diff * kSecondsPerDay);
        return NumberResult(diff);
    }
    if (x.has_date != y.has_date) {
        DateTime d = x.has_date ? x : y;
        DateTime t = x.has_date ? y : x;
        DateTime out = AddSeconds(d, t.seconds);
        out.has_time = true;
        return Value::Date(out);
    }
    if (!x.has_date && !y.has_date) return Value::Date(AddSeconds(x, y.seconds));
    return Value::Error(ErrorCode::DateNotExpected);
}

bool DaysOrBlank(const Value& v) { return v.IsNumber() || v.IsBlank(); }

Value DateArith(Op op, const Value& a, const Value& b) {
    if (op != Op::Add && op != Op::Sub) return Value::Error(ErrorCode::DateNotExpected);
    if (a.IsDate() && DaysOrBlank(b)) return DateShift(op, a, b);
    if (op == Op::Add && b.IsDate() && DaysOrBlank(a)) return DateShift(op, b, a);
    if (a.IsDate() && b.IsDate()) return DatePair(op, a.date(), b.date());
    return Value::Error(ErrorCode::DateNotExpected);
}

Value Arith(Op op, const Value& a, const Value& b) {
    if (a.IsError()) return a;
    if (b.IsError()) return b;
    if (a.IsDate() || b.IsDate()) return DateArith(op, a, b);
    double x, y;
    Value err;
    if (!GetNumber(a, x, err) || !GetNumber(b, y, err)) return err;
    switch (op) {
    case Op::Add: return NumberResult(x + y);
    case Op::Sub: return NumberResult(x - y);
    case Op::Mul: return NumberResult(x * y);
    case Op::Div:
        if (y == 0.0) return Value::Error(ErrorCode::DivideByZero);
        return NumberResult(x / y);
    case Op::Pow:
        if (x == 0.0 && y < 0.0) return Value::Error(ErrorCode::DivideByZero);
        return NumberResult(std::pow(x, y));
    default: return Value::Error(ErrorCode::MistakeInFormula);
    }
}

}  // namespace

Value ApplyBinary(Op op, const Value& a, const Value& b) {
    switch (op) {
    case Op::Add:
    case Op::Sub:
    case Op::Mul:
    case Op::Div:
    case Op::Pow: return Lift2(a, b, [op](const Value& x, const Value& y) { return Arith(op, x, y); });
    case Op::Eq:
    case Op::Ne:
    case Op::Lt:
    case Op::Gt:
    case Op::Le:
    case Op::Ge: return Lift2(a, b, [op](const Value& x, const Value& y) { return Compare(op, x, y); });
    case Op::And:
    case Op::Or:
        return Lift2(a, b, [op](const Value& x, const Value& y) {
            bool s, t;
            Value err;
            if (!Truth(x, s, err) || !Truth(y, t, err)) return err;
            return Value::Bool(op == Op::And ? (s && t) : (s || t));
        });
    default: return Value::Error(ErrorCode::MistakeInFormula);
    }
}

Value ApplyUnary(Op op, const Value& a) {
    if (a.IsArray()) {
        const Array& in = a.array();
        Array out(in.cols, in.rows);
        for (std::size_t i = 0; i < in.items.size(); ++i) out.items[i] = ApplyUnary(op, in.items[i]);
        return Value::MakeArray(std::move(out));
    }
    if (a.IsError()) return a;
    if (op == Op::Not) {
        bool t;
        Value err;
        if (!Truth(a, t, err)) return err;
        return Value::Bool(!t);
    }
    if (a.IsString()) return Value::Error(ErrorCode::StringNotExpected);
    if (a.IsDate()) return op == Op::Plus ? a : Value::Error(ErrorCode::DateNotExpected);
    double x = a.IsNumber() ? a.number() : 0.0;
    return NumberResult(op == Op::Neg ? -x : x);
}

}  // namespace tw::formula
