// Font, screen and printer measurements in twips.
#pragma once

#include <string>

#include "platform/measures.h"

class QFont;
class QPrinter;

namespace tw {

// Twips per device pixel of the primary screen (15 at 96 dots per inch).
double ScreenTwipsPerPixel();

// A font by its family name and size in points; the family reported is
// always the one asked for.
QFont ScreenFont(const std::string& name, float size);

// Makes `printer` a PDF printer with the locale's paper size (Letter
// where the locale measures in inches, A4 elsewhere) and the unprintable
// margins of an office printer, so its pages look printed.
void SetUpPdfPrinter(QPrinter& printer);

// The paper of the default printer; the PDF printer stands in when there
// is none.
PaperSize DefaultPrinterSize();

// The "0" of a screen font, in whole screen pixels. Needs a QGuiApplication.
FontMeasures MeasureScreenFont(const std::string& font_name, float font_size);

}  // namespace tw
