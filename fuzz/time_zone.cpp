// Zone conversions on arbitrary zones, readings and hints: every value
// handed out has fields in range, and every UTC instant that converts to a
// zone's wall clock converts back to an instant no more than a day away
// (offsets stay within a day, and so does the error of the few readings
// repeated where a zone line changes, which resolve to the earlier line).
#include <stdlib.h>

#include "tests/time/time_test_util.h"
#include "time/zone_tables.h"

using namespace timetest;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p, size_t n) {
    auto take = [&] {
        uint32_t v = 0;
        for (int i = 0; i < 4 && n > 0; ++i, --n) v = (v << 8) | *p++;
        return v;
    };
    const char *zone = orbek::tz::zone_name((int32_t)(take() % orbek::tz::kZoneCount));
    // A reading, mostly within range.
    const int y = 1582 + (int)(take() % 8419), mo = 1 + (int)(take() % 12), d = 1 + (int)(take() % 31);
    const int h = (int)(take() % 25), mi = (int)(take() % 60), s = (int)(take() % 61), isdst = take() & 1;
    Time l = local(zone, y, mo, d, h, mi, s, isdst);
    Time lu(l && !orbek_time_isutctime(l.get()) ? orbek_time_local2utc(l.get()) : nullptr);
    Time u = utc(y, mo, d, h, mi, s), ul(orbek_time_utc2localbyzone(zone, u.get()));
    Time back(ul && !orbek_time_isutctime(ul.get()) ? orbek_time_local2utc(ul.get()) : nullptr);
    for (const Time *t : {&l, &lu, &ul, &back})
        if (*t && !fields_in_range(t->get())) abort();
    if (back && llabs(orbek_time_diffseconds(back.get(), u.get())) > 86400) abort();
    return 0;
}
