// Font and printer measurements in twips, for the RTF export.
#pragma once

#include <string>

#include "export/rtf_export.h"

class QFont;
class QPrinter;

namespace tw {

// Twips per device pixel of the primary screen (15 at 96 dots per inch).
double ScreenTwipsPerPixel();

// A font by its family name and size in points; the family reported is
// always the one asked for.
QFont ScreenFont(const std::string& name, float size);

// Makes `printer` a PDF printer with the locale's paper size and the
// unprintable margins of an office printer, so its pages look printed.
void SetUpPdfPrinter(QPrinter& printer);

// The page width and height and the printable width of the default
// printer in twips; the PDF printer stands in when there is none.
void DefaultPrinterSize(float& page_width, float& page_height, float& printable_width);

// Everything the RTF export reads from the platform, for a screen font.
// Needs a QGuiApplication.
RtfMetrics MeasureRtfMetrics(const std::string& font_name, float font_size);

}  // namespace tw
