#include "export/sheet_formula.h"

#include <array>

#include "export/csv_export.h"

namespace tw {

using formula::CellRef;
using formula::Formula;
using formula::Node;
using formula::Op;

namespace {

constexpr std::string_view kArrays = "array results have no single-cell counterpart";
constexpr std::string_view kLocale = "depends on the reader's language";
constexpr std::string_view kMacro = "acts on the document or the user";
constexpr std::string_view kMeaning = "means something else in other spreadsheets";

// PipeDream's financial functions take the payment as a positive amount
// and give a positive result; the targets' take cash flows with signs,
// so the amount paid goes in negated. irr names its guess first.
constexpr FunctionRow kRows[] = {
    // Mathematics
    {"abs", 1, "ABS(%1)", ""},
    {"base", 2, "BASE(%1;%2)", "_xlfn.BASE(%1;%2)"},
    {"base", 3, "BASE(%1;%2;%3)", "_xlfn.BASE(%1;%2;%3)"},
    {"ceiling", 1, "COM.MICROSOFT.CEILING(%1;1)", "CEILING(%1;1)"},
    {"ceiling", 2, "COM.MICROSOFT.CEILING(%1;%2)", "CEILING(%1;%2)"},
    {"decimal", 2, "", "", "reads digits and suffixes its own way"},
    {"exp", 1, "EXP(%1)", ""},
    {"fact", 1, "FACT(%1)", ""},
    {"floor", 1, "COM.MICROSOFT.FLOOR(%1;1)", "FLOOR(%1;1)"},
    {"floor", 2, "COM.MICROSOFT.FLOOR(%1;%2)", "FLOOR(%1;%2)"},
    // int truncates towards zero, as TRUNC does; INT rounds down.
    {"int", 1, "TRUNC(%1)", ""},
    {"ln", 1, "LN(%1)", ""},
    {"log", 1, "LOG10(%1)", ""},
    {"log", 2, "LOG(%1;%2)", ""},
    // mod keeps the dividend's sign (truncated division); MOD the divisor's.
    {"mod", 2, "(%1-%2*TRUNC(%1/%2))", ""},
    {"round", 1, "ROUND(%1;0)", ""},
    {"round", 2, "ROUND(%1;%2)", ""},
    {"seriessum", 4, "SERIESSUM(%1;%2;%3;%4)", ""},
    {"sgn", 1, "SIGN(%1)", ""},
    {"sqr", 1, "SQRT(%1)", ""},
    {"sum", -1, "SUM(%*)", ""},
    // Trigonometry: the reciprocal functions through their partners.
    {"acs", 1, "ACOS(%1)", ""},
    {"acosec", 1, "ASIN(1/%1)", ""},
    {"acosech", 1, "ASINH(1/%1)", ""},
    {"acosh", 1, "ACOSH(%1)", ""},
    {"acot", 1, "", "", kMeaning},
    {"acoth", 1, "ATANH(1/%1)", ""},
    {"asec", 1, "ACOS(1/%1)", ""},
    {"asech", 1, "ACOSH(1/%1)", ""},
    {"asinh", 1, "ASINH(%1)", ""},
    {"asn", 1, "ASIN(%1)", ""},
    {"atan_2", 2, "ATAN2(%1;%2)", ""},
    {"atanh", 1, "ATANH(%1)", ""},
    {"atn", 1, "ATAN(%1)", ""},
    {"cos", 1, "COS(%1)", ""},
    {"cosec", 1, "(1/SIN(%1))", ""},
    {"cosech", 1, "(1/SINH(%1))", ""},
    {"cosh", 1, "COSH(%1)", ""},
    {"cot", 1, "(1/TAN(%1))", ""},
    {"coth", 1, "(1/TANH(%1))", ""},
    {"deg", 1, "DEGREES(%1)", ""},
    {"pi", 0, "PI()", ""},
    {"rad", 1, "RADIANS(%1)", ""},
    {"sec", 1, "(1/COS(%1))", ""},
    {"sech", 1, "(1/COSH(%1))", ""},
    {"sin", 1, "SIN(%1)", ""},
    {"sinh", 1, "SINH(%1)", ""},
    {"tan", 1, "TAN(%1)", ""},
    {"tanh", 1, "TANH(%1)", ""},
    // Statistics
    {"avg", -1, "AVERAGE(%*)", ""},
    {"beta", 2, "EXP(GAMMALN(%1)+GAMMALN(%2)-GAMMALN(%1+%2))", ""},
    {"bin", 2, "", "", kArrays},
    {"combin", 2, "COMBIN(%1;%2)", ""},
    {"count", -1, "COUNT(%*)", ""},
    {"counta", -1, "COUNTA(%*)", ""},
    {"gammaln", 1, "GAMMALN(%1)", ""},
    {"grand", -1, "", "", "draws its own random numbers"},
    {"growth", 2, "", "", kArrays},
    {"linest", -1, "", "", kArrays},
    {"listcount", 1, "", "", kArrays},
    {"logest", -1, "", "", kArrays},
    {"max", -1, "MAX(%*)", ""},
    {"median", -1, "MEDIAN(%*)", ""},
    {"min", -1, "MIN(%*)", ""},
    {"permut", 2, "PERMUT(%1;%2)", ""},
    {"rand", -1, "", "", "draws its own random numbers"},
    {"rank", -1, "", "", kArrays},
    {"spearman", 2, "", "", kMeaning},
    {"std", -1, "STDEV(%*)", ""},
    {"stdp", -1, "STDEVP(%*)", ""},
    {"trend", 2, "", "", kArrays},
    {"var", -1, "VAR(%*)", ""},
    {"varp", -1, "VARP(%*)", ""},
    // Strings
    {"char", 1, "CHAR(%1)", ""},
    {"code", 1, "CODE(%1)", ""},
    {"exact", 2, "IF(EXACT(%1;%2);1;0)", ""},
    {"find", 2, "FIND(%1;%2)", ""},
    {"find", 3, "FIND(%1;%2;%3)", ""},
    {"formula_text", 1, "", "", kMacro},
    {"join", -1, "CONCATENATE(%*)", ""},
    {"left", 1, "LEFT(%1)", ""},
    {"left", 2, "LEFT(%1;%2)", ""},
    {"length", 1, "LEN(%1)", ""},
    {"lower", 1, "LOWER(%1)", ""},
    {"mid", 3, "MID(%1;%2;%3)", ""},
    {"proper", 1, "", "", "leaves the other letters as they are"},
    {"replace", 4, "REPLACE(%1;%2;%3;%4)", ""},
    {"rept", 2, "REPT(%1;%2)", ""},
    {"reverse", 1, "", "", "no target reverses a string"},
    {"right", 1, "RIGHT(%1)", ""},
    {"right", 2, "RIGHT(%1;%2)", ""},
    {"string", -1, "", "", kLocale},
    {"trim", 1, "TRIM(%1)", ""},
    {"upper", 1, "UPPER(%1)", ""},
    {"value", 1, "", "", kLocale},
    // Dates and times
    {"age", 2, "", "", kMeaning},
    {"date", 3, "DATE(%1;%2;%3)", ""},
    {"datevalue", 1, "", "", kLocale},
    {"day", 1, "DAY(%1)", ""},
    {"dayname", 1, "", "", kLocale},
    {"hour", 1, "HOUR(%1)", ""},
    {"minute", 1, "MINUTE(%1)", ""},
    {"month", 1, "MONTH(%1)", ""},
    {"monthdays", 1, "DAY(EOMONTH(%1;0))", ""},
    {"monthname", 1, "", "", kLocale},
    {"now", 0, "NOW()", ""},
    {"second", 1, "SECOND(%1)", ""},
    {"time", 3, "TIME(%1;%2;%3)", ""},
    {"timevalue", 1, "", "", kLocale},
    {"today", 0, "TODAY()", ""},
    {"weekday", 1, "WEEKDAY(%1)", ""},
    {"weeknumber", 1, "", "", kMeaning},
    {"year", 1, "YEAR(%1)", ""},
    // Finance
    {"cterm", 3, "(LN(%2/%3)/LN(1+%1))", ""},
    {"ddb", 4, "DDB(%1;%2;%3;%4)", ""},
    {"ddb", 5, "DDB(%1;%2;%3;%4;%5)", ""},
    {"fv", 3, "FV(%2;%3;-(%1))", ""},
    {"irr", 2, "IRR(%2;%1)", ""},
    {"mirr", 3, "MIRR(%1;%2;%3)", ""},
    {"npv", 2, "NPV(%1;%2)", ""},
    {"pmt", 3, "PMT(%2;%3;-(%1))", ""},
    {"pv", 3, "PV(%2;%3;-(%1))", ""},
    {"rate", 3, "((%1/%2)^(1/%3)-1)", ""},
    {"sln", 3, "SLN(%1;%2;%3)", ""},
    {"syd", 4, "SYD(%1;%2;%3;%4)", ""},
    {"term", 3, "NPER(%2;-(%1);0;%3)", ""},
    // Lookup and reference: index names its column before its row;
    // vlookup and hlookup read a parallel range beside the one searched.
    // A range as choose's only list is a list of its cells.
    {"choose", 2, "INDEX(%2;%1)", "", {}, 2},
    {"choose", -1, "CHOOSE(%*)", ""},
    {"col", 0, "COLUMN()", ""},
    {"col", 1, "COLUMN(%1)", ""},
    {"cols", 1, "COLUMNS(%1)", ""},
    {"hlookup", 3, "LOOKUP(%1;%2;OFFSET(%2;%3;0))", "", {}, 2},
    {"index", 3, "INDEX(%1;%3;%2)", "", {}, 1},
    {"lookup", 3, "INDEX(%3;MATCH(%1;%2;0))", "", {}, 3},
    // match gives the cell's value, not its place.
    {"match", 3, "INDEX(%2;MATCH(%1;%2;%3))", "", {}, 2},
    {"row", 0, "ROW()", ""},
    {"row", 1, "ROW(%1)", ""},
    {"rows", 1, "ROWS(%1)", ""},
    {"vlookup", 3, "LOOKUP(%1;%2;OFFSET(%2;0;%3))", "", {}, 2},
    // Control and the rest
    {"if", 3, "IF(%1;%2;%3)", ""},
    {"m_determ", 1, "MDETERM(%1)", ""},
    {"m_inverse", 1, "", "", kArrays},
    {"m_mult", 2, "", "", kArrays},
    {"transpose", 1, "", "", kArrays},
    {"alert", -1, "", "", kMacro},
    {"deref", 1, "", "", kMacro},
    {"flip", 1, "", "", kArrays},
    {"input", -1, "", "", kMacro},
    {"set_name", 2, "", "", kMacro},
    {"set_value", 2, "", "", kMacro},
    {"sort", -1, "", "", kArrays},
    {"type", 1, "", "", kMeaning},
    {"version", 0, "", "", kMeaning},
};

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The widest sheets the targets hold: LibreOffice's default 1024
// columns, Excel's 16384, and both a million rows.
bool InTarget(const CellRef& r, Dialect d) {
    return r.col >= 1 && r.row >= 1 && r.row <= 1048576 && r.col <= (d == Dialect::Excel ? 16384 : 1024);
}

std::string OneRef(const CellRef& r, bool absolute) {
    std::string s;
    if (absolute || r.abs_col) s += '$';
    s += formula::ColumnName(r.col);
    if (absolute || r.abs_row) s += '$';
    s += std::to_string(r.row);
    return s;
}

std::string_view OpText(Op op) {
    switch (op) {
    case Op::Pow: return "^";
    case Op::Mul: return "*";
    case Op::Div: return "/";
    case Op::Add: return "+";
    case Op::Sub: return "-";
    case Op::Eq: return "=";
    case Op::Ne: return "<>";
    case Op::Lt: return "<";
    case Op::Gt: return ">";
    case Op::Le: return "<=";
    case Op::Ge: return ">=";
    case Op::Neg: return "-";
    case Op::Plus: return "+";
    default: return "";
    }
}

bool IsLogical(const Node& n) {
    return (n.kind == Node::Kind::Binary && n.op >= Op::Eq) || (n.kind == Node::Kind::Unary && n.op == Op::Not);
}

class Writer {
public:
    Writer(const Formula& f, Dialect d, const std::function<bool(std::string_view)>& defined)
        : f_(f), d_(d), defined_(defined) {}

