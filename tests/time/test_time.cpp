// Time values through the public interface: construction rules, adders,
// differences, POSIX seconds and the clocks.
#include <gtest/gtest.h>
#include <limits.h>

#include "support/test_alloc.h"
#include "tests/time/time_test_util.h"
#include "time/time_internal.h"

using timetest::str;
using timetest::Time;
using timetest::utc;

namespace {

const int kLeapDays[27][3] = {
    {1972, 6, 30},  {1972, 12, 31}, {1973, 12, 31}, {1974, 12, 31}, {1975, 12, 31}, {1976, 12, 31},
    {1977, 12, 31}, {1978, 12, 31}, {1979, 12, 31}, {1981, 6, 30},  {1982, 6, 30},  {1983, 6, 30},
    {1985, 6, 30},  {1987, 12, 31}, {1989, 12, 31}, {1990, 12, 31}, {1992, 6, 30},  {1993, 6, 30},
    {1994, 6, 30},  {1995, 12, 31}, {1997, 6, 30},  {1998, 12, 31}, {2005, 12, 31}, {2008, 12, 31},
    {2012, 6, 30},  {2015, 6, 30},  {2016, 12, 31}};

std::string add(const Time &t, orbek_time *(*adder)(const orbek_time *, int32_t), int32_t n) {
    Time r(adder(t.get(), n));
    return str(r);
}

}  // namespace

TEST(TimeNew, SecondSixtyOnlyAtLeapSeconds) {
    for (const auto &d : kLeapDays) {
        Time t = utc(d[0], d[1], d[2], 23, 59, 60);
        ASSERT_TRUE(t) << d[0] << "-" << d[1] << "-" << d[2];
        EXPECT_EQ(orbek_time_isleapsecond(t.get()), 1);
        // The same second in the minute before, and on the other half-year's
        // last day, is no leap second.
        EXPECT_FALSE(utc(d[0], d[1], d[2], 23, 58, 60));
        EXPECT_FALSE(utc(d[0], d[1], d[2], 22, 59, 60));
        if (d[1] == 6) {
            EXPECT_FALSE(utc(d[0] == 1972 ? 1971 : d[0], 12, 31, 23, 59, 60));
        }
    }
    EXPECT_FALSE(utc(2017, 12, 31, 23, 59, 60));
    EXPECT_FALSE(utc(1980, 12, 31, 23, 59, 60));
    EXPECT_FALSE(utc(2016, 12, 30, 23, 59, 60));
    Time ns = utc(2016, 12, 31, 23, 59, 60, 999999999);
    EXPECT_EQ(orbek_time_isleapsecond(ns.get()), 1) << "nanoseconds take no part";
    Time plain = utc(2016, 12, 31, 23, 59, 59);
    EXPECT_EQ(orbek_time_isleapsecond(plain.get()), 0);
    EXPECT_EQ(orbek_time_isleapsecond(nullptr), 0);
}

