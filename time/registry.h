// Where the system's time zone setting comes from.  time/win32/ and
// time/posix/ each define the functions below.
//
// On Windows the setting is in the registry, read through the four
// operations of Ops (narrow-string functions under HKEY_LOCAL_MACHINE).
// Elsewhere there is no registry: system_ops() gives null and the system
// names its zone with a tz name instead, which system_tz_names() reports.
#ifndef ORBEK_TIME_REGISTRY_H
#define ORBEK_TIME_REGISTRY_H

#include <stddef.h>
#include <stdint.h>

namespace orbek {
namespace reg {

// Registry value types the zone search tells apart.
constexpr uint32_t kTypeString = 1;  // REG_SZ

// Each registry string is read into a buffer of this size, at most one byte
// less, and terminated at the length read.
constexpr uint32_t kBufferSize = 1024;

struct Ops {
    // Opens the subkey `path` of `parent` for reading; a null parent stands
    // for HKEY_LOCAL_MACHINE.  False when it cannot be opened.
    bool (*open)(void *parent, const char *path, void **key);
    // Reads value `name` of an open key: its type and at most *size bytes
    // into buf, *size becoming the number read.  False on failure.
    bool (*query)(void *key, const char *name, uint32_t *type, char *buf, uint32_t *size);
    // The name of subkey number `index` (from 0) into buf of `size` bytes,
    // NUL-terminated.  False when there are no more (or the read fails).
    bool (*enum_subkey)(void *key, uint32_t index, char *buf, uint32_t size);
    void (*close)(void *key);
};

// The system's registry, or null where there is none.
const Ops *system_ops() noexcept;

// Where there is no registry: offers the tz names the system configures, in
// order of precedence, to accept() until it returns true.  Returns whether
// one was accepted.
bool system_tz_names(bool (*accept)(const char *name, void *ctx), void *ctx) noexcept;

}  // namespace reg
}  // namespace orbek

#endif
