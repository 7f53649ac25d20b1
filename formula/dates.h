// Dates and times of number cells: day numbers, parsing and the calendar.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::formula {

// A calendar date, proleptic Gregorian.
struct Ymd {
    int year = 0;
    int month = 0;  // 1 .. 12
    int day = 0;    // 1 .. 31
    bool operator==(const Ymd&) const = default;
};

// Day numbers count from 30.12.1899 (day 0), the epoch common spreadsheets
// use, so a day number read back by one of them names the same date from
// March 1900 on. Earlier dates, 1066 included, are negative day numbers.
std::int64_t DaysFromCivil(int year, int month, int day);
inline std::int64_t DaysFromCivil(const Ymd& d) { return DaysFromCivil(d.year, d.month, d.day); }
Ymd CivilFromDays(std::int64_t days);

bool IsLeapYear(int year);
// Days in a month of a year; 0 for a month outside 1 .. 12.
int DaysInMonth(int year, int month);
// True when the three parts name a day of the calendar (year 1 .. 9999).
bool IsValidDate(int year, int month, int day);

// Moves a date by whole months, the day kept but cut to the end of a
// shorter month (31.1 plus one month is the last day of February).
Ymd AddMonths(const Ymd& date, int months);

// Day of the week, 1 for Sunday to 7 for Saturday.
int Weekday(std::int64_t days);
// Week of the year, ISO 8601 (weeks start on Monday; week 1 holds the
// year's first Thursday).
int WeekNumber(std::int64_t days);

// Whole years and months from `earlier` to `later`, as years + months/100
// (12 years and 10 months give 12.10); negative when `later` is earlier.
double Age(const Ymd& later, const Ymd& earlier);

// A two-digit year in the fixed window spreadsheets use: 00 to 29 are
// 2000 to 2029, 30 to 99 are 1930 to 1999, so a file's dates do not move
// with the calendar. Years of three or more digits are kept as written.
int ExpandTwoDigitYear(int year);

inline constexpr std::int32_t kSecondsPerDay = 86400;

// A date, a time of day or both. A time alone has no date part, and a
// date alone is at midnight.
struct DateTime {
    bool has_date = false;
    bool has_time = false;
    std::int64_t days = 0;     // day number, when has_date
    std::int32_t seconds = 0;  // second of the day, 0 .. 86399
    bool operator==(const DateTime&) const = default;

    // Day number plus the fraction of the day (a time alone is below 1).
    double Serial() const { return static_cast<double>(days) + seconds / double(kSecondsPerDay); }
    Ymd Date() const { return CivilFromDays(days); }
    int Hour() const { return seconds / 3600; }
    int Minute() const { return seconds / 60 % 60; }
    int Second() const { return seconds % 60; }
};

// Builds a date-time from a serial (day number plus fraction), rounding to
// the nearest second; `has_date` says whether the day part counts.
DateTime FromSerial(double serial, bool has_date, bool has_time);

// Normalises a number of seconds (any sign, any size) into whole days
// carried into the date and a second of the day.
DateTime AddSeconds(const DateTime& base, std::int64_t seconds);

// A date or time literal at the start of `text`: "d.m.y" (one- or
// two-digit day and month, two-digit years expanded) or "h:m" / "h:m:s".
struct DateLiteral {
    std::size_t length = 0;  // characters taken; 0 when there is no literal
    bool valid = false;      // false for a literal naming no date (31.2.91)
    DateTime value;
};
DateLiteral MatchDateLiteral(std::string_view text);

// Reads a whole text as a date, a time or a date followed by blanks and a
// time ("17.3.61 17:15"), surrounding blanks allowed. Nothing for any other
// text or an impossible date or time.
std::optional<DateTime> ParseDateTime(std::string_view text);

// Date display styles of the DF option.
enum class DateStyle {
    DayMonthYear,  // 30.10.1991
    MonthDayYear,  // 10.30.1991
    Text,          // 30 Oct 1991
};
// The style named by a DF option value: "E" or "D" day first, "A" or "M"
// month first, anything else (the default, "T") textual.
DateStyle DateStyleFromOption(std::string_view df);

// A date-time as PipeDream shows it in a number cell: the date in the
// style, a blank, then the time as h:mm:ss; either part alone when the
// other is missing.
std::string FormatDateTime(const DateTime& value, DateStyle style);
// The ISO 8601 form: "1991-10-30", "18:33:04" or "1991-10-30T18:33:04".
std::string FormatIso(const DateTime& value);

// English day and month names, 1-based; empty outside their range.
std::string_view DayName(int weekday);  // 1 = Sunday
std::string_view MonthName(int month);  // 1 = January

}  // namespace tw::formula