TEST(TimeNew, FieldRangesAndHour24) {
    Time t = utc(2020, 12, 31, 24, 0, 0, 5);
    EXPECT_EQ(str(t), "2021-01-01T00:00:00.000000005");
    EXPECT_EQ(str(utc(2020, 2, 28, 24)), "2020-02-29T00:00:00");
    EXPECT_EQ(str(utc(2021, 2, 28, 24)), "2021-03-01T00:00:00");
    EXPECT_FALSE(utc(2020, 12, 31, 24, 1, 0));
    EXPECT_FALSE(utc(2020, 12, 31, 24, 0, 1));
    EXPECT_FALSE(utc(9999, 12, 31, 24, 0, 0)) << "midnight after the last day is year 10000";
    EXPECT_FALSE(utc(2020, 1, 1, 25));

    EXPECT_TRUE(utc(2000, 2, 29));
    EXPECT_TRUE(utc(1600, 2, 29));
    EXPECT_FALSE(utc(1900, 2, 29));
    EXPECT_FALSE(utc(2100, 2, 29));
    EXPECT_FALSE(utc(2021, 2, 29));
    EXPECT_FALSE(utc(2021, 4, 31));
    EXPECT_TRUE(utc(2021, 12, 31));
    EXPECT_TRUE(utc(1582, 1, 1));
    EXPECT_TRUE(utc(9999, 12, 31, 23, 59, 59, 999999999));
    EXPECT_FALSE(utc(1581, 12, 31));
    EXPECT_FALSE(utc(10000, 1, 1));

    const int bad[][7] = {{2020, 0, 1, 0, 0, 0, 0},  {2020, 13, 1, 0, 0, 0, 0}, {2020, 1, 0, 0, 0, 0, 0},
                          {2020, 1, -1, 0, 0, 0, 0}, {2020, 1, 1, -1, 0, 0, 0}, {2020, 1, 1, 0, -1, 0, 0},
                          {2020, 1, 1, 0, 60, 0, 0}, {2020, 1, 1, 0, 0, -1, 0}, {2020, 1, 1, 0, 0, 61, 0},
                          {2020, 1, 1, 0, 0, 0, -1}, {2020, 1, 1, 0, 0, 0, 1000000000}};
    for (const auto &b : bad)
        EXPECT_FALSE(orbek_time_newutctime(b[0], b[1], b[2], b[3], b[4], b[5], b[6]))
            << b[0] << " " << b[1] << " " << b[2] << " " << b[3] << " " << b[4] << " " << b[5] << " " << b[6];
}

TEST(TimeNew, UtcValueLayoutGettersAndDup) {
    Time t = utc(2019, 7, 4, 13, 14, 15, 16);
    ASSERT_TRUE(t);
    const orbek_time &v = *t;
    EXPECT_EQ(v.utc, 1);
    EXPECT_EQ(v.dst, 0);
    EXPECT_EQ(v.zone, 414);
    EXPECT_EQ(orbek_time_isutctime(t.get()), 1);
    EXPECT_EQ(orbek_time_isdst(t.get()), 0);
    EXPECT_EQ(orbek_time_isleapyear(t.get()), 0);

    Time d(orbek_time_dup(t.get()));
    ASSERT_TRUE(d);
    EXPECT_NE(d.get(), t.get());
    EXPECT_EQ(memcmp(d.get(), t.get(), sizeof(orbek_time)), 0);
    EXPECT_EQ(orbek_time_dup(nullptr), nullptr);

    EXPECT_EQ(orbek_time_getyear(nullptr), -1);
    EXPECT_EQ(orbek_time_getmonth(nullptr), -1);
    EXPECT_EQ(orbek_time_getday(nullptr), -1);
    EXPECT_EQ(orbek_time_gethour(nullptr), -1);
    EXPECT_EQ(orbek_time_getminute(nullptr), -1);
    EXPECT_EQ(orbek_time_getsecond(nullptr), -1);
    EXPECT_EQ(orbek_time_getns(nullptr), -1);
    EXPECT_EQ(orbek_time_isutctime(nullptr), 0);
    EXPECT_EQ(orbek_time_isdst(nullptr), 0);
    EXPECT_EQ(orbek_time_isleapyear(nullptr), 0);
    orbek_time_free(nullptr);
}

TEST(TimeNew, FieldOnlyOperationsReadLocalValuesAsStored) {
    // A wall-clock reading as the zone conversions build it: the getters,
    // the DST and leap-year predicates and dup need no conversion.
    orbek_time local{2020, 2, 29, 2, 30, 0, 7, 0, 1, 100};
    EXPECT_EQ(orbek_time_isutctime(&local), 0);
    EXPECT_EQ(orbek_time_isdst(&local), 1);
    EXPECT_EQ(orbek_time_isleapyear(&local), 1);
    EXPECT_EQ(str(&local), "2020-02-29T02:30:00.000000007");
    Time d(orbek_time_dup(&local));
    ASSERT_TRUE(d);
    EXPECT_EQ(memcmp(d.get(), &local, sizeof local), 0);
    local.dst = 0;
    EXPECT_EQ(orbek_time_isdst(&local), 0);
}

