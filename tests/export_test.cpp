#include <gtest/gtest.h>

#include "document/cell_text.h"
#include "export/html_export.h"
#include "export/markup_writer.h"
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

// The fields word processors update, as the RTF writer writes them.
const std::string kPage = "{\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}";
const std::string kDate =
    "{\\field{\\*\\fldinst DATE \\\\@ \"dddd, d MMMM yyyy\"}{\\fldrslt Tuesday, 8 December 2026}}";

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
        {"@P@@D@", "D@", "@P@D@", 5, kPage + "D@", 3},
        {"@X@@Y", "@X@Y", "@X@Y", 4, "@X@Y", 4},
        {"@p@", "@p@", "@p@", 3, "@p@", 3},
        {"@P@ of @T@", " of ", "@P@ of T&amp;C", 10, kPage + " of T&C", 8},
        {"Date @D@", "Date ", "Date @D@", 8, "Date " + kDate, 27},
        {"Total %H2%42%H2%", "Total 42", "Total <b>42</b>", 8, "Total \\b 42\\b0 ", 8},
        {"a<b & c>d", "a<b & c>d", "a&lt;b &amp; c&gt;d", 9, "a<b & c>d", 9},
        {"\"q\"", "\"q\"", "&quot;q&quot;", 3, "\"q\"", 3},
        {"\xA3"
         "5",
         "\xA3"
         "5",
         "&#163;5", 2, "\\'A35", 2},
        {"a\xA0"
         "b",
         "a\xA0"
         "b",
         "a&#160;b", 3, "a\\~b", 3},
        {"C:\\dir{x}", "C:\\dir{x}", "C:\\dir{x}", 9, "C:\\\\dir\\{x\\}", 9},
        {"\xFF\x80", "\xFF\x80", "&#255;&#8364;", 2, "\\'FF\\'80", 2},
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

// Bytes 128 to 160 are the Windows-1252 characters the screen and printer
// show; the page names them by their Unicode code points.
TEST(CellMarkup, HtmlNamesWindows1252CharactersAndDropsControls) {
    const struct {
        int byte;
        const char* html;  // "" when dropped
    } cases[] = {
        {0, ""},          {8, ""},          {9, "\t"},        {10, "\n"},       {11, ""},         {13, "\r"},
        {31, ""},         {127, ""},        {128, "&#8364;"}, {129, ""},        {130, "&#8218;"}, {131, "&#402;"},
        {133, "&#8230;"}, {136, "&#710;"},  {140, "&#338;"},  {141, ""},        {142, "&#381;"},  {143, ""},
        {144, ""},        {145, "&#8216;"}, {146, "&#8217;"}, {147, "&#8220;"}, {148, "&#8221;"}, {149, "&#8226;"},
        {150, "&#8211;"}, {151, "&#8212;"}, {152, "&#732;"},  {153, "&#8482;"}, {156, "&#339;"},  {157, ""},
        {158, "&#382;"},  {159, "&#376;"},  {160, "&#160;"},  {161, "&#161;"},  {163, "&#163;"},  {255, "&#255;"},
    };
    Fixture f;
    for (const auto& c : cases) {
        const char b = static_cast<char>(c.byte);
        EXPECT_EQ(Html(f, std::string(1, b)).html, c.html) << c.byte;
        // Cells of sixteen bytes and more take the fast path first.
        for (std::size_t at : {0u, 15u, 16u, 17u, 31u}) {
            std::string cell(33, 'x');
            cell[at] = b;
            std::string expected = cell.substr(0, at) + c.html + cell.substr(at + 1);
            EXPECT_EQ(Html(f, cell).html, expected) << c.byte << " at " << at;
        }
    }
    // Every byte from 128 to 160 but the five undefined ones is written.
    std::string dropped;
    for (int c = 128; c <= 160; ++c) {
        if (Html(f, std::string(40, 'y') + static_cast<char>(c)).html == std::string(40, 'y'))
            dropped += std::to_string(c) + " ";
    }
    EXPECT_EQ(dropped, "129 141 143 144 157 ");
    EXPECT_TRUE(f.fp.msg.shown.empty());
}

