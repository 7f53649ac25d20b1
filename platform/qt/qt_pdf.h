// Printing into a PDF file, and Qt without a display, for the converter.
#pragma once

#include <functional>
#include <memory>
#include <string>

class QGuiApplication;
class QPrinter;

namespace tw {

class PrinterCanvas;
class QtPrinterCanvas;

// Starts Qt on its offscreen platform, so fonts and printing work without
// a display. Qt's own chatter (a missing runtime folder, font fallbacks)
// is dropped; only its critical messages reach stderr.
std::unique_ptr<QGuiApplication> StartOffscreenQt(char* argv0);

// A PDF printer with the locale's paper size and an office printer's
// margins, writing to `path`, and the canvas
// that prints pages onto it.
class PdfPrinter {
public:
    // `path` must be a name Qt can open as it is (plain ASCII); `title`
    // is the document's name inside the PDF (UTF-8, else Windows-1252).
    // `landscape` turns the paper on its side.
    PdfPrinter(const std::string& path, const std::string& title, bool landscape = false);
    ~PdfPrinter();

    PrinterCanvas& Canvas();
    // Pages that got something on them.
    int PagesPrinted() const;
    // Called with the number of pages printed so far as each page ends.
    void OnPageEnd(std::function<void(int pages)> hook);

private:
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QtPrinterCanvas> canvas_;
};

}  // namespace tw
