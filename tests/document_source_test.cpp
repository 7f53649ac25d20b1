// The loaded document as the formula engine's sheet.
#include <gtest/gtest.h>

#include "document/sheet_source.h"
#include "support.h"

namespace tw::formula {
namespace {

TEST(DocumentSource, CellsNamesAndValues) {
    test::Fixture f;
    f.Load(
        "%OP%NDrate,B2\n%OP%NDWho,\"Eric\"\n%OP%ND bad\n%OP%NDrate , B1 \n"
        "%CO:A,12,72%%R%%V%%D2%rate*2\n%H2%Total%H2%@P@\n\n%L%\n%V%who\n"
        "%CO:B,12,72%%V%5\n%V%%B%7\n");
    DocumentSource src(f.doc);
    EXPECT_EQ(src.Cols(), 2);
    EXPECT_EQ(src.Rows(), 5);
    struct Row {
        int col, row;
        CellInput::Kind kind;
        const char* text;
    };
    using K = CellInput::Kind;
    const Row rows[] = {
        {1, 1, K::Formula, "rate*2"}, {1, 2, K::Text, "Total"}, {1, 3, K::Blank, ""},    {1, 4, K::Blank, ""},
        {1, 5, K::Formula, "who"},    {2, 1, K::Formula, "5"},  {2, 2, K::Formula, "7"}, {2, 3, K::Blank, ""},
        {3, 1, K::Blank, ""},         {0, 1, K::Blank, ""},
    };
    for (const Row& r : rows) {
        CellInput in = src.Cell(r.col, r.row);
        EXPECT_EQ(in.kind, r.kind) << r.col << "," << r.row;
        EXPECT_EQ(in.text, r.text) << r.col << "," << r.row;
    }
    EXPECT_EQ(src.NameDefinition("rate"), "B1");  // the later definition wins, blanks trimmed
    EXPECT_EQ(src.NameDefinition("RATE"), "B1");
    EXPECT_EQ(src.NameDefinition("who"), "\"Eric\"");
    EXPECT_FALSE(src.NameDefinition("bad").has_value());

    Evaluator ev(src);
    EXPECT_EQ(ev.CellValue(1, 1), Value::Number(10));
    EXPECT_EQ(ev.CellValue(1, 2), Value::String("Total"));
    EXPECT_EQ(ev.CellValue(1, 5), Value::String("Eric"));
}

}  // namespace
}  // namespace tw::formula
