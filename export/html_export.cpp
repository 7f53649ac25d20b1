#include "export/html_export.h"

#include "export/row_layout.h"

namespace tw {

long long WriteCellHTML(Platform& sys, const DocumentModel& doc, std::string& LineBuf, std::string_view text) {
    MarkupCellWriter cells(sys, HtmlForms(), doc.OptDE);
    return cells.Write(text, LineBuf);
}

void WriteHTML(Platform& sys, const DocumentModel& doc, Sink& out, Trap* trap, RowRange rows, const ShownCells* shown) {
    RunStep(trap, kWriterHeader, [&] {
        std::string head = "<html>\r\n<head>\r\n<title>";
        EscapeHtml(doc.OptDE, head);
        head.append("</title>\r\n</head>\r\n<body>\r\n");
        out.Write(head);
    });
    std::string LineBuf;
    MarkupCellWriter cells(sys, HtmlForms(), doc.OptDE);
    bool in_pre = WriteRows(doc, cells, LineBuf, out, trap, RowStyle{"<br>", true, false}, rows, shown);
    // A block still open ends with the last line.
    RunStep(trap, kWriterEnd, [&] { out.Write(std::string(in_pre ? "</pre>" : "") + "\r\n</body>\r\n</html>\r\n"); });
}

Status WriteFileHTML(Platform& sys, const DocumentModel& doc, const std::string& path, const ShownCells* shown) {
    return WriteFileUnderTrap(sys, "WriteFileHTML", path,
                              [&](Sink& sink, Trap& trap) { WriteHTML(sys, doc, sink, &trap, {}, shown); });
}

}  // namespace tw