TEST(TimeCmp, FieldOrderAndNulls) {
    Time a = utc(2020, 1, 1, 0, 0, 0, 1), b = utc(2020, 1, 1, 0, 0, 0, 2), c = utc(2019, 12, 31, 23, 59, 59, 5);
    EXPECT_EQ(orbek_time_cmp(a.get(), b.get()), -1);
    EXPECT_EQ(orbek_time_cmp(b.get(), a.get()), 1);
    EXPECT_EQ(orbek_time_cmp(a.get(), a.get()), 0);
    EXPECT_EQ(orbek_time_cmp(c.get(), a.get()), -1);
    Time leap = utc(2016, 12, 31, 23, 59, 60), before = utc(2016, 12, 31, 23, 59, 59, 999999999);
    EXPECT_EQ(orbek_time_cmp(before.get(), leap.get()), -1);
    EXPECT_EQ(orbek_time_cmp(nullptr, nullptr), 0);
    EXPECT_EQ(orbek_time_cmp(nullptr, a.get()), -1);
    EXPECT_EQ(orbek_time_cmp(a.get(), nullptr), 1);
}

TEST(TimeAdd, YearsAndMonthsKeepTheDayWhereItExists) {
    EXPECT_EQ(add(utc(2020, 2, 29, 10), orbek_time_addyear, 1), "2021-03-01T10:00:00");
    EXPECT_EQ(add(utc(2020, 2, 29, 10), orbek_time_addyear, 4), "2024-02-29T10:00:00");
    EXPECT_EQ(add(utc(2020, 2, 29, 10), orbek_time_addyear, -120), "1900-03-01T10:00:00");
    EXPECT_EQ(add(utc(2020, 2, 29), orbek_time_addyear, 0), "2020-02-29T00:00:00");
    EXPECT_EQ(add(utc(9998, 6, 1), orbek_time_addyear, 1), "9999-06-01T00:00:00");
    EXPECT_EQ(add(utc(9998, 6, 1), orbek_time_addyear, 2), "null");
    EXPECT_EQ(add(utc(1583, 6, 1), orbek_time_addyear, -2), "null");
    EXPECT_EQ(add(utc(2000, 6, 1), orbek_time_addyear, INT32_MAX), "null");
    EXPECT_EQ(add(utc(2000, 6, 1), orbek_time_addyear, INT32_MIN), "null");

    EXPECT_EQ(add(utc(2020, 1, 31), orbek_time_addmonth, 1), "2020-02-29T00:00:00");
    EXPECT_EQ(add(utc(2021, 1, 31), orbek_time_addmonth, 1), "2021-02-28T00:00:00");
    EXPECT_EQ(add(utc(2021, 3, 31), orbek_time_addmonth, -1), "2021-02-28T00:00:00");
    EXPECT_EQ(add(utc(2021, 1, 15, 8, 9, 10, 11), orbek_time_addmonth, -1), "2020-12-15T08:09:10.000000011");
    EXPECT_EQ(add(utc(2021, 1, 15), orbek_time_addmonth, -13), "2019-12-15T00:00:00");
    EXPECT_EQ(add(utc(2021, 3, 31), orbek_time_addmonth, -25), "2019-02-28T00:00:00");
    EXPECT_EQ(add(utc(2020, 11, 30), orbek_time_addmonth, 3), "2021-02-28T00:00:00");
    EXPECT_EQ(add(utc(2020, 12, 31), orbek_time_addmonth, 12), "2021-12-31T00:00:00");
    EXPECT_EQ(add(utc(2020, 5, 31), orbek_time_addmonth, -24), "2018-05-31T00:00:00");
    EXPECT_EQ(add(utc(2020, 5, 31), orbek_time_addmonth, 1), "2020-06-30T00:00:00");
    EXPECT_EQ(add(utc(9999, 12, 1), orbek_time_addmonth, 1), "null");
    EXPECT_EQ(add(utc(1582, 1, 31), orbek_time_addmonth, -1), "null");
    EXPECT_EQ(add(utc(2000, 6, 1), orbek_time_addmonth, INT32_MIN), "null");
    EXPECT_EQ(orbek_time_addyear(nullptr, 1), nullptr);
    EXPECT_EQ(orbek_time_addmonth(nullptr, 1), nullptr);
}

