// Workbooks out: the formula translation as a table, the sheet's cells,
// and the ODS and XLSX containers read back.
#include <gtest/gtest.h>

#include <libxml/parser.h>
#include <map>
#include <set>
#include <zip.h>

#include "document/markup.h"
#include "export/ods_export.h"
#include "export/sheet_cells.h"
#include "export/sheet_formula.h"
#include "export/sheet_rows.h"
#include "export/xlsx_export.h"
#include "formula/functions.h"
#include "support.h"

namespace tw {
namespace {

struct Case {
    const char* pipedream;
    const char* ods;
    const char* xlsx;
};

// One row or more for every function the targets have, then the
// operators and the forms of references and constants.
const Case kCases[] = {
    {"abs(-2)", "ABS((-2))", "ABS((-2))"},
    {"base(255,16)", "BASE(255;16)", "_xlfn.BASE(255,16)"},
    {"base(5,2,8)", "BASE(5;2;8)", "_xlfn.BASE(5,2,8)"},
    {"ceiling(2.5)", "COM.MICROSOFT.CEILING(2.5;1)", "CEILING(2.5,1)"},
    {"ceiling(-2.5,-2)", "COM.MICROSOFT.CEILING((-2.5);(-2))", "CEILING((-2.5),(-2))"},
    {"exp(1)", "EXP(1)", "EXP(1)"},
    {"fact(5)", "FACT(5)", "FACT(5)"},
    {"floor(2.5)", "COM.MICROSOFT.FLOOR(2.5;1)", "FLOOR(2.5,1)"},
    {"floor(7,2)", "COM.MICROSOFT.FLOOR(7;2)", "FLOOR(7,2)"},
    {"int(-2.5)", "TRUNC((-2.5))", "TRUNC((-2.5))"},
    {"ln(a1)", "LN([.A1])", "LN(A1)"},
    {"log(100)", "LOG10(100)", "LOG10(100)"},
    {"log(8,2)", "LOG(8;2)", "LOG(8,2)"},
    {"mod(-7,a2+1)", "((-7)-([.A2]+1)*TRUNC((-7)/([.A2]+1)))", "((-7)-(A2+1)*TRUNC((-7)/(A2+1)))"},
    {"round(2.5)", "ROUND(2.5;0)", "ROUND(2.5,0)"},
    {"round(1.234,2)", "ROUND(1.234;2)", "ROUND(1.234,2)"},
    {"seriessum(2,0,1,a1c1)", "SERIESSUM(2;0;1;[.A1:.C1])", "SERIESSUM(2,0,1,A1:C1)"},
    {"sgn(-3)", "SIGN((-3))", "SIGN((-3))"},
    {"sqr(16)", "SQRT(16)", "SQRT(16)"},
    {"sum(a1a3,5)", "SUM([.A1:.A3];5)", "SUM(A1:A3,5)"},
    {"acs(0.5)", "ACOS(0.5)", "ACOS(0.5)"},
    {"acosec(2)", "ASIN(1/2)", "ASIN(1/2)"},
    {"acosech(2)", "ASINH(1/2)", "ASINH(1/2)"},
    {"acosh(2)", "ACOSH(2)", "ACOSH(2)"},
    {"acoth(2)", "ATANH(1/2)", "ATANH(1/2)"},
    {"asec(2)", "ACOS(1/2)", "ACOS(1/2)"},
    {"asech(0.5)", "ACOSH(1/0.5)", "ACOSH(1/0.5)"},
    {"asinh(1)", "ASINH(1)", "ASINH(1)"},
    {"asn(0.5)", "ASIN(0.5)", "ASIN(0.5)"},
    {"atan_2(1,2)", "ATAN2(1;2)", "ATAN2(1,2)"},
    {"atanh(0.5)", "ATANH(0.5)", "ATANH(0.5)"},
    {"atn(1)", "ATAN(1)", "ATAN(1)"},
    {"cos(0)", "COS(0)", "COS(0)"},
    {"cosec(1)", "(1/SIN(1))", "(1/SIN(1))"},
    {"cosech(1)", "(1/SINH(1))", "(1/SINH(1))"},
    {"cosh(1)", "COSH(1)", "COSH(1)"},
    {"cot(1)", "(1/TAN(1))", "(1/TAN(1))"},
    {"coth(1)", "(1/TANH(1))", "(1/TANH(1))"},
    {"deg(pi)", "DEGREES(PI())", "DEGREES(PI())"},
    {"pi", "PI()", "PI()"},
    {"rad(180)", "RADIANS(180)", "RADIANS(180)"},
    {"sec(1)", "(1/COS(1))", "(1/COS(1))"},
    {"sech(1)", "(1/COSH(1))", "(1/COSH(1))"},
    {"sin(1)", "SIN(1)", "SIN(1)"},
    {"sinh(1)", "SINH(1)", "SINH(1)"},
    {"tan(1)", "TAN(1)", "TAN(1)"},
    {"tanh(1)", "TANH(1)", "TANH(1)"},
    {"avg(a1a4)", "AVERAGE([.A1:.A4])", "AVERAGE(A1:A4)"},
    {"beta(2,3)", "EXP(GAMMALN(2)+GAMMALN(3)-GAMMALN(2+3))", "EXP(GAMMALN(2)+GAMMALN(3)-GAMMALN(2+3))"},
    {"combin(5,2)", "COMBIN(5;2)", "COMBIN(5,2)"},
    {"count(a1a4)", "COUNT([.A1:.A4])", "COUNT(A1:A4)"},
    {"counta(a1a4)", "COUNTA([.A1:.A4])", "COUNTA(A1:A4)"},
    {"gammaln(4)", "GAMMALN(4)", "GAMMALN(4)"},
    {"max(1,a1)", "MAX(1;[.A1])", "MAX(1,A1)"},
    {"median(1,2,3)", "MEDIAN(1;2;3)", "MEDIAN(1,2,3)"},
    {"min(a1a2)", "MIN([.A1:.A2])", "MIN(A1:A2)"},
    {"permut(5,2)", "PERMUT(5;2)", "PERMUT(5,2)"},
    {"std(a1a4)", "STDEV([.A1:.A4])", "STDEV(A1:A4)"},
    {"stdp(a1a4)", "STDEVP([.A1:.A4])", "STDEVP(A1:A4)"},
    {"var(a1a4)", "VAR([.A1:.A4])", "VAR(A1:A4)"},
    {"varp(a1a4)", "VARP([.A1:.A4])", "VARP(A1:A4)"},
    {"char(65)", "CHAR(65)", "CHAR(65)"},
    {"code(\"A\")", "CODE(\"A\")", "CODE(\"A\")"},
    {"exact(\"a\",\"A\")", "IF(EXACT(\"a\";\"A\");1;0)", "IF(EXACT(\"a\",\"A\"),1,0)"},
    {"find(\"b\",\"abc\")", "FIND(\"b\";\"abc\")", "FIND(\"b\",\"abc\")"},
    {"find(\"b\",\"abcb\",3)", "FIND(\"b\";\"abcb\";3)", "FIND(\"b\",\"abcb\",3)"},
    {"join(\"a\",b1,\"c\")", "CONCATENATE(\"a\";[.B1];\"c\")", "CONCATENATE(\"a\",B1,\"c\")"},
    {"left(\"abc\")", "LEFT(\"abc\")", "LEFT(\"abc\")"},
    {"left(\"abc\",2)", "LEFT(\"abc\";2)", "LEFT(\"abc\",2)"},
    {"length(\"abc\")", "LEN(\"abc\")", "LEN(\"abc\")"},
    {"lower(\"AB\")", "LOWER(\"AB\")", "LOWER(\"AB\")"},
    {"mid(\"abcd\",2,2)", "MID(\"abcd\";2;2)", "MID(\"abcd\",2,2)"},
    {"replace(\"abcd\",2,1,\"x\")", "REPLACE(\"abcd\";2;1;\"x\")", "REPLACE(\"abcd\",2,1,\"x\")"},
    {"rept(\"ab\",3)", "REPT(\"ab\";3)", "REPT(\"ab\",3)"},
    {"right(\"abc\")", "RIGHT(\"abc\")", "RIGHT(\"abc\")"},
    {"right(\"abc\",2)", "RIGHT(\"abc\";2)", "RIGHT(\"abc\",2)"},
    {"trim(\" a \")", "TRIM(\" a \")", "TRIM(\" a \")"},
    {"upper(\"ab\")", "UPPER(\"ab\")", "UPPER(\"ab\")"},
    {"date(1961,3,17)", "DATE(1961;3;17)", "DATE(1961,3,17)"},
    {"day(a1)", "DAY([.A1])", "DAY(A1)"},
    {"hour(a1)", "HOUR([.A1])", "HOUR(A1)"},
    {"minute(a1)", "MINUTE([.A1])", "MINUTE(A1)"},
    {"month(a1)", "MONTH([.A1])", "MONTH(A1)"},
    {"monthdays(1.2.1984)", "DAY(EOMONTH(DATE(1984;2;1);0))", "DAY(EOMONTH(DATE(1984,2,1),0))"},
    {"now", "NOW()", "NOW()"},
    {"second(a1)", "SECOND([.A1])", "SECOND(A1)"},
    {"time(18,33,4)", "TIME(18;33;4)", "TIME(18,33,4)"},
    {"today", "TODAY()", "TODAY()"},
    {"weekday(17.3.1961)", "WEEKDAY(DATE(1961;3;17))", "WEEKDAY(DATE(1961,3,17))"},
    {"year(a1)", "YEAR([.A1])", "YEAR(A1)"},
    // The financial functions: PipeDream's amounts are positive.
    {"cterm(0.1,2000,1000)", "(LN(2000/1000)/LN(1+0.1))", "(LN(2000/1000)/LN(1+0.1))"},
    {"ddb(5000,500,5,1)", "DDB(5000;500;5;1)", "DDB(5000,500,5,1)"},
    {"ddb(5000,500,5,1,1.5)", "DDB(5000;500;5;1;1.5)", "DDB(5000,500,5,1,1.5)"},
    {"fv(400,0.05,25)", "FV(0.05;25;-(400))", "FV(0.05,25,-(400))"},
    {"irr(0.01,a1a14)", "IRR([.A1:.A14];0.01)", "IRR(A1:A14,0.01)"},
    {"mirr(b1b4,0.1,0.12)", "MIRR([.B1:.B4];0.1;0.12)", "MIRR(B1:B4,0.1,0.12)"},
    {"npv(0.1,b10b14)", "NPV(0.1;[.B10:.B14])", "NPV(0.1,B10:B14)"},
    {"pmt(150000,0.1/12,20*12)", "PMT((0.1/12);(20*12);-(150000))", "PMT((0.1/12),(20*12),-(150000))"},
    {"pv(2000,0.12,30)", "PV(0.12;30;-(2000))", "PV(0.12,30,-(2000))"},
    {"rate(1000000,50000,300)", "((1000000/50000)^(1/300)-1)", "((1000000/50000)^(1/300)-1)"},
    {"sln(500,100,5)", "SLN(500;100;5)", "SLN(500,100,5)"},
    {"syd(500,100,5,1)", "SYD(500;100;5;1)", "SYD(500,100,5,1)"},
    {"term(5000,0.1,1000000)", "NPER(0.1;-(5000);0;1000000)", "NPER(0.1,-(5000),0,1000000)"},
    // Lookups: index names the column first; match gives the value found.
    {"choose(4,b4b8)", "INDEX([.B4:.B8];4)", "INDEX(B4:B8,4)"},
    {"choose(2,10,20,30)", "CHOOSE(2;10;20;30)", "CHOOSE(2,10,20,30)"},
    {"col", "COLUMN()", "COLUMN()"},
    {"col(c5)", "COLUMN([.C5])", "COLUMN(C5)"},
    {"cols(a1c2)", "COLUMNS([.A1:.C2])", "COLUMNS(A1:C2)"},
    {"hlookup(7,b5e5,2)", "LOOKUP(7;[.B5:.E5];OFFSET([.B5:.E5];2;0))", "LOOKUP(7,B5:E5,OFFSET(B5:E5,2,0))"},
    {"index(a1c3,3,1)", "INDEX([.A1:.C3];1;3)", "INDEX(A1:C3,1,3)"},
    {"lookup(11,b4b8,c4c8)", "INDEX([.C4:.C8];MATCH(11;[.B4:.B8];0))", "INDEX(C4:C8,MATCH(11,B4:B8,0))"},
    {"match(13,b4e4,1)", "INDEX([.B4:.E4];MATCH(13;[.B4:.E4];1))", "INDEX(B4:E4,MATCH(13,B4:E4,1))"},
    {"row", "ROW()", "ROW()"},
    {"row(c5)", "ROW([.C5])", "ROW(C5)"},
    {"rows(a1c2)", "ROWS([.A1:.C2])", "ROWS(A1:C2)"},
    {"vlookup(17,c4c8,1)", "LOOKUP(17;[.C4:.C8];OFFSET([.C4:.C8];0;1))", "LOOKUP(17,C4:C8,OFFSET(C4:C8,0,1))"},
    {"if(a1>2,\"big\",\"small\")", "IF(([.A1]>2);\"big\";\"small\")", "IF((A1>2),\"big\",\"small\")"},
    {"m_determ({1,2;3,4})", "MDETERM({1;2|3;4})", "MDETERM({1,2;3,4})"},
    // Operators: every part bracketed, logic as functions, truth as 1 or 0.
    {"-2^2", "(-2)^2", "(-2)^2"},
    {"1+2*3", "1+(2*3)", "1+(2*3)"},
    {"a1=b1", "IF([.A1]=[.B1];1;0)", "IF(A1=B1,1,0)"},
    {"a1<>1&b1>=2", "IF(AND([.A1]<>1;[.B1]>=2);1;0)", "IF(AND(A1<>1,B1>=2),1,0)"},
    {"a1<1|!b1", "IF(OR([.A1]<1;NOT([.B1]));1;0)", "IF(OR(A1<1,NOT(B1)),1,0)"},
    {"(a1+1)/2", "([.A1]+1)/2", "(A1+1)/2"},
    {"$a$1+a$2+$b3", "([.$A$1]+[.A$2])+[.$B3]", "($A$1+A$2)+$B3"},
    {"sum($a1b$10)", "SUM([.$A1:.B$10])", "SUM($A1:B$10)"},
    {"\"say \"\"hi\"\"\"", "\"say \"\"hi\"\"\"", "\"say \"\"hi\"\"\""},
    {"17.3.1961+1", "DATE(1961;3;17)+1", "DATE(1961,3,17)+1"},
    {"18:33:04", "TIME(18;33;4)", "TIME(18,33,4)"},
    {"{1,-2;\"x\",4}", "{1;-2|\"x\";4}", "{1,-2;\"x\",4}"},
    {"1e20*a1", "1e+20*[.A1]", "1e+20*A1"},
    {"total*2", "total*2", "total*2"},
};

std::string Ods(const char* pd) { return TranslateFormulaText(pd, Dialect::OpenFormula).text; }
std::string Xlsx(const char* pd) { return TranslateFormulaText(pd, Dialect::Excel).text; }

TEST(SheetFormula, TranslatesEachCaseIntoBothGrammars) {
    for (const Case& c : kCases) {
        EXPECT_EQ(Ods(c.pipedream), c.ods) << c.pipedream;
        EXPECT_EQ(Xlsx(c.pipedream), c.xlsx) << c.pipedream;
    }
}

// Every row of the table that gives a formula has a case above, and every
// function the engine knows has a row or is of a group kept as values.
TEST(SheetFormula, EveryRowIsTriedAndEveryFunctionHasARow) {
    std::set<std::pair<std::string, int>> tried;
    for (const Case& c : kCases) {
        formula::Formula f = formula::ParseFormula(c.pipedream);
        for (const formula::Node& n : f.nodes) {
            if (n.kind == formula::Node::Kind::Call) tried.insert({n.text, n.kid_count});
        }
    }
    for (const FunctionRow& r : FunctionRows()) {
        if (r.ods.empty()) {
            EXPECT_FALSE(r.why.empty()) << r.name;
            continue;
        }
        bool found = false;
        for (const auto& [name, args] : tried) found = found || (name == r.name && (r.args < 0 || r.args == args));
        EXPECT_TRUE(found) << r.name << " with " << r.args << " arguments has no case";
    }
    using Group = std::span<const formula::FunctionSpec> (*)();
    for (Group g : {formula::MathFunctions, formula::TrigFunctions, formula::StatsFunctions, formula::StringFunctions,
                    formula::LookupFunctions, formula::MiscFunctions, formula::MatrixFunctions,
                    formula::DateTimeFunctions, formula::FinancialFunctions}) {
        for (const formula::FunctionSpec& fn : g()) {
            bool row = false;
            for (const FunctionRow& r : FunctionRows()) row = row || r.name == fn.name;
            EXPECT_TRUE(row) << fn.name << " has no row";
        }
    }
}

TEST(SheetFormula, WhatHasNoCounterpartIsKeptAsAValueAndSaysWhy) {
    struct Frozen {
        const char* pipedream;
        const char* why;
    };
    const Frozen rows[] = {
        {"myfunc(1)", "custom function myfunc"},
        {"[other]a1+1", "a reference to another document"},
        {"1+", "a mistake in the formula"},
        {"c_add({1,2},{3,4})", "c_add: complex numbers have no counterpart"},
        {"dsum(a1b5,a1>2)", "dsum: its conditions are PipeDream formulas"},
        {"proper(\"aBC\")", "proper: leaves the other letters as they are"},
        {"dayname(1)", "dayname: depends on the reader's language"},
        {"if(a1,1)", "if with 2 arguments"},
        {"index(a1,1,1)", "index of what is not a range"},
        {"sum(a1,zz99999999)", "a reference past the sheet's edge"},
        {"{a1,2}", "an array of more than numbers and strings"},
        {"a1+1.1.1800", "a date before 1900"},
        {"a1+b2", ""},
    };
    for (const Frozen& r : rows) {
        for (Dialect d : {Dialect::OpenFormula, Dialect::Excel}) {
            Translation t = TranslateFormulaText(r.pipedream, d);
            EXPECT_EQ(t.frozen, r.why) << r.pipedream;
            EXPECT_EQ(t.Live(), t.text.size() > 0) << r.pipedream;
        }
    }
    // A name the workbook does not define cannot be used.
    formula::Formula f = formula::ParseFormula("rate_1*2");
    Translation t = TranslateFormula(f, Dialect::Excel, [](std::string_view) { return false; });
    EXPECT_EQ(t.frozen, "the name rate_1, which cannot be defined there");
}

TEST(SheetFormula, NamesThatCanBeDefined) {
    struct Name {
        const char* name;
        bool definable;
    };
    const Name rows[] = {
        {"total", true}, {"rate_1", true}, {"a1", false}, {"xfd100", false}, {"abcd1", false}, {"abcde1", true},
        {"r", false},    {"c", false},     {"r1", false}, {"true", false},   {"sum", false},   {"1st", false},
        {"", false},     {"x-y", false},   {"_x", false}, {"rc", true},
    };
    for (const Name& r : rows) EXPECT_EQ(NameIsDefinable(r.name), r.definable) << r.name;
}

TEST(SheetCells, SheetNamesFromTheTitleOrTheFile) {
    struct Row {
        const char* document;
        const char* file;
        const char* sheet;
    };
    const Row rows[] = {
        {"%OP%DEMark book\n%CO:A,8,8%x\n", "/p/marks.pd", "Mark book"},
        {"%CO:A,8,8%x\n", "/p/marks.pd", "marks"},
        {"%CO:A,8,8%x\n", "budget", "budget"},
        {"%OP%DE'a/b:c [1]?'\n%CO:A,8,8%x\n", "x.pd", "abc 1"},
        {"%OP%DE0123456789012345678901234567890123\n%CO:A,8,8%x\n", "x.pd", "0123456789012345678901234567890"},
        {"%OP%DE\xA3 sales\n%CO:A,8,8%x\n", "x.pd", "\xC2\xA3 sales"},
        {"%OP%DE[]\n%CO:A,8,8%x\n", "x.pd", "Sheet1"},
    };
    for (const Row& r : rows) {
        test::Fixture f;
        f.Load(r.document);
        EXPECT_EQ(SheetNameFor(f.doc, r.file), r.sheet) << r.document;
    }
}

// The cells of a document's rows as the writers receive them.
struct Walked {
    std::vector<std::vector<SheetCell>> rows;
    std::vector<SheetStyle> styles;
    std::string report;
};

Walked Walk(const std::string& document, Dialect d = Dialect::Excel) {
    test::Fixture f;
    f.Load(document);
    SheetWalk walk(f.doc, "doc.pd", d);
    Walked w;
    for (int row = 1; row <= walk.Rows(); ++row) {
        w.rows.emplace_back();
        walk.Row(row, w.rows.back());
    }
    w.styles = walk.Styles();
    w.report = walk.FrozenReport();
    return w;
}

TEST(SheetCells, ValuesFormulasAndCommentsOfEachKindOfCell) {
    struct Row {
        const char* name;
        const char* document;
        int row, col;  // the cell looked at, from 1
        SheetCell::Kind kind;
        double number;
        const char* text;
        const char* formula;
        const char* comment;
    };
    using K = SheetCell::Kind;
    const Row rows[] = {
        {"a constant has no formula", "%CO:A,8,8%%V%-3.5\n", 1, 1, K::Number, -3.5, "", "", ""},
        {"a formula keeps its value", "%CO:A,8,8%%V%2\n%V%a1*3\n", 2, 1, K::Number, 6, "", "A1*3", ""},
        {"a date as its serial", "%CO:A,8,8%%V%17.3.1961\n", 1, 1, K::Date, 22357, "1961-03-17", "", ""},
        {"a time as a fraction", "%CO:A,8,8%%V%18:00:00\n", 1, 1, K::Date, 0.75, "18:00:00", "", ""},
        {"a string result", "%CO:A,8,8%%V%join(\"a\",\"b\")\n", 1, 1, K::Text, 0, "ab", "CONCATENATE(\"a\",\"b\")", ""},
        {"an error with PipeDream's word", "%CO:A,8,8%%V%1/0\n", 1, 1, K::Error, 0, "#DIV/0!", "1/0", "Divide by zero"},
        {"a formula kept as its value", "%CO:A,8,8%%V%reverse(\"ab\")\n", 1, 1, K::Text, 0, "ba", "",
         "PipeDream: reverse(\"ab\")"},
        {"a mistake kept as its error", "%CO:A,8,8%%V%1+\n", 1, 1, K::Error, 0, "#VALUE!", "",
         "Mistake in formula\nPipeDream: 1+"},
        {"text decoded",
         "%CO:A,8,8%%R%50%PC% off \x80"
         "5\n",
         1, 1, K::Text, 0,
         "50% off \xE2\x82\xAC"
         "5",
         "", ""},
        {"fields filled as the PipeDream layout fills them",
         "%OP%DETitle\n%CO:A,8,8%@L@ @T@ @A2@ p@P@ x@@\n%V%%D1%1/3\n", 1, 1, K::Text, 0, "doc.pd Title 0.3 p x@", "",
         ""},
        // Columns stand at their names' places, whatever the file's order.
        {"column A stored second", "%CO:B,8,8%%V%a1+1\n%CO:A,8,8%%V%4\n", 1, 2, K::Number, 5, "", "A1+1", ""},
        {"an array's first element, kept", "%CO:A,8,8%%V%{7,8}\n", 1, 1, K::Number, 7, "", "", "PipeDream: {7,8}"},
        {"a cell using an array cell is kept", "%CO:A,8,8%%V%{7,8}\n%V%sum(a1)\n", 2, 1, K::Number, 15, "", "",
         "PipeDream: sum(a1)"},
        {"a defined name", "%OP%NDtotal,A1A2\n%CO:A,8,8%%V%1\n%V%2\n%V%sum(total)\n", 3, 1, K::Number, 3, "",
         "SUM(total)", ""},
    };
    for (const Row& r : rows) {
        Walked w = Walk(r.document);
        ASSERT_GE(w.rows.size(), static_cast<std::size_t>(r.row)) << r.name;
        const SheetCell* cell = nullptr;
        for (const SheetCell& c : w.rows[static_cast<std::size_t>(r.row - 1)]) {
            if (c.col == r.col) cell = &c;
        }
        ASSERT_NE(cell, nullptr) << r.name;
        EXPECT_EQ(cell->kind, r.kind) << r.name;
        if (r.kind == K::Number || r.kind == K::Date) {
            EXPECT_DOUBLE_EQ(cell->number, r.number) << r.name;
        }
        if (r.kind != K::Number) {
            EXPECT_EQ(cell->text, r.text) << r.name;
        }
        EXPECT_EQ(cell->formula, r.formula) << r.name;
        EXPECT_EQ(cell->comment, r.comment) << r.name;
    }
}

TEST(SheetCells, HighlightsBecomeRunsAndKeptFormulasAreCounted) {
    Walked w = Walk("%CO:A,8,8%plain %H2%bold%H2% %H4%tilt%H4%\n%V%reverse(\"x\")\n%V%reverse(\"y\")\n%V%dayname(1)\n");
    const auto& runs = w.rows[0][0].runs;
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].text, "plain ");
    EXPECT_EQ(runs[0].highlights, 0u);
    EXPECT_EQ(runs[1].text, "bold");
    EXPECT_EQ(runs[1].highlights, 1u << static_cast<unsigned>(Highlight::Bold));
    EXPECT_EQ(runs[3].highlights, 1u << static_cast<unsigned>(Highlight::Italic));
    EXPECT_EQ(w.rows[0][0].text, "plain bold tilt");
    EXPECT_EQ(w.report,
              "3 formulas kept as values only: 1 for dayname: depends on the reader's language; "
              "2 for reverse: no target reverses a string");
}

