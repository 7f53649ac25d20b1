// Find: the find bar, Find Next and Find Previous, and the found text
// marked on the page until the page next moves.
#pragma once

#include <functional>
#include <optional>

#include "document/model.h"
#include "document/shown_text.h"
#include "viewer/page.h"
#include "viewer/search.h"

class QScrollBar;
class QWidget;

namespace tw {

class FindBar;

// What finding needs of the window.
struct FindHooks {
    // Find Next and Previous are on offer: a page is on show.
    std::function<bool()> usable;
    // The cells as the layout on show shows them.
    std::function<const ShownCells&()> shown;
    // Draws the page again where it is.
    std::function<void()> redraw;
    // Lays the window out at once, the bar shown or hidden.
    std::function<void()> layOut;
    // Fits the row bar to the page's rows again, `row` staying on show.
    std::function<void(int row)> refit;
    // Gives the keyboard back to the page.
    std::function<void()> focusPage;
};

class PageFind {
public:
    // The bar is made a child of `parent`, hidden until asked for; `rows`
    // is the row bar, whose value is the first row on show.
    PageFind(QWidget* parent, const DocumentModel& doc, QScrollBar& rows, FindHooks hooks);

    FindBar* Bar() const { return bar_; }
    // Edit > Find: the bar, with the cursor in its text.
    void Open();
    void Next() { Again(true); }
    void Previous() { Again(false); }

    // The found text marked on the page, if any.
    std::optional<FoundText> Found() const { return found_; }
    // The page moved: the mark goes, unless the move is the one that
    // brings the found text on show.
    void PageMoved();
    // Another document: nothing is found in it yet.
    void Forget() { found_.reset(); }
    // Adds the found text to what a redraw shows.
    void Mark(PageMarks& marks) const;

private:
    void Again(bool forward);
    void Show(const FoundText& m);
    void SetBarVisible(bool visible);

    const DocumentModel& doc_;
    QScrollBar& rows_;
    FindHooks hooks_;
    FindBar* bar_;
    std::optional<FoundText> found_;
    bool moving_ = false;  // the find itself moves the page
};

}  // namespace tw
