#include "formula/parser.h"

#include <algorithm>

#include "formula/dates.h"
#include "formula/number_text.h"

namespace tw::formula {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsIdent(char c) { return IsAlpha(c) || IsDigit(c) || c == '_'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr int kMaxColumnLetters = 5;  // ZZZZZ is column 12,356,630
constexpr int kMaxRowDigits = 9;

// Digits of a number that count towards its precision: from the first
// that is not 0, up to the exponent.
int SignificantFigures(std::string_view digits) {
    int figures = 0;
    for (char ch : digits) {
        if (ch == 'e' || ch == 'E') break;
        if (IsDigit(ch) && (figures > 0 || ch != '0')) ++figures;
    }
    return figures;
}

// A "$" at `p`, stepped over.
bool Dollar(const char*& p, const char* e) {
    if (p == e || *p != '$') return false;
    ++p;
    return true;
}

// The column letters or row digits of a reference at `p`, in base `base`
// with `value` of each character: 0 when there are none or more than `most`.
template <class Is, class ValueOf>
int ReadPart(const char*& p, const char* e, int most, Is is, ValueOf value, int base) {
    const char* start = p;
    long long n = 0;
    for (; p < e && is(*p); ++p) {
        if (p - start >= most) return 0;
        n = n * base + value(*p);
    }
    return static_cast<int>(n);
}

// Raised inside the parser on a mistake; caught at the top.
struct ParseFailure {
    ErrorCode code;
};

class Parser {
public:
    Parser(std::string_view text, Formula& out) : s_(text), f_(out) {
        f_.nodes.reserve(8);
        f_.kids.reserve(8);
        heights_.reserve(8);
    }

    int ParseAll() {
        int root = ParseOr();
        SkipBlanks();
        if (pos_ != s_.size()) Fail();
        return root;
    }

private:
    std::string_view s_;
    std::size_t pos_ = 0;
    Formula& f_;
    int depth_ = 0;
    std::vector<int> heights_;

    [[noreturn]] void Fail(ErrorCode code = ErrorCode::MistakeInFormula) { throw ParseFailure{code}; }

    struct DepthGuard {
        Parser& p;
        explicit DepthGuard(Parser& parser) : p(parser) {
            if (++p.depth_ > kMaxFormulaDepth) p.Fail(ErrorCode::StackOverflow);
        }
        ~DepthGuard() { --p.depth_; }
    };

    void SkipBlanks() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }
    char Peek() {
        SkipBlanks();
        return pos_ < s_.size() ? s_[pos_] : '\0';
    }
    char PeekRaw(std::size_t ahead = 0) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0'; }
    bool Accept(char c) {
        if (Peek() != c) return false;
        ++pos_;
        return true;
    }
    void Expect(char c) {
        if (!Accept(c)) Fail();
    }

    int Add(Node n, const std::vector<int>& kids = {}) {
        int h = 0;
        for (int k : kids) h = std::max(h, heights_[static_cast<std::size_t>(k)]);
        if (h + 1 > kMaxFormulaDepth) Fail(ErrorCode::StackOverflow);
        n.first_kid = static_cast<int>(f_.kids.size());
        n.kid_count = static_cast<int>(kids.size());
        f_.kids.insert(f_.kids.end(), kids.begin(), kids.end());
        f_.nodes.push_back(std::move(n));
        heights_.push_back(h + 1);
        return static_cast<int>(f_.nodes.size()) - 1;
    }
    int Binary(Op op, int l, int r) {
        Node n;
        n.kind = Node::Kind::Binary;
        n.op = op;
        return Add(std::move(n), {l, r});
    }

