// UTC to local and local to UTC in a named zone, against glibc's localtime_r
// and mktime with TZ set to the same zone (the system's tzdata), at the same
// random instants from 1970 to 2037.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <random>
#include <vector>

#include "orbek_util.h"

namespace {

const char *const kZones[] = {"America/New_York", "Europe/Berlin", "Asia/Shanghai", "Australia/Lord_Howe"};
constexpr size_t kCount = 4096;

std::vector<time_t> instants() {
    std::mt19937_64 rng(42);
    std::uniform_int_distribution<int64_t> d(0, 2145916799);  // to 2037-12-31T23:59:59Z
    std::vector<time_t> v(kCount);
    for (auto &t : v) t = (time_t)d(rng);
    return v;
}

void set_tz(const char *zone) {
    setenv("TZ", zone, 1);
    tzset();
}

struct Values {
    std::vector<orbek_time *> utc, local;
    std::vector<struct tm> tm;
    explicit Values(const char *zone) {
        set_tz(zone);
        for (time_t t : instants()) {
            struct tm g;
            gmtime_r(&t, &g);
            orbek_time *u = orbek_time_newutctime(g.tm_year + 1900, g.tm_mon + 1, g.tm_mday, g.tm_hour, g.tm_min,
                                                  g.tm_sec, 0);
            utc.push_back(u);
            local.push_back(orbek_time_utc2localbyzone(zone, u));
            struct tm l;
            localtime_r(&t, &l);
            tm.push_back(l);
        }
    }
    ~Values() {
        for (orbek_time *t : utc) orbek_time_free(t);
        for (orbek_time *t : local) orbek_time_free(t);
    }
};

void BM_orbek_utc2local(benchmark::State &state) {
    const char *zone = kZones[state.range(0)];
    Values v(zone);
    size_t i = 0;
    for (auto _ : state) {
        orbek_time *l = orbek_time_utc2localbyzone(zone, v.utc[i++ % kCount]);
        benchmark::DoNotOptimize(l);
        orbek_time_free(l);
    }
    state.SetLabel(zone);
}

void BM_glibc_localtime_r(benchmark::State &state) {
    const char *zone = kZones[state.range(0)];
    set_tz(zone);
    const std::vector<time_t> t = instants();
    size_t i = 0;
    struct tm out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(localtime_r(&t[i++ % kCount], &out));
    }
    state.SetLabel(zone);
}

void BM_orbek_local2utc(benchmark::State &state) {
    const char *zone = kZones[state.range(0)];
    Values v(zone);
    size_t i = 0;
    for (auto _ : state) {
        orbek_time *u = orbek_time_local2utc(v.local[i++ % kCount]);
        benchmark::DoNotOptimize(u);
        orbek_time_free(u);
    }
    state.SetLabel(zone);
}

void BM_glibc_mktime(benchmark::State &state) {
    const char *zone = kZones[state.range(0)];
    Values v(zone);
    set_tz(zone);
    size_t i = 0;
    for (auto _ : state) {
        struct tm tm = v.tm[i++ % kCount];
        benchmark::DoNotOptimize(mktime(&tm));
    }
    state.SetLabel(zone);
}

}  // namespace

BENCHMARK(BM_orbek_utc2local)->DenseRange(0, 3);
BENCHMARK(BM_glibc_localtime_r)->DenseRange(0, 3);
BENCHMARK(BM_orbek_local2utc)->DenseRange(0, 3);
BENCHMARK(BM_glibc_mktime)->DenseRange(0, 3);

BENCHMARK_MAIN();
