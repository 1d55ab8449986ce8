// Zone lookup and the conversions between UTC and a zone's wall clock.
#include <gtest/gtest.h>
#include <stdio.h>

#include <memory>
#include <string>

#include "orbek_util.h"
#include "support/test_alloc.h"
#include "time/zone.h"
#include "time/zone_tables.h"

namespace {

struct Free {
    void operator()(orbek_time *t) const { orbek_time_free(t); }
};
using Time = std::unique_ptr<orbek_time, Free>;

Time utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ns = 0) {
    return Time(orbek_time_newutctime(y, mo, d, h, mi, s, ns));
}

Time local(const char *zone, int y, int mo, int d, int h, int mi, int s, int isdst = 0, int ns = 0) {
    return Time(orbek_time_newlocaltimebyzone(zone, y, mo, d, h, mi, s, ns, isdst));
}

// "2016-12-31T23:59:60Z", "2021-03-14T03:00:00 dst" (a local value), "null".
std::string str(const orbek_time *t) {
    if (!t) return "null";
    char buf[80];
    snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", (int)orbek_time_getyear(t), (int)orbek_time_getmonth(t),
             (int)orbek_time_getday(t), (int)orbek_time_gethour(t), (int)orbek_time_getminute(t),
             (int)orbek_time_getsecond(t));
    std::string s = buf;
    if (orbek_time_getns(t) != 0) {
        snprintf(buf, sizeof buf, ".%09d", (int)orbek_time_getns(t));
        s += buf;
    }
    if (orbek_time_isutctime(t)) return s + "Z";
    return s + (orbek_time_isdst(t) ? " dst" : " std");
}
std::string str(const Time &t) { return str(t.get()); }

std::string to_local(const char *zone, const Time &u) { return str(Time(orbek_time_utc2localbyzone(zone, u.get()))); }
std::string to_utc(const Time &t) { return str(Time(orbek_time_local2utc(t.get()))); }

}  // namespace

TEST(ZoneTable, CountsAndFixedIndexes) {
    EXPECT_STREQ(orbek::tz::zone_name(0), "Africa/Abidjan");
    EXPECT_STREQ(orbek::tz::zone_name(414), "Etc/UTC");
    EXPECT_STREQ(orbek::tz::zone_name(581), "Zulu");
    for (int i = 1; i < orbek::tz::kZoneCount; ++i)
        ASSERT_LT(strcmp(orbek::tz::zone_name(i - 1), orbek::tz::zone_name(i)), 0) << i;
    // Every rule set reference and every line range lies inside the tables.
    int rules = 0;
    for (const auto &rs : orbek::tz::kRuleSets) rules += rs.count;
    EXPECT_EQ(rules, orbek::tz::kRuleCount);
    for (const auto &z : orbek::tz::kZones) {
        ASSERT_GE(z.line_count, 1);
        ASSERT_LE(z.first_line + z.line_count, orbek::tz::kZoneLineCount);
        EXPECT_EQ(orbek::tz::kZoneLines[z.first_line + z.line_count - 1].until_year, orbek::tz::kYearMax16);
    }
}

TEST(ZoneLookup, NamesLinksAndTheTwoAliases) {
    using orbek::zone::lookup;
    EXPECT_EQ(lookup("Africa/Abidjan"), 0);
    EXPECT_EQ(lookup("Zulu"), 581);
    EXPECT_EQ(lookup("Etc/UTC"), 414);
    EXPECT_EQ(lookup("UTC"), 414);
    EXPECT_EQ(lookup("PRC"), lookup("Asia/Shanghai"));
    EXPECT_NE(lookup("Asia/Shanghai"), -1);
    EXPECT_EQ(lookup("utc"), -1);
    EXPECT_EQ(lookup("asia/shanghai"), -1);
    EXPECT_EQ(lookup("Asia/Shanghai "), -1);
    EXPECT_EQ(lookup(""), -1);
    EXPECT_EQ(lookup(nullptr), -1);
    // A link shares its target's lines.
    const auto &a = orbek::tz::kZones[lookup("Asia/Chongqing")];
    const auto &b = orbek::tz::kZones[lookup("Asia/Shanghai")];
    EXPECT_EQ(a.first_line, b.first_line);
    EXPECT_EQ(a.line_count, b.line_count);
}

