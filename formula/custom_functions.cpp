#include "formula/custom_functions.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <unordered_map>

#include "formula/functions.h"

namespace tw::formula {

namespace {

bool IsIdentChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Names of functions and parameters follow the rules of names: letters,
// digits and "_", at most 24, and a digit only after an underscore.
bool WellFormedName(std::string_view s) {
    if (s.empty() || s.size() > 24) return false;
    bool underscore = false;
    for (char c : s) {
        if (!IsIdentChar(c)) return false;
        if (c == '_') underscore = true;
        if (c >= '0' && c <= '9' && !underscore) return false;
    }
    return true;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::optional<unsigned> TypeBit(std::string_view word) {
    std::string w = Lower(Trim(word));
    if (w == "number") return kTakesNumber;
    if (w == "text") return kTakesText;
    if (w == "date") return kTakesDate;
    if (w == "array") return kTakesArray;
    if (w == "reference") return kTakesReference;
    if (w == "error") return kTakesError;
    return std::nullopt;
}

constexpr std::string_view kControlWords[] = {
    "break", "continue", "else", "elseif", "endif",  "endwhile", "for",   "function",
    "goto",  "if",       "next", "repeat", "result", "until",    "while",
};

bool IsControlWord(std::string_view name) {
    return std::find(std::begin(kControlWords), std::end(kControlWords), name) != std::end(kControlWords);
}

// What a statement cell does to the flow of its function.
enum class Kind : std::uint8_t {
    Blank,  // a text or empty cell: passed over
    Expr,   // a formula run for its value and for what it sets
    Function,
    If,  // IF with one argument: opens a block
    ElseIf,
    Else,
    EndIf,
    While,
    EndWhile,
    Repeat,
    Until,
    For,
    Next,
};

struct Statement {
    Kind kind = Kind::Blank;
    Formula formula;
    int cond = -1;  // the node of the condition, or of the FOR call
};

struct Block {
    Kind kind;
    int row;
    std::string counter;  // FOR
    double end = 0, step = 1;
};

// The value each node of a statement gave, in the order the nodes were
// entered: when a statement waits on a custom call and runs again, the
// parts already done give their values without running again.
struct Traced {
    bool done = false;
    Value value;
    std::size_t next = 0;  // the entry count once the node was done
};

struct Frame {
    int def;
    int col, row;
    std::vector<Value> args;
    std::vector<Block> blocks;
    std::vector<Traced> trace;
    bool taking_elseif = false;
    std::size_t waiting_entry = 0, waiting_next = 0;
};

enum class Signal : std::uint8_t { None, Result, Break, Continue, Goto };

// Thrown when a statement reaches a call of a function of the same sheet:
// the call gets a frame of its own and the statement runs again after it.
struct NeedCall {
    int def;
    std::vector<Value> args;
    std::size_t entry, next;
};

Kind ClosingOf(Kind k) {
    switch (k) {
    case Kind::If: return Kind::EndIf;
    case Kind::While: return Kind::EndWhile;
    case Kind::Repeat: return Kind::Until;
    case Kind::For: return Kind::Next;
    default: return Kind::Blank;
    }
}

}  // namespace

std::optional<CustomDefinition> ReadDefinition(const Formula& f, int col, int row) {
    if (f.root < 0) return std::nullopt;
    const Node& n = f.node(f.root);
    if (n.kind != Node::Kind::Call || n.text != "function") return std::nullopt;
    CustomDefinition d;
    d.col = col;
    d.row = row;
    for (int k = 0; k < n.kid_count; ++k) {
        const Node& a = f.node(f.kid(n, k));
        if (a.kind != Node::Kind::Constant || !a.value.IsString()) {
            d.fault = ErrorCode::BadIdentifier;
            continue;
        }
        std::string_view text = a.value.text();
        if (k == 0) {
            d.name = Lower(Trim(text));
            if (!WellFormedName(d.name)) d.fault = ErrorCode::BadIdentifier;
            continue;
        }
        CustomParameter p;
        std::size_t colon = text.find(':');
        p.name = Lower(Trim(text.substr(0, colon)));
        if (!WellFormedName(p.name)) d.fault = ErrorCode::BadIdentifier;
        if (colon != std::string_view::npos) {
            p.types = 0;
            std::string_view rest = text.substr(colon + 1);
            for (;;) {
                std::size_t comma = rest.find(',');
                std::optional<unsigned> bit = TypeBit(rest.substr(0, comma));
                if (bit) p.types |= *bit;
                else d.fault = ErrorCode::BadIdentifier;
                if (comma == std::string_view::npos) break;
                rest.remove_prefix(comma + 1);
            }
        }
        d.params.push_back(std::move(p));
    }
    if (n.kid_count == 0) d.fault = ErrorCode::BadIdentifier;
    return d;
}

bool IsFunctionFormula(std::string_view formula) {
    std::string_view t = Trim(formula);
    if (t.size() < 9 || Lower(t.substr(0, 8)) != "function") return false;
    return Trim(t.substr(8)).starts_with('(');
}

ErrorCode UndefinedCallError(std::string_view name) {
    return IsControlWord(Lower(name)) ? ErrorCode::ControlFunctionOutsideCustomFunction
                                      : ErrorCode::CustomFunctionNotDefined;
}

ErrorCode UndefinedNameError(std::string_view name) {
    return IsControlWord(Lower(name)) ? ErrorCode::ControlFunctionOutsideCustomFunction : ErrorCode::NameNotDefined;
}

struct CustomSheet::Impl final : CallContext {
    explicit Impl(const CellSource& s) : src(s), cols(std::max(0, s.Cols())), rows(std::max(0, s.Rows())) {}

