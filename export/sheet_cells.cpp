#include "export/sheet_cells.h"

#include <unordered_set>

#include "document/cell_text.h"
#include "document/layouts.h"
#include "document/markup.h"
#include "document/number_format.h"
#include "document/sheet_source.h"
#include "document/text.h"
#include "export/csv_export.h"
#include "export/ods_export.h"
#include "formula/evaluator.h"
#include "formula/parser.h"
#include "platform/atomic_output.h"

namespace tw {

using formula::ErrorCode;
using formula::Value;

bool SheetStyle::operator==(const SheetStyle& o) const {
    const formula::NumberFormat &a = format, &b = o.format;
    return shows == o.shows && align == o.align && a.decimals == b.decimals && a.floating == b.floating &&
           a.brackets == b.brackets && a.thousands == b.thousands && a.leading == b.leading &&
           a.trailing == b.trailing && a.dates == b.dates;
}

std::string_view TargetError(ErrorCode code) {
    switch (code) {
    case ErrorCode::DivideByZero: return "#DIV/0!";
    case ErrorCode::Lookup:
    case ErrorCode::ValueNotDefined: return "#N/A";
    case ErrorCode::BadCell:
    case ErrorCode::CellDeleted:
    case ErrorCode::FileNotLoaded: return "#REF!";
    case ErrorCode::NameNotDefined:
    case ErrorCode::CustomFunctionNotDefined:
    case ErrorCode::BadIdentifier: return "#NAME?";
    case ErrorCode::AccuracyLost:
    case ErrorCode::BadLogarithm:
    case ErrorCode::FPError:
    case ErrorCode::Irr:
    case ErrorCode::NegativeRoot:
    case ErrorCode::OutOfRange:
    case ErrorCode::ParameterOutOfRange:
    case ErrorCode::MixedSigns: return "#NUM!";
    default: return "#VALUE!";
    }
}

namespace {

// The document's title, else its file name without folder and extension.
std::string SheetNameSource(const DocumentModel& doc, std::string_view file_name) {
    if (doc.OptDE.find_first_not_of(' ') != std::string::npos) return doc.OptDE;
    std::string_view base = file_name.substr(file_name.find_last_of('/') + 1);
    std::size_t dot = base.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0) base = base.substr(0, dot);
    return std::string(base);
}

// Cuts `name` after 31 characters, not inside a UTF-8 sequence.
void KeepCharacters(std::string& name, std::size_t most) {
    std::size_t chars = 0, i = 0;
    for (; i < name.size(); ++i) {
        if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80 && ++chars > most) break;
    }
    name.resize(i);
}

}  // namespace

std::string SheetNameFor(const DocumentModel& doc, std::string_view file_name) {
    std::string name;
    for (char c : Cp1252ToUtf8(SheetNameSource(doc, file_name))) {
        if (std::string_view("[]*?:/\\").find(c) != std::string_view::npos) continue;
        if (static_cast<unsigned char>(c) < 0x20) continue;
        name += c;
    }
    // A quote may not open or close it; blanks round it are noise.
    while (!name.empty() && (name.front() == '\'' || name.front() == ' ')) name.erase(0, 1);
    while (!name.empty() && (name.back() == '\'' || name.back() == ' ')) name.pop_back();
    KeepCharacters(name, 31);
    return name.empty() ? "Sheet1" : name;
}

struct SheetWalk::Engine {
    explicit Engine(const DocumentModel& doc) : source(doc), eval(source), cells(doc.Cells, doc.NumCols) {}
    formula::DocumentSource source;
    formula::Evaluator eval;
    RowReader cells;
    formula::SharedFormulas formulas;         // a column's formulas of one shape parsed once
    std::unordered_set<std::string> defined;  // names the workbook defines, lower case
};

SheetWalk::SheetWalk(const DocumentModel& doc, std::string_view file_name, Dialect dialect)
    : doc_(doc),
      dialect_(dialect),
      name_(SheetNameFor(doc, file_name)),
      engine_(std::make_unique<Engine>(doc)),
      file_name_(file_name),
      defaults_(formula::DocumentNumberFormat(doc)) {
    styles_.push_back(SheetStyle{});
    DefineNames();
}

SheetWalk::~SheetWalk() = default;

int SheetWalk::Cols() const { return engine_->source.Cols(); }

