// orbek time, the zone subcommands:
//
//   orbek time now --zone NAME        the system's clock in zone NAME
//   orbek time now --local            the system's clock in the system's zone
//   orbek time convert TIME --zone NAME [--to-utc] [--isdst 0|1]
//                                     a UTC TIME as NAME's wall clock, or
//                                     (--to-utc) NAME's wall-clock TIME as UTC
//   orbek time zones                  every zone name with its index
//
// Times are ISO 8601: YYYY-MM-DDThh:mm:ss[.fraction], with Z for UTC; a wall
// clock prints with its offset from UTC (+08:00), and second 60 appears
// where a leap second falls.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "cli/commands.h"
#include "orbek_util.h"
#include "time/zone_tables.h"

namespace {

struct FreeTime {
    void operator()(orbek_time *t) const { orbek_time_free(t); }
};
using Time = std::unique_ptr<orbek_time, FreeTime>;

struct Reading {
    int y, mo, d, h, mi, s;
    int32_t ns;
    bool utc;  // ends in Z
};

bool parse_reading(const char *s, Reading *r) {
    int n = 0;
    if (sscanf(s, "%4d-%2d-%2dT%2d:%2d:%2d%n", &r->y, &r->mo, &r->d, &r->h, &r->mi, &r->s, &n) != 6 || n != 19) {
        cli_error("'%s' is not a time (YYYY-MM-DDThh:mm:ss[.fraction][Z])", s);
        return false;
    }
    const char *p = s + n;
    r->ns = 0;
    if (*p == '.') {
        int digits = 0;
        for (++p; *p >= '0' && *p <= '9'; ++p, ++digits)
            if (digits < 9) r->ns = r->ns * 10 + (*p - '0');
        if (digits == 0 || digits > 9) {
            cli_error("'%s': the fraction takes 1 to 9 digits", s);
            return false;
        }
        for (; digits < 9; ++digits) r->ns *= 10;
    }
    r->utc = *p == 'Z';
    if (r->utc) ++p;
    if (*p != '\0') {
        cli_error("'%s' is not a time (YYYY-MM-DDThh:mm:ss[.fraction][Z])", s);
        return false;
    }
    return true;
}

long long linear_seconds(const orbek_time *t) {
    // Days from 1970-01-01 of the date, then the time of day; the offset of
    // a local value is its reading minus the UTC reading.
    long long y = orbek_time_getyear(t), m = orbek_time_getmonth(t), d = orbek_time_getday(t);
    y -= m <= 2;
    const long long era = y / 400, yoe = y - era * 400;
    const long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const long long days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
    return days * 86400 + orbek_time_gethour(t) * 3600 + orbek_time_getminute(t) * 60 + orbek_time_getsecond(t);
}

void print_time(const orbek_time *t, const orbek_time *utc) {
    printf("%04d-%02d-%02dT%02d:%02d:%02d", (int)orbek_time_getyear(t), (int)orbek_time_getmonth(t),
           (int)orbek_time_getday(t), (int)orbek_time_gethour(t), (int)orbek_time_getminute(t),
           (int)orbek_time_getsecond(t));
    if (orbek_time_getns(t) != 0) printf(".%09d", (int)orbek_time_getns(t));
    if (orbek_time_isutctime(t)) {
        puts("Z");
        return;
    }
    long long off = linear_seconds(t) - linear_seconds(utc);
    const char sign = off < 0 ? '-' : '+';
    if (off < 0) off = -off;
    printf("%c%02lld:%02lld", sign, off / 3600, off / 60 % 60);
    if (off % 60) printf(":%02lld", off % 60);
    putchar('\n');
}

// Converts UTC value u into zone `zone` and prints it.
int print_in_zone(const orbek_time *u, const char *zone) {
    Time l(orbek_time_utc2localbyzone(zone, u));
    if (!l) {
        cli_error("cannot show %s in zone '%s' (unknown zone, or outside the years 1582 to 9999)", "the time",
                  zone);
        return 1;
    }
    print_time(l.get(), u);
    return 0;
}

bool known_zone(const char *zone) {
    Time u(orbek_time_newutctime(2000, 1, 1, 0, 0, 0, 0));
    Time l(orbek_time_utc2localbyzone(zone, u.get()));
    if (!l) cli_error("unknown zone '%s' (see orbek time zones)", zone);
    return l != nullptr;
}

int convert(int nargs, char **args) {
    const char *time = nullptr, *zone = nullptr;
    bool to_utc = false;
    int isdst = -1;
    for (int i = 0; i < nargs; ++i) {
        if (strcmp(args[i], "--zone") == 0 && i + 1 < nargs) {
            zone = args[++i];
        } else if (strcmp(args[i], "--to-utc") == 0) {
            to_utc = true;
        } else if (strcmp(args[i], "--isdst") == 0 && i + 1 < nargs) {
            const char *v = args[++i];
            if (strcmp(v, "0") != 0 && strcmp(v, "1") != 0) {
                cli_error("--isdst takes 0 or 1");
                return 2;
            }
            isdst = v[0] - '0';
        } else if (args[i][0] != '-' && !time) {
            time = args[i];
        } else {
            cli_error("unexpected argument '%s'", args[i]);
            return 2;
        }
    }
    if (!time || !zone) {
        cli_error("convert needs a TIME and --zone NAME");
        return 2;
    }
    if (isdst >= 0 && !to_utc) {
        cli_error("--isdst applies to --to-utc only");
        return 2;
    }
    Reading r;
    if (!parse_reading(time, &r)) return 1;
    if (!known_zone(zone)) return 1;
    if (!to_utc) {
        Time u(orbek_time_newutctime(r.y, r.mo, r.d, r.h, r.mi, r.s, r.ns));
        if (!u) {
            cli_error("'%s' is not a valid UTC time (years 1582 to 9999, second 60 only at a leap second)", time);
            return 1;
        }
        return print_in_zone(u.get(), zone);
    }
    if (r.utc) {
        cli_error("'%s' is UTC already; --to-utc takes a wall-clock time without Z", time);
        return 1;
    }
    Time l(orbek_time_newlocaltimebyzone(zone, r.y, r.mo, r.d, r.h, r.mi, r.s, r.ns, isdst > 0 ? 1 : 0));
    Time u(l ? (orbek_time_isutctime(l.get()) ? orbek_time_dup(l.get()) : orbek_time_local2utc(l.get())) : nullptr);
    if (!u) {
        cli_error("'%s' is not a valid time in zone '%s'", time, zone);
        return 1;
    }
    print_time(u.get(), u.get());
    return 0;
}

}  // namespace

