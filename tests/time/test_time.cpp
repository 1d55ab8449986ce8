// Time values: construction rules, the adders' special cases and bounds,
// nulls, the clocks, allocation failure.  Sweeps: test_time_model.cpp.
#include <gtest/gtest.h>
#include <limits.h>
#include <string.h>

#include "support/test_alloc.h"
#include "tests/time/time_test_util.h"
#include "time/time_internal.h"

using namespace timetest;

TEST(TimeNew, FieldRangesHour24AndSecondSixty) {
    for (const auto &d : kLeapDays) {
        ASSERT_TRUE(utc(d[0], d[1], d[2], 23, 59, 60)) << d[0] << "-" << d[1] << "-" << d[2];
        EXPECT_FALSE(utc(d[0], d[1], d[2], 23, 58, 60) || utc(d[0], d[1], d[2], 22, 59, 60) ||
                     utc(d[0], d[1], d[2] - 1, 23, 59, 60));
    }
    EXPECT_FALSE(utc(2017, 12, 31, 23, 59, 60) || utc(1980, 12, 31, 23, 59, 60));
    for (const auto &b : kBadFields) EXPECT_FALSE(utc(b[0], b[1], b[2], b[3], b[4], b[5], b[6])) << b[0] << " " << b[1];
    EXPECT_EQ(str(utc(2020, 12, 31, 24, 0, 0, 5)), "2021-01-01T00:00:00.000000005Z");
    EXPECT_EQ(str(utc(2020, 2, 28, 24)), "2020-02-29T00:00:00Z");
    EXPECT_TRUE(utc(2000, 2, 29) && utc(1582, 1, 1) && utc(9999, 12, 31, 23, 59, 59, 999999999));
}

TEST(TimeNew, LayoutPredicatesOrderAndNulls) {
    Time t = utc(2019, 7, 4, 13, 14, 15, 16);
    ASSERT_TRUE(t && t->utc == 1 && t->dst == 0 && t->zone == 414);
    EXPECT_EQ(orbek_time_isutctime(t.get()) * 10 + orbek_time_isdst(t.get()) * 2 + orbek_time_isleapyear(t.get()), 10);
    // A wall-clock reading as the zone conversions build it: the field-only
    // operations read it as stored, and a copy is exact.
    orbek_time local{2020, 2, 29, 2, 30, 0, 7, 0, 1, 100};
    EXPECT_EQ(orbek_time_isutctime(&local) * 10 + orbek_time_isdst(&local) * 2 + orbek_time_isleapyear(&local), 3);
    EXPECT_EQ(str(&local), "2020-02-29T02:30:00.000000007 dst");
    Time d(orbek_time_dup(&local));
    EXPECT_TRUE(d && memcmp(d.get(), &local, sizeof local) == 0);
    // Order by fields down to the nanosecond; days count calendar dates;
    // seconds ignore the nanoseconds.
    Time a = utc(2020, 1, 1, 23, 59, 59, 1), b = utc(2020, 1, 1, 23, 59, 59, 2), c = utc(2020, 1, 2);
    EXPECT_EQ(orbek_time_cmp(a.get(), b.get()) * 10 + orbek_time_cmp(b.get(), a.get()), -9);
    EXPECT_EQ(orbek_time_cmp(utc(2016, 12, 31, 23, 59, 59, 999999999).get(), utc(2016, 12, 31, 23, 59, 60).get()), -1);
    EXPECT_EQ(orbek_time_diffdays(c.get(), a.get()) * 10 + orbek_time_diffdays(a.get(), c.get()), 9);
    EXPECT_EQ(orbek_time_diffseconds(utc(2021, 5, 5, 10, 1, 10, 900).get(), utc(2021, 5, 5, 10, 0, 30, 100).get()), 40);

    for (auto get : {orbek_time_getyear, orbek_time_getmonth, orbek_time_getday, orbek_time_gethour,
                     orbek_time_getminute, orbek_time_getsecond, orbek_time_getns, orbek_time_getdayofweek})
        EXPECT_EQ(get(nullptr), -1);
    EXPECT_EQ(orbek_time_isutctime(nullptr) | orbek_time_isdst(nullptr) | orbek_time_isleapyear(nullptr) |
                  orbek_time_isleapsecond(nullptr) | orbek_time_cmp(nullptr, nullptr) | orbek_time_cmp(t.get(), t.get()),
              0);
    EXPECT_TRUE(orbek_time_dup(nullptr) == nullptr && orbek_time_gettime_t(nullptr) == INT64_MIN);
    orbek_time_free(nullptr);
    EXPECT_EQ(orbek_time_cmp(nullptr, t.get()) * 10 + orbek_time_cmp(t.get(), nullptr), -9);
    EXPECT_TRUE(orbek_time_diffdays(nullptr, nullptr) == 0 && orbek_time_diffdays(nullptr, t.get()) == INT32_MIN &&
                orbek_time_diffdays(t.get(), nullptr) == INT32_MAX);
    EXPECT_TRUE(orbek_time_diffseconds(nullptr, nullptr) == 0 && orbek_time_diffseconds(t.get(), nullptr) == INT64_MAX &&
                orbek_time_diffseconds(nullptr, t.get()) == INT64_MIN);
}

