// Time values against ICU's Gregorian calendar and the C library's
// timegm/gmtime_r: adding a million days, POSIX seconds both ways, and the
// construction of a checked value.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unicode/ucal.h>

#include "orbek_util.h"

namespace {

void BM_orbek_addday_million(benchmark::State &state) {
    orbek_time *t = orbek_time_newutctime(2001, 3, 17, 12, 30, 45, 0);
    int32_t sign = 1;
    for (auto _ : state) {
        orbek_time *r = orbek_time_addday(t, sign * 1000000);
        benchmark::DoNotOptimize(orbek_time_getyear(r));
        orbek_time_free(r);
        sign = -sign;
    }
    orbek_time_free(t);
}
BENCHMARK(BM_orbek_addday_million);

void BM_icu_add_million_days(benchmark::State &state) {
    UErrorCode err = U_ZERO_ERROR;
    UCalendar *cal = ucal_open(u"UTC", -1, "en_US", UCAL_GREGORIAN, &err);
    ucal_setGregorianChange(cal, -1e300, &err);  // proleptic, like orbek
    ucal_setDateTime(cal, 2001, UCAL_MARCH, 17, 12, 30, 45, &err);
    const UDate start = ucal_getMillis(cal, &err);
    int32_t sign = 1;
    for (auto _ : state) {
        ucal_setMillis(cal, start, &err);
        ucal_add(cal, UCAL_DATE, sign * 1000000, &err);
        benchmark::DoNotOptimize(ucal_get(cal, UCAL_YEAR, &err));
        sign = -sign;
    }
    if (U_FAILURE(err)) state.SkipWithError("ICU failed");
    ucal_close(cal);
}
BENCHMARK(BM_icu_add_million_days);

void BM_orbek_newfromtime_t(benchmark::State &state) {
    int64_t s = 1483228800;
    for (auto _ : state) {
        orbek_time *t = orbek_time_newfromtime_t(s);
        benchmark::DoNotOptimize(orbek_time_getday(t));
        orbek_time_free(t);
        s += 86413;
    }
}
BENCHMARK(BM_orbek_newfromtime_t);

void BM_libc_gmtime_r(benchmark::State &state) {
    time_t s = 1483228800;
    struct tm fields;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gmtime_r(&s, &fields));
        benchmark::DoNotOptimize(fields.tm_mday);
        s += 86413;
    }
}
BENCHMARK(BM_libc_gmtime_r);

void BM_orbek_gettime_t(benchmark::State &state) {
    orbek_time *t = orbek_time_newutctime(2016, 12, 31, 23, 59, 59, 0);
    for (auto _ : state) benchmark::DoNotOptimize(orbek_time_gettime_t(t));
    orbek_time_free(t);
}
BENCHMARK(BM_orbek_gettime_t);

void BM_libc_timegm(benchmark::State &state) {
    struct tm fields = {};
    fields.tm_year = 116;
    fields.tm_mon = 11;
    fields.tm_mday = 31;
    fields.tm_hour = 23;
    fields.tm_min = 59;
    fields.tm_sec = 59;
    for (auto _ : state) {
        struct tm f = fields;
        benchmark::DoNotOptimize(timegm(&f));
    }
}
BENCHMARK(BM_libc_timegm);

void BM_orbek_addsecond_decades(benchmark::State &state) {
    // Crosses all 27 leap seconds.
    orbek_time *t = orbek_time_newutctime(1971, 1, 1, 0, 0, 0, 0);
    for (auto _ : state) {
        orbek_time *r = orbek_time_addsecond(t, 1500000000);
        benchmark::DoNotOptimize(orbek_time_getsecond(r));
        orbek_time_free(r);
    }
    orbek_time_free(t);
}
BENCHMARK(BM_orbek_addsecond_decades);

}  // namespace

BENCHMARK_MAIN();
