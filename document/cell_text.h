// A cell reduced to plain text, as the text export writes it and as the
// formula engine reads a text cell.
#pragma once

#include <string>
#include <string_view>

namespace tw {

// The plain text of one cell: fields removed, "%PC%" as "%", "%V%" as
// "=", other codes removed; a lone "%" keeps itself and the rest.
std::string CellToText(std::string_view text);
// The same for a cell whose fields are already filled in: codes only.
std::string CodesToText(std::string_view text);

// Appends the plain text of one cell to `out`, with `fields` as room for
// the field pass; true when the cell held markup.
bool AppendCellText(std::string_view text, std::string& fields, std::string& out);

}  // namespace tw
