// Cell constructs parsed out of a cell text, and the raw option values.
#include <gtest/gtest.h>

#include "document/constructs.h"
#include "support.h"

namespace tw {
namespace {

TEST(CellConstructs, ParsedAnywhereContentKept) {
    struct Row {
        const char* text;
        bool number;
        CellAlign align;
        int decimals;
        bool floating, brackets, leading, trailing;
        int page_break;
        const char* content;
    };
    using A = CellAlign;
    const Row rows[] = {
        {"plain text", false, A::Default, -1, false, false, false, false, -1, "plain text"},
        {"%V%%R%%D2%sum(A1B2)", true, A::Right, 2, false, false, false, false, -1, "sum(A1B2)"},
        {"%C%%V%%D0%%LC%%TC%1+2", true, A::Centre, 0, false, false, true, true, -1, "1+2"},
        {"%L%%DF%%B%x", false, A::Left, -1, true, true, false, false, -1, "x"},
        {"%LCR%a/b/c", false, A::LeftCentreRight, -1, false, false, false, false, -1, "a/b/c"},
        {"%F%%JL%%JR%t", false, A::JustifyRight, -1, false, false, false, false, -1, "t"},
        {"%D3%%DF%x", false, A::Default, -1, true, false, false, false, -1, "x"},
        {"%DF%%D3%x", false, A::Default, 3, false, false, false, false, -1, "x"},
        {"%P0%", false, A::Default, -1, false, false, false, false, 0, ""},
        {"%P12%Title", false, A::Default, -1, false, false, false, false, 12, "Title"},
        // Highlights, %PC% and unknown codes stay; constructs after them still count.
        {"%H2%Total%H2% %R%", false, A::Right, -1, false, false, false, false, -1, "%H2%Total%H2% "},
        {"50%PC%%V%", true, A::Default, -1, false, false, false, false, -1, "50%PC%"},
        {"%XY%%V%1", true, A::Default, -1, false, false, false, false, -1, "%XY%1"},
        // A lone "%" or text between two "%" is content; a code may follow it.
        {"50% of 20%%R%", false, A::Right, -1, false, false, false, false, -1, "50% of 20%"},
        {"100% sure", false, A::Default, -1, false, false, false, false, -1, "100% sure"},
        {"%D%%D10%%P%%Px%", false, A::Default, -1, false, false, false, false, -1, "%D%%D10%%P%%Px%"},
        {"%v%%r%", false, A::Default, -1, false, false, false, false, -1, "%v%%r%"},
        {"%", false, A::Default, -1, false, false, false, false, -1, "%"},
        {"", false, A::Default, -1, false, false, false, false, -1, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        CellConstructs c = ParseCellConstructs(r.text);
        EXPECT_EQ(c.is_number, r.number);
        EXPECT_EQ(c.align, r.align);
        EXPECT_EQ(c.decimals, r.decimals);
        EXPECT_EQ(c.floating, r.floating);
        EXPECT_EQ(c.brackets, r.brackets);
        EXPECT_EQ(c.leading, r.leading);
        EXPECT_EQ(c.trailing, r.trailing);
        EXPECT_EQ(c.page_break, r.page_break);
        EXPECT_EQ(c.content, r.content);
        EXPECT_EQ(IsNumberCell(r.text), r.number);
    }
}

TEST(RawOptions, EveryKeyKeptGlobalsAndRecognitionUnchanged) {
    test::Fixture f;
    f.Load(
        "%OP%DPF\n%OP%TH,\n%OP%DFE\n%OP%NDrate,B2\n%OP%NDname,\"Eric\"\n%OP%LP( \n%OP%TH.\n"
        "%OP%X\n%CO:A,12,72%x\n");
    EXPECT_EQ(f.doc.OptDP, 0);  // "F" reads as no number, as before
    EXPECT_EQ(f.doc.OptLP, "( ");
    EXPECT_TRUE(f.doc.IsPipeDreamFile);
    ASSERT_EQ(f.doc.RawOptions.size(), 8u);
    EXPECT_EQ(f.doc.RawOptions[0], (std::pair<std::string, std::string>{"DP", "F"}));
    EXPECT_EQ(f.doc.RawOptions[3], (std::pair<std::string, std::string>{"ND", "rate,B2"}));
    EXPECT_EQ(f.doc.RawOptions[7], (std::pair<std::string, std::string>{"X", ""}));
    EXPECT_EQ(f.doc.RawOption("TH"), ".");  // the later line wins
    EXPECT_EQ(f.doc.RawOption("DF"), "E");
    EXPECT_EQ(f.doc.RawOption("LP"), "( ");
    EXPECT_FALSE(f.doc.RawOption("MB").has_value());

    // Unknown last key: recognition as before; a reload forgets the options.
    test::Fixture g;
    g.Load("%OP%TH,\n");
    EXPECT_FALSE(g.doc.IsPipeDreamFile);
    EXPECT_EQ(g.doc.RawOption("TH"), ",");
    g.Load("%OP%PL60\n%CO:A,12,72%x\n");
    EXPECT_FALSE(g.doc.RawOption("TH").has_value());
    EXPECT_EQ(g.doc.RawOption("PL"), "60");
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST(CellConstructs, LongAndRepetitiveCellsKeepEveryByte) {
    struct Row {
        std::string text;
        bool number;
        std::size_t content_size;
    };
    const Row rows[] = {
        {std::string(1000000, '%'), false, 1000000},
        {std::string(300000, 'x') + "%V%", true, 300000},
        {[] {
             std::string s;
             for (int i = 0; i < 100000; ++i) s += "%H2%%R%";
             return s;
         }(),
         false, 400000},
        {[] {
             std::string s;
             for (int i = 0; i < 100000; ++i) s += "%a %";
             return s;
         }(),
         false, 400000},
    };
    for (const Row& r : rows) {
        CellConstructs c = ParseCellConstructs(r.text);
        EXPECT_EQ(c.is_number, r.number);
        EXPECT_EQ(c.content.size(), r.content_size);
        EXPECT_EQ(IsNumberCell(r.text), r.number);
    }
}

}  // namespace
}  // namespace tw
