// Helpers shared by the time tests: an owning handle, a readable form of a
// value's fields and the leap-second days.
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

inline Time utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ns = 0) {
    return Time(orbek_time_newutctime(y, mo, d, h, mi, s, ns));
}

// "2016-12-31T23:59:60.000000005" (nanoseconds only when non-zero), or
// "null".
inline std::string str(const orbek_time *t) {
    if (!t) return "null";
    char buf[64];
    snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", (int)orbek_time_getyear(t), (int)orbek_time_getmonth(t),
             (int)orbek_time_getday(t), (int)orbek_time_gethour(t), (int)orbek_time_getminute(t),
             (int)orbek_time_getsecond(t));
    std::string s = buf;
    if (orbek_time_getns(t) != 0) {
        snprintf(buf, sizeof buf, ".%09d", (int)orbek_time_getns(t));
        s += buf;
    }
    return s;
}
inline std::string str(const Time &t) { return str(t.get()); }

}  // namespace timetest

#endif
