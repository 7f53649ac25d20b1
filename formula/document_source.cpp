#include "formula/document_source.h"

#include "document/constructs.h"
#include "export/text_export.h"
#include "formula/functions.h"

namespace tw::formula {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

DocumentSource::DocumentSource(const DocumentModel& doc, int reference_year) : doc_(doc), year_(reference_year) {
    for (const auto& [key, value] : doc.RawOptions) {
        if (key != "ND") continue;
        std::size_t comma = value.find(',');
        if (comma == std::string::npos) continue;
        std::string_view name = Trim(std::string_view(value).substr(0, comma));
        if (name.empty()) continue;
        // A later definition of the same name replaces the earlier one.
        names_[Lower(name)] = std::string(Trim(std::string_view(value).substr(comma + 1)));
    }
}

CellInput DocumentSource::Cell(int col, int row) const {
    CellInput in;
    if (col < 1 || col > doc_.NumCols || row < 1 || row > doc_.NumRows) return in;
    std::string_view raw = doc_.Cells(col, row);
    if (raw.empty()) return in;
    CellConstructs c = ParseCellConstructs(raw);
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
