// Zone lookup, rule evaluation and the conversions between UTC and a zone's
// wall clock.
//
// Readings (a value's date and time fields, taken as UTC fields whatever
// clock they belong to) are held as a minute count since 1970-01-01T00:00
// beside the second (0 to 60) and the nanosecond.  minutes * 61 + second
// orders readings like the field comparison does, so every "before" of the
// rules below is one integer comparison, and moving a reading by minutes is
// one addition.  Offsets are applied the way the value adders apply them:
// the odd seconds first with the leap-second-aware second adder, then the
// whole minutes, which carry a second of 60 along unchanged; that is what
// makes a UTC leap second show as second 60 of the local minute.  Nothing
// here allocates.
//
// Rule evaluation follows the database's own terms: each rule of a set
// offers its latest transition not after the instant in question (its
// "candidate"); the latest candidate is in force, ties going to the rule that
// comes first in the set.  Rules whose last year is long past can only offer
// a candidate from that year, so once a candidate from a later year is known
// they are passed over without building their transition; the sets are
// walked from their end, where the source keeps the recent rules, so that
// such a candidate is usually known early.
#include "time/zone.h"

#include <string.h>

#include "time/zone_tables.h"

// The values the exported functions hand out come from cal::new_value, under
// the source name "ORBEK_Time"; nothing else here allocates.

