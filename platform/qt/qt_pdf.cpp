#include "platform/qt/qt_pdf.h"

#include <QGuiApplication>
#include <QPrinter>
#include <cstdio>

#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_metrics.h"
#include "platform/qt/qt_services.h"

namespace tw {

std::unique_ptr<QGuiApplication> StartOffscreenQt(char* argv0) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "tarnwick: %s\n", qPrintable(text));
    });
    static int qt_argc = 1;
    static char* qt_argv[] = {argv0, nullptr};
    return std::make_unique<QGuiApplication>(qt_argc, qt_argv);
}

PdfPrinter::PdfPrinter(const std::string& path, const std::string& title, bool landscape)
    : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    SetUpPdfPrinter(*printer_);
    if (landscape) printer_->setPageOrientation(QPageLayout::Landscape);
    printer_->setOutputFileName(QString::fromLatin1(path.c_str()));
    printer_->setDocName(DisplayText(title));
    canvas_ = std::make_unique<QtPrinterCanvas>(*printer_);
}

// The canvas ends the printer's painting, so it goes first.
PdfPrinter::~PdfPrinter() { canvas_.reset(); }

PrinterCanvas& PdfPrinter::Canvas() { return *canvas_; }

int PdfPrinter::PagesPrinted() const { return canvas_->PagesPrinted(); }

void PdfPrinter::OnPageEnd(std::function<void(int)> hook) { canvas_->on_page_end = std::move(hook); }

}  // namespace tw
