// System clocks on Windows: GetSystemTime for the UTC calendar reading and
// GetSystemTimeAsFileTime for the file-time clock.
#include <windows.h>

#include "time/clock.h"

namespace orbek {
namespace sysclock {

bool utc_now(UtcReading *out) noexcept {
    SYSTEMTIME st;
    GetSystemTime(&st);
    out->year = st.wYear;
    out->month = st.wMonth;
    out->day = st.wDay;
    out->hour = st.wHour;
    out->minute = st.wMinute;
    out->second = st.wSecond;
    out->millisecond = st.wMilliseconds;
    return true;
}

uint64_t file_time_now() noexcept {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return ((uint64_t)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

}  // namespace sysclock
}  // namespace orbek
