// Time arithmetic against an independent model: every date from 1582 to
// 9999 enumerated one day after the other, and the leap seconds laid out as
// one more reading in their minute.  (fuzz/time.cpp checks the second adder
// over long spans against elapsed time.)
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "tests/time/time_test_util.h"
#include "time/time_internal.h"

using namespace timetest;

namespace {

struct Date {
    int y, m, d;
    bool operator<(const Date &o) const { return std::tie(y, m, d) < std::tie(o.y, o.m, o.d); }
};

int model_month_length(int y, int m) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kDays[m - 1] + (m == 2 && (y % 400 == 0 || (y % 100 != 0 && y % 4 == 0)));
}

// Every day from 1582-01-01 to 9999-12-31, in order.
const std::vector<Date> kDays = [] {
    std::vector<Date> v;
    for (Date x{1582, 1, 1}; x.y < 10000;) {
        v.push_back(x);
        if (++x.d > model_month_length(x.y, x.m) && (x.d = 1, ++x.m > 12)) x.m = 1, ++x.y;
    }
    return v;
}();
const int64_t kCount = (int64_t)kDays.size();

int64_t index_of(int y, int m, int d) {
    return std::lower_bound(kDays.begin(), kDays.end(), Date{y, m, d}) - kDays.begin();
}

const int64_t kEpoch = index_of(1970, 1, 1);
const int64_t kMonday = index_of(1582, 10, 18);  // a Monday

int weekday(int64_t i) { return (int)(((i - kMonday) % 7 + 7) % 7) + 1; }
// A reading on the UTC time line: day index and second of the day, 86400
// standing for a leap second (23:59:60).
struct Reading {
    int64_t day;
    int32_t sec;
    bool leap() const { return sec == 86400; }
    int h() const { return leap() ? 23 : sec / 3600; }
    int mi() const { return leap() ? 59 : sec / 60 % 60; }
    int s() const { return leap() ? 60 : sec % 60; }
    std::string str(int ns) const {
        if (day < 0 || day >= kCount) return "null";
        const Date &x = kDays[(size_t)day];
        return fmt(x.y, x.m, x.d, h(), mi(), s(), ns, -1);
    }
    // The reading n seconds, leap seconds not counted, after 1582-01-01.
    static Reading at(int64_t n) {
        const int64_t day = n / 86400 - (n % 86400 < 0);
        return {day, (int32_t)(n - day * 86400)};
    }
    Time make(int ns) const {
        const Date &x = kDays[(size_t)day];
        return utc(x.y, x.m, x.d, h(), mi(), s(), ns);
    }
};

}  // namespace

TEST(TimeModel, DayNumbersAgreeWithCountingEveryDay) {
    ASSERT_EQ(kCount, 3074611);
    for (int64_t i = 0; i < kCount; ++i) {
        const int64_t z = i - kEpoch;
        const Date &x = kDays[(size_t)i];
        ASSERT_EQ(orbek::cal::days_from_civil(x.y, x.m, x.d), z) << x.y << "-" << x.m << "-" << x.d;
        const orbek::cal::Civil c = orbek::cal::civil_from_days(z);
        ASSERT_TRUE(c.year == x.y && c.month == x.m && c.day == x.d) << z;
        ASSERT_EQ(orbek::cal::weekday_from_days(z), weekday(i)) << z;
        ASSERT_EQ(orbek::cal::month_length(x.y, x.m), model_month_length(x.y, x.m));
    }
}

TEST(TimeModel, PublicOperationsOverTheWholeRange) {
    Time epoch = utc(1970, 1, 1);
    std::mt19937 rng(6);
    for (int64_t i = 0; i < kCount; i += 13) {
        const int h = (int)(i % 24), mi = (int)(i % 60), s = (int)(i * 7 % 60), ns = (int)(i % 1000);
        const Reading r{i, h * 3600 + mi * 60 + s};
        Time t = r.make(ns);
        ASSERT_TRUE(t) << r.str(ns);
        ASSERT_EQ(orbek_time_diffdays(t.get(), epoch.get()), i - kEpoch);
        ASSERT_EQ(orbek_time_diffdays(epoch.get(), t.get()), kEpoch - i);
        ASSERT_EQ(orbek_time_getdayofweek(t.get()), weekday(i));
        const int64_t posix = (i - kEpoch) * 86400 + r.sec;
        ASSERT_EQ(orbek_time_gettime_t(t.get()), posix);
        ASSERT_EQ(str(Time(orbek_time_newfromtime_t(posix))), r.str(0));

        // Days, hours and minutes by random amounts, near and far.
        const int64_t n = i * 86400 + r.sec;
        const int32_t kd = (int32_t)(rng() % 2 ? rng() % 61 : rng() % 3074611) * (rng() % 2 ? 1 : -1);
        ASSERT_EQ(str(Time(orbek_time_addday(t.get(), kd))), Reading::at(n + kd * 86400LL).str(ns)) << kd;
        const int32_t kh = (int32_t)(rng() % 2000001) - 1000000, km = (int32_t)rng();
        ASSERT_EQ(str(Time(orbek_time_addhour(t.get(), kh))), Reading::at(n + kh * 3600LL).str(ns)) << kh;
        ASSERT_EQ(str(Time(orbek_time_addminute(t.get(), km))), Reading::at(n + km * 60LL).str(ns)) << km;
    }
}

TEST(TimeModel, SecondsAroundEveryLeapSecond) {
    static const int kSteps[] = {-121, -120, -61, -60, -59, -2, -1, 1, 2, 59, 60, 61, 120, 121};
    for (const auto &ld : kLeapDays) {
        const int64_t day = index_of(ld[0], ld[1], ld[2]);
        // 23:57:00 on the leap-second day to 00:02:59 the day after.
        std::vector<Reading> seq;
        for (int32_t s = 86400 - 180; s <= 86400; ++s) seq.push_back({day, s});
        for (int32_t s = 0; s < 180; ++s) seq.push_back({day + 1, s});
        for (int ns : {0, 5}) {
            for (size_t i = 0; i < seq.size(); ++i) {
                Time t = seq[i].make(ns);
                ASSERT_TRUE(t) << seq[i].str(ns);
                ASSERT_EQ(orbek_time_isleapsecond(t.get()), seq[i].leap() ? 1 : 0);
                // POSIX seconds skip the leap second: it reads as the next.
                ASSERT_EQ(orbek_time_gettime_t(t.get()), (seq[i].day - kEpoch) * 86400 + seq[i].sec) << seq[i].str(ns);
                for (int step : kSteps) {
                    const int64_t j = (int64_t)i + step;
                    if (j < 0 || j >= (int64_t)seq.size()) continue;
                    const Reading &to = seq[(size_t)j];
                    ASSERT_EQ(str(Time(orbek_time_addsecond(t.get(), step))), to.str(ns)) << seq[i].str(ns) << step;
                    // The difference counts elapsed seconds, plus one for a
                    // leap second at the later end, minus one for a leap
                    // second at the earlier end that lies past its entry.
                    const Reading &lo = step > 0 ? seq[i] : to, &hi = step > 0 ? to : seq[i];
                    const int64_t mag = (step > 0 ? step : -step) + hi.leap() - (lo.leap() && ns > 0);
                    ASSERT_EQ(orbek_time_diffseconds(to.make(ns).get(), t.get()), step > 0 ? mag : -mag)
                        << to.str(ns) << " - " << seq[i].str(ns);
                }
            }
        }
    }
}
