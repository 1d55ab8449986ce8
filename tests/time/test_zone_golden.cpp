// The conversions against zic and zdump: every transition from 1900 to 2037
// in ten zones with rich histories (data/tz_golden.inc, made by
// tools/gen_tz_golden.py).  An hour and a second before each, at it, a second
// and an hour after it, UTC must convert to UTC plus zdump's offset with its
// DST flag and back; the wall reading built again with that flag as the hint
// must give the same value.
#include <gtest/gtest.h>
#include <string.h>

#include <set>

#include "tests/time/time_test_util.h"

using namespace timetest;

namespace {

struct Row {
    const char *zone;
    int64_t t;
    int32_t off_before, dst_before, off_after, dst_after;
};

const Row kRows[] = {
#include "tests/time/data/tz_golden.inc"
};

// Where the library's rules part from zic: count instants from t on come out
// shift seconds off, on the way back to UTC (dst < 0) or on the wall clock.
const struct Forced { const char *zone; int64_t t; int count, shift, dst; } kForced[] = {
    // A wall reading that occurs twice where a zone line ends and the next
    // starts with a smaller offset gives the earlier instant: the first line
    // whose until lies after it wins (the hint only chooses between rules).
    {"Europe/London", 57722400, 2, -3600, -1}, {"Europe/Moscow", -1491188400, 2, -3600, -1},
    {"Europe/Moscow", 1414274400, 2, -3600, -1}, {"Asia/Shanghai", -2177481943, 2, -343, -1},
    {"Africa/Casablanca", 504918000, 2, -3600, -1}, {"Pacific/Apia", -1861878784, 2, -184, -1},
    {"Asia/Tehran", 283982401, 1, -1800, -1},
    // Double summer time falling back to summer time: both readings of the
    // overlap are daylight time, and a non-zero hint asks for the earlier.
    {"Europe/London", -896050800, 2, -3600, -1}, {"Europe/London", -864601200, 2, -3600, -1},
    {"Europe/London", -832546800, 2, -3600, -1}, {"Europe/London", -798073200, 2, -3600, -1},
    {"Europe/London", -772066800, 2, -3600, -1}, {"Europe/London", -706748400, 2, -3600, -1},
    {"Europe/Moscow", -1618716679, 2, -3600, -1}, {"Europe/Moscow", -1525323600, 2, -3600, -1},
    // A line ending on a wall-clock UNTIL during daylight time: the UTC side
    // compares UTC plus the standard offset with it, so the line ends later.
    {"Europe/London", -37242000, 2, 0, 1}, {"Europe/Moscow", -1593829879, 2, -1721, 1},
    {"Europe/Moscow", -1593826279, 1, -1721, 1}, {"Pacific/Apia", 1325239200, 2, -86400, 1},
    // A rule transition at the very instant a new zone line starts: it takes
    // effect at its own AT time on the new line's clock, an hour later.
    {"Europe/Moscow", 670374000, 2, -3600, 0},
    // 20:00:00Z plus +4:00 is the leap second 23:59:60, before the UNTIL.
    {"Asia/Tehran", 283982400, 1, 1800, 0},
};

// The wall reading of POSIX second secs with the given DST flag.
std::string wall(int64_t secs, int dst) {
    std::string s = str(Time(orbek_time_newfromtime_t(secs)));
    s.pop_back();  // the 'Z'
    return s + (dst ? " dst" : " std");
}

// An empty string, or the first result that differs from what is expected
// (off as f says, if f is given).
std::string check(const char *zone, int64_t secs, int32_t off, int32_t dst, const Forced *f) {
    Time u(orbek_time_newfromtime_t(secs)), l(orbek_time_utc2localbyzone(zone, u.get()));
    if (str(l) != (f && f->dst >= 0 ? wall(secs + off + f->shift, f->dst) : wall(secs + off, dst))) return str(l);
    Time back(orbek_time_local2utc(l.get()));
    if (f) return f->dst >= 0 || str(back) == str(Time(orbek_time_newfromtime_t(secs + f->shift))) ? "" : str(back);
    if (str(back) != str(u)) return str(back);
    const orbek_time *p = l.get();
    Time built = local(zone, orbek_time_getyear(p), orbek_time_getmonth(p), orbek_time_getday(p), orbek_time_gethour(p),
                       orbek_time_getminute(p), orbek_time_getsecond(p), dst);
    return str(built) == str(l) ? "" : "built " + str(built);
}

}  // namespace

TEST(ZoneGolden, EveryTransitionFrom1900To2037) {
    std::set<std::string> zones;
    for (const Row &r : kRows) {
        zones.insert(r.zone);
        for (int64_t d : {-3600, -1, 0, 1, 3600}) {
            const int64_t t = r.t + d;
            const Forced *forced = nullptr;
            for (const Forced &f : kForced)
                if (t >= f.t && t < f.t + f.count && strcmp(f.zone, r.zone) == 0) forced = &f;
            const int32_t off = d >= 0 ? r.off_after : r.off_before, dst = d >= 0 ? r.dst_after : r.dst_before;
            EXPECT_EQ(check(r.zone, t, off, dst, forced), "") << r.zone << " at " << t;
        }
    }
    EXPECT_EQ(zones.size(), 10u);
}
