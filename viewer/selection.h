// Rows selected with the mouse on the page, and Copy: the selected rows,
// or the rows on show, as tab-separated text and as HTML.
#pragma once

#include <QPoint>
#include <functional>
#include <vector>

#include "document/model.h"
#include "document/shown_text.h"
#include "platform/services.h"
#include "viewer/page.h"

class QMimeData;
class QScrollBar;

namespace tw {

class PixmapCanvas;

// What the selection needs of the window.
struct SelectionHooks {
    // Copy is on offer: a page is on show.
    std::function<bool()> usable;
    // The cells as the layout on show shows them.
    std::function<const ShownCells&()> shown;
    // Draws the page again where it is.
    std::function<void()> redraw;
};

class RowSelection {
public:
    // `rows` is the row bar, `page` the page's surface and `tops` the tops
    // of the rows its last redraw drew, in twips.
    RowSelection(Platform& sys, const DocumentModel& doc, const QScrollBar& rows, PixmapCanvas& page,
                 const std::vector<double>& tops, SelectionHooks hooks);

    // The mouse on the page, in pixels: a press (with Shift or not) and a
    // move with the button held.
    void Press(QPoint at, bool extend);
    void Drag(QPoint at);
    void Forget();
    // Rows selected; none when last < first.
    int First() const { return marks_.selected_first; }
    int Last() const { return marks_.selected_last; }
    // The rows to draw as selected.
    const PageMarks& Marks() const { return marks_; }

    // Edit > Copy.
    void Copy();
    // What Copy puts on the clipboard: the selected rows, or the rows on
    // show when none are.
    QMimeData* CopiedRows();

private:
    int RowAt(QPoint at) const;

    Platform& sys_;
    const DocumentModel& doc_;
    const QScrollBar& rows_;
    PixmapCanvas& page_;
    const std::vector<double>& tops_;
    SelectionHooks hooks_;
    PageMarks marks_;
    int anchor_ = 0;
};

}  // namespace tw
