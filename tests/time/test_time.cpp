// Time values through the public interface: the construction rules, the
// adders' special cases and bounds, nulls, the clocks and allocation
// failure.  Whole-range and leap-second sweeps are in test_time_model.cpp.
#include <gtest/gtest.h>
#include <limits.h>

#include "support/test_alloc.h"
#include "tests/time/time_test_util.h"
#include "time/time_internal.h"

using timetest::kLeapDays;
using timetest::str;
using timetest::Time;
using timetest::utc;

namespace {

std::string add(const Time &t, orbek_time *(*adder)(const orbek_time *, int32_t), int32_t n) {
    return str(Time(adder(t.get(), n)));
}

}  // namespace

TEST(TimeNew, SecondSixtyOnlyAtLeapSeconds) {
    for (const auto &d : kLeapDays) {
        Time t = utc(d[0], d[1], d[2], 23, 59, 60);
        ASSERT_TRUE(t) << d[0] << "-" << d[1] << "-" << d[2];
        EXPECT_FALSE(utc(d[0], d[1], d[2], 23, 58, 60));
        EXPECT_FALSE(utc(d[0], d[1], d[2], 22, 59, 60));
        EXPECT_FALSE(utc(d[0], d[1], d[2] - 1, 23, 59, 60));
    }
    EXPECT_FALSE(utc(2017, 12, 31, 23, 59, 60));
    EXPECT_FALSE(utc(1980, 12, 31, 23, 59, 60));
    EXPECT_EQ(orbek_time_isleapsecond(utc(2016, 12, 31, 23, 59, 60, 999999999).get()), 1);
    EXPECT_EQ(orbek_time_isleapsecond(nullptr), 0);
}

TEST(TimeNew, FieldRangesAndHour24) {
    EXPECT_EQ(str(utc(2020, 12, 31, 24, 0, 0, 5)), "2021-01-01T00:00:00.000000005");
    EXPECT_EQ(str(utc(2020, 2, 28, 24)), "2020-02-29T00:00:00");
    EXPECT_FALSE(utc(2020, 12, 31, 24, 1, 0));
    EXPECT_FALSE(utc(2020, 12, 31, 24, 0, 1));
    EXPECT_FALSE(utc(9999, 12, 31, 24, 0, 0)) << "midnight after the last day is in year 10000";
    EXPECT_TRUE(utc(2000, 2, 29));
    EXPECT_TRUE(utc(1582, 1, 1));
    EXPECT_TRUE(utc(9999, 12, 31, 23, 59, 59, 999999999));
    const int bad[][7] = {{1900, 2, 29, 0, 0, 0, 0}, {2100, 2, 29, 0, 0, 0, 0}, {2021, 4, 31, 0, 0, 0, 0},
                          {1581, 12, 31, 0, 0, 0, 0}, {10000, 1, 1, 0, 0, 0, 0}, {2020, 0, 1, 0, 0, 0, 0},
                          {2020, 13, 1, 0, 0, 0, 0},  {2020, 1, 0, 0, 0, 0, 0},  {2020, 1, 1, -1, 0, 0, 0},
                          {2020, 1, 1, 25, 0, 0, 0},  {2020, 1, 1, 0, -1, 0, 0}, {2020, 1, 1, 0, 60, 0, 0},
                          {2020, 1, 1, 0, 0, -1, 0},  {2020, 1, 1, 0, 0, 61, 0}, {2020, 1, 1, 0, 0, 0, -1},
                          {2020, 1, 1, 0, 0, 0, 1000000000}};
    for (const auto &b : bad)
        EXPECT_FALSE(orbek_time_newutctime(b[0], b[1], b[2], b[3], b[4], b[5], b[6]))
            << b[0] << " " << b[1] << " " << b[2] << " " << b[3] << " " << b[4] << " " << b[5] << " " << b[6];
}

