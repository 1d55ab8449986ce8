// The time value's layout and the calendar helpers every time source shares.
// Not installed.
//
// The arithmetic below works on values held by the caller (usually on the
// stack) and never allocates; only the exported functions hand out new
// blocks, through new_value.
#ifndef ORBEK_TIME_TIME_INTERNAL_H
#define ORBEK_TIME_TIME_INTERNAL_H

#include "core/internal.h"

// Ten signed 32-bit fields in this order.  A UTC value has utc 1, dst 0 and
// zone kZoneUtc; a local value has utc 0 and shows the wall clock of the zone
// whose index it holds.
struct orbek_time {
    int32_t year;        // 1582 to 9999
    int32_t month;       // 1 to 12
    int32_t day;         // 1 to the month's length
    int32_t hour;        // 0 to 23
    int32_t minute;      // 0 to 59
    int32_t second;      // 0 to 60 (60 only at a leap second)
    int32_t nanosecond;  // 0 to 999,999,999
    int32_t utc;         // 1: the fields are UTC; 0: a zone's wall clock
    int32_t dst;         // local values: daylight-saving amount in force
    int32_t zone;        // index into the zone table
};

namespace orbek {
namespace cal {

// Index of "Etc/UTC" in the zone table: every UTC value carries it.
constexpr int32_t kZoneUtc = 414;
constexpr int32_t kMinYear = 1582;
constexpr int32_t kMaxYear = 9999;
constexpr int32_t kLeapSecondCount = 27;

constexpr bool is_leap_year(int64_t y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

constexpr int32_t month_length(int64_t y, int32_t m) {
    return m == 2 ? (is_leap_year(y) ? 29 : 28) : (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : 31;
}

// Floor division and a non-negative remainder, for day and minute counts
// that may be negative.
constexpr int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
constexpr int64_t floor_mod(int64_t a, int64_t b) {
    const int64_t r = a % b;
    return r != 0 && ((r < 0) != (b < 0)) ? r + b : r;
}

// Day number of a proleptic Gregorian date, 1970-01-01 being day 0.  The
// year is shifted to start in March so that the leap day ends it; then whole
// 400-year eras (146,097 days each) and the day of the era are counted
// directly, with no loop.  Valid for any year whose day count fits 64 bits.
constexpr int64_t days_from_civil(int64_t y, int32_t m, int32_t d) {
    y -= m <= 2;
    const int64_t era = floor_div(y, 400);
    const int64_t yoe = y - era * 400;                                  // 0..399
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;  // 0..365
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;          // 0..146096
    return era * 146097 + doe - 719468;
}

struct Civil {
    int64_t year;
    int32_t month;
    int32_t day;
};

// The inverse of days_from_civil.
constexpr Civil civil_from_days(int64_t z) {
    z += 719468;
    const int64_t era = floor_div(z, 146097);
    const int64_t doe = z - era * 146097;                                // 0..146096
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);         // 0..365
    const int64_t mp = (5 * doy + 2) / 153;                              // 0..11, March first
    const int32_t d = (int32_t)(doy - (153 * mp + 2) / 5 + 1);
    const int32_t m = (int32_t)(mp < 10 ? mp + 3 : mp - 9);
    return Civil{yoe + era * 400 + (m <= 2), m, d};
}

// 1 (Monday) to 7 (Sunday); day 0 (1970-01-01) was a Thursday.
constexpr int32_t weekday_from_days(int64_t z) { return (int32_t)floor_mod(z + 3, 7) + 1; }

inline int64_t day_number(const orbek_time &t) { return days_from_civil(t.year, t.month, t.day); }

// Field comparison: year, month, day, hour, minute, second, nanosecond, each
// as a signed number; the first unequal field decides.  -1, 0 or 1.
int32_t field_cmp(const orbek_time &a, const orbek_time &b) noexcept;

// True when the reading (year to second) is one of the 27 leap seconds.
bool is_leap_second(const orbek_time &t) noexcept;

// Leap seconds X with lo <= X <= hi (field comparison, X at nanosecond 0).
int32_t leap_seconds_within(const orbek_time &lo, const orbek_time &hi) noexcept;

// The field checks of construction (hour 24 is hour 0 of the next day,
// second 60 only at a leap second).  Fills *out as a UTC value.
bool make_utc(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
              int32_t nanosecond, orbek_time *out) noexcept;

// The adders on a value's fields; flags and zone are carried over unchanged,
// so they serve UTC values and offset shifts of readings alike.  Each returns
// false, leaving *out untouched, when the result's year leaves 1582 to 9999
// (or, for years and months, when a second 60 does not land on a leap
// second).  out may alias t.
bool add_years(const orbek_time &t, int32_t n, orbek_time *out) noexcept;
bool add_months(const orbek_time &t, int32_t n, orbek_time *out) noexcept;
bool add_days(const orbek_time &t, int32_t n, orbek_time *out) noexcept;
bool add_hours(const orbek_time &t, int32_t n, orbek_time *out) noexcept;
bool add_minutes(const orbek_time &t, int32_t n, orbek_time *out) noexcept;
bool add_seconds(const orbek_time &t, int32_t n, orbek_time *out) noexcept;

// Calendar days from b's date to a's date (hours and below ignored), with
// the sign of field_cmp(a, b): 0 for equal values.
int32_t diff_days(const orbek_time &a, const orbek_time &b) noexcept;

// Seconds from b to a on the UTC time line: every leap second X with
// earlier <= X <= later counts once more than the fields say.
int64_t diff_seconds(const orbek_time &a, const orbek_time &b) noexcept;

// POSIX seconds of a UTC reading: its seconds difference from 1970-01-01
// less the leap seconds counted in it.  As no leap second precedes 1970 that
// is the plain count of days, hours, minutes and seconds, so a leap second
// gives the same number as the second after it.
inline int64_t posix_seconds(const orbek_time &t) {
    return day_number(t) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

// 1970-01-01T00:00:00 as a UTC value.
orbek_time epoch() noexcept;

// A new block holding a copy of v, from the allocation hook; null when the
// allocation fails.
orbek_time *new_value(const orbek_time &v) noexcept;

}  // namespace cal
}  // namespace orbek

#endif
