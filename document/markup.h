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
// The scan for either.
const ByteScanner& MarkupStarts();

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

// The first `c` in `text` from `from`, or npos. Cells are mostly a few
// bytes long: a plain loop beats setting up a library search for them.
inline std::size_t FindByte(std::string_view text, char c, std::size_t from) {
    if (text.size() - from >= 32) return text.find(c, from);
    for (; from < text.size(); ++from) {
        if (text[from] == c) return from;
    }
    return std::string_view::npos;
}

// The control pass with the sink's own type known, so that writers
// converting millions of cells call its parts directly. `S` has the
// members of ControlSink.
template <class S>
ControlResult ControlPassTo(std::string_view text, LonePercent lone, S& sink) {
    // The state lives in plain locals until the end: the result's flags,
    // set a byte at a time and then copied whole, would make the copy
    // wait on each byte.
    long long width_change = 0;
    unsigned open = 0;  // a bit per Highlight
    auto result = [&](bool lone_percent) {
        ControlResult r;
        r.width_change = width_change;
        r.lone_percent = lone_percent;
        for (std::size_t h = 0; h < r.open.size(); ++h) r.open[h] = (open >> h & 1) != 0;
        return r;
    };
    std::size_t i = 0;
    for (;;) {
        std::size_t a = FindByte(text, '%', i);
        if (a == std::string_view::npos) {
            if (i < text.size()) sink.Text(text.substr(i));
            return result(false);
        }
        std::size_t b = FindByte(text, '%', a + 1);
        if (b == std::string_view::npos) {
            std::size_t until = lone == LonePercent::Keep ? text.size() : a;
            if (until > i) sink.Text(text.substr(i, until - i));
            return result(true);
        }
        if (a > i) sink.Text(text.substr(i, a - i));
        std::string_view code = text.substr(a, b - a + 1);
        width_change -= static_cast<long long>(code.size());
        Highlight h;
        if (code == "%PC%") {
            sink.Text("%");
            width_change += 1;
        } else if (HighlightOfCode(code, h)) {
            unsigned bit = 1u << static_cast<unsigned>(h);
            open ^= bit;
            sink.Toggle(h, (open & bit) != 0);
        } else if (code == "%V%") {
            sink.Value();
        }
        i = b + 1;
    }
}

// The three parts of a header or footer text: its first character,
// whatever it is, is the delimiter and is never shown; the left, centre
// and right parts follow, each ended by the delimiter. Where a delimiter
// is missing the part runs to the end and the parts after it are empty.
struct HeaderParts {
    std::string_view left, centre, right;
};
HeaderParts SplitHeaderLine(std::string_view text);

}  // namespace tw