TEST(TimeAdd, LeapSecondThroughCalendarAdders) {
    Time leap = utc(2016, 12, 31, 23, 59, 60, 3);
    EXPECT_EQ(add(leap, orbek_time_addday, 1), "2017-01-01T23:59:59.000000003");
    EXPECT_EQ(add(leap, orbek_time_addday, 0), "2016-12-31T23:59:60.000000003");
    EXPECT_EQ(add(leap, orbek_time_addhour, 24), "2017-01-01T23:59:59.000000003");
    EXPECT_EQ(add(leap, orbek_time_addhour, -1), "2016-12-31T22:59:59.000000003");
    EXPECT_EQ(add(leap, orbek_time_addminute, 1), "2017-01-01T00:00:60.000000003");
    EXPECT_EQ(add(leap, orbek_time_addminute, -61), "2016-12-31T22:58:60.000000003");
    EXPECT_EQ(add(leap, orbek_time_addyear, 1), "null");
    EXPECT_EQ(add(leap, orbek_time_addmonth, 12), "null");
    EXPECT_EQ(add(leap, orbek_time_addmonth, 1), "null");

    // Onto another leap-second day the second stays 60.
    Time june = utc(1972, 6, 30, 23, 59, 60);
    EXPECT_EQ(add(june, orbek_time_addday, 184), "1972-12-31T23:59:60");
    EXPECT_EQ(add(june, orbek_time_addhour, 184 * 24), "1972-12-31T23:59:60");
    EXPECT_EQ(add(june, orbek_time_addmonth, 6), "null") << "30 December is no leap-second day";
    Time dec = utc(1972, 12, 31, 23, 59, 60);
    EXPECT_EQ(add(dec, orbek_time_addyear, 1), "1973-12-31T23:59:60");
    EXPECT_EQ(add(dec, orbek_time_addmonth, -6), "1972-06-30T23:59:60") << "31 June is clamped onto a leap-second day";
    EXPECT_EQ(add(dec, orbek_time_addday, -184), "1972-06-30T23:59:60");
}

