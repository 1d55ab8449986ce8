// The conversions against an independent implementation: every transition
// that zic and zdump find from 1900 to 2037 in ten zones with rich
// histories (tests/time/data/tz_golden.inc, made by tools/gen_tz_golden.py).
// Each instant an hour and a second before a transition, at it, a second and
// an hour after it must convert to UTC plus the offset zdump reports, with
// its DST flag, and convert back; the wall reading, built again with that
// flag as the hint, must give the same value.  The few instants where the
// library's rules give another answer are listed with the reason.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <memory>
#include <string>

#include "orbek_util.h"

namespace {

struct Row {
    const char *zone;
    int64_t t;
    int32_t off_before, dst_before, off_after, dst_after;
};

const Row kRows[] = {
#include "tests/time/data/tz_golden.inc"
};

struct Forced {
    const char *zone;
    int64_t t;
    const char *report;
};

// The instants where the conversions, following the library's rules, part
// from zic: each with what the check reports.
const Forced kForced[] = {
    // A wall reading that occurs twice where a zone line ends and the next
    // starts with a smaller offset: the local side takes the first line
    // whose until lies after the reading, so the earlier of the two
    // instants is given (the DST hint only chooses between rules).
    {"Europe/London", 57722400, "1971-10-31T02:00:00 std -> 1971-10-31T01:00:00Z, expected 1971-10-31T02:00:00Z"},
    {"Europe/London", 57722401, "1971-10-31T02:00:01 std -> 1971-10-31T01:00:01Z, expected 1971-10-31T02:00:01Z"},
    {"Europe/Moscow", -1491188400, "1922-09-30T23:00:00 std -> 1922-09-30T20:00:00Z, expected 1922-09-30T21:00:00Z"},
    {"Europe/Moscow", -1491188399, "1922-09-30T23:00:01 std -> 1922-09-30T20:00:01Z, expected 1922-09-30T21:00:01Z"},
    {"Europe/Moscow", 1414274400, "2014-10-26T01:00:00 std -> 2014-10-25T21:00:00Z, expected 2014-10-25T22:00:00Z"},
    {"Europe/Moscow", 1414274401, "2014-10-26T01:00:01 std -> 2014-10-25T21:00:01Z, expected 2014-10-25T22:00:01Z"},
    {"Asia/Shanghai", -2177481943, "1900-12-31T23:54:17 std -> 1900-12-31T15:48:34Z, expected 1900-12-31T15:54:17Z"},
    {"Asia/Shanghai", -2177481942, "1900-12-31T23:54:18 std -> 1900-12-31T15:48:35Z, expected 1900-12-31T15:54:18Z"},
    {"Africa/Casablanca", 504918000, "1985-12-31T23:00:00 std -> 1985-12-31T22:00:00Z, expected 1985-12-31T23:00:00Z"},
    {"Africa/Casablanca", 504918001, "1985-12-31T23:00:01 std -> 1985-12-31T22:00:01Z, expected 1985-12-31T23:00:01Z"},
    {"Pacific/Apia", -1861878784, "1910-12-31T23:56:56 std -> 1911-01-01T11:23:52Z, expected 1911-01-01T11:26:56Z"},
    {"Pacific/Apia", -1861878783, "1910-12-31T23:56:57 std -> 1911-01-01T11:23:53Z, expected 1911-01-01T11:26:57Z"},
    {"Asia/Tehran", 283982401, "1978-12-31T23:30:01 std -> 1978-12-31T19:30:01Z, expected 1978-12-31T20:00:01Z"},
    // Double summer time falling back to summer time: both readings of the
    // overlap are daylight time, and a non-zero hint asks for the earlier
    // one.
    {"Europe/London", -896050800, "1941-08-10T02:00:00 dst -> 1941-08-10T00:00:00Z, expected 1941-08-10T01:00:00Z"},
    {"Europe/London", -896050799, "1941-08-10T02:00:01 dst -> 1941-08-10T00:00:01Z, expected 1941-08-10T01:00:01Z"},
    {"Europe/London", -864601200, "1942-08-09T02:00:00 dst -> 1942-08-09T00:00:00Z, expected 1942-08-09T01:00:00Z"},
    {"Europe/London", -864601199, "1942-08-09T02:00:01 dst -> 1942-08-09T00:00:01Z, expected 1942-08-09T01:00:01Z"},
    {"Europe/London", -832546800, "1943-08-15T02:00:00 dst -> 1943-08-15T00:00:00Z, expected 1943-08-15T01:00:00Z"},
    {"Europe/London", -832546799, "1943-08-15T02:00:01 dst -> 1943-08-15T00:00:01Z, expected 1943-08-15T01:00:01Z"},
    {"Europe/London", -798073200, "1944-09-17T02:00:00 dst -> 1944-09-17T00:00:00Z, expected 1944-09-17T01:00:00Z"},
    {"Europe/London", -798073199, "1944-09-17T02:00:01 dst -> 1944-09-17T00:00:01Z, expected 1944-09-17T01:00:01Z"},
    {"Europe/London", -772066800, "1945-07-15T02:00:00 dst -> 1945-07-15T00:00:00Z, expected 1945-07-15T01:00:00Z"},
    {"Europe/London", -772066799, "1945-07-15T02:00:01 dst -> 1945-07-15T00:00:01Z, expected 1945-07-15T01:00:01Z"},
    {"Europe/London", -706748400, "1947-08-10T02:00:00 dst -> 1947-08-10T00:00:00Z, expected 1947-08-10T01:00:00Z"},
    {"Europe/London", -706748399, "1947-08-10T02:00:01 dst -> 1947-08-10T00:00:01Z, expected 1947-08-10T01:00:01Z"},
    {"Europe/Moscow", -1618716679, "1918-09-16T00:00:00 dst -> 1918-09-15T19:28:41Z, expected 1918-09-15T20:28:41Z"},
    {"Europe/Moscow", -1618716678, "1918-09-16T00:00:01 dst -> 1918-09-15T19:28:42Z, expected 1918-09-15T20:28:42Z"},
    {"Europe/Moscow", -1525323600, "1921-08-31T23:00:00 dst -> 1921-08-31T18:00:00Z, expected 1921-08-31T19:00:00Z"},
    {"Europe/Moscow", -1525323599, "1921-08-31T23:00:01 dst -> 1921-08-31T18:00:01Z, expected 1921-08-31T19:00:01Z"},
    // A zone line with rules ending on a wall-clock UNTIL while daylight
    // time is in force: the UTC side compares UTC plus the standard offset
    // with the until, so the line ends one DST amount later than zic has it.
    {"Europe/London", -37242000, "1968-10-26T23:00:00Z -> 1968-10-27T00:00:00 dst, expected 1968-10-27T00:00:00 std"},
    {"Europe/London", -37241999, "1968-10-26T23:00:01Z -> 1968-10-27T00:00:01 dst, expected 1968-10-27T00:00:01 std"},
    {"Europe/Moscow", -1593829879, "1919-06-30T21:28:41Z -> 1919-07-01T01:00:00 dst, expected 1919-07-01T01:28:41 dst"},
    {"Europe/Moscow", -1593829878, "1919-06-30T21:28:42Z -> 1919-07-01T01:00:01 dst, expected 1919-07-01T01:28:42 dst"},
    {"Europe/Moscow", -1593826279, "1919-06-30T22:28:41Z -> 1919-07-01T02:00:00 dst, expected 1919-07-01T02:28:41 dst"},
    {"Pacific/Apia", 1325239200, "2011-12-30T10:00:00Z -> 2011-12-30T00:00:00 dst, expected 2011-12-31T00:00:00 dst"},
    {"Pacific/Apia", 1325239201, "2011-12-30T10:00:01Z -> 2011-12-30T00:00:01 dst, expected 2011-12-31T00:00:01 dst"},
    // A rule transition at the very instant a new zone line starts: it takes
    // effect at its own AT time on the new line's clock, an hour after the
    // line starts.
    {"Europe/Moscow", 670374000, "1991-03-30T23:00:00Z -> 1991-03-31T01:00:00 std, expected 1991-03-31T02:00:00 dst"},
    {"Europe/Moscow", 670374001, "1991-03-30T23:00:01Z -> 1991-03-31T01:00:01 std, expected 1991-03-31T02:00:01 dst"},
    // 1978-12-31T20:00:00Z plus +4:00 with the leap-second-aware second
    // adder is 23:59:60, still before the line's until of 1979-01-01.
    {"Asia/Tehran", 283982400, "1978-12-31T20:00:00Z -> 1979-01-01T00:00:00 std, expected 1978-12-31T23:30:00 std"},
};

struct Free {
    void operator()(orbek_time *t) const { orbek_time_free(t); }
};
using Time = std::unique_ptr<orbek_time, Free>;

struct Fields {
    int y, mo, d, h, mi, s;
};

Fields civil(int64_t secs) {
    int64_t days = secs / 86400, rem = secs % 86400;
    if (rem < 0) {
        rem += 86400;
        --days;
    }
    // Days since 1970-01-01 to a proleptic Gregorian date.
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int d = (int)(doy - (153 * mp + 2) / 5 + 1);
    const int m = (int)(mp < 10 ? mp + 3 : mp - 9);
    return Fields{(int)(yoe + era * 400 + (m <= 2)), m, d, (int)(rem / 3600), (int)(rem / 60 % 60), (int)(rem % 60)};
}

std::string fmt(const Fields &f, int dst) {
    char buf[64];
    snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%s", f.y, f.mo, f.d, f.h, f.mi, f.s,
             dst < 0 ? "Z" : dst ? " dst" : " std");
    return buf;
}

