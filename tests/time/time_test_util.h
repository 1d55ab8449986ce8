// Helpers shared by the time tests and fuzz targets: an owning handle, the
// leap-second days, a readable form of a value, checks of its fields.
#ifndef ORBEK_TESTS_TIME_TEST_UTIL_H
#define ORBEK_TESTS_TIME_TEST_UTIL_H

#include <stdio.h>

#include <memory>
#include <string>

#include "orbek_util.h"

namespace timetest {

struct Free {
    void operator()(orbek_time *t) const { orbek_time_free(t); }
};
using Time = std::unique_ptr<orbek_time, Free>;

// The days whose last minute has a second 60.
const int kLeapDays[27][3] = {
    {1972, 6, 30},  {1972, 12, 31}, {1973, 12, 31}, {1974, 12, 31}, {1975, 12, 31}, {1976, 12, 31},
    {1977, 12, 31}, {1978, 12, 31}, {1979, 12, 31}, {1981, 6, 30},  {1982, 6, 30},  {1983, 6, 30},
    {1985, 6, 30},  {1987, 12, 31}, {1989, 12, 31}, {1990, 12, 31}, {1992, 6, 30},  {1993, 6, 30},
    {1994, 6, 30},  {1995, 12, 31}, {1997, 6, 30},  {1998, 12, 31}, {2005, 12, 31}, {2008, 12, 31},
    {2012, 6, 30},  {2015, 6, 30},  {2016, 12, 31}};

// Fields no value may have (year, month, day, hour, minute, second, ns).
const int kBadFields[][7] = {
    {2020, 12, 31, 24, 1, 0, 0}, {2020, 12, 31, 24, 0, 1, 0}, {9999, 12, 31, 24, 0, 0, 0}, {1900, 2, 29, 0, 0, 0, 0},
    {2100, 2, 29, 0, 0, 0, 0},   {2021, 4, 31, 0, 0, 0, 0},   {1581, 12, 31, 0, 0, 0, 0},  {10000, 1, 1, 0, 0, 0, 0},
    {2020, 0, 1, 0, 0, 0, 0},    {2020, 13, 1, 0, 0, 0, 0},   {2020, 1, 0, 0, 0, 0, 0},    {2020, 1, 1, -1, 0, 0, 0},
    {2020, 1, 1, 25, 0, 0, 0},   {2020, 1, 1, 0, -1, 0, 0},   {2020, 1, 1, 0, 60, 0, 0},   {2020, 1, 1, 0, 0, -1, 0},
    {2020, 1, 1, 0, 0, 61, 0},   {2020, 1, 1, 0, 0, 0, -1},   {2020, 1, 1, 0, 0, 0, 1000000000}};

inline Time utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ns = 0) {
    return Time(orbek_time_newutctime(y, mo, d, h, mi, s, ns));
}
inline Time local(const char *zone, int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int isdst = 0, int ns = 0) {
    return Time(orbek_time_newlocaltimebyzone(zone, y, mo, d, h, mi, s, ns, isdst));
}

// "2016-12-31T23:59:60.000000005Z" (dst < 0), "2021-03-14T03:00:00 dst",
// "... std"; nanoseconds only when non-zero.
inline std::string fmt(int y, int mo, int d, int h, int mi, int s, int ns, int dst) {
    char buf[80];
    int n = snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", y, mo, d, h, mi, s);
    if (ns) n += snprintf(buf + n, sizeof buf - n, ".%09d", ns);
    snprintf(buf + n, sizeof buf - n, "%s", dst < 0 ? "Z" : dst ? " dst" : " std");
    return buf;
}
inline std::string str(const orbek_time *t) {
    return !t ? "null"
              : fmt(orbek_time_getyear(t), orbek_time_getmonth(t), orbek_time_getday(t), orbek_time_gethour(t),
                    orbek_time_getminute(t), orbek_time_getsecond(t), orbek_time_getns(t),
                    orbek_time_isutctime(t) ? -1 : orbek_time_isdst(t));
}
inline std::string str(const Time &t) { return str(t.get()); }

// Whether every field lies in its range (second 60 allowed).
inline bool fields_in_range(const orbek_time *t) {
    const int y = orbek_time_getyear(t), mo = orbek_time_getmonth(t), d = orbek_time_getday(t);
    const int ns = orbek_time_getns(t);
    const int len = mo == 2 ? 28 + (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)) : 30 + ((mo + mo / 8) & 1);
    return y >= 1582 && y <= 9999 && mo >= 1 && mo <= 12 && d >= 1 && d <= len && orbek_time_gethour(t) >= 0 &&
           orbek_time_gethour(t) <= 23 && orbek_time_getminute(t) >= 0 && orbek_time_getminute(t) <= 59 &&
           orbek_time_getsecond(t) >= 0 && orbek_time_getsecond(t) <= 60 && ns >= 0 && ns <= 999999999;
}

}  // namespace timetest

#endif
