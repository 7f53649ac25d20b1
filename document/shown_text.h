// The text a cell shows on the page with its markup removed: what find
// searches and where the page marks a match.
#pragma once

#include <chrono>
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
    // The shown text without the spaces that align it: what a plain text
    // output writes.
    virtual std::string Unpadded(int column, int row) const { return Marked(column, row); }
    // True when the cell's text is placed by its alignment (centred, right
    // or left-centre-right) rather than from its column's start, so that
    // a writer keeps its spaces and gives it a line of its own.
    virtual bool Aligned(int column, int row) const {
        (void)column;
        (void)row;
        return false;
    }
    // A cell's content with every field filled in as this layout fills
    // it, uncut, for outputs that have no pages (a workbook's cells): the
    // page number shows nothing there. Codes stay in place.
    virtual std::string Filled(std::string_view content) const;
    // The lines a row's page break asks to be left on the page for the row
    // to stay on it (0: a new page in any case); -1 when it has none.
    virtual int PageBreak(int row) const {
        (void)row;
        return -1;
    }
    // True for the cells as stored, which the consumers read on their own
    // fast paths.
    virtual bool AsStored() const { return false; }

    // For a window that must stay answerable while values are computed.
    // While deferred, a cell whose value would take computing shows a
    // placeholder and waits; ComputeWaiting works towards the waiting
    // cells until `deadline` and is true once none is left, when a redraw
    // shows them. Layouts without computed values have nothing to wait for.
    virtual void SetDeferred(bool deferred) const { (void)deferred; }
    virtual bool Waiting() const { return false; }
    virtual bool ComputeWaiting(std::chrono::steady_clock::time_point deadline) const {
        (void)deadline;
        return true;
    }
};

// What a number cell shows while its value is being computed.
inline constexpr std::string_view kComputingPlaceholder = "\x85";

// The design's layout: every cell shows its stored text.
class PlainCells : public ShownCells {
public:
    explicit PlainCells(const DocumentModel& doc) : doc_(doc) {}
    std::string Marked(int column, int row) const override { return std::string(doc_.Cells(column, row)); }
    bool StoredBytesShow() const override { return true; }
    bool AsStored() const override { return true; }

private:
    const DocumentModel& doc_;
};

// `shown` when its cells are not simply the stored ones; nullptr when they
// are, so that a consumer reads the stored cells on its own fast path.
inline const ShownCells* UnlessAsStored(const ShownCells* shown) {
    return shown != nullptr && !shown->AsStored() ? shown : nullptr;
}

}  // namespace tw
