// OLE automation strings, supplied by the platform layer: ustring/win32 uses
// OLEAUT32; ustring/posix models a BSTR as a length-prefixed string (a 4-byte
// byte count before the units, a 0 unit after them) taken through the
// allocation hooks.
#ifndef ORBEK_USTRING_BSTR_H
#define ORBEK_USTRING_BSTR_H

#include <stdint.h>

namespace orbek {
namespace bstr {

// The byte length stored with a non-null BSTR (SysStringByteLen).
int64_t byte_len(const uint16_t *b) noexcept;
// A new BSTR holding count units copied from units (SysAllocStringLen);
// null on failure.
uint16_t *alloc_len(const uint16_t *units, int32_t count) noexcept;
// Releases a BSTR (SysFreeString); null is ignored.
void release(uint16_t *b) noexcept;

}  // namespace bstr
}  // namespace orbek

#endif
