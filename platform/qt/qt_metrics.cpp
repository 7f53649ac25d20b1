#include "platform/qt/qt_metrics.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLocale>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <cmath>
#include <memory>

namespace tw {

double ScreenTwipsPerPixel() {
    QScreen* s = QGuiApplication::primaryScreen();
    double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return TwipsPerPixel(dpi, 96.0);
}

QFont ScreenFont(const std::string& name, float size) {
    QFont f(QString::fromStdString(name));
    f.setPointSizeF(size > 0 ? size : kDefaultFontSize);
    f.setStyleHint(QFont::TypeWriter, QFont::PreferMatch);
    return f;
}

void SetUpPdfPrinter(QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    bool us = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
    printer.setPageSize(QPageSize(us ? QPageSize::Letter : QPageSize::A4));
    // A quarter inch all round, as office laser printers leave unprinted.
    printer.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Point);
}

PaperSize DefaultPrinterSize() {
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    std::unique_ptr<QPrinter> printer;
    if (!info.isNull()) {
        printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    } else {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        SetUpPdfPrinter(*printer);
    }
    // Whole twips, from millimetres: Qt rounds paper sizes in points to
    // whole points, which would make A4 a paper of its own.
    auto twips = [](double mm) { return static_cast<float>(std::round(mm * kTwipsPerInch / 25.4)); };
    PaperSize paper;
    paper.page_width = twips(printer->paperRect(QPrinter::Millimeter).width());
    paper.page_height = twips(printer->paperRect(QPrinter::Millimeter).height());
    paper.printable_width = twips(printer->pageRect(QPrinter::Millimeter).width());
    return paper;
}

FontMeasures MeasureScreenFont(const std::string& font_name, float font_size) {
    FontMeasures m;
    // Whole screen pixels, so the margins derived from them are whole
    // twips: RTF control words take integers only.
    QFontMetrics fm(ScreenFont(font_name, font_size));
    double tpp = ScreenTwipsPerPixel();
    m.zero_width = static_cast<float>(fm.horizontalAdvance(QStringLiteral("0")) * tpp);
    m.zero_height = static_cast<float>(fm.height() * tpp);
    return m;
}

}  // namespace tw
