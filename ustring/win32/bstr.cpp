// BSTRs from OLE automation.  OLECHAR is a 16-bit wchar_t on Windows.
#include <windows.h>
#include <oleauto.h>

#include "ustring/bstr.h"

static_assert(sizeof(OLECHAR) == sizeof(uint16_t), "OLECHAR is a UTF-16 unit");

namespace orbek {
namespace bstr {

int64_t byte_len(const uint16_t *b) noexcept {
    return SysStringByteLen(reinterpret_cast<BSTR>(const_cast<uint16_t *>(b)));
}

uint16_t *alloc_len(const uint16_t *units, int32_t count) noexcept {
    if (count < 0) return nullptr;
    return reinterpret_cast<uint16_t *>(SysAllocStringLen(reinterpret_cast<const OLECHAR *>(units), (UINT)count));
}

void release(uint16_t *b) noexcept { SysFreeString(reinterpret_cast<BSTR>(b)); }

}  // namespace bstr
}  // namespace orbek
