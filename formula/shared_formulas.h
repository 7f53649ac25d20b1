// Parsed formulas shared between cells whose formulas differ only in
// where their relative references point, as a column of "A1+B1",
// "A2+B2", ... does: the formula is parsed once and each cell gets a copy
// with its own references written in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formula/parser.h"

namespace tw::formula {

// One reference of a formula as the scan below finds it: a cell, or a
// block when `range` is set.
struct RefToken {
    CellRef a, b;
    bool range = false;
};

// The formula `text` standing in cell (col, row) in a form the same for
// every cell whose formula has the same shape: each cell reference by its
// distance from the cell (or its fixed place for a "$" part), the rest
// as written. The references go to `refs` in the order they stand.
// False for text the scan does not follow (a reference into another
// document, say); such a formula is parsed on its own.
bool RelativeForm(std::string_view text, int col, int row, std::string& key, std::vector<RefToken>& refs);

class SharedFormulas {
public:
    // The formula `text` parsed as it stands in cell (col, row): the same
    // as ParseFormula gives. It stays valid until the next call.
    const Formula& Get(std::string_view text, int col, int row);

    // Shapes kept, and the nodes they hold together.
    std::size_t Shapes() const { return shapes_.size(); }
    std::size_t Nodes() const { return nodes_; }
    // Past these the kept shapes are dropped and gathered afresh, so that
    // a sheet whose formulas all differ keeps a few megabytes at most;
    // longer formulas are always parsed on their own.
    static constexpr std::size_t kMaxShapes = 4096;
    static constexpr std::size_t kMaxNodes = 32768;
    static constexpr std::size_t kMaxText = 1024;

private:
    struct Shape {
        Formula formula;
        std::vector<int> ref_nodes;  // the Ref and Range nodes in the order of the text
    };
    std::unordered_map<std::string, Shape> shapes_;
    std::size_t nodes_ = 0;
    std::string key_;
    std::vector<RefToken> refs_;
    Formula single_;  // a formula parsed on its own
};

}  // namespace tw::formula
