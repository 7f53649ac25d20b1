#include "export/rtf_export.h"

#include "document/markup.h"
#include "document/numbers.h"
#include "export/row_layout.h"

namespace tw {

long long WriteCellRTF(Platform& sys, const DocumentModel& doc, std::string& LineBuf, std::string_view text) {
    MarkupCellWriter cells(sys, RtfForms(), doc.OptDE);
    return cells.Write(text, LineBuf);
}

std::string RtfFontCode(const std::string& font_name) {
    if (font_name == "Courier New") return "\\f0";
    if (font_name == "Times New Roman") return "\\f1";
    if (font_name == "Arial") return "\\f2";
    if (font_name == "Courier") return "\\f3";
    return "";
}

std::string RtfSizeCode(float points) {
    return "\\fs" + std::to_string(RoundHalfAway(2.0 * static_cast<double>(points)));
}

RtfMetrics RtfMetricsFor(const std::string& font_name, float font_size, FontMeasures font, PaperSize paper) {
    RtfMetrics m;
    m.font_name = font_name;
    m.font_size = font_size;
    m.zero_width = font.zero_width;
    m.zero_height = font.zero_height;
    m.page_width = paper.page_width;
    m.page_height = paper.page_height;
    m.printable_width = paper.printable_width;
    return m;
}

namespace {

// The title sits in the document's properties, where no field is shown:
// word processors that met one there put its result on the first page's
// first line. "@P@" and "@D@" stay as written, as the window's caption
// and the HTML title show them.
const WriterForms& RtfTitleForms() {
    static const WriterForms f = [] {
        WriterForms t = RtfForms();
        t.page = "@P@";
        t.date = [](const std::string&) { return std::string("@D@"); };
        t.date_needs_today = false;
        t.page_width = t.date_width = 3;
        return t;
    }();
    return f;
}

// A header or footer laid out as the printed page lays it out: the left
// part at the left margin, the centre part centred and the right part
// ending at the right margin, on tab stops. No text, no group: word
// processors would set the page's top or bottom aside for an empty one.
std::string HeaderGroup(const char* name, const std::string& text, const std::string& font, long long centre,
                        long long right, MarkupCellWriter& cells) {
    if (text.empty()) return "";
    std::string g = std::string("{\\") + name + "\\pard" + font;
    if (right > 0) g += "\\tqc\\tx" + std::to_string(centre) + "\\tqr\\tx" + std::to_string(right);
    g += ' ';  // ends the control word: a text may begin with digits or spaces
    HeaderParts parts = SplitHeaderLine(text);
    std::string LineBuf;
    cells.Write(parts.left, LineBuf);
    if (!parts.centre.empty() || !parts.right.empty()) {
        LineBuf += "\\tab ";
        cells.Write(parts.centre, LineBuf);
    }
    if (!parts.right.empty()) {
        LineBuf += "\\tab ";
        cells.Write(parts.right, LineBuf);
    }
    return g + LineBuf + "\\par}\r\n";
}

}  // namespace

void WriteRTFTo(Platform& sys, const DocumentModel& doc, const RtfMetrics& m, Sink& out, Trap* trap,
                const ShownCells* shown) {
    MarkupCellWriter cells(sys, RtfForms(), doc.OptDE);
    std::string LineBuf;
    const std::string font = RtfFontCode(m.font_name) + RtfSizeCode(m.font_size);
    auto F = [](float x) { return FormatSingle(x); };
    const float w0 = m.zero_width, h0 = m.zero_height;

    RunStep(trap, kWriterHeader, [&] {
        std::string h =
            "{\\rtf1\\ansi \\deff0\r\n{\\fonttbl\r\n{\\f0\\fmodern Courier New;}\r\n{\\f1\\froman Times New Roman;}\r\n"
            "{\\f2\\fswiss Arial;}\r\n{\\f3\\fmodern Courier;}}\r\n";
        h += font + "\r\n";
        LineBuf.clear();
        MarkupCellWriter(sys, RtfTitleForms(), doc.OptDE).Write(doc.OptDE, LineBuf);
        h += "{\\info{\\title " + LineBuf + "}}\r\n";
        // The page's size and margins are document properties: word
        // processors ignore them inside a group of their own.
        if (m.page_width > 0 && m.page_height > 0) {
            h += "\\paperw" + F(m.page_width) + "\\paperh" + F(m.page_height) + "\r\n";
        }
        const float left = static_cast<float>(doc.OptLM) * w0, right = (m.page_width - m.printable_width) / 2;
        h += "\\margl" + F(left) + "\r\n";
        h += "\\margr" + F(right) + "\r\n";
        h += "\\margt" + F(static_cast<float>(doc.OptTM + 1 + doc.OptHM) * h0) + "\r\n";
        h += "\\margb" + F(static_cast<float>(doc.OptBM + 1 + doc.OptFM) * h0) + "\r\n";
        h += "{\\pgnstart" + std::to_string(doc.OptPS) + "}\r\n";
        h += "\\headery" + F(static_cast<float>(doc.OptHM) * h0) + "\r\n";
        h += "\\footery" + F(static_cast<float>(doc.OptFM) * h0) + "\r\n";
        const double text_width = static_cast<double>(m.page_width) - left - right;
        const long long tab_right = text_width > 0 ? RoundHalfAway(text_width) : 0;
        h += HeaderGroup("header", doc.OptHE, font, tab_right / 2, tab_right, cells);
        h += HeaderGroup("footer", doc.OptFO, font, tab_right / 2, tab_right, cells);
        out.Write(h);
    });
    WriteRows(doc, cells, LineBuf, out, trap, RowStyle{"\\par", false, true}, {}, shown);
    RunStep(trap, kWriterEnd, [&] { out.Write("\\par\r\n}"); });
}

Status WriteRTF(Platform& sys, const DocumentModel& doc, const RtfMetrics& m, const std::string& path,
                const ShownCells* shown) {
    return WriteFileUnderTrap(sys, "WriteRTF", path,
                              [&](Sink& sink, Trap& trap) { WriteRTFTo(sys, doc, m, sink, &trap, shown); });
}

}  // namespace tw