TEST(SheetCells, NumberFormatsFromTheDisplayForm) {
    struct Row {
        const char* document;
        const char* excel;
    };
    const Row rows[] = {
        {"%CO:A,8,8%%V%1\n", "0.00"},
        {"%OP%DP0\n%CO:A,8,8%%V%1\n", "0"},
        {"%CO:A,8,8%%V%%D3%1\n", "0.000"},
        {"%OP%DPF\n%CO:A,8,8%%V%1\n", "General"},
        {"%OP%MBB\n%CO:A,8,8%%V%1\n", "0.00;(0.00)"},
        {"%CO:A,8,8%%V%%B%%D1%1\n", "0.0;(0.0)"},
        {"%OP%TH1\n%CO:A,8,8%%V%1\n", "#,##0.00"},
        {"%OP%TH.\n%OP%MBB\n%CO:A,8,8%%V%1\n", "[$-407]#,##0.00;(#,##0.00)"},
        {"%OP%LP\xA3\n%OP%TPp\n%CO:A,8,8%%V%%LC%%TC%1\n", "\"\xC2\xA3\"0.00\"p\""},
        {"%CO:A,8,8%%V%17.3.1961\n", "d mmm yyyy"},
        {"%OP%DFE\n%CO:A,8,8%%V%17.3.1961\n", "d.m.yyyy"},
        {"%OP%DFA\n%CO:A,8,8%%V%17.3.1961 10:00\n", "m.d.yyyy h:mm:ss"},
        {"%CO:A,8,8%%V%10:00:00\n", "h:mm:ss"},
    };
    for (const Row& r : rows) {
        Walked w = Walk(r.document);
        ASSERT_FALSE(w.rows.empty()) << r.document;
        int style = w.rows[0][0].style;
        EXPECT_EQ(ExcelNumberFormat(w.styles[static_cast<std::size_t>(style)]), r.excel) << r.document;
    }
}

