#include "formula/shared_formulas.h"

#include <cstring>

namespace tw::formula {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsWordChar(char c) { return IsAlpha(c) || IsDigit(c) || c == '_' || c == '$'; }

// Marks a reference in the key; the text itself never holds it.
constexpr char kRefMark = '\x01';

// A reference's parts as bytes of the key: which are fixed, then each
// part as its place or its distance from the cell.
std::size_t PutRef(char* out, const CellRef& r, int col, int row) {
    out[0] = static_cast<char>((r.abs_col ? 1 : 0) | (r.abs_row ? 2 : 0));
    int parts[2] = {r.abs_col ? r.col : r.col - col, r.abs_row ? r.row : r.row - row};
    std::memcpy(out + 1, parts, sizeof parts);
    return 1 + sizeof parts;
}

// A string literal from its opening quote: the position past its closing
// one, a doubled quote standing for a quote; 0 when it does not close.
std::size_t StringEnd(std::string_view t, std::size_t i) {
    for (++i; i < t.size(); ++i) {
        if (t[i] != '"') continue;
        if (i + 1 < t.size() && t[i + 1] == '"') {
            ++i;
            continue;
        }
        return i + 1;
    }
    return 0;
}

// A number or date from its first character: digits, points and colons,
// then an exponent the way the parser reads one.
std::size_t NumberEnd(std::string_view t, std::size_t i) {
    auto at = [&](std::size_t k) { return k < t.size() ? t[k] : '\0'; };
    while (IsDigit(at(i)) || at(i) == '.' || at(i) == ':') ++i;
    if ((at(i) == 'e' || at(i) == 'E') &&
        (IsDigit(at(i + 1)) || ((at(i + 1) == '+' || at(i + 1) == '-') && IsDigit(at(i + 2))))) {
        i += 2;
        while (IsDigit(at(i))) ++i;
    }
    return i;
}

// A word (a run of letters, digits, "_" and "$") read as the parser reads
// one: a reference or block taking the whole word, or a name or function
// without "$". False for anything else, which the parser refuses.
bool ReadWord(std::string_view word, RefToken& tok, bool& is_ref) {
    std::size_t end = 0, end2 = 0;
    is_ref = MatchCellRef(word, 0, tok.a, end);
    if (!is_ref) return word.find('$') == std::string_view::npos;
    CellRef b;
    tok.range = MatchCellRef(word, end, b, end2);
    tok.b = tok.range ? b : tok.a;
    if (tok.range) {
        end = end2;
        if (b.col < tok.a.col || b.row < tok.a.row) return false;
    }
    return end == word.size();
}

// Where what starts at `i` ends when it is no word: a string, a number, or
// a single character. 0 for a string that does not close.
std::size_t TokenEnd(std::string_view t, std::size_t i) {
    char c = t[i];
    if (c == '"') return StringEnd(t, i);
    if (IsDigit(c) || (c == '.' && i + 1 < t.size() && IsDigit(t[i + 1]))) return NumberEnd(t, i);
    return i + 1;
}

void PutToken(std::string& key, const RefToken& tok, int col, int row) {
    char buf[2 + 2 * 9];
    std::size_t n = 0;
    buf[n++] = kRefMark;
    buf[n++] = tok.range ? 'B' : 'C';
    n += PutRef(buf + n, tok.a, col, row);
    if (tok.range) n += PutRef(buf + n, tok.b, col, row);
    key.append(buf, n);
}

bool SameRef(const CellRef& x, const CellRef& y) {
    return x.col == y.col && x.row == y.row && x.abs_col == y.abs_col && x.abs_row == y.abs_row;
}

}  // namespace

bool RelativeForm(std::string_view text, int col, int row, std::string& key, std::vector<RefToken>& refs) {
    key.clear();
    refs.clear();
    std::size_t i = 0, copied = 0;  // text before `copied` is in the key
    while (i < text.size()) {
        char c = text[i];
        if (c == kRefMark || c == '[') return false;
        if (!IsAlpha(c) && c != '_' && c != '$') {
            i = TokenEnd(text, i);
            if (i == 0) return false;
            continue;
        }
        std::size_t next = i + 1;
        while (next < text.size() && IsWordChar(text[next])) ++next;
        RefToken tok;
        bool is_ref = false;
        if (!ReadWord(text.substr(i, next - i), tok, is_ref)) return false;
        if (is_ref) {
            key.append(text.data() + copied, i - copied);
            PutToken(key, tok, col, row);
            copied = next;
            refs.push_back(tok);
        }
        i = next;
    }
    key.append(text.data() + copied, text.size() - copied);
    return true;
}

const Formula& SharedFormulas::Get(std::string_view text, int col, int row) {
    if (text.size() > kMaxText || !RelativeForm(text, col, row, key_, refs_)) {
        ParseFormulaInto(text, single_);
        return single_;
    }
    auto it = shapes_.find(key_);
    if (it != shapes_.end()) {
        Shape& shape = it->second;
        for (std::size_t k = 0; k < refs_.size(); ++k) {
            Node& n = shape.formula.nodes[static_cast<std::size_t>(shape.ref_nodes[k])];
            n.a = refs_[k].a;
            n.b = refs_[k].b;
        }
        return shape.formula;
    }
    ParseFormulaInto(text, single_);
    // Kept only when the parser found the same references as the scan,
    // in the same order.
    std::vector<int> ref_nodes;
    for (std::size_t k = 0; k < single_.nodes.size(); ++k) {
        const Node& n = single_.nodes[k];
        if (n.kind != Node::Kind::Ref && n.kind != Node::Kind::Range) continue;
        std::size_t m = ref_nodes.size();
        if (m >= refs_.size() || refs_[m].range != (n.kind == Node::Kind::Range) || !SameRef(refs_[m].a, n.a) ||
            !SameRef(refs_[m].b, n.b))
            return single_;
        ref_nodes.push_back(static_cast<int>(k));
    }
    if (ref_nodes.size() != refs_.size()) return single_;
    if (shapes_.size() >= kMaxShapes || nodes_ + single_.nodes.size() > kMaxNodes) {
        shapes_.clear();
        nodes_ = 0;
    }
    nodes_ += single_.nodes.size();
    Shape& shape = shapes_[key_];
    shape.formula = std::move(single_);
    shape.ref_nodes = std::move(ref_nodes);
    single_ = Formula();
    return shape.formula;
}

}  // namespace tw::formula
