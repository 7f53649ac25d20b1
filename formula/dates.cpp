#include "formula/dates.h"

#include <cmath>
#include <cstdio>

namespace tw::formula {

namespace {

// Day number of 30.12.1899 counted from 1.1.1970, to move the civil
// arithmetic's own epoch onto ours.
constexpr std::int64_t kEpochShift = -25569;

constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads up to `max_digits` digits at `pos`; -1 when there are none.
int ReadNumber(std::string_view text, std::size_t& pos, int max_digits, int& digits) {
    int value = 0;
    digits = 0;
    while (pos < text.size() && IsDigit(text[pos]) && digits < max_digits) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++digits;
    }
    return digits == 0 ? -1 : value;
}

DateLiteral MatchTime(std::string_view text) {
    DateLiteral out;
    std::size_t pos = 0;
    int digits = 0;
    int h = ReadNumber(text, pos, 2, digits);
    if (h < 0 || pos >= text.size() || text[pos] != ':') return out;
    ++pos;
    int m = ReadNumber(text, pos, 2, digits);
    if (m < 0) return out;
    int s = 0;
    if (pos + 1 < text.size() && text[pos] == ':' && IsDigit(text[pos + 1])) {
        ++pos;
        s = ReadNumber(text, pos, 2, digits);
    }
    // A literal runs into no further digit or point ("1:2:3:4" is none).
    if (pos < text.size() && (IsDigit(text[pos]) || text[pos] == ':')) return out;
    out.length = pos;
    out.valid = h < 24 && m < 60 && s < 60;
    out.value.has_time = true;
    out.value.seconds = out.valid ? h * 3600 + m * 60 + s : 0;
    return out;
}

}  // namespace

std::int64_t DaysFromCivil(int year, int month, int day) {
    // Howard Hinnant's days_from_civil: years start in March so the leap
    // day is the last day of the year.
    std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    std::int64_t era = FloorDiv(y, 400);
    std::int64_t yoe = y - era * 400;
    std::int64_t mp = (month + 9) % 12;
    std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 - kEpochShift;
}

Ymd CivilFromDays(std::int64_t days) {
    std::int64_t z = days + kEpochShift + 719468;
    std::int64_t era = FloorDiv(z, 146097);
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    int y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    return {y, m, d};
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && day >= 1 && day <= DaysInMonth(year, month);
}

Ymd AddMonths(const Ymd& date, int months) {
    std::int64_t index = static_cast<std::int64_t>(date.year) * 12 + (date.month - 1) + months;
    Ymd out;
    out.year = static_cast<int>(FloorDiv(index, 12));
    out.month = static_cast<int>(index - static_cast<std::int64_t>(out.year) * 12) + 1;
    int last = DaysInMonth(out.year, out.month);
    out.day = date.day > last ? last : date.day;
    return out;
}

int Weekday(std::int64_t days) {
    // Day 0, 30.12.1899, was a Saturday.
    std::int64_t r = (days + 6) % 7;
    if (r < 0) r += 7;
    return static_cast<int>(r) + 1;
}

int WeekNumber(std::int64_t days) {
    // Monday-based weekday 0..6; the week's Thursday decides its year.
    int monday_based = (Weekday(days) + 5) % 7;
    std::int64_t thursday = days - monday_based + 3;
    int year = CivilFromDays(thursday).year;
    std::int64_t first = DaysFromCivil(year, 1, 1);
    return static_cast<int>((thursday - first) / 7) + 1;
}

double Age(const Ymd& later, const Ymd& earlier) {
    bool negative = DaysFromCivil(later) < DaysFromCivil(earlier);
    const Ymd& a = negative ? earlier : later;
    const Ymd& b = negative ? later : earlier;
    int months = (a.year - b.year) * 12 + (a.month - b.month);
    if (a.day < b.day) --months;
    double result = months / 12 + (months % 12) / 100.0;
    return negative ? -result : result;
}