// The named part of a zip archive, or nothing.
std::optional<std::string> ZipPart(const std::string& path, const char* name, int* index = nullptr,
                                   bool* stored = nullptr) {
    zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, nullptr);
    if (!za) return std::nullopt;
    zip_stat_t st;
    std::optional<std::string> out;
    if (zip_stat(za, name, 0, &st) == 0) {
        if (index) *index = static_cast<int>(st.index);
        if (stored) *stored = st.comp_method == ZIP_CM_STORE;
        std::string bytes(st.size, '\0');
        zip_file_t* f = zip_fopen_index(za, st.index, 0);
        if (f && zip_fread(f, bytes.data(), st.size) == static_cast<zip_int64_t>(st.size)) out = bytes;
        if (f) zip_fclose(f);
    }
    zip_close(za);
    return out;
}

bool WellFormed(const std::string& xml) {
    xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "part.xml", nullptr, XML_PARSE_NONET);
    if (doc) xmlFreeDoc(doc);
    return doc != nullptr;
}

const char* kDocument =
    "%OP%DEMarks & <totals>\n%OP%NDmarks,B1B2\n%CO:B,8,8%%V%40\n%V%2\n%V%sum(marks)\n%V%nosuch(1)\n"
    "%CO:A,8,8%%H2%Bold%H2%  two  blanks\n\x01odd\n%V%1/0\n";