int SheetWalk::ColumnWidth(int sheet_col) const {
    int col = engine_->source.ModelColumn(sheet_col);
    if (col < 1) return 0;
    std::string_view w = doc_.Cells(col, -2);
    int n = 0;
    for (char c : w) {
        if (c < '0' || c > '9') break;
        n = n * 10 + (c - '0');
        if (n > 255) return 255;
    }
    return n;
}

void SheetWalk::DefineNames() {
    // A name that is a cell or a block becomes the workbook's; any other
    // keeps the formulas using it as values.
    for (std::string_view value : doc_.OptionLines("ND")) {
        std::size_t comma = value.find(',');
        if (comma == std::string::npos) continue;
        std::string name = Trim(value.substr(0, comma));
        std::string lower = formula::Lower(name);
        auto def = engine_->source.NameDefinition(lower);
        if (!def || !NameIsDefinable(lower)) continue;
        formula::Formula f = formula::ParseFormula(*def);
        if (f.root < 0) continue;
        const formula::Node& n = f.node(f.root);
        if (n.kind != formula::Node::Kind::Ref && n.kind != formula::Node::Kind::Range) continue;
        if (n.b.row > 1048576 || n.b.col > (dialect_ == Dialect::Excel ? 16384 : 1024)) continue;
        if (!engine_->defined.insert(lower).second) {
            for (DefinedName& d : names_) {
                if (d.name == lower) d.a = n.a, d.b = n.b;
            }
            continue;
        }
        names_.push_back({lower, n.a, n.b});
    }
}

int SheetWalk::StyleOf(const SheetStyle& s) {
    for (std::size_t i = 0; i < styles_.size(); ++i) {
        if (styles_[i] == s) return static_cast<int>(i);
    }
    styles_.push_back(s);
    return static_cast<int>(styles_.size() - 1);
}

void SheetWalk::Row(int row, std::vector<SheetCell>& out) {
    out.clear();
    AppendRow(row, out);
}

void SheetWalk::AppendRow(int row, std::vector<SheetCell>& out) {
    const int fields = Cols();
    for (int field = 1; field <= fields; ++field) {
        int col = engine_->source.ModelColumn(field);
        std::string_view raw = col > 0 ? engine_->cells.Cell(col, row) : std::string_view();
        if (raw.empty()) continue;
        SheetCell cell;
        cell.col = field;
        if (IsNumberCell(raw)) Number(raw, field, row, cell);
        else Text(raw, cell);
        if (cell.kind == SheetCell::Kind::Text && cell.text.empty() && cell.formula.empty()) continue;
        out.push_back(std::move(cell));
    }
}

namespace {

// Collects a text cell's pieces under their highlights.
struct RunSink final : ControlSink {
    std::vector<TextRun> runs;
    unsigned on = 0;
    void Text(std::string_view text) override {
        if (text.empty()) return;
        if (runs.empty() || runs.back().highlights != on) runs.push_back({{}, on});
        runs.back().text += text;
    }
    void Toggle(Highlight h, bool now_on) override {
        unsigned bit = 1u << static_cast<unsigned>(h);
        on = now_on ? on | bit : on & ~bit;
    }
};

// A formula that is only a number, a date or its negation: written as
// the value, with no formula.
bool IsConstant(const formula::Formula& f) {
    if (f.root < 0) return false;
    const formula::Node* n = &f.node(f.root);
    if (n->kind == formula::Node::Kind::Unary && n->op != formula::Op::Not) n = &f.node(f.kid(*n, 0));
    return n->kind == formula::Node::Kind::Constant && (n->value.IsNumber() || n->value.IsDate());
}

}  // namespace

void SheetWalk::Text(std::string_view raw, SheetCell& cell) {
    CellConstructs c = ParseCellConstructs(raw);
    // Fields show what the PipeDream layout fills them with.
    if (c.content.find('@') != std::string::npos) {
        if (!fields_) fields_ = MakeShownCells(doc_, Layout::PipeDream, ContextFor(file_name_));
        c.content = fields_->Filled(c.content);
    }
    std::string text = CodesToText(c.content);
    cell.kind = SheetCell::Kind::Text;
    cell.text = Cp1252ToUtf8(text);
    SheetStyle style;
    style.align = c.align;
    cell.style = StyleOf(style);
    if (c.content.find("%H") == std::string::npos) return;
    RunSink sink;
    ControlPass(c.content, LonePercent::Keep, sink);
    // Only when the pieces make up the very text the text export gives
    // (no fields or other codes among them) do they stand as runs.
    std::string joined;
    bool any = false;
    for (const TextRun& r : sink.runs) joined += r.text, any = any || r.highlights != 0;
    if (!any || joined != text) return;
    for (TextRun& r : sink.runs) r.text = Cp1252ToUtf8(r.text);
    cell.runs = std::move(sink.runs);
}