    int ParseOr() {
        DepthGuard g(*this);
        int l = ParseAnd();
        while (Accept('|')) l = Binary(Op::Or, l, ParseAnd());
        return l;
    }
    int ParseAnd() {
        int l = ParseRel();
        while (Accept('&')) l = Binary(Op::And, l, ParseRel());
        return l;
    }
    int ParseRel() {
        int l = ParseAdd();
        for (;;) {
            char c = Peek();
            Op op = Op::None;
            if (c == '=') {
                op = Op::Eq;
                pos_ += 1;
            } else if (c == '<') {
                char d = PeekRaw(1);
                if (d == '>') op = Op::Ne, pos_ += 2;
                else if (d == '=') op = Op::Le, pos_ += 2;
                else op = Op::Lt, pos_ += 1;
            } else if (c == '>') {
                if (PeekRaw(1) == '=') op = Op::Ge, pos_ += 2;
                else op = Op::Gt, pos_ += 1;
            } else {
                return l;
            }
            l = Binary(op, l, ParseAdd());
        }
    }
    int ParseAdd() {
        int l = ParseMul();
        for (;;) {
            if (Accept('+')) l = Binary(Op::Add, l, ParseMul());
            else if (Accept('-')) l = Binary(Op::Sub, l, ParseMul());
            else return l;
        }
    }
    int ParseMul() {
        int l = ParsePow();
        for (;;) {
            if (Accept('*')) l = Binary(Op::Mul, l, ParsePow());
            else if (Accept('/')) l = Binary(Op::Div, l, ParsePow());
            else return l;
        }
    }
    // Unary minus binds tighter than "^": -2^2 is 4.
    int ParsePow() {
        int l = ParseUnary();
        while (Accept('^')) l = Binary(Op::Pow, l, ParseUnary());
        return l;
    }
    int ParseUnary() {
        DepthGuard g(*this);
        char c = Peek();
        Op op = c == '-' ? Op::Neg : c == '+' ? Op::Plus : c == '!' ? Op::Not : Op::None;
        if (op == Op::None) return ParsePrimary();
        ++pos_;
        int k = ParseUnary();
        Node n;
        n.kind = Node::Kind::Unary;
        n.op = op;
        return Add(std::move(n), {k});
    }

    int Constant(Value v) {
        Node n;
        n.kind = Node::Kind::Constant;
        n.value = std::move(v);
        return Add(std::move(n));
    }

    int ParsePrimary() {
        char c = Peek();
        if (c == '(') {
            ++pos_;
            int e = ParseOr();
            Expect(')');
            return e;
        }
        if (c == '"') return ParseString();
        if (c == '{') return ParseArray();
        if (c == '[') return ParseExternal();
        if (c == '@') return ParseParameter();
        if (IsDigit(c) || (c == '.' && IsDigit(PeekRaw(1)))) return ParseNumberOrDate();
        if (c == '$' || IsAlpha(c) || c == '_') return ParseWord();
        Fail();
    }

    int ParseString() {
        ++pos_;  // opening quote
        std::string out;
        for (;;) {
            if (pos_ >= s_.size()) Fail();
            char c = s_[pos_++];
            if (c == '"') {
                if (PeekRaw() == '"') {
                    out += '"';
                    ++pos_;
                    continue;
                }
                break;
            }
            out += c;
        }
        return Constant(Value::String(std::move(out)));
    }

    int ParseNumberOrDate() {
        DateLiteral lit = MatchDateLiteral(s_.substr(pos_));
        if (lit.length > 0) return ParseDate(lit);
        return ParseNumber();
    }

    int ParseDate(const DateLiteral& lit) {
        pos_ += lit.length;
        if (!lit.valid) return Constant(Value::Error(lit.value.has_date ? ErrorCode::BadDate : ErrorCode::BadTime));
        DateTime dt = lit.value;
        if (dt.has_date && !dt.has_time) JoinTime(dt);
        return Constant(Value::Date(dt));
    }

    // "1.6.1991 6:30": a date, blanks, then a time make one value. Without
    // such a time nothing is taken.
    void JoinTime(DateTime& dt) {
        std::size_t save = pos_;
        SkipBlanks();
        if (pos_ > save && IsDigit(PeekRaw())) {
            DateLiteral t = MatchDateLiteral(s_.substr(pos_));
            if (t.length > 0 && t.valid && t.value.has_time && !t.value.has_date) {
                pos_ += t.length;
                dt.has_time = true;
                dt.seconds = t.value.seconds;
                return;
            }
        }
        pos_ = save;
    }