// Whatever the escape pass changes, a long cell gets changed too: the test
// that lets a cell through untouched never passes a byte the pass would
// escape, at any place of the cell.
TEST(CellMarkup, NoByteTheEscapesChangeSlipsPastTheFastPath) {
    const struct {
        const char* writer;
        Converted (*convert)(Fixture&, std::string_view);
        void (*escape)(std::string_view, std::string&);
    } writers[] = {{"html", Html, EscapeHtml}, {"rtf", Rtf, EscapeRtf}};
    Fixture f;
    for (const auto& w : writers) {
        for (int c = 0; c < 256; ++c) {
            if (c == '@' || c == '%') continue;
            for (std::size_t at : {0u, 7u, 15u, 16u, 31u, 32u}) {
                std::string cell(33, 'x');
                cell[at] = static_cast<char>(c);
                std::string expected;
                w.escape(cell, expected);
                EXPECT_EQ(w.convert(f, cell).html, expected) << w.writer << " byte " << c << " at " << at;
            }
        }
    }
    EXPECT_TRUE(f.fp.msg.shown.empty());
}

// The writers take shortcuts for the common cells: a cell with nothing to
// convert is copied, one that only needs escaping is escaped straight into
// the line, a cell without a field skips the field pass, short cells are
// searched byte by byte and long ones a block at a time, and a text row is
// converted only from its first cell with markup. Each gives exactly what
// the passes one after the other give: escape, fields, control codes.
std::string TextOf(Fixture& f);

class PassesInTurn final : public ControlSink {
public:
    PassesInTurn(std::string& out, const WriterForms* forms) : out_(out), forms_(forms) {}
    void Text(std::string_view t) override { out_.append(t); }
    void Toggle(Highlight h, bool on) override {
        if (forms_) out_.append((on ? forms_->on : forms_->off)[static_cast<std::size_t>(h)]);
    }
    void Value() override {
        if (!forms_) out_.push_back('=');
    }

private:
    std::string& out_;
    const WriterForms* forms_;
};

Converted ByThePasses(const WriterForms& forms, const FieldForms& fields, std::string_view cell) {
    std::string escaped, expanded, out;
    forms.escape(cell, escaped);
    long long width = static_cast<long long>(cell.size()) + FieldPass(escaped, fields, expanded);
    PassesInTurn sink(out, &forms);
    ControlResult r = ControlPass(expanded, LonePercent::Drop, sink);
    for (Highlight h : kCloseOrder) {
        if (r.open[static_cast<std::size_t>(h)]) out.append(forms.off[static_cast<std::size_t>(h)]);
    }
    return {out, width + r.width_change};
}

std::string TextByThePasses(std::string_view cell) {
    std::string expanded, out;
    FieldPass(cell, FieldForms{}, expanded);
    PassesInTurn sink(out, nullptr);
    ControlPass(expanded, LonePercent::Keep, sink);
    return out;
}

