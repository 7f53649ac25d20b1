#include "export/text_export.h"

#include "document/markup.h"

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
    if (text.find_first_of("@%") == std::string_view::npos) {
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

void WriteText(const DocumentModel& doc, Sink& out, Trap* trap) {
    std::string line, fields;
    for (int row = 1; row <= doc.NumRows; ++row) {
        RunStep(trap, kWriterRow, [&] {
            line.clear();
            for (int col = 1; col <= doc.NumCols; ++col) {
                AppendCellText(doc.Cells(col, row), fields, line);
                if (col != doc.NumCols) line.push_back('\t');
            }
            line.append("\r\n");
            out.Write(line);
        });
    }
}

void WriteFileTxt(Platform& sys, const DocumentModel& doc, const std::string& path) {
    WriteFileUnderTrap(sys, "WriteFileTxt", path, [&](Sink& sink, Trap& trap) { WriteText(doc, sink, &trap); });
}

}  // namespace tw
