// The one in-memory document: the cell grid, its counts and the options.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/atomic_output.h"
#include "platform/memory.h"

namespace tw {

class LinkedDocuments;  // document/linked_documents.h

// The grid of cell texts, Cells(column, row): columns 1 to MaxNumCols,
// rows -3 to max(1, NumRows). Rows -3 to 0 hold a column's name, width,
// third field and start position; rows 1 on hold the cell texts.
//
// Cell texts are never copied on load: a cell is always a whole line of
// the file or the rest of one, so each is kept as the offset of its first
// byte in the file's bytes, and ends at the next CR or LF. A document of
// a million rows by eight columns then costs its file size plus four
// bytes a cell (eight for a file of over 4 GB).
class CellGrid {
public:
    CellGrid() = default;
    explicit CellGrid(int columns);

    // The file's bytes that the cell offsets point into.
    // Set before any cell is stored.
    void AttachText(std::shared_ptr<const ByteBuffer> text);

    int Columns() const { return static_cast<int>(columns_.size()); }
    // The grid's upper row bound: the larger of 1 and the rows stored.
    int UpperRow() const { return upper_row_; }

    // Reads an element; an element never assigned reads as empty text.
    // Indexes outside the grid throw VbError 9 (subscript out of range).
    std::string_view operator()(int column, int row) const;

    // Column attributes, rows -3 to 0.
    void SetAttribute(int column, int row, std::string value);
    // Stores the line starting at `offset` of the text as the next cell of
    // `column`, at `row`; rows are stored in order 1, 2, ... per column.
    // Throws VbError 14 when memory for the grid runs out.
    void AppendCell(int column, int row, std::size_t offset) {
        // Most cells go into room the column's last block still has.
        if (column >= 1 && column <= Columns()) {
            Column& c = columns_[static_cast<std::size_t>(column - 1)];
            if (c.next < c.limit && row == static_cast<int>(c.count) + 1) {
                if (row > upper_row_) upper_row_ = row;
                Store(c.next, offset);
                c.next += width_;
                ++c.count;
                return;
            }
        }
        AppendCellSlowly(column, row, offset);
    }

    // Rows stored in one column.
    int RowsIn(int column) const;

    // Reads rows first to first + count - 1 of one column into `out`; rows
    // past the column read as empty. Reading a column's cells in order is
    // much cheaper than one by one across the columns.
    void ReadColumn(int column, int first, int count, std::string_view* out) const;

private:
    // Offsets are kept in blocks, so growing a column never moves what is
    // stored: a small first block of the column's own, then blocks of 64K
    // offsets cut from chunks of 2 MB that all columns share. A chunk is
    // one huge page of memory: taking memory a small page at a time costs
    // more than all the other work of loading a long document.
    static constexpr std::size_t kFirstBlock = 4096;
    static constexpr int kBlockShift = 16;
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockShift;
    static constexpr std::size_t kChunkBytes = std::size_t{2} << 20;
    struct Column {
        std::string attr[4];                 // rows -3 .. 0
        LargeArray<unsigned char> first;     // the first block
        std::vector<unsigned char*> blocks;  // offsets of rows 1 .., 4 or 8 bytes each
        std::size_t count = 0;
        unsigned char* next = nullptr;  // room left in the last block
        unsigned char* limit = nullptr;
    };
    void AppendCellSlowly(int column, int row, std::size_t offset);
    // Room for one block of kBlockSize offsets from the shared chunks.
    unsigned char* SharedBlock();
    void Store(unsigned char* at, std::uint64_t offset) const {
        if (width_ == 4) {
            auto narrow = static_cast<std::uint32_t>(offset);
            std::memcpy(at, &narrow, 4);
        } else {
            std::memcpy(at, &offset, 8);
        }
    }
    std::uint64_t Offset(const Column& c, std::size_t index) const {
        auto [block, slot] = Locate(index);
        const unsigned char* at = c.blocks[block] + slot * width_;
        if (width_ == 4) {
            std::uint32_t narrow;
            std::memcpy(&narrow, at, 4);
            return narrow;
        }
        std::uint64_t wide;
        std::memcpy(&wide, at, 8);
        return wide;
    }
    // Block and slot of the offset of row index + 1.
    static std::pair<std::size_t, std::size_t> Locate(std::size_t index) {
        if (index < kFirstBlock) return {0, index};
        std::size_t j = index - kFirstBlock;
        return {1 + (j >> kBlockShift), j & (kBlockSize - 1)};
    }
    void Check(int column, int row) const;