    const CellSource& src;
    int cols, rows;
    bool scanned = false;
    std::vector<CustomDefinition> defs;
    std::unordered_map<std::string, int> by_name;
    std::unordered_map<std::int64_t, Statement> statements;
    std::unordered_map<std::int64_t, Value> values;  // what statements left in their cells
    std::unordered_map<std::string, Value> names;    // names as the sheet has set them

    long steps_per_call = kStepsPerCall;
    long steps_left = kStepsPerDocument;
    long steps_taken = 0;
    int max_frames = kMaxFrames;
    std::size_t deepest = 0;

    std::vector<Frame> frames;
    // The statement running: its frame, entry count and what it signalled.
    std::size_t cur = 0;
    std::size_t cursor = 0;
    Signal signal = Signal::None;
    Value signal_value;
    int signal_count = 0;
    struct ArgFrame {
        const Formula* f;
        int node;
    };
    std::vector<ArgFrame> arg_frames;
    int cur_col = 0, cur_row = 0;
    std::uint64_t rng = 0x9E3779B97F4A7C15ull;

    static std::int64_t Id(int col, int row) {
        return (static_cast<std::int64_t>(col) << 32) | static_cast<std::uint32_t>(row);
    }

    void Scan() {
        if (scanned) return;
        scanned = true;
        Formula f;
        for (int c = 1; c <= cols; ++c)
            for (int r = 1; r <= rows; ++r) {
                CellInput in = src.Cell(c, r);
                if (in.kind != CellInput::Kind::Formula || !IsFunctionFormula(in.text)) continue;
                ParseFormulaInto(in.text, f);
                std::optional<CustomDefinition> d = ReadDefinition(f, c, r);
                if (!d || d->name.empty()) continue;
                // The first definition of a name is the one called.
                if (by_name.emplace(d->name, static_cast<int>(defs.size())).second) defs.push_back(std::move(*d));
            }
    }

    const Statement& At(int col, int row) {
        auto [it, fresh] = statements.try_emplace(Id(col, row));
        Statement& s = it->second;
        if (!fresh) return s;
        CellInput in = src.Cell(col, row);
        if (in.kind != CellInput::Kind::Formula) return s;
        ParseFormulaInto(in.text, s.formula);
        s.kind = Kind::Expr;
        const Node& n = s.formula.node(s.formula.root);
        if (n.kind == Node::Kind::Name) {
            static const std::pair<std::string_view, Kind> words[] = {{"else", Kind::Else},
                                                                      {"endif", Kind::EndIf},
                                                                      {"endwhile", Kind::EndWhile},
                                                                      {"repeat", Kind::Repeat},
                                                                      {"next", Kind::Next}};
            for (const auto& [w, k] : words)
                if (n.text == w) s.kind = k;
        } else if (n.kind == Node::Kind::Call) {
            if (n.text == "function") s.kind = Kind::Function;
            if (n.text == "for") s.kind = Kind::For, s.cond = s.formula.root;
            // The parser leaves IF with one argument unbound, as it does
            // the other statements with a condition.
            if (n.kid_count == 1 && !n.fn) {
                if (n.text == "if") s.kind = Kind::If;
                if (n.text == "elseif") s.kind = Kind::ElseIf;
                if (n.text == "while") s.kind = Kind::While;
                if (n.text == "until") s.kind = Kind::Until;
                if (s.kind != Kind::Expr) s.cond = s.formula.kid(n, 0);
            }
        }
        if (s.kind == Kind::Expr && s.cond < 0) s.cond = s.formula.root;
        return s;
    }