    Translation Run() {
        Translation t;
        if (f_.root < 0) {
            t.frozen = "the formula is empty";
            return t;
        }
        const Node& root = f_.node(f_.root);
        std::string text = Emit(f_.root);
        // Comparisons give 1 or 0 in PipeDream, TRUE or FALSE elsewhere.
        if (frozen_.empty() && IsLogical(root)) text = "IF(" + text + Sep() + "1" + Sep() + "0)";
        if (!frozen_.empty()) t.frozen = frozen_;
        else t.text = std::move(text);
        return t;
    }

private:
    std::string Sep() const { return d_ == Dialect::Excel ? "," : ";"; }

    std::string Freeze(std::string why) {
        if (frozen_.empty()) frozen_ = std::move(why);
        return {};
    }

    // A part of a larger expression: bracketed unless it stands alone.
    std::string Operand(int i) {
        const Node& n = f_.node(i);
        std::string s = Emit(i);
        if (n.kind == Node::Kind::Binary || n.kind == Node::Kind::Unary) return "(" + s + ")";
        return s;
    }

    std::string Constant(const formula::Value& v) {
        using formula::Value;
        switch (v.type()) {
        case Value::Type::Blank: return {};
        case Value::Type::Number: return ShortestNumber(v.number());
        case Value::Type::String: {
            std::string s = "\"";
            for (char c : Cp1252ToUtf8(v.text())) {
                if (c == '"') s += '"';
                s += c;
            }
            return s + "\"";
        }
        case Value::Type::Date: {
            const formula::DateTime& dt = v.date();
            std::string s;
            if (dt.has_date) {
                formula::Ymd ymd = dt.Date();
                if (ymd.year < 1900) return Freeze("a date before 1900");
                s = "DATE(" + std::to_string(ymd.year) + Sep() + std::to_string(ymd.month) + Sep() +
                    std::to_string(ymd.day) + ")";
            }
            if (dt.has_time) {
                if (!s.empty()) s += "+";
                s += "TIME(" + std::to_string(dt.Hour()) + Sep() + std::to_string(dt.Minute()) + Sep() +
                     std::to_string(dt.Second()) + ")";
            }
            return s;
        }
        case Value::Type::Error: return Freeze("an error written in the formula");
        default: return Freeze("a value with no written form");
        }
    }

