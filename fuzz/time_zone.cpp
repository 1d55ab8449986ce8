// Zone conversions on arbitrary zones, readings and hints: every value
// handed out has fields in range, and every UTC instant that converts to a
// zone's wall clock converts back to an instant no more than the largest
// offset change away (the few readings repeated where a zone line changes
// resolve to the earlier line).
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "orbek_util.h"
#include "time/time_internal.h"
#include "time/zone.h"
#include "time/zone_tables.h"

namespace {

int32_t take(const uint8_t *&p, size_t &n) {
    int32_t v = 0;
    for (int i = 0; i < 4 && n > 0; ++i, --n) v = (v << 8) | *p++;
    return v;
}

void check_fields(const orbek_time *t) {
    if (!t) return;
    const int32_t y = orbek_time_getyear(t), mo = orbek_time_getmonth(t), d = orbek_time_getday(t);
    if (y < 1582 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > orbek::cal::month_length(y, mo) ||
        orbek_time_gethour(t) < 0 || orbek_time_gethour(t) > 23 || orbek_time_getminute(t) < 0 ||
        orbek_time_getminute(t) > 59 || orbek_time_getsecond(t) < 0 || orbek_time_getsecond(t) > 60)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const uint8_t *p = data;
    size_t n = size;
    const int32_t zone = (int32_t)((uint32_t)take(p, n) % orbek::tz::kZoneCount);
    const char *name = orbek::tz::zone_name(zone);
    // A reading, mostly within range.
    const int32_t y = 1582 + (int32_t)((uint32_t)take(p, n) % 8419);
    const int32_t mo = 1 + (int32_t)((uint32_t)take(p, n) % 12);
    const int32_t d = 1 + (int32_t)((uint32_t)take(p, n) % 31);
    const int32_t h = (int32_t)((uint32_t)take(p, n) % 25);
    const int32_t mi = (int32_t)((uint32_t)take(p, n) % 60);
    const int32_t s = (int32_t)((uint32_t)take(p, n) % 61);
    const int32_t isdst = take(p, n) & 1;

    orbek_time *l = orbek_time_newlocaltimebyzone(name, y, mo, d, h, mi, s, 0, isdst);
    check_fields(l);
    orbek_time *lu = l && !orbek_time_isutctime(l) ? orbek_time_local2utc(l) : nullptr;
    check_fields(lu);

    orbek_time *u = orbek_time_newutctime(y, mo, d, h, mi, s, 0);
    if (u) {
        orbek_time *ul = orbek_time_utc2localbyzone(name, u);
        check_fields(ul);
        if (ul && !orbek_time_isutctime(ul)) {
            orbek_time *back = orbek_time_local2utc(ul);
            // Offsets in the database stay within a day, and so does the
            // error of a repeated reading.
            if (back) {
                const int64_t diff = orbek_time_diffseconds(back, u);
                if (diff < -86400 || diff > 86400) abort();
            }
            orbek_time_free(back);
        }
        orbek_time_free(ul);
    }
    orbek_time_free(u);
    orbek_time_free(lu);
    orbek_time_free(l);
    return 0;
}
