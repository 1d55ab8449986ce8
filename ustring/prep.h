// String preparation and IDN: table lookups, a growable unit buffer, the
// Punycode transform and nameprep, shared by ustring/idn.cpp and
// ustring/ldapprep.cpp.  Internal: not installed.
#ifndef ORBEK_USTRING_PREP_H
#define ORBEK_USTRING_PREP_H

#include <stdint.h>

#include "ustring/normalize.h"
#include "ustring/prep_tables.h"
#include "ustring/ustring.h"

namespace orbek {
namespace prep {

// Membership tests, each a binary search (orbek_bsearch) after a bounds
// check that settles most text without one.
bool in_ranges(const Range *table, int32_t count, uint32_t cp) noexcept;
bool in_list(const uint32_t *table, int32_t count, uint32_t cp) noexcept;
bool in_list16(const uint16_t *table, int32_t count, uint32_t unit) noexcept;

inline bool is_randal(uint32_t cp) noexcept { return cp >= 0x5BE && in_ranges(kRandAL, kRandALCount, cp); }
inline bool is_mark(uint32_t cp) noexcept { return cp >= 0x300 && in_ranges(kMarks, kMarksCount, cp); }
// Assigned and not left-to-right.
inline bool is_non_l(uint32_t cp) noexcept { return in_ranges(kNonL, kNonLCount, cp); }
inline bool is_display(uint32_t cp) noexcept {
    return cp >= 0x340 && in_list(kDisplayProperty, kDisplayPropertyCount, cp);
}

// Unassigned in Unicode 5.0: the list, or one of the blocks that were wholly
// unassigned (planes 3 to 13 without their two non-characters included).
bool is_unassigned(uint32_t cp) noexcept;

// Private use, or a non-character (U+FDD0..U+FDEF and every code point
// whose low 16 bits are FFFE or FFFF).
inline bool is_private_or_nonchar(uint32_t cp) noexcept {
    return (cp >= 0xE000 && cp <= 0xF8FF) || (cp >= 0xF0000 && cp <= 0xFFFFD) || (cp >= 0x100000 && cp <= 0x10FFFD) ||
           (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp >= 0xFFFE && (cp & 0xFFFE) == 0xFFFE);
}

// A growable UTF-16 buffer through the allocation hooks.  It always keeps
// room for a terminating 0 after the units, so that take() can hand the
// array to a string without copying.
class UnitBuf {
public:
    UnitBuf() noexcept = default;
    UnitBuf(const UnitBuf &) = delete;
    UnitBuf &operator=(const UnitBuf &) = delete;
    ~UnitBuf() noexcept;

    // Room for n more units (and the terminator); false on allocation
    // failure or when the size would not fit 32 bits.
    bool reserve(int64_t n) noexcept;
    bool push_unit(uint16_t u) noexcept {
        if (len_ + 1 >= cap_ && !reserve(1)) return false;
        units_[len_++] = u;
        return true;
    }
    // A scalar value as one or two units.
    bool push_cp(uint32_t cp) noexcept;
    bool append(const uint16_t *u, int32_t n) noexcept;
    // Removes everything, keeping the array.
    void clear() noexcept { len_ = pairs_ = 0; }

    const uint16_t *units() const noexcept { return units_; }
    int32_t length() const noexcept { return len_; }
    // A new string made of the units (the buffer's array, no copy); the
    // buffer is left empty.  Null on allocation failure.
    orbek_ustring *take() noexcept;

private:
    uint16_t *units_ = nullptr;
    int32_t len_ = 0;
    int32_t cap_ = 0;
    int32_t pairs_ = 0;
};

// Punycode with base 36, tmin 1, tmax 26, skew 38, damp 700, initial bias
// 72 and initial n 128.
//
// punycode_encode appends the encoding of count code points (the basic ones
// first, then "-" when there were any, then the deltas) to out.  False on
// allocation failure, or when a delta would overflow 32 bits (labels the
// library encodes are far too short for that).
bool punycode_encode(const uint32_t *cps, int32_t count, UnitBuf *out) noexcept;
// The same into a caller's array of cap units: the length written, or -1
// when the encoding does not fit (or a delta would overflow).
int32_t punycode_encode_to(const uint32_t *cps, int32_t count, uint16_t *out, int32_t cap) noexcept;
// punycode_decode reads count units (one code point each: anything outside
// ASCII fails anyway) and gives the decoded string, or null when the input
// is malformed, decodes to a surrogate or a value above U+10FFFF, or memory
// runs out (*oom then set).  Arithmetic wraps at 32 bits without a test, as
// the callers compare the result's re-encoding with the input.
orbek_ustring *punycode_decode(const uint16_t *units, int32_t count, bool *oom) noexcept;

// Case folding with the NFKC closure (when fold is set), then NFKC (unless
// the quick check says the text is already in it), on a filled work
// buffer.  False on allocation failure; the buffer is then still released
// by the caller.
bool fold_nfkc(unorm::WorkBuf *wb, bool fold) noexcept;

// Nameprep of a label into *wb: mapped-to-nothing characters deleted, case
// folded (with the NFKC closure), NFKC, then the prohibited, bidirectional
// and (unless allowed) unassigned checks.  1 when the label passes (the
// caller releases wb), 0 when a check fails, -1 when memory runs out (wb
// holds nothing in both cases).
int nameprep(const uint16_t *units, int32_t count, bool allow_unassigned, unorm::WorkBuf *wb) noexcept;

}  // namespace prep
}  // namespace orbek

#endif