    // ---- Values of the sheet's cells and names ----

    Value ReadCell(int col, int row) {
        if (col < 1 || col > cols || row < 1 || row > rows) return Value();
        auto it = values.find(Id(col, row));
        if (it != values.end()) return it->second;
        CellInput in = src.Cell(col, row);
        if (in.kind == CellInput::Kind::Text) return Value::String(std::move(in.text));
        if (in.kind == CellInput::Kind::Formula) {
            // A constant reads as itself before any statement has set it.
            Formula f = ParseFormula(in.text);
            const Node& n = f.node(f.root);
            if (n.kind == Node::Kind::Constant) return n.value;
        }
        return Value();
    }

    Value NameValue(const std::string& name) {
        auto it = names.find(name);
        if (it != names.end()) return it->second;
        std::optional<std::string> def = src.NameDefinition(name);
        if (!def) return Value::Error(ErrorCode::NameNotDefined);
        // A name the sheet has not set yet has the value its definition gives.
        Formula f = ParseFormula(*def);
        Value v = Deref(EvalPlain(f, f.root));
        names[name] = v;
        return v;
    }

    // ---- Expressions ----

    Value Eval(const Formula& f, int node) {
        Frame& fr = frames[cur];
        std::size_t my = cursor++;
        if (my < fr.trace.size() && fr.trace[my].done) {
            cursor = fr.trace[my].next;
            return fr.trace[my].value;
        }
        if (fr.trace.size() <= my) fr.trace.resize(my + 1);
        Value v = EvalNode(f, node, my);
        const Node& n = f.node(node);
        // What signals is run again each time, so that it signals again.
        bool signals = n.kind == Node::Kind::Call &&
                       (n.text == "result" || n.text == "break" || n.text == "continue" || n.text == "goto");
        signals = signals || (n.kind == Node::Kind::Name && (n.text == "break" || n.text == "continue"));
        if (!signals) frames[cur].trace[my] = {true, v, cursor};
        return v;
    }

    // Evaluates outside any statement's trace (a name's definition).
    Value EvalPlain(const Formula& f, int node) {
        std::size_t saved = cursor;
        Frame& fr = frames[cur];
        std::vector<Traced> kept;
        kept.swap(fr.trace);
        cursor = 0;
        Value v;
        try {
            v = Eval(f, node);
        } catch (const NeedCall&) {
            // A name of the sheet is no place for a call of its functions.
            v = Value::Error(ErrorCode::Propagated);
        }
        frames[cur].trace.swap(kept);
        cursor = saved;
        return v;
    }

    Value EvalDeref(const Formula& f, int node) { return Deref(Eval(f, node)); }

    void Raise(Signal s, Value v = Value(), int count = 0) {
        if (signal != Signal::None) return;  // the first one met counts
        signal = s;
        signal_value = std::move(v);
        signal_count = count;
    }

    Value EvalNode(const Formula& f, int node, std::size_t entry) {
        const Node& n = f.node(node);
        switch (n.kind) {
        case Node::Kind::Constant:
        case Node::Kind::Error: return n.value;
        case Node::Kind::Ref: return Value::Reference({n.a.col, n.a.row, n.a.col, n.a.row});
        case Node::Kind::Range: return Value::Reference({n.a.col, n.a.row, n.b.col, n.b.row});
        case Node::Kind::Name: return EvalName(n.text);
        case Node::Kind::External: {
            const Node& in = f.node(f.kid(n, 0));
            if (in.kind == Node::Kind::Ref || in.kind == Node::Kind::Range)
                return src.ExternalCells(n.text, {in.a.col, in.a.row, in.b.col, in.b.row});
            if (in.kind == Node::Kind::Name) return src.ExternalName(n.text, in.text);
            std::vector<Value> args;
            for (int k = 0; k < in.kid_count; ++k) args.push_back(EvalDeref(f, f.kid(in, k)));
            return src.CallFunction(n.text, in.text, args);
        }
        case Node::Kind::Unary: return ApplyUnary(n.op, EvalDeref(f, f.kid(n, 0)));
        case Node::Kind::Binary: {
            Value a = EvalDeref(f, f.kid(n, 0));
            if ((n.op == Op::And || n.op == Op::Or) && !a.IsArray()) {
                bool t;
                Value err;
                if (!Truth(a, t, err)) return err;
                if (n.op == Op::And && !t) return Value::Bool(false);
                if (n.op == Op::Or && t) return Value::Bool(true);
            }
            return ApplyBinary(n.op, a, EvalDeref(f, f.kid(n, 1)));
        }
        case Node::Kind::Call: return EvalCall(f, n, entry);
        case Node::Kind::ArrayLit: {
            Array out(n.cols, n.rows);
            for (int i = 0; i < n.cols * n.rows; ++i) {
                Value v = EvalDeref(f, f.kid(n, i));
                out.items[static_cast<std::size_t>(i)] = v.IsArray() ? Value::Error(ErrorCode::NestedArray) : v;
            }
            return Value::MakeArray(std::move(out));
        }
        }
        return Value::Error(ErrorCode::MistakeInFormula);
    }

