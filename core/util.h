// Process settings read once at load, and the exception the GMP memory
// functions raise.  Internal: not installed.
#ifndef ORBEK_CORE_UTIL_H
#define ORBEK_CORE_UTIL_H

#include <stdint.h>

// Raised by the memory functions the library gives GMP when the runtime heap
// refuses; the big-integer code catches it around every GMP call.
class gmpexception {};

namespace orbek {

// The value ORBEK_RECURSIVE_LEVEL asks for (null when it is unset).
int32_t parse_recursive_level(const char *text) noexcept;

// Start-up steps, run in this order by the attach sequence.
bool settings_read_recursive_level() noexcept;
bool settings_read_version() noexcept;
bool settings_register_gmp() noexcept;

}  // namespace orbek

#endif
