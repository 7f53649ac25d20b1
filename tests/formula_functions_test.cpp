// Date and time, financial and database functions: formula -> value.
#include <gtest/gtest.h>

#include <cmath>

#include "formula/evaluator.h"
#include "formula_sheet.h"

namespace tw::formula {
namespace {

using test::FormulaSheet;

struct Expect {
    const char* formula;
    enum Kind { Num, Str, Err, DateIs, TimeIs } kind;
    double number = 0;  // Num: the value; tolerance `tol` (0: exact)
    double tol = 0;
    const char* text = "";  // Str: the string; Err: the error name; DateIs / TimeIs: the ISO form
};

void Check(FormulaSheet& sheet, const Expect& e) {
    Evaluator ev(sheet);
    Value v = ev.EvaluateFormula(e.formula, 1, 1000);
    SCOPED_TRACE(std::string(e.formula) + " gave " + Describe(v));
    switch (e.kind) {
    case Expect::Num:
        ASSERT_TRUE(v.IsNumber());
        if (e.tol == 0) EXPECT_DOUBLE_EQ(v.number(), e.number);
        else EXPECT_NEAR(v.number(), e.number, e.tol);
        break;
    case Expect::Str:
        ASSERT_TRUE(v.IsString());
        EXPECT_EQ(v.text(), e.text);
        break;
    case Expect::Err:
        ASSERT_TRUE(v.IsError());
        EXPECT_EQ(ErrorName(v.error()), e.text);
        break;
    case Expect::DateIs:
    case Expect::TimeIs:
        ASSERT_TRUE(v.IsDate());
        EXPECT_EQ(FormatIso(v.date()), e.text);
        EXPECT_EQ(v.date().has_date, e.kind == Expect::DateIs || std::string(e.text).find('-') != std::string::npos);
        break;
    }
}

TEST(DateTimeFunctions, Table) {
    FormulaSheet sheet;
    sheet.Set("A1", "=17.3.61").Set("A2", "=18:33:04").Set("A3", "hello");
    const Expect rows[] = {
        {"age(26.6.1994,25.8.1982)", Expect::Num, 11.10},
        {"age(25.8.1994,25.8.1982)", Expect::Num, 12.0},
        {"int(age(1.3.2024,29.2.2020))", Expect::Num, 4},
        {"date(61,3,17)", Expect::DateIs, 0, 0, "1961-03-17"},
        {"date(2023,14,1)", Expect::DateIs, 0, 0, "2024-02-01"},
        {"date(2024,2,30)", Expect::DateIs, 0, 0, "2024-03-01"},
        {"date(2024,3,0)", Expect::DateIs, 0, 0, "2024-02-29"},
        {"date(2023,0,1)", Expect::DateIs, 0, 0, "2022-12-01"},
        {"date(10000,1,1)", Expect::Err, 0, 0, "Bad date"},
        {"datevalue(\"17.3.61\")", Expect::DateIs, 0, 0, "1961-03-17"},
        {"datevalue(\"17.3.61 17:15\")", Expect::DateIs, 0, 0, "1961-03-17T17:15:00"},
        {"datevalue(\"30.2.61\")", Expect::Err, 0, 0, "Bad date"},
        {"day(A1)", Expect::Num, 17},
        {"month(2.9.91)", Expect::Num, 9},
        {"year(15.3.1066)", Expect::Num, 1066},
        {"year(1.1.45)", Expect::Num, 1945},
        {"hour(A2)", Expect::Num, 18},
        {"minute(A2)", Expect::Num, 33},
        {"second(A2)", Expect::Num, 4},
        {"day(A2)", Expect::Err, 0, 0, "No date value"},
        {"day(A3)", Expect::Err, 0, 0, "String not expected"},
        {"day(5)", Expect::Err, 0, 0, "Number not expected"},
        {"monthdays(1.2.84)", Expect::Num, 29},
        {"monthdays(1.2.1900)", Expect::Num, 28},
        {"monthdays(15.4.2023)", Expect::Num, 30},
        {"dayname(1)", Expect::Str, 0, 0, "Sunday"},
        {"dayname(9)", Expect::Str, 0, 0, "Monday"},
        {"dayname(17.3.61)", Expect::Str, 0, 0, "Friday"},
        {"monthname(12)", Expect::Str, 0, 0, "December"},
        {"monthname(2.9.91)", Expect::Str, 0, 0, "September"},
        {"monthname(0)", Expect::Err, 0, 0, "Out of range"},
        {"time(18,33,4)", Expect::TimeIs, 0, 0, "18:33:04"},
        {"time(0,90,0)", Expect::TimeIs, 0, 0, "01:30:00"},
        {"time(25,0,0)", Expect::TimeIs, 0, 0, "01:00:00"},
        {"time(0,0,-1)", Expect::Err, 0, 0, "Bad time"},
        {"timevalue(\"18:33\")", Expect::TimeIs, 0, 0, "18:33:00"},
        {"timevalue(\"noon\")", Expect::Err, 0, 0, "Bad time"},
        {"weekday(17.3.61)", Expect::Num, 6},
        {"weekday(31.12.2023)", Expect::Num, 1},
        {"weeknumber(1.1.2021)", Expect::Num, 53},
        {"weeknumber(4.1.2021)", Expect::Num, 1},
        {"year(today())-year(date(2020,1,1))>=6", Expect::Num, 1},
        {"hour(now())>=0", Expect::Num, 1},
        // Arrays go element by element.
        {"index(day({1.2.2000,29.2.2000}),2,1)", Expect::Num, 29},
    };
    for (const Expect& e : rows) Check(sheet, e);
}

TEST(FinancialFunctions, Table) {
    FormulaSheet sheet;
    // A cash flow: one outlay, thirteen equal returns.
    sheet.Set("A1", "=-5000");
    for (int r = 2; r <= 14; ++r) sheet.Set("A" + std::to_string(r), "=500");
    sheet.Set("B1", "=-120000").Set("B2", "=39000").Set("B3", "=30000").Set("B4", "=21000");
    sheet.Set("C1", "=120").Set("C2", "=120").Set("C3", "label").Set("C4", "=120").Set("C5", "=120").Set("C6", "=120");
    const Expect rows[] = {
        {"cterm(0.10,2000,1000)", Expect::Num, 7.2725, 1e-4},
        {"cterm(0,2000,1000)", Expect::Err, 0, 0, "Divide by zero"},
        {"cterm(0.1,-2000,1000)", Expect::Err, 0, 0, "Bad logarithm"},
        {"ddb(5000,1000,5,1)", Expect::Num, 2000},
        {"ddb(5000,1000,5,2)", Expect::Num, 1200},
        {"ddb(5000,1000,5,3)", Expect::Num, 720},
        {"ddb(5000,1000,5,4)", Expect::Num, 80, 1e-9},  // the salvage stops it
        {"ddb(5000,1000,5,5)", Expect::Num, 0},
        {"ddb(5000,1000,5,1,1.5)", Expect::Num, 1500},
        {"ddb(5000,1000,5,6)", Expect::Err, 0, 0, "Parameter out of range"},
        {"fv(400,0.05,25)", Expect::Num, 19090.84, 0.005},
        {"fv(400,0,25)", Expect::Num, 10000},
        {"irr(0.01,A1A14)", Expect::Num, 0.04, 0.005},
        {"irr(0.1,{-100,110})", Expect::Num, 0.1, 1e-9},
        {"irr(0.1,{100,110})", Expect::Err, 0, 0, "Irr"},
        {"mirr(B1B4,.10,.12)", Expect::Num, -0.04804, 5e-6},
        {"npv(0.10,C1C6)", Expect::Num, 454.89, 0.005},  // the text cell is skipped
        {"npv(0,{1,2,3})", Expect::Num, 6},
        {"pmt(150000,0.10/12,20*12)", Expect::Num, 1447.53, 0.005},
        {"pmt(1200,0,12)", Expect::Num, 100},
        {"pv(2000,0.12,30)", Expect::Num, 16110.37, 0.005},
        {"rate(1000000,50000,25*12)", Expect::Num, 0.01, 0.0005},
        {"rate(100,50,0)", Expect::Err, 0, 0, "Divide by zero"},
        {"sln(500,100,5)", Expect::Num, 80},
        {"sln(500,100,0)", Expect::Err, 0, 0, "Divide by zero"},
        {"syd(500,100,5,1)", Expect::Num, 133.3333333, 1e-6},
        {"syd(500,100,5,5)", Expect::Num, 26.6666667, 1e-6},
        {"syd(500,100,5,0)", Expect::Err, 0, 0, "Parameter out of range"},
        {"term(5000,0.10,1000000)", Expect::Num, 31.94, 0.005},
        {"pv(\"x\",1,1)", Expect::Err, 0, 0, "String not expected"},
        {"sln(1/0,1,1)", Expect::Err, 0, 0, "Divide by zero"},
    };
    for (const Expect& e : rows) Check(sheet, e);
}

TEST(DatabaseFunctions, Table) {
    FormulaSheet sheet;
    const char* names[] = {"Jane", "Fred", "Alan", "Mary", "Susan"};
    const char* towns[] = {"Brighton", "Blackpool", "Coventry", "Brighton", "Coventry"};
    const char* amounts[] = {"=1", "=3", "=10", "=4", "=15"};
    for (int r = 1; r <= 5; ++r) {
        std::string row = std::to_string(r);
        sheet.Set("A" + row, names[r - 1]).Set("B" + row, towns[r - 1]).Set("C" + row, amounts[r - 1]);
    }
    sheet.Set("D1", "=3");  // a fixed cell in a condition stays put
    sheet.Set("E1", "=1").Set("E2", "x").Set("E4", "=1/0");
    const Expect rows[] = {
        {"dmax(C1C3,C1C3<10)", Expect::Num, 3},
        {"dmax(C1C3,A1A3>=\"b\")", Expect::Num, 3},
        {"dcounta(B1B5,B1B5=\"B^#\")", Expect::Num, 3},
        {"dcount(B1B5,B1B5=\"B^#\")", Expect::Num, 0},  // towns are text
        {"dsum(C1C5,B1B5=\"coventry\")", Expect::Num, 25},
        {"davg(C1C5,B1B5=\"Brighton\")", Expect::Num, 2.5},
        {"dmin(C1C5,C1C5>D1)", Expect::Num, 4},
        {"dcount(C1C5,C1C5>D1)", Expect::Num, 3},
        {"dvar(C1C5,C1C5>0)", Expect::Num, 33.3, 1e-12},
        {"dvarp(C1C5,C1C5>0)", Expect::Num, 26.64, 1e-12},
        {"dstd(C1C5,C1C5>0)", Expect::Num, std::sqrt(33.3), 1e-12},
        {"dstdp(C1C5,C1C5>0)", Expect::Num, std::sqrt(26.64), 1e-12},
        {"dsum(C1C5,A1A5=\"^?a^#\")", Expect::Num, 5},  // Jane, Mary
        {"dsum(C1C5,0)", Expect::Num, 0},
        {"davg(C1C5,C1C5>100)", Expect::Err, 0, 0, "Divide by zero"},
        {"dstd(C1C5,C1C5=1)", Expect::Err, 0, 0, "Divide by zero"},
        {"dmax(C1C5,C1C5>100)", Expect::Num, 0},
        {"dcounta(E1E4,1)", Expect::Err, 0, 0, "Propagated"},  // an error cell in the range
        {"dcounta(E1E3,1)", Expect::Num, 2},
        {"dsum(C1C5,1/0)", Expect::Err, 0, 0, "Divide by zero"},
    };
    for (const Expect& e : rows) Check(sheet, e);
}

}  // namespace
}  // namespace tw::formula
