#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

#include "document/constructs.h"
#include "document/layouts.h"
#include "document/numbers.h"
#include "document/text.h"
#include "export/html_export.h"
#include "export/rtf_export.h"
#include "export/text_export.h"
#include "platform/fake/recording_canvas.h"
#include "printing/print.h"
#include "support.h"
#include "viewer/page.h"

namespace tw {
namespace {

using test::Fixture;

// One cell in the PipeDream layout: what it shows, and what the text
// export writes for it.
TEST(PipeDreamLayout, CellsShowTheirValuesAligned) {
    const struct {
        const char* name;
        std::string bytes;  // options, one column, cells; the last cell is the one looked at
        std::string marked, unpadded;
    } cases[] = {
        // Numbers: right-aligned with one character kept free at the right.
        {"two places", "%CO:A,12,0%%V%%D2%1234.5\n", "    1234.50", "1234.50"},
        {"none, halves away from zero", "%CO:A,12,0%%V%%D0%2.5\n", "          3", "3"},
        {"floating", "%CO:A,12,0%%V%%DF%1/3\n", "0.333333333", "0.333333333"},
        {"document's places", "%OP%DP3\n%CO:A,8,0%%V%1/4\n", "  0.250", "0.250"},
        {"brackets", "%CO:A,12,0%%V%%B%%D2%-12.5\n", "    (12.50)", "(12.50)"},
        {"minus by default", "%CO:A,12,0%%V%%D2%-12.5\n", "     -12.50", "-12.50"},
        {"thousands", "%OP%TH,\n%CO:A,16,0%%V%%D2%1234567.891\n", "   1,234,567.89", "1,234,567.89"},
        {"thousands by points", "%OP%TH.\n%CO:A,16,0%%V%%D2%1234567.891\n", "   1.234.567,89", "1.234.567,89"},
        {"leading and trailing", "%OP%LP$\n%OP%TPc\n%CO:A,12,0%%V%%LC%%TC%%D2%5\n", "     $5.00c", "$5.00c"},
        {"trailing per cent kept a character", "%CO:A,8,0%%V%%TC%%D0%50\n", "    50%PC%", "50%PC%"},
        {"too wide for its column", "%CO:A,4,0%%V%%D2%123456\n", "%PC%%PC%%PC%", "%PC%%PC%%PC%"},
        {"number left", "%CO:A,12,0%%V%%L%%D2%4\n", "4.00", "4.00"},
        {"number centred", "%CO:A,12,0%%V%%C%%D2%4\n", "   4.00", "4.00"},
        {"number in an LCR cell stays right", "%CO:A,8,0%%V%%LCR%%D0%7\n", "      7", "7"},
        // Text: across the wrap width, or the column's when it is 0.
        {"text left", "%CO:A,10,0%Plain text\n", "Plain text", "Plain text"},
        {"centred in the column", "%CO:A,10,0%%C%Title\n", "  Title", "Title"},
        {"centred in the wrap width", "%CO:A,10,20%%C%Title\n", "       Title", "Title"},
        {"right in the column", "%CO:A,10,0%%R%Name\n", "      Name", "Name"},
        {"right to the wrap width", "%CO:A,10,30%%R%Name\n", "                          Name", "Name"},
        {"centred up to the next cell that shows something", "%CO:A,10,40%%C%Head\n%CO:B,10,0%\n%CO:C,10,0%x\n",
         "        Head", "Head"},
        {"right up to the next cell", "%CO:A,10,40%%R%Name\n%CO:B,6,0%y\n", "      Name", "Name"},
        {"a column wider than any page", "%CO:A,1E30,0%%R%x\n", std::string(999, ' ') + "x", "x"},
        {"wider than the range", "%CO:A,4,0%%R%Longer\n", "Longer", "Longer"},
        {"highlights kept, not counted", "%CO:A,10,0%%C%%H2%Bold%H2%\n", "   %H2%Bold%H2%", "%H2%Bold%H2%"},
        {"per cent counts one", "%CO:A,10,0%%R%5%PC%\n", "        5%PC%", "5%PC%"},
        {"LCR", "%CO:A,10,40%%LCR%/Chapter 7/PipeDream/Words/\n", "Chapter 7      PipeDream           Words",
         "Chapter 7 PipeDream Words"},
        {"LCR parts that overlap", "%CO:A,10,0%%LCR%|Left side|Middle|Right\n", "Left sideMiddleRight",
         "Left side Middle Right"},
        {"LCR with only a centre", "%CO:A,10,0%%LCR%//Mid/\n", "   Mid", "Mid"},
        {"page break taken out", "%CO:A,10,0%%P0%\n", "", ""},
        // Fields.
        {"number cell named", "%CO:A,10,0%%V%%D2%6*7\nTotal @A1@@@@@ ok\n", "Total 42.00 ok", "Total 42.00 ok"},
        {"named cell's own format, no alignment", "%CO:A,10,0%%V%%B%%D0%-3\n%C%=@A1@@@@\n", "  =(3)", "=(3)"},
        {"text cell named", "%CO:A,10,0%%H2%Head%H2%\nSee @a1@@@@\n", "See Head", "See Head"},
        {"field counts its reserved width", "%CO:A,20,0%%V%%D0%7\n%R%Total @A1@@@@@\n", "         Total 7", "Total 7"},
        {"blank cell named", "%CO:A,10,0%\n[@A9@]\n", "[]", "[]"},
        {"leaf name and time", "%CO:A,10,0%@L@ at @N@@@@@\n", "sheet.pd at 12:34", "sheet.pd at 12:34"},
        {"design's fields stay", "%CO:A,10,0%%C%p@P@@@ @D@\n", "  p@P@@@ @D@", "p@P@@@ @D@"},
        {"unknown field as written", "%CO:A,10,0%@X:Corpus@x\n", "@X:Corpus@x", "@X:Corpus@x"},
        // References name columns, wherever the file stores them.
        {"columns stored C then A", "%CO:C,8,0%%V%%D0%A1*10\n@C1@@@\n%CO:A,8,0%%V%5\n", "50", "50"},
        {"a column the document lacks reads as blank", "%CO:A,8,0%%V%%D0%B1+C1+1\n%CO:C,8,0%\n", "      1", "1"},
        {"blank line among the options", "%OP%DEx\n\n%OP%DP0\n%CO:A,8,0%%V%7/2\n", "      4", "4"},
        // TH as PipeDream writes it, and as the character itself.
        {"TH0 none", "%OP%TH0\n%CO:A,16,0%%V%%D2%1234567.891\n", "     1234567.89", "1234567.89"},
        {"TH1 comma", "%OP%TH1\n%CO:A,16,0%%V%%D2%1234567.891\n", "   1,234,567.89", "1,234,567.89"},
        {"TH2 full stop", "%OP%TH2\n%CO:A,16,0%%V%%D2%1234567.891\n", "   1.234.567,89", "1.234.567,89"},
        {"TH3 space", "%OP%TH3\n%CO:A,16,0%%V%%D2%1234567.891\n", "   1 234 567.89", "1 234 567.89"},
        {"TH space itself", "%OP%TH \n%CO:A,16,0%%V%%D2%-1234.5\n", "      -1 234.50", "-1 234.50"},
        // Text runs on over the empty cells of its row and stops at the next
        // one that shows something.
        {"runs over empty cells", "%CO:A,4,0%Colton Software\n%CO:B,4,0%\n%CO:C,4,0%\n", "Colton Software",
         "Colton Software"},
        {"stops at the next cell", "%CO:A,4,0%Colton Software\n%CO:B,6,0%x\n", "Colt", "Colt"},
        {"stops two columns on", "%CO:A,4,0%Colton Software\n%CO:B,4,0%\n%CO:C,4,0%x\n", "Colton S", "Colton S"},
        {"codes alone do not stop it", "%CO:A,4,0%Colton Software\n%CO:B,4,0%%P0%\n%CO:C,4,0%x\n", "Colton S",
         "Colton S"},
        {"a number stops it", "%CO:A,4,0%Order number\n%CO:B,4,0%%V%5\n", "Orde", "Orde"},
        {"fits exactly", "%CO:A,4,0%Type\n%CO:B,4,0%x\n", "Type", "Type"},
        {"highlights stay balanced", "%CO:A,4,0%%H2%Bold text%H2%\n%CO:B,4,0%y\n", "%H2%Bold%H2%", "%H2%Bold%H2%"},
        {"per cent counts one", "%CO:A,4,0%50%PC% off\n%CO:B,4,0%y\n", "50%PC% ", "50%PC% "},
        {"centred, too wide", "%CO:A,4,0%%C%Heading\n%CO:B,4,0%y\n", "Head", "Head"},
        {"right, too wide", "%CO:A,4,20%%R%Heading\n%CO:B,4,0%y\n", "Head", "Head"},
        {"centred within its room", "%CO:A,4,0%%C%ab\n%CO:B,4,0%y\n", " ab", "ab"},
        {"filled-in field cut", "%CO:A,4,0%@L@@@@@@@\n%CO:B,4,0%y\n", "shee", "shee"},
        {"field for the consumers left out whole", "%CO:A,5,0%ab @P@@@\n%CO:B,4,0%y\n", "ab ", "ab "},
        {"LCR cut at the next cell", "%CO:A,10,30%%LCR%/left/mid/right/\n%CO:B,6,0%y\n", "leftmidrig", "left mid rig"},
        {"LCR part past the room left out", "%CO:A,4,0%%LCR%/left/mid/right/\n%CO:B,6,0%y\n", "left", "left"},
        // Picture and font fields show nothing.
        {"picture", "%CO:A,20,0%@G:name@Sales\n", "Sales", "Sales"},
        {"lower-case picture", "%CO:A,20,0%@g:box1@\n", "", ""},
        {"chart with a scale", "%CO:A,20,0%a@G:Series_C01,100@b\n", "ab", "ab"},
        {"font change", "%CO:A,20,0%@F:Homerton.Medium,14@Car Lovers\n", "Car Lovers", "Car Lovers"},
        {"font change, lower case, reserving width", "%CO:A,20,0%@f:Corpus@@@@x\n", "x", "x"},
        {"font change takes no room when centred", "%CO:A,20,0%%C%@F:Trinity.Bold,24,24@Report\n", "       Report",
         "Report"},
        {"a picture named F stays a cell name", "%CO:A,20,0%@F1@\n", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.Load(c.bytes);
        auto cells = MakeShownCells(f.doc, Layout::PipeDream, {"sheet.pd", "12:34"});
        int row = f.doc.NumRows;
        EXPECT_EQ(cells->Marked(1, row), c.marked);
        EXPECT_EQ(cells->Unpadded(1, row), c.unpadded);
        // The design's layout shows the cell as stored.
        auto plain = MakeShownCells(f.doc, Layout::Plain);
        EXPECT_EQ(plain->Marked(1, row), f.doc.Cells(1, row));
    }
}

TEST(PipeDreamLayout, ErrorsShowByNameRightAligned) {
    Fixture f;
    f.Load("%CO:A,30,0%%V%1/0\n");
    auto cells = MakeShownCells(f.doc, Layout::PipeDream);
    std::string name(cells->Unpadded(1, 1));
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(cells->Marked(1, 1), std::string(29 - name.size(), ' ') + name);
}

TEST(PipeDreamLayout, NamesAndPageBreaks) {
    EXPECT_EQ(LayoutFromName("pipedream"), Layout::PipeDream);
    EXPECT_EQ(LayoutFromName("PipeDream"), Layout::PipeDream);
    EXPECT_EQ(LayoutFromName("plain"), Layout::Plain);
    EXPECT_EQ(LayoutFromName("fancy"), std::nullopt);
    EXPECT_EQ(LayoutName(Layout::PipeDream), "pipedream");
    EXPECT_EQ(LayoutName(Layout::Plain), "plain");
    ShownContext context = ContextFor("/home/ann/accounts.pd");
    EXPECT_EQ(context.leaf_name, "accounts.pd");
    ASSERT_EQ(context.time.size(), 5u);
    EXPECT_EQ(context.time[2], ':');
    EXPECT_EQ(ContextFor("plain.pd").leaf_name, "plain.pd");

    Fixture f;
    f.Load("%CO:A,8,0%a\n%P0%\nb%P12%\n%P%\n%CO:B,8,0%\n\n\n%P3%x\n");
    EXPECT_EQ(RowPageBreak(f.doc, 1), -1);
    EXPECT_EQ(RowPageBreak(f.doc, 2), 0);
    EXPECT_EQ(RowPageBreak(f.doc, 3), 12);
    EXPECT_EQ(RowPageBreak(f.doc, 4), 3);  // a break in another column counts for the row
    EXPECT_EQ(RowPageBreak(f.doc, 99), -1);
}

// A small sheet through the three writers, byte for byte.
const char kSheet[] =
    "%OP%DETest\n%OP%TH,\n"
    "%CO:A,12,30%%C%%H2%Sales%H2%\n%LCR%/left/mid/right/\nItem\nTotal @B4@@@@@@@@\n"
    "%CO:B,10,0%\n\n%V%%D0%1234\n%V%%B%%D2%-2.5\n";

TEST(PipeDreamLayout, TextHtmlRtfWriters) {
    Fixture f;
    f.Load(kSheet);
    auto cells = MakeShownCells(f.doc, Layout::PipeDream);
    StringSink txt;
    WriteText(f.doc, txt, nullptr, {}, cells.get());
    EXPECT_EQ(txt.bytes, "Sales\t\r\nleft mid right\t\r\nItem\t1,234\r\nTotal (2.50)\t(2.50)\r\n");

    StringSink htm;
    WriteHTML(f.fp.sys, f.doc, htm, nullptr, {}, cells.get());
    EXPECT_EQ(htm.bytes,
              "<html>\r\n<head>\r\n<title>Test</title>\r\n</head>\r\n<body>\r\n"
              "<br>\r\n<pre>            <b>Sales</b>\r\n"
              "left         mid         right\r\n"
              "Item            1,234\r\n"
              "Total (2.50)   (2.50)</pre>"
              "\r\n</body>\r\n</html>\r\n");

    StringSink rtf;
    WriteRTFTo(f.fp.sys, f.doc, RtfMetrics{}, rtf, nullptr, cells.get());
    std::string body = rtf.bytes.substr(rtf.bytes.find("\\par"));
    EXPECT_EQ(body,
              "\\par\r\n            \\b Sales\\b0 "
              "\\par\r\nleft         mid         right"
              "\\par\r\nItem            1,234"
              "\\par\r\nTotal (2.50)   (2.50)"
              "\\par\r\n}");

    // Without a layout, or with the design's, the writers are as they were.
    for (bool plain : {false, true}) {
        auto stored = MakeShownCells(f.doc, Layout::Plain);
        ShownCells* shown = plain ? stored.get() : nullptr;
        StringSink a, b, c, a0, b0, c0;
        WriteText(f.doc, a, nullptr, {}, shown);
        WriteText(f.doc, a0);
        WriteHTML(f.fp.sys, f.doc, b, nullptr, {}, shown);
        WriteHTML(f.fp.sys, f.doc, b0);
        WriteRTFTo(f.fp.sys, f.doc, RtfMetrics{}, c, nullptr, shown);
        WriteRTFTo(f.fp.sys, f.doc, RtfMetrics{}, c0);
        EXPECT_EQ(a.bytes, a0.bytes);
        EXPECT_EQ(b.bytes, b0.bytes);
        EXPECT_EQ(c.bytes, c0.bytes);
    }
}

// A row of aligned text keeps its place in HTML: on a line of its own, in
// the preformatted block, where a browser keeps its spaces; text rows that
// are not aligned still run together as running text.
TEST(PipeDreamLayout, HtmlKeepsAlignedRowsApart) {
    const struct {
        const char* name;
        std::string rows, body;
    } cases[] = {
        {"centred, right and LCR rows", "%C%Centred heading\n%R%Right-aligned line\n%LCR%/left/middle/right/\n",
         "<br>\r\n<pre>       Centred heading\r\n"
         "            Right-aligned line\r\n"
         "left        middle       right</pre>"},
        {"between running text", "Intro text\n%C%Head\nMore text\nand more\n",
         "<br>\r\nIntro text<br>\r\n<pre>             Head\r\n</pre>More text \r\nand more"},
        {"left-aligned text runs on", "%L%One\nTwo\n", "<br>\r\nOne \r\nTwo"},
        {"an aligned row as wide as its room", "%R%abcdefghijklmnopqrstuvwxyz0123\nNext\n",
         "<br>\r\n<pre>abcdefghijklmnopqrstuvwxyz0123\r\n</pre>Next"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.Load("%CO:A,10,30%" + c.rows);
        auto cells = MakeShownCells(f.doc, Layout::PipeDream);
        StringSink htm;
        WriteHTML(f.fp.sys, f.doc, htm, nullptr, {}, cells.get());
        std::string head = "<body>\r\n", tail = "\r\n</body>";
        std::size_t from = htm.bytes.find(head) + head.size();
        EXPECT_EQ(htm.bytes.substr(from, htm.bytes.find(tail) - from), c.body);
    }
}

TEST(PipeDreamLayout, ScreenPageDrawsTheShownCells) {
    Fixture f;
    f.Load(kSheet);
    auto cells = MakeShownCells(f.doc, Layout::PipeDream);
    fake::RecordingCanvas screen;
    ScriptFlags flags;
    DrawPage(screen, f.doc, *cells, 3, 1, flags);
    std::vector<std::string> texts;
    for (const auto& d : screen.drawn) texts.push_back(d.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Item", "    1,234", "Total (2.50)", "   (2.50)"}));
}

// Pages of 14 row slots: a hard break before row 5, a break asking for 10
// lines at row 12 (7 left: a new page) and at row 30 (10 left: enough).
TEST(PipeDreamLayout, PrintingBreaksPages) {
    std::string bytes = "%OP%PL14\n%OP%TM0\n%OP%HM0\n%OP%FM0\n%OP%BM0\n%CO:A,8,0%";
    for (int r = 1; r <= 35; ++r) {
        std::string code = r == 5 ? "%P0%" : r == 12 || r == 30 ? "%P10%" : "";
        bytes += code + "r" + std::to_string(r) + "\n";
    }
    auto pages = [&](Layout layout) {
        Fixture f;
        f.Load(bytes);
        fake::RecordingCanvas printer;
        printer.scale_height = 14 * 225 + 10;
        std::string CrLf = "\r\n";
        std::int16_t length = 0;
        ScriptFlags flags;
        auto cells = MakeShownCells(f.doc, layout);
        PrintJob job{f.fp.sys, f.doc, printer, "Courier New", 9, CrLf, length, flags, std::nullopt, cells.get()};
        PrintDocument(job);
        EXPECT_TRUE(f.fp.input.asked.empty());
        std::map<int, std::vector<std::string>> rows;
        for (const auto& d : printer.drawn) {
            if (!d.text.empty()) rows[d.page].push_back(d.text);
        }
        std::vector<std::string> out;
        for (const auto& [page, texts] : rows) out.push_back(texts.front() + "-" + texts.back());
        return out;
    };
    EXPECT_EQ(pages(Layout::PipeDream), (std::vector<std::string>{"r1-r4", "r5-r11", "r12-r25", "r26-r35"}));
    EXPECT_EQ(pages(Layout::Plain), (std::vector<std::string>{"r1-r14", "r15-r28", "r29-r35"}));
}

// Cells that are nearly constructs or fields show without harm, and what
// the writers make of them matches what each cell shows.
TEST(PipeDreamLayout, OddCellsShowSafely) {
    const struct {
        std::string cell, marked;
    } cases[] = {
        {"%LCR%", ""},
        {"%LCR%/", ""},
        {"%LCR%//", ""},
        {"@", "@"},
        {"@@@", "@@@"},
        {"@A0@", "@A0@"},
        {"@ZZZZZZZZZZ1@", "@ZZZZZZZZZZ1@"},
        {"@A99999999999@", "@A99999999999@"},
        {"@$A$1@", "x"},
        {"%C%%", "   %"},
        {"%R%%H2", "     %H2"},
        {"%V%", ""},
        {"%V%%LCR%)", ""},
        {"%C%@L@", "   "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cell);
        Fixture f;
        f.Load("%CO:A,8,0%x\n" + c.cell + "\n");
        auto cells = MakeShownCells(f.doc, Layout::PipeDream);
        std::string marked(cells->Marked(1, 2));
        if (c.cell.rfind("%V%", 0) == 0) {
            EXPECT_NE(marked.find_first_not_of(' '), std::string::npos);  // an error's name
        } else {
            EXPECT_EQ(marked, c.marked);
        }
        StringSink txt, htm;
        WriteText(f.doc, txt, nullptr, {}, cells.get());
        WriteHTML(f.fp.sys, f.doc, htm, nullptr, {}, cells.get());
        EXPECT_EQ(txt.bytes.substr(0, 3), "x\r\n");
        if (c.marked.find_first_of("%@") == std::string::npos && c.cell.rfind("%V%", 0) != 0) {
            EXPECT_EQ(txt.bytes.substr(3), std::string(TrimView(c.marked)) + "\r\n");
        }
        EXPECT_TRUE(f.fp.msg.shown.empty());
    }
}

// The example spreadsheets: every number cell that fits its column ends
// at the column's last character but one (or starts at its first, or is
// centred between them), and the text export writes the values bare.
TEST(PipeDreamLayout, RealSpreadsheetsAlignTheirNumbers) {
    const std::string folder = TARNWICK_SOURCE_DIR "/tests/data/real-documents/spreadsheets/";
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".pd") continue;
        SCOPED_TRACE(entry.path().filename().string());
        Fixture f;
        f.Load(test::ReadFile(entry.path().string()));
        auto cells = MakeShownCells(f.doc, Layout::PipeDream);
        for (int col = 1; col <= f.doc.NumCols; ++col) {
            auto width = static_cast<std::size_t>(Val(f.doc.Cells(col, -2)));
            for (int row = 1; row <= f.doc.NumRows; ++row) {
                std::string_view raw = f.doc.Cells(col, row);
                if (!IsNumberCell(raw)) continue;
                std::string marked(cells->Marked(col, row));
                std::string bare(cells->Unpadded(col, row));
                if (bare.empty() || bare.find('%') != std::string::npos || bare[0] == ' ' || width < 2) continue;
                ASSERT_EQ(marked.substr(marked.size() - bare.size()), bare) << raw;
                std::size_t pad = marked.size() - bare.size();
                ASSERT_EQ(marked.find_first_not_of(' '), pad) << raw;
                if (bare.size() >= width - 1) {
                    EXPECT_EQ(pad, 0u) << raw;
                    continue;
                }
                CellAlign align = ParseCellConstructs(raw).align;
                std::size_t spare = width - 1 - bare.size();
                EXPECT_EQ(pad, align == CellAlign::Left ? 0 : align == CellAlign::Centre ? spare / 2 : spare) << raw;
                ++checked;
            }
        }
        StringSink txt;
        WriteText(f.doc, txt, nullptr, {}, cells.get());
        EXPECT_EQ(txt.bytes.find("%V%"), std::string::npos);
    }
    EXPECT_GT(checked, 500);
}

}  // namespace
}  // namespace tw
