#include "viewer/selection.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QScrollBar>
#include <algorithm>

#include "export/html_export.h"
#include "export/markup_writer.h"
#include "export/text_export.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_services.h"

namespace tw {

RowSelection::RowSelection(Platform& sys, const DocumentModel& doc, const QScrollBar& rows, PixmapCanvas& page,
                           const std::vector<double>& tops, SelectionHooks hooks)
    : sys_(sys), doc_(doc), rows_(rows), page_(page), tops_(tops), hooks_(std::move(hooks)) {}

int RowSelection::RowAt(QPoint at) const {
    if (tops_.empty()) return 0;
    double y = at.y() * page_.TwipsPerPixel();
    std::size_t i = 0;
    while (i + 1 < tops_.size() && tops_[i + 1] <= y) ++i;
    int row = rows_.value() + static_cast<int>(i);
    // Below the document's last row there is no row.
    double line = page_.TextHeight("A");
    if (row >= doc_.NumRows && y >= tops_[i] + line) return 0;
    return row;
}

void RowSelection::Press(QPoint at, bool extend) {
    if (doc_.NumRows == 0) return;
    int row = std::min(RowAt(at), doc_.NumRows);
    if (row < 1) {
        // A click where no row is drawn selects nothing.
        Forget();
        hooks_.redraw();
        return;
    }
    if (!extend || anchor_ == 0) anchor_ = row;
    marks_.selected_first = std::min(anchor_, row);
    marks_.selected_last = std::max(anchor_, row);
    hooks_.redraw();
}

void RowSelection::Drag(QPoint at) {
    if (anchor_ == 0) return;
    int row = RowAt(at);
    if (row < 1) row = doc_.NumRows;
    row = std::clamp(row, 1, std::max(doc_.NumRows, 1));
    int first = std::min(anchor_, row), last = std::max(anchor_, row);
    if (first == marks_.selected_first && last == marks_.selected_last) return;
    marks_.selected_first = first;
    marks_.selected_last = last;
    hooks_.redraw();
}

void RowSelection::Forget() {
    anchor_ = 0;
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

QMimeData* RowSelection::CopiedRows() {
    RowRange rows{marks_.selected_first, marks_.selected_last};
    if (rows.last < rows.first) {
        rows.first = rows_.value();
        rows.last = rows_.value() + rows_.pageStep();
    }
    StringSink text;
    // The rows as the layout on show shows them.
    WriteText(doc_, text, nullptr, rows, &hooks_.shown());
    // Pasted text takes the desktop's line ends.
    std::string lines;
    lines.reserve(text.bytes.size());
    for (std::size_t i = 0; i < text.bytes.size(); ++i) {
        if (!(text.bytes[i] == '\r' && i + 1 < text.bytes.size() && text.bytes[i + 1] == '\n')) lines += text.bytes[i];
    }
    auto* copied = new QMimeData;
    copied->setText(FromCp1252(lines));
    copied->setHtml(FromCp1252(CopiedHtml(sys_, doc_, hooks_.shown(), rows)));
    return copied;
}

void RowSelection::Copy() {
    if (!hooks_.usable()) return;
    QApplication::clipboard()->setMimeData(CopiedRows());
}

}  // namespace tw
