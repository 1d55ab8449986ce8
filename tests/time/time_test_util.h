// Helpers shared by the time tests: an owning handle and a readable form of
// a value's fields.
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
