#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>

#include "platform/fake/recording_canvas.h"
#include "printing/print.h"
#include "support.h"

namespace tw {
namespace {

using fake::RecordingCanvas;

constexpr double kLine = 225;  // 9 points on the recording canvas

struct Print {
    test::Fixture f;
    RecordingCanvas printer;
    std::string CrLf = "\r\n";
    std::int16_t PrintPageLength = 0;
    ScriptFlags flags;
    std::optional<std::int16_t> unattended;

    explicit Print(int printer_lines = 66) { printer.scale_height = printer_lines * kLine + 10; }
    void Run() {
        PrintJob job{f.fp.sys, f.doc, printer, "Courier New", 9, CrLf, PrintPageLength, flags, unattended};
        PrintDocument(job);
    }
    // The text of each printed line, by page and line number.
    std::map<std::pair<int, int>, std::string> Lines() const {
        std::map<std::pair<int, int>, std::string> lines;
        for (const auto& d : printer.drawn) {
            auto& l = lines[{d.page, static_cast<int>(std::lround(d.y / kLine))}];
            auto col = static_cast<std::size_t>(std::lround(d.x / 108));
            if (l.size() < col) l.resize(col, ' ');
            l += d.text;
        }
        return lines;
    }
};

std::string Rows(int n) {
    std::string s = "%CO:A,8,0%";
    for (int r = 1; r <= n; ++r) s += "r" + std::to_string(r) + "\n";
    return s;
}

TEST(PrintDocument, AHugeCellPrintsWhatFitsTheLineAndTheRestOfThePage) {
    Print p;
    p.printer.right_edge = p.printer.scale_width;
    p.f.Load("%CO:A,8,0%first\n" + std::string(3000000, 'x') + "%H2%\nlast\n");
    p.Run();
    auto lines = p.Lines();
    ASSERT_EQ(lines.size(), 3u);
    auto it = lines.begin();
    EXPECT_EQ(it->second, "  first");
    ++it;
    // 11000 twips of 108 each less the left margin of 2: 99 characters and
    // the one crossing the edge.
    EXPECT_EQ(it->second, "  " + std::string(100, 'x'));
    ++it;
    EXPECT_EQ(it->second, "  last");
    EXPECT_FALSE(p.printer.drawn.back().bold);
    EXPECT_LE(p.printer.measured_chars, 2000);
    EXPECT_TRUE(p.printer.ended);
}

// The printable width is 11000 twips, 101 characters of 108 after the
// left margin of 2: rows up to that reach fit.
TEST(PrintDocument, FitWidthScalesTheWidestRowOntoThePageNeverBelowHalf) {
    const struct {
        const char* name;
        int chars;  // the widest row's characters, after the margin
        bool fit;
        double scale;
        long cut;
    } cases[] = {
        {"fits", 90, false, 1, 0},
        {"fits, fitted", 90, true, 1, 0},
        {"too wide", 150, false, 1, 1},
        {"too wide, fitted", 150, true, 11000.0 / (152 * 108), 0},
        {"blanks past the edge", 99, false, 1, 0},
        {"twice too wide", 250, true, 0.5, 1},
    };
    for (const auto& c : cases) {
        Print p;
        std::string wide(static_cast<std::size_t>(c.chars), 'w');
        if (std::string(c.name) == "blanks past the edge") wide += std::string(40, ' ');
        p.f.Load("%CO:A,8,0%short\n" + wide + "\n%H2%" + wide.substr(0, 10) + "%H2%\n");
        PrintJob job{p.f.fp.sys, p.f.doc,           p.printer, "Courier New",  9,
                     p.CrLf,     p.PrintPageLength, p.flags,   std::int16_t{0}};
        job.fit_width = c.fit;
        PrintDocument(job);
        EXPECT_NEAR(p.printer.scale, c.scale, 1e-9) << c.name;
        EXPECT_EQ(job.rows_cut, c.cut) << c.name;
        // More lines fit a smaller page, so the rows still print whole.
        EXPECT_NE(p.printer.Text().find(wide), std::string::npos) << c.name;
    }
}

TEST(PrintDocument, APageLengthDifferentFromThePrintersIsAsked) {
    Print p(62);
    p.f.Load(Rows(3));
    p.f.fp.input.answers = {"63", "abc", "60"};
    p.Run();
    ASSERT_EQ(p.f.fp.input.asked.size(), 3u);
    const auto& first = p.f.fp.input.asked[0];
    EXPECT_EQ(first.prompt, "Document pagelength is 66.\r\nPrinter pagelength is 62.\r\nEnter pagelength to use.");
    EXPECT_EQ(first.title, "PageLength");
    EXPECT_EQ(first.proposed, "62");
    EXPECT_EQ(p.f.fp.input.asked[1].proposed, "63");  // 63 is more than the printer holds: asked again
    EXPECT_EQ(p.f.fp.input.asked[2].proposed, "63");  // "abc" keeps the value
    EXPECT_EQ(p.PrintPageLength, 60);
    EXPECT_EQ(p.printer.pages_started, std::vector<int>{1});

    // The next run proposes the last length chosen.
    p.f.fp.input.answers = {""};
    p.printer = RecordingCanvas();
    p.printer.scale_height = 62 * kLine + 10;
    p.Run();
    EXPECT_EQ(p.f.fp.input.asked.back().proposed, "60");

    // The same length as the printer's prints without asking.
    Print same(66);
    same.f.Load(Rows(3));
    same.Run();
    EXPECT_TRUE(same.f.fp.input.asked.empty());
}

TEST(PrintDocument, RowsPerPageAndSlots) {
    Print p;
    p.f.Load(Rows(120));
    p.Run();
    auto lines = p.Lines();
    // TM 0, HM 2: the first row on line 2; 55 slots a page.
    EXPECT_EQ(lines.at({1, 2}), "  r1");
    EXPECT_EQ(lines.at({1, 56}), "  r55");
    EXPECT_EQ(lines.at({2, 2}), "  r56");
    EXPECT_EQ(lines.at({3, 2}), "  r111");
    EXPECT_EQ(lines.at({3, 11}), "  r120");
    EXPECT_EQ(p.printer.pages_started, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(p.printer.ended);
}

// The first row printed on page 2 tells the rows a page holds.
std::string FirstRowOfPage2(const Print& p) {
    for (const auto& [k, text] : p.Lines()) {
        if (k.first == 2 && text.find('r') != std::string::npos) return text.substr(text.find('r'));
    }
    return "";
}

// Where no one can be asked: the document's page length when the printer
// page holds it, the printer's otherwise, or the length given.
TEST(PrintDocument, UnattendedPageLength) {
    const struct {
        const char* name;
        int printer_lines;
        const char* options;
        std::int16_t unattended;
        std::string page2;  // first row of page 2; "" when nothing printed
    } cases[] = {
        {"the document's 66 on a longer page", 80, "", 0, "r56"},
        {"the document's 64", 80, "%OP%PL64\n", 0, "r54"},
        {"a page too short for the document's", 62, "", 0, "r52"},
        {"the document's length leaves no row", 80, "%OP%PL10\n", 0, "r70"},
        {"a length given", 80, "", 70, "r60"},
        {"a length given where the document's equals the printer's", 66, "", 60, "r50"},
        {"a length given longer than the page", 80, "", 90, ""},
        {"a length given that leaves no row", 80, "", 12, ""},
    };
    for (const auto& c : cases) {
        Print p(c.printer_lines);
        p.f.Load(c.options + Rows(200));
        p.unattended = c.unattended;
        p.Run();
        EXPECT_TRUE(p.f.fp.input.asked.empty()) << c.name;
        EXPECT_EQ(FirstRowOfPage2(p), c.page2) << c.name;
        EXPECT_EQ(p.f.fp.msg.shown.size(), c.page2.empty() ? 1u : 0u) << c.name;
        if (c.page2.empty()) {
            EXPECT_TRUE(p.printer.pages_started.empty()) << c.name;
        }
    }
}

// The page's slots and margins take a line more than its length; on a
// printer page with no room for it nothing may fall off the page.
TEST(PrintDocument, EveryLineInsideThePrintableArea) {
    const struct {
        const char* name;
        int printer_lines;
        const char* options;
        std::string page2;  // first row of page 2
        int footer_line;    // -1: no footer
    } cases[] = {
        {"room for the extra line: as designed", 80, "%OP%HM0\n%OP%FM3\n%OP%BM0\n%OP%FO//foot//\n", "r64", 66},
        {"the footer margin gives the line up", 66, "%OP%HM0\n%OP%FM3\n%OP%BM0\n%OP%FO//foot//\n", "r64", 65},
        {"no footer margin: the rows give it up", 66, "%OP%FM0\n%OP%BM0\n%OP%FO//foot//\n", "r64", 65},
        {"no footer: the last row stays on the page", 66, "%OP%FM0\n%OP%BM0\n", "r65", -1},
        {"double spacing", 66, "%OP%HM0\n%OP%FM0\n%OP%BM0\n%OP%LS2\n%OP%FO/foot\n", "r33", 64},
    };
    for (const auto& c : cases) {
        Print p(c.printer_lines);
        p.f.Load(std::string("%OP%PL") + std::to_string(c.printer_lines == 80 ? 66 : c.printer_lines) + "\n" +
                 c.options + Rows(200));
        p.unattended = 0;
        p.Run();
        ASSERT_FALSE(p.printer.drawn.empty()) << c.name;
        for (const auto& d : p.printer.drawn) {
            ASSERT_LE(d.y + kLine, p.printer.scale_height) << c.name << ": '" << d.text << "' on page " << d.page;
        }
        EXPECT_EQ(FirstRowOfPage2(p), c.page2) << c.name;
        int footer = -1;
        for (const auto& [k, text] : p.Lines()) {
            if (k.first == 1 && text.find("foot") != std::string::npos) footer = k.second;
        }
        EXPECT_EQ(footer, c.footer_line) << c.name;
    }
}

TEST(PrintDocument, AnEmptyDocumentPrintsNoPage) {
    Print p;
    p.f.Load("%OP%HE/a/b/c\n");
    p.Run();
    EXPECT_TRUE(p.printer.pages_started.empty());
    EXPECT_TRUE(p.printer.ended);
}

TEST(PrintDocument, HeaderAndFooterLines) {
    Print p;
    p.f.fp.process.long_date = "Tuesday, 8 December 2026";
    p.f.Load("%OP%HE/Report/@D@/Page @P@\n%OP%FOTitle\n%OP%HM0\n%OP%LM2\n" + Rows(160));
    p.Run();
    auto lines = p.Lines();
    // Page 3: header on the first line, the first row on the same line (HM 0).
    const std::string& header = lines.at({3, 0});
    EXPECT_EQ(header.rfind("  Report", 0), 0u) << header;
    EXPECT_NE(header.find("Tuesday, 8 December 2026"), std::string::npos);
    EXPECT_NE(header.find("Page 3"), std::string::npos);
    // The centre part is centred when left and right are as wide.
    std::size_t date = header.find("Tuesday");
    EXPECT_GT(date, 20u);
    // With HM 0 and a header and a footer: 66 - 0 - 0 - 2 - 8 - 2 = 54 rows, 55 slots.
    EXPECT_NE(header.find("r111"), std::string::npos);
    // The footer "Title": "T" is the delimiter.
    bool itle = false;
    for (auto& [k, text] : lines) itle |= k.first == 1 && text.rfind("  itle ", 0) == 0;
    EXPECT_TRUE(itle);
}

TEST(PrintDocument, FieldsOfHeaderLines) {
    const struct {
        const char* text;
        std::string expanded;
    } cases[] = {
        {"@@", "@"},       {"@X@", "@X@"},     {"Page @P@ of @T@", "Page 3 of Doc"},
        {"@P@@D@", "3D@"}, {"@D@", "Tuesday"}, {"a@b", "a@b"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandPrintFields(c.text, 3, "Tuesday", "Doc"), c.expanded) << c.text;
    RecordingCanvas printer;
    printer.scale_width = 20 * 108;  // twenty characters
    EXPECT_EQ(LayoutHeaderLine(printer, "/L/C/R", 0), "L" + std::string(8, ' ') + "C" + std::string(8, ' ') + "R");
    EXPECT_EQ(LayoutHeaderLine(printer, "Title", 2), "  itle" + std::string(7, ' ') + std::string(7, ' '));
    EXPECT_EQ(LayoutHeaderLine(printer, "/" + std::string(30, 'x') + "/c/r", 0), std::string(30, 'x') + " c r");
    // (20 - 1) / 2 = 9.5 spaces on each side, rounded to even.
    EXPECT_EQ(LayoutHeaderLine(printer, "", 1), " " + std::string(10, ' ') + std::string(10, ' '));
}

TEST(PrintDocument, LineSpacingTwoLeavesABlankLineAfterEachRow) {
    Print p;
    p.f.Load("%OP%LS2\n" + Rows(40));
    p.Run();
    auto lines = p.Lines();
    EXPECT_EQ(lines.at({1, 2}), "  r1");
    EXPECT_EQ(lines.count({1, 3}), 0u);
    EXPECT_EQ(lines.at({1, 4}), "  r2");
    // (66 - 12) / 2 = 27 rows per page, 28 slots.
    EXPECT_EQ(lines.at({1, 2 + 27 * 2}), "  r28");
    EXPECT_EQ(lines.at({2, 2}), "  r29");
}

TEST(PrintDocument, CellsKeepTheirHighlights) {
    Print p;
    p.f.Load("%CO:A,20,0%%H2%Total%H2% 10\n%H5%2\n50%\nafter\nplain\n%CO:B,8,0%\nnext\nstill\n");
    p.Run();
    const auto& d = p.printer.drawn;
    ASSERT_GE(d.size(), 8u);
    EXPECT_EQ(d[0].text, "Total");
    EXPECT_TRUE(d[0].bold);
    EXPECT_EQ(d[1].text, " 10");
    EXPECT_FALSE(d[1].bold);
    EXPECT_EQ(d[2].text, "2");
    EXPECT_FLOAT_EQ(d[2].size, 6);
    EXPECT_EQ(d[3].text, "next");  // the next cell at the normal size and baseline
    EXPECT_FLOAT_EQ(d[3].size, 9);
    EXPECT_DOUBLE_EQ(d[3].y, 3 * kLine);
    EXPECT_EQ(d[4].text, "50%");
}

TEST(PrintDocument, ALonePercentLeavesAttributesOnForTheNextCells) {
    Print p;
    p.f.Load("%CO:A,20,0%%H4%50%\nafter\nplain\n");
    p.Run();
    const auto& d = p.printer.drawn;
    ASSERT_EQ(d.size(), 3u);
    EXPECT_TRUE(d[0].italic);
    EXPECT_TRUE(d[1].italic);
    EXPECT_FALSE(d[2].italic);
}

TEST(PrintDocument, LineSpacingZeroIsADivisionByZeroAndIgnoreGoesOnUndivided) {
    Print p;
    p.f.Load("%OP%LS0\n" + Rows(3));
    p.f.fp.msg.answers = {MsgResult::Ignore};
    p.Run();
    EXPECT_EQ(p.f.fp.msg.Texts(), std::vector<std::string>{"Error 11 'Division by zero' in PrintDocument"});
    EXPECT_EQ(p.printer.drawn.size(), 3u);
}

TEST(PrintDocument, AnAnswerBeyondSixteenBitsIsAnOverflow) {
    Print p(62);
    p.f.Load(Rows(3));
    p.f.fp.input.answers = {"99999", "70", "60"};
    p.f.fp.msg.answers = {MsgResult::Ignore};
    p.Run();
    EXPECT_EQ(p.f.fp.msg.Texts(), std::vector<std::string>{"Error 6 'Overflow' in PrintDocument"});
    // Ignore keeps the proposed 62, which the printer holds: no more asking.
    EXPECT_EQ(p.f.fp.input.asked.size(), 1u);
    EXPECT_EQ(p.PrintPageLength, 62);
}

TEST(PrintDocument, AbortOffersTheLogWithTheDateAndTime) {
    Print p;
    p.f.Load("%OP%LS0\n" + Rows(3));
    p.f.fp.msg.answers = {MsgResult::Abort, MsgResult::Yes};
    p.Run();
    EXPECT_EQ(test::ReadFile(p.f.dir / "Errors.txt"),
              p.f.fp.process.date_time + " Error 11 'Division by zero' in PrintDocument\r\n");
    EXPECT_TRUE(p.printer.drawn.empty());
    EXPECT_TRUE(p.printer.ended);
}

TEST(PrintDocument, NeverLoopsWithoutEnd) {
    // The margins take every line of a page the printer also holds.
    Print p;
    p.f.Load("%OP%TM30\n%OP%BM40\n" + Rows(3));
    p.Run();
    EXPECT_EQ(p.f.fp.msg.Texts(), std::vector<std::string>{kNoRowSlot});
    EXPECT_TRUE(p.printer.pages_started.empty());

    // No answer can satisfy the prompt: Cancel prints nothing.
    Print q(10);
    q.f.Load("%OP%BM20\n" + Rows(3));
    q.f.fp.input.answers = {"5", ""};
    q.Run();
    EXPECT_EQ(q.f.fp.input.asked.size(), 2u);
    EXPECT_TRUE(q.printer.pages_started.empty());
}

}  // namespace
}  // namespace tw