    Value EvalName(const std::string& name) {
        if (name.starts_with('@')) {
            const Frame& fr = frames[cur];
            const std::vector<CustomParameter>& ps = defs[static_cast<std::size_t>(fr.def)].params;
            for (std::size_t i = 0; i < ps.size(); ++i)
                if (ps[i].name == std::string_view(name).substr(1)) return i < fr.args.size() ? fr.args[i] : Value();
            return Value::Error(ErrorCode::LocalParameterNotDeclared);
        }
        if (name == "break") {
            Raise(Signal::Break, Value(), 1);
            return Value();
        }
        if (name == "continue") {
            Raise(Signal::Continue);
            return Value();
        }
        return NameValue(name);
    }

    Value EvalCall(const Formula& f, const Node& n, std::size_t entry) {
        const std::string& name = n.text;
        auto arg = [&](int k) { return k < n.kid_count ? EvalDeref(f, f.kid(n, k)) : Value(); };
        if (name == "result") {
            Value v = arg(0);
            Raise(Signal::Result, v);
            return v;
        }
        if (name == "break") {
            Value v = arg(0);
            double count = 1;
            Value err;
            if (n.kid_count > 0 && !GetNumber(v, count, err)) return err;
            Raise(Signal::Break, Value(), std::max(1, static_cast<int>(count)));
            return Value();
        }
        if (name == "continue") {
            Raise(Signal::Continue);
            return Value();
        }
        if (name == "goto") {
            Value target = n.kid_count > 0 ? Eval(f, f.kid(n, 0)) : Value();
            const Frame& fr = frames[cur];
            if (!target.IsReference() || !target.reference().IsCell() || target.reference().c1 != fr.col ||
                target.reference().r1 < 1 || target.reference().r1 > rows) {
                // The function cannot go on: it ends with the error.
                Raise(Signal::Result, Value::Error(ErrorCode::BadGotoTarget));
                return Value::Error(ErrorCode::BadGotoTarget);
            }
            Raise(Signal::Goto, Value(), target.reference().r1);
            return Value();
        }
        if (name == "set_name" && n.kid_count == 2) {
            Value key = arg(0), v = arg(1);
            std::string s;
            Value err;
            if (!GetString(key, s, err)) return err;
            s = Lower(Trim(s));
            if (!WellFormedName(s)) return Value::Error(ErrorCode::BadIdentifier);
            names[s] = v;
            return v;
        }
        if (name == "set_value" && n.kid_count == 2) return SetValue(f, n);
        if (!IsControlWord(name)) {
            auto it = by_name.find(name);
            if (it != by_name.end()) {
                std::vector<Value> args;
                for (int k = 0; k < n.kid_count; ++k) args.push_back(arg(k));
                throw NeedCall{it->second, std::move(args), entry, cursor};
            }
        }
        if (name == "for") {
            if (n.kid_count < 3 || n.kid_count > 4) return Value::Error(ErrorCode::MistakeInFormula);
            Array a(n.kid_count, 1);
            for (int k = 0; k < n.kid_count; ++k) a.items[static_cast<std::size_t>(k)] = arg(k);
            return Value::MakeArray(std::move(a));
        }
        if (!n.fn) return Value::Error(IsControlWord(name) ? ErrorCode::MistakeInFormula : UndefinedCallError(name));
        return EvalBuiltIn(f, n);
    }

    Value SetValue(const Formula& f, const Node& n) {
        const Node& to = f.node(f.kid(n, 0));
        if (to.kind == Node::Kind::External) {
            const Node& in = f.node(f.kid(to, 0));
            Value v = EvalDeref(f, f.kid(n, 1));
            if (in.kind != Node::Kind::Ref && in.kind != Node::Kind::Range) return v;
            return src.SetExternalCells(to.text, {in.a.col, in.a.row, in.b.col, in.b.row}, v);
        }
        Value target = Eval(f, f.kid(n, 0));
        Value v = EvalDeref(f, f.kid(n, 1));
        if (!target.IsReference()) return v;
        SpreadOver(target.reference(), cols, rows, v,
                   [this](int c, int r, const Value& one) { values[Id(c, r)] = one; });
        return v;
    }