TEST(SheetFiles, OdsIsAZipWithTheMimetypeFirstAndWellFormedParts) {
    test::TempDir dir;
    test::Fixture f;
    f.Load(kDocument);
    std::string path = dir / "out.ods";
    SheetReport report;
    ASSERT_TRUE(WriteFileOds(f.doc, path, "marks.pd", &report).Succeeded());
    int index = -1;
    bool stored = false;
    EXPECT_EQ(ZipPart(path, "mimetype", &index, &stored), "application/vnd.oasis.opendocument.spreadsheet");
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(stored);
    for (const char* part : {"content.xml", "styles.xml", "meta.xml", "META-INF/manifest.xml"}) {
        std::optional<std::string> xml = ZipPart(path, part);
        ASSERT_TRUE(xml) << part;
        EXPECT_TRUE(WellFormed(*xml)) << part;
    }
    std::string content = ZipPart(path, "content.xml").value_or("");
    for (const char* want :
         {"table:name=\"Marks &amp; &lt;totals&gt;\"", "table:formula=\"of:=SUM(marks)\"", "office:value=\"42\"",
          "table:cell-range-address=\"$'Marks &amp; &lt;totals&gt;'.$B$1:.$B$2\"",
          "<text:span text:style-name=\"T2\">Bold</text:span><text:s text:c=\"2\"/>two<text:s text:c=\"2\"/>blanks",
          "table:formula=\"of:=1/0\"", "<text:p>Divide by zero</text:p>", "<text:p>PipeDream: nosuch(1)</text:p>",
          "<text:p>odd</text:p>"}) {
        EXPECT_NE(content.find(want), std::string::npos) << want << "\n" << content;
    }
    EXPECT_EQ(report.frozen, 1);
    EXPECT_EQ(report.frozen_text, "1 formula kept as values only: 1 for custom function nosuch");
}

