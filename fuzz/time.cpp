// UTC values from arbitrary fields through the adders with arbitrary amounts:
// fields stay in range, second 60 only at a leap second (or carried by the
// minute adder); the second adder moves by exactly n elapsed seconds and back;
// days and minutes move POSIX seconds by whole days and minutes; POSIX
// seconds come back unchanged through newfromtime_t.
#include <stdint.h>
#include <stdlib.h>

#include "tests/time/time_test_util.h"

using namespace timetest;

namespace {

void expect(bool ok, const char *what) {
    if (!ok) fprintf(stderr, "mismatch: %s\n", what), abort();
}

// Elapsed seconds since 1970: POSIX seconds (a leap second reads as the
// second after it, so step it back one) plus every leap second up to t.
int64_t elapsed(const orbek_time *t) {
    int64_t n = orbek_time_gettime_t(t) - orbek_time_isleapsecond(t);
    for (const auto &d : kLeapDays) n += orbek_time_cmp(utc(d[0], d[1], d[2], 23, 59, 60).get(), t) <= 0;
    return n;
}

void check_valid(const orbek_time *t, bool carried_sixty) {
    expect(fields_in_range(t) && orbek_time_isutctime(t), "field out of range");
    expect(orbek_time_getsecond(t) < 60 || carried_sixty || orbek_time_isleapsecond(t), "second 60 off a leap second");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p, size_t n) {
    auto take = [&](int bytes) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v = v << 8 | (n ? (--n, *p++) : 0);
        return v;
    };
    // Fields near their valid ranges, so that most inputs build a value.
    const int32_t y = 1570 + (int32_t)(take(4) % 8450), mo = (int8_t)take(1) % 14, d = (int8_t)take(1) % 33;
    const int32_t h = (int8_t)take(1) % 26, mi = (int8_t)take(1) % 61, s = (int8_t)take(1) % 62;
    const int32_t ns = (int32_t)take(4) % 1000000001, amount = (int32_t)take(4), op = take(1) % 6;
    Time t = utc(y, mo, d, h, mi, s, ns), r;
    if (!t) return 0;
    check_valid(t.get(), false);
    const int64_t posix = orbek_time_gettime_t(t.get());
    if (op < 2 && (r = Time(orbek_time_addsecond(t.get(), amount)))) {
        expect(elapsed(r.get()) - elapsed(t.get()) == amount, "second adder is not elapsed time");
        expect(orbek_time_getns(r.get()) == ns, "second adder changed nanoseconds");
        Time back(orbek_time_addsecond(r.get(), (int32_t)(0 - (uint32_t)amount)));
        expect(amount == INT32_MIN || orbek_time_cmp(back.get(), t.get()) == 0, "second adder not reversible");
    } else if (op == 2 && (r = Time(orbek_time_addday(t.get(), amount)))) {
        const int64_t shift = orbek_time_gettime_t(r.get()) - posix - (orbek_time_getsecond(r.get()) - s);
        expect(shift == 86400LL * amount, "day adder");
    } else if (op == 3 && (r = Time(orbek_time_addminute(t.get(), amount)))) {
        expect(orbek_time_getsecond(r.get()) == s && orbek_time_gettime_t(r.get()) - posix == 60LL * amount,
               "minute adder");
    } else if (op == 4 && (r = Time(orbek_time_addmonth(t.get(), amount % 200000)))) {
        // Against the value as built: hour 24 has already moved it to the next day.
        expect(orbek_time_getday(r.get()) <= orbek_time_getday(t.get()), "month adder grew the day");
    } else if (op == 5) {
        Time u(orbek_time_newfromtime_t(posix));
        expect(u && orbek_time_gettime_t(u.get()) == posix, "POSIX seconds round trip");
        expect(s == 60 || (orbek_time_getsecond(u.get()) == s && orbek_time_diffdays(u.get(), t.get()) == 0),
               "newfromtime_t reading");
    }
    if (r) check_valid(r.get(), op == 3);
    return 0;
}
