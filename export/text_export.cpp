#include "export/text_export.h"

#include <algorithm>
#include <vector>

#include "document/cell_text.h"
#include "document/markup.h"
#include "document/text.h"
#include "export/rows_ahead.h"

namespace tw {

namespace {

// Builds the lines of rows of the stored layout.
class TextRows {
public:
    explicit TextRows(const DocumentModel& doc)
        : cells_(doc.Cells, doc.NumCols),
          columns_(doc.NumCols),
          starts_(static_cast<std::size_t>(std::max(doc.NumCols, 0)) + 1) {}

    // Fills `line` with `row`'s line, CR LF included.
    void Build(int row, std::string& line) {
        static const ByteScanner& markup = MarkupStarts();
        line.clear();
        int col = 1;
        if (marked_ < 2) {
            // Most rows hold no codes at all: join them as they are, and
            // convert cell by cell only from the first cell that needs it.
            for (; col <= columns_; ++col) {
                starts_[static_cast<std::size_t>(col - 1)] = line.size();
                line.append(cells_.Cell(col, row));
                if (col != columns_) line.push_back('\t');
            }
            const char* end = line.data() + line.size();
            const char* at = markup.Next(line.data(), end);
            if (at != end) {
                auto first = static_cast<std::size_t>(at - line.data());
                col = 1;
                while (col < columns_ && starts_[static_cast<std::size_t>(col)] <= first) ++col;
                line.resize(starts_[static_cast<std::size_t>(col - 1)]);
            }
        }
        bool any = false;
        for (; col <= columns_; ++col) {
            any |= AppendCellText(cells_.Cell(col, row), fields_, line);
            if (col != columns_) line.push_back('\t');
        }
        // Rows with codes come alone in some documents and in runs in
        // others: after two rows with codes the next is converted cell by
        // cell at once.
        marked_ = any ? std::min(marked_ + 1, 2) : 0;
        line.append("\r\n");
    }

private:
    RowReader cells_;
    int columns_;
    std::vector<std::size_t> starts_;
    int marked_ = 0;  // rows with codes just before this one
    std::string fields_;
};

// Lays out blocks of rows for RowsAhead, with a row builder of its own.
class alignas(64) AheadText {
public:
    explicit AheadText(const DocumentModel& doc) : rows_(doc) {}
    void Lay(LaidBlock& block, int last) {
        for (int row = block.first; row <= last; ++row) {
            rows_.Build(row, line_);
            block.Add(line_, 0);
        }
    }

private:
    TextRows rows_;
    std::string line_;
};

}  // namespace

void WriteText(const DocumentModel& doc, Sink& out, Trap* trap, RowRange rows, const ShownCells* shown,
               int ahead_rows) {
    std::string line, fields;
    int first = std::max(rows.first, 1), last = std::min(rows.last, doc.NumRows);
    shown = UnlessAsStored(shown);
    if (shown != nullptr) {
        for (int row = first; row <= last; ++row) {
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
    TextRows text(doc);
    // Rows do not depend on one another: long documents are laid out on
    // two threads.
    std::unique_ptr<RowsAhead> ahead = LayRowsAhead<AheadText>(first, last, ahead_rows, doc);
    for (int row = first; row <= last; ++row) {
        const LaidBlock* laid = ahead ? ahead->Find(row) : nullptr;
        RunStep(trap, kWriterRow, [&] {
            if (laid != nullptr && laid->Has(row)) {
                out.Write(laid->Line(row));
                return;
            }
            text.Build(row, line);
            out.Write(line);
        });
    }
}

Status WriteFileTxt(Platform& sys, const DocumentModel& doc, const std::string& path, const ShownCells* shown) {
    return WriteFileUnderTrap(sys, "WriteFileTxt", path,
                              [&](Sink& sink, Trap& trap) { WriteText(doc, sink, &trap, {}, shown); });
}

}  // namespace tw
