#include "printing/print_steps.h"

#include <algorithm>
#include <string>

#include "document/numbers.h"

namespace tw {

namespace {

void EndLines(PrinterCanvas& p, long n) {
    for (long i = 0; i < n; ++i) p.EndLine();
}

std::int16_t Int16(long v) {
    if (v < -32768 || v > 32767) throw VbError(kErrOverflow);
    return static_cast<std::int16_t>(v);
}

// Where no one can be asked: the length given, or with 0 the document's
// when the printer page holds it and the printer's otherwise.
PageLengthChoice UnattendedPageLength(PrintJob& job, int PrinterLines, long reserved) {
    const DocumentModel& d = job.doc;
    const long wanted = *job.unattended_length != 0 ? *job.unattended_length : d.OptPL;
    const bool holds = wanted > reserved && wanted <= PrinterLines;
    if (!holds && *job.unattended_length != 0) {
        std::string refused = PageLengthRefused(static_cast<int>(wanted), PrinterLines, reserved);
        job.sys.msg.Show(refused, MsgButtons::OK, MsgIcon::Information);
        return {0, Status::Refused(refused)};
    }
    // A page that holds not even the margins: as when the user cancels a
    // prompt no answer satisfies, nothing is printed.
    if (!holds && PrinterLines <= reserved) return {0, Status::Done()};
    return {holds ? wanted : PrinterLines, std::nullopt};
}

// Asks until the answer leaves a line for the rows and the printer page
// holds it; a non-numeric answer keeps the length proposed.
PageLengthChoice AskPageLength(Trap& trap, PrintJob& job, int PrinterLines, long reserved) {
    const DocumentModel& d = job.doc;
    if (job.PrintPageLength == 0) job.PrintPageLength = static_cast<std::int16_t>(PrinterLines);
    // When the printer page cannot hold even the margins, no answer will
    // do; the user leaves the prompt with Cancel.
    const bool satisfiable = PrinterLines > reserved;
    for (;;) {
        std::string prompt = "Document pagelength is " + std::to_string(d.OptPL) + "." + job.CrLf +
                             "Printer pagelength is " + std::to_string(PrinterLines) + "." + job.CrLf +
                             "Enter pagelength to use.";
        std::string answer = job.sys.input.Ask(prompt, "PageLength", std::to_string(job.PrintPageLength));
        if (answer.empty() && !satisfiable) return {0, Status::Aborted("no page length was chosen")};
        if (IsNumeric(answer)) trap.Step([&] { job.PrintPageLength = CInt(Val(answer)); });
        if (!(job.PrintPageLength <= reserved || job.PrintPageLength > PrinterLines)) break;
    }
    return {job.PrintPageLength, std::nullopt};
}

// The width of `text`, measured only as far as needed to pass `limit`:
// a line of millions of characters costs no more than the page is wide.
double WidthUpTo(PrinterCanvas& p, std::string_view text, double limit) {
    constexpr std::size_t kPiece = 256;
    double width = 0;
    for (std::size_t i = 0; i < text.size() && width <= limit; i += kPiece)
        width += p.TextWidth(text.substr(i, kPiece));
    return width;
}

// How far right row `r`'s text reaches, in twips, measured no further
// than past `limit`: the furthest end of a cell's shown text, blanks at
// its end not counted.
double RowReach(PrinterCanvas& p, const DocumentModel& d, const ShownCells* shown, RowReader& cells,
                const std::vector<double>& starts, long r, double limit) {
    const double letter = p.TextWidth("A");
    double reach = 0;
    for (int c = 1; c <= d.NumCols && reach <= limit; ++c) {
        int row = static_cast<int>(r);
        std::string text = shown != nullptr ? shown->Shown(c, row) : WithoutMarkup(cells.Cell(c, row));
        text.erase(text.find_last_not_of(' ') + 1);
        if (text.empty()) continue;
        const double start = letter * starts[static_cast<std::size_t>(c - 1)];
        reach = std::max(reach, start + WidthUpTo(p, text, limit - start));
    }
    return reach;
}

std::vector<double> ColumnStarts(const DocumentModel& d) {
    std::vector<double> starts;
    for (int c = 1; c <= d.NumCols; ++c) starts.push_back(d.StartPosition(c));
    return starts;
}

}  // namespace

long ReservedLines(const DocumentModel& d) {
    int extra = (d.OptHE.empty() ? 0 : 1) + (d.OptFO.empty() ? 0 : 1);
    return long{d.OptTM} + d.OptHM + d.OptFM + d.OptBM + extra;
}

void SetPrinterFont(Trap& trap, PrintJob& job) {
    trap.Step([&] { job.printer.SetFontName(job.font_name); });
    trap.Step([&] { job.printer.SetFontSize(job.font_size); });
}

void FitWidestRow(PrintJob& job) {
    const DocumentModel& d = job.doc;
    RowReader cells(d.Cells, d.NumCols);
    const std::vector<double> starts = ColumnStarts(d);
    const ShownCells* shown = UnlessAsStored(job.shown);
    const double width = job.printer.ScaleWidth();
    // A row wider than the page at its smallest is cut all the same.
    const double limit = width / kSmallestFitScale;
    double widest = 0;
    for (long r = 1; r <= d.NumRows && widest <= limit; ++r)
        widest = std::max(widest, RowReach(job.printer, d, shown, cells, starts, r, limit));
    if (widest > width) job.printer.SetScale(std::max(width / widest, kSmallestFitScale));
}

int CountPrinterLines(Trap& trap, PrinterCanvas& p) {
    int PrinterLines = 0;
    trap.Step([&] { PrinterLines = static_cast<int>(p.ScaleHeight() / p.TextHeight("A")); });
    return PrinterLines;
}

PageLengthChoice ChoosePageLength(Trap& trap, PrintJob& job, int PrinterLines, long reserved) {
    if (job.unattended_length) return UnattendedPageLength(job, PrinterLines, reserved);
    if (job.doc.OptPL != PrinterLines) return AskPageLength(trap, job, PrinterLines, reserved);
    return {job.doc.OptPL, std::nullopt};
}

long CountRowsPerPage(Trap& trap, const DocumentModel& d, long length, long reserved) {
    long RowsPerPage = 0;
    trap.Step([&] { RowsPerPage = Int16(length - reserved); });
    trap.Step([&] {
        if (d.OptLS == 0) throw VbError(kErrDivisionByZero);
        RowsPerPage = Int16(RowsPerPage / d.OptLS);  // truncates toward zero
    });
    return RowsPerPage;
}

PageFit FitPageToPrinter(const DocumentModel& d, int PrinterLines, long RowsPerPage) {
    PageFit fit{RowsPerPage, d.OptFM};
    const bool footer = !d.OptFO.empty();
    const long top = std::max<long>(d.OptTM, 0) + std::max<long>(d.OptHM, 0);
    // The last line the page's rows, or its footer, are printed on.
    auto lines = [&] {
        long last = top + fit.RowsPerPage * d.OptLS + 1;
        if (footer) {
            last = std::max(last, top + (fit.RowsPerPage + 1) * d.OptLS + std::max(fit.footer_margin, 0L) + 1);
        }
        return last;
    };
    while (lines() > PrinterLines && footer && fit.footer_margin > 0) --fit.footer_margin;
    while (lines() > PrinterLines && fit.RowsPerPage >= 0) --fit.RowsPerPage;
    return fit;
}

std::optional<Status> RefuseWithoutRowSlot(Platform& sys, const DocumentModel& d, long RowsPerPage) {
    if (d.NumRows < 1 || RowsPerPage + 1 >= 1) return std::nullopt;
    sys.msg.Show(kNoRowSlot, MsgButtons::OK, MsgIcon::Information);
    return Status::Refused(kNoRowSlot);
}

PageRun::PageRun(PrintJob& j, const PageFit& fit)
    : job(j),
      slots(fit.RowsPerPage + 1),
      footer_margin(fit.footer_margin),
      shown(UnlessAsStored(j.shown)),
      starts(ColumnStarts(j.doc)),
      cells(j.doc.Cells, j.doc.NumCols),
      width(j.printer.ScaleWidth()) {}

namespace {

// A header or footer text, fields expanded, laid out on the current line.
void PrintHeaderLine(PageRun& run, const std::string& text) {
    PrintJob& job = run.job;
    PrinterCanvas& p = job.printer;
    std::string expanded = ExpandPrintFields(text, p.Page(), job.sys.process.LongDate(), job.doc.OptDE);
    PrintCell(p, LayoutHeaderLine(p, expanded, job.doc.OptLM), job.flags);
}

// Whether row `r`, due in `slot`, goes to the next page instead.
bool BreaksBefore(const PageRun& run, long r, long slot) {
    if (run.shown == nullptr || slot == 0 || r > run.job.doc.NumRows) return false;
    int wanted = run.shown->PageBreak(static_cast<int>(r));
    // A slot takes the line spacing's lines: the break counts lines left.
    return wanted == 0 || (wanted > 0 && (run.slots - slot) * long{run.job.doc.OptLS} < wanted);
}

// One row slot: row `k`'s cells at their columns when it exists, then the
// line ends of the line spacing.
void PrintRowSlot(PageRun& run, long k) {
    const DocumentModel& d = run.job.doc;
    PrinterCanvas& p = run.job.printer;
    if (k <= d.NumRows) {
        double right = 0;
        for (int c = 1; c <= d.NumCols; ++c) {
            p.SetCurrentX(p.TextWidth("A") * run.starts[static_cast<std::size_t>(c - 1)]);
            if (run.shown != nullptr) PrintCell(p, run.shown->Marked(c, static_cast<int>(k)), run.job.flags);
            else PrintCell(p, run.cells.Cell(c, static_cast<int>(k)), run.job.flags);
            right = std::max(right, p.CurrentX());
        }
        // Only a row that went past the edge is measured again, without
        // the blanks that show nothing.
        if (right > run.width && RowReach(p, d, run.shown, run.cells, run.starts, k, run.width) > run.width)
            ++run.job.rows_cut;
    }
    EndLines(p, d.OptLS);
}

}  // namespace

void PrintPageTop(Trap& trap, PageRun& run) {
    const DocumentModel& d = run.job.doc;
    trap.Step([&] { EndLines(run.job.printer, d.OptTM); });
    if (!d.OptHE.empty()) trap.Step([&] { PrintHeaderLine(run, d.OptHE); });
    trap.Step([&] { EndLines(run.job.printer, d.OptHM); });
}

long PrintRowSlots(Trap& trap, PageRun& run, long r) {
    const long past_end = run.job.doc.NumRows + 1;
    bool broken = false;
    for (long slot = 0; slot < run.slots; ++slot) {
        broken = broken || BreaksBefore(run, r, slot);
        const long k = broken ? past_end : r++;
        trap.Step([&] { PrintRowSlot(run, k); });
    }
    return r;
}

void PrintPageFoot(Trap& trap, PageRun& run) {
    const DocumentModel& d = run.job.doc;
    trap.Step([&] { EndLines(run.job.printer, run.footer_margin); });
    if (!d.OptFO.empty()) trap.Step([&] { PrintHeaderLine(run, d.OptFO); });
    trap.Step([&] { EndLines(run.job.printer, d.OptBM); });
    trap.Step([&] { run.job.printer.NewPage(); });
}

Status EndDocument(Trap& trap, PrinterCanvas& printer, const Status& status) {
    bool finished = trap.Run([&] { trap.Step([&] { printer.EndDoc(); }); });
    return status.Succeeded() ? trap.Outcome(finished) : status;
}

}  // namespace tw
