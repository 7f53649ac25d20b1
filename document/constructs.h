// A cell's own constructs: number cell, alignment, number format and page
// break, wherever they stand in its text, and the content that remains.
#pragma once

#include <string>
#include <string_view>

namespace tw {

enum class CellAlign : unsigned char {
    Default,          // none given
    Left,             // %L%
    Right,            // %R%
    Centre,           // %C%
    LeftCentreRight,  // %LCR%
    Free,             // %F%
    JustifyLeft,      // %JL%
    JustifyRight,     // %JR%
};

struct CellConstructs {
    bool is_number = false;  // %V%: the content is a formula
    CellAlign align = CellAlign::Default;
    int decimals = -1;      // %Dn%, 0 to 9; -1 when not given
    bool floating = false;  // %DF%
    bool brackets = false;  // %B%
    bool leading = false;   // %LC%: show the LP characters
    bool trailing = false;  // %TC%: show the TP characters
    int page_break = -1;    // %Pn%; -1 when the cell has none
    // The text with the constructs above taken out; highlight codes,
    // "%PC%", unknown codes and lone "%" stay as written.
    std::string content;
};

// Parses a cell text once. Later constructs of the same kind win.
CellConstructs ParseCellConstructs(std::string_view text);

// Whether the text marks a number cell, by the same rules, without
// building the rest.
bool IsNumberCell(std::string_view text);

// A number cell written as "%V%" and its formula with no other "%": the
// usual kind, known without a scan of its constructs. Its formula is the
// text past the "%V%".
inline bool IsPlainNumberCell(std::string_view text) {
    return text.starts_with("%V%") && text.find('%', 3) == std::string_view::npos;
}

}  // namespace tw
