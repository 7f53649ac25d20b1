// The steps of printing a document, in the order PrintDocument takes them.
// Each statement that can fail runs through the caller's trap, so Retry
// repeats it, Ignore goes on with the next one and Abort leaves the run.
#pragma once

#include <optional>
#include <vector>

#include "document/model.h"
#include "document/report.h"
#include "document/shown_text.h"
#include "document/status.h"
#include "printing/print.h"

namespace tw {

// The lines a page gives to everything but the rows: the four margins and
// one line each for a header and a footer text.
long ReservedLines(const DocumentModel& doc);

// Prints in the job's font: its name first, then its size.
void SetPrinterFont(Trap& trap, PrintJob& job);

// Scales the printer down, no smaller than kSmallestFitScale, so that
// the widest row's text fits the printable width.
void FitWidestRow(PrintJob& job);

// The lines of the current font the printer page holds.
int CountPrinterLines(Trap& trap, PrinterCanvas& printer);

// The page length chosen, or how printing ends without a page printed.
struct PageLengthChoice {
    long lines = 0;
    std::optional<Status> stop;
};

// The document's page length where it is the printer's; otherwise the
// length given for an unattended run, or the user's answer to the prompt.
PageLengthChoice ChoosePageLength(Trap& trap, PrintJob& job, int PrinterLines, long reserved);

// The rows a page of `length` lines holds, line spacing counted.
long CountRowsPerPage(Trap& trap, const DocumentModel& doc, long length, long reserved);

// What a page holds once it fits the printer page.
struct PageFit {
    long RowsPerPage = 0;
    long footer_margin = 0;
};

// The slots and margins of a page come to one line more than its length:
// where the printer page has no room for it, the footer margin gives the
// line up, then the rows, so that nothing is printed off the page.
PageFit FitPageToPrinter(const DocumentModel& doc, int PrinterLines, long RowsPerPage);

// Without a row slot the pages would never get through the rows: says so
// and returns the refusal, or nothing when a page has a slot.
std::optional<Status> RefuseWithoutRowSlot(Platform& sys, const DocumentModel& doc, long RowsPerPage);

// What every page of one print run shares.
struct PageRun {
    PageRun(PrintJob& job, const PageFit& fit);

    PrintJob& job;
    long slots;                  // row slots a page: RowsPerPage + 1
    long footer_margin;          // as fitted to the printer
    const ShownCells* shown;     // the layout on show; nullptr: the cells as stored
    std::vector<double> starts;  // each column's start, in characters
    RowReader cells;
    double width;  // the printable width
};

// The top margin, the header text (left on its line) and the header margin.
void PrintPageTop(Trap& trap, PageRun& run);

// Prints the page's row slots from row `r`; returns the first row left for
// the next page. A row whose page break asks for more lines than the
// page's slots have left (each slot taking the line spacing's lines), or
// for a new page in any case, ends the page's rows unless it is the
// page's first; the slots left, like those past the last row, print empty
// so that the footer stands where it always does.
long PrintRowSlots(Trap& trap, PageRun& run, long r);

// The footer margin, the footer text, the bottom margin and the new page.
void PrintPageFoot(Trap& trap, PageRun& run);

// Ends the document under the trap; `status` is how the pages ended.
Status EndDocument(Trap& trap, PrinterCanvas& printer, const Status& status);

}  // namespace tw
