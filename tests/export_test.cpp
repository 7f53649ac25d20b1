#include <gtest/gtest.h>

#include "export/html_export.h"
#include "export/rtf_export.h"
#include "export/text_export.h"
#include "support.h"

namespace tw {
namespace {

using test::Fixture;

struct Converted {
    std::string html;
    long long width;
};

Converted Html(Fixture& f, std::string_view cell) {
    std::string buf;
    long long w = WriteCellHTML(f.fp.sys, f.doc, buf, cell);
    return {buf, w};
}

Converted Rtf(Fixture& f, std::string_view cell) {
    std::string buf;
    long long w = WriteCellRTF(f.fp.sys, f.doc, buf, cell);
    return {buf, w};
}

// One cell through the three exporters.
TEST(CellMarkup, EveryConsumerFromOneTable) {
    const struct {
        std::string cell, text, html;
        long long html_width;
        std::string rtf;
        long long rtf_width;
    } cases[] = {
        {"", "", "", 0, "", 0},
        {"plain", "plain", "plain", 5, "plain", 5},
        {"%H2%", "", "<b></b>", 0, "\\b \\b0 ", 0},
        {"%H1%abc", "abc", "<u>abc</u>", 3, "\\ul abc\\ul0 ", 3},
        {"%H2%bold", "bold", "<b>bold</b>", 4, "\\b bold\\b0 ", 4},
        {"%H4%i%H4%", "i", "<i>i</i>", 1, "\\i i\\i0 ", 1},
        {"%H5%2%H5%", "2", "<sub>2</sub>", 1, "\\dn 2\\dn0 ", 1},
        {"%H6%2%H6%", "2", "<sup>2</sup>", 1, "\\up 2\\up0 ", 1},
        {"%H2%a%H1%b%H2%c", "abc", "<b>a<u>b</b>c</u>", 3, "\\b a\\ul b\\b0 c\\ul0 ", 3},
        {"%H6%%H5%%H4%%H2%%H1%x", "x", "<sup><sub><i><b><u>x</u></b></i></sub></sup>", 1,
         "\\up \\dn \\i \\b \\ul x\\ul0 \\b0 \\i0 \\dn0 \\up0 ", 1},
        {"%H2%Total%H2% 5", "Total 5", "<b>Total</b> 5", 7, "\\b Total\\b0  5", 7},
        {"50%PC% off", "50% off", "50% off", 7, "50% off", 7},
        {"100% sure", "100% sure", "100", 9, "100", 9},
        {"%H2%50% off", "50% off", "<b>50</b>", 7, "\\b 50\\b0 ", 7},
        {"%V%3+4", "=3+4", "3+4", 3, "3+4", 3},
        {"%H3%x", "x", "x", 1, "x", 1},
        {"%R%x%H7%", "x", "x", 1, "x", 1},
        {"a@b", "a@b", "a@b", 3, "a@b", 3},
        {"x@@y", "x@y", "x@y", 3, "x@y", 3},
        {"x@@@y", "x@y", "x@y", 3, "x@y", 3},
        {"@@@", "@", "@", 1, "@", 1},
        {"@@@@", "@", "@", 1, "@", 1},
        {"@P@@D@", "D@", "@P@D@", 5, "\\chpgn D@", 3},
        {"@X@@Y", "@X@Y", "@X@Y", 4, "@X@Y", 4},
        {"@p@", "@p@", "@p@", 3, "@p@", 3},
        {"@P@ of @T@", " of ", "@P@ of T&amp;C", 10, "\\chpgn  of T&C", 8},
        {"Date @D@", "Date ", "Date @D@", 8, "Date \\chdate ", 27},
        {"Total %H2%42%H2%", "Total 42", "Total <b>42</b>", 8, "Total \\b 42\\b0 ", 8},
        {"a<b & c>d", "a<b & c>d", "a&lt;b &amp; c&gt;d", 9, "a<b & c>d", 9},
        {"\"q\"", "\"q\"", "&quot;q&quot;", 3, "\"q\"", 3},
        {"\xA3" "5", "\xA3" "5", "&#163;5", 2, "\\'A35", 2},
        {"a\xA0" "b", "a\xA0" "b", "ab", 3, "a\\~b", 3},
        {"C:\\dir{x}", "C:\\dir{x}", "C:\\dir{x}", 9, "C:\\\\dir\\{x\\}", 9},
        {"\xFF\x80", "\xFF\x80", "&#255;", 2, "\\'FF\\'80", 2},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.doc.OptDE = "T&C";
        EXPECT_EQ(CellToText(c.cell), c.text) << c.cell;
        Converted h = Html(f, c.cell);
        EXPECT_EQ(h.html, c.html) << c.cell;
        EXPECT_EQ(h.width, c.html_width) << c.cell;
        Converted r = Rtf(f, c.cell);
        EXPECT_EQ(r.html, c.rtf) << c.cell;
        EXPECT_EQ(r.width, c.rtf_width) << c.cell;
        EXPECT_TRUE(f.fp.msg.shown.empty()) << c.cell;
    }
}

TEST(CellMarkup, HtmlDropsControlCodesAndHighLatin1Controls) {
    Fixture f;
    std::string dropped, kept;
    for (int c = 0; c < 256; ++c) {
        std::string cell(1, static_cast<char>(c));
        if (c == '@' || c == '%') continue;
        std::string out = Html(f, cell).html;
        (out.empty() ? dropped : kept).push_back(static_cast<char>(c));
    }
    std::string expected;
    for (int c = 0; c <= 8; ++c) expected.push_back(static_cast<char>(c));
    expected += "\x0B\x0C";
    for (int c = 14; c <= 31; ++c) expected.push_back(static_cast<char>(c));
    for (int c = 127; c <= 160; ++c) expected.push_back(static_cast<char>(c));
    EXPECT_EQ(dropped, expected);
    EXPECT_EQ(Html(f, "\t\n\r").html, "\t\n\r");
}

TEST(CellMarkup, TitleInsertedByAFieldIsEscaped) {
    Fixture f;
    f.doc.OptDE = "<script>x</script>";
    EXPECT_EQ(Html(f, "@T@").html, "&lt;script&gt;x&lt;/script&gt;");
    EXPECT_EQ(Html(f, "@T@").width, 18);
    f.doc.OptDE = "a}b{\\";
    EXPECT_EQ(Rtf(f, "@T@").html, "a\\}b\\{\\\\");
}

std::string TextOf(Fixture& f) {
    StringSink s;
    WriteText(f.doc, s);
    return s.bytes;
}

TEST(TextExport, TabsBetweenCellsAndCrLfLines) {
    Fixture f;
    f.Load("%CO:A,4,0%a\n\n%CO:B,4,0%\n\n%CO:C,4,0%c\n%H2%x%H2%\n");
    EXPECT_EQ(TextOf(f), "a\t\tc\r\n\t\tx\r\n");

    Fixture empty;
    empty.Load("%CO:A,4,0%%CO:B,4,0%%CO:C,4,0%");
    EXPECT_EQ(TextOf(empty), "\t\t\r\n");

    Fixture none;
    none.Load("%OP%DEx\n");
    EXPECT_EQ(TextOf(none), "");
}

TEST(TextExport, FileReplacesAnExistingOne) {
    Fixture f;
    f.Load("%CO:A,4,0%one\n");
    std::string out = f.dir.Write("out.txt", "old contents that are longer");
    WriteFileTxt(f.fp.sys, f.doc, out);
    EXPECT_EQ(test::ReadFile(out), "one\r\n");

    Fixture g;
    g.Load("%OP%DEx\n");
    WriteFileTxt(g.fp.sys, g.doc, out);
    EXPECT_EQ(test::ReadFile(out), "");
}

std::string HtmlOf(Fixture& f) {
    StringSink s;
    WriteHTML(f.fp.sys, f.doc, s);
    return s.bytes;
}

const char* kHead = "<html>\r\n<head>\r\n<title>T</title>\r\n</head>\r\n<body>\r\n";
const char* kTail = "\r\n</body>\r\n</html>\r\n";

TEST(HtmlExport, ThePageExample) {
    Fixture f;
    f.Load("%OP%DET\n%CO:A,5,72%Hello\nworld\n\nA\n%CO:B,5,72%\n\n\nB\n");
    EXPECT_EQ(HtmlOf(f), std::string(kHead) +
                             "<br>\r\nHello \r\nworld<br>\r\n<br>\r\n<pre>A    B" + kTail);
}

TEST(HtmlExport, RowLayouts) {
    const struct {
        const char* name;
        const char* doc;
        std::string body;
    } cases[] = {
        {"text rows join into one paragraph", "%CO:A,5,0%one\ntwo\nthree\n", "<br>\r\none \r\ntwo \r\nthree"},
        {"text only never opens a block", "%CO:A,5,0%one\n\ntwo\n", "<br>\r\none<br>\r\n<br>\r\ntwo"},
        {"a text row beginning with a space after an empty row", "%CO:A,5,0%one\n\n two\n",
         "<br>\r\none<br>\r\n<br>\r\n two"},
        {"a text row beginning with a space joins the text before", "%CO:A,5,0%one\n two\n", "<br>\r\none \r\n two"},
        {"a table row beginning with a space after text", "%CO:A,4,0%one\n\n%CO:B,4,0%\nb\n",
         "<br>\r\none<br>\r\n<pre>    b"},
        {"a table row after text without a leading space", "%CO:A,4,0%one\nx\n%CO:B,4,0%\nb\n",
         "<br>\r\none<pre>x   b"},
        {"table rows inside pre, then text closes it", "%CO:A,4,0%a\nc\nafter\n%CO:B,4,0%b\nd\n",
         "<br>\r\n<pre>a   b\r\nc   d\r\n</pre>after"},
        {"a document that ends inside pre", "%CO:A,4,0%x\ny\n%CO:B,4,0%1\n2\n", "<br>\r\n<pre>x   1\r\ny   2"},
        {"an empty first cell padded to a later column", "%CO:A,4,0%\n%CO:B,4,0%b\n", "<br>\r\n<pre>    b"},
        {"visible content in any later column makes a table row", "%CO:A,2,0%\n%CO:B,2,0%\n%CO:C,2,0%z\n",
         "<br>\r\n<pre>    z"},
        {"a cell of codes only is empty", "%CO:A,7,0%text\n%CO:B,4,0%%H2%\n", "<br>\r\ntext   <b></b>"},
        {"trailing spaces are trimmed", "%CO:A,9,0%a   \nb  \n", "<br>\r\na \r\nb"},
        {"empty rows between text rows", "%CO:A,4,0%a\n\n\nb\n", "<br>\r\na<br>\r\n<br>\r\n<br>\r\nb"},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.Load(std::string("%OP%DET\n") + c.doc);
        EXPECT_EQ(HtmlOf(f), kHead + c.body + kTail) << c.name;
    }
}

TEST(HtmlExport, TitleIsEscapedInTheHead) {
    Fixture f;
    f.Load("%OP%DEa</title><script>\n");
    EXPECT_EQ(HtmlOf(f),
              "<html>\r\n<head>\r\n<title>a&lt;/title&gt;&lt;script&gt;</title>\r\n</head>\r\n<body>\r\n" +
                  std::string(kTail));
}

RtfMetrics Metrics() {
    RtfMetrics m;
    m.zero_width = 120;
    m.zero_height = 225;
    m.page_width = 11906;
    m.printable_width = 11338;
    return m;
}

std::string RtfOf(Fixture& f, const RtfMetrics& m) {
    StringSink s;
    WriteRTFTo(f.fp.sys, f.doc, m, s);
    return s.bytes;
}

TEST(RtfExport, EmptyDocumentHasTheFullHeaderThenParAndBrace) {
    Fixture f;
    f.Load("");
    EXPECT_EQ(RtfOf(f, Metrics()),
              "{\\rtf1\\ansi \\deff0\r\n"
              "{\\fonttbl\r\n"
              "{\\f0\\fmodern Courier New;}\r\n"
              "{\\f1\\froman Times New Roman;}\r\n"
              "{\\f2\\fswiss Arial;}\r\n"
              "{\\f3\\fmodern Courier;}}\r\n"
              "\\f0\\fs18\r\n"
              "{\\info{\\title }}\r\n"
              "{\\margl240}\r\n"
              "{\\margr284}\r\n"
              "{\\margt675}\r\n"
              "{\\margb2475}\r\n"
              "{\\pgnstart0}\r\n"
              "{\\headery450}\r\n"
              "{\\footery450}\r\n"
              "{\\header\\f0\\fs18}\r\n"
              "{\\footer\\f0\\fs18}\r\n"
              "\\par\r\n}");
}

TEST(RtfExport, LinesFromTheFontPrinterAndOptions) {
    Fixture f;
    f.Load("%OP%DEMy %H2%title%H2%\n%OP%HEPage @P@\n%OP%FO@D@ {x}\n%OP%LM6\n%OP%TM1\n%OP%HM0\n%OP%BM3\n"
           "%OP%FM1\n%OP%PS5\n%CO:A,6,0%one\ntwo\n%CO:B,4,0%\n\n\\b\n");
    RtfMetrics m = Metrics();
    m.font_name = "Lucida Console";
    m.font_size = 10;
    m.zero_width = 100.5f;
    m.zero_height = 200;
    std::string rtf = RtfOf(f, m);
    auto has = [&](const std::string& line) { return rtf.find("\r\n" + line + "\r\n") != std::string::npos; };
    EXPECT_TRUE(has("\\fs20"));
    EXPECT_TRUE(has("{\\info{\\title My \\b title\\b0 }}"));
    EXPECT_TRUE(has("{\\margl603}"));
    EXPECT_TRUE(has("{\\margt400}"));
    EXPECT_TRUE(has("{\\margb1000}"));
    EXPECT_TRUE(has("{\\pgnstart5}"));
    EXPECT_TRUE(has("{\\headery0}"));
    EXPECT_TRUE(has("{\\footery200}"));
    EXPECT_TRUE(has("{\\header\\fs20Page \\chpgn }"));
    EXPECT_TRUE(has("{\\footer\\fs20\\chdate  \\{x\\}}"));
    EXPECT_NE(rtf.find("}\r\n\\par\r\none \r\ntwo\\par\r\n      \\\\b\\par\r\n}"), std::string::npos) << rtf;
    EXPECT_EQ(rtf.back(), '}');
}

TEST(RtfExport, FontAndSizeCodes) {
    EXPECT_EQ(RtfFontCode("Courier New") + RtfSizeCode(9), "\\f0\\fs18");
    EXPECT_EQ(RtfFontCode("Times New Roman"), "\\f1");
    EXPECT_EQ(RtfFontCode("Arial"), "\\f2");
    EXPECT_EQ(RtfFontCode("Courier"), "\\f3");
    EXPECT_EQ(RtfFontCode("courier new"), "");
    EXPECT_EQ(RtfSizeCode(8.25f), "\\fs17");
    EXPECT_EQ(RtfSizeCode(10.5f), "\\fs21");
}

TEST(FileWriters, FailuresAreReportedWithTheirLine) {
    const char* procs[] = {"WriteFileTxt", "WriteFileHTML", "WriteRTF"};
    for (const char* proc : procs) {
        Fixture f;
        f.Load("%CO:A,4,0%a\n");
        std::string path = f.dir / "missing-folder/out";
        f.fp.msg.answers = {MsgResult::Retry, MsgResult::Abort};
        std::string p = proc;
        if (p == "WriteFileTxt") WriteFileTxt(f.fp.sys, f.doc, path);
        else if (p == "WriteFileHTML") WriteFileHTML(f.fp.sys, f.doc, path);
        else WriteRTF(f.fp.sys, f.doc, Metrics(), path);
        std::string report = "Error 76 'Path not found' at line 1 in " + p;
        // Retry shows it again; Abort ends without offering the log.
        EXPECT_EQ(f.fp.msg.Texts(), (std::vector<std::string>{report, report})) << proc;
    }
}

TEST(FileWriters, IgnoreGoesOnAfterAFailedOpen) {
    Fixture f;
    f.Load("%CO:A,4,0%a\nb\n");
    f.fp.msg.answers.assign(4, MsgResult::Ignore);
    WriteFileTxt(f.fp.sys, f.doc, f.dir / "missing-folder/out.txt");
    // The open, then each row, fail in turn: no file, each reported.
    EXPECT_EQ(f.fp.msg.Texts(), (std::vector<std::string>{"Error 76 'Path not found' at line 1 in WriteFileTxt",
                                                          "Error 52 'Bad file name or number' at line 3 in WriteFileTxt",
                                                          "Error 52 'Bad file name or number' at line 3 in WriteFileTxt"}));
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST(FileWriters, AColumnTooFarOutIsReportedNotPadded) {
    test::Fixture f;
    f.Load("%CO:A,1E30,0%a\nb\n%CO:B,4,0%x\ny\n");
    f.fp.msg.answers = {MsgResult::Ignore, MsgResult::Abort};
    WriteFileHTML(f.fp.sys, f.doc, f.dir / "far.htm");
    EXPECT_EQ(f.fp.msg.Texts(), (std::vector<std::string>{"Error 14 'Out of string space' at line 3 in WriteFileHTML",
                                                          "Error 14 'Out of string space' at line 3 in WriteFileHTML"}));
}

}  // namespace
}  // namespace tw
