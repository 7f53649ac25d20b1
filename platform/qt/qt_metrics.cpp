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
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

QFont ScreenFont(const std::string& name, float size) {
    QFont f(QString::fromStdString(name));
    f.setPointSizeF(size > 0 ? size : 9);
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

void DefaultPrinterSize(float& page_width, float& page_height, float& printable_width) {
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    std::unique_ptr<QPrinter> printer;
    if (!info.isNull()) {
        printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    } else {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        SetUpPdfPrinter(*printer);
    }
    // Whole twips, as printers report their sizes.
    page_width = static_cast<float>(std::round(printer->paperRect(QPrinter::Point).width() * 20.0));
    page_height = static_cast<float>(std::round(printer->paperRect(QPrinter::Point).height() * 20.0));
    printable_width = static_cast<float>(std::round(printer->pageRect(QPrinter::Point).width() * 20.0));
}

RtfMetrics MeasureRtfMetrics(const std::string& font_name, float font_size) {
    RtfMetrics m;
    m.font_name = font_name;
    m.font_size = font_size;
    // Whole screen pixels, so the margins derived from them are whole
    // twips: RTF control words take integers only.
    QFontMetrics fm(ScreenFont(font_name, font_size));
    double tpp = ScreenTwipsPerPixel();
    m.zero_width = static_cast<float>(fm.horizontalAdvance(QStringLiteral("0")) * tpp);
    m.zero_height = static_cast<float>(fm.height() * tpp);
    DefaultPrinterSize(m.page_width, m.page_height, m.printable_width);
    return m;
}

}  // namespace tw
