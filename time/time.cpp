// Time values: construction, getters, predicates, comparison, differences,
// POSIX seconds and the adders.
//
// Every function that needs a value's instant branches once on the UTC flag.
// A UTC value is worked on directly; a local value is first converted to UTC
// by its own zone's rules, and an adder gives its result as the wall clock of
// the system's current zone.
#include <limits.h>

#include "time/clock.h"
#include "time/systemzone.h"
#include "time/time_internal.h"
#include "time/zone.h"

static const char kOrbekSource[] = "ORBEK_Time";

using orbek::cal::field_cmp;

namespace orbek {
namespace cal {

orbek_time *new_value(const orbek_time &v) noexcept {
    orbek_time *t = ORBEK_ALLOC_T(orbek_time, 1);
    if (t) *t = v;
    return t;
}

}  // namespace cal
}  // namespace orbek

namespace {

using Adder = bool (*)(const orbek_time &, int32_t, orbek_time *) noexcept;

// The UTC instant of a value: a UTC value as it is, a local one converted.
bool instant(const orbek_time &t, orbek_time *out) {
    if (t.utc) {
        *out = t;
        return true;
    }
    return orbek::zone::local_to_utc(t, out);
}

orbek_time *add(const orbek_time *t, int32_t n, Adder adder) {
    if (!t) return nullptr;
    orbek_time u, r;
    if (!instant(*t, &u) || !adder(u, n, &r)) return nullptr;
    if (!t->utc) {
        // A local value's result shows the system's current zone.
        const int32_t zone = orbek::zone::current_zone();
        if (zone < 0 || !orbek::zone::utc_to_local(zone, r, &r)) return nullptr;
    }
    return orbek::cal::new_value(r);
}

}  // namespace

// ------------------------------------------------------------ construction

ORBEK_EXPORT orbek_time *orbek_time_newutctime(int32_t year, int32_t month, int32_t day, int32_t hour,
                                               int32_t minute, int32_t second, int32_t nanosecond) noexcept {
    orbek_time v;
    if (!orbek::cal::make_utc(year, month, day, hour, minute, second, nanosecond, &v)) return nullptr;
    return orbek::cal::new_value(v);
}

ORBEK_EXPORT orbek_time *orbek_time_nowutctime(void) noexcept {
    orbek::sysclock::UtcReading r;
    if (!orbek::sysclock::utc_now(&r)) return nullptr;
    return orbek_time_newutctime(r.year, r.month, r.day, r.hour, r.minute, r.second, r.millisecond * 1000000);
}

ORBEK_EXPORT orbek_time *orbek_time_newfromtime_t(int64_t seconds) noexcept {
    // Whole days from the epoch, then the rest of the day counted in elapsed
    // seconds.  The rest never reaches a leap second: forward it stops at
    // 23:59:59 of its day at the latest, and backward it stays before 1970,
    // where there is none.  So the reading is the plain split into a day
    // number and a second of that day.
    constexpr int64_t kFirstDay = orbek::cal::days_from_civil(orbek::cal::kMinYear, 1, 1);
    constexpr int64_t kLastDay = orbek::cal::days_from_civil(orbek::cal::kMaxYear, 12, 31);
    const int64_t days = orbek::cal::floor_div(seconds, 86400);
    if (days < kFirstDay || days > kLastDay) return nullptr;
    const int32_t of_day = (int32_t)orbek::cal::floor_mod(seconds, 86400);
    const orbek::cal::Civil c = orbek::cal::civil_from_days(days);
    const orbek_time v{(int32_t)c.year, c.month, c.day, of_day / 3600, of_day / 60 % 60, of_day % 60, 0,
                       1, 0, orbek::cal::kZoneUtc};
    return orbek::cal::new_value(v);
}

ORBEK_EXPORT orbek_time *orbek_time_dup(const orbek_time *t) noexcept {
    return t ? orbek::cal::new_value(*t) : nullptr;
}

// ------------------------------------------------------------ getters

ORBEK_EXPORT int32_t orbek_time_getyear(const orbek_time *t) noexcept { return t ? t->year : -1; }
ORBEK_EXPORT int32_t orbek_time_getmonth(const orbek_time *t) noexcept { return t ? t->month : -1; }
ORBEK_EXPORT int32_t orbek_time_getday(const orbek_time *t) noexcept { return t ? t->day : -1; }
ORBEK_EXPORT int32_t orbek_time_gethour(const orbek_time *t) noexcept { return t ? t->hour : -1; }
ORBEK_EXPORT int32_t orbek_time_getminute(const orbek_time *t) noexcept { return t ? t->minute : -1; }
ORBEK_EXPORT int32_t orbek_time_getsecond(const orbek_time *t) noexcept { return t ? t->second : -1; }
ORBEK_EXPORT int32_t orbek_time_getns(const orbek_time *t) noexcept { return t ? t->nanosecond : -1; }

