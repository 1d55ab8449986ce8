// Internal helpers shared by every family of the library.  Not installed.
#ifndef ORBEK_CORE_INTERNAL_H
#define ORBEK_CORE_INTERNAL_H

#include "orbek_util.h"

#include <stddef.h>
#include <stdint.h>

// Exported definitions are written as
//   ORBEK_EXPORT int32_t orbek_x(...) noexcept { ... }
#define ORBEK_EXPORT extern "C" ORBEK_API

namespace orbek {

// The allocation every library module makes: sets the allocation-started
// flag and calls the allocation hook with the module's source name and the
// line of the request.  A size that does not fit the hook's signed 32-bit
// argument fails cleanly with null instead of being truncated.
void *alloc(size_t size, const char *file, int32_t line) noexcept;

// Releases through the release hook; null is ignored.
void release(void *ptr) noexcept;

// True once anything has been allocated through the hooks.
bool alloc_started() noexcept;

// Stores both hooks without the checks of orbek_setallocfunc (the debug
// allocator has made them already).
void install_hooks(orbek_malloc_func alloc_hook, orbek_free_func free_hook) noexcept;

// Reports whether n * size overflows or exceeds the hook's 32-bit range;
// stores the product otherwise.
inline bool mul_size(size_t n, size_t size, size_t *out) noexcept {
    if (size != 0 && n > (size_t)INT32_MAX / size) return false;
    *out = n * size;
    return true;
}

}  // namespace orbek

// Each source file defines kOrbekSource (its module's source name, such as
// "ORBEK_Stream") before using these.
#define ORBEK_ALLOC(size) ::orbek::alloc((size), kOrbekSource, __LINE__)
#define ORBEK_ALLOC_T(type, count) \
    static_cast<type *>(::orbek::alloc(sizeof(type) * (size_t)(count), kOrbekSource, __LINE__))
#define ORBEK_FREE(ptr) ::orbek::release(ptr)

#endif