TEST(CellMarkup, ShortcutsGiveWhatThePassesInTurnGive) {
    const char* cores[] = {
        "x<y",
        "a&b",
        "\"q\"",
        "a>b",
        "caf\xE9",
        "\xA3"
        "12",
        "\x80\x81\xA0\xFF",
        "\x01\x7F\t",
        "C:\\d{x}",
        "%H2%bold%H2%",
        "%V%123",
        "50%PC%",
        "7%",
        "%",
        "%%",
        "%PC",
        "a%H1%<b>%H1%&",
        "@P@",
        "@D@",
        "@T@",
        "@@",
        "@@@",
        "@P@@D@",
        "@X@",
        "@",
        "a@b%H4%c",
        "%H2%@T@%H2%<",
        "\xE9@P@\xE9",
        "%@P@%",
        "@%H2%@",
        "12.50",
    };
    Fixture f;
    f.doc.OptDE = "T<&>\xE9";
    const struct {
        const char* name;
        const WriterForms& forms;
        Converted (*convert)(Fixture&, std::string_view);
    } writers[] = {{"html", HtmlForms(), Html}, {"rtf", RtfForms(), Rtf}};
    for (const auto& w : writers) {
        std::string title, date = w.forms.date(w.forms.date_needs_today ? f.fp.process.LongDate() : "");
        w.forms.escape(f.doc.OptDE, title);
        FieldForms fields{w.forms.page,
                          date,
                          title,
                          w.forms.page_width,
                          w.forms.date_width,
                          static_cast<long long>(f.doc.OptDE.size())};
        for (const char* core : cores) {
            // Alone, and padded before and after across the lengths where
            // the searches change their way.
            for (std::size_t before : {0u, 1u, 15u, 16u, 29u, 40u}) {
                for (std::size_t after : {0u, 2u, 17u, 33u}) {
                    std::string cell = std::string(before, 'x') + core + std::string(after, 'y');
                    Converted got = w.convert(f, cell), want = ByThePasses(w.forms, fields, cell);
                    EXPECT_EQ(got.html, want.html) << w.name << " " << cell;
                    EXPECT_EQ(got.width, want.width) << w.name << " " << cell;
                    EXPECT_EQ(CellToText(cell), TextByThePasses(cell)) << cell;
                }
            }
        }
    }
    EXPECT_TRUE(f.fp.msg.shown.empty());

    // Rows of four cells with one marked cell in each place, and rows
    // marked in two places, in runs of four after a plain row, so that
    // each place comes both first and later in a run: each row converts
    // cell by cell.
    std::string doc, want;
    const char* plain = "plain text of some length";
    std::vector<std::vector<std::string>> rows;
    for (std::size_t k = 0; k < std::size(cores); ++k) {
        rows.emplace_back(4, plain);
        for (std::size_t i = 0; i < 4; ++i) {
            std::size_t at = (i + k) % 4;
            std::vector<std::string> row(4, plain);
            row[at] = cores[k];
            if (at > 0 && k % 2 == 1) row[0] = std::string(cores[k]) + plain;
            rows.push_back(row);
        }
    }
    for (int col = 0; col < 4; ++col) {
        doc += "%CO:" + std::string(1, static_cast<char>('A' + col)) + ",30,0%";
        for (const auto& row : rows) doc += row[static_cast<std::size_t>(col)] + "\n";
    }
    for (const auto& row : rows) {
        for (std::size_t col = 0; col < 4; ++col) want += TextByThePasses(row[col]) + (col < 3 ? "\t" : "\r\n");
    }
    Fixture g;
    g.Load(doc);
    EXPECT_EQ(TextOf(g), want);
}

