// The document as an HTML page: text rows flow as paragraphs, table rows
// keep their alignment in a preformatted block, highlights become tags.
#pragma once

#include <string>

#include "document/model.h"
#include "document/shown_text.h"
#include "document/status.h"
#include "export/sink.h"

namespace tw {

// Converts one cell (escapes, fields, highlight tags), appends it to
// LineBuf and returns its visible width.
long long WriteCellHTML(Platform& sys, const DocumentModel& doc, std::string& LineBuf, std::string_view text);

// The whole page, of all the document's rows or of `rows`.
void WriteHTML(Platform& sys, const DocumentModel& doc, Sink& out, Trap* trap = nullptr, RowRange rows = {},
               const ShownCells* shown = nullptr);

// Writes the page to `path`, reporting failures as "WriteFileHTML";
// returns what happened.
Status WriteFileHTML(Platform& sys, const DocumentModel& doc, const std::string& path,
                     const ShownCells* shown = nullptr);

}  // namespace tw
