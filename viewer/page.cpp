#include "viewer/page.h"

namespace tw {

void DrawPage(Canvas& surface, const DocumentModel& doc, int first, int large_change, ScriptFlags& flags) {
    surface.Cls();
    long long last = static_cast<long long>(first) + large_change;
    for (long long row = first; row <= last; ++row) {
        if (row > doc.Cells.UpperRow()) return;
        for (int c = 1; c <= doc.NumCols; ++c) {
            // Measured for every cell: a cell may leave the font changed.
            double w = surface.TextWidth("A");
            surface.SetCurrentX(doc.StartPosition(c) * w);
            DrawMarkedCell(surface, doc.Cells(c, static_cast<int>(row)), flags);
        }
        surface.EndLine();
    }
}

}  // namespace tw
