// Allocation hooks and data blobs.
#include "core/internal.h"
#include "core/startup.h"

#include <stdlib.h>
#include <string.h>

// Data blobs are this module's only allocations.
static const char kOrbekSource[] = "ORBEK_Memory";

namespace {

void *default_alloc(int32_t size, const char *, int32_t) { return malloc((size_t)size); }
void default_free(void *ptr) { free(ptr); }

// Plain globals: the host sets the hooks on one thread before any other use.
orbek_malloc_func g_alloc = default_alloc;
orbek_free_func g_free = default_free;
// Set by the first allocation and never cleared; freezes the hooks.
int32_t g_alloc_started = 0;

// Keeps the loader hooks in static links (see startup.h).
__attribute__((used)) const char *const g_keep_loader_hook = &orbek::kLoaderHook;

}  // namespace

namespace orbek {

void *alloc(size_t size, const char *file, int32_t line) noexcept {
    if (size > (size_t)INT32_MAX) return nullptr;
    g_alloc_started = 1;
    return g_alloc((int32_t)size, file, line);
}

void release(void *ptr) noexcept {
    if (ptr) g_free(ptr);
}

bool alloc_started() noexcept { return g_alloc_started != 0; }

void install_hooks(orbek_malloc_func alloc_hook, orbek_free_func free_hook) noexcept {
    g_alloc = alloc_hook;
    g_free = free_hook;
}

}  // namespace orbek

ORBEK_EXPORT void *orbek_malloc(int32_t size, const char *file, int32_t line) noexcept {
    if (size < 0) return nullptr;
    g_alloc_started = 1;
    return g_alloc(size, file, line);
}

ORBEK_EXPORT void orbek_free(void *ptr) noexcept { orbek::release(ptr); }

// Error contexts and time values are single blocks: releasing one is a plain
// release.
ORBEK_EXPORT void orbek_err_ctx_free(orbek_err_ctx *ctx) noexcept { orbek::release(ctx); }
ORBEK_EXPORT void orbek_time_free(orbek_time *t) noexcept { orbek::release(t); }

ORBEK_EXPORT int32_t orbek_setallocfunc(orbek_malloc_func alloc_hook, orbek_free_func free_hook) noexcept {
    if (g_alloc_started || !alloc_hook || !free_hook) return 0;
    g_alloc = alloc_hook;
    g_free = free_hook;
    return 1;
}

ORBEK_EXPORT orbek_malloc_func orbek_getmallocfunc(void) noexcept { return g_alloc; }
ORBEK_EXPORT orbek_free_func orbek_getfreefunc(void) noexcept { return g_free; }

ORBEK_EXPORT orbek_data_blob *orbek_data_blob_new(const uint8_t *data, int32_t length) noexcept {
    if (!data || length < 0) return nullptr;
    orbek_data_blob *blob = ORBEK_ALLOC_T(orbek_data_blob, 1);
    if (!blob) return nullptr;
    // An empty blob still owns a (one-byte) block, so that its data pointer is
    // never null and every blob is released the same way.
    blob->data = static_cast<uint8_t *>(ORBEK_ALLOC(length ? (size_t)length : 1));
    if (!blob->data) {
        ORBEK_FREE(blob);
        return nullptr;
    }
    if (length) memcpy(blob->data, data, (size_t)length);
    blob->length = length;
    return blob;
}

ORBEK_EXPORT void orbek_data_blob_free(orbek_data_blob *blob) noexcept {
    if (!blob) return;
    orbek::release(blob->data);
    orbek::release(blob);
}
