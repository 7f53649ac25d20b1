#include "document/sheet_source.h"

#include "document/cell_text.h"
#include "document/constructs.h"
#include "formula/functions.h"
#include "formula/parser.h"

namespace tw::formula {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

DocumentSource::DocumentSource(const DocumentModel& doc, bool statements)
    : doc_(doc), shown_as_statements_(doc.IsCustomFunctionSheet && !statements) {
    if (doc.Linked) LinkTo(doc.Linked.get(), doc.Linked->RootFolder());
    for (std::string_view value : doc.OptionLines("ND")) {
        std::size_t comma = value.find(',');
        if (comma == std::string::npos) continue;
        std::string_view name = Trim(std::string_view(value).substr(0, comma));
        if (name.empty()) continue;
        // A later definition of the same name replaces the earlier one.
        names_[Lower(name)] = std::string(Trim(std::string_view(value).substr(comma + 1)));
    }
    PlaceColumns();
}

void DocumentSource::PlaceColumns() {
    // Column names are at most a few letters, so the sheet stays small
    // even for a name like ZZZZZ; past this a name is taken as no name.
    constexpr int kWidestSheet = 18278;  // ZZZ
    int n = doc_.NumCols;
    sheet_of_model_.assign(static_cast<std::size_t>(n), 0);
    std::vector<int> unplaced;
    for (int c = 1; c <= n; ++c) {
        int sheet = ColumnNumber(Trim(doc_.Cells(c, -3)));
        if (sheet < 1 || sheet > kWidestSheet || ModelColumn(sheet) != 0) {
            unplaced.push_back(c);
            continue;
        }
        if (static_cast<int>(model_of_sheet_.size()) < sheet) model_of_sheet_.resize(static_cast<std::size_t>(sheet));
        model_of_sheet_[static_cast<std::size_t>(sheet - 1)] = c;
        sheet_of_model_[static_cast<std::size_t>(c - 1)] = sheet;
    }
    std::size_t past = model_of_sheet_.size();
    for (int c : unplaced) {
        int sheet = ModelColumn(c) == 0 && static_cast<std::size_t>(c) <= past ? c : static_cast<int>(++past);
        if (static_cast<int>(model_of_sheet_.size()) < sheet) model_of_sheet_.resize(static_cast<std::size_t>(sheet));
        model_of_sheet_[static_cast<std::size_t>(sheet - 1)] = c;
        sheet_of_model_[static_cast<std::size_t>(c - 1)] = sheet;
    }
}

int DocumentSource::SheetColumn(int model_col) const {
    if (model_col < 1 || model_col > static_cast<int>(sheet_of_model_.size())) return 0;
    return sheet_of_model_[static_cast<std::size_t>(model_col - 1)];
}

int DocumentSource::ModelColumn(int sheet_col) const {
    if (sheet_col < 1 || sheet_col > static_cast<int>(model_of_sheet_.size())) return 0;
    return model_of_sheet_[static_cast<std::size_t>(sheet_col - 1)];
}

CellInput DocumentSource::Cell(int sheet_col, int row) const {
    CellInput in;
    int col = ModelColumn(sheet_col);
    if (col < 1 || col > doc_.NumCols || row < 1 || row > doc_.NumRows) return in;
    std::string_view raw = doc_.Cells(col, row);
    if (raw.empty()) return in;
    if (IsPlainNumberCell(raw)) {
        in.kind = CellInput::Kind::Formula;
        in.text.assign(raw.substr(3));
        return in;
    }
    CellConstructs c = ParseCellConstructs(raw);
    if (c.is_number && shown_as_statements_) {
        in.kind = CellInput::Kind::Text;
        in.text = "..." + c.content;
        return in;
    }
    if (c.is_number) {
        in.kind = CellInput::Kind::Formula;
        in.text = std::move(c.content);
        return in;
    }
    std::string text = CellToText(c.content);
    if (text.empty()) return in;
    in.kind = CellInput::Kind::Text;
    in.text = std::move(text);
    return in;
}

std::optional<std::string> DocumentSource::NameDefinition(std::string_view name) const {
    auto it = names_.find(Lower(name));
    if (it == names_.end()) return std::nullopt;
    return it->second;
}

}  // namespace tw::formula

namespace tw::formula {

void DocumentSource::LinkTo(LinkedDocuments* linked, std::string folder) {
    linked_ = linked;
    folder_ = std::move(folder);
}

Value DocumentSource::ExternalCells(std::string_view doc, CellRange range) const {
    if (!linked_) return CellSource::ExternalCells(doc, range);
    return linked_->Cells(folder_, doc, range);
}

Value DocumentSource::ExternalName(std::string_view doc, std::string_view name) const {
    if (!linked_) return CellSource::ExternalName(doc, name);
    return linked_->Name(folder_, doc, name);
}

Value DocumentSource::CallFunction(std::string_view doc, std::string_view name, std::vector<Value>& args) const {
    if (!linked_ || doc.empty()) return CellSource::CallFunction(doc, name, args);
    return linked_->Call(folder_, doc, name, args);
}

Value DocumentSource::SetExternalCells(std::string_view doc, CellRange range, const Value& v) const {
    if (!linked_) return CellSource::SetExternalCells(doc, range, v);
    return linked_->SetCells(folder_, doc, range, v);
}

}  // namespace tw::formula
