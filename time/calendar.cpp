// Calendar arithmetic on time values' fields: construction checks, the
// leap-second table, the six adders and the two differences.
//
// Dates are handled as day numbers and times of day as a count of minutes
// since 1970-01-01T00:00 (day number * 1440 + hour * 60 + minute) beside the
// second field, so that adding any amount costs the same few operations
// whatever the number of months crossed.  Stepping month by month, day by day
// or hour by hour with carries gives the same readings as this linear count,
// because every field starts within its range.  The year bound is tested once
// the whole step is done.
#include "time/time_internal.h"

namespace orbek {
namespace cal {

namespace {

struct LeapDate {
    int32_t year, month, day;
};

// Every leap second inserted in UTC, each at 23:59:60 of its day.  No leap
// second after 2016 is known to the library.
constexpr LeapDate kLeapDates[kLeapSecondCount] = {
    {1972, 6, 30},  {1972, 12, 31}, {1973, 12, 31}, {1974, 12, 31}, {1975, 12, 31}, {1976, 12, 31},
    {1977, 12, 31}, {1978, 12, 31}, {1979, 12, 31}, {1981, 6, 30},  {1982, 6, 30},  {1983, 6, 30},
    {1985, 6, 30},  {1987, 12, 31}, {1989, 12, 31}, {1990, 12, 31}, {1992, 6, 30},  {1993, 6, 30},
    {1994, 6, 30},  {1995, 12, 31}, {1997, 6, 30},  {1998, 12, 31}, {2005, 12, 31}, {2008, 12, 31},
    {2012, 6, 30},  {2015, 6, 30},  {2016, 12, 31}};

constexpr int64_t kMinutesPerDay = 1440;
constexpr int64_t kLastMinute = 23 * 60 + 59;

// The minute count of 23:59 on each leap-second day, ascending.
struct LeapMinutes {
    int64_t m[kLeapSecondCount];
    constexpr LeapMinutes() : m() {
        for (int i = 0; i < kLeapSecondCount; ++i)
            m[i] = days_from_civil(kLeapDates[i].year, kLeapDates[i].month, kLeapDates[i].day) * kMinutesPerDay +
                   kLastMinute;
    }
};
constexpr LeapMinutes kLeapMinutes;

// A reading as a minute count and a second (0 to 60).  Orders like the field
// comparison once folded into one key: minutes * 61 + second.
struct Lin {
    int64_t minutes;
    int32_t second;
    int64_t key() const { return minutes * 61 + second; }
};

Lin to_lin(const orbek_time &t) {
    return Lin{day_number(t) * kMinutesPerDay + t.hour * 60 + t.minute, t.second};
}

bool is_leap_minute(int64_t minutes) {
    if (floor_mod(minutes, kMinutesPerDay) != kLastMinute) return false;
    for (int64_t m : kLeapMinutes.m)
        if (m == minutes) return true;
    return false;
}

bool is_leap_lin(const Lin &r) { return r.second == 60 && is_leap_minute(r.minutes); }

// Writes the reading back into a copy of t's other fields; false when its
// year leaves 1582 to 9999.
bool from_lin(const orbek_time &t, const Lin &r, orbek_time *out) {
    const int64_t days = floor_div(r.minutes, kMinutesPerDay);
    const int32_t of_day = (int32_t)(r.minutes - days * kMinutesPerDay);
    const Civil c = civil_from_days(days);
    if (c.year < kMinYear || c.year > kMaxYear) return false;
    orbek_time v = t;
    v.year = (int32_t)c.year;
    v.month = c.month;
    v.day = c.day;
    v.hour = of_day / 60;
    v.minute = of_day % 60;
    v.second = r.second;
    *out = v;
    return true;
}

// A second of 60 that is no longer a leap second becomes 59.
void clamp_second(Lin *r) {
    if (r->second == 60 && !is_leap_minute(r->minutes)) r->second = 59;
}

// One second forward: a new reading that is a leap second stands, any other
// second of 60 or more carries into the minute.
void step_forward(Lin *r) {
    ++r->second;
    if (r->second >= 60 && !is_leap_lin(*r)) {
        r->second = 0;
        ++r->minutes;
    }
}

// One second back: from second 0 borrow a minute, landing on its second 60
// when that is a leap second.
void step_back(Lin *r) {
    if (r->second > 0) {
        --r->second;
        return;
    }
    --r->minutes;
    r->second = is_leap_minute(r->minutes) ? 60 : 59;
}

// Leap seconds strictly between two readings that share nanosecond ns.
int32_t leap_seconds_strictly_between(const Lin &a, const Lin &b, int32_t ns) {
    const Lin &lo = a.key() <= b.key() ? a : b;
    const Lin &hi = a.key() <= b.key() ? b : a;
    const int64_t klo = lo.key(), khi = hi.key();
    int32_t k = 0;
    for (int64_t m : kLeapMinutes.m) {
        const int64_t kx = m * 61 + 60;  // the leap second, nanosecond 0
        const bool after_lo = klo < kx || (klo == kx && ns < 0);
        const bool before_hi = kx < khi || (kx == khi && 0 < ns);
        if (after_lo && before_hi) ++k;
    }
    return k;
}

bool year_in_range(int64_t y) { return y >= kMinYear && y <= kMaxYear; }

// The end of the year and month adders: the checks of construction.
bool finish_date_change(const orbek_time &t, int64_t year, int32_t month, int32_t day, orbek_time *out) {
    if (!year_in_range(year)) return false;
    orbek_time v = t;
    v.year = (int32_t)year;
    v.month = month;
    v.day = day;
    // A leap second may only stay one if the new date is a leap-second day.
    if (t.second == 60) {
        v.second = is_leap_second(t) ? 60 : 59;
        if (v.second == 60 && !is_leap_second(v)) return false;
    }
    *out = v;
    return true;
}

}  // namespace

int32_t field_cmp(const orbek_time &a, const orbek_time &b) noexcept {
    const int32_t fa[7] = {a.year, a.month, a.day, a.hour, a.minute, a.second, a.nanosecond};
    const int32_t fb[7] = {b.year, b.month, b.day, b.hour, b.minute, b.second, b.nanosecond};
    for (int i = 0; i < 7; ++i)
        if (fa[i] != fb[i]) return fa[i] < fb[i] ? -1 : 1;
    return 0;
}

bool is_leap_second(const orbek_time &t) noexcept {
    if (t.second != 60 || t.hour != 23 || t.minute != 59) return false;
    for (const LeapDate &d : kLeapDates)
        if (d.year == t.year && d.month == t.month && d.day == t.day) return true;
    return false;
}

int32_t leap_seconds_within(const orbek_time &lo, const orbek_time &hi) noexcept {
    const int64_t klo = to_lin(lo).key(), khi = to_lin(hi).key();
    int32_t n = 0;
    for (int64_t m : kLeapMinutes.m) {
        const int64_t kx = m * 61 + 60;
        const bool from_lo = klo < kx || (klo == kx && lo.nanosecond <= 0);
        const bool to_hi = kx < khi || (kx == khi && 0 <= hi.nanosecond);
        if (from_lo && to_hi) ++n;
    }
    return n;
}

bool make_utc(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
              int32_t nanosecond, orbek_time *out) noexcept {
    if (!year_in_range(year) || month < 1 || month > 12 || day < 1 || day > month_length(year, month) || hour < 0 ||
        hour > 24 || minute < 0 || minute > 59 || second < 0 || second > 60 || nanosecond < 0 ||
        nanosecond > 999999999)
        return false;
    orbek_time v{year, month, day, hour, minute, second, nanosecond, 1, 0, kZoneUtc};
    if (hour == 24) {
        // 24:00:00 is midnight at the start of the next day.
        if (minute != 0 || second != 0) return false;
        v.hour = 0;
        if (!add_days(v, 1, &v)) return false;
    }
    if (v.second == 60 && !is_leap_second(v)) return false;
    *out = v;
    return true;
}

bool add_years(const orbek_time &t, int32_t n, orbek_time *out) noexcept {
    const int64_t year = (int64_t)t.year + n;
    int32_t month = t.month, day = t.day;
    if (month == 2 && day == 29 && !is_leap_year(year)) {
        month = 3;
        day = 1;
    }
    return finish_date_change(t, year, month, day, out);
}

bool add_months(const orbek_time &t, int32_t n, orbek_time *out) noexcept {
    int64_t year = (int64_t)t.year + n / 12;
    int32_t month = t.month + n % 12;
    if (month > 12) {
        month -= 12;
        ++year;
    } else if (month < 1) {
        month += 12;
        --year;
    }
    // Month lengths of years outside the range are never used: the result
    // fails then anyway.
    const int32_t len = year_in_range(year) ? month_length(year, month) : 31;
    return finish_date_change(t, year, month, t.day < len ? t.day : len, out);
}

bool add_days(const orbek_time &t, int32_t n, orbek_time *out) noexcept {
    Lin r = to_lin(t);
    r.minutes += (int64_t)n * kMinutesPerDay;
    clamp_second(&r);
    return from_lin(t, r, out);
}

bool add_hours(const orbek_time &t, int32_t n, orbek_time *out) noexcept {
    Lin r = to_lin(t);
    r.minutes += (int64_t)n * 60;
    clamp_second(&r);
    return from_lin(t, r, out);
}

bool add_minutes(const orbek_time &t, int32_t n, orbek_time *out) noexcept {
    // The second is carried along unchanged, 60 included.
    Lin r = to_lin(t);
    r.minutes += n;
    return from_lin(t, r, out);
}

bool add_seconds(const orbek_time &t, int32_t n, orbek_time *out) noexcept {
    if (n == 0) {
        *out = t;
        return true;
    }
    const bool forward = n > 0;
    int64_t left = forward ? (int64_t)n : -(int64_t)n;
    Lin r = to_lin(t);
    // Leave a leap second first, so that whole minutes start from an
    // ordinary reading.
    if (is_leap_lin(r)) {
        forward ? step_forward(&r) : step_back(&r);
        if (--left == 0) return from_lin(t, r, out);
    }
    // Whole minutes move the reading by 60 seconds each, plus one for every
    // leap second they pass; the rest is taken (or given back) one second at
    // a time, which settles on a leap second exactly when the count does.
    const int64_t minutes = left / 60;
    const Lin before = r;
    r.minutes += forward ? minutes : -minutes;
    const int64_t rest = left - 60 * minutes - leap_seconds_strictly_between(before, r, t.nanosecond);
    const bool ahead = rest > 0 ? forward : !forward;
    for (int64_t i = rest < 0 ? -rest : rest; i > 0; --i) ahead ? step_forward(&r) : step_back(&r);
    return from_lin(t, r, out);
}

int32_t diff_days(const orbek_time &a, const orbek_time &b) noexcept {
    const int32_t c = field_cmp(a, b);
    if (c == 0) return 0;
    const int64_t d = day_number(c > 0 ? a : b) - day_number(c > 0 ? b : a);
    return (int32_t)(c > 0 ? d : -d);
}

int64_t diff_seconds(const orbek_time &a, const orbek_time &b) noexcept {
    const int32_t c = field_cmp(a, b);
    if (c == 0) return 0;
    const orbek_time &e = c > 0 ? b : a;
    const orbek_time &l = c > 0 ? a : b;
    const int64_t mag = 86400 * (day_number(l) - day_number(e)) + 3600 * (int64_t)(l.hour - e.hour) +
                        60 * (int64_t)(l.minute - e.minute) + (l.second - e.second) + leap_seconds_within(e, l);
    return c > 0 ? mag : -mag;
}

orbek_time epoch() noexcept { return orbek_time{1970, 1, 1, 0, 0, 0, 0, 1, 0, kZoneUtc}; }

}  // namespace cal
}  // namespace orbek
