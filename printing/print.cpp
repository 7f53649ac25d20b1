#include "printing/print.h"

#include "document/markup.h"
#include "document/numbers.h"
#include "printing/print_steps.h"

namespace tw {

std::string ExpandPrintFields(std::string_view text, int page, const std::string& long_date, const std::string& title) {
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

Status PrintDocument(PrintJob& job) {
    Trap trap(job.sys, "PrintDocument", ReportFamily::A);
    trap.LogWithTimestamp();
    Status status;
    bool finished = trap.Run([&] {
        const long reserved = ReservedLines(job.doc);
        SetPrinterFont(trap, job);
        if (job.fit_width) trap.Step([&] { FitWidestRow(job); });
        const int PrinterLines = CountPrinterLines(trap, job.printer);
        PageLengthChoice length = ChoosePageLength(trap, job, PrinterLines, reserved);
        if (length.stop) {
            status = *length.stop;
            return;
        }
        PageFit fit = FitPageToPrinter(job.doc, PrinterLines, CountRowsPerPage(trap, job.doc, length.lines, reserved));
        if (auto refused = RefuseWithoutRowSlot(job.sys, job.doc, fit.RowsPerPage)) {
            status = *refused;
            return;
        }
        PageRun run(job, fit);
        for (long r = 1; r <= job.doc.NumRows;) {
            PrintPageTop(trap, run);
            r = PrintRowSlots(trap, run, r);
            PrintPageFoot(trap, run);
        }
    });
    if (status.Succeeded()) status = trap.Outcome(finished);
    return EndDocument(trap, job.printer, status);
}

}  // namespace tw
