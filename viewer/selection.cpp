// Rows selected with the mouse on the page, and Copy: the selected rows,
// or the rows on show, as tab-separated text and as HTML.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QScrollBar>
#include <algorithm>

#include "export/html_export.h"
#include "export/markup_writer.h"
#include "export/text_export.h"
#include "platform/qt/qt_services.h"
#include "viewer/frmQuillon.h"

namespace tw {

int frmQuillon::RowAt(QPoint at) const {
    if (rowTops_.empty()) return 0;
    double y = at.y() * picPrintableArea->canvas.TwipsPerPixel();
    std::size_t i = 0;
    while (i + 1 < rowTops_.size() && rowTops_[i + 1] <= y) ++i;
    int row = VScroll1->value() + static_cast<int>(i);
    // Below the document's last row there is no row.
    double line = picPrintableArea->canvas.TextHeight("A");
    if (row >= doc_.NumRows && y >= rowTops_[i] + line) return 0;
    return row;
}

void frmQuillon::Page_Pressed(QPoint at, bool extend) {
    if (doc_.NumRows == 0) return;
    int row = std::min(RowAt(at), doc_.NumRows);
    if (row < 1) {
        // A click where no row is drawn selects nothing.
        ForgetSelection();
        RedrawInPlace();
        return;
    }
    if (!extend || selectionAnchor_ == 0) selectionAnchor_ = row;
    marks_.selected_first = std::min(selectionAnchor_, row);
    marks_.selected_last = std::max(selectionAnchor_, row);
    RedrawInPlace();
}

void frmQuillon::Page_Dragged(QPoint at) {
    if (selectionAnchor_ == 0) return;
    int row = RowAt(at);
    if (row < 1) row = doc_.NumRows;
    row = std::clamp(row, 1, std::max(doc_.NumRows, 1));
    int first = std::min(selectionAnchor_, row), last = std::max(selectionAnchor_, row);
    if (first == marks_.selected_first && last == marks_.selected_last) return;
    marks_.selected_first = first;
    marks_.selected_last = last;
    RedrawInPlace();
}

void frmQuillon::ForgetSelection() {
    selectionAnchor_ = 0;
    marks_.selected_first = 0;
    marks_.selected_last = -1;
}

namespace {

// The rows as HTML for pasting: where the document has columns, a table
// whose row cells paste into a spreadsheet's cells; otherwise a paragraph
// a row.
std::string CopiedHtml(Platform& sys, const DocumentModel& doc, const ShownCells& shown, RowRange rows) {
    const bool table = doc.NumCols > 1;
    std::string html = "<html>\r\n<head>\r\n<title>";
    EscapeHtml(doc.OptDE, html);
    html += "</title>\r\n</head>\r\n<body>\r\n";
    if (table) html += "<table>\r\n";
    for (int r = std::max(rows.first, 1); r <= std::min(rows.last, doc.NumRows); ++r) {
        html += table ? "<tr>" : "<p>";
        for (int c = 1; c <= doc.NumCols; ++c) {
            if (table) html += "<td>";
            WriteCellHTML(sys, doc, html, shown.Marked(c, r));
            if (table) html += "</td>";
        }
        html += table ? "</tr>\r\n" : "</p>\r\n";
    }
    if (table) html += "</table>\r\n";
    return html + "</body>\r\n</html>\r\n";
}

}  // namespace

QMimeData* frmQuillon::CopiedRows() {
    RowRange rows{marks_.selected_first, marks_.selected_last};
    if (rows.last < rows.first) {
        rows.first = VScroll1->value();
        rows.last = VScroll1->value() + VScroll1->pageStep();
    }
    StringSink text;
    // The rows as the layout on show shows them.
    WriteText(doc_, text, nullptr, rows, &Shown());
    // Pasted text takes the desktop's line ends.
    std::string lines;
    lines.reserve(text.bytes.size());
    for (std::size_t i = 0; i < text.bytes.size(); ++i) {
        if (!(text.bytes[i] == '\r' && i + 1 < text.bytes.size() && text.bytes[i + 1] == '\n')) lines += text.bytes[i];
    }
    auto* copied = new QMimeData;
    copied->setText(FromCp1252(lines));
    copied->setHtml(FromCp1252(CopiedHtml(sys_, doc_, Shown(), rows)));
    return copied;
}

void frmQuillon::mnuEditCopy_Click() {
    if (!mnuEditCopy->isEnabled()) return;
    QApplication::clipboard()->setMimeData(CopiedRows());
}

}  // namespace tw
