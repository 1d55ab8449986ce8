// Local time in the system's zone (set through made-up registry contents),
// and the operations on local values.
#include <gtest/gtest.h>

#include "support/test_alloc.h"
#include "tests/time/fake_registry.h"
#include "tests/time/time_test_util.h"
#include "time/zone.h"

using namespace timetest;

namespace {

class LocalTime : public ::testing::Test {
protected:
    const orbek::reg::Ops *saved = orbek::zone::set_registry_for_testing(&fakereg::kOps);
    void SetUp() override { system_zone("China Standard Time"); }
    void TearDown() override { orbek::zone::set_registry_for_testing(saved); }
    void system_zone(const char *name) { fakereg::set(fakereg::kTzi, "TimeZoneKeyName", name); }
};

using Adder = orbek_time *(*)(const orbek_time *, int32_t);
std::string add(Adder adder, const Time &t, int32_t n) { return str(Time(adder(t.get(), n))); }
std::string sys(int y, int mo, int d, int h) { return str(Time(orbek_time_newlocaltime(y, mo, d, h, 0, 0, 0, 0))); }
std::string to_sys(const Time &u) { return str(Time(orbek_time_utc2local(u.get()))); }

}  // namespace

TEST_F(LocalTime, BuildConvertAndNowInTheSystemZone) {
    Time u = utc(2020, 6, 1), l(orbek_time_utc2local(u.get()));
    EXPECT_EQ(sys(2020, 6, 1, 8) + " " + str(l), "2020-06-01T08:00:00 std 2020-06-01T08:00:00 std");
    EXPECT_EQ(to_sys(l) + to_sys(Time()), "nullnull");
    system_zone("Eastern Standard Time");  // read again on every call
    EXPECT_EQ(to_sys(u), "2020-05-31T20:00:00 dst");
    EXPECT_EQ(sys(2021, 3, 14, 2) + " " + sys(2021, 3, 14, 24), "2021-03-14T03:00:00 dst 2021-03-15T00:00:00 dst");
    EXPECT_EQ(sys(2021, 2, 29, 0), "null");
    Time before(orbek_time_nowutctime()), now(orbek_time_nowlocaltime()), after(orbek_time_nowutctime());
    ASSERT_TRUE(now && !orbek_time_isutctime(now.get()));
    EXPECT_TRUE(orbek_time_cmp(before.get(), now.get()) <= 0 && orbek_time_cmp(now.get(), after.get()) <= 0);
    // In an unknown zone there are no local values, and adders on local
    // values fail; comparison needs no system zone.
    system_zone("Mars Standard Time");
    Time tokyo = local("Asia/Tokyo", 2020, 6, 1);
    EXPECT_EQ(sys(2020, 6, 1, 8) + str(Time(orbek_time_nowlocaltime())) + to_sys(u) + add(orbek_time_addday, tokyo, 1),
              "nullnullnullnull");
    EXPECT_EQ(orbek_time_cmp(tokyo.get(), u.get()), -1);
}

TEST_F(LocalTime, AddersRelocalizeIntoTheSystemZone) {
    Time ny = local("America/New_York", 2020, 6, 1, 12), r(orbek_time_addday(ny.get(), 1));
    EXPECT_EQ(str(r), "2020-06-03T00:00:00 std");  // 2020-06-02T16:00Z in Shanghai
    EXPECT_EQ(r->zone, orbek::zone::lookup("Asia/Shanghai"));
    const std::tuple<Adder, int32_t, const char *> rows[] = {
        {orbek_time_addhour, -12, "2020-06-01T12:00:00 std"}, {orbek_time_addsecond, 1, "2020-06-02T00:00:01 std"},
        {orbek_time_addminute, 0, "2020-06-02T00:00:00 std"}, {orbek_time_addmonth, 1, "2020-07-02T00:00:00 std"},
        {orbek_time_addyear, 1, "2021-06-02T00:00:00 std"}};
    for (const auto &[adder, n, want] : rows) EXPECT_EQ(add(adder, ny, n), want);
    // Across New York's spring-forward day: 24 hours of UTC later.
    Time gap = local("America/New_York", 2021, 3, 13, 12);
    system_zone("Eastern Standard Time");
    EXPECT_EQ(add(orbek_time_addday, gap, 1) + add(orbek_time_addhour, gap, 24) + add(orbek_time_addyear, gap, 8000),
              "2021-03-14T13:00:00 dst2021-03-14T13:00:00 dstnull");
}

TEST_F(LocalTime, ComparisonDifferencesAndLeapSecondsUseTheInstant) {
    Time u = utc(2020, 6, 1), sh = local("Asia/Shanghai", 2020, 6, 1, 8);
    Time ny = local("America/New_York", 2020, 5, 31, 20), later = local("America/New_York", 2020, 5, 31, 20, 0, 1);
    EXPECT_EQ(orbek_time_cmp(sh.get(), u.get()) | orbek_time_cmp(u.get(), sh.get()), 0);
    EXPECT_EQ(orbek_time_cmp(ny.get(), sh.get()), 0);
    EXPECT_EQ(orbek_time_cmp(later.get(), sh.get()) * 10 + orbek_time_cmp(sh.get(), later.get()), 9);
    EXPECT_EQ(orbek_time_diffseconds(later.get(), sh.get()) * 10 + orbek_time_diffseconds(u.get(), later.get()), 9);
    EXPECT_EQ(orbek_time_gettime_t(sh.get()), 1590969600);
    // Two local values count their own wall dates; one local value is
    // counted on its UTC date.
    Time sh_early = local("Asia/Shanghai", 2020, 6, 1, 1);     // 17:00Z on 31 May
    Time ny_late = local("America/New_York", 2020, 6, 1, 23);  // 03:00Z on 2 June
    Time tokyo = local("Asia/Tokyo", 2020, 6, 2, 1);           // 16:00Z on 1 June, a Monday
    EXPECT_EQ(orbek_time_diffdays(sh_early.get(), ny_late.get()) | orbek_time_diffdays(ny_late.get(), sh_early.get()) |
                  orbek_time_diffdays(tokyo.get(), u.get()) | orbek_time_diffdays(u.get(), tokyo.get()),
              0);
    EXPECT_EQ(orbek_time_diffdays(tokyo.get(), sh_early.get()) * 10 + orbek_time_getdayofweek(tokyo.get()), 11);
    Time leap = local("Asia/Shanghai", 2017, 1, 1, 7, 59, 60), before = local("Asia/Shanghai", 2017, 1, 1, 7, 59, 59);
    EXPECT_EQ(orbek_time_isleapsecond(leap.get()) * 2 + orbek_time_isleapsecond(before.get()), 2);
    EXPECT_EQ(orbek_time_gettime_t(leap.get()), 1483228800);
}

TEST_F(LocalTime, AllocationFailureLeavesNothing) {
    Time ny = local("America/New_York", 2020, 6, 1, 12), u = utc(2020, 6, 1);
    const std::function<orbek_time *()> makers[] = {
        [] { return orbek_time_newlocaltime(2020, 6, 1, 8, 0, 0, 0, 0); }, [] { return orbek_time_nowlocaltime(); },
        [&] { return orbek_time_utc2local(u.get()); }, [&] { return orbek_time_addday(ny.get(), 1); },
        [&] { return orbek_time_addsecond(ny.get(), 100); }};
    for (const auto &make : makers) testalloc::sweep([&] { return Time(make()) != nullptr; });
}
