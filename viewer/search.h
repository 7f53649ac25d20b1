// Finding text in a document's cells as the layout on show presents them:
// markup removed, case folded unless asked otherwise, in row order (row,
// then column, then place in the cell).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "document/model.h"
#include "document/shown_text.h"

namespace tw {

// A place in the document: a cell and an offset in its shown text.
struct TextPlace {
    int row = 1;
    int column = 1;
    std::size_t offset = 0;
};

// A match: its cell, and where it starts in the cell's shown text.
struct FoundText {
    int row = 0;
    int column = 0;
    std::size_t start = 0;
    std::size_t length = 0;
    bool operator==(const FoundText&) const = default;
};

struct FindRequest {
    std::string needle;  // Windows-1252 bytes
    bool match_case = false;
    bool forward = true;
};

struct FindOutcome {
    std::optional<FoundText> match;
    bool wrapped = false;  // nothing on the asked side: found from the other end
};

// Forward: the first match at or after `from`; backward: the last match
// that starts before it. Nothing on that side: the search continues once
// from the other end of the document.
FindOutcome FindText(const DocumentModel& doc, const ShownCells& cells, const FindRequest& request, TextPlace from);

// The same search without the continuation from the other end.
std::optional<FoundText> FindFrom(const DocumentModel& doc, const ShownCells& cells, const FindRequest& request,
                                  TextPlace from);

// Windows-1252 case folding: the lower-case form of a byte.
unsigned char FoldCase(unsigned char c);

}  // namespace tw
