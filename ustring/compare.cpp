// Comparison in code-point order, concatenation, substrings and search.
#include "ustring/compare.h"

#include <string.h>

static const char kOrbekSource[] = "ORBEK_UString_Compare";

namespace orbek {
namespace ustr {

int32_t char_start(const orbek_ustring *s, int32_t k) noexcept {
    if (k < 0 || k > s->charcount) {
        // The last character's first unit.
        int32_t i = s->length - 1;
        if (i > 0 && is_low(s->units[i])) --i;
        return i < 0 ? 0 : i;
    }
    if (!s->supplementary) return k;
    const uint16_t *u = s->units;
    int32_t i = 0;
    for (; k > 0; --k) i += is_high(u[i]) ? 2 : 1;
    return i;
}

int32_t char_count(const uint16_t *units, int32_t i, int32_t j) noexcept {
    int32_t n = 0;
    for (; i < j; ++i) n += !is_low(units[i]);
    return n;
}

}  // namespace ustr
}  // namespace orbek

using namespace orbek::ustr;

namespace {

// Moves the surrogates above U+E000..U+FFFF so that units compare in the
// order of the code points they belong to.
inline uint32_t cp_order(uint32_t u) noexcept {
    if (u < 0xD800) return u;
    return u >= 0xE000 ? u - 0x800 : u + 0x2000;
}

// Compares n units of two well-formed strings in code-point order.
int32_t cmp_units(const uint16_t *a, const uint16_t *b, int32_t n) noexcept {
    int32_t i = 0;
    // Skip the common prefix a word at a time.
    while (n - i >= 4 && memcmp(a + i, b + i, 8) == 0) i += 4;
    for (; i < n; ++i) {
        if (a[i] != b[i]) return cp_order(a[i]) < cp_order(b[i]) ? -1 : 1;
    }
    return 0;
}

// Compares the first ea units of a with the first eb units of b: the first
// difference decides, else the longer stretch is greater.
int32_t cmp_stretch(const orbek_ustring *a, int32_t ea, const orbek_ustring *b, int32_t eb) noexcept {
    int32_t c = cmp_units(a->units, b->units, ea < eb ? ea : eb);
    if (c) return c;
    return ea == eb ? 0 : ea < eb ? -1 : 1;
}

}  // namespace

ORBEK_EXPORT int32_t orbek_ustring_cmp(const orbek_ustring *a, const orbek_ustring *b) noexcept {
    if (a == b) return 0;
    if (!a) return -1;
    if (!b) return 1;
    return cmp_stretch(a, a->length, b, b->length);
}

ORBEK_EXPORT int32_t orbek_ustring_ncmp(const orbek_ustring *a, const orbek_ustring *b, int32_t n) noexcept {
    if (!a) return b ? -1 : 0;
    if (!b) return 1;
    if (n == 0 || a == b) return 0;
    if (n < 0) return orbek_ustring_cmp(a, b);
    // Exactly the first n characters of each (all of a shorter string).
    int32_t ea = n >= a->charcount ? a->length : char_start(a, n);
    int32_t eb = n >= b->charcount ? b->length : char_start(b, n);
    return cmp_stretch(a, ea, b, eb);
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_cat(orbek_ustring *a, orbek_ustring *b) noexcept {
    if (!a) return orbek_ustring_dup(b);
    if (!b) return orbek_ustring_dup(a);
    int64_t length = (int64_t)a->length + b->length;
    if (length >= INT32_MAX) return nullptr;
    uint16_t *units = alloc_units(length + 1);
    if (!units) return nullptr;
    memcpy(units, a->units, (size_t)a->length * 2);
    memcpy(units + a->length, b->units, (size_t)b->length * 2);
    int32_t pairs = (a->length - a->charcount) + (b->length - b->charcount);
    return adopt(units, (int32_t)length, pairs);
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_substring(const orbek_ustring *s, int32_t start, int32_t count) noexcept {
    if (!s || start < 0 || start >= s->charcount || count == 0) return nullptr;
    int32_t left = s->charcount - start;
    if (count < 0 || count > left) count = left;
    int32_t i = char_start(s, start), j = char_start(s, start + count);
    return from_valid(s->units + i, j - i, (j - i) - count);
}

ORBEK_EXPORT int32_t orbek_ustring_find(const orbek_ustring *s, int32_t start, const orbek_ustring *pattern,
                                        int32_t *pos) noexcept {
    if (!s || !pattern || !pos || start < 0 || start >= s->charcount) return 0;
    if (pattern->length == 0) {
        *pos = start;
        return 1;
    }
    if (pattern == s) {
        *pos = start == 0 ? 0 : -1;
        return start == 0;
    }
    *pos = -1;
    if (s->charcount - start < pattern->charcount) return 0;

    // Knuth-Morris-Pratt over the units: in well-formed text a unit match
    // cannot start inside a surrogate pair, so it is a code-point match.
    const uint16_t *p = pattern->units;
    int32_t m = pattern->length;
    int32_t *next = ORBEK_ALLOC_T(int32_t, (size_t)m + 1);
    if (!next) return 0;
    next[0] = -1;
    for (int32_t i = 0, j = -1; i < m;) {
        while (j > -1 && p[i] != p[j]) j = next[j];
        ++i;
        ++j;
        next[i] = p[i] == p[j] ? next[j] : j;  // p[m] is the terminating 0
    }
    int32_t from = char_start(s, start);
    const uint16_t *t = s->units + from;
    int32_t n = s->length - from, j = 0, k = 0, found = -1;
    while (k < n) {
        while (j > -1 && p[j] != t[k]) j = next[j];
        ++j;
        ++k;
        if (j == m) {
            found = k - m;
            break;
        }
    }
    ORBEK_FREE(next);
    if (found < 0) return 0;
    *pos = start + char_count(t, 0, found);
    return 1;
}
