// Code pages through the Windows National Language Support calls.
#include <windows.h>

#include "ustring/codepage.h"

static_assert(sizeof(WCHAR) == sizeof(uint16_t), "WCHAR is a UTF-16 unit");

namespace orbek {
namespace codepage {

uint32_t ansi() noexcept { return GetACP(); }

bool valid(uint32_t cp) noexcept { return IsValidCodePage(cp) != 0; }

// A capacity of 0 would ask Windows for the size needed and a length of -1
// would mean "up to a 0 byte": neither is a conversion.
int32_t to_units(uint32_t cp, const uint8_t *in, int32_t len, uint16_t *out, int32_t cap) noexcept {
    if (len <= 0 || cap <= 0) return 0;
    return MultiByteToWideChar(cp, 0, reinterpret_cast<LPCCH>(in), len, reinterpret_cast<LPWSTR>(out), cap);
}

int32_t to_bytes(uint32_t cp, const uint16_t *in, int32_t count, uint8_t *out, int32_t cap) noexcept {
    if (count <= 0 || cap <= 0) return 0;
    return WideCharToMultiByte(cp, 0, reinterpret_cast<LPCWCH>(in), count, reinterpret_cast<LPSTR>(out), cap,
                               nullptr, nullptr);
}

}  // namespace codepage
}  // namespace orbek
