// Cell constructs parsed out of a cell text, and the raw option values.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

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

// Options without a global are read through the table: the last line, or
// the table's default; every line of ND.
TEST(RawOptions, ReadThroughTheTable) {
    test::Fixture f;
    f.Load("%OP%DPF\n%OP%TH,\n%OP%NDrate,B2\n%OP%TH.\n%OP%NDname,\"Eric\"\n%CO:A,12,72%x\n");
    EXPECT_EQ(f.doc.Option("DP"), "F");
    EXPECT_EQ(f.doc.Option("TH"), ".");
    EXPECT_EQ(f.doc.Option("DF"), "");
    EXPECT_EQ(f.doc.Option("PL"), "66");
    EXPECT_EQ(f.doc.OptionLines("ND"), (std::vector<std::string_view>{"rate,B2", "name,\"Eric\""}));
    EXPECT_TRUE(f.doc.OptionLines("DF").empty());
    EXPECT_THROW(f.doc.Option("XX"), std::logic_error);
    EXPECT_THROW(f.doc.OptionLines("N"), std::logic_error);
}

// Each key once; a key's global is of its kind; a default reads as itself.
TEST(RawOptions, TheTableOfKeys) {
    std::set<std::string> seen;
    for (const OptionKey& k : OptionKeys()) {
        EXPECT_TRUE(seen.insert(k.key).second) << k.key;
        EXPECT_EQ(FindOption(k.key), &k);
        switch (k.kind) {
        case OptionKind::Text:
        case OptionKind::Flag: EXPECT_TRUE(k.text != nullptr && k.number == nullptr) << k.key; break;
        case OptionKind::Number:
        case OptionKind::Places: EXPECT_TRUE(k.text == nullptr && k.number != nullptr) << k.key; break;
        case OptionKind::Separator:
        case OptionKind::DateOrder:
        case OptionKind::Name: EXPECT_FALSE(k.HasGlobal()) << k.key; break;
        }
        DocumentModel doc;
        EXPECT_EQ(doc.Option(k.key), k.default_value) << k.key;
    }
    for (const char* key : {"DF", "DP", "ND", "TH"}) EXPECT_NE(FindOption(key), nullptr) << key;
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