    Value EvalBuiltIn(const Formula& f, const Node& n) {
        const FunctionSpec& fn = *n.fn;
        if (fn.flags & kLazy) {
            arg_frames.push_back({&f, static_cast<int>(&n - f.nodes.data())});
            struct Pop {
                std::vector<ArgFrame>& v;
                ~Pop() { v.pop_back(); }
            } pop{arg_frames};
            std::vector<Value> none;
            return fn.impl(*this, none);
        }
        std::vector<Value> args;
        for (int k = 0; k < n.kid_count; ++k) {
            Value v = Eval(f, f.kid(n, k));
            if (!(fn.reference_args & Arg(std::min(k, 31)))) v = Deref(v);
            args.push_back(std::move(v));
        }
        return CallLifted(fn, *this, args);
    }

    // ---- CallContext, for the built-in functions ----

    int CurrentCol() const override { return cur_col; }
    int CurrentRow() const override { return cur_row; }
    int SheetCols() const override { return cols; }
    int SheetRows() const override { return rows; }
    Value Deref(const Value& v) override {
        if (!v.IsReference()) return v;
        CellRange rg = v.reference();
        if (rg.IsCell()) return ReadCell(rg.c1, rg.r1);
        rg.c2 = std::min(rg.c2, std::max(cols, rg.c1));
        rg.r2 = std::min(rg.r2, std::max(rows, rg.r1));
        if (static_cast<double>(rg.Cols()) * rg.Rows() > 1e6) return Value::Error(ErrorCode::OutOfRange);
        Array a(rg.Cols(), rg.Rows());
        for (int c = rg.c1; c <= rg.c2; ++c)
            for (int r = rg.r1; r <= rg.r2; ++r) a.at(c - rg.c1, r - rg.r1) = ReadCell(c, r);
        return Value::MakeArray(std::move(a));
    }
    std::string FormulaText(int col, int row) override {
        CellInput in = src.Cell(col, row);
        return in.kind == CellInput::Kind::Formula ? in.text : std::string();
    }
    Value EvalArg(int index) override {
        if (arg_frames.empty() || index < 0 || index >= ArgCount()) return Value();
        ArgFrame af = arg_frames.back();
        arg_frames.pop_back();
        struct Repush {
            std::vector<ArgFrame>& v;
            ArgFrame af;
            ~Repush() { v.push_back(af); }
        } repush{arg_frames, af};
        const Node& n = af.f->node(af.node);
        return EvalDeref(*af.f, af.f->kid(n, index));
    }
    Value EvalArgAt(int index, int, int) override { return EvalArg(index); }
    int ArgCount() const override {
        if (arg_frames.empty()) return 0;
        return arg_frames.back().f->node(arg_frames.back().node).kid_count;
    }
    void ForEachCell(CellRange rg, const std::function<bool(const Value&)>& each) override {
        for (int c = std::max(rg.c1, 1); c <= std::min(rg.c2, cols); ++c)
            for (int r = std::max(rg.r1, 1); r <= std::min(rg.r2, rows); ++r)
                if (!each(ReadCell(c, r))) return;
    }
    double Random() override {
        rng ^= rng >> 12;
        rng ^= rng << 25;
        rng ^= rng >> 27;
        return static_cast<double>((rng * 0x2545F4914F6CDD1Dull) >> 11) * (1.0 / 9007199254740992.0);
    }
    void Seed(double seed) override {
        rng = seed == 0.0 ? static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())
                          : static_cast<std::uint64_t>(std::fabs(seed) * 2654435761.0) ^ 0x9E3779B97F4A7C15ull;
        if (rng == 0) rng = 1;
    }

    // ---- Running statements ----

    // The row of the statement that closes the block `open` starts at
    // `row` (an ELSE or ELSEIF too, when `branches`), or 0 when the column
    // ends, or another function starts, first.
    int FindClosing(int col, int row, Kind open, bool branches) {
        Kind close = ClosingOf(open);
        int depth = 0;
        for (int r = row + 1; r <= rows; ++r) {
            Kind k = At(col, r).kind;
            if (k == Kind::Function) return 0;
            if (k == open) ++depth;
            else if (k == close && depth-- == 0) return r;
            else if (branches && depth == 0 && (k == Kind::Else || k == Kind::ElseIf)) return r;
        }
        return 0;
    }

    // The outcome of one step: the function returns `value` when `done`.
    struct Step {
        bool done = false;
        Value value;
    };
    static Step Return(Value v) { return {true, std::move(v)}; }
    static Step Fail(ErrorCode e) { return {true, Value::Error(e)}; }

