#include "viewer/page.h"

namespace tw {

namespace {

// With `shown` null, the cells as stored.
void DrawRows(Canvas& surface, const DocumentModel& doc, const ShownCells* shown, int first, int large_change,
              ScriptFlags& flags, const PageMarks& marks, std::vector<double>* row_tops) {
    std::string text;
    surface.Cls();
    if (row_tops) row_tops->clear();
    long long last = static_cast<long long>(first) + large_change;
    for (long long row = first; row <= last; ++row) {
        if (row > doc.Cells.UpperRow()) return;
        if (row_tops) row_tops->push_back(surface.CurrentY());
        if (row >= marks.selected_first && row <= marks.selected_last) {
            // The band spans the page's width, whatever that is.
            surface.Shade(0, surface.CurrentY(), 1e6, surface.TextHeight("A"), Canvas::Band::Selected);
        }
        for (int c = 1; c <= doc.NumCols; ++c) {
            // Measured for every cell: a cell may leave the font changed.
            double w = surface.TextWidth("A");
            surface.SetCurrentX(doc.StartPosition(c) * w);
            std::string_view cell;
            if (shown != nullptr) {
                text = shown->Marked(c, static_cast<int>(row));
                cell = text;
            } else {
                cell = doc.Cells(c, static_cast<int>(row));
            }
            if (row == marks.found_row && c == marks.found_column) DrawMarkedCell(surface, cell, flags, marks.found);
            else DrawMarkedCell(surface, cell, flags);
        }
        surface.EndLine();
    }
}

}  // namespace

void DrawPage(Canvas& surface, const DocumentModel& doc, const ShownCells& shown, int first, int large_change,
              ScriptFlags& flags, const PageMarks& marks, std::vector<double>* row_tops) {
    DrawRows(surface, doc, &shown, first, large_change, flags, marks, row_tops);
}

void DrawPage(Canvas& surface, const DocumentModel& doc, int first, int large_change, ScriptFlags& flags) {
    DrawRows(surface, doc, nullptr, first, large_change, flags, PageMarks{}, nullptr);
}

void DrawPage(Canvas& surface, const DocumentModel& doc, int first, int large_change, ScriptFlags& flags,
              const PageMarks& marks, std::vector<double>* row_tops) {
    DrawRows(surface, doc, nullptr, first, large_change, flags, marks, row_tops);
}

}  // namespace tw
