// Time arithmetic against an independent model: every date from 1582 to
// 9999 enumerated one day after the other, and the leap seconds laid out as
// one more reading in their minute.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "tests/time/time_test_util.h"
#include "time/time_internal.h"

using timetest::kLeapDays;
using timetest::str;
using timetest::Time;

namespace {

struct Date {
    int16_t y;
    int8_t m, d;
};

int model_month_length(int y, int m) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = y % 400 == 0 || (y % 100 != 0 && y % 4 == 0);
    return kDays[m - 1] + (m == 2 && leap);
}

// Every day from 1582-01-01 to 9999-12-31, in order.
const std::vector<Date> &days() {
    static const std::vector<Date> all = [] {
        std::vector<Date> v;
        v.reserve(3074611);
        Date x{1582, 1, 1};
        while (x.y < 10000) {
            v.push_back(x);
            if (++x.d > model_month_length(x.y, x.m)) {
                x.d = 1;
                if (++x.m > 12) {
                    x.m = 1;
                    ++x.y;
                }
            }
        }
        return v;
    }();
    return all;
}

int64_t index_of(int y, int m, int d) {
    const auto &v = days();
    auto before = [](const Date &x, const Date &k) { return std::tie(x.y, x.m, x.d) < std::tie(k.y, k.m, k.d); };
    return std::lower_bound(v.begin(), v.end(), Date{(int16_t)y, (int8_t)m, (int8_t)d}, before) - v.begin();
}

const int64_t kEpoch = index_of(1970, 1, 1);
// 1582-10-18 was a Monday.
const int64_t kMonday = index_of(1582, 10, 18);

int weekday(int64_t i) { return (int)(((i - kMonday) % 7 + 7) % 7) + 1; }

Time at(int64_t i, int h, int mi, int s, int ns) {
    const Date &x = days()[(size_t)i];
    return Time(orbek_time_newutctime(x.y, x.m, x.d, h, mi, s, ns));
}

std::string date_str(int64_t i, int h, int mi, int s, int ns) {
    if (i < 0 || i >= (int64_t)days().size()) return "null";
    const Date &x = days()[(size_t)i];
    char buf[64];
    snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", x.y, x.m, x.d, h, mi, s);
    std::string r = buf;
    if (ns) {
        snprintf(buf, sizeof buf, ".%09d", ns);
        r += buf;
    }
    return r;
}

int64_t floordiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// A reading on the UTC time line: day index and second of the day, 86400
// standing for a leap second (23:59:60).
struct Reading {
    int64_t day;
    int32_t sec;
    bool leap() const { return sec == 86400; }
    std::string s(int ns) const {
        return leap() ? date_str(day, 23, 59, 60, ns) : date_str(day, sec / 3600, sec / 60 % 60, sec % 60, ns);
    }
    Time make(int ns) const {
        return leap() ? at(day, 23, 59, 60, ns) : at(day, sec / 3600, sec / 60 % 60, sec % 60, ns);
    }
};

// Seconds elapsed on the UTC time line since 1970-01-01T00:00:00: every
// earlier leap second counts once.
int64_t elapsed(const Reading &r) {
    int64_t n = (r.day - kEpoch) * 86400 + r.sec;
    for (const auto &d : kLeapDays) {
        const int64_t ld = index_of(d[0], d[1], d[2]);
        if (ld < r.day) ++n;
    }
    return n;
}

}  // namespace

TEST(TimeModel, DayNumbersAgreeWithCountingEveryDay) {
    const auto &v = days();
    ASSERT_EQ(v.size(), 3074611u);
    for (size_t i = 0; i < v.size(); ++i) {
        const int64_t z = (int64_t)i - kEpoch;
        const Date &x = v[i];
        ASSERT_EQ(orbek::cal::days_from_civil(x.y, x.m, x.d), z) << x.y << "-" << (int)x.m << "-" << (int)x.d;
        const orbek::cal::Civil c = orbek::cal::civil_from_days(z);
        ASSERT_TRUE(c.year == x.y && c.month == x.m && c.day == x.d) << z;
        ASSERT_EQ(orbek::cal::weekday_from_days(z), weekday((int64_t)i)) << z;
        ASSERT_EQ(orbek::cal::month_length(x.y, x.m), model_month_length(x.y, x.m));
    }
}