TEST(SheetFiles, XlsxCarriesFormulasWithTheirValuesAndNames) {
    test::TempDir dir;
    test::Fixture f;
    f.Load(kDocument);
    std::string path = dir / "out.xlsx";
    ASSERT_TRUE(WriteFileXlsx(f.doc, path, "marks.pd").Succeeded());
    std::string sheet = ZipPart(path, "xl/worksheets/sheet1.xml").value_or("");
    std::string book = ZipPart(path, "xl/workbook.xml").value_or("");
    EXPECT_TRUE(WellFormed(sheet));
    for (const char* want : {"<f>SUM(marks)</f><v>42</v>", "<f>1/0</f><v>#DIV/0!</v>"}) {
        EXPECT_NE(sheet.find(want), std::string::npos) << want << "\n" << sheet;
    }
    EXPECT_NE(book.find("<sheet name=\"Marks &amp; &lt;totals&gt;\""), std::string::npos) << book;
    EXPECT_NE(book.find(">'Marks &amp; &lt;totals&gt;'!$B$1:$B$2</definedName>"), std::string::npos) << book;
    EXPECT_TRUE(ZipPart(path, "xl/comments1.xml")) << "the kept formula's comment";
}

TEST(SheetFiles, AFolderThatIsNotThereFailsAndWritesNothing) {
    test::Fixture f;
    f.Load(kDocument);
    for (auto write : {WriteFileOds, WriteFileXlsx}) {
        Status s = write(f.doc, "/nonexistent-folder/out.x", "x", nullptr, 0);
        EXPECT_EQ(s.kind, Status::Kind::Failed);
        EXPECT_EQ(s.number, kErrPathNotFound);
    }
}

