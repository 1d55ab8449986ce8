// Local time in the system's zone, with the zone set through registry
// contents of the test's own (the Windows search and its map), and the
// operations on local values.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

#include "orbek_util.h"
#include "support/test_alloc.h"
#include "time/systemzone.h"
#include "time/zone.h"

namespace {

struct Free {
    void operator()(orbek_time *t) const { orbek_time_free(t); }
};
using Time = std::unique_ptr<orbek_time, Free>;

std::string str(const orbek_time *t) {
    if (!t) return "null";
    char buf[80];
    snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", (int)orbek_time_getyear(t), (int)orbek_time_getmonth(t),
             (int)orbek_time_getday(t), (int)orbek_time_gethour(t), (int)orbek_time_getminute(t),
             (int)orbek_time_getsecond(t));
    if (orbek_time_isutctime(t)) return std::string(buf) + "Z";
    return std::string(buf) + (orbek_time_isdst(t) ? " dst" : " std");
}
std::string str(const Time &t) { return str(t.get()); }

Time utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return Time(orbek_time_newutctime(y, mo, d, h, mi, s, 0));
}
Time local(const char *zone, int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int isdst = 0) {
    return Time(orbek_time_newlocaltimebyzone(zone, y, mo, d, h, mi, s, 0, isdst));
}

// A registry holding only the current zone's key name.
std::string g_key_name;
bool reg_open(void *parent, const char *path, void **key) {
    if (parent || strcmp(path, "SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation") != 0) return false;
    *key = &g_key_name;
    return true;
}
bool reg_query(void *, const char *name, uint32_t *type, char *buf, uint32_t *size) {
    if (strcmp(name, "TimeZoneKeyName") != 0 || g_key_name.size() + 1 > *size) return false;
    memcpy(buf, g_key_name.c_str(), g_key_name.size() + 1);
    *type = 1;
    *size = (uint32_t)g_key_name.size() + 1;
    return true;
}
bool reg_enum(void *, uint32_t, char *, uint32_t) { return false; }
void reg_close(void *) {}
const orbek::reg::Ops kOps = {reg_open, reg_query, reg_enum, reg_close};

class LocalTime : public ::testing::Test {
protected:
    const orbek::reg::Ops *saved = nullptr;
    void SetUp() override {
        saved = orbek::zone::set_registry_for_testing(&kOps);
        g_key_name = "China Standard Time";
    }
    void TearDown() override { orbek::zone::set_registry_for_testing(saved); }
};

int32_t zone_of(const orbek_time *t) {
    // The zone a local value shows, found by converting the UTC instant
    // into a candidate zone and comparing readings.
    Time u(orbek_time_local2utc(t));
    for (const char *z : {"Asia/Shanghai", "America/New_York", "Asia/Tokyo"}) {
        Time l(orbek_time_utc2localbyzone(z, u.get()));
        if (str(l) == str(t)) return orbek::zone::lookup(z);
    }
    return -1;
}

}  // namespace

TEST_F(LocalTime, BuildAndConvertInTheSystemZone) {
    Time l(orbek_time_newlocaltime(2020, 6, 1, 8, 0, 0, 0, 0));
    EXPECT_EQ(str(l), "2020-06-01T08:00:00 std");
    Time u(orbek_time_local2utc(l.get()));
    EXPECT_EQ(str(u), "2020-06-01T00:00:00Z");
    EXPECT_EQ(str(Time(orbek_time_utc2local(u.get()))), "2020-06-01T08:00:00 std");
    EXPECT_EQ(str(Time(orbek_time_utc2local(l.get()))), "null");
    EXPECT_EQ(str(Time(orbek_time_utc2local(nullptr))), "null");
    // The zone is read again on every call.
    g_key_name = "Eastern Standard Time";
    EXPECT_EQ(str(Time(orbek_time_utc2local(u.get()))), "2020-05-31T20:00:00 dst");
    EXPECT_EQ(str(Time(orbek_time_newlocaltime(2021, 3, 14, 2, 30, 0, 0, 0))), "2021-03-14T03:00:00 dst");
    EXPECT_EQ(str(Time(orbek_time_newlocaltime(2021, 3, 14, 24, 0, 0, 0, 0))), "2021-03-15T00:00:00 dst");
    EXPECT_EQ(str(Time(orbek_time_newlocaltime(2021, 2, 29, 0, 0, 0, 0, 0))), "null");
}

