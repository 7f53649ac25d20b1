#include "export/row_layout.h"

#include <algorithm>

#include "document/numbers.h"
#include "document/report.h"

namespace tw {

namespace {

constexpr double kMaxPadding = 1 << 24;

}  // namespace

void PadToColumn(std::string& LineBuf, double& pos, double start) {
    if (!(start > pos)) return;
    double gap = start - pos;
    // A column placed millions of characters out cannot be padded to.
    if (!(gap <= kMaxPadding)) throw VbError(kErrOutOfStringSpace);
    auto spaces = static_cast<long long>(gap);
    if (static_cast<double>(spaces) != gap) spaces = static_cast<long long>(RoundHalfEven(gap));
    LineBuf.append(static_cast<std::size_t>(spaces), ' ');
    pos = start;
}

RowClass ClassifyRow(bool in_first_column, bool in_other_columns) {
    if (in_other_columns) return RowClass::Table;
    return in_first_column ? RowClass::Text : RowClass::Empty;
}

void AppendSeparator(std::string& line, RowClass previous, RowClass row, bool starts_with_space, bool in_block,
                     RowStyle style) {
    if (previous == RowClass::Text && row == RowClass::Text) {
        line.append(" \r\n");
        return;
    }
    // Without a block to open, a table row after running text needs a
    // line of its own too.
    bool own_line = previous != RowClass::Text || row == RowClass::Empty || starts_with_space ||
                    (!style.preformatted && row == RowClass::Table);
    if (!own_line) return;
    if (!in_block) line.append(style.line_break);
    line.append("\r\n");
}

bool AppendBlockSwitch(std::string& line, RowClass previous, RowClass row, bool in_block, RowStyle style) {
    if (!style.preformatted) return in_block;
    if (!in_block && previous != RowClass::Table && row == RowClass::Table) {
        line.append("<pre>");
        return true;
    }
    if (in_block && row == RowClass::Text) {
        line.append("</pre>");
        return false;
    }
    return in_block;
}

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Where the numeric parameter (-?digits) ending at `end` starts.
std::size_t ParameterStart(std::string_view line, std::size_t end) {
    std::size_t i = end;
    while (i > 0 && line[i - 1] >= '0' && line[i - 1] <= '9') --i;
    if (i > 0 && line[i - 1] == '-' && i < end) --i;
    return i;
}

// The backslash before `i` starts a control word only when it is not
// itself escaped: an odd run of backslashes.
bool UnescapedBackslashBefore(std::string_view line, std::size_t i) {
    std::size_t slashes = 0;
    while (i > slashes && line[i - 1 - slashes] == '\\') ++slashes;
    return slashes % 2 == 1;
}

// Whether the line up to `end` ends with a control word: a backslash,
// letters and an optional numeric parameter.
bool EndsWithControlWord(std::string_view line, std::size_t end) {
    std::size_t i = ParameterStart(line, end);
    std::size_t letters = i;
    while (i > 0 && IsAsciiLetter(line[i - 1])) --i;
    if (i == letters || i == 0 || line[i - 1] != '\\') return false;
    return UnescapedBackslashBefore(line, i);
}

}  // namespace

std::size_t TrimmedEnd(std::string_view line, bool keep_control_word_delimiter) {
    std::size_t end = line.size();
    while (end > 0 && line[end - 1] == ' ') --end;
    if (!keep_control_word_delimiter || end == line.size()) return end;
    // A control word (\b0, \fs18) takes the space after it as its
    // delimiter; without it the space that joins the next row would be
    // taken instead and the rows' words would run together.
    return EndsWithControlWord(line, end) ? end + 1 : end;
}

RowLine::RowLine(const DocumentModel& doc, MarkupCellWriter& cells, const ShownCells* shown)
    : doc_(doc), cells_(cells), shown_(UnlessAsStored(shown)), grid_(doc.Cells, doc.NumCols) {
    for (int col = 1; col <= doc.NumCols; ++col) starts_.push_back(doc.StartPosition(col) - doc.OptLM);
}

std::string_view RowLine::Cell(int col, int row) {
    if (shown_ == nullptr) return grid_.Cell(col, row);
    text_ = shown_->Marked(col, row);
    return text_;
}

RowClass RowLine::Lay(int row, std::string& LineBuf, bool convert) {
    LineBuf.clear();
    double pos = 0;
    bool first = false, other = false;
    row_converted_ = false;
    for (int col = 1; col <= doc_.NumCols; ++col) {
        PadToColumn(LineBuf, pos, starts_[static_cast<std::size_t>(col - 1)]);
        std::string_view cell = Cell(col, row);
        long long w = static_cast<long long>(cell.size());
        if (convert) {
            w = cells_.Write(cell, LineBuf);
            row_converted_ = row_converted_ || cells_.Converted();
        } else {
            LineBuf.append(cell);
        }
        // An aligned text is laid out as a table row is: on a line of its
        // own, its spaces kept, rather than run into the text around it.
        if (w != 0) (col == 1 && (shown_ == nullptr || !shown_->Aligned(col, row)) ? first : other) = true;
        pos += static_cast<double>(w);
    }
    return ClassifyRow(first, other);
}

