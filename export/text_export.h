// Tab-separated plain text: one line per row, cells reduced to plain text
// by CellToText (document/cell_text.h).
#pragma once

#include <string>

#include "document/cell_text.h"  // CellToText, the reduction of each cell
#include "document/model.h"
#include "document/shown_text.h"
#include "document/status.h"
#include "export/rows_ahead.h"
#include "export/sink.h"

namespace tw {

// The document's rows (all, or `rows`) as text lines ended by CR LF,
// cells separated by tabs.
// With `shown`, each cell is its shown text without its alignment spaces.
// With `ahead_rows`, rows of the stored layout are laid out in blocks of
// that many on a second thread as well (0: none).
void WriteText(const DocumentModel& doc, Sink& out, Trap* trap = nullptr, RowRange rows = {},
               const ShownCells* shown = nullptr, int ahead_rows = DefaultAheadRows());

// Writes the document to `path`, reporting failures as "WriteFileTxt";
// returns what happened.
Status WriteFileTxt(Platform& sys, const DocumentModel& doc, const std::string& path,
                    const ShownCells* shown = nullptr);

}  // namespace tw
