// Find over the shown text of the cells, the found-text band on the page,
// and the writers over a range of rows (what Copy puts on the clipboard).
#include <gtest/gtest.h>

#include "export/html_export.h"
#include "export/text_export.h"
#include "platform/fake/recording_canvas.h"
#include "support.h"
#include "viewer/page.h"
#include "viewer/search.h"
#include "viewer/zoom.h"

namespace tw {
namespace {

using test::Fixture;

// The same cells, but the search may not take a cell's stored bytes for
// its shown text: every cell is reduced and searched. The byte scan must
// find exactly what this finds.
class EveryCellReduced : public ShownCells {
public:
    explicit EveryCellReduced(const DocumentModel& doc) : doc_(doc) {}
    std::string Marked(int column, int row) const override { return std::string(doc_.Cells(column, row)); }

private:
    const DocumentModel& doc_;
};

TEST(ShownText, MarkupRemovedAsThePageDrawsIt) {
    const struct {
        const char* cell;
        const char* shown;
    } cases[] = {
        {"plain", "plain"},
        {"wo%H2%rd%H2%", "word"},
        {"50%PC% off", "50% off"},
        {"%V%3+4", "3+4"},
        {"total 50% rise", "total 50% rise"},  // a lone "%" keeps the rest
        {"@D@ and @@", "@D@ and @@"},          // fields show as written
        {"%H3%x%R%y", "xy"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(WithoutMarkup(c.cell), c.shown) << c.cell;
}

// Rows 1 to 6 of two columns; "@" marks where the cases start from.
const char* kDocument =
    "%CO:A,10,72%Apple pie\n"
    "wo%H2%rd%H2% split by a code\n"
    "%H2%H2 is a code, not text\n"
    "Cr\xC8me br\xFBl\xE9"
    "e\n"
    "apple and APPLE\n"
    "last 50%PC%\n"
    "%CO:B,10,72%b1\n"
    "apple in B\n"
    "b3\n"
    "b4\n";

TEST(Find, ForwardAndBackInRowOrder) {
    const struct {
        const char* needle;
        bool match_case, forward;
        TextPlace from;
        FoundText expected;  // row 0: none
    } cases[] = {
        {"apple", false, true, {1, 1, 0}, {1, 1, 0, 5}},
        {"apple", true, true, {1, 1, 0}, {2, 2, 0, 5}},   // row 2 column B comes before row 5
        {"apple", false, true, {1, 1, 1}, {2, 2, 0, 5}},  // past the start of row 1's match
        {"apple", false, true, {2, 2, 1}, {5, 1, 0, 5}},
        {"apple", false, true, {5, 1, 1}, {5, 1, 10, 5}},  // the second in the same cell
        {"APPLE", true, true, {1, 1, 0}, {5, 1, 10, 5}},
        {"apple", false, true, {5, 1, 11}, {0, 0, 0, 0}},
        {"apple", false, false, {6, 1, 0}, {5, 1, 10, 5}},
        {"apple", false, false, {5, 1, 10}, {5, 1, 0, 5}},
        {"apple", false, false, {5, 1, 0}, {2, 2, 0, 5}},
        {"apple", false, false, {2, 2, 0}, {1, 1, 0, 5}},
        {"apple", false, false, {1, 1, 0}, {0, 0, 0, 0}},
        {"word", false, true, {1, 1, 0}, {2, 1, 0, 4}},   // a code inside the word
        {"h2 is", false, true, {1, 1, 0}, {3, 1, 0, 5}},  // the text, not the code before it
        {"%H2", false, true, {1, 1, 0}, {0, 0, 0, 0}},    // codes are not shown
        {"50%", false, true, {1, 1, 0}, {6, 1, 5, 3}},
        {"cr\xE8me BR\xDBL\xC9"
         "E",
         false,
         true,
         {1, 1, 0},
         {4, 1, 0, 12}},  // accented capitals fold
        {"cr\xE8me", true, true, {1, 1, 0}, {0, 0, 0, 0}},
        {"b4", false, false, {99, 1, 0}, {4, 2, 0, 2}},
        {"", false, true, {1, 1, 0}, {0, 0, 0, 0}},
    };
    Fixture f;
    f.Load(kDocument);
    PlainCells plain(f.doc);
    EveryCellReduced reduced(f.doc);
    for (const auto& c : cases) {
        FindRequest r{c.needle, c.match_case, c.forward};
        std::optional<FoundText> fast = FindFrom(f.doc, plain, r, c.from);
        std::optional<FoundText> slow = FindFrom(f.doc, reduced, r, c.from);
        std::string label = std::string(c.needle) + (c.forward ? " forward from " : " back from ") +
                            std::to_string(c.from.row) + "," + std::to_string(c.from.column);
        EXPECT_EQ(fast, slow) << label;
        if (c.expected.row == 0) {
            EXPECT_FALSE(fast.has_value()) << label;
        } else {
            ASSERT_TRUE(fast.has_value()) << label;
            EXPECT_EQ(*fast, c.expected) << label;
        }
    }
}

TEST(Find, ContinuesOnceFromTheOtherEnd) {
    const struct {
        const char* needle;
        bool forward;
        TextPlace from;
        int row, column;
        bool wrapped;
    } cases[] = {
        {"b1", true, {3, 1, 0}, 1, 2, true},        {"b4", false, {2, 1, 0}, 4, 2, true},
        {"b3", true, {3, 1, 0}, 3, 2, false},       {"nowhere", true, {3, 1, 0}, 0, 0, false},
        {"nowhere", false, {3, 1, 0}, 0, 0, false},
    };
    Fixture f;
    f.Load(kDocument);
    PlainCells plain(f.doc);
    for (const auto& c : cases) {
        FindOutcome o = FindText(f.doc, plain, FindRequest{c.needle, false, c.forward}, c.from);
        EXPECT_EQ(o.wrapped, c.wrapped) << c.needle;
        if (c.row == 0) {
            EXPECT_FALSE(o.match.has_value()) << c.needle;
            continue;
        }
        ASSERT_TRUE(o.match.has_value()) << c.needle;
        EXPECT_EQ(o.match->row, c.row) << c.needle;
        EXPECT_EQ(o.match->column, c.column) << c.needle;
    }
}

TEST(Find, TheByteScanAgreesWithEveryCellReducedOnALargerDocument) {
    // Thousands of rows, so the scan crosses its batches; markup in every
    // seventh cell, the word in a few places, one of them split by a code.
    std::string doc = "%CO:A,8,72%";
    for (int r = 1; r <= 9000; ++r) {
        if (r == 4097) doc += "ne%H1%edle\n";
        else if (r % 7 == 0) doc += "%H2%r" + std::to_string(r) + "%H2%\n";
        else doc += "r" + std::to_string(r) + "\n";
    }
    doc += "%CO:B,8,72%";
    for (int r = 1; r <= 9000; ++r) doc += (r == 8191 || r == 12 ? "a NEEDLE" : "b") + std::to_string(r) + "\n";
    Fixture f;
    f.Load(doc);
    PlainCells plain(f.doc);
    EveryCellReduced reduced(f.doc);
    for (bool forward : {true, false}) {
        for (int row : {1, 12, 13, 4096, 4097, 4098, 8191, 9000, 9001}) {
            FindRequest r{"needle", false, forward};
            EXPECT_EQ(FindFrom(f.doc, plain, r, {row, 1, 0}), FindFrom(f.doc, reduced, r, {row, 1, 0}))
                << forward << " " << row;
        }
    }
    auto m = FindFrom(f.doc, plain, {"needle", false, true}, {13, 1, 0});
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->row, 4097);
    EXPECT_EQ(m->column, 1);
}

// Records the bands painted behind the text.
class BandCanvas : public fake::RecordingCanvas {
public:
    struct Shaded {
        double x, y, width;
        Band band;
    };
    std::vector<Shaded> shaded;
    void Shade(double x, double y, double width, double, Band band) override { shaded.push_back({x, y, width, band}); }
};

TEST(DrawPage, TheFoundTextAndTheSelectedRowsGetTheirBands) {
    Fixture f;
    f.Load("%CO:A,10,72%first\nab%H2%cd%H2%ef\nthird\n%CO:B,5,72%\nxyz\n");
    BandCanvas c;
    ScriptFlags flags;
    PageMarks marks;
    marks.found_row = 2;
    marks.found_column = 1;
    marks.found = ShownRange{1, 3};  // "bcd": one plain, two bold characters
    marks.selected_first = 3;
    marks.selected_last = 3;
    DrawPage(c, f.doc, 1, 10, flags, marks);
    ASSERT_EQ(c.shaded.size(), 3u);
    // Column A starts at 2 widths of "A" (108 twips at 9 points).
    EXPECT_DOUBLE_EQ(c.shaded[0].x, 3 * 108.0);
    EXPECT_DOUBLE_EQ(c.shaded[0].width, 108.0);
    EXPECT_DOUBLE_EQ(c.shaded[0].y, 225.0);
    EXPECT_DOUBLE_EQ(c.shaded[1].x, 4 * 108.0);
    EXPECT_DOUBLE_EQ(c.shaded[1].width, 2 * 108.0);
    EXPECT_EQ(c.shaded[1].band, Canvas::Band::Found);
    EXPECT_EQ(c.shaded[2].band, Canvas::Band::Selected);
    EXPECT_DOUBLE_EQ(c.shaded[2].y, 2 * 225.0);
    // The text is drawn whole all the same.
    EXPECT_EQ(c.Text(), "firstabcdefxyzthird");
}

TEST(WritersOverRows, CopyWritesTheRowsAsTheExportsDo) {
    Fixture f;
    f.Load("%OP%DETitle\n%CO:A,6,72%one\n%H2%two%H2%\nthree\nfour\n%CO:B,6,72%1\n2\n3\n4\n");
    const struct {
        RowRange rows;
        const char* text;
        const char* html_rows;
        const char* absent;  // a cell of a row outside the range
    } cases[] = {
        {{2, 3}, "two\t2\r\nthree\t3\r\n", "<br>\r\n<pre><b>two</b>   2\r\nthree 3", "four"},
        {{4, 4}, "four\t4\r\n", "<br>\r\n<pre>four  4", "three"},
        {{3, 99}, "three\t3\r\nfour\t4\r\n", "<br>\r\n<pre>three 3\r\nfour  4", "two"},
        {{0, 1}, "one\t1\r\n", "<br>\r\n<pre>one   1", "two"},
    };
    for (const auto& c : cases) {
        StringSink text, html;
        WriteText(f.doc, text, nullptr, c.rows);
        WriteHTML(f.fp.sys, f.doc, html, nullptr, c.rows);
        EXPECT_EQ(text.bytes, c.text) << c.rows.first;
        std::string head = "<html>\r\n<head>\r\n<title>Title</title>\r\n</head>\r\n<body>\r\n";
        ASSERT_EQ(html.bytes.substr(0, head.size()), head);
        EXPECT_NE(html.bytes.find(c.html_rows, head.size()), std::string::npos) << html.bytes;
        EXPECT_EQ(html.bytes.find(c.absent), std::string::npos) << html.bytes;
    }
    // Without a range, the whole document as before.
    StringSink all;
    WriteText(f.doc, all);
    EXPECT_EQ(all.bytes, "one\t1\r\ntwo\t2\r\nthree\t3\r\nfour\t4\r\n");
}

TEST(Zoom, StepsFromHalfToFourTimes) {
    const struct {
        double from;
        int steps;
        double to;
    } cases[] = {
        {1.0, 1, 1.1},   {1.0, -1, 0.9},   {4.0, 1, 4.0},  {0.5, -1, 0.5},
        {1.0, 100, 4.0}, {1.0, -100, 0.5}, {1.3, 0, 1.25}, {0.67, 1, 0.8},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(ZoomStep(c.from, c.steps), c.to) << c.from << " " << c.steps;
}

}  // namespace
}  // namespace tw
