#include <gtest/gtest.h>

#include <algorithm>

#include "platform/fake/recording_canvas.h"
#include "support.h"
#include "viewer/page.h"

namespace tw {
namespace {

using fake::RecordingCanvas;

struct Cell {
    std::string text;
    bool bold, italic, underline;
};

std::vector<Cell> Draw(const std::string& cell, ScriptFlags& flags, RecordingCanvas& c) {
    c.drawn.clear();
    DrawMarkedCell(c, cell, flags);
    std::vector<Cell> out;
    for (auto& d : c.drawn) out.push_back({d.text, d.bold, d.italic, d.underline});
    return out;
}

TEST(DrawCell, WhatACellDraws) {
    const struct {
        const char* cell;
        std::string drawn;  // texts joined with "|"
    } cases[] = {
        {"a%b%c", "a|c"},
        {"100%% done", "100| done"},
        {"%PC%5", "%|5"},
        {"%h1%x", "x"},
        {"@D@ and @P@ and @@", "@D@ and @P@ and @@"},
        {"50% rise", "50% rise"},
        {"%H3%x%R%y", "x|y"},
        {"", ""},
    };
    for (const auto& c : cases) {
        RecordingCanvas canvas;
        ScriptFlags flags;
        std::string joined;
        for (const auto& d : Draw(c.cell, flags, canvas)) {
            joined += (joined.empty() ? "" : "|") + d.text;
            EXPECT_FALSE(d.underline) << c.cell;
        }
        EXPECT_EQ(joined, c.drawn) << c.cell;
    }
}

TEST(DrawCell, HighlightsToggleTheFontAndResetAtTheEnd) {
    RecordingCanvas c;
    ScriptFlags flags;
    auto d = Draw("%H2%bold%H2% plain %H4%it%H1%both", flags, c);
    ASSERT_EQ(d.size(), 4u);
    EXPECT_TRUE(d[0].bold);
    EXPECT_FALSE(d[1].bold);
    EXPECT_TRUE(d[2].italic && !d[2].underline);
    EXPECT_TRUE(d[3].italic && d[3].underline);
    EXPECT_FALSE(c.FontBold() || c.FontItalic() || c.FontUnderline());
}

TEST(DrawCell, ALonePercentLeavesTheHighlightsOnForTheNextCells) {
    RecordingCanvas c;
    ScriptFlags flags;
    auto d = Draw("%H2%total 50%", flags, c);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].text, "total 50%");
    EXPECT_TRUE(d[0].bold);
    EXPECT_TRUE(Draw("next", flags, c)[0].bold);  // still bold, then reset
    EXPECT_FALSE(Draw("after", flags, c)[0].bold);
    // The same code switches off what an earlier cell left on.
    Draw("%H2%x 5%", flags, c);
    auto off = Draw("%H2%plain", flags, c);
    EXPECT_FALSE(off[0].bold);
}

TEST(DrawCell, SubscriptIsSmallerAndLowerThenRestored) {
    RecordingCanvas c;
    ScriptFlags flags;
    c.SetCurrentY(1000);
    DrawMarkedCell(c, "x%H5%2", flags);
    ASSERT_EQ(c.drawn.size(), 2u);
    EXPECT_DOUBLE_EQ(c.drawn[1].y, 1000 + 225.0 / 3);  // a third of the letter height of 9 points
    EXPECT_FLOAT_EQ(c.drawn[1].size, 6);
    EXPECT_DOUBLE_EQ(c.CurrentY(), 1000);  // back on the baseline
    EXPECT_FLOAT_EQ(c.FontSize(), 9);
    EXPECT_FALSE(flags.InSubscript);

    RecordingCanvas s;
    ScriptFlags g;
    s.SetCurrentY(1000);
    DrawMarkedCell(s, "E=mc%H6%2%H6%!", g);
    ASSERT_EQ(s.drawn.size(), 3u);
    EXPECT_DOUBLE_EQ(s.drawn[1].y, 1000 - 225.0 / 4);
    EXPECT_DOUBLE_EQ(s.drawn[2].y, 1000);
    EXPECT_FLOAT_EQ(s.drawn[2].size, 9);
}

TEST(DrawPage, RowsAndColumnsAtTheirPositions) {
    test::Fixture f;
    f.Load("%CO:A,10,72%one\n%H5%2\n%CO:B,5,72%b1\nb2\n");
    RecordingCanvas c;
    ScriptFlags flags;
    DrawPage(c, f.doc, 1, 20, flags);
    ASSERT_EQ(c.drawn.size(), 4u);
    EXPECT_EQ(c.clears, 1);
    // Column 1 at LM x width of "A", column 2 at (LM + 10) x that width.
    EXPECT_DOUBLE_EQ(c.drawn[0].x, 2 * 108.0);
    EXPECT_DOUBLE_EQ(c.drawn[1].x, 12 * 108.0);
    EXPECT_DOUBLE_EQ(c.drawn[0].y, 0);
    // Row 2: the subscript is lowered, the next column on the row's baseline.
    EXPECT_EQ(c.drawn[2].text, "2");
    EXPECT_DOUBLE_EQ(c.drawn[2].y, 225 + 75);
    EXPECT_EQ(c.drawn[3].text, "b2");
    EXPECT_DOUBLE_EQ(c.drawn[3].y, 225);
    EXPECT_DOUBLE_EQ(c.drawn[3].x, 12 * 108.0);
}