// ------------------------------------------------------------ predicates

ORBEK_EXPORT int32_t orbek_time_isutctime(const orbek_time *t) noexcept { return t && t->utc ? 1 : 0; }

ORBEK_EXPORT int32_t orbek_time_isdst(const orbek_time *t) noexcept { return t && !t->utc && t->dst ? 1 : 0; }

ORBEK_EXPORT int32_t orbek_time_isleapyear(const orbek_time *t) noexcept {
    return t && orbek::cal::is_leap_year(t->year) ? 1 : 0;
}

ORBEK_EXPORT int32_t orbek_time_isleapsecond(const orbek_time *t) noexcept {
    if (!t || t->second != 60) return 0;
    orbek_time u;
    return instant(*t, &u) && orbek::cal::is_leap_second(u) ? 1 : 0;
}

// ------------------------------------------------------------ comparison

ORBEK_EXPORT int32_t orbek_time_cmp(const orbek_time *a, const orbek_time *b) noexcept {
    if (!a) return b ? -1 : 0;
    if (!b) return 1;
    // Local operands are compared through their UTC instants.
    orbek_time ua, ub;
    if (!instant(*a, &ua)) return -1;
    if (!instant(*b, &ub)) return 1;
    return field_cmp(ua, ub);
}

ORBEK_EXPORT int32_t orbek_time_diffdays(const orbek_time *a, const orbek_time *b) noexcept {
    if (!a) return b ? INT32_MIN : 0;
    if (!b) return INT32_MAX;
    if (!a->utc && !b->utc) {
        // Two local values are counted on their own wall-clock dates, in the
        // order of their instants.
        const int32_t c = orbek_time_cmp(a, b);
        if (c == 0) return 0;
        const int64_t days = orbek::cal::day_number(*a) - orbek::cal::day_number(*b);
        return c * (int32_t)(days < 0 ? -days : days);
    }
    // One local value is counted on its UTC date.
    orbek_time ua, ub;
    if (!instant(*a, &ua)) return INT32_MIN;
    if (!instant(*b, &ub)) return INT32_MAX;
    return orbek::cal::diff_days(ua, ub);
}

ORBEK_EXPORT int64_t orbek_time_diffseconds(const orbek_time *a, const orbek_time *b) noexcept {
    if (!a) return b ? INT64_MIN : 0;
    if (!b) return INT64_MAX;
    orbek_time ua, ub;
    if (!instant(*a, &ua)) return INT64_MIN;
    if (!instant(*b, &ub)) return INT64_MAX;
    return orbek::cal::diff_seconds(ua, ub);
}

ORBEK_EXPORT int32_t orbek_time_getdayofweek(const orbek_time *t) noexcept {
    const orbek_time e = orbek::cal::epoch();
    const int32_t d = orbek_time_diffdays(t, &e);
    if (d == INT32_MAX || d == INT32_MIN) return -1;
    return orbek::cal::weekday_from_days(d);
}

ORBEK_EXPORT int64_t orbek_time_gettime_t(const orbek_time *t) noexcept {
    orbek_time u;
    if (!t || !instant(*t, &u)) return INT64_MIN;
    return orbek::cal::posix_seconds(u);
}

// ------------------------------------------------------------ adders

ORBEK_EXPORT orbek_time *orbek_time_addyear(const orbek_time *t, int32_t n) noexcept {
    return add(t, n, orbek::cal::add_years);
}
ORBEK_EXPORT orbek_time *orbek_time_addmonth(const orbek_time *t, int32_t n) noexcept {
    return add(t, n, orbek::cal::add_months);
}
ORBEK_EXPORT orbek_time *orbek_time_addday(const orbek_time *t, int32_t n) noexcept {
    return add(t, n, orbek::cal::add_days);
}
ORBEK_EXPORT orbek_time *orbek_time_addhour(const orbek_time *t, int32_t n) noexcept {
    return add(t, n, orbek::cal::add_hours);
}
ORBEK_EXPORT orbek_time *orbek_time_addminute(const orbek_time *t, int32_t n) noexcept {
    return add(t, n, orbek::cal::add_minutes);
}
ORBEK_EXPORT orbek_time *orbek_time_addsecond(const orbek_time *t, int32_t n) noexcept {
    return add(t, n, orbek::cal::add_seconds);
}

// ------------------------------------------------------------ clock

ORBEK_EXPORT uint64_t orbek_time_getcurrentus(void) noexcept {
    // Microseconds since 1970 from the file-time clock; a reading before 1970
    // wraps, as unsigned arithmetic does.
    return (orbek::sysclock::file_time_now() - 116444736000000000ULL) / 10;
}