    // Runs the formula of a statement (or its condition): its value, or
    // nothing when it waits on a call, which is then on the frame stack.
    std::optional<Value> Run(const Statement& s, int node) {
        Frame& fr = frames[cur];
        cur_col = fr.col;
        cur_row = fr.row;
        cursor = 0;
        signal = Signal::None;
        arg_frames.clear();
        try {
            Value v = Deref(Eval(s.formula, node));
            frames[cur].trace.clear();
            return v;
        } catch (NeedCall& call) {
            Frame& caller = frames[cur];
            caller.waiting_entry = call.entry;
            caller.waiting_next = call.next;
            if (static_cast<int>(frames.size()) >= max_frames) {
                Deliver(Value::Error(ErrorCode::StackOverflow));
                return std::nullopt;
            }
            Enter(call.def, std::move(call.args));
            return std::nullopt;
        }
    }

    // Gives the frame on top the result of the call it waits on.
    void Deliver(Value v) {
        Frame& fr = frames.back();
        if (fr.trace.size() <= fr.waiting_entry) fr.trace.resize(fr.waiting_entry + 1);
        fr.trace[fr.waiting_entry] = {true, std::move(v), fr.waiting_next};
    }

    // A new frame for a call. A call from a statement whose arguments are
    // not what the parameters take gives the statement the error at once.
    void Enter(int def, std::vector<Value> args) {
        const CustomDefinition& d = defs[static_cast<std::size_t>(def)];
        if (!frames.empty())
            if (std::optional<Value> bad = CheckArgs(d, args)) {
                Deliver(*bad);
                return;
            }
        Frame fr;
        fr.def = def;
        fr.col = d.col;
        fr.row = d.row + 1;
        fr.args = std::move(args);
        frames.push_back(std::move(fr));
        deepest = std::max(deepest, frames.size());
    }

    static std::optional<Value> CheckArgs(const CustomDefinition& d, const std::vector<Value>& args) {
        if (d.fault) return Value::Error(*d.fault);
        if (args.size() > d.params.size()) return Value::Error(ErrorCode::ParameterOutOfRange);
        for (std::size_t i = 0; i < args.size(); ++i) {
            const Value& v = args[i];
            unsigned types = d.params[i].types;
            switch (v.type()) {
            case Value::Type::Blank:
                if (!(types & (kTakesNumber | kTakesText))) return Value::Error(ErrorCode::NumberNotExpected);
                break;
            case Value::Type::Number:
                if (!(types & kTakesNumber)) return Value::Error(ErrorCode::NumberNotExpected);
                break;
            case Value::Type::String:
                if (!(types & kTakesText)) return Value::Error(ErrorCode::StringNotExpected);
                break;
            case Value::Type::Date:
                if (!(types & kTakesDate)) return Value::Error(ErrorCode::DateNotExpected);
                break;
            case Value::Type::Array:
                if (!(types & kTakesArray)) return Value::Error(ErrorCode::ArrayNotExpected);
                break;
            case Value::Type::Error:
                if (!(types & kTakesError)) return v;
                break;
            case Value::Type::Reference:
                if (!(types & kTakesReference)) return Value::Error(ErrorCode::RangeNotExpected);
                break;
            }
        }
        return std::nullopt;
    }

    bool TopIs(const Frame& fr, Kind k) const { return !fr.blocks.empty() && fr.blocks.back().kind == k; }

