#include "export/rtf_export.h"

#include "document/numbers.h"
#include "export/markup_writer.h"

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

void WriteRTFTo(Platform& sys, const DocumentModel& doc, const RtfMetrics& m, Sink& out, Trap* trap) {
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
        cells.Write(doc.OptDE, LineBuf);
        h += "{\\info{\\title " + LineBuf + "}}\r\n";
        h += "{\\margl" + F(static_cast<float>(doc.OptLM) * w0) + "}\r\n";
        h += "{\\margr" + F((m.page_width - m.printable_width) / 2) + "}\r\n";
        h += "{\\margt" + F(static_cast<float>(doc.OptTM + 1 + doc.OptHM) * h0) + "}\r\n";
        h += "{\\margb" + F(static_cast<float>(doc.OptBM + 1 + doc.OptFM) * h0) + "}\r\n";
        h += "{\\pgnstart" + std::to_string(doc.OptPS) + "}\r\n";
        h += "{\\headery" + F(static_cast<float>(doc.OptHM) * h0) + "}\r\n";
        h += "{\\footery" + F(static_cast<float>(doc.OptFM) * h0) + "}\r\n";
        LineBuf.clear();
        cells.Write(doc.OptHE, LineBuf);
        h += "{\\header" + font + LineBuf + "}\r\n";
        LineBuf.clear();
        cells.Write(doc.OptFO, LineBuf);
        h += "{\\footer" + font + LineBuf + "}\r\n";
        out.Write(h);
    });
    WriteRows(doc, cells, LineBuf, out, trap, RowStyle{"\\par", false});
    RunStep(trap, kWriterEnd, [&] { out.Write("\\par\r\n}"); });
}

Status WriteRTF(Platform& sys, const DocumentModel& doc, const RtfMetrics& m, const std::string& path) {
    return WriteFileUnderTrap(sys, "WriteRTF", path, [&](Sink& sink, Trap& trap) { WriteRTFTo(sys, doc, m, sink, &trap); });
}

}  // namespace tw