TEST(TimeAdd, DaysHoursMinutesCarryAndBound) {
    Time t = utc(2020, 2, 28, 23, 30, 15, 9);
    EXPECT_EQ(add(t, orbek_time_addday, 1), "2020-02-29T23:30:15.000000009");
    EXPECT_EQ(add(t, orbek_time_addday, 2), "2020-03-01T23:30:15.000000009");
    EXPECT_EQ(add(t, orbek_time_addday, -59), "2019-12-31T23:30:15.000000009");
    EXPECT_EQ(add(t, orbek_time_addhour, 1), "2020-02-29T00:30:15.000000009");
    EXPECT_EQ(add(t, orbek_time_addhour, -24 * 366 - 1), "2019-02-27T22:30:15.000000009");
    EXPECT_EQ(add(t, orbek_time_addminute, 30), "2020-02-29T00:00:15.000000009");
    EXPECT_EQ(add(t, orbek_time_addminute, -(23 * 60 + 31)), "2020-02-27T23:59:15.000000009");
    EXPECT_EQ(add(t, orbek_time_addminute, 0), "2020-02-28T23:30:15.000000009");

    Time last = utc(9999, 12, 31, 23, 59, 59);
    Time first = utc(1582, 1, 1);
    EXPECT_EQ(add(last, orbek_time_addday, 1), "null");
    EXPECT_EQ(add(last, orbek_time_addhour, 1), "null");
    EXPECT_EQ(add(last, orbek_time_addminute, 1), "null");
    EXPECT_EQ(add(last, orbek_time_addsecond, 1), "null");
    EXPECT_EQ(add(first, orbek_time_addday, -1), "null");
    EXPECT_EQ(add(first, orbek_time_addhour, -1), "null");
    EXPECT_EQ(add(first, orbek_time_addminute, -1), "null");
    EXPECT_EQ(add(first, orbek_time_addsecond, -1), "null");
    EXPECT_EQ(add(first, orbek_time_addday, INT32_MAX), "null");
    EXPECT_EQ(add(last, orbek_time_addday, INT32_MIN), "null");
    EXPECT_EQ(add(last, orbek_time_addday, -3074610), "1582-01-01T23:59:59");
    EXPECT_EQ(add(first, orbek_time_addminute, INT32_MAX), "5665-01-23T02:07:00");
    EXPECT_EQ(orbek_time_addday(nullptr, 1), nullptr);
    EXPECT_EQ(orbek_time_addhour(nullptr, 1), nullptr);
    EXPECT_EQ(orbek_time_addminute(nullptr, 1), nullptr);
    EXPECT_EQ(orbek_time_addsecond(nullptr, 1), nullptr);
}

TEST(TimeAdd, SecondsAcrossTheLastLeapSecond) {
    Time t = utc(2016, 12, 31, 23, 59, 59);
    EXPECT_EQ(add(t, orbek_time_addsecond, 1), "2016-12-31T23:59:60");
    EXPECT_EQ(add(t, orbek_time_addsecond, 2), "2017-01-01T00:00:00");
    Time next = utc(2017, 1, 1);
    EXPECT_EQ(add(next, orbek_time_addsecond, -1), "2016-12-31T23:59:60");
    EXPECT_EQ(add(next, orbek_time_addsecond, -2), "2016-12-31T23:59:59");
    Time half = utc(2016, 12, 31, 23, 59, 30);
    EXPECT_EQ(add(half, orbek_time_addsecond, 60), "2017-01-01T00:00:29");
    EXPECT_EQ(add(half, orbek_time_addsecond, 0), "2016-12-31T23:59:30");
    Time leap = utc(2016, 12, 31, 23, 59, 60, 42);
    EXPECT_EQ(add(leap, orbek_time_addsecond, 1), "2017-01-01T00:00:00.000000042");
    EXPECT_EQ(add(leap, orbek_time_addsecond, -1), "2016-12-31T23:59:59.000000042");
    EXPECT_EQ(add(leap, orbek_time_addsecond, 61), "2017-01-01T00:01:00.000000042");
    EXPECT_EQ(add(leap, orbek_time_addsecond, -61), "2016-12-31T23:58:59.000000042");
    // The whole 27 leap seconds between 1972 and 2017.
    Time y1972 = utc(1972, 1, 1);
    Time y2017 = utc(2017, 1, 1);
    const int64_t posix_span = 1483228800LL - 63072000LL;
    EXPECT_EQ(add(y1972, orbek_time_addsecond, (int32_t)(posix_span + 27)), "2017-01-01T00:00:00");
    EXPECT_EQ(add(y2017, orbek_time_addsecond, (int32_t)-(posix_span + 27)), "1972-01-01T00:00:00");
    EXPECT_EQ(add(y2017, orbek_time_addsecond, (int32_t)-(posix_span + 26)), "1972-01-01T00:00:01");
}

