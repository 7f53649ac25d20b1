// The steps of laying out rows into lines, each on its own.
#include <gtest/gtest.h>

#include <cmath>

#include "export/row_layout.h"
#include "support.h"

namespace tw {
namespace {

const RowStyle kHtml{"<br>", true, false};
const RowStyle kRtf{"\\par", false, true};
constexpr RowClass E = RowClass::Empty, T = RowClass::Text, B = RowClass::Table;

TEST(RowSteps, PadToColumn) {
    const struct {
        double pos, start;
        std::size_t spaces;
        double pos_after;
    } cases[] = {
        {0, 4, 4, 4},
        {3, 3, 0, 3},      // a column that starts where the text ends
        {5, 3, 0, 5},      // a cell that ran past the next column's start
        {0, 2.5, 2, 2.5},  // a fractional gap rounds half to even
        {0, 3.5, 4, 3.5},
        {0.5, 3, 2, 3},
        {1, 1.75, 1, 1.75},
        {0, NAN, 0, 0},  // a start that is no number pads nothing
        {0, 1 << 24, 1 << 24, 1 << 24},
    };
    for (const auto& c : cases) {
        std::string line = "x";
        double pos = c.pos;
        PadToColumn(line, pos, c.start);
        EXPECT_EQ(line, "x" + std::string(c.spaces, ' ')) << c.pos << " to " << c.start;
        EXPECT_EQ(pos, c.pos_after) << c.pos << " to " << c.start;
    }
    for (double start : {double{1 << 24} + 1, 1e30, double{INFINITY}}) {
        std::string line;
        double pos = 0;
        try {
            PadToColumn(line, pos, start);
            ADD_FAILURE() << "padded to " << start;
        } catch (const VbError& e) {
            EXPECT_EQ(e.number(), kErrOutOfStringSpace);
            EXPECT_EQ(line, "");
            EXPECT_EQ(pos, 0);
        }
    }
}

TEST(RowSteps, Separator) {
    const struct {
        RowClass previous, row;
        bool starts_with_space, in_block;
        RowStyle style;
        const char* expected;
    } cases[] = {
        {T, T, false, false, kHtml, " \r\n"},  // text rows join
        {T, T, true, false, kHtml, " \r\n"},   // even when the row starts with a space
        {T, T, false, false, kRtf, " \r\n"},     {E, T, false, false, kHtml, "<br>\r\n"},
        {E, T, false, false, kRtf, "\\par\r\n"}, {B, T, false, true, kHtml, "\r\n"},  // inside a block a line end alone
        {T, E, false, false, kHtml, "<br>\r\n"}, {T, E, false, false, kRtf, "\\par\r\n"},
        {E, E, false, false, kHtml, "<br>\r\n"}, {T, B, false, false, kHtml, ""},  // the block it opens breaks the line
        {T, B, false, false, kRtf, "\\par\r\n"}, {T, B, true, false, kHtml, "<br>\r\n"},
        {B, B, false, true, kHtml, "\r\n"},      {B, B, false, false, kRtf, "\\par\r\n"},
        {B, E, false, true, kHtml, "\r\n"},
    };
    for (const auto& c : cases) {
        std::string line = "|";
        AppendSeparator(line, c.previous, c.row, c.starts_with_space, c.in_block, c.style);
        EXPECT_EQ(line, std::string("|") + c.expected)
            << static_cast<int>(c.previous) << "->" << static_cast<int>(c.row) << " space " << c.starts_with_space
            << " block " << c.in_block << " " << c.style.line_break;
    }
}

TEST(RowSteps, BlockSwitch) {
    const struct {
        bool in_block;
        RowClass previous, row;
        RowStyle style;
        const char* written;
        bool open_after;
    } cases[] = {
        {false, E, B, kHtml, "<pre>", true},
        {false, T, B, kHtml, "<pre>", true},
        {false, B, B, kHtml, "", false},
        {true, B, B, kHtml, "", true},
        {true, B, T, kHtml, "</pre>", false},
        {true, E, T, kHtml, "</pre>", false},
        // Empty rows never open or close the block.
        {true, B, E, kHtml, "", true},
        {false, T, E, kHtml, "", false},
        {true, E, B, kHtml, "", true},
        {false, T, T, kHtml, "", false},
        // RTF has no blocks.
        {false, T, B, kRtf, "", false},
        {false, E, B, kRtf, "", false},
    };
    for (const auto& c : cases) {
        std::string line = "|";
        bool open = AppendBlockSwitch(line, c.previous, c.row, c.in_block, c.style);
        std::string what = std::to_string(static_cast<int>(c.previous)) + "->" +
                           std::to_string(static_cast<int>(c.row)) + " block " + std::to_string(c.in_block) + " " +
                           std::string(c.style.line_break);
        EXPECT_EQ(line, std::string("|") + c.written) << what;
        EXPECT_EQ(open, c.open_after) << what;
    }
}

TEST(RowSteps, TrimmedEnd) {
    const struct {
        std::string line;
        bool keep_delimiter;
        std::string kept;
    } cases[] = {
        {"abc   ", false, "abc"},
        {"abc", true, "abc"},
        {"   ", true, ""},
        {"", true, ""},
        {"\\b0 ", false, "\\b0"},
        {"\\b0   ", true, "\\b0 "},  // a control word keeps its delimiter
        {"x\\up0  ", true, "x\\up0 "},
        {"\\fs-18  ", true, "\\fs-18 "},
        {"\\b ", true, "\\b "},
        {"\\\\b ", true, "\\\\b"},       // an escaped backslash starts no control word
        {"\\\\\\b ", true, "\\\\\\b "},  // an odd run does
        {"\\'e9 ", true, "\\'e9"},       // a hex character is no control word
        {"\\ ", true, "\\"},
        {"b0 ", true, "b0"},
        {"9 ", true, "9"},
        {"\\- ", true, "\\-"},
        {"a\\b-  ", true, "a\\b-"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.line.substr(0, TrimmedEnd(c.line, c.keep_delimiter)), c.kept)
            << "'" << c.line << "' " << c.keep_delimiter;
    }
}

TEST(RowSteps, RowLineBuild) {
    const char* doc = "%OP%DET\n%CO:A,4,0%\nab\n%H2%\nabcdef\nx<y\n%H2%b%H2%\n \n@T@\n%CO:B,4,0%\n\n\nx\nz\n\n\n\n";
    const struct {
        int row;
        bool bracketed;
        const char* html;
        RowClass cls;
    } cases[] = {
        {1, false, "    ", E},         // empty cells padded to the last column
        {2, false, "ab  ", T},         // content in the first column only
        {3, false, "<b></b>    ", E},  // codes alone are no content
        {4, false, "abcdefx", B},      // an overrunning cell pushes the next along
        {5, false, "x&lt;y z", B},     // widths count characters shown, not bytes written
        {6, false, "<b>b</b>   ", T},  // a highlighted word
        {7, false, "    ", T},         // a space is content
        {8, false, "T   ", T},         // a field counts as what it shows
        {2, true, "[ab]", T},          // the layout's cells, not the stored ones
        {4, true, "[abcdef][x]", B},   // the layout's widths
        {1, true, "    ", E},          // the layout's empty cells
    };
    for (const auto& c : cases) {
        test::Fixture f;
        f.Load(doc);
        MarkupCellWriter cells(f.fp.sys, HtmlForms(), f.doc.OptDE);
        test::Bracketed bracketed(f.doc);
        RowLine line(f.doc, cells, c.bracketed ? &bracketed : nullptr);
        std::string LineBuf = "stale";
        EXPECT_EQ(line.Build(c.row, LineBuf), c.cls) << "row " << c.row << " bracketed " << c.bracketed;
        EXPECT_EQ(LineBuf, c.html) << "row " << c.row << " bracketed " << c.bracketed;
    }
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// A row builder converts rows straight away while rows keep needing it:
// each row must come out as it does from a builder that starts afresh.
TEST(RowSteps, RowLineAfterConvertedRows) {
    const char* kinds[] = {"plain", "a<b", "%H2%x%H2%", "", "%H1%", "caf\xe9", "@T@", "  lead", "50%PC%"};
    std::string doc = "%OP%DET\n";
    const int rows = 40;
    for (int col = 0; col < 3; ++col) {
        doc += "%CO:" + std::string(1, static_cast<char>('A' + col)) + ",6,0%";
        for (int r = 0; r < rows; ++r) {
            // Runs of marked and plain rows of different lengths.
            int k = (r * (col + 2) / 3 + col) % 9;
            doc += std::string(r % 7 < 3 ? kinds[k] : (r % 2 ? "plain" : "")) + "\n";
        }
    }
    test::Fixture f;
    f.Load(doc);
    ASSERT_EQ(f.doc.NumRows, rows);
    for (const RowStyle* style : {&kHtml, &kRtf}) {
        const WriterForms& forms = style == &kHtml ? HtmlForms() : RtfForms();
        MarkupCellWriter cells(f.fp.sys, forms, f.doc.OptDE);
        RowLine running(f.doc, cells, nullptr);
        for (int row = 1; row <= rows; ++row) {
            std::string got, want;
            RowClass cls = running.Build(row, got);
            RowLine fresh(f.doc, cells, nullptr);
            EXPECT_EQ(cls, fresh.Build(row, want)) << "row " << row;
            EXPECT_EQ(got, want) << "row " << row;
        }
    }
}

}  // namespace
}  // namespace tw