TEST(ZoneConvert, UtcNamesGiveUtcValues) {
    Time u = utc(2020, 6, 1, 12, 0, 0);
    EXPECT_EQ(to_local("UTC", u), "2020-06-01T12:00:00Z");
    EXPECT_EQ(to_local("Etc/UTC", u), "2020-06-01T12:00:00Z");
    EXPECT_EQ(to_local("Etc/Universal", u), "2020-06-01T12:00:00 std");
    EXPECT_EQ(to_local("Etc/GMT", u), "2020-06-01T12:00:00 std");
    EXPECT_EQ(to_local("Etc/GMT-8", u), "2020-06-01T20:00:00 std");
    EXPECT_EQ(to_local("Utc", u), "null");
    EXPECT_EQ(to_local(nullptr, u), "null");
    EXPECT_EQ(str(local("UTC", 2020, 6, 1, 12, 0, 0)), "2020-06-01T12:00:00Z");
    EXPECT_EQ(str(local("Etc/UTC", 2020, 6, 1, 24, 0, 0)), "2020-06-02T00:00:00Z");
    EXPECT_EQ(str(local("Etc/GMT", 2020, 6, 1, 12, 0, 0)), "2020-06-01T12:00:00 std");
    EXPECT_EQ(str(local("utc", 2020, 6, 1, 12, 0, 0)), "null");
    EXPECT_EQ(str(local(nullptr, 2020, 6, 1, 12, 0, 0)), "null");
}

TEST(ZoneConvert, ShanghaiRoundTrip) {
    Time u = utc(2020, 6, 1);
    Time l(orbek_time_utc2localbyzone("Asia/Shanghai", u.get()));
    EXPECT_EQ(str(l), "2020-06-01T08:00:00 std");
    EXPECT_EQ(to_utc(l), "2020-06-01T00:00:00Z");
    // PRC's daylight time of 1986 to 1991.
    EXPECT_EQ(to_local("PRC", utc(1988, 7, 1)), "1988-07-01T09:00:00 dst");
    // Wrong kinds of operand.
    EXPECT_EQ(to_utc(u), "null");
    EXPECT_EQ(to_local("Asia/Shanghai", l), "null");
    EXPECT_EQ(to_utc(Time()), "null");
    EXPECT_EQ(to_local("Asia/Shanghai", Time()), "null");
}