TEST(TimeDiff, DaysAreCalendarDays) {
    Time a = utc(2020, 1, 2), b = utc(2020, 1, 1, 23, 59, 59);
    EXPECT_EQ(orbek_time_diffdays(a.get(), b.get()), 1);
    EXPECT_EQ(orbek_time_diffdays(b.get(), a.get()), -1);
    Time c = utc(2020, 1, 1, 0, 0, 0), d = utc(2020, 1, 1, 23, 59, 59, 999);
    EXPECT_EQ(orbek_time_diffdays(c.get(), d.get()), 0);
    Time lo = utc(1582, 1, 1), hi = utc(9999, 12, 31);
    EXPECT_EQ(orbek_time_diffdays(hi.get(), lo.get()), 3074610);
    EXPECT_EQ(orbek_time_diffdays(lo.get(), hi.get()), -3074610);
    EXPECT_EQ(orbek_time_diffdays(nullptr, nullptr), 0);
    EXPECT_EQ(orbek_time_diffdays(nullptr, a.get()), INT32_MIN);
    EXPECT_EQ(orbek_time_diffdays(a.get(), nullptr), INT32_MAX);
}

TEST(TimeDiff, SecondsCountLeapSeconds) {
    Time a = utc(2017, 1, 1), b = utc(2016, 12, 31, 23, 59, 59);
    EXPECT_EQ(orbek_time_diffseconds(a.get(), b.get()), 2);
    EXPECT_EQ(orbek_time_diffseconds(b.get(), a.get()), -2);
    Time x = utc(2021, 5, 5, 10, 1, 10, 900), y = utc(2021, 5, 5, 10, 0, 30, 100);
    EXPECT_EQ(orbek_time_diffseconds(x.get(), y.get()), 40);
    Time z = utc(2021, 5, 5, 10, 0, 30, 999);
    EXPECT_EQ(orbek_time_diffseconds(z.get(), y.get()), 0) << "nanoseconds take no part in the count";
    // A leap second at either end is counted by the table too.
    Time leap = utc(2016, 12, 31, 23, 59, 60);
    EXPECT_EQ(orbek_time_diffseconds(leap.get(), b.get()), 2);
    EXPECT_EQ(orbek_time_diffseconds(a.get(), leap.get()), 1);
    Time leap_late = utc(2016, 12, 31, 23, 59, 60, 5);
    EXPECT_EQ(orbek_time_diffseconds(a.get(), leap_late.get()), 0) << "a leap second at 60.5 is behind the entry";
    Time y1970 = utc(1970, 1, 1), y2017 = utc(2017, 1, 1);
    EXPECT_EQ(orbek_time_diffseconds(y2017.get(), y1970.get()), 1483228800LL + 27);
    EXPECT_EQ(orbek_time_diffseconds(nullptr, nullptr), 0);
    EXPECT_EQ(orbek_time_diffseconds(nullptr, a.get()), INT64_MIN);
    EXPECT_EQ(orbek_time_diffseconds(a.get(), nullptr), INT64_MAX);
}

TEST(TimeDiff, DayOfWeek) {
    EXPECT_EQ(orbek_time_getdayofweek(utc(1970, 1, 1).get()), 4);
    EXPECT_EQ(orbek_time_getdayofweek(utc(1969, 12, 27, 23, 59, 59).get()), 6);
    EXPECT_EQ(orbek_time_getdayofweek(utc(2017, 1, 1).get()), 7);
    EXPECT_EQ(orbek_time_getdayofweek(utc(1582, 10, 18).get()), 1);
    EXPECT_EQ(orbek_time_getdayofweek(utc(2016, 12, 31, 23, 59, 60).get()), 6);
    EXPECT_EQ(orbek_time_getdayofweek(nullptr), -1);
}

