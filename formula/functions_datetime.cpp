// Date and time functions.
#include <chrono>
#include <cmath>

#include "formula/functions.h"

namespace tw::formula {

namespace {

using Args = std::vector<Value>;

Value Err(ErrorCode e) { return Value::Error(e); }

// The date part of an argument; a time alone has none.
bool DatePart(const Value& v, Ymd& out, Value& error) {
    DateTime d;
    if (!GetDate(v, d, error)) return false;
    if (!d.has_date) {
        error = Err(ErrorCode::NoDateValue);
        return false;
    }
    out = d.Date();
    return true;
}

bool TimePart(const Value& v, DateTime& out, Value& error) { return GetDate(v, out, error); }

Value Age(CallContext&, Args& a) {
    Ymd later, earlier;
    Value e;
    if (!DatePart(a[0], later, e) || !DatePart(a[1], earlier, e)) return e;
    return NumberResult(formula::Age(later, earlier));
}

// A date from year, month and day; months and days outside their range
// carry into the next or previous month and year, as 32.1 is 1.2.
Value MakeDate(CallContext&, Args& a) {
    long long y, m, d;
    Value e;
    if (!GetInteger(a[0], y, e) || !GetInteger(a[1], m, e) || !GetInteger(a[2], d, e)) return e;
    if (y >= 0 && y <= 99) y = ExpandTwoDigitYear(static_cast<int>(y));
    if (y < 1 || y > 9999 || std::llabs(m) > 120000 || std::llabs(d) > 4000000) return Err(ErrorCode::BadDate);
    Ymd first = AddMonths(Ymd{static_cast<int>(y), 1, 1}, static_cast<int>(m - 1));
    DateTime out;
    out.has_date = true;
    out.days = DaysFromCivil(first) + (d - 1);
    Ymd check = out.Date();
    if (check.year < 1 || check.year > 9999) return Err(ErrorCode::BadDate);
    return Value::Date(out);
}

Value DateValue(CallContext&, Args& a) {
    std::string s;
    Value e;
    if (!GetString(a[0], s, e)) return e;
    auto d = ParseDateTime(s);
    if (!d || !d->has_date) return Err(ErrorCode::BadDate);
    return Value::Date(*d);
}

Value TimeValue(CallContext&, Args& a) {
    std::string s;
    Value e;
    if (!GetString(a[0], s, e)) return e;
    auto d = ParseDateTime(s);
    if (!d || !d->has_time) return Err(ErrorCode::BadTime);
    DateTime t;
    t.has_time = true;
    t.seconds = d->seconds;
    return Value::Date(t);
}

template <int Ymd::*Part>
Value DatePiece(CallContext&, Args& a) {
    Ymd d;
    Value e;
    if (!DatePart(a[0], d, e)) return e;
    return Value::Number(d.*Part);
}

Value Hour(CallContext&, Args& a) {
    DateTime t;
    Value e;
    if (!TimePart(a[0], t, e)) return e;
    return Value::Number(t.Hour());
}
Value Minute(CallContext&, Args& a) {
    DateTime t;
    Value e;
    if (!TimePart(a[0], t, e)) return e;
    return Value::Number(t.Minute());
}
Value Second(CallContext&, Args& a) {
    DateTime t;
    Value e;
    if (!TimePart(a[0], t, e)) return e;
    return Value::Number(t.Second());
}

// A number (1 = first) or a date picks a name out of a cycle of `n`.
bool CyclePick(const Value& v, int n, bool weekday, int& out, Value& error) {
    if (v.IsDate()) {
        Ymd d;
        if (!DatePart(v, d, error)) return false;
        out = weekday ? Weekday(DaysFromCivil(d)) : d.month;
        return true;
    }
    long long k;
    if (!GetInteger(v, k, error)) return false;
    if (k < 1) {
        error = Err(ErrorCode::OutOfRange);
        return false;
    }
    out = static_cast<int>((k - 1) % n) + 1;
    return true;
}

Value DayName(CallContext&, Args& a) {
    int k;
    Value e;
    if (!CyclePick(a[0], 7, true, k, e)) return e;
    return Value::String(std::string(formula::DayName(k)));
}

Value MonthName(CallContext&, Args& a) {
    int k;
    Value e;
    if (!CyclePick(a[0], 12, false, k, e)) return e;
    return Value::String(std::string(formula::MonthName(k)));
}

Value MonthDays(CallContext&, Args& a) {
    Ymd d;
    Value e;
    if (!DatePart(a[0], d, e)) return e;
    return Value::Number(DaysInMonth(d.year, d.month));
}

DateTime Now() {
    using namespace std::chrono;
    auto now = floor<seconds>(system_clock::now());
    // Local time, as the user's clock shows it.
    std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    DateTime out;
    out.has_date = true;
    out.has_time = true;
    out.days = DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    out.seconds = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    return out;
}

Value NowFn(CallContext&, Args&) { return Value::Date(Now()); }

Value Today(CallContext&, Args&) {
    DateTime d = Now();
    d.has_time = false;
    d.seconds = 0;
    return Value::Date(d);
}

// A time of day from hours, minutes and seconds; whole days beyond it
// are dropped, a negative total is no time.
Value MakeTime(CallContext&, Args& a) {
    long long h, m, s;
    Value e;
    if (!GetInteger(a[0], h, e) || !GetInteger(a[1], m, e) || !GetInteger(a[2], s, e)) return e;
    long long total = h * 3600 + m * 60 + s;
    if (total < 0) return Err(ErrorCode::BadTime);
    DateTime t;
    t.has_time = true;
    t.seconds = static_cast<std::int32_t>(total % kSecondsPerDay);
    return Value::Date(t);
}

Value WeekdayFn(CallContext&, Args& a) {
    Ymd d;
    Value e;
    if (!DatePart(a[0], d, e)) return e;
    return Value::Number(Weekday(DaysFromCivil(d)));
}

Value WeekNumberFn(CallContext&, Args& a) {
    Ymd d;
    Value e;
    if (!DatePart(a[0], d, e)) return e;
    return Value::Number(WeekNumber(DaysFromCivil(d)));
}

const FunctionSpec kDateTime[] = {
    {"age", 2, 2, Age},
    {"date", 3, 3, MakeDate},
    {"datevalue", 1, 1, DateValue},
    {"day", 1, 1, DatePiece<&Ymd::day>},
    {"dayname", 1, 1, DayName},
    {"hour", 1, 1, Hour},
    {"minute", 1, 1, Minute},
    {"month", 1, 1, DatePiece<&Ymd::month>},
    {"monthdays", 1, 1, MonthDays},
    {"monthname", 1, 1, MonthName},
    {"now", 0, 0, NowFn, 0, 0, kVolatile},
    {"second", 1, 1, Second},
    {"time", 3, 3, MakeTime},
    {"timevalue", 1, 1, TimeValue},
    {"today", 0, 0, Today, 0, 0, kVolatile},
    {"weekday", 1, 1, WeekdayFn},
    {"weeknumber", 1, 1, WeekNumberFn},
    {"year", 1, 1, DatePiece<&Ymd::year>},
};

}  // namespace

std::span<const FunctionSpec> DateTimeFunctions() { return kDateTime; }

}  // namespace tw::formula