    std::string Array(const Node& n) {
        std::string s = "{";
        for (int r = 0; r < n.rows; ++r) {
            if (r > 0) s += d_ == Dialect::Excel ? ";" : "|";
            for (int c = 0; c < n.cols; ++c) {
                if (c > 0) s += Sep();
                const Node* item = &f_.node(f_.kid(n, r * n.cols + c));
                if (item->kind == Node::Kind::Unary && (item->op == Op::Neg || item->op == Op::Plus)) {
                    s += OpText(item->op);
                    item = &f_.node(f_.kid(*item, 0));
                }
                if (item->kind != Node::Kind::Constant || !(item->value.IsNumber() || item->value.IsString())) {
                    return Freeze("an array of more than numbers and strings");
                }
                s += Constant(item->value);
            }
        }
        return s + "}";
    }

    // The row of the table for a call of `n`'s name and argument count;
    // `known` says whether the table has the name at all.
    static const FunctionRow* RowFor(const Node& n, bool& known) {
        known = false;
        for (const FunctionRow& r : kRows) {
            if (r.name != n.text) continue;
            known = true;
            if (r.args == -1 || r.args == n.kid_count) return &r;
        }
        return nullptr;
    }

    // Why the call cannot be written live, or "" when it can.
    std::string WhyNot(const Node& n, const FunctionRow* row, bool known) const {
        if (!n.fn) return "custom function " + n.text;
        if (!known && n.text.rfind("c_", 0) == 0) return n.text + ": complex numbers have no counterpart";
        if (!known && n.text[0] == 'd') return n.text + ": its conditions are PipeDream formulas";
        if (!known) return n.text + ": no counterpart";
        if (!row) return n.text + " with " + std::to_string(n.kid_count) + " arguments";
        if (row->range_arg > 0 && row->range_arg <= n.kid_count) {
            Node::Kind k = f_.node(f_.kid(n, row->range_arg - 1)).kind;
            if (k != Node::Kind::Range && k != Node::Kind::ArrayLit && k != Node::Kind::Name) {
                return n.text + " of what is not a range";
            }
        }
        return "";
    }

