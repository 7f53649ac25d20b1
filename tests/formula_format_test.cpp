// The display form of values: decimal places, signs, separators, leading
// and trailing characters, dates, widths and errors.
#include <gtest/gtest.h>

#include "document/number_format.h"
#include "formula/evaluator.h"
#include "formula/format.h"
#include "formula/number_text.h"
#include "formula_sheet.h"
#include "support.h"

namespace tw::formula {
namespace {

NumberFormat Fmt(int decimals, bool floating = false, bool brackets = false, char thousands = 0) {
    NumberFormat f;
    f.decimals = decimals;
    f.floating = floating;
    f.brackets = brackets;
    f.thousands = thousands;
    return f;
}

TEST(FormatValue, Numbers) {
    struct Row {
        double n;
        NumberFormat fmt;
        int width;
        const char* shown;
    };
    const Row rows[] = {
        // One value in a column of 12 at each setting.
        {12345.6789, Fmt(0), 12, "12346"},
        {12345.6789, Fmt(2), 12, "12345.68"},
        {12345.6789, Fmt(5), 12, "12345.67890"},
        {12345.6789, Fmt(6), 12, "1.234568E4"},
        {12345.6789, Fmt(9), 12, "%%%%%%%%%%%"},
        {12345.6789, Fmt(0, true), 12, "12345.6789"},
        {12345.6789, Fmt(9), 0, "12345.678900000"},
        {-12345.6789, Fmt(2), 12, "-12345.68"},
        {-12345.6789, Fmt(2, false, true), 12, "(12345.68)"},
        {-0.001, Fmt(2), 12, "0.00"},  // rounds to zero: no sign
        {-0.001, Fmt(2, false, true), 12, "0.00"},
        {1234567.891, Fmt(2, false, false, ','), 0, "1,234,567.89"},
        {1234567.891, Fmt(2, false, false, '.'), 0, "1.234.567,89"},
        {1234567.891, Fmt(2, false, false, ' '), 0, "1 234 567.89"},
        {-1234567.891, Fmt(0, false, true, ','), 0, "(1,234,568)"},
        {123.0, Fmt(0, false, false, ','), 0, "123"},
        {1000.0, Fmt(0, false, false, ','), 0, "1,000"},
        {0.5, Fmt(0), 0, "1"},  // halves away from zero
        {2.5, Fmt(0), 0, "3"},
        {-2.5, Fmt(0), 0, "-3"},
        {0.125, Fmt(2), 0, "0.13"},
        {1.0 / 3.0, Fmt(0, true), 0, "0.333333333333333"},
        {1.0 / 3.0, Fmt(0, true), 8, "0.33333"},
        {12.0, Fmt(0, true), 8, "12"},
        {-12.5, Fmt(0, true), 8, "-12.5"},
        {1e20, Fmt(0, true), 12, "1E20"},
        {1.5e-7, Fmt(0, true), 12, "1.5E-7"},
        {123456789012.0, Fmt(0, true), 8, "1.23E11"},
        {123456789012.0, Fmt(0, true), 4, "%%%"},
        {0.0, Fmt(3, true), 5, "0"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.shown);
        EXPECT_EQ(FormatValue(Value::Number(r.n), r.fmt, r.width), r.shown);
    }
}

TEST(FormatValue, LeadingTrailingDatesErrorsAndOthers) {
    NumberFormat money = Fmt(2);
    money.leading = "\xA3";
    money.trailing = "p";
    EXPECT_EQ(FormatValue(Value::Number(4.5), money),
              "\xA3"
              "4.50p");
    EXPECT_EQ(FormatValue(Value::Number(-4.5), money),
              "-\xA3"
              "4.50p");
    money.brackets = true;
    EXPECT_EQ(FormatValue(Value::Number(-4.5), money),
              "(\xA3"
              "4.50p)");
    EXPECT_EQ(FormatValue(Value::Number(-4.5), money, 9),
              "(\xA3"
              "4.50p)");
    EXPECT_EQ(FormatValue(Value::Number(-4.5), money, 8), "%%%%%%%");
    EXPECT_EQ(FormatNumber(-4.5, money), "(4.50)");

    DateTime d{true, false, DaysFromCivil(1991, 10, 30), 0};
    DateTime dt{true, true, DaysFromCivil(1991, 10, 30), 18 * 3600 + 33 * 60 + 4};
    DateTime t{false, true, 0, 9 * 3600 + 5};
    struct Row {
        DateTime v;
        DateStyle style;
        int width;
        const char* shown;
    };
    const Row rows[] = {
        {d, DateStyle::DayMonthYear, 0, "30.10.1991"},
        {d, DateStyle::MonthDayYear, 0, "10.30.1991"},
        {d, DateStyle::Text, 0, "30 Oct 1991"},
        {dt, DateStyle::DayMonthYear, 0, "30.10.1991 18:33:04"},
        {t, DateStyle::Text, 0, "9:00:05"},
        {d, DateStyle::DayMonthYear, 11, "30.10.1991"},
        {d, DateStyle::DayMonthYear, 10, "%%%%%%%%%"},
    };
    for (const Row& r : rows) {
        NumberFormat f;
        f.dates = r.style;
        EXPECT_EQ(FormatValue(Value::Date(r.v), f, r.width), r.shown);
    }
    EXPECT_EQ(FormatValue(Value::Error(ErrorCode::DivideByZero), money), "Divide by zero");
    EXPECT_EQ(FormatValue(Value::Error(ErrorCode::CircularReference), money, 4), "Circular reference");
    EXPECT_EQ(FormatValue(Value::String("abc"), money), "abc");
    EXPECT_EQ(FormatValue(Value(), money), "");
    Array a(2, 1);
    a.at(0, 0) = Value::Number(7);
    a.at(1, 0) = Value::Number(8);
    EXPECT_EQ(FormatValue(Value::MakeArray(a), Fmt(0)), "7");
}

TEST(FormatValue, DocumentAndCellFormats) {
    test::Fixture f;
    f.Load("%OP%DPF\n%OP%MBB\n%OP%TH,\n%OP%DFA\n%OP%LP$\n%OP%TPhrs\n%CO:A,12,72%x\n");
    NumberFormat doc = DocumentNumberFormat(f.doc);
    EXPECT_TRUE(doc.floating);
    EXPECT_TRUE(doc.brackets);
    EXPECT_EQ(doc.thousands, ',');
    EXPECT_EQ(doc.dates, DateStyle::MonthDayYear);
    EXPECT_EQ(doc.leading, "");

    NumberFormat cell = CellNumberFormat(f.doc, ParseCellConstructs("%V%%D1%%LC%%TC%1"));
    EXPECT_FALSE(cell.floating);
    EXPECT_EQ(cell.decimals, 1);
    EXPECT_EQ(FormatValue(Value::Number(-1234.56), cell), "($1,234.6hrs)");

    test::Fixture g;
    g.Load("%OP%DP3\n%CO:A,12,72%x\n");
    NumberFormat plain = DocumentNumberFormat(g.doc);
    EXPECT_EQ(plain.decimals, 3);
    EXPECT_FALSE(plain.brackets);
    EXPECT_EQ(plain.thousands, 0);
    EXPECT_EQ(plain.dates, DateStyle::Text);
    EXPECT_EQ(FormatValue(Value::Number(2), CellNumberFormat(g.doc, ParseCellConstructs("%V%%B%%DF%2"))), "2");
    EXPECT_EQ(FormatValue(Value::Number(-2), CellNumberFormat(g.doc, ParseCellConstructs("%V%%B%2"))), "(2.000)");
    // The LP default is the pound sign.
    EXPECT_EQ(FormatValue(Value::Number(2), CellNumberFormat(g.doc, ParseCellConstructs("%V%%LC%%D0%2"))),
              "\xA3"
              "2");
}

}  // namespace
// One rounding rule: the display form, round() and string() agree, halves
// away from zero as the number is written (1.005 is 1.01).
TEST(FormatValue, DisplayRoundAndStringRoundAlike) {
    const struct {
        double x;
        int places;
        const char* shown;
    } cases[] = {
        {1.005, 2, "1.01"},         {2.675, 2, "2.68"},    {1.015, 2, "1.02"}, {-1.005, 2, "-1.01"},
        {0.125, 2, "0.13"},         {8.345, 2, "8.35"},    {2.5, 0, "3"},      {-2.5, 0, "-3"},
        {1234.5675, 3, "1234.568"}, {0.1 + 0.2, 1, "0.3"}, {1e-9, 2, "0.00"},  {99.995, 2, "100.00"},
    };
    test::FormulaSheet sheet;
    Evaluator eval(sheet);
    for (const auto& c : cases) {
        std::string x = GeneralText(c.x, 17), places = std::to_string(c.places);
        SCOPED_TRACE(x);
        NumberFormat fmt;
        fmt.decimals = c.places;
        EXPECT_EQ(FormatNumber(c.x, fmt), c.shown);
        EXPECT_EQ(Describe(eval.EvaluateFormula("string(" + x + "," + places + ")", 1, 1)),
                  "\"" + std::string(c.shown) + "\"");
        EXPECT_EQ(FormatNumber(eval.EvaluateFormula("round(" + x + "," + places + ")", 1, 1).number(), fmt), c.shown);
    }
}

}  // namespace tw::formula