int cmd_time_zone(const char *op, int nargs, char **args) {
    if (strcmp(op, "zones") == 0) {
        if (nargs != 0) {
            cli_error("zones takes no arguments");
            return 2;
        }
        for (int32_t i = 0; i < orbek::tz::kZoneCount; ++i) printf("%d %s\n", (int)i, orbek::tz::zone_name(i));
        return 0;
    }
    if (strcmp(op, "now") == 0 && nargs == 2 && strcmp(args[0], "--zone") == 0) {
        if (!known_zone(args[1])) return 1;
        Time u(orbek_time_nowutctime());
        if (!u) {
            cli_error("cannot read the system clock");
            return 1;
        }
        return print_in_zone(u.get(), args[1]);
    }
    if (strcmp(op, "now") == 0 && nargs == 1 && strcmp(args[0], "--local") == 0) {
        Time l(orbek_time_nowlocaltime());
        Time u(l ? (orbek_time_isutctime(l.get()) ? orbek_time_dup(l.get()) : orbek_time_local2utc(l.get()))
                 : nullptr);
        if (!u) {
            cli_error("the system's time zone is not one of the built-in zones");
            return 1;
        }
        print_time(l.get(), u.get());
        return 0;
    }
    if (strcmp(op, "convert") == 0) return convert(nargs, args);
    return -1;
}
