// The system's current time zone as a zone index.  Not installed.
#ifndef ORBEK_TIME_SYSTEMZONE_H
#define ORBEK_TIME_SYSTEMZONE_H

#include <stdint.h>

#include "time/registry.h"

namespace orbek {
namespace zone {

// The index of the system's current zone, found afresh on every call, or -1.
int32_t current_zone() noexcept;

// The Windows search over registry operations: "TimeZoneKeyName", else the
// "StandardName" matched against the "Std" value of every zone subkey.
// platform_id 2 (the NT family) chooses the NT key of all zones.
int32_t zone_from_registry(const reg::Ops &ops, uint32_t platform_id) noexcept;

// Tests replace the registry with contents of their own (null restores the
// system's).  Returns the operations in place before.
const reg::Ops *set_registry_for_testing(const reg::Ops *ops) noexcept;

}  // namespace zone
}  // namespace orbek

#endif
