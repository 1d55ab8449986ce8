// Local time in the system's current zone, which is found again on every
// call so that a change of the system's setting takes effect at once.
#include "time/systemzone.h"
#include "time/time_internal.h"
#include "time/zone.h"

ORBEK_EXPORT orbek_time *orbek_time_newlocaltime(int32_t year, int32_t month, int32_t day, int32_t hour,
                                                 int32_t minute, int32_t second, int32_t nanosecond,
                                                 int32_t isdst) noexcept {
    const int32_t zone = orbek::zone::current_zone();
    orbek_time v;
    if (zone < 0 || !orbek::zone::make_local(zone, year, month, day, hour, minute, second, nanosecond, isdst, &v))
        return nullptr;
    return orbek::cal::new_value(v);
}

ORBEK_EXPORT orbek_time *orbek_time_utc2local(const orbek_time *t) noexcept {
    if (!t || !t->utc) return nullptr;
    const int32_t zone = orbek::zone::current_zone();
    orbek_time v;
    if (zone < 0 || !orbek::zone::utc_to_local(zone, *t, &v)) return nullptr;
    return orbek::cal::new_value(v);
}

ORBEK_EXPORT orbek_time *orbek_time_nowlocaltime(void) noexcept {
    orbek_time *u = orbek_time_nowutctime();
    orbek_time *l = orbek_time_utc2local(u);
    orbek_time_free(u);
    return l;
}
