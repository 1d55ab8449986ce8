// The operating-system services the runtime core reads: implemented once in
// core/posix/ and once in core/win32/.
#ifndef ORBEK_CORE_PLATFORM_H
#define ORBEK_CORE_PLATFORM_H

#include <stdint.h>

#include "orbek_util.h"

namespace orbek {
namespace platform {

// Fills the 148-byte version record (the size field already set by the
// caller).  Windows asks GetVersionExA; elsewhere the kernel's release gives
// major, minor and build, the platform identifier is 2 and the service-pack
// text holds the release string.  False when the system refuses.
bool os_version(orbek_winversion *record) noexcept;

// Processors the system reports (may be 0 or less when it cannot say).
int32_t cpu_count() noexcept;

// Writes the executable's full path, NUL-terminated, into buf (cap bytes)
// and returns its length; -1 when the system cannot give it or it does not
// fit in cap - 1 characters.
int32_t exe_path(char *buf, int32_t cap) noexcept;

// The separator that ends a path's directory part: '\\' on Windows, '/'
// elsewhere.
extern const char kPathSeparator;

}  // namespace platform
}  // namespace orbek

#endif