TEST(TimeNew, LayoutGettersPredicatesAndDup) {
    Time t = utc(2019, 7, 4, 13, 14, 15, 16);
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->utc == 1 && t->dst == 0 && t->zone == 414);
    EXPECT_EQ(orbek_time_isutctime(t.get()), 1);
    EXPECT_EQ(orbek_time_isdst(t.get()), 0);
    EXPECT_EQ(orbek_time_isleapyear(t.get()), 0);
    // A wall-clock reading as the zone conversions build it: the field-only
    // operations read it as stored.
    orbek_time local{2020, 2, 29, 2, 30, 0, 7, 0, 1, 100};
    EXPECT_EQ(orbek_time_isutctime(&local), 0);
    EXPECT_EQ(orbek_time_isdst(&local), 1);
    EXPECT_EQ(orbek_time_isleapyear(&local), 1);
    EXPECT_EQ(str(&local), "2020-02-29T02:30:00.000000007");
    Time d(orbek_time_dup(&local));
    ASSERT_TRUE(d);
    EXPECT_EQ(memcmp(d.get(), &local, sizeof local), 0);

    int32_t (*const getters[])(const orbek_time *) = {orbek_time_getyear,   orbek_time_getmonth, orbek_time_getday,
                                                      orbek_time_gethour,   orbek_time_getminute,
                                                      orbek_time_getsecond, orbek_time_getns};
    for (auto g : getters) EXPECT_EQ(g(nullptr), -1);
    EXPECT_EQ(orbek_time_isutctime(nullptr) | orbek_time_isdst(nullptr) | orbek_time_isleapyear(nullptr), 0);
    EXPECT_EQ(orbek_time_dup(nullptr), nullptr);
    orbek_time_free(nullptr);
}

TEST(TimeCmp, FieldOrderAndNulls) {
    Time a = utc(2020, 1, 1, 0, 0, 0, 1), b = utc(2020, 1, 1, 0, 0, 0, 2);
    Time leap = utc(2016, 12, 31, 23, 59, 60), before = utc(2016, 12, 31, 23, 59, 59, 999999999);
    EXPECT_EQ(orbek_time_cmp(a.get(), b.get()), -1);
    EXPECT_EQ(orbek_time_cmp(b.get(), a.get()), 1);
    EXPECT_EQ(orbek_time_cmp(a.get(), a.get()), 0);
    EXPECT_EQ(orbek_time_cmp(before.get(), leap.get()), -1);
    EXPECT_EQ(orbek_time_cmp(nullptr, nullptr), 0);
    EXPECT_EQ(orbek_time_cmp(nullptr, a.get()), -1);
    EXPECT_EQ(orbek_time_cmp(a.get(), nullptr), 1);
}

TEST(TimeAdd, YearsAndMonthsKeepTheDayWhereItExists) {
    EXPECT_EQ(add(utc(2020, 2, 29, 10), orbek_time_addyear, 1), "2021-03-01T10:00:00");
    EXPECT_EQ(add(utc(2020, 2, 29, 10), orbek_time_addyear, -120), "1900-03-01T10:00:00");
    EXPECT_EQ(add(utc(2020, 2, 29, 10), orbek_time_addyear, 4), "2024-02-29T10:00:00");
    EXPECT_EQ(add(utc(2020, 1, 31), orbek_time_addmonth, 1), "2020-02-29T00:00:00");
    EXPECT_EQ(add(utc(2021, 3, 31), orbek_time_addmonth, -1), "2021-02-28T00:00:00");
    EXPECT_EQ(add(utc(2021, 1, 15, 8, 9, 10, 11), orbek_time_addmonth, -1), "2020-12-15T08:09:10.000000011");
    EXPECT_EQ(add(utc(2021, 3, 31), orbek_time_addmonth, -25), "2019-02-28T00:00:00");
    EXPECT_EQ(add(utc(2020, 11, 30), orbek_time_addmonth, 3), "2021-02-28T00:00:00");
    EXPECT_EQ(add(utc(2020, 12, 31), orbek_time_addmonth, 12), "2021-12-31T00:00:00");
    EXPECT_EQ(add(utc(9998, 6, 1), orbek_time_addyear, 2), "null");
    EXPECT_EQ(add(utc(1582, 1, 31), orbek_time_addmonth, -1), "null");
    EXPECT_EQ(add(utc(2000, 6, 1), orbek_time_addyear, INT32_MIN), "null");
    EXPECT_EQ(add(utc(2000, 6, 1), orbek_time_addmonth, INT32_MAX), "null");
}

