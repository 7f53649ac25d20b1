// Printing the document with its page layout: top, header, footer and
// bottom margins in lines, header and footer texts, line spacing, and a
// page length the user confirms when it differs from the printer's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "document/cell_drawing.h"
#include "document/model.h"
#include "document/shown_text.h"
#include "document/status.h"
#include "platform/canvas.h"
#include "platform/services.h"

namespace tw {

struct PrintJob {
    Platform& sys;
    const DocumentModel& doc;
    PrinterCanvas& printer;
    std::string font_name;  // the screen font, printed in too
    float font_size;
    const std::string& CrLf;
    std::int16_t& PrintPageLength;  // the last page length chosen, kept for the run
    ScriptFlags& flags;             // shared with the screen's cell drawing
    // Where no one can be asked (the converter): the page length to use
    // without the prompt; 0 takes the document's when the printer page
    // holds it and the printer's otherwise. Empty: the user is asked.
    std::optional<std::int16_t> unattended_length = std::nullopt;
    // The cells as the layout on show gives them, with their page breaks;
    // nullptr prints the cells as stored.
    const ShownCells* shown = nullptr;
    // Prints smaller, down to half size, so that the widest row fits the
    // printable width.
    bool fit_width = false;
    // Set by printing: the rows whose text runs past the printable width
    // and is cut there.
    long rows_cut = 0;
};

// The smallest size --fit-width prints at: smaller is hard to read.
inline constexpr double kSmallestFitScale = 0.5;

// The document's title, or the file name of `path` when it has none: the
// name a printed document goes by.
std::string PrintTitle(const DocumentModel& doc, const std::string& path);

// Prints the whole document; failures are reported as "PrintDocument".
// A row with a page break starts a new page when the break is
// unconditional or fewer lines than it asks for are left on the page.
// Returns Aborted when no page length was chosen, Refused when the page
// leaves no line for the rows, Failed when printing was left on a failure.
Status PrintDocument(PrintJob& job);

// A header or footer text with its fields replaced: "@P@" the page,
// "@D@" the long date, "@T@" the title, "@@" one "@".
std::string ExpandPrintFields(std::string_view text, int page, const std::string& long_date, const std::string& title);

// The three-part header line: the first character delimits the left,
// centre and right parts; the centre is centred between them, the whole
// after `left_margin` spaces.
std::string LayoutHeaderLine(PrinterCanvas& printer, std::string_view text, int left_margin);

// Prints one cell with its highlight codes at the current position.
inline void PrintCell(Canvas& printer, std::string_view text, ScriptFlags& flags) {
    DrawMarkedCell(printer, text, flags);
}

// The message shown when a page length chosen beforehand does not fit.
std::string PageLengthRefused(int length, int printer_lines, long reserved);

// The message shown when the page length leaves no line for the rows.
inline constexpr const char* kNoRowSlot =
    "The page length leaves no line for the document's rows once the margins, header and footer are "
    "taken. Nothing more is printed.";

}  // namespace tw
