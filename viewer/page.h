// The screen page: one text line per document row from the first row
// shown, each cell at its column's start position in widths of "A".
#pragma once

#include "document/cell_drawing.h"
#include "document/model.h"

namespace tw {

// Clears the surface and draws rows `first` to `first + large_change`, as
// far as the document goes. Failures propagate to the caller.
void DrawPage(Canvas& surface, const DocumentModel& doc, int first, int large_change, ScriptFlags& flags);

}  // namespace tw