TEST(TimeAdd, LeapSecondThroughCalendarAdders) {
    Time leap = utc(2016, 12, 31, 23, 59, 60, 3);
    EXPECT_EQ(add(leap, orbek_time_addday, 1), "2017-01-01T23:59:59.000000003");
    EXPECT_EQ(add(leap, orbek_time_addday, 0), "2016-12-31T23:59:60.000000003");
    EXPECT_EQ(add(leap, orbek_time_addhour, -1), "2016-12-31T22:59:59.000000003");
    EXPECT_EQ(add(leap, orbek_time_addminute, 1), "2017-01-01T00:00:60.000000003");
    EXPECT_EQ(add(leap, orbek_time_addyear, 1), "null");
    EXPECT_EQ(add(leap, orbek_time_addmonth, 12), "null");
    // Onto another leap-second day the second stays 60.
    Time june = utc(1972, 6, 30, 23, 59, 60), dec = utc(1972, 12, 31, 23, 59, 60);
    EXPECT_EQ(add(june, orbek_time_addday, 184), "1972-12-31T23:59:60");
    EXPECT_EQ(add(june, orbek_time_addhour, 184 * 24), "1972-12-31T23:59:60");
    EXPECT_EQ(add(june, orbek_time_addmonth, 6), "null") << "30 December is no leap-second day";
    EXPECT_EQ(add(dec, orbek_time_addyear, 1), "1973-12-31T23:59:60");
    EXPECT_EQ(add(dec, orbek_time_addmonth, -6), "1972-06-30T23:59:60") << "31 June clamps onto a leap-second day";
}

TEST(TimeAdd, SecondsAndTheYearBound) {
    Time t = utc(2016, 12, 31, 23, 59, 59), next = utc(2017, 1, 1), half = utc(2016, 12, 31, 23, 59, 30);
    EXPECT_EQ(add(t, orbek_time_addsecond, 1), "2016-12-31T23:59:60");
    EXPECT_EQ(add(t, orbek_time_addsecond, 2), "2017-01-01T00:00:00");
    EXPECT_EQ(add(next, orbek_time_addsecond, -1), "2016-12-31T23:59:60");
    EXPECT_EQ(add(half, orbek_time_addsecond, 60), "2017-01-01T00:00:29");

    Time last = utc(9999, 12, 31, 23, 59, 59), first = utc(1582, 1, 1);
    for (auto adder : {orbek_time_addday, orbek_time_addhour, orbek_time_addminute, orbek_time_addsecond}) {
        EXPECT_EQ(add(last, adder, 1), "null");
        EXPECT_EQ(add(first, adder, -1), "null");
        EXPECT_EQ(add(first, adder, 0), "1582-01-01T00:00:00");
        EXPECT_EQ(adder(nullptr, 1), nullptr);
    }
    EXPECT_EQ(orbek_time_addyear(nullptr, 1), nullptr);
    EXPECT_EQ(orbek_time_addmonth(nullptr, 1), nullptr);
    EXPECT_EQ(add(first, orbek_time_addday, INT32_MAX), "null");
    EXPECT_EQ(add(last, orbek_time_addday, -3074610), "1582-01-01T23:59:59");
    EXPECT_EQ(add(first, orbek_time_addminute, INT32_MAX), "5665-01-23T02:07:00");
}