TEST(TimePosix, SecondsBothWays) {
    EXPECT_EQ(orbek_time_gettime_t(utc(1970, 1, 1).get()), 0);
    EXPECT_EQ(orbek_time_gettime_t(utc(2017, 1, 1).get()), 1483228800);
    EXPECT_EQ(orbek_time_gettime_t(utc(2016, 12, 31, 23, 59, 60).get()), 1483228800);
    EXPECT_EQ(orbek_time_gettime_t(utc(2016, 12, 31, 23, 59, 59).get()), 1483228799);
    EXPECT_EQ(orbek_time_gettime_t(utc(1969, 12, 31, 23, 59, 59, 5).get()), -1);
    EXPECT_EQ(orbek_time_gettime_t(utc(1582, 1, 1).get()), -12244089600LL);
    EXPECT_EQ(orbek_time_gettime_t(utc(9999, 12, 31, 23, 59, 59).get()), 253402300799LL);
    EXPECT_EQ(orbek_time_gettime_t(nullptr), INT64_MIN);

    auto from = [](int64_t s) { return str(Time(orbek_time_newfromtime_t(s))); };
    EXPECT_EQ(from(0), "1970-01-01T00:00:00");
    EXPECT_EQ(from(-1), "1969-12-31T23:59:59");
    EXPECT_EQ(from(1483228799), "2016-12-31T23:59:59");
    EXPECT_EQ(from(1483228800), "2017-01-01T00:00:00");
    EXPECT_EQ(from(78796799), "1972-06-30T23:59:59");
    EXPECT_EQ(from(-12244089600LL), "1582-01-01T00:00:00");
    EXPECT_EQ(from(-12244089601LL), "null");
    EXPECT_EQ(from(253402300799LL), "9999-12-31T23:59:59");
    EXPECT_EQ(from(253402300800LL), "null");
    EXPECT_EQ(from(INT64_MAX), "null");
    EXPECT_EQ(from(INT64_MIN), "null");
    Time t(orbek_time_newfromtime_t(86400));
    EXPECT_EQ(orbek_time_isutctime(t.get()), 1);
}

TEST(TimeClock, NowAgreesWithTheFileTimeClock) {
    const uint64_t us_before = orbek_time_getcurrentus();
    Time now(orbek_time_nowutctime());
    const uint64_t us_after = orbek_time_getcurrentus();
    ASSERT_TRUE(now);
    EXPECT_EQ(orbek_time_isutctime(now.get()), 1);
    EXPECT_EQ(orbek_time_getns(now.get()) % 1000000, 0) << "millisecond resolution";
    EXPECT_GE(orbek_time_getyear(now.get()), 2020);
    EXPECT_LE(us_before, us_after);
    // The calendar reading lies within the two microsecond readings (to the
    // millisecond).
    const int64_t now_us = orbek_time_gettime_t(now.get()) * 1000000 + orbek_time_getns(now.get()) / 1000;
    EXPECT_GE(now_us, (int64_t)us_before - 1000);
    EXPECT_LE(now_us, (int64_t)us_after + 1000);
}

TEST(TimeAlloc, ConstructorsAndAddersReportFailureAndLeakNothing) {
    Time base = utc(2016, 12, 31, 23, 59, 30);
    ASSERT_TRUE(base);
    auto sweep_value = [](std::function<orbek_time *()> make) {
        testalloc::sweep([&] {
            orbek_time *t = make();
            if (!t) return false;
            bool ok = orbek_time_isutctime(t) == 1;
            orbek_time_free(t);
            return ok;
        });
    };
    const orbek_time *b = base.get();
    sweep_value([] { return orbek_time_newutctime(2020, 12, 31, 24, 0, 0, 0); });
    sweep_value([] { return orbek_time_newfromtime_t(1483228800); });
    sweep_value([] { return orbek_time_nowutctime(); });
    sweep_value([b] { return orbek_time_dup(b); });
    sweep_value([b] { return orbek_time_addyear(b, 3); });
    sweep_value([b] { return orbek_time_addmonth(b, -7); });
    sweep_value([b] { return orbek_time_addday(b, 1000000); });
    sweep_value([b] { return orbek_time_addhour(b, 25); });
    sweep_value([b] { return orbek_time_addminute(b, -61); });
    sweep_value([b] { return orbek_time_addsecond(b, 3600); });
    EXPECT_STREQ(testalloc::last_file(), "ORBEK_Time");
}
