// The layout of rows into lines that the HTML and RTF writers share:
// columns aligned with spaces, consecutive text rows joined into one
// paragraph, and (in HTML) table rows set in a "<pre>" block. Each step
// of a row is its own function, so each can be checked on its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "document/model.h"
#include "document/shown_text.h"
#include "export/markup_writer.h"
#include "export/rows_ahead.h"
#include "export/sink.h"

namespace tw {

// A row with visible content in column 1 only is a text row; one with
// visible content in any later column, or an aligned text in the layout
// on show, is a table row.
enum class RowClass { Empty, Text, Table };

// What one writer's rows look like. `line_break` ends a line that is not
// joined to the next; with `preformatted`, table rows are set in a
// "<pre>" block; without it, a table row after a text row gets a line
// break. With `keep_control_word_delimiter`, trimming a line keeps the
// space that ends an RTF control word.
struct RowStyle {
    std::string_view line_break;
    bool preformatted;
    bool keep_control_word_delimiter;
};

// Appends spaces to LineBuf from `pos` up to a column's `start` and moves
// `pos` there; nothing when the column starts at or before `pos`. A
// fractional gap rounds half to even. A gap too wide to pad (a width like
// "1E30") is error 14.
void PadToColumn(std::string& LineBuf, double& pos, double start);

// The class of a row from where its visible content is.
RowClass ClassifyRow(bool in_first_column, bool in_other_columns);

// Appends what goes before a row: one space and a line end when it joins
// the text row before it; otherwise a line end (after `line_break` when
// outside a block) when the row before is not a text row, this row is
// empty or starts with a space, or (without blocks) is a table row.
void AppendSeparator(std::string& line, RowClass previous, RowClass row, bool starts_with_space, bool in_block,
                     RowStyle style);

// Appends "<pre>" when a table row follows a row that is not one, or
// "</pre>" when a text row comes inside the block, and returns whether
// the block is open afterwards. Empty rows never open or close it.
bool AppendBlockSwitch(std::string& line, RowClass previous, RowClass row, bool in_block, RowStyle style);

// Where `line` ends once its trailing spaces are removed; with
// `keep_control_word_delimiter`, the space that ends an RTF control word
// stays.
std::size_t TrimmedEnd(std::string_view line, bool keep_control_word_delimiter);

// Builds one row's line: spaces up to each column's start (less the left
// margin), then the converted cells. With `shown`, each cell is the text
// it shows there rather than as stored.
class RowLine {
public:
    RowLine(const DocumentModel& doc, MarkupCellWriter& cells, const ShownCells* shown);

    // Fills LineBuf with `row` and returns the row's class.
    RowClass Build(int row, std::string& LineBuf);

private:
    RowClass Lay(int row, std::string& LineBuf, bool convert);
    std::string_view Cell(int col, int row);

    const DocumentModel& doc_;
    MarkupCellWriter& cells_;
    const ShownCells* shown_;
    RowReader grid_;
    std::vector<double> starts_;  // column starts do not change from row to row
    std::string text_;
    bool row_converted_ = false;  // a cell of the row laid out was converted
    int converted_rows_ = 0;      // rows just before that were, up to 2
};

// What the row walk keeps from one row for the next.
struct RowState {
    RowClass previous = RowClass::Empty;
    bool in_block = false;
};

// Appends to `line` what is written for `row` after a row that left
// `before`: its separator, block switch and trimmed line (laid out in
// LineBuf). Returns what the row leaves.
RowState LayRowLine(RowLine& builder, int row, RowState before, RowStyle style, std::string& LineBuf,
                    std::string& line);

// Lays out rows 1 to NumRows (or those of `rows`), each line written
// without its trailing spaces. Returns true when a "<pre>" block is
// still open. With `ahead_rows`, rows of the stored layout are laid out
// in blocks of that many on a second thread as well (0: none).
bool WriteRows(const DocumentModel& doc, MarkupCellWriter& cells, std::string& LineBuf, Sink& out, Trap* trap,
               RowStyle style, RowRange rows = {}, const ShownCells* shown = nullptr,
               int ahead_rows = DefaultAheadRows());

}  // namespace tw
