// Conversions between UTC and the wall clock of a zone of the built-in
// database.  Not installed.  Every operation here works on values held by
// the caller and never allocates.
#ifndef ORBEK_TIME_ZONE_H
#define ORBEK_TIME_ZONE_H

#include "time/time_internal.h"

namespace orbek {
namespace zone {

// Index of the named zone, or -1.  "UTC" stands for "Etc/UTC" and "PRC" for
// "Asia/Shanghai"; otherwise the name must match an entry byte for byte.
int32_t lookup(const char *name) noexcept;

// Index of the zone a Windows zone name (a registry key name such as
// "China Standard Time") maps to, or -1.  Case-sensitive.
int32_t lookup_windows(const char *name) noexcept;

// UTC value u as the wall clock of zone `zone`.  The "Etc/UTC" index gives a
// copy of u (still UTC).  False when the zone is outside the table, no zone
// line applies or the reading leaves the years 1582 to 9999.
bool utc_to_local(int32_t zone, const orbek_time &u, orbek_time *out) noexcept;

// Local value t (its DST flag is the hint for readings that occur twice) as
// a UTC value.
bool local_to_utc(const orbek_time &t, orbek_time *out) noexcept;

// A local value of zone `zone` from wall-clock fields: settles the DST flag,
// moves a reading inside a spring-forward gap to its end, picks one reading
// of a fall-back overlap by the isdst hint and keeps second 60 only where
// the local minute holds a leap second.  The "Etc/UTC" index builds a UTC
// value instead.
bool make_local(int32_t zone, int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                int32_t second, int32_t nanosecond, int32_t isdst, orbek_time *out) noexcept;

}  // namespace zone
}  // namespace orbek

#endif
