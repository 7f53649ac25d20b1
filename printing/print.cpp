#include "printing/print.h"

#include <algorithm>

#include "document/markup.h"
#include "document/numbers.h"
#include "document/report.h"

namespace tw {

std::string ExpandPrintFields(std::string_view text, int page, const std::string& long_date,
                              const std::string& title) {
    std::string number = std::to_string(page), out;
    FieldForms forms{number, long_date, title};
    FieldPass(text, forms, out);
    return out;
}

std::string LayoutHeaderLine(PrinterCanvas& printer, std::string_view text, int left_margin) {
    HeaderParts split = SplitHeaderLine(text);
    std::string_view parts[3] = {split.left, split.centre, split.right};
    std::string lead(static_cast<std::size_t>(left_margin > 0 ? left_margin : 0), ' ');
    std::string all = lead;
    for (auto p : parts) all += p;
    double space = printer.TextWidth(" ");
    double gap = space > 0 ? RoundHalfEven((printer.ScaleWidth() - printer.TextWidth(all)) / space / 2) : 0;
    std::string between = gap < 1 ? std::string(" ") : std::string(static_cast<std::size_t>(gap), ' ');
    return lead + std::string(parts[0]) + between + std::string(parts[1]) + between + std::string(parts[2]);
}

std::string PrintTitle(const DocumentModel& doc, const std::string& path) {
    if (!doc.OptDE.empty()) return doc.OptDE;
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string PageLengthRefused(int length, int printer_lines, long reserved) {
    return "A page length of " + std::to_string(length) + " lines does not fit: the printer page holds " +
           std::to_string(printer_lines) + " lines, and the margins, header and footer take " +
           std::to_string(reserved) + ". Nothing is printed.";
}

namespace {

void EndLines(PrinterCanvas& p, long n) {
    for (long i = 0; i < n; ++i) p.EndLine();
}

std::int16_t Int16(long v) {
    if (v < -32768 || v > 32767) throw VbError(kErrOverflow);
    return static_cast<std::int16_t>(v);
}

}  // namespace

Status PrintDocument(PrintJob& job) {
    const DocumentModel& d = job.doc;
    PrinterCanvas& p = job.printer;
    Trap trap(job.sys, "PrintDocument", ReportFamily::A);
    trap.LogWithTimestamp();
    Status status;
    bool finished = trap.Run([&] {
        int extra = (d.OptHE.empty() ? 0 : 1) + (d.OptFO.empty() ? 0 : 1);
        const long reserved = long{d.OptTM} + d.OptHM + d.OptFM + d.OptBM + extra;
        trap.Step([&] { p.SetFontName(job.font_name); });
        trap.Step([&] { p.SetFontSize(job.font_size); });
        int PrinterLines = 0;
        trap.Step([&] { PrinterLines = static_cast<int>(p.ScaleHeight() / p.TextHeight("A")); });

        long length = d.OptPL;
        if (job.unattended_length) {
            const long wanted = *job.unattended_length != 0 ? *job.unattended_length : d.OptPL;
            const bool holds = wanted > reserved && wanted <= PrinterLines;
            if (!holds && *job.unattended_length != 0) {
                std::string refused = PageLengthRefused(static_cast<int>(wanted), PrinterLines, reserved);
                job.sys.msg.Show(refused, MsgButtons::OK, MsgIcon::Information);
                status = Status::Refused(refused);
                return;
            }
            // A page that holds not even the margins: as when the user
            // cancels a prompt no answer satisfies, nothing is printed.
            if (!holds && PrinterLines <= reserved) return;
            length = holds ? wanted : PrinterLines;
        } else if (d.OptPL != PrinterLines) {
            if (job.PrintPageLength == 0) job.PrintPageLength = static_cast<std::int16_t>(PrinterLines);
            // When the printer page cannot hold even the margins, no answer
            // will do; the user leaves the prompt with Cancel.
            const bool satisfiable = PrinterLines > reserved;
            for (;;) {
                std::string prompt = "Document pagelength is " + std::to_string(d.OptPL) + "." + job.CrLf +
                                     "Printer pagelength is " + std::to_string(PrinterLines) + "." + job.CrLf +
                                     "Enter pagelength to use.";
                std::string answer =
                    job.sys.input.Ask(prompt, "PageLength", std::to_string(job.PrintPageLength));
                if (answer.empty() && !satisfiable) {
                    status = Status::Aborted("no page length was chosen");
                    return;
                }
                if (IsNumeric(answer)) trap.Step([&] { job.PrintPageLength = CInt(Val(answer)); });
                if (!(job.PrintPageLength <= reserved || job.PrintPageLength > PrinterLines)) break;
            }
            length = job.PrintPageLength;
        }

        long RowsPerPage = 0;
        trap.Step([&] { RowsPerPage = Int16(length - reserved); });
        trap.Step([&] {
            if (d.OptLS == 0) throw VbError(kErrDivisionByZero);
            RowsPerPage = Int16(RowsPerPage / d.OptLS);  // truncates toward zero
        });
        // The slots and margins of a page come to one line more than its
        // length: where the printer page has no room for it, the footer
        // margin gives the line up, then the rows, so that nothing is
        // printed off the page.
        long footer_margin = d.OptFM;
        {
            const bool footer = !d.OptFO.empty();
            const long top = std::max<long>(d.OptTM, 0) + std::max<long>(d.OptHM, 0);
            auto lines = [&] {
                long last = top + RowsPerPage * d.OptLS + 1;
                if (footer) last = std::max(last, top + (RowsPerPage + 1) * d.OptLS + std::max(footer_margin, 0L) + 1);
                return last;
            };
            while (lines() > PrinterLines && footer && footer_margin > 0) --footer_margin;
            while (lines() > PrinterLines && RowsPerPage >= 0) --RowsPerPage;
        }
        if (d.NumRows >= 1 && RowsPerPage + 1 < 1) {
            // Without a row slot the pages would never get through the rows.
            job.sys.msg.Show(kNoRowSlot, MsgButtons::OK, MsgIcon::Information);
            status = Status::Refused(kNoRowSlot);
            return;
        }

        std::vector<double> starts;
        for (int c = 1; c <= d.NumCols; ++c) starts.push_back(d.StartPosition(c));
        RowReader cells(d.Cells, d.NumCols);
        auto headerLine = [&](const std::string& text) {
            std::string expanded = ExpandPrintFields(text, p.Page(), job.sys.process.LongDate(), d.OptDE);
            PrintCell(p, LayoutHeaderLine(p, expanded, d.OptLM), job.flags);
        };
        const ShownCells* shown = job.shown != nullptr && !job.shown->AsStored() ? job.shown : nullptr;
        const long slots = RowsPerPage + 1;
        for (long r = 1; r <= d.NumRows;) {
            trap.Step([&] { EndLines(p, d.OptTM); });
            if (!d.OptHE.empty()) trap.Step([&] { headerLine(d.OptHE); });
            trap.Step([&] { EndLines(p, d.OptHM); });
            bool broken = false;
            for (long slot = 0; slot < slots; ++slot) {
                // A page break ends the page before its row, unless the row
                // is the page's first.
                if (shown != nullptr && !broken && slot > 0 && r <= d.NumRows) {
                    int wanted = shown->PageBreak(static_cast<int>(r));
                    broken = wanted == 0 || (wanted > 0 && slots - slot < wanted);
                }
                const long k = broken ? d.NumRows + 1 : r;
                if (!broken) ++r;
                trap.Step([&] {
                    if (k <= d.NumRows) {
                        for (int c = 1; c <= d.NumCols; ++c) {
                            p.SetCurrentX(p.TextWidth("A") * starts[static_cast<std::size_t>(c - 1)]);
                            if (shown != nullptr) PrintCell(p, shown->Marked(c, static_cast<int>(k)), job.flags);
                            else PrintCell(p, cells.Cell(c, static_cast<int>(k)), job.flags);
                        }
                    }
                    // Rows past the end print as empty slots, so the last
                    // page's footer stands where the others' do.
                    EndLines(p, d.OptLS);
                });
            }
            trap.Step([&] { EndLines(p, footer_margin); });
            if (!d.OptFO.empty()) trap.Step([&] { headerLine(d.OptFO); });
            trap.Step([&] { EndLines(p, d.OptBM); });
            trap.Step([&] { p.NewPage(); });
        }
    });
    if (status.Succeeded()) status = trap.Outcome(finished);
    finished = trap.Run([&] { trap.Step([&] { p.EndDoc(); }); });
    return status.Succeeded() ? trap.Outcome(finished) : status;
}

}  // namespace tw