// A sheet of many rows whose looks first turn up late, with text,
// highlights, errors, gaps and a running total.
std::string ManyRows(int rows) {
    std::string a = "%CO:A,8,8%", b = "%CO:B,8,8%";
    for (int r = 1; r <= rows; ++r) {
        if (r % 7 == 0 || (r > 300 && r <= 340)) {
            a += "\n", b += "\n";  // rows without cells, a run of them longer than a batch
            continue;
        }
        a += r % 50 == 0 ? "%R%%H2%bold%H2% row " + std::to_string(r) + "\n" : "%V%" + std::to_string(r) + "\n";
        b += "%V%" + std::string(r > 150 && r % 9 == 0 ? "%D" + std::to_string(r % 4) + "%" : "") +
             (r == 1        ? "a1"
              : r % 61 == 0 ? "1/0"
              : r % 83 == 0 ? "reverse(\"ab\")"
                            : "b" + std::to_string(r - 1) + "+a" + std::to_string(r)) +
             "\n";
    }
    return a + b;
}

// Rows computed ahead in batches, on the second thread, give the very
// parts the writer computing them itself gives.
TEST(SheetFiles, RowsComputedAheadGiveTheSameWorkbook) {
    test::TempDir dir;
    test::Fixture f;
    f.Load(ManyRows(600));
    const struct {
        Status (*write)(const DocumentModel&, const std::string&, const std::string&, SheetReport*, int);
        const char* file;
        std::vector<const char*> parts;
    } cases[] = {
        {WriteFileOds, "out.ods", {"content.xml", "styles.xml"}},
        {WriteFileXlsx, "out.xlsx", {"xl/worksheets/sheet1.xml", "xl/styles.xml", "xl/comments1.xml"}},
    };
    for (const auto& c : cases) {
        std::map<int, std::map<std::string, std::string>> got;
        for (int ahead : {0, 1, 16, 5000}) {
            std::string path = dir / (std::to_string(ahead) + c.file);
            SheetReport report;
            ASSERT_TRUE(c.write(f.doc, path, "many.pd", &report, ahead).Succeeded()) << c.file << ahead;
            for (const char* part : c.parts) got[ahead][part] = ZipPart(path, part).value_or("missing");
            got[ahead]["report"] = report.frozen_text;
        }
        EXPECT_NE(got[0]["report"], "");
        for (int ahead : {1, 16, 5000}) EXPECT_EQ(got[ahead], got[0]) << c.file << " ahead " << ahead;
    }
}

