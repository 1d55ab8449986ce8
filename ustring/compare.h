// Character/unit index translations on ustrings, shared by comparison,
// search and IDN.  Internal: not installed.
#ifndef ORBEK_USTRING_COMPARE_H
#define ORBEK_USTRING_COMPARE_H

#include <stdint.h>

#include "ustring/ustring.h"

namespace orbek {
namespace ustr {

// The unit index at which character k begins, for 0 <= k <= the character
// count (k = the count gives the length); for any other k, the index of the
// last character's first unit (0 for the empty string).
int32_t char_start(const orbek_ustring *s, int32_t k) noexcept;

// The code points that begin in units [i, j) (a pair counts once).
int32_t char_count(const uint16_t *units, int32_t i, int32_t j) noexcept;

}  // namespace ustr
}  // namespace orbek

#endif
