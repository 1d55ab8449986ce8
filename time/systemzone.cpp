// The system's current time zone: the Windows zone settings in the registry,
// mapped to a zone of the built-in database through the Windows zone map;
// where there is no registry, the tz name the system configures.
#include "time/systemzone.h"

#include <string.h>

#include <atomic>

#include "orbek_util.h"
#include "time/zone.h"

namespace orbek {
namespace zone {
namespace {

std::atomic<const reg::Ops *> g_test_ops{nullptr};

const char kTziKey[] = "SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation";
const char kZonesKeyNt[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const char kZonesKey9x[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";

// Reads a string value into buf (kBufferSize bytes); false unless the read
// succeeds and the value is a string.
bool read_string(const reg::Ops &ops, void *key, const char *name, char *buf) {
    uint32_t type = 0, size = reg::kBufferSize - 1;
    if (!ops.query(key, name, &type, buf, &size)) return false;
    buf[size < reg::kBufferSize ? size : reg::kBufferSize - 1] = '\0';
    return type == reg::kTypeString;
}

bool accept_tz_name(const char *name, void *ctx) {
    if (name[0] == ':') ++name;
    const int32_t zone = lookup(name);
    if (zone < 0) return false;
    *static_cast<int32_t *>(ctx) = zone;
    return true;
}

}  // namespace

int32_t zone_from_registry(const reg::Ops &ops, uint32_t platform_id) noexcept {
    char name[reg::kBufferSize];
    void *tzi = nullptr;
    if (!ops.open(nullptr, kTziKey, &tzi)) return -1;
    if (read_string(ops, tzi, "TimeZoneKeyName", name)) {
        ops.close(tzi);
        return lookup_windows(name);
    }
    const bool have_std = read_string(ops, tzi, "StandardName", name);
    ops.close(tzi);
    if (!have_std) return -1;

    void *zones = nullptr;
    if (!ops.open(nullptr, platform_id == 2 ? kZonesKeyNt : kZonesKey9x, &zones)) return -1;
    char sub[reg::kBufferSize], std_name[reg::kBufferSize];
    int32_t result = -1;
    for (uint32_t i = 0; ops.enum_subkey(zones, i, sub, sizeof sub); ++i) {
        void *zone = nullptr;
        if (!ops.open(zones, sub, &zone)) break;
        const bool ok = read_string(ops, zone, "Std", std_name);
        ops.close(zone);
        // The search ends at the first zone without a readable "Std".
        if (!ok) break;
        if (strcmp(std_name, name) == 0) {
            result = lookup_windows(sub);
            break;
        }
    }
    ops.close(zones);
    return result;
}

const reg::Ops *set_registry_for_testing(const reg::Ops *ops) noexcept { return g_test_ops.exchange(ops); }

int32_t current_zone() noexcept {
    const reg::Ops *ops = g_test_ops.load();
    if (!ops) ops = reg::system_ops();
    if (ops) {
        orbek_winversion v;
        const uint32_t platform = orbek_getwinversion(&v) ? v.platform_id : 2;
        return zone_from_registry(*ops, platform);
    }
    int32_t zone = -1;
    reg::system_tz_names(accept_tz_name, &zone);
    return zone;
}

}  // namespace zone
}  // namespace orbek