RowClass RowLine::Build(int row, std::string& LineBuf) {
    // A row laid out as it stands and checked as a whole costs less than
    // checking each cell, as long as few rows need conversion; after two
    // rows in a row that did, rows are converted cell by cell straight away.
    if (converted_rows_ < 2) {
        RowClass cls = Lay(row, LineBuf, false);
        if (!cells_.NeedsWork(LineBuf)) {
            converted_rows_ = 0;
            return cls;
        }
    }
    RowClass cls = Lay(row, LineBuf, true);
    converted_rows_ = row_converted_ ? std::min(converted_rows_ + 1, 2) : 0;
    return cls;
}

RowState LayRowLine(RowLine& builder, int row, RowState before, RowStyle style, std::string& LineBuf,
                    std::string& line) {
    RowClass cls = builder.Build(row, LineBuf);
    AppendSeparator(line, before.previous, cls, !LineBuf.empty() && LineBuf[0] == ' ', before.in_block, style);
    bool block = AppendBlockSwitch(line, before.previous, cls, before.in_block, style);
    line.append(LineBuf, 0, TrimmedEnd(LineBuf, style.keep_control_word_delimiter));
    return {cls, block};
}

namespace {

unsigned char Kept(RowState s) { return static_cast<unsigned char>(static_cast<int>(s.previous) | (s.in_block << 2)); }

RowState FromKept(unsigned char k) { return {static_cast<RowClass>(k & 3), (k & 4) != 0}; }

// Lays out blocks of rows on the second thread, with a cell writer and
// row builder of its own.
class alignas(64) AheadRows {
public:
    AheadRows(const DocumentModel& doc, const MarkupCellWriter& cells, RowStyle style, int first, int block_rows)
        : cells_(cells.Unattended()),
          builder_(doc, cells_, nullptr),
          style_(style),
          first_(first),
          block_rows_(block_rows) {}

    void Lay(LaidBlock& block, int last) {
        RowState state;
        if (!StateBefore(block.first, state)) return;
        for (int row = block.first; row <= last; ++row) {
            // Straight into the block: a row costs one copy less.
            state = LayRowLine(builder_, row, state, style_, LineBuf_, block.bytes);
            block.EndRow(Kept(state));
        }
    }

private:
    // What the rows before `row` leave, when each is written: the class of
    // the row before, and whether the last row with content was a table
    // row (the block stays open through empty rows). False when no row
    // with content comes within a block before it: the writer lays out
    // such a block itself.
    bool StateBefore(int row, RowState& state) {
        state = {};
        if (row <= first_) return true;
        int stop = std::max(first_, row - block_rows_);
        for (int r = row - 1; r >= stop; --r) {
            RowClass cls = builder_.Build(r, LineBuf_);
            if (r == row - 1) state.previous = cls;
            if (cls != RowClass::Empty) {
                state.in_block = style_.preformatted && cls == RowClass::Table;
                return true;
            }
        }
        return stop == first_;
    }

    MarkupCellWriter cells_;
    RowLine builder_;
    RowStyle style_;
    int first_, block_rows_;
    std::string LineBuf_;
};

}  // namespace

bool WriteRows(const DocumentModel& doc, MarkupCellWriter& cells, std::string& LineBuf, Sink& out, Trap* trap,
               RowStyle style, RowRange rows, const ShownCells* shown, int ahead_rows) {
    RowLine builder(doc, cells, shown);
    RowState state;
    std::string line;
    int first = std::max(rows.first, 1), last = std::min(rows.last, doc.NumRows);
    // Rows computed for another layout are laid out here alone.
    std::unique_ptr<RowsAhead> ahead;
    if (UnlessAsStored(shown) == nullptr) {
        ahead = LayRowsAhead<AheadRows>(first, last, ahead_rows, doc, cells, style, first, ahead_rows);
    }
    for (int row = first; row <= last; ++row) {
        const LaidBlock* laid = ahead ? ahead->Find(row) : nullptr;
        bool written = false;
        RunStep(trap, kWriterRow, [&] {
            RowState after;
            if (laid != nullptr && laid->Has(row)) {
                out.Write(laid->Line(row));
                after = FromKept(laid->after[static_cast<std::size_t>(row - laid->first)]);
            } else {
                line.clear();
                after = LayRowLine(builder, row, state, style, LineBuf, line);
                out.Write(line);
            }
            // The state changes only once the row is written, so a retried
            // row writes the same bytes again.
            state = after;
            written = true;
        });
        // A row skipped after a failure leaves the state the rows laid out
        // ahead did not expect: from here on they are laid out here.
        if (!written) ahead.reset();
    }
    return state.in_block;
}

}  // namespace tw
