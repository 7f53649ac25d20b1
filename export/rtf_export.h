// The document as Rich Text: the screen font, page margins from the
// document's options, page numbering, header, footer, highlights.
#pragma once

#include <string>

#include "document/model.h"
#include "document/shown_text.h"
#include "document/status.h"
#include "export/sink.h"
#include "platform/measures.h"

namespace tw {

// What the RTF export takes from the platform, in twips and points.
struct RtfMetrics {
    std::string font_name = kDefaultFontName;  // the screen font
    float font_size = kDefaultFontSize;
    float zero_width = 0;   // W0: width of "0" in the screen font
    float zero_height = 0;  // H0: its height
    float page_width = 0;   // of the default printer
    float page_height = 0;
    float printable_width = 0;
};

// The metrics of a screen font measured on the screen, for a printer.
RtfMetrics RtfMetricsFor(const std::string& font_name, float font_size, FontMeasures font, PaperSize paper);

long long WriteCellRTF(Platform& sys, const DocumentModel& doc, std::string& LineBuf, std::string_view text);

// "\f0" for Courier New, "\f1" Times New Roman, "\f2" Arial, "\f3" Courier.
std::string RtfFontCode(const std::string& font_name);
// "\fs" and twice the size, halves rounded away from zero.
std::string RtfSizeCode(float points);

void WriteRTFTo(Platform& sys, const DocumentModel& doc, const RtfMetrics& m, Sink& out, Trap* trap = nullptr,
                const ShownCells* shown = nullptr);

// Writes the document to `path`, reporting failures as "WriteRTF";
// returns what happened.
Status WriteRTF(Platform& sys, const DocumentModel& doc, const RtfMetrics& m, const std::string& path,
                const ShownCells* shown = nullptr);

}  // namespace tw