    // One statement of the frame on top.
    Step StepOnce() {
        cur = frames.size() - 1;
        Frame& fr = frames[cur];
        if (fr.row < 1 || fr.row > rows) return Fail(ErrorCode::NoResult);
        const Statement& s = At(fr.col, fr.row);
        auto cond = [&](bool& out) -> std::optional<Step> {
            std::optional<Value> v = Run(s, s.cond);
            if (!v) return Step{};  // waits on a call
            Value err;
            if (!Truth(*v, out, err)) return Return(err);
            return std::nullopt;
        };
        switch (s.kind) {
        case Kind::Blank: ++fr.row; return {};
        case Kind::Function: return Fail(ErrorCode::NoResult);
        case Kind::If: {
            bool t;
            if (auto early = cond(t)) return *early;
            return Branch(t);
        }
        case Kind::ElseIf: {
            if (!fr.taking_elseif) {
                // The branch before it is done: on past the ENDIF.
                if (!TopIs(fr, Kind::If)) return Fail(ErrorCode::WronglyNestedIf);
                int end = FindClosing(fr.col, fr.blocks.back().row, Kind::If, false);
                fr.blocks.pop_back();
                if (!end) return Fail(ErrorCode::WronglyNestedIf);
                fr.row = end + 1;
                return {};
            }
            bool t;
            if (auto early = cond(t)) return *early;
            frames[cur].taking_elseif = false;
            return Branch(t);
        }
        case Kind::Else:
        case Kind::EndIf: {
            if (!TopIs(fr, Kind::If)) return Fail(ErrorCode::WronglyNestedIf);
            int from = fr.blocks.back().row;
            fr.blocks.pop_back();
            if (s.kind == Kind::EndIf) {
                ++fr.row;
                return {};
            }
            int end = FindClosing(fr.col, from, Kind::If, false);
            if (!end) return Fail(ErrorCode::WronglyNestedIf);
            fr.row = end + 1;
            return {};
        }
        case Kind::While: {
            bool t;
            if (auto early = cond(t)) return *early;
            Frame& f2 = frames[cur];
            bool open = TopIs(f2, Kind::While) && f2.blocks.back().row == f2.row;
            if (t) {
                if (!open) f2.blocks.push_back({Kind::While, f2.row, {}});
                ++f2.row;
                return {};
            }
            if (open) f2.blocks.pop_back();
            int end = FindClosing(f2.col, f2.row, Kind::While, false);
            if (!end) return Fail(ErrorCode::WronglyNestedLoop);
            f2.row = end + 1;
            return {};
        }
        case Kind::EndWhile:
            if (!TopIs(fr, Kind::While)) return Fail(ErrorCode::WronglyNestedLoop);
            fr.row = fr.blocks.back().row;
            return {};
        case Kind::Repeat:
            fr.blocks.push_back({Kind::Repeat, fr.row, {}});
            ++fr.row;
            return {};
        case Kind::Until: {
            if (!TopIs(fr, Kind::Repeat)) return Fail(ErrorCode::WronglyNestedLoop);
            bool t;
            if (auto early = cond(t)) return *early;
            Frame& f2 = frames[cur];
            if (t) {
                f2.blocks.pop_back();
                ++f2.row;
            } else {
                f2.row = f2.blocks.back().row + 1;
            }
            return {};
        }
        case Kind::For: return For(s);
        case Kind::Next: {
            if (!TopIs(fr, Kind::For)) return Fail(ErrorCode::WronglyNestedLoop);
            Block& b = fr.blocks.back();
            Value now = NameValue(b.counter);
            double x = now.IsNumber() ? now.number() : 0.0;
            x += b.step;
            names[b.counter] = Value::Number(x);
            if (b.step >= 0 ? x > b.end : x < b.end) {
                fr.blocks.pop_back();
                ++fr.row;
            } else {
                fr.row = b.row + 1;
            }
            return {};
        }
        case Kind::Expr: break;
        }
        std::optional<Value> v = Run(s, s.cond);
        if (!v) return {};
        Frame& f2 = frames[cur];
        values[Id(f2.col, f2.row)] = *v;
        switch (signal) {
        case Signal::None: ++f2.row; return {};
        case Signal::Result: return Return(Deref(signal_value));
        case Signal::Goto: f2.row = signal_count; return {};
        case Signal::Break: return Break(signal_count);
        case Signal::Continue: return Continue();
        }
        return {};
    }

    Step Branch(bool taken) {
        Frame& fr = frames[cur];
        if (taken) {
            fr.blocks.push_back({Kind::If, fr.row, {}});
            ++fr.row;
            return {};
        }
        int at = FindClosing(fr.col, fr.row, Kind::If, true);
        if (!at) return Fail(ErrorCode::WronglyNestedIf);
        Kind k = At(fr.col, at).kind;
        if (k == Kind::EndIf) {
            fr.row = at + 1;
        } else if (k == Kind::Else) {
            fr.blocks.push_back({Kind::If, at, {}});
            fr.row = at + 1;
        } else {
            fr.taking_elseif = true;
            fr.row = at;
        }
        return {};
    }

    Step For(const Statement& s) {
        // The FOR call gives its arguments as a row: counter name, start, end, step.
        std::optional<Value> v = Run(s, s.cond);
        if (!v) return {};
        if (!v->IsArray()) return Return(*v);
        const std::vector<Value>& a = v->array().items;
        std::string counter;
        double start, end, step = 1;
        Value err;
        if (!GetString(a[0], counter, err) || !GetNumber(a[1], start, err) || !GetNumber(a[2], end, err) ||
            (a.size() > 3 && !GetNumber(a[3], step, err)))
            return Return(err);
        counter = Lower(Trim(counter));
        if (!WellFormedName(counter)) return Fail(ErrorCode::BadIdentifier);
        names[counter] = Value::Number(start);
        Frame& f2 = frames[cur];
        if (step >= 0 ? start > end : start < end) {
            int close = FindClosing(f2.col, f2.row, Kind::For, false);
            if (!close) return Fail(ErrorCode::WronglyNestedLoop);
            f2.row = close + 1;
            return {};
        }
        f2.blocks.push_back({Kind::For, f2.row, counter, end, step});
        ++f2.row;
        return {};
    }

