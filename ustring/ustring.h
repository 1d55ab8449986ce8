// The ustring record and the UTF-16 primitives the Unicode families share.
// Internal: not installed.
#ifndef ORBEK_USTRING_USTRING_H
#define ORBEK_USTRING_USTRING_H

#include <stdint.h>

#include "core/internal.h"

// An immutable, reference-counted string of well-formed UTF-16.  The unit
// buffer always holds length + 1 units, the last one 0.
struct orbek_ustring {
    uint16_t *units;
    int32_t length;         // UTF-16 units, the terminating 0 not counted
    int32_t charcount;      // code points: length minus the surrogate pairs
    int32_t supplementary;  // 1 when at least one surrogate pair is present
    int32_t refcount;       // plain integer: dup and free stay on one thread
};

namespace orbek {
namespace ustr {

inline bool is_surrogate(uint32_t u) noexcept { return (u & 0xF800u) == 0xD800u; }
inline bool is_high(uint32_t u) noexcept { return (u & 0xFC00u) == 0xD800u; }
inline bool is_low(uint32_t u) noexcept { return (u & 0xFC00u) == 0xDC00u; }

// Writes cp as one or two units; 0 when cp is a surrogate or above U+10FFFF.
inline int encode_cp(uint32_t cp, uint16_t *out) noexcept {
    if (cp < 0x10000u) {
        if (is_surrogate(cp)) return 0;
        out[0] = (uint16_t)cp;
        return 1;
    }
    if (cp > 0x10FFFFu) return 0;
    out[0] = (uint16_t)(((cp - 0x10000u) >> 10) | 0xD800u);
    out[1] = (uint16_t)((cp & 0x3FFu) | 0xDC00u);
    return 2;
}

// Reads the code point at u (remaining > 0 units available); returns the
// units consumed, or 0 for a lone surrogate.
inline int decode_cp(const uint16_t *u, int32_t remaining, uint32_t *cp) noexcept {
    uint32_t a = u[0];
    if (!is_surrogate(a)) {
        *cp = a;
        return 1;
    }
    if (is_high(a) && remaining > 1 && is_low(u[1])) {
        *cp = (((a & 0x3FFu) << 10) | (u[1] & 0x3FFu)) + 0x10000u;
        return 2;
    }
    return 0;
}

// A unit buffer with room for `units` units; null when the byte size
// (units × 2, computed in signed 32-bit) would be negative or allocation
// fails.
uint16_t *alloc_units(int64_t units) noexcept;

// Wraps a filled buffer of length units (plus the 0 the function writes
// after them) into a new record.  Takes the buffer in every case: it is
// released when the record cannot be allocated.
orbek_ustring *adopt(uint16_t *units, int32_t length, int32_t pairs) noexcept;

// Copies count units that are known to be well-formed, with pairs pairs.
orbek_ustring *from_valid(const uint16_t *units, int32_t count, int32_t pairs) noexcept;

// A fresh empty string.
orbek_ustring *empty() noexcept;

}  // namespace ustr
}  // namespace orbek

#endif
