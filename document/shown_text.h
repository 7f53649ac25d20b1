// The text a cell shows on the page with its markup removed: what find
// searches and where the page marks a match.
#pragma once

#include <string>
#include <string_view>

#include "document/model.h"

namespace tw {

// The characters the page draws for a marked cell text, in order:
// highlight and other codes removed, "%PC%" as "%", fields as written, a
// lone "%" kept with the rest of the cell.
std::string WithoutMarkup(std::string_view marked);

// The cells as the layout on show presents them.
class ShownCells {
public:
    virtual ~ShownCells() = default;
    // The marked text the page draws for a cell.
    virtual std::string Marked(int column, int row) const = 0;
    // The text cell (column, row) shows, markup removed.
    std::string Shown(int column, int row) const { return WithoutMarkup(Marked(column, row)); }
    // True when a cell without a "%" shows exactly its stored bytes, so a
    // scan of the document's bytes finds every cell that can match.
    virtual bool StoredBytesShow() const { return false; }
};

// The design's layout: every cell shows its stored text.
class PlainCells : public ShownCells {
public:
    explicit PlainCells(const DocumentModel& doc) : doc_(doc) {}
    std::string Marked(int column, int row) const override { return std::string(doc_.Cells(column, row)); }
    bool StoredBytesShow() const override { return true; }

private:
    const DocumentModel& doc_;
};

}  // namespace tw