namespace orbek {
namespace zone {
namespace {

using cal::days_from_civil;
using cal::floor_div;
using cal::month_length;
using tz::wide_year;

constexpr int64_t kMinPerDay = 1440;
constexpr int32_t kYearLo = cal::kMinYear;
constexpr int32_t kYearHi = cal::kMaxYear;
constexpr int64_t kMinLo = days_from_civil(kYearLo, 1, 1) * kMinPerDay;
constexpr int64_t kMinHi = days_from_civil(kYearHi + 1, 1, 1) * kMinPerDay;  // excluded

// The leap seconds, as the minute count of 23:59 on their day.
struct LeapTable {
    int64_t m[cal::kLeapSecondCount];
    constexpr LeapTable() : m() {
        constexpr int32_t d[cal::kLeapSecondCount][3] = {
            {1972, 6, 30},  {1972, 12, 31}, {1973, 12, 31}, {1974, 12, 31}, {1975, 12, 31}, {1976, 12, 31},
            {1977, 12, 31}, {1978, 12, 31}, {1979, 12, 31}, {1981, 6, 30},  {1982, 6, 30},  {1983, 6, 30},
            {1985, 6, 30},  {1987, 12, 31}, {1989, 12, 31}, {1990, 12, 31}, {1992, 6, 30},  {1993, 6, 30},
            {1994, 6, 30},  {1995, 12, 31}, {1997, 6, 30},  {1998, 12, 31}, {2005, 12, 31}, {2008, 12, 31},
            {2012, 6, 30},  {2015, 6, 30},  {2016, 12, 31}};
        for (int i = 0; i < cal::kLeapSecondCount; ++i)
            m[i] = days_from_civil(d[i][0], d[i][1], d[i][2]) * kMinPerDay + 23 * 60 + 59;
    }
};
constexpr LeapTable kLeap;

// The leap seconds as reading keys (minute * 61 + 60), ascending.
struct LeapKeys {
    int64_t k[cal::kLeapSecondCount];
    constexpr LeapKeys() : k() {
        for (int i = 0; i < cal::kLeapSecondCount; ++i) k[i] = kLeap.m[i] * 61 + 60;
    }
};
constexpr LeapKeys kLeapKeys;
constexpr int64_t kFirstLeapKey = kLeap.m[0] * 61 + 60;
constexpr int64_t kLastLeapKey = kLeap.m[cal::kLeapSecondCount - 1] * 61 + 60;

struct Rd {
    int64_t min;  // minutes since 1970-01-01T00:00
    int32_t sec;  // 0 to 60
    int32_t ns;
    int64_t key() const { return min * 61 + sec; }
};

inline bool in_range(const Rd &r) { return r.min >= kMinLo && r.min < kMinHi; }

// The date of a day number from 1582 on (1970-01-01 is 0), the inverse of
// day_number below, in unsigned 32-bit arithmetic (the day counts of these
// years fit it easily).
cal::Civil civil(int64_t days) {
    const uint32_t z = (uint32_t)(days + 719468);
    const uint32_t era = z / 146097, doe = z - era * 146097;
    const uint32_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const uint32_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const uint32_t mp = (5 * doy + 2) / 153;
    const int32_t m = (int32_t)(mp < 10 ? mp + 3 : mp - 9);
    return cal::Civil{(int64_t)(yoe + era * 400) + (m <= 2), m, (int32_t)(doy - (153 * mp + 2) / 5 + 1)};
}

inline int32_t year_of(int64_t min) { return (int32_t)civil(floor_div(min, kMinPerDay)).year; }

inline int64_t day_number(int32_t y, int32_t m, int32_t d);

Rd to_rd(const orbek_time &t) {
    return Rd{day_number(t.year, t.month, t.day) * kMinPerDay + t.hour * 60 + t.minute, t.second, t.nanosecond};
}

void write_rd(const Rd &r, orbek_time *out) {
    const int64_t days = floor_div(r.min, kMinPerDay);
    const int32_t of_day = (int32_t)(r.min - days * kMinPerDay);
    const cal::Civil c = civil(days);
    out->year = (int32_t)c.year;
    out->month = c.month;
    out->day = c.day;
    out->hour = of_day / 60;
    out->minute = of_day % 60;
    out->second = r.sec;
    out->nanosecond = r.ns;
}

bool is_leap(const Rd &r) {
    if (r.sec != 60) return false;
    const int64_t k = r.key();
    if (k < kFirstLeapKey || k > kLastLeapKey) return false;
    for (int64_t m : kLeap.m)
        if (m == r.min) return true;
    return false;
}

// Index of the first leap second whose key is above k (by halves).
int32_t leaps_up_to(int64_t k) {
    int32_t lo = 0, hi = cal::kLeapSecondCount;
    while (lo < hi) {
        const int32_t mid = (lo + hi) / 2;
        if (kLeapKeys.k[mid] <= k) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

// Leap seconds X (at nanosecond 0) with lo < X < hi.
int64_t leaps_between(const Rd &lo, const Rd &hi) {
    const int64_t lk = lo.key(), hk = hi.key();
    if (hk < kFirstLeapKey || lk > kLastLeapKey || hk <= lk) return 0;
    // X < hi: keys below hk, and hk itself when hi has nanoseconds.
    const int32_t below_hi = leaps_up_to(hi.ns > 0 ? hk : hk - 1);
    return below_hi - leaps_up_to(lk);
}

void step_forward(Rd &r) {
    ++r.sec;
    if (r.sec >= 60 && !is_leap(r)) {
        r.sec = 0;
        ++r.min;
    }
}

void step_back(Rd &r) {
    if (r.sec != 0) {
        --r.sec;
        return;
    }
    --r.min;
    r.sec = 60;
    if (!is_leap(r)) r.sec = 59;
}

// The second adder: n elapsed seconds on the UTC time line.
bool add_seconds(Rd &r, int64_t n) {
    if (n == 0) return true;
    const bool fwd = n > 0;
    int64_t a = fwd ? n : -n;
    if (is_leap(r)) {
        fwd ? step_forward(r) : step_back(r);
        if (--a == 0) return in_range(r);
    }
    const int64_t m = a / 60;
    const Rd before = r;
    r.min += fwd ? m : -m;
    const int64_t k = fwd ? leaps_between(before, r) : leaps_between(r, before);
    int64_t rest = a - 60 * m - k;
    const bool dir = rest >= 0 ? fwd : !fwd;
    for (rest = rest < 0 ? -rest : rest; rest > 0; --rest) dir ? step_forward(r) : step_back(r);
    return in_range(r);
}

// The minute adder: the second is carried along unchanged.
bool add_minutes(Rd &r, int64_t n) {
    if (n == 0) return true;
    r.min += n;
    return in_range(r);
}

// An offset shift by s seconds: the odd seconds with the second adder, then
// the whole minutes.
bool shift(Rd &r, int64_t s) {
    if (s == 0) return true;
    const int64_t a = s < 0 ? -s : s;
    if (!add_seconds(r, s < 0 ? -(a % 60) : a % 60)) return false;
    return add_minutes(r, s < 0 ? -(a / 60) : a / 60);
}

// Day number of a date (1970-01-01 is 0) for the years the rules use
// (positive ones), in unsigned arithmetic: whole 400-year eras and the day of
// the era, the year starting in March so that the leap day ends it.
inline int64_t day_number(int32_t y, int32_t m, int32_t d) {
    const uint32_t yy = (uint32_t)(y - (m <= 2));
    const uint32_t era = yy / 400, yoe = yy - era * 400;
    const uint32_t doy = (153u * (uint32_t)(m > 2 ? m - 3 : m + 9) + 2) / 5 + (uint32_t)d - 1;
    const uint32_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return (int64_t)era * 146097 + doe - 719468;
}

// 1 (Monday) to 7 (Sunday) for day numbers from 1582 on.
inline int32_t weekday(int64_t days) { return (int32_t)((uint64_t)(days + 3 + 7 * 100000) % 7) + 1; }

enum Built { kBuilt, kNoDay, kNoInstant };

// The instant the UTC constructor builds (nanosecond 0) from year y, a day
// rule (type, month, day, weekday) and a time of day, with the year it lands
// in.  kNoDay when the day rule fails, kNoInstant when the constructor would.
//
// The day rule: type 0 is the day itself; the others take lastW, the last
// such weekday of the month, and step back whole weeks from it: type 1
// (lastSun) is lastW, type 2 (Sun>=d) the first one on or after d, type 3
// (Sun<=d) the last one on or before d.
Built build(int32_t y, int32_t type, int32_t mo, int32_t day, int32_t wd, int32_t h, int32_t mi, int32_t s, Rd *out,
            int32_t *year) {
    int64_t dn;
    if (type == tz::kDayFixed) {
        if (y < kYearLo || y > kYearHi || mo < 1 || mo > 12 || day < 1 || day > month_length(y, mo))
            return kNoInstant;
        dn = day_number(y, mo, day);
    } else {
        if (type < 0 || type > 3 || y < kYearLo || y > kYearHi || mo < 1 || mo > 12) return kNoDay;
        const int32_t last = month_length(y, mo);
        const int64_t dn_last = day_number(y, mo, last);
        const int32_t w = weekday(dn_last);
        int32_t last_w = last - w + wd;
        if (w < wd) last_w -= 7;
        if (type == tz::kDayOnOrAfter) {
            if (last_w < day) return kNoDay;
            last_w -= 7 * ((last_w - day) / 7);
        } else if (type == tz::kDayOnOrBefore && last_w > day) {
            last_w -= 7 + 7 * ((last_w - day - 1) / 7);
            if (last_w < 1) return kNoDay;
        }
        if (last_w < 1 || last_w > last) return kNoInstant;
        day = last_w;
        dn = dn_last - (last - last_w);
    }
    if (h < 0 || h > 24 || mi < 0 || mi > 59 || s < 0 || s > 60 || (h == 24 && (mi != 0 || s != 0)))
        return kNoInstant;
    // Hour 24 is midnight at the start of the next day.
    const Rd r{dn * kMinPerDay + h * 60 + mi, s, 0};
    if ((h == 24 && !in_range(r)) || (s == 60 && !is_leap(r))) return kNoInstant;
    *out = r;
    *year = (h == 24 && mo == 12 && day == 31) ? y + 1 : y;
    return kBuilt;
}

// The nominal instant of rule r in year y: its AT reading on its day, in the
// at time type's own clock.
inline Built nominal(const tz::Rule &r, int32_t y, Rd *out, int32_t *year) {
    return build(y, r.day_type, r.month, r.day, r.weekday, r.at_hour, r.at_minute, r.at_second, out, year);
}

// The until instant of a zone line whose until year is an ordinary year.
inline bool until_instant(const tz::ZoneLine &z, Rd *out) {
    int32_t year;
    return build(z.until_year, z.until_day_type, z.until_month, z.until_day, z.until_weekday, z.until_hour,
                 z.until_minute, z.until_second, out, &year) == kBuilt;
}

// The latest candidate seen so far; equal candidates keep the rule that
// comes first in the set.
struct Best {
    int32_t rule = -1;
    int64_t key = 0;
    int32_t year = 0;  // a year the candidate is not before
    void offer(int32_t j, const Rd &c, int32_t y) {
        const int64_t k = c.key();
        if (rule < 0 || k > key || (k == key && j < rule)) {
            rule = j;
            key = k;
            year = y;
        }
    }
};

// The rule of the set in force just before the transition of rule `self`
// whose nominal instant is t (in year ty); null when none.
const tz::Rule *previous_rule(const tz::RuleSet &rs, int32_t self, const Rd &t, int32_t ty) {
    Best best;
    for (int32_t j = rs.count - 1; j >= 0; --j) {
        if (j == self) continue;
        const tz::Rule &q = tz::kRules[rs.first + j];
        const int32_t from = q.from, to = wide_year(q.to);
        if (ty < from) continue;
        Rd c;
        int32_t cy;
        if (ty > to) {
            // Its candidate lies before 1 January of to + 1.
            if (best.rule >= 0 && (int64_t)to + 1 < best.year) continue;
            if (nominal(q, to, &c, &cy) != kBuilt) continue;
        } else {
            if (nominal(q, ty, &c, &cy) != kBuilt) continue;
            if (t.key() < c.key()) {
                if (ty <= from || nominal(q, ty - 1, &c, &cy) != kBuilt) continue;
            }
        }
        best.offer(j, c, cy);
    }
    return best.rule < 0 ? nullptr : &tz::kRules[rs.first + best.rule];
}

// Which rule of set rs is in force at UTC instant u (in year y) on a zone
// line with standard offset g: its index in the set, or -1.
int32_t select_utc(const tz::RuleSet &rs, const Rd &u, int32_t y, int32_t g) {
    Best best;
    Rd s = u;  // u on the standard clock, made when first needed
    int s_state = 0;  // 0 not made, 1 made, -1 failed
    for (int32_t j = rs.count - 1; j >= 0; --j) {
        const tz::Rule &r = tz::kRules[rs.first + j];
        const int32_t from = r.from, to = wide_year(r.to);
        if (y < from) continue;
        Rd c;
        int32_t cy;
        if (y > to) {
            if (best.rule >= 0 && (int64_t)to + 1 < best.year) continue;
            if (nominal(r, to, &c, &cy) != kBuilt) continue;
            best.offer(j, c, cy);
            continue;
        }
        const Built b = nominal(r, y, &c, &cy);
        if (b == kNoDay) continue;
        bool reached = false;
        if (b == kBuilt) {
            if (r.at_type == tz::kTimeUniv) {
                reached = u.key() >= c.key();
            } else {
                if (s_state == 0) s_state = add_seconds(s, g) ? 1 : -1;
                if (s_state > 0) {
                    if (r.at_type == tz::kTimeStd) {
                        reached = s.key() >= c.key();
                    } else if (c.min - s.min > rs.max_save / 60 + 2) {
                        // No save of the set brings s up to the transition.
                        reached = false;
                    } else if (s.key() >= c.key() && rs.min_save >= 0 && s.min < kMinHi - 2 * kMinPerDay) {
                        // No save of the set takes s back before it.
                        reached = true;
                    } else {
                        const tz::Rule *p = previous_rule(rs, j, c, cy);
                        Rd w = s;
                        reached = (!p || shift(w, p->save)) && w.key() >= c.key();
                    }
                }
            }
        }
        if (!reached && (y <= from || nominal(r, y - 1, &c, &cy) != kBuilt)) continue;
        best.offer(j, c, cy);
    }
    return best.rule;
}

// The rule in force at a local reading, with the transition's readings on
// the old clock (w) and on the new one (x).
struct LocalRule {
    int32_t rule = -1;
    Rd w{}, x{};
};

// The wall reading just after the transition whose nominal instant is n.
bool after_transition(const tz::Rule &r, int32_t g, Rd *n) {
    if (r.at_type == tz::kTimeStd) return shift(*n, r.save);
    if (r.at_type == tz::kTimeUniv) return shift(*n, (int64_t)g + r.save);
    return true;
}

LocalRule select_local(const tz::RuleSet &rs, const Rd &k, int32_t y, int32_t g, bool hint) {
    Best best;
    LocalRule res;
    const int64_t kk = k.key();
    for (int32_t j = rs.count - 1; j >= 0; --j) {
        const tz::Rule &r = tz::kRules[rs.first + j];
        const int32_t from = r.from, to = wide_year(r.to);
        if (y < from) continue;
        Rd c, w;
        int32_t cy;
        if (y > to) {
            // After its shift the candidate lies before 1 January of to + 2.
            if (best.rule >= 0 && (int64_t)to + 2 < best.year) continue;
            if (nominal(r, to, &c, &cy) != kBuilt || !after_transition(r, g, &c)) continue;
            w = c;
        } else {
            const Built b = nominal(r, y, &c, &cy);
            if (b == kNoDay) continue;
            bool taken = false;
            if (b == kBuilt) {
                const tz::Rule *p = previous_rule(rs, j, c, cy);
                const int32_t psave = p ? p->save : 0;
                w = c;
                bool ok = true;
                if (r.at_type == tz::kTimeStd) ok = shift(w, psave);
                else if (r.at_type == tz::kTimeUniv) ok = shift(w, (int64_t)g + psave);
                Rd x = w;
                if (ok && shift(x, (int64_t)r.save - psave)) {
                    // A reading inside a fall-back overlap takes the later
                    // offset unless the hint asks for daylight time.
                    const int64_t wk = w.key(), xk = x.key();
                    taken = kk >= wk || (!hint && xk <= kk && kk < wk);
                    if (taken) c = x;
                }
            }
            if (!taken) {
                if (y <= from || nominal(r, y - 1, &c, &cy) != kBuilt || !after_transition(r, g, &c)) continue;
                w = c;
            }
        }
        best.offer(j, c, cy - 1);  // the shift moves a candidate back by less than a year
        if (best.rule == j) {
            res.w = w;
            res.x = c;
        }
    }
    res.rule = best.rule;
    return res;
}

// UTC to local through one zone line: the wall reading of
// UTC instant u and whether daylight saving is in force.
bool utc_through_line(const tz::ZoneLine &z, Rd *u, int32_t year, bool *dst) {
    if (z.rule_set < 0) {
        *dst = z.fixed != 0;
        return shift(*u, (int64_t)z.utoff + z.fixed);
    }
    const int32_t j = select_utc(tz::kRuleSets[z.rule_set], *u, year, z.utoff);
    if (j < 0) {
        *dst = false;
        return shift(*u, z.utoff);
    }
    const tz::Rule &r = tz::kRules[tz::kRuleSets[z.rule_set].first + j];
    *dst = r.save != 0;
    return shift(*u, (int64_t)z.utoff + r.save);
}

// The zone line that applies at UTC instant u (in year y), or null.
const tz::ZoneLine *line_for_utc(const tz::Zone &zone, const Rd &u, int32_t y) {
    for (int32_t i = 0; i < zone.line_count; ++i) {
        const tz::ZoneLine &z = tz::kZoneLines[zone.first_line + i];
        const int32_t uy = wide_year(z.until_year);
        if (uy == INT32_MAX) return &z;
        // A line that never applies, or whose until lies more than a year
        // before u, even with any offset: it cannot apply.
        if (uy == INT32_MIN || uy < y - 1) continue;
        Rd t;
        if (!until_instant(z, &t)) continue;
        if (z.until_type == tz::kTimeUniv) {
            if (u.key() < t.key()) return &z;
            continue;
        }
        // A reading pushed out of the years 1582 to 9999 lies before every
        // until (below) or after it (above): the line applies, or not.
        Rd s = u;
        if (!add_seconds(s, z.utoff)) {
            if (z.utoff < 0) return &z;
            continue;
        }
        if (z.until_type == tz::kTimeStd || z.rule_set >= 0) {
            if (s.key() < t.key()) return &z;
            continue;
        }
        if (!shift(s, z.fixed)) {
            if (z.fixed < 0) return &z;
            continue;
        }
        if (s.key() < t.key()) return &z;
    }
    return nullptr;
}

// k <= w for a reading k (with nanoseconds) and an instant w (nanosecond 0).
inline bool not_after(const Rd &k, const Rd &w) { return k.key() < w.key() || (k.key() == w.key() && k.ns == 0); }

// The zone line that applies at local reading k (in year y), or null.
const tz::ZoneLine *line_for_local(const tz::Zone &zone, const Rd &k, int32_t y) {
    for (int32_t i = 0; i < zone.line_count; ++i) {
        const tz::ZoneLine &z = tz::kZoneLines[zone.first_line + i];
        const int32_t uy = wide_year(z.until_year);
        if (uy == INT32_MAX) return &z;
        if (uy == INT32_MIN || uy < y - 1) continue;
        Rd t;
        if (!until_instant(z, &t)) continue;
        if (z.until_type == tz::kTimeWall) {
            if (k.key() < t.key()) return &z;
            continue;
        }
        const bool std_until = z.until_type == tz::kTimeStd;
        if (z.rule_set < 0) {
            if (shift(t, std_until ? (int64_t)z.fixed : (int64_t)z.fixed + z.utoff) && k.key() < t.key()) return &z;
            continue;
        }
        // The wall reading one second before the until, through this line.
        Rd x = t;
        bool dst;
        if (!add_seconds(x, std_until ? -(1 + (int64_t)z.utoff) : -1)) continue;
        if (!utc_through_line(z, &x, year_of(x.min), &dst)) continue;
        if (not_after(k, x)) return &z;
    }
    return nullptr;
}

bool valid_zone(int32_t zone) { return zone >= 0 && zone < tz::kZoneCount; }

}  // namespace

int32_t lookup(const char *name) noexcept {
    if (!name) return -1;
    if (strcmp(name, "UTC") == 0) return tz::kZoneEtcUtc;
    if (strcmp(name, "PRC") == 0) name = "Asia/Shanghai";
    // Names are unique, so the first equal entry is the only one; the hash
    // table finds it without walking the list.
    constexpr uint32_t mask = tz::kZoneHashSlots - 1;
    const size_t len = strlen(name);
    for (uint32_t h = tz::name_hash(name, len) & mask;; h = (h + 1) & mask) {
        const int32_t i = tz::kZoneHash[h];
        if (i < 0) return -1;
        if (strcmp(tz::zone_name(i), name) == 0) return i;
    }
}

int32_t lookup_windows(const char *name) noexcept {
    if (!name) return -1;
    int32_t lo = 0, hi = tz::kWinZoneCount;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        const int c = strcmp(tz::kWinZones[mid].name, name);
        if (c == 0) return tz::kWinZones[mid].zone;
        if (c < 0) lo = mid + 1;
        else hi = mid;
    }
    return -1;
}

bool utc_to_local(int32_t zone, const orbek_time &u, orbek_time *out) noexcept {
    if (zone == tz::kZoneEtcUtc) {
        *out = u;
        return true;
    }
    if (!valid_zone(zone)) return false;
    Rd r = to_rd(u);
    const tz::ZoneLine *z = line_for_utc(tz::kZones[zone], r, u.year);
    bool dst;
    // The whole-minute shift already shows a UTC leap second as second 60 of
    // the local minute and leaves every other instant at UTC plus the
    // offset, so no correction follows it.
    if (!z || !utc_through_line(*z, &r, u.year, &dst)) return false;
    orbek_time v;
    write_rd(r, &v);
    v.utc = 0;
    v.dst = dst ? 1 : 0;
    v.zone = zone;
    *out = v;
    return true;
}

namespace {

// Local to UTC of reading k of zone `zone` with the DST hint.
bool reading_to_utc(int32_t zone, Rd *k, int32_t year, bool hint) {
    const tz::ZoneLine *z = line_for_local(tz::kZones[zone], *k, year);
    if (!z) return false;
    int64_t off = (int64_t)z->utoff + z->fixed;
    if (z->rule_set >= 0) {
        const tz::RuleSet &rs = tz::kRuleSets[z->rule_set];
        const LocalRule lr = select_local(rs, *k, year, z->utoff, hint);
        off = z->utoff + (lr.rule < 0 ? 0 : tz::kRules[rs.first + lr.rule].save);
    }
    return shift(*k, -off);
}

}  // namespace

bool local_to_utc(const orbek_time &t, orbek_time *out) noexcept {
    if (!valid_zone(t.zone)) return false;
    Rd k = to_rd(t);
    if (!reading_to_utc(t.zone, &k, t.year, t.dst != 0)) return false;
    orbek_time v;
    write_rd(k, &v);
    v.utc = 1;
    v.dst = 0;
    v.zone = tz::kZoneEtcUtc;
    *out = v;
    return true;
}

bool make_local(int32_t zone, int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
                int32_t nanosecond, int32_t isdst, orbek_time *out) noexcept {
    if (zone == tz::kZoneEtcUtc) return cal::make_utc(year, month, day, hour, minute, second, nanosecond, out);
    if (!valid_zone(zone)) return false;
    if (year < kYearLo || year > kYearHi || month < 1 || month > 12 || day < 1 || day > month_length(year, month) ||
        hour < 0 || hour > 24 || minute < 0 || minute > 59 || second < 0 || second > 60 || nanosecond < 0 ||
        nanosecond > 999999999)
        return false;
    if (hour == 24 && (minute != 0 || second != 0)) return false;
    // Hour 24 is hour 0 of the next day.
    Rd k{days_from_civil(year, month, day) * kMinPerDay + hour * 60 + minute, second, nanosecond};
    if (!in_range(k)) return false;
    if (hour == 24) year = year_of(k.min);
    const bool hint = isdst != 0;
    bool dst = hint;

    const tz::ZoneLine *z = line_for_local(tz::kZones[zone], k, year);
    if (z && z->rule_set < 0) {
        dst = z->fixed != 0;
    } else if (z) {
        const tz::RuleSet &rs = tz::kRuleSets[z->rule_set];
        const LocalRule lr = select_local(rs, k, year, z->utoff, hint);
        if (lr.rule < 0) {
            dst = false;
        } else if (tz::kRules[rs.first + lr.rule].save == 0) {
            // Daylight time given exactly at its end is the equal
            // standard-time reading.
            dst = false;
            if (hint && k.key() == lr.w.key() && k.ns == 0) k = lr.x;
        } else {
            // A reading inside a spring-forward gap moves to the gap's end.
            dst = true;
            if (lr.w.key() <= k.key() && not_after(k, lr.x)) k = lr.x;
        }
        year = year_of(k.min);
    }

    if (k.sec == 60) {
        // Second 60 stands only where the local minute holds a leap second.
        k.sec = 59;
        Rd u = k;
        if (!reading_to_utc(zone, &u, year, dst) || !add_seconds(u, 1)) return false;
        if (is_leap(u)) k.sec = 60;
    }
    orbek_time v;
    write_rd(k, &v);
    v.utc = 0;
    v.dst = dst ? 1 : 0;
    v.zone = zone;
    *out = v;
    return true;
}

}  // namespace zone
}  // namespace orbek

// ------------------------------------------------------------ exported

ORBEK_EXPORT orbek_time *orbek_time_utc2localbyzone(const char *name, const orbek_time *t) noexcept {
    if (!t || !t->utc) return nullptr;
    const int32_t zone = orbek::zone::lookup(name);
    orbek_time v;
    if (zone < 0 || !orbek::zone::utc_to_local(zone, *t, &v)) return nullptr;
    return orbek::cal::new_value(v);
}

ORBEK_EXPORT orbek_time *orbek_time_local2utc(const orbek_time *t) noexcept {
    orbek_time v;
    if (!t || t->utc || !orbek::zone::local_to_utc(*t, &v)) return nullptr;
    return orbek::cal::new_value(v);
}

ORBEK_EXPORT orbek_time *orbek_time_newlocaltimebyzone(const char *name, int32_t year, int32_t month, int32_t day,
                                                       int32_t hour, int32_t minute, int32_t second,
                                                       int32_t nanosecond, int32_t isdst) noexcept {
    const int32_t zone = orbek::zone::lookup(name);
    orbek_time v;
    if (zone < 0 || !orbek::zone::make_local(zone, year, month, day, hour, minute, second, nanosecond, isdst, &v))
        return nullptr;
    return orbek::cal::new_value(v);
}
