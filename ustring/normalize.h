// Normalization and case folding: the table lookups, the quick check and the
// work buffer with its steps (decompose, reorder, compose, fold), shared with
// string preparation and IDN.  Internal: not installed.
#ifndef ORBEK_USTRING_NORMALIZE_H
#define ORBEK_USTRING_NORMALIZE_H

#include <stdint.h>

#include "ustring/tables/unicode_norm.h"
#include "ustring/ustring.h"

namespace orbek {
namespace unorm {

// Form codes and case-folding modes of the interface.
constexpr int32_t kNfd = 1;
constexpr int32_t kNfc = 2;
constexpr int32_t kNfkd = 3;
constexpr int32_t kNfkc = 4;
constexpr int32_t kFoldFull = 1;
constexpr int32_t kFoldNfkc = 2;

// Quick-check answers.
constexpr int kQcYes = 0;
constexpr int kQcNo = 1;
constexpr int kQcMaybe = 2;

// The property word of a code point (combining class and flags).
inline uint16_t props(uint32_t cp) noexcept {
    if (cp > 0x10FFFFu) return 0;
    return kPropBlocks[(uint32_t)kPropStage1[cp >> kPropShift] << kPropShift | (cp & kPropMask)];
}

// The canonical combining class; 0 for a code point that has none.
inline uint32_t combining_class(uint32_t cp) noexcept { return props(cp) & 0xFFu; }

// The record of a code point in one of the mapping tables, or null.
const MapRec *find_canonical(uint32_t cp) noexcept;
const MapRec *find_compat(uint32_t cp) noexcept;
const MapRec *find_casefold(uint32_t cp) noexcept;
const MapRec *find_nfkc_closure(uint32_t cp) noexcept;
inline const uint32_t *mapping(const MapRec *r) noexcept { return kMappingPool + r->off; }

// Whether cp is on the composition exclusion list.
bool is_excluded(uint32_t cp) noexcept;

// The composite of a starter and the character after it (the composition
// table less its exclusions, then the Hangul LV and LVT rules), or 0.
uint32_t compose_pair(uint32_t first, uint32_t second) noexcept;

// The quick check of length units for a form (1..4): kQcYes, kQcNo or
// kQcMaybe (kQcMaybe only for the composed forms).
int quick_check(const uint16_t *units, int32_t length, int32_t form) noexcept;

// The mutable string the steps edit.  The unit array belongs to the buffer
// until wb_finish hands it to a string.
struct WorkBuf {
    uint16_t *units;
    int32_t length;     // units in use
    int32_t capacity;   // units allocated
    int32_t cursor;     // unit index of the character being processed
    int32_t charcount;  // set by reorder and wb_finish
};

// An empty buffer for about `request` units: capacity request - request % 8
// + 16.  False (nothing allocated) when that would reach 2^31 bytes or the
// allocation fails.
bool wb_init(WorkBuf *wb, int32_t request) noexcept;
// A buffer holding a copy of length units, asked for length + 32.
bool wb_init_copy(WorkBuf *wb, const uint16_t *units, int32_t length) noexcept;
// Releases the unit array (if any) and clears the buffer.
void wb_release(WorkBuf *wb) noexcept;
// Appends one code point (not a surrogate, at most U+10FFFF), growing by
// about 1024 units when fewer than 4 are free.
bool wb_append(WorkBuf *wb, uint32_t cp) noexcept;
// Replaces the character of u units at the cursor by k code points and
// leaves the cursor after them.
bool wb_replace(WorkBuf *wb, int32_t u, const uint32_t *cps, int32_t k) noexcept;

// The steps.  Each works on the whole buffer and leaves the cursor at its
// end; on failure (allocation only) the buffer keeps a valid array that
// wb_release frees, its contents unspecified.
//   decompose: full recursive decomposition, canonical only or also with
//              the compatibility mappings, Hangul syllables into jamo;
//   reorder:   canonical ordering of every run of non-starters; sets the
//              character count;
//   compose:   canonical composition (needs a decomposed, ordered buffer);
//   fold:      case folding (mode 1), plus the NFKC closure (mode 2), each
//              mapping applied once.
bool decompose(WorkBuf *wb, bool compat) noexcept;
bool reorder(WorkBuf *wb) noexcept;
bool compose(WorkBuf *wb) noexcept;
bool fold(WorkBuf *wb, int32_t mode) noexcept;

// Counts the buffer's characters and hands its array to a new string; the
// buffer is left empty.  Null on allocation failure, the array released.
orbek_ustring *wb_finish(WorkBuf *wb) noexcept;

}  // namespace unorm
}  // namespace orbek

#endif