TEST(ZoneConvert, NewYorkGapAndOverlap) {
    Time gap = local("America/New_York", 2021, 3, 14, 2, 30, 0, 0, 123);
    EXPECT_EQ(str(gap), "2021-03-14T03:00:00 dst");
    EXPECT_EQ(to_utc(gap), "2021-03-14T07:00:00Z");
    // Just before the gap, and at its end.
    EXPECT_EQ(str(local("America/New_York", 2021, 3, 14, 1, 59, 59)), "2021-03-14T01:59:59 std");
    EXPECT_EQ(str(local("America/New_York", 2021, 3, 14, 3, 0, 0)), "2021-03-14T03:00:00 dst");

    Time d1 = local("America/New_York", 2021, 11, 7, 1, 30, 0, 1);
    Time d0 = local("America/New_York", 2021, 11, 7, 1, 30, 0, 0);
    EXPECT_EQ(str(d1), "2021-11-07T01:30:00 dst");
    EXPECT_EQ(str(d0), "2021-11-07T01:30:00 std");
    EXPECT_EQ(to_utc(d1), "2021-11-07T05:30:00Z");
    EXPECT_EQ(to_utc(d0), "2021-11-07T06:30:00Z");
    EXPECT_EQ(to_local("America/New_York", utc(2021, 11, 7, 5, 30)), "2021-11-07T01:30:00 dst");
    EXPECT_EQ(to_local("America/New_York", utc(2021, 11, 7, 6, 30)), "2021-11-07T01:30:00 std");
    // Either side of both transitions, from UTC.
    EXPECT_EQ(to_local("America/New_York", utc(2021, 3, 14, 6, 59, 59)), "2021-03-14T01:59:59 std");
    EXPECT_EQ(to_local("America/New_York", utc(2021, 3, 14, 7, 0, 0)), "2021-03-14T03:00:00 dst");
    EXPECT_EQ(to_local("America/New_York", utc(2021, 11, 7, 5, 59, 59)), "2021-11-07T01:59:59 dst");
    EXPECT_EQ(to_local("America/New_York", utc(2021, 11, 7, 6, 0, 0)), "2021-11-07T01:00:00 std");
    // 02:00 given as daylight time, exactly at its end, is the equal
    // standard-time reading 01:00; given as standard time it stays.
    EXPECT_EQ(str(local("America/New_York", 2021, 11, 7, 2, 0, 0, 1)), "2021-11-07T01:00:00 std");
    EXPECT_EQ(to_utc(local("America/New_York", 2021, 11, 7, 2, 0, 0, 1)), "2021-11-07T06:00:00Z");
    EXPECT_EQ(str(local("America/New_York", 2021, 11, 7, 2, 0, 0, 0)), "2021-11-07T02:00:00 std");
}

TEST(ZoneConvert, RulesBefore1970AndOldWeekdays) {
    EXPECT_EQ(to_local("America/New_York", utc(1950, 7, 1, 12)), "1950-07-01T08:00:00 dst");
    EXPECT_EQ(to_local("America/New_York", utc(1950, 1, 1, 12)), "1950-01-01T07:00:00 std");
    // Local mean time before 1883: -4:56:02.
    EXPECT_EQ(to_local("America/New_York", utc(1800, 1, 1, 12)), "1800-01-01T07:03:58 std");
    EXPECT_EQ(to_utc(local("America/New_York", 1800, 1, 1, 7, 3, 58)), "1800-01-01T12:00:00Z");
    // Europe/London in 1600: local mean time, -0:01:15.
    EXPECT_EQ(to_local("Europe/London", utc(1600, 3, 1, 0, 1, 15)), "1600-03-01T00:00:00 std");
}

TEST(ZoneConvert, LeapSecondsShowAsSecondSixty) {
    Time leap = utc(2016, 12, 31, 23, 59, 60);
    EXPECT_EQ(to_local("Asia/Shanghai", leap), "2017-01-01T07:59:60 std");
    EXPECT_EQ(to_local("America/New_York", leap), "2016-12-31T18:59:60 std");
    EXPECT_EQ(to_local("Asia/Kolkata", leap), "2017-01-01T05:29:60 std");
    // The seconds around it convert to UTC plus the offset.
    EXPECT_EQ(to_local("Asia/Shanghai", utc(2016, 12, 31, 23, 59, 59)), "2017-01-01T07:59:59 std");
    EXPECT_EQ(to_local("Asia/Shanghai", utc(2017, 1, 1)), "2017-01-01T08:00:00 std");
    EXPECT_EQ(to_local("Asia/Shanghai", utc(2016, 12, 31, 16, 0, 0)), "2017-01-01T00:00:00 std");
    EXPECT_EQ(to_local("America/New_York", utc(2017, 1, 1, 0, 0, 1)), "2016-12-31T19:00:01 std");

    Time l = local("Asia/Shanghai", 2017, 1, 1, 7, 59, 60);
    EXPECT_EQ(str(l), "2017-01-01T07:59:60 std");
    EXPECT_EQ(to_utc(l), "2016-12-31T23:59:60Z");
    EXPECT_EQ(str(local("Asia/Shanghai", 2017, 1, 1, 8, 59, 60)), "2017-01-01T08:59:59 std");
    EXPECT_EQ(str(local("America/New_York", 2016, 12, 31, 18, 59, 60)), "2016-12-31T18:59:60 std");
    EXPECT_EQ(str(local("America/New_York", 2016, 12, 31, 23, 59, 60)), "2016-12-31T23:59:59 std");
}