    void SkipDigits() {
        while (IsDigit(PeekRaw())) ++pos_;
    }
    bool AtExponent() const {
        char e = PeekRaw(), sign = PeekRaw(1);
        return (e == 'e' || e == 'E') && (IsDigit(sign) || ((sign == '+' || sign == '-') && IsDigit(PeekRaw(2))));
    }

    int ParseNumber() {
        std::size_t start = pos_;
        SkipDigits();
        if (PeekRaw() == '.') {
            ++pos_;
            SkipDigits();
        }
        if (AtExponent()) {
            pos_ += 2;
            SkipDigits();
        }
        std::string digits(s_.substr(start, pos_ - start));
        double d = ParseDecimal(digits);
        // Numbers carry 15 significant figures.
        if (SignificantFigures(digits) > 15) d = ToSignificant(d);
        if (!(d <= 1.7976931348623157e308)) return Constant(Value::Error(ErrorCode::OutOfRange));
        return Constant(Value::Number(d));
    }

    // A cell reference at the current position, without moving on when
    // there is none.
    bool MatchRef(CellRef& ref, std::size_t& end) const { return MatchCellRef(s_, pos_, ref, end); }

    // A reference, a range, a name or a function.
    int ParseWord() {
        CellRef a;
        std::size_t end = 0;
        if (MatchRef(a, end)) return ParseReference(a, end);
        if (PeekRaw() == '$') Fail();
        std::size_t start = pos_;
        while (IsIdent(PeekRaw())) ++pos_;
        std::string name;
        for (std::size_t i = start; i < pos_; ++i) name += Lower(s_[i]);
        const FunctionSpec* fn = FindFunction(name);
        if (Peek() == '(') {
            ++pos_;
            return Call(fn, name, ParseArguments());
        }
        if (fn && fn->min_args == 0) return Call(fn, name, {});
        Node n;
        n.kind = Node::Kind::Name;
        n.text = std::move(name);
        return Add(std::move(n));
    }

    // A cell `a` ending at `end`, or a range when a second cell follows.
    int ParseReference(const CellRef& a, std::size_t end) {
        pos_ = end;
        CellRef b;
        std::size_t end2 = 0;
        Node n;
        n.a = a;
        if (MatchRef(b, end2)) {
            pos_ = end2;
            if (b.col < a.col || b.row < a.row) Fail();
            n.kind = Node::Kind::Range;
            n.b = b;
            return Add(std::move(n));
        }
        if (IsIdent(PeekRaw())) Fail();
        n.kind = Node::Kind::Ref;
        n.b = a;
        return Add(std::move(n));
    }

    // A function's arguments after its "(", up to and with the ")"; an
    // argument left out is blank.
    std::vector<int> ParseArguments() {
        std::vector<int> args;
        if (Accept(')')) return args;
        for (;;) {
            char c = Peek();
            if (c == ',' || c == ')') args.push_back(Constant(Value()));
            else args.push_back(ParseOr());
            if (Accept(',')) continue;
            Expect(')');
            return args;
        }
    }

    int Call(const FunctionSpec* fn, std::string name, const std::vector<int>& args) {
        int count = static_cast<int>(args.size());
        // IF with one argument is the statement of a custom function
        // sheet: left unbound here, it computes to the error for a control
        // statement used outside one.
        if (count == 1 && name == "if") fn = nullptr;
        if (fn && (count < fn->min_args || (fn->max_args >= 0 && count > fn->max_args))) Fail();
        Node n;
        n.kind = Node::Kind::Call;
        n.fn = fn;
        n.text = std::move(name);
        return Add(std::move(n), args);
    }