TEST(TimeAdd, SpecialCasesAndBounds) {
    using Adder = orbek_time *(*)(const orbek_time *, int32_t);
    const Adder Y = orbek_time_addyear, Mo = orbek_time_addmonth, D = orbek_time_addday, H = orbek_time_addhour,
                Mi = orbek_time_addminute, S = orbek_time_addsecond;
    const struct { int f[7]; Adder add; int32_t n; const char *want; } rows[] = {
        // Years and months keep the day where it exists, else clamp it.
        {{2020, 2, 29, 10}, Y, 1, "2021-03-01T10:00:00Z"}, {{2020, 2, 29, 10}, Y, -120, "1900-03-01T10:00:00Z"},
        {{2020, 2, 29, 10}, Y, 4, "2024-02-29T10:00:00Z"}, {{2020, 1, 31}, Mo, 1, "2020-02-29T00:00:00Z"},
        {{2021, 3, 31}, Mo, -1, "2021-02-28T00:00:00Z"},   {{2021, 3, 31}, Mo, -25, "2019-02-28T00:00:00Z"},
        {{2020, 11, 30}, Mo, 3, "2021-02-28T00:00:00Z"},   {{2020, 12, 31}, Mo, 12, "2021-12-31T00:00:00Z"},
        {{2021, 1, 15, 8, 9, 10, 11}, Mo, -1, "2020-12-15T08:09:10.000000011Z"},
        {{9998, 6, 1}, Y, 2, "null"}, {{1582, 1, 31}, Mo, -1, "null"},
        {{2000, 6, 1}, Y, INT32_MIN, "null"}, {{2000, 6, 1}, Mo, INT32_MAX, "null"},
        // From a leap second: the day and hour adders give second 59 off a
        // leap-second day, the minute adder carries the 60 along, years and
        // months fail unless they land on another leap second.
        {{2016, 12, 31, 23, 59, 60, 3}, D, 1, "2017-01-01T23:59:59.000000003Z"},
        {{2016, 12, 31, 23, 59, 60, 3}, D, 0, "2016-12-31T23:59:60.000000003Z"},
        {{2016, 12, 31, 23, 59, 60, 3}, H, -1, "2016-12-31T22:59:59.000000003Z"},
        {{2016, 12, 31, 23, 59, 60, 3}, Mi, 1, "2017-01-01T00:00:60.000000003Z"},
        {{2016, 12, 31, 23, 59, 60, 3}, Y, 1, "null"}, {{2016, 12, 31, 23, 59, 60, 3}, Mo, 12, "null"},
        {{1972, 6, 30, 23, 59, 60}, D, 184, "1972-12-31T23:59:60Z"},
        {{1972, 6, 30, 23, 59, 60}, H, 184 * 24, "1972-12-31T23:59:60Z"},
        {{1972, 6, 30, 23, 59, 60}, Mo, 6, "null"},  // 30 December is no leap-second day
        {{1972, 12, 31, 23, 59, 60}, Y, 1, "1973-12-31T23:59:60Z"},
        {{1972, 12, 31, 23, 59, 60}, Mo, -6, "1972-06-30T23:59:60Z"},  // 31 June clamps onto one
        // The ends of the range.
        {{1582, 1, 1}, D, INT32_MAX, "null"}, {{1582, 1, 1}, Mi, INT32_MAX, "5665-01-23T02:07:00Z"},
        {{9999, 12, 31, 23, 59, 59}, D, -3074610, "1582-01-01T23:59:59Z"},
    };
    for (const auto &r : rows)
        EXPECT_EQ(str(Time(r.add(utc(r.f[0], r.f[1], r.f[2], r.f[3], r.f[4], r.f[5], r.f[6]).get(), r.n))), r.want)
            << r.f[0] << "-" << r.f[1] << "-" << r.f[2] << " " << r.f[3] << ":" << r.f[5] << " + " << r.n;
    Time last = utc(9999, 12, 31, 23, 59, 59), first = utc(1582, 1, 1);
    for (Adder add : {D, H, Mi, S})
        EXPECT_EQ(str(Time(add(last.get(), 1))) + str(Time(add(first.get(), -1))) + str(Time(add(first.get(), 0))),
                  "nullnull1582-01-01T00:00:00Z");
    for (Adder add : {Y, Mo, D, H, Mi, S}) EXPECT_EQ(add(nullptr, 1), nullptr);
}