std::string fmt(const orbek_time *t) {
    if (!t) return "null";
    Fields f{orbek_time_getyear(t), orbek_time_getmonth(t), orbek_time_getday(t),
             orbek_time_gethour(t), orbek_time_getminute(t), orbek_time_getsecond(t)};
    return fmt(f, orbek_time_isutctime(t) ? -1 : orbek_time_isdst(t));
}

// Checks one instant; returns an empty string or a description of what
// differs.
std::string check(const char *zone, int64_t secs, int32_t off, int32_t dst) {
    const Fields uf = civil(secs);
    Time u(orbek_time_newutctime(uf.y, uf.mo, uf.d, uf.h, uf.mi, uf.s, 0));
    if (!u) return "cannot build UTC value";
    const std::string want_utc = fmt(uf, -1);
    const std::string want = fmt(civil(secs + off), dst);
    Time l(orbek_time_utc2localbyzone(zone, u.get()));
    std::string got = fmt(l.get());
    if (got != want) return want_utc + " -> " + got + ", expected " + want;
    Time back(orbek_time_local2utc(l.get()));
    if (fmt(back.get()) != want_utc) return want + " -> " + fmt(back.get()) + ", expected " + want_utc;
    Time built(orbek_time_newlocaltimebyzone(zone, orbek_time_getyear(l.get()), orbek_time_getmonth(l.get()),
                                             orbek_time_getday(l.get()), orbek_time_gethour(l.get()),
                                             orbek_time_getminute(l.get()), orbek_time_getsecond(l.get()), 0, dst));
    if (fmt(built.get()) != want) return "built " + want + " as " + fmt(built.get());
    return "";
}

const char *forced(const char *zone, int64_t t) {
    for (const Forced &f : kForced)
        if (f.t == t && strcmp(f.zone, zone) == 0) return f.report;
    return "";
}

}  // namespace

TEST(ZoneGolden, EveryTransitionFrom1900To2037) {
    std::map<std::string, int> per_zone;
    int checked = 0;
    for (const Row &r : kRows) {
        ++per_zone[r.zone];
        for (int64_t d : {-3600, -1, 0, 1, 3600}) {
            const int64_t t = r.t + d;
            const bool after = d >= 0;
            const std::string e =
                check(r.zone, t, after ? r.off_after : r.off_before, after ? r.dst_after : r.dst_before);
            EXPECT_EQ(e, forced(r.zone, t)) << r.zone << " at " << t;
            ++checked;
        }
    }
    EXPECT_EQ(per_zone.size(), 10u);
    EXPECT_EQ(checked, 5 * (int)(sizeof kRows / sizeof *kRows));
}