TEST(TimeModel, PublicOperationsOverTheWholeRange) {
    const auto &v = days();
    const int64_t n = (int64_t)v.size();
    Time epoch = at(kEpoch, 0, 0, 0, 0);
    std::mt19937 rng(6);
    for (int64_t i = 0; i < n; i += 13) {
        const int h = (int)(i % 24), mi = (int)(i % 60), s = (int)(i * 7 % 60), ns = (int)(i % 1000);
        Time t = at(i, h, mi, s, ns);
        ASSERT_TRUE(t) << date_str(i, h, mi, s, ns);
        ASSERT_EQ(orbek_time_diffdays(t.get(), epoch.get()), i - kEpoch);
        ASSERT_EQ(orbek_time_diffdays(epoch.get(), t.get()), kEpoch - i);
        ASSERT_EQ(orbek_time_getdayofweek(t.get()), weekday(i));
        const int64_t posix = (i - kEpoch) * 86400 + h * 3600 + mi * 60 + s;
        ASSERT_EQ(orbek_time_gettime_t(t.get()), posix);
        ASSERT_EQ(str(Time(orbek_time_newfromtime_t(posix))), date_str(i, h, mi, s, 0));

        // Days, hours and minutes by random amounts, near and far.
        const int32_t kd = (int32_t)(rng() % 2 ? rng() % 61 : rng() % 3074611) * (rng() % 2 ? 1 : -1);
        ASSERT_EQ(str(Time(orbek_time_addday(t.get(), kd))), date_str(i + kd, h, mi, s, ns)) << kd;
        const int32_t kh = (int32_t)(rng() % 2000001) - 1000000;
        const int64_t hours = i * 24 + h + kh;
        ASSERT_EQ(str(Time(orbek_time_addhour(t.get(), kh))),
                  date_str(floordiv(hours, 24), (int)(hours - floordiv(hours, 24) * 24), mi, s, ns))
            << kh;
        const int32_t km = (int32_t)rng();
        const int64_t mins = (i * 24 + h) * 60 + mi + km;
        const int64_t md = floordiv(mins, 1440), mrem = mins - md * 1440;
        ASSERT_EQ(str(Time(orbek_time_addminute(t.get(), km))), date_str(md, (int)(mrem / 60), (int)(mrem % 60), s, ns))
            << km;
    }
}

TEST(TimeModel, SecondsAroundEveryLeapSecond) {
    for (const auto &ld : kLeapDays) {
        const int64_t day = index_of(ld[0], ld[1], ld[2]);
        // 23:57:00 on the leap-second day to 00:02:59 the day after.
        std::vector<Reading> seq;
        for (int32_t s = 86400 - 180; s < 86400; ++s) seq.push_back({day, s});
        const size_t leap_at = seq.size();
        seq.push_back({day, 86400});
        for (int32_t s = 0; s < 180; ++s) seq.push_back({day + 1, s});
        ASSERT_EQ(elapsed(seq[leap_at]) + 1, elapsed(seq[leap_at + 1]));

        static const int kSteps[] = {-121, -120, -61, -60, -59, -2, -1, 1, 2, 59, 60, 61, 120, 121};
        for (int ns : {0, 5}) {
            for (size_t i = 0; i < seq.size(); ++i) {
                Time t = seq[i].make(ns);
                ASSERT_TRUE(t) << seq[i].s(ns);
                ASSERT_EQ(orbek_time_isleapsecond(t.get()), seq[i].leap() ? 1 : 0);
                // POSIX seconds skip the leap second: it reads as the next.
                const int64_t posix = (seq[i].day - kEpoch) * 86400 + seq[i].sec;
                ASSERT_EQ(orbek_time_gettime_t(t.get()), posix) << seq[i].s(ns);
                for (int step : kSteps) {
                    const int64_t j = (int64_t)i + step;
                    if (j < 0 || j >= (int64_t)seq.size()) continue;
                    ASSERT_EQ(str(Time(orbek_time_addsecond(t.get(), step))), seq[(size_t)j].s(ns))
                        << seq[i].s(ns) << " + " << step;
                    // The difference counts elapsed seconds, plus one for a
                    // leap second at the later end, minus one for a leap
                    // second at the earlier end that lies past its entry.
                    const Reading &lo = step > 0 ? seq[i] : seq[(size_t)j];
                    const Reading &hi = step > 0 ? seq[(size_t)j] : seq[i];
                    const int64_t mag = (step > 0 ? step : -step) + hi.leap() - (lo.leap() && ns > 0);
                    Time u = seq[(size_t)j].make(ns);
                    ASSERT_EQ(orbek_time_diffseconds(u.get(), t.get()), step > 0 ? mag : -mag)
                        << seq[(size_t)j].s(ns) << " - " << seq[i].s(ns);
                }
            }
        }
    }
}

TEST(TimeModel, SecondsOverLongSpans) {
    std::mt19937 rng(666);
    const int64_t first = index_of(1940, 1, 1), span = index_of(2045, 1, 1) - first;
    auto pick = [&]() -> Reading {
        if (rng() % 8 == 0) {
            const auto &d = kLeapDays[rng() % 27];
            return {index_of(d[0], d[1], d[2]), 86400};
        }
        return {first + (int64_t)(rng() % span), (int32_t)(rng() % 86400)};
    };
    for (int k = 0; k < 3000; ++k) {
        const Reading a = pick(), b = pick();
        const int64_t n = elapsed(b) - elapsed(a);
        if (n < INT32_MIN || n > INT32_MAX) continue;
        Time ta = a.make(17), tb = b.make(17);
        ASSERT_EQ(str(Time(orbek_time_addsecond(ta.get(), (int32_t)n))), b.s(17)) << a.s(17) << " + " << n;
        ASSERT_EQ(str(Time(orbek_time_addsecond(tb.get(), (int32_t)-n))), a.s(17)) << b.s(17) << " - " << n;
        if (!a.leap() && !b.leap()) {
            ASSERT_EQ(orbek_time_diffseconds(tb.get(), ta.get()), n);
        }
    }
}
