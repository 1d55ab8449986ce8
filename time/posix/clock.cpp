// System clocks on POSIX systems: the realtime clock, split into UTC fields
// by gmtime_r.
#include <time.h>

#include "time/clock.h"

namespace orbek {
namespace sysclock {

// Seconds from 1601-01-01 to 1970-01-01, in 100-nanosecond units.
static const uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

bool utc_now(UtcReading *out) noexcept {
    struct timespec ts;
    if (clock_gettime(CLOCK_REALTIME, &ts) != 0) return false;
    struct tm fields;
    if (!gmtime_r(&ts.tv_sec, &fields)) return false;
    out->year = fields.tm_year + 1900;
    out->month = fields.tm_mon + 1;
    out->day = fields.tm_mday;
    out->hour = fields.tm_hour;
    out->minute = fields.tm_min;
    // gmtime_r may report a leap second as 60; the millisecond clock of the
    // library's other platform never does, so fold it into 59.
    out->second = fields.tm_sec > 59 ? 59 : fields.tm_sec;
    out->millisecond = (int32_t)(ts.tv_nsec / 1000000);
    return true;
}

uint64_t file_time_now() noexcept {
    struct timespec ts;
    if (clock_gettime(CLOCK_REALTIME, &ts) != 0) return 0;
    return (uint64_t)((int64_t)ts.tv_sec * 10000000 + ts.tv_nsec / 100) + kUnixEpochAsFileTime;
}

}  // namespace sysclock
}  // namespace orbek