    int ParseArray() {
        DepthGuard g(*this);
        ++pos_;  // {
        std::vector<std::vector<int>> rows(1);
        if (!Accept('}')) {
            for (;;) {
                rows.back().push_back(ParseOr());
                if (Accept(',')) continue;
                if (Accept(';')) {
                    rows.emplace_back();
                    continue;
                }
                Expect('}');
                break;
            }
        }
        std::size_t cols = 0;
        for (const auto& r : rows) cols = std::max(cols, r.size());
        std::vector<int> kids;
        for (auto& r : rows) {
            while (r.size() < cols) r.push_back(Constant(Value()));
            kids.insert(kids.end(), r.begin(), r.end());
        }
        Node n;
        n.kind = Node::Kind::ArrayLit;
        n.cols = static_cast<int>(cols);
        n.rows = cols == 0 ? 0 : static_cast<int>(rows.size());
        return Add(std::move(n), kids);
    }

    // "[doc]A1", "[doc]A1B2", "[doc]name" or "[doc]function(...)": the
    // reference, name or call is the node's one kid, read as it would be
    // in the document it names.
    int ParseExternal() {
        std::size_t close = s_.find(']', pos_);
        if (close == std::string_view::npos) Fail();
        std::string doc(s_.substr(pos_ + 1, close - pos_ - 1));
        pos_ = close + 1;
        char c = PeekRaw();
        if (c != '$' && !IsAlpha(c) && c != '_') Fail();
        int inner = ParseWord();
        Node n;
        n.kind = Node::Kind::External;
        n.text = std::move(doc);
        return Add(std::move(n), {inner});
    }

    // "@name": a parameter of the custom function that is running.
    int ParseParameter() {
        std::size_t start = ++pos_;
        while (IsIdent(PeekRaw())) ++pos_;
        if (pos_ == start) Fail();
        Node n;
        n.kind = Node::Kind::Name;
        n.text = "@";
        for (std::size_t i = start; i < pos_; ++i) n.text += Lower(s_[i]);
        return Add(std::move(n));
    }
};

}  // namespace

bool MatchCellRef(std::string_view text, std::size_t pos, CellRef& ref, std::size_t& end) {
    // Every reference of every formula comes through here: plain pointer
    // steps, and nothing written until the whole of it is known.
    const char* p = text.data() + std::min(pos, text.size());
    const char* const e = text.data() + text.size();
    CellRef r;
    r.abs_col = Dollar(p, e);
    r.col = ReadPart(
        p, e, kMaxColumnLetters, IsAlpha, [](char c) { return Lower(c) - 'a' + 1; }, 26);
    if (r.col == 0) return false;
    r.abs_row = Dollar(p, e);
    r.row = ReadPart(
        p, e, kMaxRowDigits, IsDigit, [](char c) { return c - '0'; }, 10);
    if (r.row == 0) return false;
    if (p < e && *p == '_') return false;  // a name such as a_1 is no reference
    ref = r;
    end = static_cast<std::size_t>(p - text.data());
    return true;
}

Formula ParseFormula(std::string_view text) {
    Formula f;
    ParseFormulaInto(text, f);
    return f;
}

void ParseFormulaInto(std::string_view text, Formula& f) {
    f.nodes.clear();
    f.kids.clear();
    f.root = -1;
    if (text.size() > kMaxFormulaLength) {
        Node n;
        n.kind = Node::Kind::Error;
        n.value = Value::Error(ErrorCode::FormulaTooLong);
        f.nodes.push_back(std::move(n));
        f.root = 0;
        return;
    }
    try {
        Parser p(text, f);
        f.root = p.ParseAll();
    } catch (const ParseFailure& e) {
        f.nodes.clear();
        f.kids.clear();
        Node n;
        n.kind = Node::Kind::Error;
        n.value = Value::Error(e.code);
        f.nodes.push_back(std::move(n));
        f.root = 0;
    }
}

int ColumnNumber(std::string_view letters) {
    if (letters.empty() || letters.size() > kMaxColumnLetters) return 0;
    int col = 0;
    for (char c : letters) {
        if (!IsAlpha(c)) return 0;
        col = col * 26 + (Lower(c) - 'a' + 1);
    }
    return col;
}

}  // namespace tw::formula