// A text escapes as its bytes one by one, at any length: every byte at
// every place of texts shorter and longer than the pieces the escape
// builds at a time.
TEST(CellMarkup, EscapeOfATextIsTheEscapesOfItsBytes) {
    for (auto escape : {EscapeHtml, EscapeRtf}) {
        std::string one[256];
        for (int c = 0; c < 256; ++c) escape(std::string(1, static_cast<char>(c)), one[c]);
        int wrong = 0;
        for (std::size_t length : {1u, 63u, 64u, 65u, 130u}) {
            for (int c = 0; c < 256; ++c) {
                std::string text, want;
                for (std::size_t i = 0; i < length; ++i) {
                    // The byte under test, bytes with long forms, plain ones.
                    auto b = static_cast<unsigned char>(i % 3 == 0 ? c : i % 3 == 1 ? 128 + i % 32 : 'a' + i % 26);
                    text.push_back(static_cast<char>(b));
                    want += one[b];
                }
                std::string got = "before";
                escape(text, got);
                if (got != "before" + want && ++wrong <= 5) ADD_FAILURE() << "byte " << c << " length " << length;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
    std::string html, rtf;
    EscapeHtml("\x80<\xA0", html);
    EscapeRtf("\x80{\xA0", rtf);
    EXPECT_EQ(html, "&#8364;&lt;&#160;");
    EXPECT_EQ(rtf, "\\'80\\{\\~");
}

// The markup search finds what the library search finds, on both sides
// of the length where it changes its way, from every place.
TEST(CellMarkup, ByteSearchFindsTheFirstFromAnyPlace) {
    int wrong = 0;
    for (std::size_t length : {0u, 1u, 2u, 31u, 32u, 33u, 40u, 64u, 70u}) {
        for (std::size_t at = 0; at <= length; ++at) {
            std::string text(length, 'x');
            if (at < length) text[at] = '%';
            if (at + 5 < length) text[at + 5] = '%';
            for (std::size_t from = 0; from <= length + 1; ++from) {
                std::size_t want = std::string_view(text).find('%', from);
                if (FindByte(text, '%', from) != want && ++wrong <= 5) {
                    ADD_FAILURE() << "length " << length << ", '%' at " << at << ", from " << from;
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0);
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
    EXPECT_EQ(HtmlOf(f), std::string(kHead) + "<br>\r\nHello \r\nworld<br>\r\n<br>\r\n<pre>A    B</pre>" + kTail);
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
         "<br>\r\none<br>\r\n<pre>    b</pre>"},
        {"a table row after text without a leading space", "%CO:A,4,0%one\nx\n%CO:B,4,0%\nb\n",
         "<br>\r\none<pre>x   b</pre>"},
        {"table rows inside pre, then text closes it", "%CO:A,4,0%a\nc\nafter\n%CO:B,4,0%b\nd\n",
         "<br>\r\n<pre>a   b\r\nc   d\r\n</pre>after"},
        {"a document that ends inside pre closes it", "%CO:A,4,0%x\ny\n%CO:B,4,0%1\n2\n",
         "<br>\r\n<pre>x   1\r\ny   2</pre>"},
        {"a block closed by text is not closed again", "%CO:A,4,0%x\nt\n%CO:B,4,0%1\n",
         "<br>\r\n<pre>x   1\r\n</pre>t"},
        {"the euro sign and quotes in a long row", "%CO:A,40,0%It costs 5\x80 \x93more\x94 than before\n",
         "<br>\r\nIt costs 5&#8364; &#8220;more&#8221; than before"},
        {"an empty first cell padded to a later column", "%CO:A,4,0%\n%CO:B,4,0%b\n", "<br>\r\n<pre>    b</pre>"},
        {"visible content in any later column makes a table row", "%CO:A,2,0%\n%CO:B,2,0%\n%CO:C,2,0%z\n",
         "<br>\r\n<pre>    z</pre>"},
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
    EXPECT_EQ(HtmlOf(f), "<html>\r\n<head>\r\n<title>a&lt;/title&gt;&lt;script&gt;</title>\r\n</head>\r\n<body>\r\n" +
                             std::string(kTail));
}

RtfMetrics Metrics() {
    RtfMetrics m;
    m.zero_width = 120;
    m.zero_height = 225;
    m.page_width = 11906;
    m.page_height = 16838;
    m.printable_width = 11338;
    return m;
}

std::string RtfOf(Fixture& f, const RtfMetrics& m) {
    StringSink s;
    WriteRTFTo(f.fp.sys, f.doc, m, s);
    return s.bytes;
}

// What follows the page layout, header and footer: the rows and the end.
std::string RtfBody(const std::string& rtf) {
    std::size_t footer = rtf.find("{\\footer");
    if (footer == std::string::npos) footer = rtf.find("\\footery");
    return rtf.substr(rtf.find("\r\n", footer) + 2);
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
              "\\paperw11906\\paperh16838\r\n"
              "\\margl240\r\n"
              "\\margr284\r\n"
              "\\margt675\r\n"
              "\\margb2475\r\n"
              "{\\pgnstart0}\r\n"
              "\\headery450\r\n"
              "\\footery450\r\n"
              "\\par\r\n}");
}

TEST(RtfExport, LinesFromTheFontPrinterAndOptions) {
    Fixture f;
    f.Load(
        "%OP%DEMy %H2%title%H2%\n%OP%HE/Page @P@\n%OP%FO/@D@ {x}\n%OP%LM6\n%OP%TM1\n%OP%HM0\n%OP%BM3\n"
        "%OP%FM1\n%OP%PS5\n%CO:A,6,0%one\ntwo\n%CO:B,4,0%\n\n\\b\n");
    RtfMetrics m = Metrics();
    m.font_name = "Lucida Console";
    m.font_size = 10;
    m.zero_width = 100.5f;
    m.zero_height = 200;
    m.page_width = 12240;
    m.page_height = 15840;
    std::string rtf = RtfOf(f, m);
    auto has = [&](const std::string& line) { return rtf.find("\r\n" + line + "\r\n") != std::string::npos; };
    EXPECT_TRUE(has("\\fs20"));
    EXPECT_TRUE(has("{\\info{\\title My \\b title\\b0 }}"));
    EXPECT_TRUE(has("\\paperw12240\\paperh15840"));
    EXPECT_TRUE(has("\\margl603"));
    EXPECT_TRUE(has("\\margr451"));
    EXPECT_TRUE(has("\\margt400"));
    EXPECT_TRUE(has("\\margb1000"));
    EXPECT_TRUE(has("{\\pgnstart5}"));
    EXPECT_TRUE(has("\\headery0"));
    EXPECT_TRUE(has("\\footery200"));
    // Tab stops in the middle and at the end of 12240 - 603 - 451 twips.
    EXPECT_TRUE(has("{\\header\\pard\\fs20\\tqc\\tx5593\\tqr\\tx11186 Page " + kPage + "\\par}")) << rtf;
    EXPECT_TRUE(has("{\\footer\\pard\\fs20\\tqc\\tx5593\\tqr\\tx11186 " + kDate + " \\{x\\}\\par}")) << rtf;
    EXPECT_EQ(RtfBody(rtf), "\\par\r\none \r\ntwo\\par\r\n      \\\\b\\par\r\n}");
}

// The title is a document property, where no field is shown: readers put
// a field's result there into the body.
TEST(RtfExport, TitleHasNoFields) {
    const struct {
        const char* title;
        const char* written;
    } cases[] = {
        {"Report @P@", "Report @P@"},
        {"@D@ minutes", "@D@ minutes"},
        {"%H2%Page%H2% @P@ of {x}", "\\b Page\\b0  @P@ of \\{x\\}"},
        {"a@@b", "a@b"},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.Load(std::string("%OP%DE") + c.title + "\n");
        std::string rtf = RtfOf(f, Metrics());
        EXPECT_NE(rtf.find(std::string("\r\n{\\info{\\title ") + c.written + "}}\r\n"), std::string::npos)
            << c.title << "\n"
            << rtf;
    }
}

// Header and footer as the printed page lays them out: the first
// character delimits the left, centre and right parts and is not shown.
TEST(RtfExport, HeaderAndFooterParts) {
    const std::string stops = "\\pard\\f0\\fs18\\tqc\\tx5691\\tqr\\tx11382 ";
    const struct {
        const char* text;
        std::string group;  // between "{\header" and "}"
    } cases[] = {
        {"//Zprom documentation - @P@//", stops + "\\tab Zprom documentation - " + kPage + "\\par"},
        {"/Report/@D@/Page @P@", stops + "Report\\tab " + kDate + "\\tab Page " + kPage + "\\par"},
        {"/2024 accounts//", stops + "2024 accounts\\par"},
        {"/  indented/", stops + "  indented\\par"},
        {"///right", stops + "\\tab \\tab right\\par"},
        {"Title", stops + "itle\\par"},
        {"|a/b|c", stops + "a/b\\tab c\\par"},
        {"/%H2%Bold/centre/", stops + "\\b Bold\\b0 \\tab centre\\par"},
        {"/a{b}\\/@@/", stops + "a\\{b\\}\\\\\\tab @\\par"},
        {"/@T@//", stops + "T\\par"},
    };
    Fixture none;
    none.Load("%OP%DET\n%OP%HE\n%CO:A,4,0%a\n");
    EXPECT_EQ(RtfOf(none, Metrics()).find("{\\header"), std::string::npos);
    EXPECT_EQ(RtfOf(none, Metrics()).find("{\\footer"), std::string::npos);
    for (const auto& c : cases) {
        Fixture f;
        f.Load(std::string("%OP%DET\n%OP%LM2\n%OP%HE") + c.text + "\n%OP%FO" + c.text + "\n");
        std::string rtf = RtfOf(f, Metrics());
        EXPECT_NE(rtf.find("\r\n{\\header" + c.group + "}\r\n"), std::string::npos) << c.text << "\n" << rtf;
        EXPECT_NE(rtf.find("\r\n{\\footer" + c.group + "}\r\n"), std::string::npos) << c.text;
    }
}

// Joined rows keep the space that ends a control word, so the joining
// space still separates words; a table row after text starts a paragraph.
TEST(RtfExport, RowLayouts) {
    const struct {
        const char* name;
        const char* doc;
        std::string body;
    } cases[] = {
        {"a bold row joined to the next", "%CO:A,40,0%%H2%1. Introduction%H2%\n%H2%2. Memory%H2%\n",
         "\\par\r\n\\b 1. Introduction\\b0  \r\n\\b 2. Memory\\b0 \\par\r\n}"},
        {"a highlight left open at the end of a row", "%CO:A,40,0%%H2%open\nnext\n",
         "\\par\r\n\\b open\\b0  \r\nnext\\par\r\n}"},
        {"trailing spaces after a control word", "%CO:A,40,0%x%H6%2%H6%   \ny\n",
         "\\par\r\nx\\up 2\\up0  \r\ny\\par\r\n}"},
        {"a page field ends in a brace", "%CO:A,40,0%page @P@\nnext\n",
         "\\par\r\npage " + kPage + " \r\nnext\\par\r\n}"},
        {"an escaped backslash is no control word", "%CO:A,40,0%C:\\b \nnext\n", "\\par\r\nC:\\\\b \r\nnext\\par\r\n}"},
        {"a hex character is no control word", "%CO:A,40,0%caf\xE9  \nnext\n", "\\par\r\ncaf\\'E9 \r\nnext\\par\r\n}"},
        {"plain text loses its trailing spaces", "%CO:A,40,0%plain   \nnext\n", "\\par\r\nplain \r\nnext\\par\r\n}"},
        {"a rule line, then a table row", "%CO:A,7,0%-----\nClient\n%CO:B,6,0%\nServer\n",
         "\\par\r\n-----\\par\r\nClient Server\\par\r\n}"},
        {"text after a table row", "%CO:A,6,0%a\nafter\n%CO:B,6,0%b\n", "\\par\r\na     b\\par\r\nafter\\par\r\n}"},
        {"table rows one after another", "%CO:A,6,0%a\nc\n%CO:B,6,0%b\nd\n",
         "\\par\r\na     b\\par\r\nc     d\\par\r\n}"},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.Load(std::string("%OP%DET\n") + c.doc);
        EXPECT_EQ(RtfBody(RtfOf(f, Metrics())), c.body) << c.name;
    }
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
    EXPECT_EQ(f.fp.msg.Texts(),
              (std::vector<std::string>{"Error 76 'Path not found' at line 1 in WriteFileTxt",
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
    EXPECT_EQ(f.fp.msg.Texts(),
              (std::vector<std::string>{"Error 14 'Out of string space' at line 3 in WriteFileHTML",
                                        "Error 14 'Out of string space' at line 3 in WriteFileHTML"}));
}

}  // namespace
}  // namespace tw
