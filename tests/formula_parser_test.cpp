// The formula parser: the tree it builds for references and literals.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "formula/parser.h"
#include "formula/shared_formulas.h"

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

// Shared parses must be the parser's own, node for node.
std::string Tree(const Formula& f) {
    std::string s = "root " + std::to_string(f.root) + " kids";
    for (int k : f.kids) s += " " + std::to_string(k);
    for (const Node& n : f.nodes) {
        s += "\n" + std::to_string(static_cast<int>(n.kind)) + " op" + std::to_string(static_cast<int>(n.op)) + " " +
             Describe(n.value) + " '" + n.text + "' " + (n.fn ? "fn" : "-");
        for (const CellRef& r : {n.a, n.b})
            s += " " + std::to_string(r.col) + (r.abs_col ? "$" : "") + "," + std::to_string(r.row) +
                 (r.abs_row ? "$" : "");
        s += " kids " + std::to_string(n.first_kid) + "+" + std::to_string(n.kid_count) + " " + std::to_string(n.cols) +
             "x" + std::to_string(n.rows);
    }
    return s;
}

TEST(SharedFormulas, GiveTheParsersTreeInEveryCell) {
    struct Use {
        const char* text;
        int col, row;
    };
    // Each group is one shape met in several cells, then near misses that
    // must not take its tree.
    const Use uses[] = {
        {"A1+B1", 3, 1},
        {"A2+B2", 3, 2},
        {"a3+b3", 3, 3},
        {"A4+B4", 3, 5},
        {"A4+B4", 4, 4},
        {"D1+C2", 4, 2},
        {"D2+C3", 4, 3},
        {"$A$1*B7", 3, 7},
        {"$A$1*B8", 3, 8},
        {"$A$1*B8", 3, 9},
        {"A$1+$B2", 5, 2},
        {"B$1+$B3", 6, 3},
        {"SUM(A1B3)", 4, 4},
        {"SUM(A2B4)", 4, 5},
        {"SUM(B2C4)", 5, 5},
        {"$A5B$3", 3, 6},
        {"$A2B$3", 3, 3},
        {"$A1B$3", 3, 2},
        {"\"A1\"&A1", 2, 1},
        {"\"A2\"&A2", 2, 2},
        {"\"a\"\"A1\"&A1", 2, 1},
        {"a_1+A1", 2, 2},
        {"a_1+A2", 2, 3},
        {"log10(A1)", 2, 1},
        {"log10(A2)", 2, 2},
        {"1e5+E5", 6, 5},
        {"1e5+E6", 6, 6},
        {"2A1", 2, 1},
        {"2A2", 2, 2},
        {"A1B", 2, 1},
        {"A2B", 2, 2},
        {"A1 B2", 3, 3},
        {"A2 B3", 3, 4},
        {"1.6.1991 6:30+A1", 2, 1},
        {"1.6.1991 6:30+A2", 2, 2},
        {"{A1,B1;1,2}", 3, 1},
        {"{A2,B2;1,2}", 3, 2},
        {"[doc]A1+A1", 2, 1},
        {"[doc]A2+A2", 2, 2},
        {"ABCDEF1+A1", 2, 1},
        {"ABCDEF2+A2", 2, 2},
        {"A1234567890+A1", 2, 1},
        {"A0+A1", 2, 1},
        {"if(A1>0,\"x\",B1)", 3, 1},
        {"if(A2>0,\"x\",B2)", 3, 2},
        {"A01+A1", 2, 1},
        {"A02+A2", 2, 2},
        {"\"open+A1", 2, 1},
        {"$A$1$B$2", 3, 3},
        {"$A$1$B$2", 4, 4},
        {"A1$", 2, 1},
        {"A2$", 2, 2},
    };
    SharedFormulas shared;
    for (const Use& u : uses)
        EXPECT_EQ(Tree(shared.Get(u.text, u.col, u.row)), Tree(ParseFormula(u.text)))
            << u.text << " in " << u.col << "," << u.row;

    // Formulas of random pieces, in cells near each other so that shapes
    // repeat with other references.
    const char* pieces[] = {"A1", "B2", "b3", "$", "C",   "7",    "+", "-", "*", "(", ")", "\"", ",",    " ",
                            "_",  ".",  "e",  "1", "sum", "SUM(", "{", "}", ";", "[", "]", ":",  "AB12", "if("};
    unsigned seed = 7;
    auto dice = [&](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (unsigned k = dice(6) + 1; k-- > 0;) text += pieces[dice(std::size(pieces))];
        int col = static_cast<int>(dice(3)) + 1, row = static_cast<int>(dice(3)) + 1;
        ASSERT_EQ(Tree(shared.Get(text, col, row)), Tree(ParseFormula(text))) << text << " in " << col << "," << row;
    }
}

TEST(SharedFormulas, KeepBoundedMemoryWhenNoFormulaRepeats) {
    SharedFormulas shared;
    for (int i = 1; i <= 3 * static_cast<int>(SharedFormulas::kMaxShapes); ++i) {
        std::string text = "SUM(" + std::to_string(i) + ",A1,B2,C3)";
        EXPECT_EQ(shared.Get(text, 1, i).nodes.size(), 5u);
        EXPECT_LE(shared.Shapes(), SharedFormulas::kMaxShapes);
        EXPECT_LE(shared.Nodes(), SharedFormulas::kMaxNodes);
    }
    // A formula longer than a shape may be is parsed on its own.
    std::string longest(SharedFormulas::kMaxText, '1');
    EXPECT_EQ(Tree(shared.Get(longest + "+A1", 1, 1)), Tree(ParseFormula(longest + "+A1")));
}

}  // namespace
}  // namespace tw::formula
