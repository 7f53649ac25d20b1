#include "export/text_export.h"

#include <algorithm>
#include <vector>

#include "document/markup.h"
#include "document/text.h"

namespace tw {

namespace {

class PlainText final : public ControlSink {
public:
    explicit PlainText(std::string& out) : out_(out) {}
    void Text(std::string_view t) override { out_.append(t); }
    void Toggle(Highlight, bool) override {}
    void Value() override { out_.push_back('='); }

private:
    std::string& out_;
};

// Appends the cell with its markup converted; `markup` is where its first
// "@" or "%" stands, as the caller found it.
void ConvertCellText(std::string_view text, std::size_t markup, std::string& fields, std::string& out) {
    PlainText sink(out);
    // Without a field the field pass would copy the text unchanged.
    if (FindByte(text, '@', markup) == std::string_view::npos) {
        ControlPassTo(text, LonePercent::Keep, sink);
        return;
    }
    fields.clear();
    FieldPass(text, FieldForms{}, fields);
    ControlPassTo(std::string_view(fields), LonePercent::Keep, sink);
}

// Appends the cell's text; true when it held markup.
bool AppendCellText(std::string_view text, std::string& fields, std::string& out) {
    static const ByteScanner& markup = MarkupStarts();
    const char* end = text.data() + text.size();
    const char* at = markup.Next(text.data(), end);
    if (at == end) {
        out.append(text);
        return false;
    }
    ConvertCellText(text, static_cast<std::size_t>(at - text.data()), fields, out);
    return true;
}

}  // namespace

std::string CellToText(std::string_view text) {
    std::string fields, out;
    AppendCellText(text, fields, out);
    return out;
}

void WriteText(const DocumentModel& doc, Sink& out, Trap* trap, RowRange rows, const ShownCells* shown) {
    std::string line, fields;
    shown = UnlessAsStored(shown);
    if (shown != nullptr) {
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
    const ByteScanner& markup = MarkupStarts();
    std::vector<std::size_t> starts(static_cast<std::size_t>(std::max(doc.NumCols, 0)) + 1);
    // Rows with codes come alone in some documents and in runs in others:
    // after two rows with codes the next is converted cell by cell at once.
    int marked = 0;  // rows with codes just before this one
    for (int row = std::max(rows.first, 1); row <= std::min(rows.last, doc.NumRows); ++row) {
        RunStep(trap, kWriterRow, [&] {
            line.clear();
            int col = 1;
            if (marked < 2) {
                // Most rows hold no codes at all: join them as they are,
                // and convert cell by cell only from the first cell that
                // needs it.
                for (; col <= doc.NumCols; ++col) {
                    starts[static_cast<std::size_t>(col - 1)] = line.size();
                    line.append(cells.Cell(col, row));
                    if (col != doc.NumCols) line.push_back('\t');
                }
                const char* end = line.data() + line.size();
                const char* at = markup.Next(line.data(), end);
                if (at != end) {
                    auto first = static_cast<std::size_t>(at - line.data());
                    col = 1;
                    while (col < doc.NumCols && starts[static_cast<std::size_t>(col)] <= first) ++col;
                    line.resize(starts[static_cast<std::size_t>(col - 1)]);
                }
            }
            bool any = false;
            for (; col <= doc.NumCols; ++col) {
                any |= AppendCellText(cells.Cell(col, row), fields, line);
                if (col != doc.NumCols) line.push_back('\t');
            }
            marked = any ? std::min(marked + 1, 2) : 0;
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
