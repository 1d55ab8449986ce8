// Zone lookup, and conversions where test_zone_golden.cpp does not reach:
// names, local mean time, range ends, leap seconds, gaps, wrong operands.
#include <gtest/gtest.h>
#include <string.h>

#include "support/test_alloc.h"
#include "tests/time/time_test_util.h"
#include "time/zone.h"
#include "time/zone_tables.h"

using namespace timetest;

namespace {

std::string to_local(const char *zone, const Time &u) { return str(Time(orbek_time_utc2localbyzone(zone, u.get()))); }
std::string to_utc(const Time &t) { return str(Time(orbek_time_local2utc(t.get()))); }

}  // namespace

TEST(ZoneTable, NamesAndLinks) {
    for (int i = 0; i < orbek::tz::kZoneCount; ++i) {  // sorted, each name but the aliases finding itself
        const std::string name = orbek::tz::zone_name(i);
        ASSERT_TRUE(orbek::zone::lookup(name.c_str()) == i || name == "PRC" || name == "UTC") << name;
        ASSERT_TRUE(i == 0 || orbek::tz::zone_name(i - 1) < name) << name;
    }
    const struct { const char *name; int32_t zone; } names[] = {
        {"Africa/Abidjan", 0}, {"Etc/UTC", 414}, {"UTC", 414}, {"utc", -1}, {"Asia/Shanghai ", -1}, {nullptr, -1}};
    for (const auto &n : names) EXPECT_EQ(orbek::zone::lookup(n.name), n.zone) << (n.name ? n.name : "null");
    EXPECT_EQ(orbek::zone::lookup("PRC"), orbek::zone::lookup("Asia/Shanghai"));
    // A link shares its target's lines.
    const auto &a = orbek::tz::kZones[orbek::zone::lookup("Asia/Chongqing")];
    const auto &b = orbek::tz::kZones[orbek::zone::lookup("Asia/Shanghai")];
    EXPECT_TRUE(a.first_line == b.first_line && a.line_count == b.line_count);
}

TEST(ZoneConvert, FromUtc) {
    const struct { const char *zone; int f[6]; const char *want; } rows[] = {
        // Only UTC and Etc/UTC give UTC values.
        {"UTC", {2020, 6, 1, 12}, "2020-06-01T12:00:00Z"}, {"Etc/UTC", {2020, 6, 1, 12}, "2020-06-01T12:00:00Z"},
        {"Etc/Universal", {2020, 6, 1, 12}, "2020-06-01T12:00:00 std"},
        {"Etc/GMT-8", {2020, 6, 1, 12}, "2020-06-01T20:00:00 std"},
        {"Utc", {2020, 6, 1, 12}, "null"}, {nullptr, {2020, 6, 1, 12}, "null"},
        // Local mean time: New York -4:56:02 before 1883, London -0:01:15.
        {"America/New_York", {1800, 1, 1, 12}, "1800-01-01T07:03:58 std"},
        {"Europe/London", {1600, 3, 1, 0, 1, 15}, "1600-03-01T00:00:00 std"},
        // A shift that leaves the year range fails; a reading that local
        // mean time pushes before 1582 keeps the zone's first line.
        {"Asia/Shanghai", {9999, 12, 31, 20}, "null"}, {"America/New_York", {1582, 1, 1, 1}, "null"},
        {"Pacific/Enderbury", {1582, 1, 1}, "null"}, {"America/New_York", {9999, 12, 31, 20}, "9999-12-31T15:00:00 std"},
        {"Pacific/Enderbury", {1582, 1, 1, 12}, "1582-01-01T00:35:40 std"},
        // A leap second shows as second 60 of the local minute.
        {"Asia/Shanghai", {2016, 12, 31, 23, 59, 60}, "2017-01-01T07:59:60 std"},
        {"Asia/Kolkata", {2016, 12, 31, 23, 59, 60}, "2017-01-01T05:29:60 std"},
        {"Asia/Shanghai", {2016, 12, 31, 23, 59, 59}, "2017-01-01T07:59:59 std"},
        {"America/New_York", {2017, 1, 1, 0, 0, 1}, "2016-12-31T19:00:01 std"},
    };
    for (const auto &r : rows)
        EXPECT_EQ(to_local(r.zone, utc(r.f[0], r.f[1], r.f[2], r.f[3], r.f[4], r.f[5])), r.want)
            << (r.zone ? r.zone : "null") << " " << r.f[0] << "-" << r.f[1] << "-" << r.f[2] << " " << r.f[3];
}

