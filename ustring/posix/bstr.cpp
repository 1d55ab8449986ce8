// BSTRs where there is no OLE automation: a block from the allocation hooks
// holding a 4-byte byte count, the units, and a terminating 0 unit.  The
// handle points at the first unit, as an OLE BSTR does.
#include "ustring/bstr.h"

#include <string.h>

#include "core/internal.h"

static const char kOrbekSource[] = "ORBEK_UString";

namespace orbek {
namespace bstr {

namespace {
constexpr size_t kPrefix = 4;
}

int64_t byte_len(const uint16_t *b) noexcept {
    uint32_t bytes;
    memcpy(&bytes, reinterpret_cast<const uint8_t *>(b) - kPrefix, kPrefix);
    return bytes;
}

uint16_t *alloc_len(const uint16_t *units, int32_t count) noexcept {
    if (count < 0) return nullptr;
    int64_t total = (int64_t)kPrefix + (int64_t)count * 2 + 2;
    if (total > INT32_MAX) return nullptr;
    uint8_t *block = static_cast<uint8_t *>(ORBEK_ALLOC((size_t)total));
    if (!block) return nullptr;
    uint32_t bytes = (uint32_t)count * 2;
    memcpy(block, &bytes, kPrefix);
    uint16_t *b = reinterpret_cast<uint16_t *>(block + kPrefix);
    if (count) memcpy(b, units, bytes);
    b[count] = 0;
    return b;
}

void release(uint16_t *b) noexcept {
    if (b) ORBEK_FREE(reinterpret_cast<uint8_t *>(b) - kPrefix);
}

}  // namespace bstr
}  // namespace orbek