    // The row's template filled in: ";" the separator, "%1".."%9" an
    // argument, "%*" all of them.
    std::string Fill(std::string_view tmpl, const std::vector<std::string>& args) const {
        std::string s;
        for (std::size_t i = 0; i < tmpl.size(); ++i) {
            char c = tmpl[i];
            const bool code = c == '%' && i + 1 < tmpl.size();
            if (c == ';') {
                s += Sep();
            } else if (code && tmpl[i + 1] == '*') {
                for (std::size_t k = 0; k < args.size(); ++k) s += (k ? Sep() : "") + args[k];
                ++i;
            } else if (code && IsDigit(tmpl[i + 1])) {
                std::size_t k = static_cast<std::size_t>(tmpl[++i] - '1');
                if (k < args.size()) s += args[k];
            } else {
                s += c;
            }
        }
        return s;
    }

    std::string Call(const Node& n) {
        bool known = false;
        const FunctionRow* row = RowFor(n, known);
        if (std::string why = WhyNot(n, row, known); !why.empty()) return Freeze(why);
        std::string_view tmpl = d_ == Dialect::Excel && !row->xlsx.empty() ? row->xlsx : row->ods;
        if (tmpl.empty()) return Freeze(n.text + ": " + std::string(row->why));
        std::vector<std::string> args;
        for (int k = 0; k < n.kid_count; ++k) args.push_back(Operand(f_.kid(n, k)));
        return Fill(tmpl, args);
    }