TEST(ZoneConvert, FromWallClock) {
    const struct { const char *zone; int f[8]; const char *want, *back; } rows[] = {  // f: fields, DST hint, ns
        {"UTC", {2020, 6, 1, 12}, "2020-06-01T12:00:00Z", "null"},
        {"Etc/UTC", {2020, 6, 1, 24}, "2020-06-02T00:00:00Z", "null"},
        {"Etc/GMT", {2020, 6, 1, 12}, "2020-06-01T12:00:00 std", "2020-06-01T12:00:00Z"},
        {"utc", {2020, 6, 1, 12}, "null", "null"}, {nullptr, {2020, 6, 1, 12}, "null", "null"},
        {"Nowhere/City", {2020, 1, 1}, "null", "null"}, {"Asia/Shanghai", {9999, 12, 31, 24}, "null", "null"},
        {"Asia/Shanghai", {2020, 6, 1, 8}, "2020-06-01T08:00:00 std", "2020-06-01T00:00:00Z"},
        {"America/New_York", {1800, 1, 1, 7, 3, 58}, "1800-01-01T07:03:58 std", "1800-01-01T12:00:00Z"},
        // A reading in the spring gap moves to the gap's end; one in the
        // autumn overlap takes the hint.  02:00 given as daylight time,
        // exactly at its end, is the equal standard-time reading 01:00.
        {"America/New_York", {2021, 3, 14, 2, 30, 0, 0, 123}, "2021-03-14T03:00:00 dst", "2021-03-14T07:00:00Z"},
        {"America/New_York", {2021, 3, 14, 1, 59, 59}, "2021-03-14T01:59:59 std", "2021-03-14T06:59:59Z"},
        {"America/New_York", {2021, 11, 7, 1, 30, 0, 1}, "2021-11-07T01:30:00 dst", "2021-11-07T05:30:00Z"},
        {"America/New_York", {2021, 11, 7, 1, 30, 0, 0}, "2021-11-07T01:30:00 std", "2021-11-07T06:30:00Z"},
        {"America/New_York", {2021, 11, 7, 2, 0, 0, 1}, "2021-11-07T01:00:00 std", "2021-11-07T06:00:00Z"},
        {"America/New_York", {2021, 11, 7, 2, 0, 0, 0}, "2021-11-07T02:00:00 std", "2021-11-07T07:00:00Z"},
        // Second 60 stays only where it is a leap second.
        {"Asia/Shanghai", {2017, 1, 1, 7, 59, 60}, "2017-01-01T07:59:60 std", "2016-12-31T23:59:60Z"},
        {"Asia/Shanghai", {2017, 1, 1, 8, 59, 60}, "2017-01-01T08:59:59 std", "2017-01-01T00:59:59Z"},
        {"America/New_York", {2016, 12, 31, 18, 59, 60}, "2016-12-31T18:59:60 std", "2016-12-31T23:59:60Z"},
        {"America/New_York", {2016, 12, 31, 23, 59, 60}, "2016-12-31T23:59:59 std", "2017-01-01T04:59:59Z"},
        {"Asia/Shanghai", {2020, 12, 31, 24}, "2021-01-01T00:00:00 std", "2020-12-31T16:00:00Z"},
    };
    for (const auto &r : rows) {
        Time l = local(r.zone, r.f[0], r.f[1], r.f[2], r.f[3], r.f[4], r.f[5], r.f[6], r.f[7]);
        EXPECT_EQ(str(l), r.want) << (r.zone ? r.zone : "null") << " " << r.f[0] << "-" << r.f[1] << "-" << r.f[2];
        EXPECT_EQ(to_utc(l), r.back) << r.want;
    }
    for (const auto &b : kBadFields) EXPECT_FALSE(local("Asia/Shanghai", b[0], b[1], b[2], b[3], b[4], b[5], 0, b[6]));
    // Wrong kinds of operand.
    EXPECT_EQ(to_utc(utc(2020, 6, 1)) + to_utc(Time()), "nullnull");
    EXPECT_EQ(to_local("Asia/Tokyo", local("Asia/Tokyo", 2020, 6, 1)) + to_local("Asia/Tokyo", Time()), "nullnull");
}

TEST(ZoneConvert, AllocationFailureLeavesNothing) {
    Time u = utc(2021, 11, 7, 5, 30), l = local("America/New_York", 2021, 11, 7, 1, 30, 0, 1);
    ASSERT_TRUE(u && l);
    testalloc::sweep([&] { return Time(orbek_time_utc2localbyzone("America/New_York", u.get())) != nullptr; });
    testalloc::sweep([&] { return Time(orbek_time_local2utc(l.get())) != nullptr; });
    testalloc::sweep([&] { return local("America/New_York", 2021, 3, 14, 2, 30) != nullptr; });
}
