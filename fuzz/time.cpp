// Builds UTC values from arbitrary fields and applies the adders with
// arbitrary amounts, checking every result against the rules a caller relies
// on:
//   - a value exists only with fields in range, second 60 only at a leap
//     second;
//   - the second adder moves the instant by exactly n elapsed seconds (leap
//     seconds included) and n back returns the start;
//   - the day and minute adders move POSIX seconds by whole days and
//     minutes;
//   - POSIX seconds come back unchanged through newfromtime_t.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "orbek_util.h"

namespace {

[[noreturn]] void fail(const char *what) {
    fprintf(stderr, "mismatch: %s\n", what);
    abort();
}

const int kLeapDays[27][3] = {
    {1972, 6, 30},  {1972, 12, 31}, {1973, 12, 31}, {1974, 12, 31}, {1975, 12, 31}, {1976, 12, 31},
    {1977, 12, 31}, {1978, 12, 31}, {1979, 12, 31}, {1981, 6, 30},  {1982, 6, 30},  {1983, 6, 30},
    {1985, 6, 30},  {1987, 12, 31}, {1989, 12, 31}, {1990, 12, 31}, {1992, 6, 30},  {1993, 6, 30},
    {1994, 6, 30},  {1995, 12, 31}, {1997, 6, 30},  {1998, 12, 31}, {2005, 12, 31}, {2008, 12, 31},
    {2012, 6, 30},  {2015, 6, 30},  {2016, 12, 31}};

// Elapsed seconds on the UTC time line since 1970: POSIX seconds (a leap
// second reads as the second after it, so step it back one) plus every leap
// second at or before the value.
int64_t elapsed(const orbek_time *t) {
    int64_t n = orbek_time_gettime_t(t) - orbek_time_isleapsecond(t);
    for (const auto &d : kLeapDays) {
        orbek_time *x = orbek_time_newutctime(d[0], d[1], d[2], 23, 59, 60, 0);
        if (!x) fail("leap second refused");
        if (orbek_time_cmp(x, t) <= 0) ++n;
        orbek_time_free(x);
    }
    return n;
}

bool leap_day(int y, int m, int d) {
    for (const auto &l : kLeapDays)
        if (l[0] == y && l[1] == m && l[2] == d) return true;
    return false;
}

// A second of 60 off a leap second is allowed only where the minute adder
// carried one along.
void check_valid(const orbek_time *t, bool carried_sixty = false) {
    const int y = orbek_time_getyear(t), mo = orbek_time_getmonth(t), d = orbek_time_getday(t);
    const int h = orbek_time_gethour(t), mi = orbek_time_getminute(t), s = orbek_time_getsecond(t);
    static const int kLen[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int len = kLen[(mo - 1) % 12] + (mo == 2 && orbek_time_isleapyear(t));
    if (y < 1582 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > len || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        s < 0 || s > 60 || orbek_time_getns(t) < 0 || orbek_time_getns(t) > 999999999)
        fail("field out of range");
    if (s == 60 && !carried_sixty && !(h == 23 && mi == 59 && leap_day(y, mo, d))) fail("second 60 off a leap second");
    if (!orbek_time_isutctime(t)) fail("not UTC");
}

int32_t take32(const uint8_t *&p, size_t &n) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | (n ? (--n, *p++) : 0);
    return (int32_t)v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const uint8_t *p = data;
    size_t n = size;
    // Fields near their valid ranges, so that most inputs build a value.
    const int32_t y = 1570 + (int32_t)((uint32_t)take32(p, n) % 8450);
    const int32_t mo = (int8_t)(n ? (--n, *p++) : 0) % 14;
    const int32_t d = (int8_t)(n ? (--n, *p++) : 0) % 33;
    const int32_t h = (int8_t)(n ? (--n, *p++) : 0) % 26;
    const int32_t mi = (int8_t)(n ? (--n, *p++) : 0) % 61;
    const int32_t s = (int8_t)(n ? (--n, *p++) : 0) % 62;
    const int32_t ns = take32(p, n) % 1000000001;
    const int32_t amount = take32(p, n);
    const int op = n ? (--n, *p++) % 6 : 0;

    orbek_time *t = orbek_time_newutctime(y, mo, d, h, mi, s, ns);
    if (!t) return 0;
    check_valid(t);
    const int64_t posix = orbek_time_gettime_t(t);
    orbek_time *r = nullptr;
    switch (op) {
        case 0:
        case 1: {
            r = orbek_time_addsecond(t, amount);
            if (!r) break;
            if (elapsed(r) - elapsed(t) != amount) fail("second adder is not elapsed time");
            if (orbek_time_getns(r) != orbek_time_getns(t)) fail("second adder changed nanoseconds");
            orbek_time *back = orbek_time_addsecond(r, (int32_t)(0 - (uint32_t)amount));
            if (amount != INT32_MIN && (!back || orbek_time_cmp(back, t) != 0)) fail("second adder not reversible");
            orbek_time_free(back);
            break;
        }
        case 2:
            r = orbek_time_addday(t, amount);
            if (r && orbek_time_gettime_t(r) - (orbek_time_getsecond(r) - orbek_time_getsecond(t)) !=
                         posix + 86400 * (int64_t)amount)
                fail("day adder");
            break;
        case 3:
            r = orbek_time_addminute(t, amount);
            if (r && (orbek_time_getsecond(r) != orbek_time_getsecond(t) ||
                      orbek_time_gettime_t(r) != posix + 60 * (int64_t)amount))
                fail("minute adder");
            break;
        case 4:
            r = orbek_time_addmonth(t, amount % 200000);
            if (r && orbek_time_getday(r) > orbek_time_getday(t)) fail("month adder grew the day");
            break;
        case 5: {
            orbek_time *u = orbek_time_newfromtime_t(posix);
            if (!u || orbek_time_gettime_t(u) != posix) fail("POSIX seconds round trip");
            if (!orbek_time_isleapsecond(t) && (orbek_time_getsecond(u) != orbek_time_getsecond(t) ||
                                                orbek_time_diffdays(u, t) != 0))
                fail("newfromtime_t reading");
            orbek_time_free(u);
            break;
        }
    }
    if (r) {
        check_valid(r, op == 3);
        orbek_time_free(r);
    }
    orbek_time_free(t);
    return 0;
}