    Step Break(int count) {
        Frame& fr = frames[cur];
        int loops = 0;
        while (!fr.blocks.empty()) {
            Block b = fr.blocks.back();
            fr.blocks.pop_back();
            if (b.kind == Kind::If) continue;
            if (++loops < count) continue;
            int end = FindClosing(fr.col, b.row, b.kind, false);
            if (!end) return Fail(ErrorCode::WronglyNestedLoop);
            fr.row = end + 1;
            return {};
        }
        return Fail(ErrorCode::WronglyNestedLoop);
    }

    Step Continue() {
        Frame& fr = frames[cur];
        while (TopIs(fr, Kind::If)) fr.blocks.pop_back();
        if (fr.blocks.empty()) return Fail(ErrorCode::WronglyNestedLoop);
        const Block& b = fr.blocks.back();
        if (b.kind == Kind::While) {
            fr.row = b.row;
            return {};
        }
        int end = FindClosing(fr.col, b.row, b.kind, false);
        if (!end) return Fail(ErrorCode::WronglyNestedLoop);
        fr.row = end;
        return {};
    }

    // One call from outside the sheet, with its own frame stack.
    Value RunCall(int def, std::vector<Value> args) {
        if (steps_left <= 0) return Value::Error(ErrorCode::StackOverflow);
        frames.clear();
        std::optional<Value> bad = CheckArgs(defs[static_cast<std::size_t>(def)], args);
        if (bad) return *bad;
        Enter(def, std::move(args));
        long budget = steps_per_call;
        while (!frames.empty()) {
            if (--budget < 0 || --steps_left < 0) {
                frames.clear();
                return Value::Error(ErrorCode::StackOverflow);
            }
            ++steps_taken;
            Step st = StepOnce();
            if (!st.done) continue;
            frames.pop_back();
            if (frames.empty()) return st.value;
            Deliver(st.value);
        }
        return Value::Error(ErrorCode::NoResult);
    }
};

CustomSheet::CustomSheet(const CellSource& sheet) : impl_(std::make_unique<Impl>(sheet)) {}
CustomSheet::~CustomSheet() = default;

Value CustomSheet::CellValue(int col, int row) { return impl_->ReadCell(col, row); }

void CustomSheet::SetCell(int col, int row, const Value& v) {
    if (col >= 1 && col <= impl_->cols && row >= 1 && row <= impl_->rows) impl_->values[Impl::Id(col, row)] = v;
}

bool CustomSheet::Defines(std::string_view name) const {
    impl_->Scan();
    return impl_->by_name.count(Lower(name)) > 0;
}

void CustomSheet::SetStepLimits(long per_call, long per_document) {
    impl_->steps_per_call = per_call;
    impl_->steps_left = per_document;
}

void CustomSheet::SetFrameLimit(int frames) { impl_->max_frames = std::max(1, frames); }
long CustomSheet::StepsTaken() const { return impl_->steps_taken; }
std::size_t CustomSheet::DeepestStack() const { return impl_->deepest; }

Value CustomSheet::Call(std::string_view name, std::vector<Value> args) {
    Impl& m = *impl_;
    m.Scan();
    auto it = m.by_name.find(Lower(name));
    if (it == m.by_name.end()) return Value::Error(UndefinedCallError(name));
    int def = it->second;
    const CustomDefinition& d = m.defs[static_cast<std::size_t>(def)];
    bool takes_arrays = false;
    for (const CustomParameter& p : d.params) takes_arrays = takes_arrays || (p.types & kTakesArray);
    int cols = 0, rows = 0;
    for (const Value& a : args)
        if (a.IsArray()) cols = std::max(cols, a.array().cols), rows = std::max(rows, a.array().rows);
    if (takes_arrays || cols == 0) return m.RunCall(def, std::move(args));
    // No parameter takes an array: the function is called for each element.
    Array out(cols, rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            std::vector<Value> one;
            for (const Value& a : args) one.push_back(ExpandedAt(a, c, r, cols, rows));
            out.at(c, r) = m.RunCall(def, std::move(one));
        }
    return Value::MakeArray(std::move(out));
}

}  // namespace tw::formula
