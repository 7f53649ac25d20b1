#include "export/text_export.h"

#include <algorithm>

#include "document/markup.h"
#include "document/text.h"

namespace tw {

namespace {

class PlainText : public ControlSink {
public:
    explicit PlainText(std::string& out) : out_(out) {}
    void Text(std::string_view t) override { out_.append(t); }
    void Toggle(Highlight, bool) override {}
    void Value() override { out_.push_back('='); }

private:
    std::string& out_;
};

void AppendCellText(std::string_view text, std::string& fields, std::string& out) {
    if (!HasMarkup(text)) {
        out.append(text);
        return;
    }
    fields.clear();
    FieldPass(text, FieldForms{}, fields);
    PlainText sink(out);
    ControlPass(fields, LonePercent::Keep, sink);
}

}  // namespace

std::string CellToText(std::string_view text) {
    std::string fields, out;
    AppendCellText(text, fields, out);
    return out;
}

void WriteText(const DocumentModel& doc, Sink& out, Trap* trap, RowRange rows, const ShownCells* shown) {
    std::string line, fields;
    if (shown != nullptr && !shown->AsStored()) {
        for (int row = std::max(rows.first, 1); row <= std::min(rows.last, doc.NumRows); ++row) {
            RunStep(trap, kWriterRow, [&] {
                line.clear();
                for (int col = 1; col <= doc.NumCols; ++col) {
                    AppendCellText(shown->Unpadded(col, row), fields, line);
                    if (col != doc.NumCols) line.push_back('\t');
                }
                line.append("\r\n");
                out.Write(line);
            });
        }
        return;
    }
    RowReader cells(doc.Cells, doc.NumCols);
    for (int row = std::max(rows.first, 1); row <= std::min(rows.last, doc.NumRows); ++row) {
        RunStep(trap, kWriterRow, [&] {
            // Most rows hold no codes at all: join them as they are, and
            // convert cell by cell only the rows that need it.
            for (int pass = 0; pass < 2; ++pass) {
                line.clear();
                for (int col = 1; col <= doc.NumCols; ++col) {
                    if (pass == 0) line.append(cells.Cell(col, row));
                    else AppendCellText(cells.Cell(col, row), fields, line);
                    if (col != doc.NumCols) line.push_back('\t');
                }
                if (pass == 0 && !HasMarkup(line)) break;
            }
            line.append("\r\n");
            out.Write(line);
        });
    }
}

Status WriteFileTxt(Platform& sys, const DocumentModel& doc, const std::string& path, const ShownCells* shown) {
    return WriteFileUnderTrap(sys, "WriteFileTxt", path,
                              [&](Sink& sink, Trap& trap) { WriteText(doc, sink, &trap, {}, shown); });
}

}  // namespace tw
