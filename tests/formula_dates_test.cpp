// Calendar arithmetic, date and time literals and their display forms.
#include <gtest/gtest.h>

#include "formula/dates.h"

namespace tw::formula {
namespace {

TEST(Dates, DayNumbersRoundTripAndMatchSpreadsheetEpoch) {
    struct Row {
        Ymd date;
        std::int64_t days;
    };
    const Row rows[] = {
        {{1899, 12, 30}, 0},       {{1900, 3, 1}, 61},        {{1970, 1, 1}, 25569},
        {{2000, 2, 29}, 36585},    {{2000, 3, 1}, 36586},     {{1961, 3, 17}, 22357},
        {{1066, 10, 14}, -304324}, {{9999, 12, 31}, 2958465}, {{1, 1, 1}, -693593},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.days);
        EXPECT_EQ(DaysFromCivil(r.date), r.days);
        EXPECT_EQ(CivilFromDays(r.days), r.date);
    }
    // Every day of four centuries round-trips and follows its predecessor.
    for (std::int64_t d = -146097; d < 146097 * 2; d += 1) {
        Ymd y = CivilFromDays(d);
        ASSERT_TRUE(IsValidDate(y.year, y.month, y.day)) << d;
        ASSERT_EQ(DaysFromCivil(y), d);
    }
}

TEST(Dates, MonthLengthsAndLeapYears) {
    struct Row {
        int year, month, days;
    };
    const Row rows[] = {
        {1900, 2, 28}, {2000, 2, 29}, {1984, 2, 29},  {2023, 2, 28}, {2024, 2, 29},
        {2100, 2, 28}, {2023, 4, 30}, {2023, 12, 31}, {2023, 0, 0},  {2023, 13, 0},
    };
    for (const Row& r : rows) EXPECT_EQ(DaysInMonth(r.year, r.month), r.days) << r.year << "." << r.month;
    EXPECT_FALSE(IsValidDate(1991, 2, 29));
    EXPECT_TRUE(IsValidDate(1992, 2, 29));
    EXPECT_FALSE(IsValidDate(1991, 4, 31));
    EXPECT_FALSE(IsValidDate(1991, 1, 0));
}

TEST(Dates, AddMonthsCutsToMonthEnd) {
    struct Row {
        Ymd from;
        int months;
        Ymd to;
    };
    const Row rows[] = {
        {{2023, 1, 31}, 1, {2023, 2, 28}},  {{2024, 1, 31}, 1, {2024, 2, 29}},   {{2024, 3, 31}, -1, {2024, 2, 29}},
        {{2023, 12, 15}, 1, {2024, 1, 15}}, {{2023, 1, 15}, -1, {2022, 12, 15}}, {{2023, 5, 31}, -25, {2021, 4, 30}},
        {{2023, 5, 10}, 0, {2023, 5, 10}},
    };
    for (const Row& r : rows) EXPECT_EQ(AddMonths(r.from, r.months), r.to) << r.months;
}

TEST(Dates, WeekdaysWeekNumbersAndAges) {
    EXPECT_EQ(Weekday(DaysFromCivil(1961, 3, 17)), 6);   // a Friday
    EXPECT_EQ(Weekday(DaysFromCivil(2026, 12, 6)), 1);   // a Sunday
    EXPECT_EQ(Weekday(DaysFromCivil(1066, 10, 14)), 1);  // Gregorian reckoning: a Sunday
    struct Week {
        Ymd date;
        int week;
    };
    const Week weeks[] = {
        {{2021, 1, 1}, 53}, {{2021, 1, 4}, 1}, {{2020, 12, 31}, 53}, {{2024, 12, 30}, 1}, {{2026, 6, 15}, 25},
    };
    for (const Week& w : weeks) EXPECT_EQ(WeekNumber(DaysFromCivil(w.date)), w.week) << w.date.year;
    struct AgeRow {
        Ymd later, earlier;
        double age;
    };
    const AgeRow ages[] = {
        {{1994, 6, 26}, {1982, 8, 25}, 11.10},  {{1994, 8, 25}, {1982, 8, 25}, 12.0},
        {{1994, 8, 24}, {1982, 8, 25}, 11.11},  {{2000, 1, 1}, {2000, 1, 1}, 0.0},
        {{1982, 8, 25}, {1994, 9, 25}, -12.01},
    };
    for (const AgeRow& a : ages) EXPECT_DOUBLE_EQ(Age(a.later, a.earlier), a.age) << a.age;
}

TEST(Dates, TwoDigitYearsFallInAFixedWindow) {
    struct Row {
        int written, year;
    };
    const Row rows[] = {
        {0, 2000}, {17, 2017}, {29, 2029}, {30, 1930}, {46, 1946}, {61, 1961}, {99, 1999}, {100, 100}, {1066, 1066},
    };
    for (const Row& r : rows) EXPECT_EQ(ExpandTwoDigitYear(r.written), r.year) << r.written;
}

TEST(Dates, LiteralsAtTheStartOfText) {
    struct Row {
        const char* text;
        std::size_t length;
        bool valid;
        bool has_date;
        Ymd date;
        int seconds;
    };
    const Row rows[] = {
        {"17.3.61", 7, true, true, {1961, 3, 17}, 0},
        {"17.03.1961+1", 10, true, true, {1961, 3, 17}, 0},
        {"29.2.1900", 9, false, true, {}, 0},
        {"29.2.2000", 9, true, true, {2000, 2, 29}, 0},
        {"31.4.91", 7, false, true, {}, 0},
        {"18:33:04", 8, true, false, {}, 18 * 3600 + 33 * 60 + 4},
        {"18:33)", 5, true, false, {}, 18 * 3600 + 33 * 60},
        {"24:00", 5, false, false, {}, 0},
        {"12.5", 0, false, false, {}, 0},
        {"1.2.3.4", 0, false, false, {}, 0},
        {"1.2.12345", 0, false, false, {}, 0},
        {"A1", 0, false, false, {}, 0},
        {"1:2:3:4", 0, false, false, {}, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        DateLiteral lit = MatchDateLiteral(r.text);
        EXPECT_EQ(lit.length, r.length);
        if (r.length == 0) continue;
        EXPECT_EQ(lit.valid, r.valid);
        EXPECT_EQ(lit.value.has_date, r.has_date);
        if (r.valid && r.has_date) {
            EXPECT_EQ(lit.value.Date(), r.date);
        }
        if (r.valid) {
            EXPECT_EQ(lit.value.seconds, r.seconds);
        }
    }
}

TEST(Dates, WholeTextsAndTheirDisplayForms) {
    struct Row {
        const char* text;
        const char* dmy;
        const char* mdy;
        const char* textual;
        const char* iso;
    };
    const Row rows[] = {
        {"17.3.61", "17.3.1961", "3.17.1961", "17 Mar 1961", "1961-03-17"},
        {" 17.3.61  17:15 ", "17.3.1961 17:15:00", "3.17.1961 17:15:00", "17 Mar 1961 17:15:00", "1961-03-17T17:15:00"},
        {"18:33", "18:33:00", "18:33:00", "18:33:00", "18:33:00"},
        {"15.3.1066", "15.3.1066", "3.15.1066", "15 Mar 1066", "1066-03-15"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        auto v = ParseDateTime(r.text);
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(FormatDateTime(*v, DateStyle::DayMonthYear), r.dmy);
        EXPECT_EQ(FormatDateTime(*v, DateStyle::MonthDayYear), r.mdy);
        EXPECT_EQ(FormatDateTime(*v, DateStyle::Text), r.textual);
        EXPECT_EQ(FormatIso(*v), r.iso);
    }
    for (const char* bad : {"", "17.3.61x", "17.3.61 25:00", "18:33 17.3.61", "31.2.2000", "hello"})
        EXPECT_FALSE(ParseDateTime(bad).has_value()) << bad;
}

TEST(Dates, SerialsAndSecondCarries) {
    DateTime t = FromSerial(22357.5, true, true);
    EXPECT_EQ(t.Date(), (Ymd{1961, 3, 17}));
    EXPECT_EQ(t.seconds, 43200);
    EXPECT_DOUBLE_EQ(t.Serial(), 22357.5);
    // A fraction a hair below a whole day rounds into the next day.
    DateTime u = FromSerial(10.0 - 1e-9, true, true);
    EXPECT_EQ(u.days, 10);
    EXPECT_EQ(u.seconds, 0);
    DateTime late{true, true, DaysFromCivil(2023, 12, 31), 86399};
    DateTime next = AddSeconds(late, 1);
    EXPECT_EQ(next.Date(), (Ymd{2024, 1, 1}));
    EXPECT_EQ(next.seconds, 0);
    DateTime back = AddSeconds(late, -2 * 86400);
    EXPECT_EQ(back.Date(), (Ymd{2023, 12, 29}));
    EXPECT_EQ(back.seconds, 86399);
    EXPECT_EQ(DateStyleFromOption("E"), DateStyle::DayMonthYear);
    EXPECT_EQ(DateStyleFromOption("A"), DateStyle::MonthDayYear);
    EXPECT_EQ(DateStyleFromOption(""), DateStyle::Text);
    EXPECT_EQ(DayName(1), "Sunday");
    EXPECT_EQ(MonthName(12), "December");
    EXPECT_EQ(MonthName(13), "");
}

}  // namespace
}  // namespace tw::formula
