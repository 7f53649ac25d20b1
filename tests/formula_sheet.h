// A small in-memory sheet for the formula engine's tests.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "formula/evaluator.h"
#include "formula/parser.h"

namespace tw::test {

// Cells are set by name: "=..." makes a number cell with that formula,
// anything else a text cell.
class FormulaSheet : public formula::CellSource {
public:
    FormulaSheet& Set(const std::string& ref, const std::string& content) {
        formula::Formula f = formula::ParseFormula(ref);
        const formula::Node& n = f.node(f.root);
        int col = n.a.col, row = n.a.row;
        formula::CellInput in;
        if (!content.empty() && content[0] == '=') {
            in.kind = formula::CellInput::Kind::Formula;
            in.text = content.substr(1);
        } else {
            in.kind = content.empty() ? formula::CellInput::Kind::Blank : formula::CellInput::Kind::Text;
            in.text = content;
        }
        cells_[Key(col, row)] = in;
        if (col > cols_) cols_ = col;
        if (row > rows_) rows_ = row;
        return *this;
    }
    FormulaSheet& Name(const std::string& name, const std::string& definition) {
        names_[name] = definition;
        return *this;
    }
    void SetSize(int cols, int rows) {
        cols_ = cols;
        rows_ = rows;
    }

    int Cols() const override { return cols_; }
    int Rows() const override { return rows_; }
    formula::CellInput Cell(int col, int row) const override {
        ++reads_;
        auto it = cells_.find(Key(col, row));
        return it == cells_.end() ? formula::CellInput{} : it->second;
    }
    std::optional<std::string> NameDefinition(std::string_view name) const override {
        auto it = names_.find(std::string(name));
        if (it == names_.end()) return std::nullopt;
        return it->second;
    }

    mutable long reads_ = 0;

private:
    static long long Key(int col, int row) { return (static_cast<long long>(col) << 32) | row; }
    std::unordered_map<long long, formula::CellInput> cells_;
    std::map<std::string, std::string> names_;
    int cols_ = 0;
    int rows_ = 0;
};

}  // namespace tw::test
