// The in-cell markup: field codes between two "@" and control codes
// between two "%". Every consumer (the exporters, the screen, the printer)
// runs the same passes and supplies only its own replacement forms.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/byte_scan.h"

namespace tw {

// The bytes that start markup: "@" a field, "%" a control code.
inline constexpr ByteTable kMarkupStarts = TableOf("@%");
// True when `text` holds either.
bool HasMarkup(std::string_view text);

enum class Highlight { Underline, Bold, Italic, Subscript, Superscript };
// The order in which highlights still on are closed at the end of a cell.
inline constexpr std::array<Highlight, 5> kCloseOrder = {Highlight::Underline, Highlight::Bold, Highlight::Italic,
                                                       Highlight::Subscript, Highlight::Superscript};

// The highlight named by a control code ("%H1%" ...), or false.
bool HighlightOfCode(std::string_view code, Highlight& h);

// What a consumer puts in place of each known field, and how many
// characters of visible width it counts for it.
struct FieldForms {
    std::string_view page, date, title;
    long long page_width = 0, date_width = 0, title_width = 0;
};

// The field pass. Appends `text` to `out` with "@P@", "@D@", "@T@" and
// "@@" replaced; an unknown field stays as written. Any "@" directly after
// a field (known or not) is a stray and is deleted, so "@@@" gives "@"
// and "@P@@D@" loses the "@" that opens "@D@". Returns the change of
// visible width.
long long FieldPass(std::string_view text, const FieldForms& forms, std::string& out);

// Receives the pieces of a cell from the control pass.
class ControlSink {
public:
    virtual ~ControlSink() = default;
    virtual void Text(std::string_view text) = 0;
    // A highlight code flipped `h`; `on` is its state within this cell.
    virtual void Toggle(Highlight h, bool on) = 0;
    // The value-cell marker "%V%".
    virtual void Value() {}
};

// What a "%" without a closing "%" does to the rest of the cell.
enum class LonePercent {
    Keep,  // it and the rest are passed on as text
    Drop,  // it and the rest are dropped
};

struct ControlResult {
    long long width_change = 0;  // codes removed count against the width
    bool lone_percent = false;   // the pass ended at a lone "%"
    std::array<bool, 5> open{};  // highlights on at the end, by Highlight
};

// The control pass: "%PC%" gives "%", the highlight codes toggle, "%V%"
// marks a value cell, every other code is removed.
ControlResult ControlPass(std::string_view text, LonePercent lone, ControlSink& sink);

// The three parts of a header or footer text: its first character,
// whatever it is, is the delimiter and is never shown; the left, centre
// and right parts follow, each ended by the delimiter. Where a delimiter
// is missing the part runs to the end and the parts after it are empty.
struct HeaderParts {
    std::string_view left, centre, right;
};
HeaderParts SplitHeaderLine(std::string_view text);

}  // namespace tw
