// The loaded document as the sheet the formula engine reads.
#pragma once

#include <string>
#include <unordered_map>

#include "document/model.h"
#include "formula/evaluator.h"

namespace tw::formula {

// Number cells are the "%V%" cells, their formula the content left after
// the cell's constructs; any other cell with content is a text cell whose
// text is the cell reduced as the text export reduces it. Names come from
// the ND options ("name,definition"). The model must outlive the source.
class DocumentSource final : public CellSource {
public:
    explicit DocumentSource(const DocumentModel& doc, int reference_year = CurrentYear());

    int Cols() const override { return doc_.NumCols; }
    int Rows() const override { return doc_.NumRows; }
    CellInput Cell(int col, int row) const override;
    std::optional<std::string> NameDefinition(std::string_view name) const override;
    int ReferenceYear() const override { return year_; }

private:
    const DocumentModel& doc_;
    int year_;
    std::unordered_map<std::string, std::string> names_;  // lower-case name -> formula text
};

}  // namespace tw::formula