    std::string Emit(int i) {
        const Node& n = f_.node(i);
        switch (n.kind) {
        case Node::Kind::Constant: return Constant(n.value);
        case Node::Kind::Ref:
        case Node::Kind::Range:
            if (!InTarget(n.a, d_) || !InTarget(n.b, d_)) return Freeze("a reference past the sheet's edge");
            return ReferenceText(n.a, n.b, d_);
        case Node::Kind::Name:
            if (!defined_(n.text)) return Freeze("the name " + n.text + ", which cannot be defined there");
            return n.text;
        case Node::Kind::External: return Freeze("a reference to another document");
        case Node::Kind::Error: return Freeze("a mistake in the formula");
        case Node::Kind::ArrayLit: return Array(n);
        case Node::Kind::Call: return Call(n);
        case Node::Kind::Unary:
            if (n.op == Op::Not) return "NOT(" + Emit(f_.kid(n, 0)) + ")";
            return std::string(OpText(n.op)) + Operand(f_.kid(n, 0));
        case Node::Kind::Binary:
            if (n.op == Op::And || n.op == Op::Or) {
                return std::string(n.op == Op::And ? "AND(" : "OR(") + Emit(f_.kid(n, 0)) + Sep() + Emit(f_.kid(n, 1)) +
                       ")";
            }
            return Operand(f_.kid(n, 0)) + std::string(OpText(n.op)) + Operand(f_.kid(n, 1));
        }
        return Freeze("an unknown part");
    }

    const Formula& f_;
    Dialect d_;
    const std::function<bool(std::string_view)>& defined_;
    std::string frozen_;
};

}  // namespace

std::span<const FunctionRow> FunctionRows() { return kRows; }

namespace {

// Letters then digits read as a cell (up to XFD and beyond in some
// readers); R and C alone, or followed by digits, as R1C1 references.
bool ReadsAsCell(std::string_view name) {
    std::size_t letters = 0;
    while (letters < name.size() && IsAlpha(name[letters])) ++letters;
    bool digits_only = letters < name.size();
    for (std::size_t i = letters; i < name.size(); ++i) digits_only = digits_only && IsDigit(name[i]);
    if (digits_only && letters <= 4) return true;
    char first = static_cast<char>(name[0] | 0x20);
    return (first == 'r' || first == 'c') && (name.size() == 1 || (letters == 1 && digits_only));
}

// A word the targets read as something else: a truth value or a function.
bool IsReserved(std::string_view name) {
    std::string lower;
    for (char c : name) lower += static_cast<char>(IsAlpha(c) ? (c | 0x20) : c);
    if (lower == "true" || lower == "false") return true;
    for (const FunctionRow& r : kRows) {
        if (r.name == lower) return true;
    }
    return formula::FindFunction(lower) != nullptr;
}

}  // namespace

bool NameIsDefinable(std::string_view name) {
    if (name.empty() || name.size() > 255 || !IsAlpha(name[0])) return false;
    for (char c : name) {
        if (!IsAlpha(c) && !IsDigit(c) && c != '_') return false;
    }
    return !ReadsAsCell(name) && !IsReserved(name);
}

std::string ReferenceText(const CellRef& a, const CellRef& b, Dialect d, bool absolute, std::string_view sheet) {
    bool cell = a.col == b.col && a.row == b.row && a.abs_col == b.abs_col && a.abs_row == b.abs_row;
    if (d == Dialect::Excel) {
        std::string s = sheet.empty() ? std::string() : std::string(sheet) + "!";
        s += OneRef(a, absolute);
        if (!cell) s += ":" + OneRef(b, absolute);
        return s;
    }
    std::string s = "[" + std::string(sheet) + "." + OneRef(a, absolute);
    if (!cell) s += ":." + OneRef(b, absolute);
    return s + "]";
}

Translation TranslateFormula(const Formula& f, Dialect dialect, const std::function<bool(std::string_view)>& defined) {
    return Writer(f, dialect, defined).Run();
}

Translation TranslateFormulaText(std::string_view text, Dialect dialect) {
    Formula f = formula::ParseFormula(text);
    return TranslateFormula(f, dialect, [](std::string_view name) { return NameIsDefinable(name); });
}

}  // namespace tw