TEST(TimeDiff, CalendarDaysAndSecondsWithLeapSeconds) {
    Time a = utc(2020, 1, 2), b = utc(2020, 1, 1, 23, 59, 59);
    EXPECT_EQ(orbek_time_diffdays(a.get(), b.get()), 1);
    EXPECT_EQ(orbek_time_diffdays(b.get(), a.get()), -1);
    EXPECT_EQ(orbek_time_diffdays(utc(9999, 12, 31).get(), utc(1582, 1, 1, 1).get()), 3074610);
    EXPECT_EQ(orbek_time_diffseconds(utc(2017, 1, 1).get(), utc(2016, 12, 31, 23, 59, 59).get()), 2);
    EXPECT_EQ(orbek_time_diffseconds(utc(2021, 5, 5, 10, 1, 10, 900).get(), utc(2021, 5, 5, 10, 0, 30, 100).get()), 40);
    EXPECT_EQ(orbek_time_diffseconds(utc(2017, 1, 1).get(), utc(1970, 1, 1).get()), 1483228800LL + 27);
    EXPECT_EQ(orbek_time_diffdays(nullptr, nullptr), 0);
    EXPECT_EQ(orbek_time_diffdays(nullptr, a.get()), INT32_MIN);
    EXPECT_EQ(orbek_time_diffdays(a.get(), nullptr), INT32_MAX);
    EXPECT_EQ(orbek_time_diffseconds(nullptr, nullptr), 0);
    EXPECT_EQ(orbek_time_diffseconds(nullptr, a.get()), INT64_MIN);
    EXPECT_EQ(orbek_time_diffseconds(a.get(), nullptr), INT64_MAX);
    EXPECT_EQ(orbek_time_getdayofweek(utc(1969, 12, 27, 23, 59, 59).get()), 6);
    EXPECT_EQ(orbek_time_getdayofweek(utc(2017, 1, 1).get()), 7);
    EXPECT_EQ(orbek_time_getdayofweek(nullptr), -1);
}

TEST(TimePosix, BoundsAndNull) {
    EXPECT_EQ(orbek_time_gettime_t(utc(2016, 12, 31, 23, 59, 60).get()), 1483228800);
    EXPECT_EQ(orbek_time_gettime_t(utc(1582, 1, 1).get()), -12244089600LL);
    EXPECT_EQ(orbek_time_gettime_t(nullptr), INT64_MIN);
    auto from = [](int64_t s) { return str(Time(orbek_time_newfromtime_t(s))); };
    EXPECT_EQ(from(-1), "1969-12-31T23:59:59");
    EXPECT_EQ(from(1483228799), "2016-12-31T23:59:59");
    EXPECT_EQ(from(-12244089600LL), "1582-01-01T00:00:00");
    EXPECT_EQ(from(-12244089601LL), "null");
    EXPECT_EQ(from(253402300799LL), "9999-12-31T23:59:59");
    EXPECT_EQ(from(253402300800LL), "null");
    EXPECT_EQ(from(INT64_MAX), "null");
    EXPECT_EQ(from(INT64_MIN), "null");
}

TEST(TimeClock, NowAgreesWithTheFileTimeClock) {
    const uint64_t us_before = orbek_time_getcurrentus();
    Time now(orbek_time_nowutctime());
    const uint64_t us_after = orbek_time_getcurrentus();
    ASSERT_TRUE(now);
    EXPECT_EQ(orbek_time_isutctime(now.get()), 1);
    EXPECT_EQ(orbek_time_getns(now.get()) % 1000000, 0) << "millisecond resolution";
    // The calendar reading lies between the two microsecond readings, to
    // the millisecond.
    const int64_t now_us = orbek_time_gettime_t(now.get()) * 1000000 + orbek_time_getns(now.get()) / 1000;
    EXPECT_GE(now_us, (int64_t)us_before - 1000);
    EXPECT_LE(now_us, (int64_t)us_after + 1000);
}

TEST(TimeAlloc, ConstructorsAndAddersReportFailureAndLeakNothing) {
    Time base = utc(2016, 12, 31, 23, 59, 30);
    const orbek_time *b = base.get();
    const std::function<orbek_time *()> makers[] = {
        [] { return orbek_time_newutctime(2020, 12, 31, 24, 0, 0, 0); },
        [] { return orbek_time_newfromtime_t(1483228800); },
        [] { return orbek_time_nowutctime(); },
        [b] { return orbek_time_dup(b); },
        [b] { return orbek_time_addyear(b, 3); },
        [b] { return orbek_time_addmonth(b, -7); },
        [b] { return orbek_time_addday(b, 1000000); },
        [b] { return orbek_time_addhour(b, 25); },
        [b] { return orbek_time_addminute(b, -61); },
        [b] { return orbek_time_addsecond(b, 3600); }};
    for (const auto &make : makers) {
        testalloc::sweep([&] {
            orbek_time *t = make();
            bool ok = t && orbek_time_isutctime(t) == 1;
            orbek_time_free(t);
            return ok;
        });
        EXPECT_STREQ(testalloc::last_file(), "ORBEK_Time");
    }
}
