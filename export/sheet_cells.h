// A document as one sheet of a workbook: its cells row by row with their
// values, translated formulas and looks, for the ODS and XLSX writers.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/constructs.h"
#include "document/model.h"
#include "document/shown_text.h"
#include "document/status.h"
#include "export/sheet_formula.h"
#include "formula/format.h"

namespace tw {

// What a cell looks like: how its number shows and where it stands.
struct SheetStyle {
    enum class Shows : unsigned char { Text, Number, Date, Time, DateTime };
    Shows shows = Shows::Text;
    formula::NumberFormat format;  // for numbers and dates
    CellAlign align = CellAlign::Default;
    bool operator==(const SheetStyle& o) const;
};

// A stretch of a text cell under the same highlights (a bit per Highlight).
struct TextRun {
    std::string text;  // UTF-8
    unsigned highlights = 0;
};

struct SheetCell {
    enum class Kind : unsigned char { Text, Number, Date, Error };
    int col = 0;  // the sheet's column, from 1
    Kind kind = Kind::Text;
    double number = 0;          // a number, or a date as a day serial from 30.12.1899
    std::string text;           // UTF-8: the text, a string result, the target's error ("#DIV/0!"), a date in ISO form
    std::vector<TextRun> runs;  // a text with highlights, run by run; empty otherwise
    std::string formula;        // the target's formula without "=", empty for a value alone
    std::string comment;        // PipeDream's error, or the formula a value stands for
    int style = 0;              // index into SheetWalk::Styles()
};

// The target's error nearest to a PipeDream error.
std::string_view TargetError(formula::ErrorCode code);

// A sheet's name from the document's title (DE) or file name, with the
// characters no target allows in one left out, at most 31 of them.
std::string SheetNameFor(const DocumentModel& doc, std::string_view file_name);

class SheetWalk {
public:
    SheetWalk(const DocumentModel& doc, std::string_view file_name, Dialect dialect);
    ~SheetWalk();
    SheetWalk(const SheetWalk&) = delete;
    SheetWalk& operator=(const SheetWalk&) = delete;

    const std::string& Name() const { return name_; }
    int Cols() const;
    int Rows() const { return doc_.NumRows; }
    // A column's width in characters; 0 when the document gives none.
    int ColumnWidth(int sheet_col) const;

    // The cells of `row` (from 1) that have content, left to right.
    void Row(int row, std::vector<SheetCell>& cells);
    // The same added to the end of `cells`.
    void AppendRow(int row, std::vector<SheetCell>& cells);

    // Every look the cells so far have used, by SheetCell::style.
    const std::vector<SheetStyle>& Styles() const { return styles_; }

    // The document's names that become names of the workbook: each a cell
    // or block of this sheet.
    struct DefinedName {
        std::string name;
        formula::CellRef a, b;
    };
    const std::vector<DefinedName>& Names() const { return names_; }

    // How many formulas were kept as values only, and why: "" when none,
    // else "3 formulas kept as values only: 2 custom function f, 1 ...".
    std::string FrozenReport() const;
    int FrozenCount() const;

private:
    struct Engine;
    int StyleOf(const SheetStyle& s);
    void DefineNames();
    void Number(std::string_view raw, int field, int row, SheetCell& cell);
    void Text(std::string_view raw, SheetCell& cell);
    // Whether a formula names a single cell whose value is an array.
    bool RefersToArray(const formula::Formula& f);

    const DocumentModel& doc_;
    Dialect dialect_;
    std::string name_;
    std::unique_ptr<Engine> engine_;
    std::string file_name_;
    std::unique_ptr<ShownCells> fields_;  // the PipeDream layout, for text cells with fields
    formula::NumberFormat defaults_;
    std::vector<SheetStyle> styles_;
    std::vector<DefinedName> names_;
    std::map<std::string, int> frozen_;  // reason -> cells
};

class AtomicOutput;
struct SheetReport;

// The last step of both workbook writers: the file takes its name, and
// the report says how many formulas `walk` kept as values only.
Status CommitWorkbook(AtomicOutput& out, const SheetWalk& walk, SheetReport* report);

}  // namespace tw
