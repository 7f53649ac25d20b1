// The screen page: one text line per document row from the first row
// shown, each cell at its column's start position in widths of "A".
#pragma once

#include <vector>

#include "document/cell_drawing.h"
#include "document/model.h"
#include "document/shown_text.h"

namespace tw {

// What a redraw shows besides the rows themselves.
struct PageMarks {
    // A found text: its cell and the characters of the cell's shown text.
    int found_row = 0, found_column = 0;
    ShownRange found;
    // Rows drawn as selected; none when last < first.
    int selected_first = 0, selected_last = -1;
};

// Clears the surface and draws rows `first` to `first + large_change`, as
// far as the document goes, each cell as `shown` gives it, with `marks`;
// `row_tops`, when given, gets the top of each row drawn, in twips, from
// the first row on. Failures propagate to the caller.
void DrawPage(Canvas& surface, const DocumentModel& doc, const ShownCells& shown, int first, int large_change,
              ScriptFlags& flags, const PageMarks& marks = {}, std::vector<double>* row_tops = nullptr);

// The same with the cells as stored.
void DrawPage(Canvas& surface, const DocumentModel& doc, int first, int large_change, ScriptFlags& flags);
void DrawPage(Canvas& surface, const DocumentModel& doc, int first, int large_change, ScriptFlags& flags,
              const PageMarks& marks, std::vector<double>* row_tops = nullptr);

}  // namespace tw
