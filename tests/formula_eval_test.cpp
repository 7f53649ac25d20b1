// The formula engine: formulas evaluated against a small sheet, as data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "formula/dates.h"
#include "formula/evaluator.h"
#include "tests/formula_sheet.h"

namespace tw::formula {
namespace {

using tw::test::FormulaSheet;

// The sheet every table row is evaluated against.
FormulaSheet MakeSheet() {
    FormulaSheet s;
    for (int i = 1; i <= 5; ++i) s.Set("A" + std::to_string(i), "=" + std::to_string(i));
    s.Set("A6", "Macmillan").Set("A8", "=A1+A2");
    s.Set("B1", "apple").Set("B2", "=10").Set("B4", "text").Set("B5", "=20");
    s.Set("C1", "=1/0").Set("C2", "=C1+1").Set("C3", "=A1*10").Set("C4", "={3,4}").Set("C5", "={5,6}");
    // Straight line y = 3x - 2.
    const char* xs[] = {"2", "3", "5", "7", "10"};
    const char* ys[] = {"4", "7", "13", "19", "28"};
    for (int i = 0; i < 5; ++i) {
        s.Set("H" + std::to_string(i + 1), std::string("=") + xs[i]);
        s.Set("I" + std::to_string(i + 1), std::string("=") + ys[i]);
    }
    // y = 1 + 2a + 3b, exactly.
    const int as[] = {1, 2, 3, 4, 2, 7};
    const int bs[] = {1, 0, 5, 2, 2, 1};
    for (int i = 0; i < 6; ++i) {
        std::string r = std::to_string(i + 1);
        s.Set("J" + r, "=" + std::to_string(as[i]));
        s.Set("K" + r, "=" + std::to_string(bs[i]));
        s.Set("L" + r, "=" + std::to_string(1 + 2 * as[i] + 3 * bs[i]));
    }
    // A sorted key column with answers beside it, for VLOOKUP/HLOOKUP.
    const char* keys[] = {"=10", "=20", "=30", "=40"};
    const char* vals[] = {"ten", "twenty", "thirty", "forty"};
    for (int i = 0; i < 4; ++i) {
        s.Set("N" + std::to_string(i + 1), keys[i]);
        s.Set("O" + std::to_string(i + 1), vals[i]);
    }
    s.Set("P1", "=5").Set("Q1", "=15").Set("R1", "=25");
    s.Set("P2", "=\"five\"").Set("Q2", "=\"fifteen\"").Set("R2", "=\"twenty-five\"");
    s.Name("vat", "0.175").Name("apples", "A1A5").Name("greeting", "\"hi\"").Name("second", "A2");
    s.Name("triple", "{1,2,3}").Name("loop_a", "loop_b").Name("loop_b", "loop_a");
    s.SetSize(20, 10);
    return s;
}

struct Row {
    const char* formula;
    const char* expected;  // a number, "text" in quotes, #Error name, {array}, @ISO date, or "blank"
};

void Check(Evaluator& ev, const Row& row) {
    SCOPED_TRACE(row.formula);
    Value v = ev.EvaluateFormula(row.formula, 19, 10);
    std::string want = row.expected;
    if (!want.empty() && want[0] == '@') {
        ASSERT_TRUE(v.IsDate()) << Describe(v);
        EXPECT_EQ(FormatIso(v.date()), want.substr(1));
        return;
    }
    char* end = nullptr;
    double n = std::strtod(want.c_str(), &end);
    if (!want.empty() && end == want.c_str() + want.size()) {
        ASSERT_TRUE(v.IsNumber()) << Describe(v);
        EXPECT_NEAR(v.number(), n, 1e-9 * std::max(1.0, std::fabs(n))) << Describe(v);
        return;
    }
    EXPECT_EQ(Describe(v), want);
}

void RunTable(const Row* rows, std::size_t count) {
    FormulaSheet sheet = MakeSheet();
    Evaluator ev(sheet);
    for (std::size_t i = 0; i < count; ++i) Check(ev, rows[i]);
}

#define RUN(table) RunTable(table, std::size(table))

TEST(FormulaOperators, PrecedenceAndArithmetic) {
    const Row rows[] = {
        {"1+2*3", "7"},
        {"(1+2)*3", "9"},
        {"2^3^2", "64"},
        {"-2^2", "4"},
        {"0-2^2", "-4"},
        {"2*-3", "-6"},
        {"--3", "3"},
        {"+4", "4"},
        {"10-4-3", "3"},
        {"24/4/2", "3"},
        {"2+3=5", "1"},
        {"1+1>1", "1"},
        {"1=1&2=3", "0"},
        {"1=2|2=2", "1"},
        {"1|0&0", "1"},
        {"!0", "1"},
        {"!5", "0"},
        {"!1+1", "1"},
        {"1/0", "#Divide by zero"},
        {"0^-1", "#Divide by zero"},
        {"(-8)^(1/3)", "#FP error"},
        {"1e308*10", "#Out of range"},
        {"1.4e3", "1400"},
        {".5+.25", "0.75"},
        {"0.1+0.2", "0.3"},
        {"123456789012345678", "123456789012346000"},
        {"3 + 4 *  2", "11"},
        {"\"a\"+1", "#String not expected"},
        {"A7+1", "1"},
        {"A1+A2*A3", "7"},
        {"$A$1+A$2+$A3", "6"},
        {"A8", "3"},
        {"AA1", "blank"},
        {"A99999+1", "1"},
    };
    RUN(rows);
}

TEST(FormulaOperators, ShortCutLogicSkipsTheRightSide) {
    // The right side would be an error if it were evaluated.
    const Row rows[] = {
        {"0&(1/0)", "0"}, {"1|(1/0)", "1"},      {"1&(1/0)", "#Divide by zero"}, {"0|(1/0)", "#Divide by zero"},
        {"0&C1", "0"},    {"1|nosuchname", "1"}, {"0&nosuchname", "0"},          {"1&nosuchname", "#Name not defined"},
    };
    RUN(rows);
}

TEST(FormulaOperators, ComparisonsAndWildcards) {
    const Row rows[] = {
        {"A6=\"M^#cmillan\"", "1"},
        {"A6=\"Mc^#\"", "0"},
        {"A6=\"^?^?c^#\"", "1"},
        {"A6=\"macmillan\"", "1"},
        {"A6<>\"Mac^#\"", "0"},
        {"\"a b\"=\"a^?b\"", "0"},
        {"\"axb\"=\"a^?b\"", "1"},
        {"\"a^b\"=\"a^^b\"", "1"},
        {"\"abc\"=\"^#\"", "1"},
        {"\"\"=\"^#\"", "1"},
        {"\"abc\"=\"a^#c^#\"", "1"},
        {"\"abc\"=\"a^#d\"", "0"},
        {"\"apple\"<\"Banana\"", "1"},
        {"\"b\"<=\"B\"", "1"},
        {"\"Fred\">=\"b\"", "1"},
        {"\"Alan\">=\"b\"", "0"},
        {"2<10", "1"},
        {"2>=2", "1"},
        {"2<>2", "0"},
        {"A7=0", "1"},
        {"A7=\"\"", "1"},
        {"1=\"1\"", "0"},
        {"C1=1", "#Propagated"},
        {"1.1.2000<2.1.2000", "1"},
        {"1.1.2000=1.1.2000", "1"},
    };
    RUN(rows);
}

TEST(FormulaOperators, DatesAndTimes) {
    const Row rows[] = {
        {"5.9.1987", "@1987-09-05"},
        {"6.10.1066", "@1066-10-06"},
        {"1.1.17", "@2017-01-01"},
        {"31.1.2024+1", "@2024-02-01"},
        {"28.2.2024+1", "@2024-02-29"},
        {"28.2.2023+1", "@2023-03-01"},
        {"1.3.2024-1", "@2024-02-29"},
        {"31.12.1999+1", "@2000-01-01"},
        {"1.3.2024-1.2.2024", "29"},
        {"1.3.2023-1.2.2023", "28"},
        {"1+31.12.2025", "@2026-01-01"},
        {"30.2.2024", "#Bad date"},
        {"19:30", "@19:30:00"},
        {"18:56:04", "@18:56:04"},
        {"1.6.1991 6:30", "@1991-06-01T06:30:00"},
        {"1.6.1991+6:30", "@1991-06-01T06:30:00"},
        {"23:00+2:00", "@01:00:00"},
        {"1.1.2000*2", "#Date not expected"},
        {"-1.1.2000", "#Date not expected"},
    };
    RUN(rows);
}

TEST(FormulaOperators, ArraysLiftAndExpand) {
    const Row rows[] = {
        {"{1,2,3}", "{1,2,3}"},
        {"{\"a\";\"b\";\"c\"}", "{\"a\";\"b\";\"c\"}"},
        {"{A1,B2;A2,B2}", "{1,10;2,10}"},
        {"{1,2,3}+{4,5,6}", "{5,7,9}"},
        {"sgn({-100,0,100})", "{-1,0,1}"},
        {"{1,2,3}*4", "{4,8,12}"},
        {"{1,2;3,4}*-1", "{-1,-2;-3,-4}"},
        {"{55,66}+{1,1;1,1}", "{56,67;56,67}"},
        {"{1;2}+{10,20,30;40,50,60}", "{11,21,31;42,52,62}"},
        {"{1,2}+{1;2;3}", "{2,3;3,4;4,5}"},
        // Wider and taller arrays repeat their last column and last row.
        {"{1,2;3,4}+{10,20,30;40,50,60}", "{11,22,32;43,54,64}"},
        {"{1,2;3,4}+{10,20;30,40;50,60}", "{11,22;33,44;53,64}"},
        {"{1,2}+{1,2,3;4,5,6;7,8,9}",
         "{2,4,#Value not defined;#Value not defined,#Value not defined,#Value not defined;#Value not defined,#Value "
         "not defined,#Value not defined}"},
        {"{1,2,3}>2", "{0,0,1}"},
        {"A1A3*2", "{2;4;6}"},
        {"sum(A1A3*H1H3)", "23"},
        {"sum(A1A2,{1,2})", "6"},
        {"sum(C4C5,{1,2})", "21"},
        {"{1,2}/{0,1}", "{#Divide by zero,2}"},
        {"{1,2", "#Mistake in formula"},
        {"{1,2;3}", "{1,2;3,blank}"},
        {"index({A1A3,H1H3},2,3)", "5"},
    };
    RUN(rows);
}

TEST(FormulaOperators, NamesAndExternalReferences) {
    const Row rows[] = {
        {"vat*100", "17.5"},
        {"VAT*100", "17.5"},
        {"sum(apples)", "15"},
        {"col(apples)", "1"},
        {"rows(apples)", "5"},
        {"greeting", "\"hi\""},
        {"second*3", "6"},
        {"sum(triple)", "6"},
        {"nosuchname", "#Name not defined"},
        {"loop_a", "#Stack overflow"},
        {"[other]A1", "#File not loaded"},
        {"[other]A1B2", "#File not loaded"},
        {"sum([other]total)", "#File not loaded"},
        {"myfunc(1)", "#Custom function not defined"},
    };
    RUN(rows);
}

TEST(FormulaParser, MistakesGiveErrorValues) {
    const Row rows[] = {
        {"", "#Mistake in formula"},         {"1+", "#Mistake in formula"},
        {"(1", "#Mistake in formula"},       {"1)", "#Mistake in formula"},
        {"\"open", "#Mistake in formula"},   {"sin()", "#Mistake in formula"},
        {"sin(1,2)", "#Mistake in formula"}, {"B5A1", "#Mistake in formula"},
        {"A0", "#Name not defined"},         {"1 2", "#Mistake in formula"},
        {"@", "#Mistake in formula"},        {"[unclosed", "#Mistake in formula"},
        {"$", "#Mistake in formula"},        {"\"He said,\"\"Hello!\"\"\"", "\"He said,\"Hello!\"\""},
    };
    RUN(rows);
}

TEST(FormulaFunctions, Maths) {
    const Row rows[] = {
        {"abs(-3.5)", "3.5"},
        {"abs(A1A3*-1)", "{1;2;3}"},
        {"base(255,16)", "\"FF\""},
        {"base(5,2,8)", "\"00000101\""},
        {"base(35,36)", "\"Z\""},
        {"base(5,1)", "#Parameter out of range"},
        {"decimal(\"00001000\",16)", "4096"},
        {"decimal(\"1010B\",2)", "10"},
        {"decimal(377,8)", "255"},
        {"decimal(\"0xff\",16)", "255"},
        {"decimal(\"ffh\",16)", "255"},
        {"decimal(\"19\",8)", "#Parameter out of range"},
        {"ceiling(2.1)", "3"},
        {"ceiling(-2.1)", "-2"},
        {"ceiling(7,5)", "10"},
        {"ceiling(-7,-5)", "-10"},
        {"ceiling(2.5,0.1)", "2.5"},
        {"floor(2.9)", "2"},
        {"floor(-2.1)", "-3"},
        {"floor(7,5)", "5"},
        {"floor(-7,-5)", "-5"},
        {"floor(2.5,0.1)", "2.5"},
        {"exp(0)", "1"},
        {"exp(-1)", "0.36787944117144233"},
        {"exp(1000)", "#Out of range"},
        {"fact(0)", "1"},
        {"fact(5)", "120"},
        {"fact(20)", "2432902008176640000"},
        {"fact(-1)", "#Parameter out of range"},
        {"fact(2.5)", "#Parameter out of range"},
        {"int(2.7)", "2"},
        {"int(-2.7)", "-2"},
        {"ln(1)", "0"},
        {"ln(0)", "#Bad logarithm"},
        {"ln(-1)", "#Bad logarithm"},
        {"log(1000)", "3"},
        {"log(8,2)", "3"},
        {"log(0)", "#Bad logarithm"},
        {"mod(7,3)", "1"},
        {"mod(-7,3)", "-1"},
        {"mod(7,-3)", "1"},
        {"mod(-7,-3)", "-1"},
        {"mod(7.5,2)", "1.5"},
        {"mod(1,0)", "#Divide by zero"},
        {"int(-7/3)*3+mod(-7,3)", "-7"},
        {"round(12345.678,2)", "12345.68"},
        {"round(12345.678,-2)", "12300"},
        {"round(2.5,0)", "3"},
        {"round(-2.5,0)", "-3"},
        {"round(1.005,2)", "1.01"},
        {"round(456.3566,2)", "456.36"},
        {"seriessum(2,0,1,{1,1,1})", "7"},
        {"seriessum(0.5,1,2,{1,2})", "0.75"},
        {"sgn(-4)", "-1"},
        {"sgn(0)", "0"},
        {"sgn(4)", "1"},
        {"sqr(16)", "4"},
        {"sqr(-1)", "#Negative root"},
        {"sum(A1A5)", "15"},
        {"sum(B1B5)", "30"},
        {"sum(1,A1A5,-2)", "14"},
        {"sum(C1C3)", "#Propagated"},
        {"sum(\"x\")", "0"},
        {"abs(\"x\")", "#String not expected"},
        {"abs(B1)", "#String not expected"},
        {"abs(C1)", "#Propagated"},
    };
    RUN(rows);
}

TEST(FormulaFunctions, Trigonometry) {
    const Row rows[] = {
        {"pi", "3.141592653589793"},
        {"pi/2", "1.5707963267948966"},
        {"sin(pi/2)", "1"},
        {"cos(0)", "1"},
        {"tan(pi/4)", "1"},
        {"sec(0)", "1"},
        {"cosec(pi/2)", "1"},
        {"cot(pi/4)", "1"},
        {"cosec(0)", "#Divide by zero"},
        {"asn(1)", "1.5707963267948966"},
        {"acs(1)", "0"},
        {"acs(2)", "#Parameter out of range"},
        {"atn(1)", "0.7853981633974483"},
        {"atan_2(1,1)", "0.7853981633974483"},
        {"atan_2(-1,0)", "3.141592653589793"},
        {"atan_2(0,-1)", "-1.5707963267948966"},
        {"atan_2(0,0)", "#Divide by zero"},
        {"asec(2)", "1.0471975511965979"},
        {"acosec(2)", "0.5235987755982989"},
        {"acot(1)", "0.7853981633974483"},
        {"acot(-1)", "2.356194490192345"},
        {"sinh(0)", "0"},
        {"cosh(0)", "1"},
        {"tanh(0)", "0"},
        {"sech(0)", "1"},
        {"cosech(1)", "0.8509181282393216"},
        {"coth(1)", "1.3130352854993312"},
        {"asinh(1)", "0.881373587019543"},
        {"acosh(1)", "0"},
        {"acosh(0.5)", "#Parameter out of range"},
        {"atanh(0.5)", "0.5493061443340549"},
        {"atanh(1)", "#Parameter out of range"},
        {"asech(0.5)", "1.3169578969248166"},
        {"acosech(2)", "0.48121182505960347"},
        {"acoth(2)", "0.5493061443340549"},
        {"deg(pi)", "180"},
        {"rad(180)", "3.141592653589793"},
        {"sin(1e300)", "#Accuracy lost"},
    };
    RUN(rows);
}

TEST(FormulaFunctions, Statistics) {
    const Row rows[] = {
        {"avg(A1A5)", "3"},
        {"avg(B1B5)", "15"},
        {"avg(B1,B3,B4)", "#Divide by zero"},
        {"count(A1B5)", "7"},
        {"counta(A1B5)", "9"},
        {"max(A1A5,B1B5)", "20"},
        {"min(A1A5,-3)", "-3"},
        {"max(1.1.2000,5.5.2001)", "@2001-05-05"},
        {"median({5,1,3})", "3"},
        {"median({5,1,3,4})", "3.5"},
        {"var({2,4,4,4,5,5,7,9})", "4.571428571428571"},
        {"varp({2,4,4,4,5,5,7,9})", "4"},
        {"std({2,4,4,4,5,5,7,9})", "2.138089935299395"},
        {"stdp({2,4,4,4,5,5,7,9})", "2"},
        {"var(1)", "#Divide by zero"},
        {"combin(5,2)", "10"},
        {"combin(52,5)", "2598960"},
        {"combin(2,5)", "#Parameter out of range"},
        {"permut(5,2)", "20"},
        {"gammaln(1)", "0"},
        {"gammaln(5)", "3.1780538303479458"},
        {"gammaln(0)", "#Parameter out of range"},
        {"beta(2,3)", "0.08333333333333333"},
        {"bin({1,25,40,61,99,20},{20,40,60,80})", "{2,2,0,1,1}"},
        {"bin({1,25,40,61,99,20},{20;40;60;80})", "{2;2;0;1;1}"},
        {"index(linest(I1I5,H1H5),1,1)", "-2"},
        {"index(linest(I1I5,H1H5),2,1)", "3"},
        {"linest({1,3,5})", "{-1,2}"},
        {"index(linest(L1L6,J1K6),1,1)", "1"},
        {"index(linest(L1L6,J1K6),2,1)", "2"},
        {"index(linest(L1L6,J1K6),3,1)", "3"},
        {"trend(linest(L1L6,J1K6),{10,20})", "81"},
        {"trend({-2,3},{4;5})", "{10;13}"},
        {"index(logest({2,4,8,16},{1,2,3,4}),1,1)", "1"},
        {"index(logest({2,4,8,16},{1,2,3,4}),2,1)", "2"},
        {"growth({1,2},5)", "32"},
        {"logest({2,-4},{1,2})", "#Mixed signs"},
        {"listcount({\"b\",2;\"a\",3;\"b\",5})", "{\"a\",3;\"b\",7}"},
        {"listcount({\"b\";\"a\";\"b\"})", "{\"a\",1;\"b\",2}"},
        {"rank({10,30,20,30})", "{4,1;1,2;3,1;1,2}"},
        {"rank({10,30,20,30},1)", "{4,1;1.5,2;3,1;1.5,2}"},
        {"spearman({1,2,3,4},{1,2,3,4})", "1"},
        {"spearman({1,2,3,4},{4,3,2,1})", "-1"},
        {"rand(5)=rand(5)", "1"},
        {"rand>=0", "1"},
        {"rand(3)<1", "1"},
        {"grand(10,0)", "10"},
    };
    RUN(rows);
}

TEST(FormulaFunctions, Strings) {
    const Row rows[] = {
        {"char(65)", "\"A\""},
        {"char(0)", "#Parameter out of range"},
        {"code(\"A\")", "65"},
        {"code(\"\")", "0"},
        {"exact(\"word\",\"word\")", "1"},
        {"exact(\"Word\",\"word\")", "0"},
        {"find(\"needle\",\"haystack needle in\")", "10"},
        {"find(\"x\",\"abc\")", "0"},
        {"find(\"a\",\"banana\",3)", "4"},
        {"find(\"A\",\"banana\")", "0"},
        {"join(\"back\",\"gammon\")", "\"backgammon\""},
        {"join(\"n=\",3)", "\"n=3\""},
        {"left(\"rightwing\",5)", "\"right\""},
        {"left(\"ab\",5)", "\"ab\""},
        {"left(\"ab\",-1)", "#Parameter out of range"},
        {"length(\"cat\")", "3"},
        {"length(\"\")", "0"},
        {"lower(\"Big Ben\")", "\"big ben\""},
        {"mid(\"middle of the road\",8,6)", "\"of the\""},
        {"mid(\"abc\",5,2)", "\"\""},
        {"mid(\"abc\",0,2)", "#Parameter out of range"},
        {"proper(\"big ben\")", "\"Big Ben\""},
        {"replace(\"PipeDream 3 is brilliant\",11,1,\"4\")", "\"PipeDream 4 is brilliant\""},
        {"replace(\"abc\",10,1,\"d\")", "\"abcd\""},
        {"rept(\"yo\",2)", "\"yoyo\""},
        {"rept(\"yo\",0)", "\"\""},
        {"rept(\"yo\",1e9)", "#Out of range"},
        {"reverse(\"1 2 3 4\")", "\"4 3 2 1\""},
        {"right(\"rightwing\",4)", "\"wing\""},
        {"string(1234.567,1)", "\"1234.6\""},
        {"string(2.5,0)", "\"3\""},
        {"string(-0.001,2)", "\"0.00\""},
        {"string(1234.5,-2)", "\"1200\""},
        {"trim(\"  Lots   of    space \")", "\"Lots of space\""},
        {"upper(\"Big Ben\")", "\"BIG BEN\""},
        {"value(\"56\")", "56"},
        {"value(\"fred\")", "0"},
        {"value(\"1.3.86\")", "0"},
        {"value(\" -1.5e2 \")", "-150"},
        {"upper(B1)", "\"APPLE\""},
        {"length(123)", "#Number not expected"},
        {"formula_text(A8)", "\"A1+A2\""},
        {"formula_text(B1)", "\"\""},
        {"upper({\"a\",\"b\"})", "{\"A\",\"B\"}"},
    };
    RUN(rows);
}

TEST(FormulaFunctions, LookupAndReference) {
    const Row rows[] = {
        {"choose(2,7,8,9)", "8"},
        {"choose(3,A1A5)", "3"},
        {"choose(2,A7,A1)", "1"},
        {"choose(1,A7,A1)", "blank"},
        {"choose(9,1,2)", "#Bad index"},
        {"col(A1)", "1"},
        {"col(E1F10)", "5"},
        {"col", "19"},
        {"row", "10"},
        {"row(E3F10)", "3"},
        {"cols({1,2,3})", "3"},
        {"cols(B7G10)", "6"},
        {"cols", "20"},
        {"rows(A1F10)", "10"},
        {"rows", "10"},
        {"index({1,2;3,4},2,2)", "4"},
        {"index({1,2;3,4},1,2)", "3"},
        {"index({1,2;3,4},3,1)", "#Bad index"},
        {"index(A1A5,1,4)", "4"},
        {"index(H1I5,2,2,1,2)", "{7;13}"},
        {"index({1,2,3;4,5,6},0,2)", "{4,5,6}"},
        {"index({1,2,3;4,5,6},2,0)", "{2;5}"},
        {"index({1,2,3;4,5,6},2,1,0,1)", "{2,3}"},
        {"index({1,2},\"a\",1)", "#Bad index"},
        // At the last column or row, and one past it.
        {"index({1,2;3,4},2,1)", "2"},
        {"index({1,2;3,4},1,3)", "#Bad index"},
        {"index({1,2;3,4},2,1,0,1)", "2"},
        {"index({1,2;3,4},3,1,0,1)", "#Bad index"},
        {"index({1,2,3;4,5,6},2,1,2,1)", "{2,3}"},
        {"index({1,2,3;4,5,6},2,1,3,1)", "#Bad index"},
        {"index({1,2;3,4;5,6},1,2,1,2)", "{3;5}"},
        {"index({1,2;3,4;5,6},1,2,1,3)", "#Bad index"},
        {"lookup(3,A1A5,H1H5)", "5"},
        {"lookup(\"ban^#\",B1B5,A1A5)", "#Lookup"},
        {"lookup(\"ap^#\",B1B5,A1A5)", "1"},
        {"lookup(99,A1A5,H1H5)", "#Lookup"},
        {"vlookup(20,N1N4,1)", "\"twenty\""},
        {"vlookup(25,N1N4,1)", "\"twenty\""},
        {"vlookup(99,N1N4,1)", "\"forty\""},
        {"vlookup(5,N1N4,1)", "#Lookup"},
        {"vlookup(30,N1N4,0)", "30"},
        {"hlookup(15,P1R1,1)", "\"fifteen\""},
        {"hlookup(20,P1R1,1)", "\"fifteen\""},
        {"hlookup(1,P1R1,1)", "#Lookup"},
        {"match(2.5,{1,2,3},1)", "2"},
        {"match(2.5,A1A3,1)", "2"},
        {"col(match(2.5,H1I5,1))", "8"},
        {"row(match(2.5,A1A3,1))", "2"},
        {"match(2,{3,2,1},0)", "2"},
        {"match(2.5,{3,2,1},-1)", "1"},
        {"match(0,{1,2,3},1)", "#Lookup"},
    };
    RUN(rows);
}

TEST(FormulaFunctions, Miscellaneous) {
    const Row rows[] = {
        {"if(1,\"yes\",\"no\")", "\"yes\""},
        {"if(0,\"yes\",\"no\")", "\"no\""},
        {"if(1,2,1/0)", "2"},
        {"if(0,1/0,3)", "3"},
        {"if(A1=1,\"A1 is 1\",if(A2=2,\"A2\",\"neither\"))", "\"A1 is 1\""},
        {"if({1,0,1},\"y\",\"n\")", "{\"y\",\"n\",\"y\"}"},
        {"if(C1,1,2)", "#Propagated"},
        {"if(\"x\",1,2)", "#String not expected"},
        {"type(A1)", "\"reference\""},
        {"type(deref(A1))", "\"number\""},
        {"type(deref(B1))", "\"text\""},
        {"type(deref(C4))", "\"array\""},
        {"type(1/0)", "\"error\""},
        {"type(1.1.2000)", "\"date\""},
        {"type(\"s\")", "\"text\""},
        {"deref(A2)", "2"},
        {"flip({1;2;3})", "{3;2;1}"},
        {"sort({3,\"c\";1,\"a\";2,\"b\"},1)", "{1,\"a\";2,\"b\";3,\"c\"}"},
        {"sort({3,\"c\";1,\"a\";2,\"b\"},2)", "{1,\"a\";2,\"b\";3,\"c\"}"},
        {"flip(sort({2;3;1},1))", "{3;2;1}"},
        {"sort({1,2},3)", "#Bad index"},
        {"set_value(B1,42)", "42"},
        {"set_name(\"x\",5)", "5"},
        {"alert(\"m\",\"OK\",\"Cancel\")", "1"},
        {"input(\"m\",\"name\",\"OK\")", "1"},
        {"length(version)>0", "1"},
    };
    RUN(rows);
}

TEST(FormulaFunctions, Matrices) {
    const Row rows[] = {
        {"m_determ({1,2;3,4})", "-2"},
        {"m_determ({2,0,0;0,3,0;0,0,4})", "24"},
        {"m_determ({0,1;1,0})", "-1"},
        {"m_determ({1,2,3;4,5,6;7,6,7})=-6", "1"},
        {"m_determ({0,2;3,4})=-6", "1"},
        {"m_determ({0.5,2;3,4})", "-4"},
        {"m_determ({1,2,3})", "#Matrix wrong size"},
        {"m_determ({1,\"a\";1,1})", "#Matrix not numeric"},
        {"m_inverse({2,0;0,4})", "{0.5,0;0,0.25}"},
        {"index(m_inverse({1,2;3,4}),1,1)", "-2"},
        {"index(m_inverse({1,2;3,4}),2,1)", "1"},
        {"index(m_inverse({1,2;3,4}),1,2)", "1.5"},
        {"index(m_inverse({1,2;3,4}),2,2)", "-0.5"},
        {"m_inverse({1,2;2,4})", "#Divide by zero"},
        {"m_mult({1,2;3,4},{5;6})", "{17;39}"},
        {"m_mult({1,2},{3;4})", "11"},
        {"m_mult({1,2},{3,4})", "#Mismatched matrices"},
        {"transpose({1,2,3;4,5,6})", "{1,4;2,5;3,6}"},
        {"transpose(H1H2)", "{2,3}"},
        {"{1,2;3,4}+{10,20;30,40}", "{11,22;33,44}"},
    };
    RUN(rows);
}

TEST(FormulaFunctions, ComplexNumbers) {
    const Row rows[] = {
        {"c_add({1,2},{3,4})", "{4,6}"},
        {"c_add(H1I1,{3,4})", "{5,8}"},
        {"c_sub({1,2},{3,4})", "{-2,-2}"},
        {"c_mul({1,2},{3,4})", "{-5,10}"},
        {"c_div({-5,10},{3,4})", "{1,2}"},
        {"c_div({1,2},{0,0})", "#Divide by zero"},
        {"c_radius({3,4})", "5"},
        {"c_theta({0,1})", "1.5707963267948966"},
        {"index(c_exp({0,1}),1,1)", "0.5403023058681398"},
        {"index(c_exp({0,1}),2,1)", "0.8414709848078965"},
        {"c_ln({1,0})", "{0,0}"},
        {"c_ln({0,0})", "#Bad logarithm"},
        {"index(c_power({0,1},{2,0}),1,1)", "-1"},
        {"c_round(c_power({0,1},{2,0}),10)", "{-1,0}"},
        {"index(c_sin({1,1}),1,1)", "1.2984575814159773"},
        {"index(c_cos({1,1}),2,1)", "-0.9888977057628651"},
        {"index(c_asin({2,0}),1,1)", "1.5707963267948966"},
        {"c_round(c_acos(c_cos({0.5,0.25})),12)", "{0.5,0.25}"},
        {"c_round(c_atanh(c_tanh({0.3,0.2})),12)", "{0.3,0.2}"},
        {"c_round(c_acosec(c_cosec({0.3,0.2})),12)", "{0.3,0.2}"},
        {"c_round(c_asec(c_sec({0.3,0.2})),12)", "{0.3,0.2}"},
        {"c_round(c_acot(c_cot({0.3,0.2})),12)", "{0.3,0.2}"},
        {"c_round(c_acosech(c_cosech({0.3,0.2})),12)", "{0.3,0.2}"},
        {"c_round(c_asech(c_sech({0.3,0.2})),12)", "{0.3,0.2}"},
        {"c_round(c_acoth(c_coth({0.3,0.2})),12)", "{0.3,0.2}"},
        {"c_round(c_asinh(c_sinh({0.3,0.2})),12)", "{0.3,0.2}"},
        {"c_round(c_acosh(c_cosh({0.3,0.2})),12)", "{0.3,0.2}"},
        {"c_round(c_atan(c_tan({0.3,0.2})),12)", "{0.3,0.2}"},
        {"c_add(\"2-3i\",\"1+i\")", "\"3-2i\""},
        {"c_mul(\"i\",\"i\")", "\"-1\""},
        {"c_radius(\"3+4j\")", "5"},
        {"c_add({1,2,3},{1,2})", "#Bad complex number"},
        {"c_add(\"abc\",{1,2})", "#Bad complex number"},
        {"c_add(1,{1,2})", "#Bad complex number"},
    };
    RUN(rows);
}

// ---- Evaluation order, cycles, propagation, depth ----

TEST(FormulaEvaluation, ForwardReferencesAndEachCellOnce) {
    FormulaSheet s;
    s.Set("A1", "=A2+A3").Set("A2", "=A3*2").Set("A3", "=5").Set("B1", "hello").Set("B2", "=B1");
    Evaluator ev(s);
    EXPECT_EQ(Describe(ev.CellValue(1, 1)), "15");
    EXPECT_EQ(ev.FormulasComputed(), 3u);
    EXPECT_EQ(Describe(ev.CellValue(1, 1)), "15");
    EXPECT_EQ(ev.FormulasComputed(), 3u);
    EXPECT_EQ(Describe(ev.CellValue(2, 2)), "\"hello\"");
    EXPECT_EQ(Describe(ev.CellValue(2, 1)), "\"hello\"");
    EXPECT_EQ(Describe(ev.CellValue(5, 5)), "blank");
    EXPECT_EQ(Describe(ev.CellValue(0, 1)), "blank");
}

TEST(FormulaEvaluation, OnlyWhatIsAskedForIsComputed) {
    FormulaSheet s;
    for (int r = 1; r <= 100; ++r) s.Set("A" + std::to_string(r), "=" + std::to_string(r));
    s.Set("B1", "=A1+A2");
    Evaluator ev(s);
    EXPECT_EQ(Describe(ev.CellValue(2, 1)), "3");
    EXPECT_EQ(ev.FormulasComputed(), 3u);
}

TEST(FormulaEvaluation, CycleMarksEachOfItsCells) {
    FormulaSheet s;
    s.Set("A1", "=A1+1");
    s.Set("B1", "=C1").Set("C1", "=D1").Set("D1", "=B1+1");
    s.Set("E1", "=B1*2");                           // depends on the cycle, not in it
    s.Set("F1", "=if(1,5,G1)").Set("G1", "=F1+1");  // a cycle of references, not of values
    s.Set("H1", "=sum(H2H3)").Set("H2", "=1").Set("H3", "=H1");
    Evaluator ev(s);
    EXPECT_EQ(Describe(ev.CellValue(1, 1)), "#Circular reference");
    EXPECT_EQ(Describe(ev.CellValue(5, 1)), "#Propagated");
    for (int c = 2; c <= 4; ++c) EXPECT_EQ(Describe(ev.CellValue(c, 1)), "#Circular reference") << c;
    EXPECT_EQ(Describe(ev.CellValue(6, 1)), "#Circular reference");
    EXPECT_EQ(Describe(ev.CellValue(7, 1)), "#Circular reference");
    EXPECT_EQ(Describe(ev.CellValue(8, 1)), "#Circular reference");
    EXPECT_EQ(Describe(ev.CellValue(8, 3)), "#Circular reference");
    EXPECT_EQ(Describe(ev.CellValue(8, 2)), "1");
}

TEST(FormulaEvaluation, CycleEnteredFromTheMiddle) {
    FormulaSheet s;
    s.Set("A1", "=B1").Set("B1", "=C1").Set("C1", "=B1");
    Evaluator ev(s);
    EXPECT_EQ(Describe(ev.CellValue(3, 1)), "#Circular reference");
    EXPECT_EQ(Describe(ev.CellValue(2, 1)), "#Circular reference");
    EXPECT_EQ(Describe(ev.CellValue(1, 1)), "#Propagated");
}

TEST(FormulaEvaluation, ErrorsPropagateThroughReferences) {
    FormulaSheet s;
    s.Set("A1", "=1/0").Set("A2", "=A1+1").Set("A3", "=A2*2").Set("A4", "=if(0,A1,7)").Set("A5", "=sqr(-1)");
    Evaluator ev(s);
    EXPECT_EQ(Describe(ev.CellValue(1, 1)), "#Divide by zero");
    EXPECT_EQ(Describe(ev.CellValue(1, 2)), "#Propagated");
    EXPECT_EQ(Describe(ev.CellValue(1, 3)), "#Propagated");
    EXPECT_EQ(Describe(ev.CellValue(1, 4)), "7");
    EXPECT_EQ(Describe(ev.CellValue(1, 5)), "#Negative root");
}

TEST(FormulaEvaluation, RunningTotalDownTwoHundredThousandRows) {
    constexpr int kRows = 200000;
    FormulaSheet s;
    s.Set("A1", "=1").Set("B1", "=A1");
    for (int r = 2; r <= kRows; ++r) {
        std::string n = std::to_string(r);
        s.Set("A" + n, "=1");
        s.Set("B" + n, "=B" + std::to_string(r - 1) + "+A" + n);
    }
    Evaluator ev(s);
    // Asking for the last cell first walks the whole chain without recursion.
    EXPECT_EQ(Describe(ev.CellValue(2, kRows)), "200000");
    EXPECT_EQ(Describe(ev.CellValue(2, kRows / 2)), "100000");
    EXPECT_EQ(ev.FormulasComputed(), 2u * kRows);
}

TEST(FormulaEvaluation, HostileFormulasEndWithAnError) {
    FormulaSheet s;
    Evaluator ev(s);
    std::string deep(60000, '(');
    EXPECT_EQ(Describe(ev.EvaluateFormula(deep + "1", 1, 1)), "#Stack overflow");
    std::string minus(60000, '-');
    EXPECT_EQ(Describe(ev.EvaluateFormula(minus + "1", 1, 1)), "#Stack overflow");
    std::string chain = "1";
    for (int i = 0; i < 5000; ++i) chain += "+1";
    EXPECT_EQ(Describe(ev.EvaluateFormula(chain, 1, 1)), "#Stack overflow");
    std::string braces(50000, '{');
    EXPECT_EQ(Describe(ev.EvaluateFormula(braces, 1, 1)), "#Stack overflow");
    std::string longest(70000, '1');
    EXPECT_EQ(Describe(ev.EvaluateFormula(longest, 1, 1)), "#Formula too long");
    EXPECT_EQ(Describe(ev.EvaluateFormula("sum(A1ZZZZ999999999)", 1, 1)), "0");
    EXPECT_EQ(Describe(ev.EvaluateFormula("rows(A1ZZZZ999999999)", 1, 1)), "999999999");
    EXPECT_EQ(Describe(ev.EvaluateFormula("rept(rept(\"x\",1000000),1000000)", 1, 1)), "#Out of range");
}

TEST(FormulaEvaluation, NamesReferringToNamesManyTimesOverStop) {
    // Each name uses the next twice: evaluated naively, 2^25 steps, though
    // no deeper than names may nest. A name that reads no cell position is
    // evaluated once per document; one that does counts against the
    // document's budget of name evaluations, shared by all its cells.
    for (const char* last : {"1", "row()"}) {
        SCOPED_TRACE(last);
        FormulaSheet s;
        for (int i = 0; i < 25; ++i)
            s.Name("n_" + std::to_string(i), "n_" + std::to_string(i + 1) + "+n_" + std::to_string(i + 1));
        s.Name("n_25", last);
        s.Set("A1", "=n_15").Set("A2", "=n_0").Set("A3", "=n_10");
        Evaluator ev(s);
        ev.SetNameBudget(3000);
        bool kept = std::string(last) == "1";
        EXPECT_EQ(Describe(ev.CellValue(1, 1)), "1024");
        EXPECT_EQ(Describe(ev.CellValue(1, 2)), kept ? "33554432" : "#Stack overflow");
        EXPECT_EQ(Describe(ev.CellValue(1, 3)), kept ? "32768" : "#Stack overflow");
    }
}

// What once ran away with time or memory, each within its bound.
TEST(FormulaEvaluation, ResourcesStayBounded) {
    {
        // A vast range over a small sheet reads only the sheet's cells.
        FormulaSheet s;
        s.Set("A1", "=sum(B1B19999999)").Set("A2", "=count(B1B19999999)").Set("A3", "=max(A5ZZ99999)");
        for (int r = 1; r <= 30; ++r) s.Set("B" + std::to_string(r), "=" + std::to_string(r));
        Evaluator ev(s);
        EXPECT_EQ(Describe(ev.CellValue(1, 1)), "465");
        EXPECT_EQ(Describe(ev.CellValue(1, 2)), "30");
        EXPECT_EQ(Describe(ev.CellValue(1, 3)), "30");
        EXPECT_LT(s.reads_, 500);
    }
    {
        // Text results share one bound; past it a cell says so and the
        // rest of the sheet computes.
        FormulaSheet s;
        for (int r = 1; r <= 40; ++r) s.Set("A" + std::to_string(r), "=rept(\"y\",100000)");
        s.Set("B1", "=length(A1)").Set("B2", "=length(A40)").Set("B3", "=6*7");
        Evaluator ev(s);
        ev.SetResultMemoryLimit(1000000);
        int kept = 0, full = 0;
        for (int r = 1; r <= 40; ++r) {
            Value v = ev.CellValue(1, r);
            kept += v.IsString() && v.text().size() == 100000;
            full += v.IsError() && v.error() == ErrorCode::MemoryFull;
        }
        EXPECT_EQ(kept, 10);
        EXPECT_EQ(full, 30);
        EXPECT_EQ(Describe(ev.CellValue(2, 1)), "100000");
        EXPECT_EQ(Describe(ev.CellValue(2, 2)), "#Propagated");
        EXPECT_EQ(Describe(ev.CellValue(2, 3)), "42");
    }
    // Chains computed from their far end: each cell waiting keeps only its
    // place, and cells asked for again and again do not pile up.
    const struct {
        const char* what;
        std::string (*formula)(int row);
        int ask;  // the row asked for first
        const char* value;
    } chains[] = {
        {"each row counts the rows above, asked from the end",
         [](int r) { return r == 1 ? std::string("=1") : "=count(A1A" + std::to_string(r - 1) + ")+1"; }, 3000, "3000"},
        {"each row counts the rows below, asked from the top",
         [](int r) { return r == 3000 ? std::string("=1") : "=count(A" + std::to_string(r + 1) + "A3000)+1"; }, 1,
         "3000"},
        {"a chain asked from its end",
         [](int r) { return r == 1 ? std::string("=1") : "=A" + std::to_string(r - 1) + "+1"; }, 3000, "3000"},
    };
    for (const auto& c : chains) {
        SCOPED_TRACE(c.what);
        FormulaSheet s;
        for (int r = 1; r <= 3000; ++r) s.Set("A" + std::to_string(r), c.formula(r));
        Evaluator ev(s);
        EXPECT_EQ(Describe(ev.CellValue(1, c.ask)), c.value);
        EXPECT_LE(ev.StackPeak(), 2 * 3000 + 4096u);
    }
}

}  // namespace
}  // namespace tw::formula