TEST(TimePosixAndClock, RangeEndsAndNow) {
    auto from = [](int64_t s) { return str(Time(orbek_time_newfromtime_t(s))); };
    EXPECT_EQ(from(-12244089600LL), "1582-01-01T00:00:00Z");
    EXPECT_EQ(from(253402300799LL), "9999-12-31T23:59:59Z");
    for (int64_t s : {(int64_t)-12244089601LL, (int64_t)253402300800LL, INT64_MAX, INT64_MIN})
        EXPECT_EQ(from(s), "null") << s;
    // The calendar clock (milliseconds) lies between two readings of the
    // microsecond clock, to the millisecond.
    const uint64_t us_before = orbek_time_getcurrentus();
    Time now(orbek_time_nowutctime());
    const uint64_t us_after = orbek_time_getcurrentus();
    ASSERT_TRUE(now && orbek_time_isutctime(now.get()));
    EXPECT_EQ(orbek_time_getns(now.get()) % 1000000, 0);
    const int64_t now_us = orbek_time_gettime_t(now.get()) * 1000000 + orbek_time_getns(now.get()) / 1000;
    EXPECT_TRUE(now_us >= (int64_t)us_before - 1000 && now_us <= (int64_t)us_after + 1000) << now_us;
}

TEST(TimeAlloc, ConstructorsAndAddersReportFailureAndLeakNothing) {
    Time base = utc(2016, 12, 31, 23, 59, 30);
    const orbek_time *b = base.get();
    const std::function<orbek_time *()> makers[] = {
        [] { return orbek_time_newutctime(2020, 12, 31, 24, 0, 0, 0); }, [] { return orbek_time_newfromtime_t(0); },
        [] { return orbek_time_nowutctime(); },       [b] { return orbek_time_dup(b); },
        [b] { return orbek_time_addyear(b, 3); },     [b] { return orbek_time_addmonth(b, -7); },
        [b] { return orbek_time_addday(b, 1000); },   [b] { return orbek_time_addhour(b, 25); },
        [b] { return orbek_time_addminute(b, -61); }, [b] { return orbek_time_addsecond(b, 3600); }};
    for (const auto &make : makers) {
        testalloc::sweep([&] { return Time(make()) != nullptr; });
        EXPECT_STREQ(testalloc::last_file(), "ORBEK_Time");
    }
}
