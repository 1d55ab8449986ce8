// Loading other dynamic libraries by a Unicode name.
#include <string.h>

#include "core/internal.h"
#include "core/platform.h"

static const char kOrbekSource[] = "win32\\dso";

ORBEK_EXPORT orbek_dso *orbek_dso_load(const orbek_ustring *name) noexcept {
    if (!name) return nullptr;
    char *charset = orbek_ustring_getdefaultcharset();
    uint8_t *bytes = nullptr;
    int32_t len = 0;
    int32_t converted = orbek_ustring_tombs(name, charset ? charset : "UTF-8", &bytes, &len);
    orbek::release(charset);
    if (!converted) return nullptr;
    // The loader takes a NUL-terminated name: one with a NUL inside would
    // load a shorter name than the caller gave.
    void *module = nullptr;
    const char *text = reinterpret_cast<const char *>(bytes);
    if (!memchr(text, 0, (size_t)len)) {
        module = orbek::platform::dso_open(text);
        if (!module) {
            const size_t suffix = strlen(orbek::platform::kDsoRetrySuffix) + 1;  // with its NUL
            char *retry = static_cast<char *>(ORBEK_ALLOC((size_t)len + suffix));
            if (retry) {
                memcpy(retry, text, (size_t)len);
                memcpy(retry + len, orbek::platform::kDsoRetrySuffix, suffix);
                module = orbek::platform::dso_open(retry);
                ORBEK_FREE(retry);
            }
        }
    }
    orbek::release(bytes);
    return static_cast<orbek_dso *>(module);
}

ORBEK_EXPORT int32_t orbek_dso_free(orbek_dso *module) noexcept {
    return module ? orbek::platform::dso_close(module) : 0;
}

ORBEK_EXPORT void *orbek_dso_getfunction(orbek_dso *module, const char *name) noexcept {
    if (!module || !name) return nullptr;
    return orbek::platform::dso_symbol(module, name);
}
