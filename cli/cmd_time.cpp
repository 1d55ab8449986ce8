// orbek time: UTC time values from the command line.
//
//   orbek time now                    the system's UTC clock
//   orbek time fromtime_t SECONDS     POSIX seconds as a UTC reading
//   orbek time totime_t TIME          a UTC reading as POSIX seconds
//   orbek time add TIME N UNIT        N years, months, days, hours, minutes or seconds later
//   orbek time diff TIME1 TIME2       seconds and calendar days from TIME2 to TIME1
//   orbek time weekday TIME           1 (Monday) to 7 (Sunday)
//   orbek time now --zone NAME, convert, zones: see cmd_time_zone.cpp
//
// TIME is written YYYY-MM-DDThh:mm:ss[.fraction][Z]; readings print the same
// way, with nine fraction digits when the nanoseconds are not zero.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "cli/commands.h"
#include "orbek_util.h"

namespace {

struct FreeTime {
    void operator()(orbek_time *t) const { orbek_time_free(t); }
};
using Time = std::unique_ptr<orbek_time, FreeTime>;

const char kUsage[] =
    "usage: orbek time now\n"
    "       orbek time fromtime_t SECONDS\n"
    "       orbek time totime_t TIME\n"
    "       orbek time add TIME N years|months|days|hours|minutes|seconds\n"
    "       orbek time diff TIME1 TIME2\n"
    "       orbek time weekday TIME\n"
    "       orbek time now --zone NAME | --local\n"
    "       orbek time convert TIME --zone NAME [--to-utc [--isdst 0|1]]\n"
    "       orbek time zones\n"
    "TIME is YYYY-MM-DDThh:mm:ss[.fraction][Z], in UTC; convert --to-utc takes\n"
    "the wall clock of zone NAME (without Z), and prints wall clocks with their\n"
    "offset from UTC\n";

int usage(FILE *out, int rc) {
    fputs(kUsage, out);
    return rc;
}

bool parse_int64(const char *s, int64_t *out) {
    char *end = nullptr;
    errno = 0;
    long long v = strtoll(s, &end, 10);
    if (errno != 0 || end == s || *end != '\0') return false;
    *out = v;
    return true;
}

// Parses TIME; false (with a message) when it is malformed or not a valid
// UTC reading.
bool parse_time(const char *s, Time *out) {
    int y, mo, d, h, mi, sec, n = 0;
    if (sscanf(s, "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &sec, &n) != 6 || n != 19) {
        cli_error("'%s' is not a time (YYYY-MM-DDThh:mm:ss[.fraction][Z])", s);
        return false;
    }
    const char *p = s + n;
    int32_t ns = 0;
    if (*p == '.') {
        int digits = 0;
        for (++p; *p >= '0' && *p <= '9'; ++p, ++digits)
            if (digits < 9) ns = ns * 10 + (*p - '0');
        if (digits == 0 || digits > 9) {
            cli_error("'%s': the fraction takes 1 to 9 digits", s);
            return false;
        }
        for (; digits < 9; ++digits) ns *= 10;
    }
    if (*p == 'Z') ++p;
    if (*p != '\0') {
        cli_error("'%s' is not a time (YYYY-MM-DDThh:mm:ss[.fraction][Z])", s);
        return false;
    }
    out->reset(orbek_time_newutctime(y, mo, d, h, mi, sec, ns));
    if (!*out) {
        cli_error("'%s' is not a valid UTC time (years 1582 to 9999, second 60 only at a leap second)", s);
        return false;
    }
    return true;
}

void print_time(const orbek_time *t) {
    printf("%04d-%02d-%02dT%02d:%02d:%02d", (int)orbek_time_getyear(t), (int)orbek_time_getmonth(t),
           (int)orbek_time_getday(t), (int)orbek_time_gethour(t), (int)orbek_time_getminute(t),
           (int)orbek_time_getsecond(t));
    if (orbek_time_getns(t) != 0) printf(".%09d", (int)orbek_time_getns(t));
    puts("Z");
}

int print_or_fail(Time t, const char *what) {
    if (!t) {
        cli_error("%s: the result is outside the years 1582 to 9999 or not a valid time", what);
        return 1;
    }
    print_time(t.get());
    return 0;
}

int cmd_add(char **argv) {
    static const struct {
        const char *unit;
        orbek_time *(*add)(const orbek_time *, int32_t);
    } kUnits[] = {{"years", orbek_time_addyear},     {"months", orbek_time_addmonth},
                  {"days", orbek_time_addday},       {"hours", orbek_time_addhour},
                  {"minutes", orbek_time_addminute}, {"seconds", orbek_time_addsecond}};
    int64_t n;
    if (!parse_int64(argv[1], &n) || n < INT32_MIN || n > INT32_MAX) {
        cli_error("'%s' is not a signed 32-bit amount", argv[1]);
        return 2;
    }
    for (const auto &u : kUnits) {
        if (strcmp(argv[2], u.unit) != 0) continue;
        Time t;
        if (!parse_time(argv[0], &t)) return 1;
        return print_or_fail(Time(u.add(t.get(), (int32_t)n)), "add");
    }
    cli_error("unknown unit '%s'", argv[2]);
    return usage(stderr, 2);
}

}  // namespace

int cmd_time(int argc, char **argv) {
    if (argc < 2) return usage(stderr, 2);
    const char *op = argv[1];
    const int nargs = argc - 2;
    char **args = argv + 2;
    if (strcmp(op, "--help") == 0 || strcmp(op, "-h") == 0) return usage(stdout, 0);
    if (strcmp(op, "now") == 0 && nargs == 0) return print_or_fail(Time(orbek_time_nowutctime()), "now");
    if (strcmp(op, "fromtime_t") == 0 && nargs == 1) {
        int64_t s;
        if (!parse_int64(args[0], &s)) {
            cli_error("'%s' is not a number of seconds", args[0]);
            return 2;
        }
        return print_or_fail(Time(orbek_time_newfromtime_t(s)), "fromtime_t");
    }
    if (strcmp(op, "totime_t") == 0 && nargs == 1) {
        Time t;
        if (!parse_time(args[0], &t)) return 1;
        printf("%lld\n", (long long)orbek_time_gettime_t(t.get()));
        return 0;
    }
    if (strcmp(op, "add") == 0 && nargs == 3) return cmd_add(args);
    if (strcmp(op, "diff") == 0 && nargs == 2) {
        Time a, b;
        if (!parse_time(args[0], &a) || !parse_time(args[1], &b)) return 1;
        printf("%lld seconds\n%d days\n", (long long)orbek_time_diffseconds(a.get(), b.get()),
               (int)orbek_time_diffdays(a.get(), b.get()));
        return 0;
    }
    if (strcmp(op, "weekday") == 0 && nargs == 1) {
        Time t;
        if (!parse_time(args[0], &t)) return 1;
        printf("%d\n", (int)orbek_time_getdayofweek(t.get()));
        return 0;
    }
    const int rc = cmd_time_zone(op, nargs, args);
    if (rc >= 0) return rc;
    cli_error("bad use of 'time %s'", op);
    return usage(stderr, 2);
}