namespace {

// A computed value as the cell's, with what its format shows.
void PutValue(const Value& v, SheetCell& cell, SheetStyle& style) {
    switch (v.type()) {
    case Value::Type::Number:
        cell.kind = SheetCell::Kind::Number;
        cell.number = v.number();
        style.shows = SheetStyle::Shows::Number;
        break;
    case Value::Type::Date: {
        const formula::DateTime& dt = v.date();
        cell.kind = SheetCell::Kind::Date;
        cell.number = dt.has_date ? dt.Serial() : dt.seconds / 86400.0;
        cell.text = formula::FormatIso(dt);
        style.shows = dt.has_date && dt.has_time ? SheetStyle::Shows::DateTime
                      : dt.has_date              ? SheetStyle::Shows::Date
                                                 : SheetStyle::Shows::Time;
        break;
    }
    case Value::Type::String:
        cell.kind = SheetCell::Kind::Text;
        cell.text = Cp1252ToUtf8(v.text());
        break;
    case Value::Type::Error:
        cell.kind = SheetCell::Kind::Error;
        cell.text = std::string(TargetError(v.error()));
        cell.comment = std::string(formula::ErrorName(v.error()));
        break;
    default: cell.kind = SheetCell::Kind::Text; break;
    }
}

}  // namespace

void SheetWalk::Number(std::string_view raw, int field, int row, SheetCell& cell) {
    CellConstructs c = ParseCellConstructs(raw);
    SheetStyle style;
    style.align = c.align;
    style.format = formula::CellNumberFormat(defaults_, doc_, c);
    // The usual number cell's formula is handed to the engine as read here.
    formula::CellInput in;
    const bool plain = IsPlainNumberCell(raw);
    if (plain) in = {formula::CellInput::Kind::Formula, std::string(raw.substr(3))};
    Value v = engine_->eval.CellValue(field, row, plain ? &in : nullptr);
    const bool array = v.IsArray();
    if (array) v = v.array().items.empty() ? Value() : v.array().items[0];
    PutValue(v, cell, style);
    cell.style = StyleOf(style);
    const formula::Formula& parsed = engine_->formulas.Get(c.content, field, row);
    if (IsConstant(parsed) && cell.kind != SheetCell::Kind::Error) return;
    const auto& defined = engine_->defined;
    Translation t = TranslateFormula(parsed, dialect_,
                                     [&defined](std::string_view n) { return defined.count(std::string(n)) > 0; });
    // A cell holds one value in the targets: an array stays in PipeDream.
    if (t.Live() && array) t = {{}, "a result that is an array"};
    if (t.Live() && RefersToArray(parsed)) t = {{}, "a reference to a cell holding an array"};
    if (t.Live()) {
        cell.formula = std::move(t.text);
        return;
    }
    ++frozen_[t.frozen];
    std::string shown = "PipeDream: " + Cp1252ToUtf8(Trim(c.content));
    cell.comment = cell.comment.empty() ? shown : cell.comment + "\n" + shown;
}

bool SheetWalk::RefersToArray(const formula::Formula& f) {
    for (const formula::Node& n : f.nodes) {
        if (n.kind == formula::Node::Kind::Ref && engine_->eval.CellValue(n.a.col, n.a.row).IsArray()) return true;
    }
    return false;
}

int SheetWalk::FrozenCount() const {
    int n = 0;
    for (const auto& [why, count] : frozen_) n += count;
    return n;
}

std::string SheetWalk::FrozenReport() const {
    int n = FrozenCount();
    if (n == 0) return {};
    std::string s = std::to_string(n) + (n == 1 ? " formula" : " formulas") + " kept as values only:";
    bool first = true;
    for (const auto& [why, count] : frozen_) {
        s += first ? " " : "; ";
        s += std::to_string(count) + " for " + why;
        first = false;
    }
    return s;
}

Status CommitWorkbook(AtomicOutput& out, const SheetWalk& walk, SheetReport* report) {
    try {
        out.Commit();
    } catch (const VbError& e) {
        return Status::Failed(e);
    }
    if (report) {
        report->frozen = walk.FrozenCount();
        report->frozen_text = walk.FrozenReport();
    }
    return Status::Done();
}

}  // namespace tw
