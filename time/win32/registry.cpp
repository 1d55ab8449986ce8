// The Windows registry, through its narrow-string functions.
#include <windows.h>

#include "time/registry.h"

namespace orbek {
namespace reg {
namespace {

static_assert(REG_SZ == kTypeString, "string values are REG_SZ");

bool open_key(void *parent, const char *path, void **key) {
    HKEY k = nullptr;
    HKEY p = parent ? static_cast<HKEY>(parent) : HKEY_LOCAL_MACHINE;
    if (RegOpenKeyExA(p, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    *key = k;
    return true;
}

bool query_value(void *key, const char *name, uint32_t *type, char *buf, uint32_t *size) {
    DWORD t = 0, n = *size;
    if (RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &t, reinterpret_cast<BYTE *>(buf), &n) !=
        ERROR_SUCCESS)
        return false;
    *type = t;
    *size = n;
    return true;
}

bool enum_subkey(void *key, uint32_t index, char *buf, uint32_t size) {
    DWORD n = size;
    return RegEnumKeyExA(static_cast<HKEY>(key), index, buf, &n, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

void close_key(void *key) { RegCloseKey(static_cast<HKEY>(key)); }

const Ops kOps = {open_key, query_value, enum_subkey, close_key};

}  // namespace

const Ops *system_ops() noexcept { return &kOps; }

bool system_tz_names(bool (*)(const char *, void *), void *) noexcept { return false; }

}  // namespace reg
}  // namespace orbek