int ExpandTwoDigitYear(int year) {
    if (year < 0 || year > 99) return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

DateTime FromSerial(double serial, bool has_date, bool has_time) {
    DateTime out;
    out.has_date = has_date;
    out.has_time = has_time;
    double whole = std::floor(serial);
    auto secs = static_cast<std::int64_t>(std::llround((serial - whole) * kSecondsPerDay));
    auto days = static_cast<std::int64_t>(whole);
    if (secs >= kSecondsPerDay) {
        secs -= kSecondsPerDay;
        ++days;
    }
    out.days = has_date ? days : 0;
    out.seconds = static_cast<std::int32_t>(secs);
    return out;
}

DateTime AddSeconds(const DateTime& base, std::int64_t seconds) {
    DateTime out = base;
    std::int64_t total = base.seconds + seconds;
    std::int64_t carry = FloorDiv(total, kSecondsPerDay);
    out.seconds = static_cast<std::int32_t>(total - carry * kSecondsPerDay);
    if (out.has_date) out.days += carry;
    return out;
}

DateLiteral MatchDateLiteral(std::string_view text) {
    DateLiteral out;
    std::size_t pos = 0;
    int digits = 0;
    int d = ReadNumber(text, pos, 2, digits);
    if (d < 0 || pos >= text.size()) return out;
    if (text[pos] == ':') return MatchTime(text);
    if (text[pos] != '.') return out;
    ++pos;
    int m = ReadNumber(text, pos, 2, digits);
    if (m < 0 || pos >= text.size() || text[pos] != '.') return out;
    ++pos;
    int y = ReadNumber(text, pos, 4, digits);
    if (y < 0) return out;
    if (pos < text.size() && (IsDigit(text[pos]) || text[pos] == '.')) return out;
    if (digits <= 2) y = ExpandTwoDigitYear(y);
    out.length = pos;
    out.valid = IsValidDate(y, m, d);
    out.value.has_date = true;
    out.value.days = out.valid ? DaysFromCivil(y, m, d) : 0;
    return out;
}

namespace {

bool SpaceOrTab(char c) { return c == ' ' || c == '\t'; }

void DropLeadingBlanks(std::string_view& text) {
    while (!text.empty() && SpaceOrTab(text.front())) text.remove_prefix(1);
}

void DropTrailingBlanks(std::string_view& text) {
    while (!text.empty() && SpaceOrTab(text.back())) text.remove_suffix(1);
}

// The date with the time that follows it, after blanks, to the end.
std::optional<DateTime> WithTime(const DateTime& date, std::string_view text) {
    if (!date.has_date || date.has_time || !SpaceOrTab(text.front())) return std::nullopt;
    DropLeadingBlanks(text);
    DateLiteral time = MatchTime(text);
    if (time.length != text.size() || !time.valid) return std::nullopt;
    DateTime out = date;
    out.has_time = true;
    out.seconds = time.value.seconds;
    return out;
}

}  // namespace

std::optional<DateTime> ParseDateTime(std::string_view text) {
    DropLeadingBlanks(text);
    DropTrailingBlanks(text);
    DateLiteral first = MatchDateLiteral(text);
    if (first.length == 0 || !first.valid) return std::nullopt;
    text.remove_prefix(first.length);
    if (text.empty()) return first.value;
    return WithTime(first.value, text);
}

DateStyle DateStyleFromOption(std::string_view df) {
    if (df.empty()) return DateStyle::Text;
    switch (df.front()) {
    case 'E':
    case 'e':
    case 'D':
    case 'd': return DateStyle::DayMonthYear;
    case 'A':
    case 'a':
    case 'M':
    case 'm': return DateStyle::MonthDayYear;
    default: return DateStyle::Text;
    }
}

std::string FormatDateTime(const DateTime& value, DateStyle style) {
    char buf[64];
    std::string out;
    if (value.has_date) {
        Ymd d = value.Date();
        switch (style) {
        case DateStyle::DayMonthYear: std::snprintf(buf, sizeof buf, "%d.%d.%d", d.day, d.month, d.year); break;
        case DateStyle::MonthDayYear: std::snprintf(buf, sizeof buf, "%d.%d.%d", d.month, d.day, d.year); break;
        case DateStyle::Text:
            std::snprintf(buf, sizeof buf, "%d %.3s %d", d.day, MonthName(d.month).data(), d.year);
            break;
        }
        out = buf;
    }
    if (value.has_time || !value.has_date) {
        std::snprintf(buf, sizeof buf, "%d:%02d:%02d", value.Hour(), value.Minute(), value.Second());
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}

std::string FormatIso(const DateTime& value) {
    char buf[64];
    std::string out;
    if (value.has_date) {
        Ymd d = value.Date();
        if (d.year >= 0 && d.year <= 9999) std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
        else std::snprintf(buf, sizeof buf, "%+05d-%02d-%02d", d.year, d.month, d.day);
        out = buf;
    }
    if (value.has_time || !value.has_date) {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", value.Hour(), value.Minute(), value.Second());
        if (!out.empty()) out += 'T';
        out += buf;
    }
    return out;
}

std::string_view DayName(int weekday) {
    static constexpr std::string_view kNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                  "Thursday", "Friday", "Saturday"};
    return weekday >= 1 && weekday <= 7 ? kNames[weekday - 1] : std::string_view{};
}

std::string_view MonthName(int month) {
    static constexpr std::string_view kNames[] = {"January",   "February", "March",    "April",
                                                  "May",       "June",     "July",     "August",
                                                  "September", "October",  "November", "December"};
    return month >= 1 && month <= 12 ? kNames[month - 1] : std::string_view{};
}

}  // namespace tw::formula
