// LDAP string preparation: map, fold, normalize, prohibit, drop right-to-left
// characters and handle insignificant spaces (and hyphens) by matching rule.
#include "ustring/prep.h"

using namespace orbek::prep;
namespace ustr = orbek::ustr;
namespace unorm = orbek::unorm;

namespace {

enum Type { kExact = 0, kCaseIgnore = 1, kNumeric = 3, kTelephone = 4, kCaseIgnoreTelephone = 5 };

int32_t cmp_map(const void *key, const void *element) {
    uint32_t cp = *static_cast<const uint32_t *>(key), b = static_cast<const MapEntry *>(element)->cp;
    return cp < b ? -1 : cp > b ? 1 : 0;
}

// The map entry of cp, or null.  Every mapped code point is a control, a
// space or a format character, so ordinary letters skip the search.
const MapEntry *ldap_map(uint32_t cp) noexcept {
    if ((cp >= 0x21 && cp < 0x7F) || cp > kLdapMap[kLdapMapCount - 1].cp) return nullptr;
    int32_t at;
    return orbek_bsearch(&cp, kLdapMap, kLdapMapCount, sizeof(MapEntry), cmp_map, &at) ? &kLdapMap[at] : nullptr;
}

bool ldap_prohibited(uint32_t cp) noexcept {
    if (cp < 0x80) return false;
    return cp == 0xFFFD || is_private_or_nonchar(cp) || is_display(cp) || is_unassigned(cp);
}

inline bool removable(uint32_t cp, bool hyphens) noexcept {
    return cp == 0x20 || (hyphens && cp >= 0x2D && in_list(kHyphens, kHyphensCount, cp));
}

// Spaces for the string and case-ignore rules: a string of spaces only (or
// nothing) becomes two spaces; otherwise the text is trimmed, each inner run
// of spaces becomes two, and one space goes at each end.
bool general_spaces(const uint16_t *u, int32_t n, UnitBuf *out) noexcept {
    int32_t lo = 0, hi = n;
    while (lo < hi && u[lo] == 0x20) ++lo;
    while (hi > lo && u[hi - 1] == 0x20) --hi;
    if (!out->reserve(2 * (int64_t)(hi - lo) + 2) || !out->push_unit(0x20)) return false;
    for (int32_t i = lo; i < hi; ++i) {
        if (u[i] != 0x20) {
            out->push_unit(u[i]);
            continue;
        }
        if (u[i - 1] != 0x20) {
            out->push_unit(0x20);
            out->push_unit(0x20);
        }
    }
    // With nothing left between the two spaces, the result is exactly two.
    return out->push_unit(0x20);
}

// Spaces (and for telephone numbers hyphens) for the numeric and telephone
// rules: each goes, unless a combining mark follows it.
bool drop_spaces(const uint16_t *u, int32_t n, bool hyphens, UnitBuf *out) noexcept {
    if (!out->reserve(n)) return false;
    for (int32_t i = 0; i < n;) {
        uint32_t cp = 0, next = 0;
        int used = ustr::decode_cp(u + i, n - i, &cp);
        bool keep = !removable(cp, hyphens) || (i + used < n && (ustr::decode_cp(u + i + used, n - i - used, &next),
                                                                 is_mark(next)));
        if (keep) out->append(u + i, used);
        i += used;
    }
    return true;
}

}  // namespace

ORBEK_EXPORT orbek_ustring *orbek_ustring_ldapi18nstringprep(int32_t type, const orbek_ustring *s) noexcept {
    if (!s || (type != kExact && type != kCaseIgnore && type != kNumeric && type != kTelephone &&
               type != kCaseIgnoreTelephone))
        return nullptr;

    // Map: controls and format characters go, the other spaces become
    // U+0020.  The result is never longer than the input.
    unorm::WorkBuf wb;
    if (!unorm::wb_init(&wb, s->length > INT32_MAX - 32 ? -1 : s->length + 32)) return nullptr;
    const uint16_t *u = s->units;
    int32_t len = 0;
    for (int32_t i = 0, n = s->length; i < n;) {
        uint32_t cp = 0;
        int used = ustr::decode_cp(u + i, n - i, &cp);
        const MapEntry *m = ldap_map(cp);
        if (!m)
            for (int k = 0; k < used; ++k) wb.units[len++] = u[i + k];
        else if (m->repl)
            wb.units[len++] = (uint16_t)m->repl;
        i += used;
    }
    wb.length = len;

    // Fold (for the case-ignoring rules) and normalize; then prohibit, and
    // drop the right-to-left characters in place.
    bool ok = fold_nfkc(&wb, type == kCaseIgnore || type == kNumeric || type == kCaseIgnoreTelephone);
    len = 0;
    for (int32_t i = 0, n = wb.length; ok && i < n;) {
        uint32_t cp = 0;
        int used = ustr::decode_cp(wb.units + i, n - i, &cp);
        if (ldap_prohibited(cp))
            ok = false;
        else if (!is_randal(cp))
            for (int k = 0; k < used; ++k) wb.units[len++] = wb.units[i + k];
        i += used;
    }

    UnitBuf out;
    if (ok && (type == kExact || type == kCaseIgnore))
        ok = general_spaces(wb.units, len, &out);
    else if (ok)
        ok = drop_spaces(wb.units, len, type != kNumeric, &out);
    unorm::wb_release(&wb);
    return ok ? out.take() : nullptr;
}
