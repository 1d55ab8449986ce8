// The system's code-page converters, supplied by the platform layer:
// ustring/win32 calls GetACP, IsValidCodePage, MultiByteToWideChar and
// WideCharToMultiByte; ustring/posix stands the C library's iconv behind the
// same Windows code-page numbers.
#ifndef ORBEK_USTRING_CODEPAGE_H
#define ORBEK_USTRING_CODEPAGE_H

#include <stdint.h>

namespace orbek {
namespace codepage {

// The process's default ANSI code page.
uint32_t ansi() noexcept;

// Whether the system can convert code page cp.
bool valid(uint32_t cp) noexcept;

// Decodes len bytes of code page cp into at most cap UTF-16 units at out
// (MultiByteToWideChar with flags 0).  Returns the units written, or 0 when
// the page is not supported, the input cannot be converted or the result
// does not fit.
int32_t to_units(uint32_t cp, const uint8_t *in, int32_t len, uint16_t *out, int32_t cap) noexcept;

// Encodes count UTF-16 units into at most cap bytes of code page cp
// (WideCharToMultiByte with flags 0 and no default-character arguments:
// characters the page lacks become its default character).  Returns the
// bytes written, or 0 as above.
int32_t to_bytes(uint32_t cp, const uint16_t *in, int32_t count, uint8_t *out, int32_t cap) noexcept;

}  // namespace codepage
}  // namespace orbek

#endif