TEST_F(LocalTime, NowIsTheUtcClockInTheZone) {
    Time before(orbek_time_nowutctime());
    Time now(orbek_time_nowlocaltime());
    Time after(orbek_time_nowutctime());
    ASSERT_TRUE(now);
    EXPECT_FALSE(orbek_time_isutctime(now.get()));
    Time u(orbek_time_local2utc(now.get()));
    EXPECT_LE(orbek_time_cmp(before.get(), u.get()), 0);
    EXPECT_LE(orbek_time_cmp(u.get(), after.get()), 0);
}

TEST_F(LocalTime, UnknownZoneGivesNull) {
    g_key_name = "Mars Standard Time";
    Time u = utc(2020, 6, 1);
    EXPECT_EQ(str(Time(orbek_time_newlocaltime(2020, 6, 1, 8, 0, 0, 0, 0))), "null");
    EXPECT_EQ(str(Time(orbek_time_nowlocaltime())), "null");
    EXPECT_EQ(str(Time(orbek_time_utc2local(u.get()))), "null");
    // An adder on a local value needs the zone for its result.
    Time l = local("Asia/Tokyo", 2020, 6, 1);
    EXPECT_EQ(str(Time(orbek_time_addday(l.get(), 1))), "null");
    // Operations that only compare do not.
    EXPECT_EQ(orbek_time_cmp(l.get(), u.get()), -1);
}

TEST_F(LocalTime, AddersRelocalizeIntoTheSystemZone) {
    Time ny = local("America/New_York", 2020, 6, 1, 12);
    Time r(orbek_time_addday(ny.get(), 1));
    EXPECT_EQ(str(r), "2020-06-03T00:00:00 std");  // 2020-06-02T16:00Z in Shanghai
    EXPECT_EQ(zone_of(r.get()), orbek::zone::lookup("Asia/Shanghai"));
    EXPECT_EQ(str(Time(orbek_time_addhour(ny.get(), -12))), "2020-06-01T12:00:00 std");
    EXPECT_EQ(str(Time(orbek_time_addsecond(ny.get(), 1))), "2020-06-02T00:00:01 std");
    EXPECT_EQ(str(Time(orbek_time_addminute(ny.get(), 0))), "2020-06-02T00:00:00 std");
    EXPECT_EQ(str(Time(orbek_time_addmonth(ny.get(), 1))), "2020-07-02T00:00:00 std");
    EXPECT_EQ(str(Time(orbek_time_addyear(ny.get(), 1))), "2021-06-02T00:00:00 std");
    // Across New York's spring-forward day: 24 hours of UTC later.
    Time gap = local("America/New_York", 2021, 3, 13, 12);
    g_key_name = "Eastern Standard Time";
    EXPECT_EQ(str(Time(orbek_time_addday(gap.get(), 1))), "2021-03-14T13:00:00 dst");
    EXPECT_EQ(str(Time(orbek_time_addhour(gap.get(), 24))), "2021-03-14T13:00:00 dst");
    // A local value whose result lands in the years' limits fails.
    EXPECT_EQ(str(Time(orbek_time_addyear(gap.get(), 8000))), "null");
}