// A write that fails, as on a full disk, while the second thread computes
// rows ahead: the writer fails and leaves the earlier file whole.
TEST(SheetFiles, AFailedWriteFailsAndLeavesTheEarlierFile) {
    test::TempDir dir;
    test::Fixture f;
    f.Load(ManyRows(3000));
    for (auto write : {WriteFileOds, WriteFileXlsx}) {
        std::string path = dir.Write("out", "earlier");
        Status s;
        {
            test::FileSizeLimit limit(16 * 1024);
            s = write(f.doc, path, "x", nullptr, 16);
        }
        EXPECT_EQ(s.kind, Status::Kind::Failed);
        EXPECT_EQ(s.number, kErrDiskFull);
        EXPECT_EQ(test::ReadFile(path), "earlier");
    }
}

// The writer leaving early stops the second thread, whichever batch it
// is at; what it was given is the walk's.
TEST(SheetFiles, RowsAheadLeftEarlyStopTheirThread) {
    test::Fixture f;
    f.Load(ManyRows(400));
    std::vector<SheetCell> cells;
    for (int stop : {1, 3, 17, 200}) {
        SheetWalk one(f.doc, "x", Dialect::Excel), walk(f.doc, "x", Dialect::Excel);
        SheetRows rows(walk, walk.Rows(), 4);
        for (int row = 1; row <= stop; ++row) {
            one.Row(row, cells);
            std::span<const SheetCell> ahead = rows.Row(row);
            ASSERT_EQ(ahead.size(), cells.size()) << row;
            for (std::size_t i = 0; i < cells.size(); ++i) {
                EXPECT_EQ(ahead[i].formula + ahead[i].text, cells[i].formula + cells[i].text) << row;
            }
        }
    }
}

}  // namespace
}  // namespace tw
