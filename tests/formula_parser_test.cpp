// The formula parser: the tree it builds for references and literals.
#include <gtest/gtest.h>

#include "formula/parser.h"

namespace tw::formula {
namespace {

TEST(FormulaParser, CellReferencesAndRanges) {
    struct Case {
        const char* text;
        Node::Kind kind;
        int c1, r1, c2, r2;
        bool abs_col, abs_row;
    };
    const Case cases[] = {
        {"A1", Node::Kind::Ref, 1, 1, 1, 1, false, false},
        {"z9", Node::Kind::Ref, 26, 9, 26, 9, false, false},
        {"AA1", Node::Kind::Ref, 27, 1, 27, 1, false, false},
        {"AZ3", Node::Kind::Ref, 52, 3, 52, 3, false, false},
        {"ZZ1", Node::Kind::Ref, 702, 1, 702, 1, false, false},
        {"AAA1", Node::Kind::Ref, 703, 1, 703, 1, false, false},
        {"$A$1", Node::Kind::Ref, 1, 1, 1, 1, true, true},
        {"AC$27", Node::Kind::Ref, 29, 27, 29, 27, false, true},
        {"$B7", Node::Kind::Ref, 2, 7, 2, 7, true, false},
        {"A1B10", Node::Kind::Range, 1, 1, 2, 10, false, false},
        {"AC6AD10", Node::Kind::Range, 29, 6, 30, 10, false, false},
        {"Q$5R$6", Node::Kind::Range, 17, 5, 18, 6, false, true},
        {"$B$5$C$5", Node::Kind::Range, 2, 5, 3, 5, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Formula f = ParseFormula(c.text);
        const Node& n = f.node(f.root);
        ASSERT_EQ(n.kind, c.kind);
        EXPECT_EQ(n.a.col, c.c1);
        EXPECT_EQ(n.a.row, c.r1);
        EXPECT_EQ(n.b.col, c.c2);
        EXPECT_EQ(n.b.row, c.r2);
        EXPECT_EQ(n.a.abs_col, c.abs_col);
        EXPECT_EQ(n.a.abs_row, c.abs_row);
    }
}

TEST(FormulaParser, WordsThatAreNotReferences) {
    struct Case {
        const char* text;
        Node::Kind kind;
        const char* name;
    };
    const Case cases[] = {
        {"apple", Node::Kind::Name, "apple"},
        {"box_1", Node::Kind::Name, "box_1"},
        {"_freda", Node::Kind::Name, "_freda"},
        {"Arg_1", Node::Kind::Name, "arg_1"},
        {"pi", Node::Kind::Call, "pi"},
        {"atan_2(1,2)", Node::Kind::Call, "atan_2"},
        {"c_add({1,2},{3,4})", Node::Kind::Call, "c_add"},
        {"SUM(A1A2)", Node::Kind::Call, "sum"},
        {"[fred]E17", Node::Kind::External, "fred"},
        {"[Totals]A1E100", Node::Kind::External, "Totals"},
        {"[costs]total", Node::Kind::External, "costs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Formula f = ParseFormula(c.text);
        const Node& n = f.node(f.root);
        ASSERT_EQ(n.kind, c.kind);
        EXPECT_EQ(n.text, c.name);
    }
}

TEST(FormulaParser, ColumnNames) {
    const std::pair<int, const char*> cases[] = {{1, "A"},   {26, "Z"},   {27, "AA"},  {52, "AZ"},
                                                 {53, "BA"}, {702, "ZZ"}, {703, "AAA"}};
    for (auto [col, name] : cases) EXPECT_EQ(ColumnName(col), name);
}

TEST(FormulaParser, NumbersKeepFifteenFigures) {
    const std::pair<const char*, double> cases[] = {
        {"2", 2.0},
        {"1.4e3", 1400.0},
        {"0.1", 0.1},
        {"1.76576", 1.76576},
        {"1.23456789012345678", 1.23456789012346},
        {"5E-3", 0.005},
    };
    for (auto [text, want] : cases) {
        Formula f = ParseFormula(text);
        const Node& n = f.node(f.root);
        ASSERT_EQ(n.kind, Node::Kind::Constant) << text;
        EXPECT_EQ(n.value.number(), want) << text;
    }
}

}  // namespace
}  // namespace tw::formula