TEST_F(LocalTime, ComparisonAndDifferencesUseTheInstant) {
    Time u = utc(2020, 6, 1);
    Time sh = local("Asia/Shanghai", 2020, 6, 1, 8);
    Time ny = local("America/New_York", 2020, 5, 31, 20);
    EXPECT_EQ(orbek_time_cmp(sh.get(), u.get()), 0);
    EXPECT_EQ(orbek_time_cmp(u.get(), sh.get()), 0);
    EXPECT_EQ(orbek_time_cmp(ny.get(), sh.get()), 0);
    Time later = local("America/New_York", 2020, 5, 31, 20, 0, 1);
    EXPECT_EQ(orbek_time_cmp(later.get(), sh.get()), 1);
    EXPECT_EQ(orbek_time_cmp(sh.get(), later.get()), -1);
    EXPECT_EQ(orbek_time_diffseconds(later.get(), sh.get()), 1);
    EXPECT_EQ(orbek_time_diffseconds(later.get(), u.get()), 1);
    EXPECT_EQ(orbek_time_diffseconds(u.get(), later.get()), -1);

    // Two local values count their own wall dates; one local value is
    // counted on its UTC date.
    Time sh_early = local("Asia/Shanghai", 2020, 6, 1, 1);   // 17:00Z on 31 May
    Time ny_late = local("America/New_York", 2020, 6, 1, 23);  // 03:00Z on 2 June
    Time tokyo = local("Asia/Tokyo", 2020, 6, 2, 1);           // 16:00Z on 1 June
    EXPECT_EQ(orbek_time_diffdays(sh_early.get(), ny_late.get()), 0);
    EXPECT_EQ(orbek_time_diffdays(ny_late.get(), sh_early.get()), 0);
    EXPECT_EQ(orbek_time_diffdays(tokyo.get(), sh_early.get()), 1);
    EXPECT_EQ(orbek_time_diffdays(tokyo.get(), utc(2020, 6, 1, 0).get()), 0);
    EXPECT_EQ(orbek_time_diffdays(utc(2020, 6, 1, 0).get(), tokyo.get()), 0);

    EXPECT_EQ(orbek_time_gettime_t(sh.get()), 1590969600);
    // Tuesday in Tokyo, but the weekday is that of the UTC date.
    EXPECT_EQ(orbek_time_getdayofweek(tokyo.get()), 1);
}

TEST_F(LocalTime, LeapSecondsOfLocalValues) {
    Time l = local("Asia/Shanghai", 2017, 1, 1, 7, 59, 60);
    EXPECT_EQ(orbek_time_isleapsecond(l.get()), 1);
    Time ny = local("America/New_York", 2016, 12, 31, 18, 59, 60);
    EXPECT_EQ(orbek_time_isleapsecond(ny.get()), 1);
    EXPECT_EQ(orbek_time_isleapsecond(local("Asia/Shanghai", 2017, 1, 1, 7, 59, 59).get()), 0);
    EXPECT_EQ(orbek_time_gettime_t(l.get()), 1483228800);
    EXPECT_EQ(orbek_time_diffseconds(local("Asia/Shanghai", 2017, 1, 1, 8).get(),
                                     local("Asia/Shanghai", 2017, 1, 1, 7, 59, 59).get()),
              2);
}

TEST_F(LocalTime, AllocationFailureLeavesNothing) {
    Time ny = local("America/New_York", 2020, 6, 1, 12);
    Time u = utc(2020, 6, 1);
    testalloc::sweep([] { return Time(orbek_time_newlocaltime(2020, 6, 1, 8, 0, 0, 0, 0)) != nullptr; });
    testalloc::sweep([] { return Time(orbek_time_nowlocaltime()) != nullptr; });
    testalloc::sweep([&] { return Time(orbek_time_utc2local(u.get())) != nullptr; });
    testalloc::sweep([&] { return Time(orbek_time_addday(ny.get(), 1)) != nullptr; });
    testalloc::sweep([&] { return Time(orbek_time_addsecond(ny.get(), 100)) != nullptr; });
}

#ifndef _WIN32
// Without a registry, TZ names the zone; in Etc/UTC the local operations
// give UTC values.
TEST(LocalTimeTz, UtcAndShanghai) {
    const char *old = getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "UTC", 1);
    Time t(orbek_time_newlocaltime(2020, 6, 1, 8, 0, 0, 0, 1));
    EXPECT_EQ(str(t), "2020-06-01T08:00:00Z");
    Time u = utc(2020, 6, 1);
    EXPECT_EQ(str(Time(orbek_time_utc2local(u.get()))), "2020-06-01T00:00:00Z");
    setenv("TZ", "Asia/Shanghai", 1);
    EXPECT_EQ(str(Time(orbek_time_utc2local(u.get()))), "2020-06-01T08:00:00 std");
    if (old) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
}
#endif
