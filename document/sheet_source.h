// The loaded document as the sheet the formula engine reads: the join of
// the document model to the engine, on the document's side of it (in the
// engine's namespace, as the engine's CellSource).
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "document/linked_documents.h"
#include "document/model.h"
#include "formula/evaluator.h"

namespace tw::formula {

// Number cells are the "%V%" cells, their formula the content left after
// the cell's constructs; any other cell with content is a text cell whose
// text is the cell reduced to plain text by CellToText, as the text
// export reduces it. Names come from the ND options ("name,definition").
// The model must outlive the source.
//
// The sheet's columns are the document's columns by name: B4 is row 4 of
// the column whose definition names it B, wherever the file stores it,
// and a letter no column has reads as blank. A column without a name of
// letters (or one that repeats another's) takes its place in the file if
// no named column claims it, else the first place past them all.
//
// References into other documents and calls of custom functions go to the
// documents loaded with this one (DocumentModel::Linked). The number cells
// of a custom function sheet are statements: they read as the text
// PipeDream shows for them, "..." and the formula, unless `statements`
// asks for them as formulas, to be run.
class DocumentSource final : public CellSource {
public:
    explicit DocumentSource(const DocumentModel& doc, bool statements = false);
    // For a document loaded as another's: its references go to `linked`,
    // from its own folder.
    void LinkTo(LinkedDocuments* linked, std::string folder);

    int Cols() const override { return static_cast<int>(model_of_sheet_.size()); }
    int Rows() const override { return doc_.NumRows; }
    CellInput Cell(int col, int row) const override;
    std::optional<std::string> NameDefinition(std::string_view name) const override;
    Value ExternalCells(std::string_view doc, CellRange range) const override;
    Value ExternalName(std::string_view doc, std::string_view name) const override;
    Value CallFunction(std::string_view doc, std::string_view name, std::vector<Value>& args) const override;
    Value SetExternalCells(std::string_view doc, CellRange range, const Value& v) const override;
    Linkage* Links() const override { return linked_ ? &linked_->Links() : nullptr; }

    // The sheet column of a column of the model (from 1), and back; 0 for
    // a sheet column that no column of the document fills.
    int SheetColumn(int model_col) const;
    int ModelColumn(int sheet_col) const;

private:
    void PlaceColumns();

    const DocumentModel& doc_;
    bool shown_as_statements_;
    LinkedDocuments* linked_ = nullptr;
    std::string folder_;
    std::unordered_map<std::string, std::string> names_;  // lower-case name -> formula text
    std::vector<int> sheet_of_model_;                     // index model column - 1
    std::vector<int> model_of_sheet_;                     // index sheet column - 1; 0 for none
};

}  // namespace tw::formula
