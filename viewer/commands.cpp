// The menu commands: the File menu's enabling, Save As, Print, the recent
// files, Exit, the Settings menu and About.
#include <QListWidget>
#include <QScrollBar>

#include "document/numbers.h"
#include "document/report.h"
#include "document/text.h"
#include "export/csv_export.h"
#include "export/html_export.h"
#include "export/ods_export.h"
#include "export/xlsx_export.h"
#include "export/rtf_export.h"
#include "export/save_as.h"
#include "export/text_export.h"
#include "platform/atomic_output.h"
#include "platform/install_place.h"
#include "platform/qt/qt_metrics.h"
#include "printing/print.h"
#include "settings/recent.h"
#include "viewer/computing.h"
#include "viewer/frmQuillon.h"
#include "viewer/layout_switch.h"

namespace tw {

namespace {

// The fourth Save As entry: the computed values, for a spreadsheet.
constexpr SaveAsEntry kSaveAsCsv = {"Save As CSV", "CSV (*.csv)|*.csv", "csv"};
// The fifth and sixth: workbooks whose formulas stay live.
constexpr SaveAsEntry kSaveAsOds = {"Save As Spreadsheet (ODS)", "OpenDocument Spreadsheet (*.ods)|*.ods", "ods"};
constexpr SaveAsEntry kSaveAsXlsx = {"Save As Excel Workbook (XLSX)", "Excel Workbook (*.xlsx)|*.xlsx", "xlsx"};

}  // namespace

void frmQuillon::mnuFile_Click() {
    for (QAction* a : mnuSaveAs) a->setEnabled(doc_.IsPipeDreamFile);
    mnuSaveAsCsv->setEnabled(doc_.IsPipeDreamFile);
    for (QAction* a : {mnuSaveAsOds, mnuSaveAsXlsx}) {
        if (a) a->setEnabled(doc_.IsPipeDreamFile);
    }
    mnuFilePrint->setEnabled(doc_.IsPipeDreamFile);
}

void frmQuillon::mnuSaveAs_Click(int index) {
    Trap trap(sys_, "mnuSaveAs_Click", ReportFamily::B);
    trap.OnFailure([](const VbError& e, int) { return e.number() == kErrCancel ? Handling::Leave : Handling::Report; });
    trap.Run([&] {
        if (!doc_.IsPipeDreamFile) return;
        std::string selected;
        if (QListWidgetItem* item = List1->currentItem())
            selected = item->data(Qt::UserRole).toByteArray().toStdString();
        const SaveAsEntry& entry = index == 3   ? kSaveAsCsv
                                   : index == 4 ? kSaveAsOds
                                   : index == 5 ? kSaveAsXlsx
                                                : kSaveAsEntries[static_cast<std::size_t>(index)];
        CommonDialog& d = services_.CMDialog1;
        trap.Step([&] { d.FileName = ProposedSaveName(RecentPath(*this, 1), selected); });
        d.DialogTitle = entry.title;
        d.Filter = entry.filter;
        d.DefaultExt = entry.extension;
        d.Flags = kSaveAsFlags;
        d.CancelError = true;
        bool chosen = false;
        trap.Step([&] { chosen = d.ShowSave(); });
        if (!chosen) return;
        const std::string path = d.FileName;
        // Exporting over the document on show would destroy it: the name
        // proposed for a document named "report.txt" is its own.
        if (doc_.SourceFile && IdentityOf(path) == doc_.SourceFile) {
            sys_.msg.Show(SaveOverDocumentText(path), MsgButtons::OK, MsgIcon::Warning);
            return;
        }
        // The layout on show; "@N@" takes the time of the saving.
        std::unique_ptr<ShownCells> cells = layouts_->CellsNow();
        switch (index) {
        case 0: {
            const std::string& name = Surface().FontName();
            float size = Surface().FontSize();
            RtfMetrics m = RtfMetricsFor(name, size, MeasureScreenFont(name, size), DefaultPrinterSize());
            WriteRTF(sys_, doc_, m, path, cells.get());
            break;
        }
        case 1: WriteFileTxt(sys_, doc_, path, cells.get()); break;
        case 2: WriteFileHTML(sys_, doc_, path, cells.get()); break;
        case 4:
        case 5: {
            // The sheet is named after the document's file when it has no title.
            Status s = index == 4 ? WriteFileOds(doc_, path, RecentPath(*this, 1))
                                  : WriteFileXlsx(doc_, path, RecentPath(*this, 1));
            if (s.kind == Status::Kind::Failed) {
                sys_.msg.Show("Error " + std::to_string(s.number) + " '" + s.description + "' in " +
                                  (index == 4 ? "WriteFileOds" : "WriteFileXlsx"),
                              MsgButtons::OK, MsgIcon::Warning);
            }
            break;
        }
        default: WriteFileCsv(sys_, doc_, path); break;  // values, in either layout
        }
    });
}

void frmQuillon::mnuFilePrint_Click() {
    Trap trap(sys_, "mnuFilePrint_Click", ReportFamily::A);
    trap.LogWithTimestamp();
    trap.OnFailure([](const VbError& e, int) { return e.number() == kErrCancel ? Handling::Leave : Handling::Report; });
    trap.Run([&] {
        CommonDialog& d = services_.CMDialog1;
        d.Flags = 0x10000C;  // no selection, no page range, no print to file box
        d.CancelError = true;
        // The document loaded last stands first among the recent files.
        d.PrintPath = RecentPath(*this, 1);
        d.PrintTitle = PrintTitle(doc_, d.PrintPath);
        bool chosen = false;
        trap.Step([&] { chosen = d.ShowPrinter(); });
        if (!chosen) return;
        std::unique_ptr<PrinterCanvas> printer = d.Printer();
        std::unique_ptr<ShownCells> cells = layouts_->CellsNow();
        PrintJob job{sys_, doc_, *printer, Surface().FontName(), Surface().FontSize(), CrLf, PrintPageLength, Scripts};
        job.shown = cells.get();
        job.fit_width = d.PrintFitWidth;
        PrintDocument(job);
    });
}

void frmQuillon::mnuFileOld_Click(int index) {
    if (index == 0) return;
    LoadFile(RecentPath(*this, index));
}

void frmQuillon::mnuFileExit_Click() {
    Trap trap(sys_, "mnuFileExit_Click", ReportFamily::B);
    trap.Run([&] { trap.Step([&] { close(); }); });
}

void frmQuillon::mnuFont_Click() {
    Trap trap(sys_, "mnuFont_Click", ReportFamily::B);
    CommonDialog& d = services_.CMDialog1;
    trap.Run([&] {
        d.FontName = Surface().FontName();
        d.FontSize = Surface().FontSize();
        d.Flags = 0x10403;  // screen and printer fonts, ANSI only, existing fonts
        bool chosen = false;
        // A cancelled font dialog is no failure, whatever an earlier
        // command left in CancelError.
        try {
            chosen = d.ShowFont();
        } catch (const VbError& e) {
            if (e.number() != kErrCancel) throw;
        }
        if (!chosen) return;
        trap.Step([&] { Surface().SetFontName(d.FontName); });
        trap.Step([&] { Surface().SetFontSize(d.FontSize); });
        trap.Step([&] { WriteIniFile(sys_, "FontName", d.FontName); });
        trap.Step([&] { WriteIniFile(sys_, "FontSize", FormatSingle(d.FontSize)); });
    });
    GiveFocusToVScroll1();
}

void frmQuillon::mnuMaxNumCols_Click() {
    std::string proposed = std::to_string(doc_.MaxNumCols);
    for (;;) {
        std::string answer = sys_.input.Ask("Maximum number of columns (1-64):", "", proposed);
        if (IsNumeric(answer)) {
            // Compared once rounded, so "64.4" is 64.
            double v = RoundHalfEven(Val(answer));
            if (v >= 1 && v <= 64) {
                doc_.MaxNumCols = static_cast<int>(v);
                WriteIniFile(sys_, "MaxNumCols", std::to_string(doc_.MaxNumCols));
                return;
            }
        }
        if (answer.empty()) return;
        proposed = answer;
    }
}

std::string frmQuillon::AboutText() const {
    // An installed copy names what is installed with it: the folder it was
    // built from is on another machine.
    const std::string docs = InstalledDocFolder(sys_.process.ProgramFolder());
    const std::string where[] = {
        docs.empty() ? "Its README.md and source are in" : "Its manual is \"man tarnwick\"; licence and changes in",
        docs.empty() ? TARNWICK_SOURCE_DIR : docs,
        docs.empty() ? "Read README.md there for how to build and use it." : "Read the manual for how to use it.",
    };
    const std::string lines[] = {
        "Tarnwick",
        "Version 0.19",
        "6 February 2013",
        "",
        "If you find the program useful,",
        "please send me a postcard",
        "from your neighbourhood.",
        "",
        "The Tarnwick project",
        "A viewer for PipeDream documents",
        where[0],
        where[1],
        "",
        where[2],
        "Questions and reports: the project's issue list.",
    };
    std::string text;
    for (const std::string& line : lines) text += line + CrLf;
    return text;
}

void frmQuillon::DocumentChanged(const std::string& path) {
    computing_->Stop();
    layouts_->DocumentChanged(path);
}

void frmQuillon::mnuAbout_Click() { sys_.msg.Show(AboutText(), MsgButtons::OK, MsgIcon::None); }

}  // namespace tw