TEST(ZoneConvert, ConstructionChecksFields) {
    EXPECT_EQ(str(local("Asia/Shanghai", 2020, 2, 30, 0, 0, 0)), "null");
    EXPECT_EQ(str(local("Asia/Shanghai", 1581, 12, 31, 0, 0, 0)), "null");
    EXPECT_EQ(str(local("Asia/Shanghai", 2020, 1, 1, 24, 1, 0)), "null");
    EXPECT_EQ(str(local("Asia/Shanghai", 2020, 1, 1, 0, 60, 0)), "null");
    EXPECT_EQ(str(local("Asia/Shanghai", 2020, 1, 1, 0, 0, 61)), "null");
    EXPECT_EQ(str(local("Asia/Shanghai", 2020, 1, 1, 0, 0, 0, 0, -1)), "null");
    EXPECT_EQ(str(local("Asia/Shanghai", 2020, 1, 1, 0, 0, 0, 0, 1000000000)), "null");
    EXPECT_EQ(str(local("Asia/Shanghai", 2020, 12, 31, 24, 0, 0)), "2021-01-01T00:00:00 std");
    EXPECT_EQ(str(local("Asia/Shanghai", 9999, 12, 31, 24, 0, 0)), "null");
    EXPECT_EQ(str(local("Nowhere/City", 2020, 1, 1, 0, 0, 0)), "null");
    // The ends of the year range: a shift that leaves it fails.
    EXPECT_EQ(to_local("Asia/Shanghai", utc(9999, 12, 31, 20)), "null");
    EXPECT_EQ(to_local("America/New_York", utc(1582, 1, 1, 1)), "null");
    // Local mean time pushes the reading before 1582: the zone's first line
    // still applies (no later line takes over) and the conversion fails.
    EXPECT_EQ(to_local("Pacific/Enderbury", utc(1582, 1, 1)), "null");
    EXPECT_EQ(to_local("Pacific/Enderbury", utc(1582, 1, 1, 12)), "1582-01-01T00:35:40 std");
    EXPECT_EQ(to_local("America/New_York", utc(9999, 12, 31, 20)), "9999-12-31T15:00:00 std");
}

TEST(ZoneConvert, DoubleSummerTimeAndHalfHourSaves) {
    // British double summer time, 1941: +2:00.
    EXPECT_EQ(to_local("Europe/London", utc(1941, 7, 1, 12)), "1941-07-01T14:00:00 dst");
    // Lord Howe saves half an hour.
    EXPECT_EQ(to_local("Australia/Lord_Howe", utc(2020, 1, 1)), "2020-01-01T11:00:00 dst");
    EXPECT_EQ(to_local("Australia/Lord_Howe", utc(2020, 7, 1)), "2020-07-01T10:30:00 std");
    EXPECT_EQ(to_utc(local("Australia/Lord_Howe", 2020, 1, 1, 11, 0, 0)), "2020-01-01T00:00:00Z");
}

TEST(ZoneConvert, AllocationFailureLeavesNothing) {
    Time u = utc(2021, 11, 7, 5, 30);
    ASSERT_TRUE(u);
    testalloc::sweep([&] {
        Time l(orbek_time_utc2localbyzone("America/New_York", u.get()));
        return l != nullptr;
    });
    Time l = local("America/New_York", 2021, 11, 7, 1, 30, 0, 1);
    ASSERT_TRUE(l);
    testalloc::sweep([&] { return Time(orbek_time_local2utc(l.get())) != nullptr; });
    testalloc::sweep([&] { return local("America/New_York", 2021, 3, 14, 2, 30, 0) != nullptr; });
}