TEST(DrawPage, AColumnWithoutStartPositionDrawsAtTheLeftEdge) {
    test::Fixture f;
    f.Load("plain line\n");
    RecordingCanvas c;
    ScriptFlags flags;
    DrawPage(c, f.doc, 1, 5, flags);
    ASSERT_EQ(c.drawn.size(), 1u);
    EXPECT_DOUBLE_EQ(c.drawn[0].x, 0);
}

TEST(DrawPage, FromTheFirstRowShownToTheEndOfTheDocument) {
    std::string doc = "%CO:A,4,0%";
    for (int r = 1; r <= 12; ++r) doc += "r" + std::to_string(r) + "\n";
    test::Fixture f;
    f.Load(doc);
    RecordingCanvas c;
    ScriptFlags flags;
    DrawPage(c, f.doc, 5, 20, flags);
    std::vector<std::string> rows;
    for (auto& d : c.drawn) rows.push_back(d.text);
    EXPECT_EQ(rows, (std::vector<std::string>{"r5", "r6", "r7", "r8", "r9", "r10", "r11", "r12"}));
    EXPECT_DOUBLE_EQ(c.drawn.back().y, 7 * 225.0);

    // A page shows LargeChange + 1 rows.
    DrawPage(c, f.doc, 1, 2, flags);
    EXPECT_EQ(c.drawn.size(), 3u);
}

TEST(DrawCell, TextPastTheRightEdgeIsNeitherDrawnNorMeasured) {
    // 108 twips a character: the edge at 1080 leaves room for ten.
    const struct {
        double x;
        std::string cell;
        std::string drawn;  // texts joined with "|"
        bool bold_after;
    } cases[] = {
        {0, "abcdefghijklmnop", "abcdefghij", false},
        {0, "abcdefghij", "abcdefghij", false},
        {540, "abcdefghij", "abcde", false},
        {500, "abcdefghij", "abcdef", false},  // the character crossing the edge is drawn
        {1080, "abc", "", false},
        {2000, "abc", "", false},
        {0, "abcdefgh%H2%ijkl%H2%mn", "abcdefgh|ij", false},
        // Codes past the edge still toggle: a lone "%" keeps bold for the next cell.
        {0, "abcdefghijklm%H2%xyz%", "abcdefghij", true},
        {0, std::string(1000000, 'w'), "wwwwwwwwww", false},
    };
    for (const auto& c : cases) {
        RecordingCanvas canvas;
        canvas.right_edge = 1080;
        canvas.SetCurrentX(c.x);
        ScriptFlags flags;
        std::string joined;
        for (const auto& d : Draw(c.cell, flags, canvas)) joined += (joined.empty() ? "" : "|") + d.text;
        EXPECT_EQ(joined, c.drawn) << c.cell.substr(0, 30);
        EXPECT_EQ(canvas.FontBold(), c.bold_after) << c.cell.substr(0, 30);
        EXPECT_LE(canvas.measured_chars, 40) << c.cell.substr(0, 30);
        EXPECT_GE(canvas.CurrentX(), std::min(1080.0, c.x + 108.0 * static_cast<double>(c.drawn.size())) - 108)
            << c.cell.substr(0, 30);
    }
}

TEST(DrawCell, AFoundTextPastTheRightEdgeGetsNoBand) {
    const struct {
        std::size_t start;
        std::vector<double> shaded;
    } cases[] = {{2, {216}}, {9, {972}}, {10, {}}, {500000, {}}};
    for (const auto& c : cases) {
        RecordingCanvas canvas;
        canvas.right_edge = 1080;
        ScriptFlags flags;
        DrawMarkedCell(canvas, std::string(1000000, 'f'), flags, ShownRange{c.start, 3});
        EXPECT_EQ(canvas.shaded, c.shaded) << c.start;
        EXPECT_LE(canvas.measured_chars, 40) << c.start;
    }
}

TEST(DrawPage, AHugeCellShowsItsStartAndTheRowsAroundIt) {
    std::string huge(2000000, 'h');
    test::Fixture f;
    f.Load("%CO:A,4,0%r1\n" + huge + "\nr3\n%CO:B,4,0%s1\ns2\ns3\n");
    RecordingCanvas c;
    c.right_edge = 4000;
    ScriptFlags flags;
    DrawPage(c, f.doc, 1, 5, flags);
    std::vector<std::string> texts;
    for (auto& d : c.drawn) texts.push_back(d.text.size() > 10 ? d.text.substr(0, 3) + "..." : d.text);
    // Column B starts 4 characters after A: its cells draw over the huge one.
    EXPECT_EQ(texts, (std::vector<std::string>{"r1", "s1", "hhh...", "s2", "r3", "s3"}));
    // From the left margin of 2 characters to the edge: 35 and a bit.
    EXPECT_EQ(c.drawn[2].text.size(), 36u);
    EXPECT_LE(c.measured_chars, 1000);
}

}  // namespace
}  // namespace tw
