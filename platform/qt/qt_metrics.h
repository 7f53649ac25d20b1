// Font and printer measurements in twips, for the RTF export.
#pragma once

#include <string>

#include "export/rtf_export.h"

class QFont;

namespace tw {

// Twips per device pixel of the primary screen (15 at 96 dots per inch).
double ScreenTwipsPerPixel();

// A font by its family name and size in points; the family reported is
// always the one asked for.
QFont ScreenFont(const std::string& name, float size);

// The page width and printable width of the default printer in twips; a
// PDF printer with the locale's paper size stands in when there is none.
void DefaultPrinterWidths(float& page_width, float& printable_width);

// Everything the RTF export reads from the platform, for a screen font.
// Needs a QGuiApplication.
RtfMetrics MeasureRtfMetrics(const std::string& font_name, float font_size);

}  // namespace tw