    std::vector<Column> columns_;
    std::vector<LargeArray<unsigned char>> chunks_;
    std::size_t chunk_room_ = 0;  // bytes left at the end of the last chunk
    std::shared_ptr<const ByteBuffer> text_;
    std::size_t width_ = 4;  // bytes an offset takes
    int upper_row_ = 1;
};

// The document model. Member names are the ones users of the code know
// from the format: NumCols, NumRows, OptPL ...
struct DocumentModel {
    // Number of columns the grid can hold (1 to 64); takes effect at the
    // next InitVariables.
    int MaxNumCols = 64;
    int NumCols = 0;
    int NumRows = 0;
    bool IsPipeDreamFile = false;
    CellGrid Cells;
    // The file the document was read from, so that nothing is ever
    // written over it; empty until a file is opened.
    std::optional<FileIdentity> SourceFile;
    // The documents this one's formulas refer to, loaded with it; null
    // when it refers to none.
    std::shared_ptr<LinkedDocuments> Linked;
    // A document of FUNCTION(...) cells: its number cells are statements
    // of custom functions, shown as written rather than computed.
    bool IsCustomFunctionSheet = false;

    // The options with a global of the design, set from the option
    // table (OptionKeys below) as the file is read.
    std::string OptAM, OptBO, OptDE, OptFO, OptHE, OptIW, OptJU, OptLP, OptMB, OptRC, OptTN, OptTP, OptWR;
    std::int16_t OptBM = 0, OptDP = 0, OptFM = 0, OptHM = 0, OptLM = 0, OptLS = 0, OptPA = 0, OptPL = 0, OptPS = 0,
                 OptTM = 0;

    // Every option line as read, key and value in file order, the keys
    // without a global above included (TH, DF, ND, DP of "F" ...), which
    // number formats and names read through Option and OptionLines.
    std::vector<std::pair<std::string, std::string>> RawOptions;
    // The value of the last option line of a key, or nothing.
    std::optional<std::string_view> RawOption(std::string_view key) const;
    // The value of the last line of a key of the option table, or the
    // table's default for the key when the document has no line of it: the
    // way options without a global are read. Throws std::logic_error for a
    // key the table does not have.
    std::string_view Option(std::string_view key) const;
    // The values of every line of a key of the option table, in file order,
    // for a key whose every line counts (ND). Throws as Option does.
    std::vector<std::string_view> OptionLines(std::string_view key) const;

    DocumentModel() { Reset(); }

    // Resets the model: no rows or columns, a fresh empty grid of
    // MaxNumCols columns, every option at its default. InitVariables is
    // the reported form of it.
    void Reset();

    // Numeric start position of a column (row 0), empty reading as 0.
    double StartPosition(int column) const;
};

// Reads the grid row after row, fetching a batch of rows column by
// column, the way cells lie in memory.
class RowReader {
public:
    explicit RowReader(const CellGrid& grid, int columns, int batch = 1024);
    // Cells(column, row) for rows 1 to the grid's upper row.
    std::string_view Cell(int column, int row) {
        if (row < first_ || row >= first_ + count_) Fetch(row);
        return cells_[static_cast<std::size_t>((column - 1) * batch_ + (row - first_))];
    }

private:
    void Fetch(int row);

    const CellGrid& grid_;
    int columns_, batch_;
    int first_ = 0, count_ = 0;
    std::vector<std::string_view> cells_;
};

// What an option's value is.
enum class OptionKind : std::uint8_t {
    Text,       // text, kept as written (DE, HE, LP ...)
    Flag,       // a switch by its first letter, kept as written (BO "Y" or "N", MB "M" or "B" ...)
    Number,     // a whole number (PL, LM ...)
    Places,     // DP: decimal places, a number, or "F" for as many as fit
    Separator,  // TH: the thousands separator, "0" to "3" or the character itself
    DateOrder,  // DF: "E" or "D" day first, "A" or "M" month first, else dates as text
    Name,       // ND: "name,definition"; every line counts, not only the last
};

// The option keys the program reads, one table: each key's kind, the
// value a document without a line of it has, and the global of the design
// that the key sets, if it has one. The reader fills the globals from it;
// keys without a global (TH, DF, ND) are read through
// DocumentModel::Option and OptionLines. The design's reader knew only the
// keys with a global: a document of option lines whose last key is another
// is not taken for a PipeDream document, as before.
struct OptionKey {
    const char* key;
    OptionKind kind;
    const char* default_value;            // as an option line would give it
    std::string DocumentModel::*text;     // the global of a text or flag option, or nullptr
    std::int16_t DocumentModel::*number;  // the global of a number option (DP's too), or nullptr
    bool HasGlobal() const { return text != nullptr || number != nullptr; }
};
const std::vector<OptionKey>& OptionKeys();
// The option named by a two-character key, or nullptr for a key the
// table does not have.
const OptionKey* FindOption(std::string_view key);
// Sets the key's global, if it has one, from `value` as an option line
// gives it: text as it is, a number as Val and CInt read it (which
// throws VbError 6 for one out of range).
void SetOption(DocumentModel& doc, const OptionKey& key, std::string_view value);

struct Platform;
// Resets the model, reporting a failure under "InitVariables".
void InitVariables(Platform& sys, DocumentModel& doc);

// The pound sign of the Windows-1252 character set, LP's default.
inline constexpr char kPoundSign = '\xA3';

}  // namespace tw
