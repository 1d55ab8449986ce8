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

// The performance counter.  counter_frequency gives its ticks per second
// (false when the system has no such counter); counter_read its current
// value (false when it cannot be read).  Windows asks
// QueryPerformanceFrequency/QueryPerformanceCounter; elsewhere
// CLOCK_MONOTONIC is the counter, counting nanoseconds.
bool counter_frequency(double *ticks_per_second) noexcept;
bool counter_read(int64_t *ticks) noexcept;

// Suspends the calling thread for ms milliseconds.
void sleep_ms(uint32_t ms) noexcept;

// Other dynamic libraries, by their narrow name as the system's loader takes
// it: the module handle or null; the unload result (non-zero on success, 0
// for a null module); an exported symbol's address or null.
void *dso_open(const char *name) noexcept;
int32_t dso_close(void *module) noexcept;
void *dso_symbol(void *module, const char *name) noexcept;
// What orbek_dso_load appends for its second try: ".DLL" on Windows, ".so"
// elsewhere.
extern const char kDsoRetrySuffix[];

}  // namespace platform
}  // namespace orbek

#endif
