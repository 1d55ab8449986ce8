// The system clocks the time family reads.  time/posix/ and time/win32/ each
// define these functions.
#ifndef ORBEK_TIME_CLOCK_H
#define ORBEK_TIME_CLOCK_H

#include <stdint.h>

namespace orbek {
namespace sysclock {

// A UTC calendar reading of the system clock, millisecond resolution.
struct UtcReading {
    int32_t year, month, day, hour, minute, second, millisecond;
};

// The current UTC date and time; false when the clock cannot be read.
bool utc_now(UtcReading *out) noexcept;

// The current UTC time as a file time: 100-nanosecond units since
// 1601-01-01T00:00:00, leap seconds not counted.
uint64_t file_time_now() noexcept;

}  // namespace sysclock
}  // namespace orbek

#endif
