// Drawing a cell with its highlight codes on a canvas: the screen page and
// the printer page draw cells the same way.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/canvas.h"

namespace tw {

// Sub- and superscript state, shared by the screen and the printer: a
// cell ending in a lone "%" leaves it, and the font, for the next cells.
struct ScriptFlags {
    bool InSubscript = false;
    bool InSuperscript = false;
};

// Draws `text` from the current position. "%H1%", "%H2%" and "%H4%" toggle
// underline, bold and italic; "%H5%" and "%H6%" toggle subscript (two
// thirds of the size, a third of the letter height lower) and superscript
// (a quarter higher); "%PC%" draws "%"; other codes are dropped; fields
// are drawn as written. A cell that ends normally resets the highlights;
// one that ends in a lone "%" draws it with the rest and keeps them.
void DrawMarkedCell(Canvas& canvas, std::string_view text, ScriptFlags& flags);

// Characters `start` to `start + length` of what a cell draws (its text
// without markup).
struct ShownRange {
    std::size_t start = 0;
    std::size_t length = 0;
};
// The same, with a found-text band behind the characters of `found`.
void DrawMarkedCell(Canvas& canvas, std::string_view text, ScriptFlags& flags, ShownRange found);

}  // namespace tw
