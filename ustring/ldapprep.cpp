// LDAP string preparation: map, fold, normalize, prohibit, drop right-to-left
// characters and handle insignificant spaces (and hyphens) by matching rule.
#include "ustring/prep.h"

using namespace orbek::prep;
namespace ustr = orbek::ustr;

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
    // U+0020.
    UnitBuf buf;
    if (!buf.reserve(s->length)) return nullptr;
    const uint16_t *u = s->units;
    for (int32_t i = 0, n = s->length; i < n;) {
        uint32_t cp = 0;
        int used = ustr::decode_cp(u + i, n - i, &cp);
        const MapEntry *m = ldap_map(cp);
        if (!m)
            buf.append(u + i, used);
        else if (m->repl)
            buf.push_unit((uint16_t)m->repl);
        i += used;
    }
    orbek_ustring *text = buf.take();
    if (!text) return nullptr;

    if (type == kCaseIgnore || type == kNumeric || type == kCaseIgnoreTelephone) {
        orbek_ustring *folded = orbek_ustring_tocasefold(text, 2);
        orbek_ustring_free(text);
        if (!folded) return nullptr;
        text = folded;
    }
    orbek_ustring *norm = orbek_ustring_normalize(text, 4);
    orbek_ustring_free(text);
    if (!norm) return nullptr;

    // Prohibit, and drop the right-to-left characters.
    UnitBuf kept;
    bool ok = kept.reserve(norm->length);
    u = norm->units;
    for (int32_t i = 0, n = norm->length; ok && i < n;) {
        uint32_t cp = 0;
        int used = ustr::decode_cp(u + i, n - i, &cp);
        if (ldap_prohibited(cp))
            ok = false;
        else if (!is_randal(cp))
            kept.append(u + i, used);
        i += used;
    }
    orbek_ustring_free(norm);
    if (!ok) return nullptr;

    UnitBuf out;
    if (type == kExact || type == kCaseIgnore)
        ok = general_spaces(kept.units(), kept.length(), &out);
    else
        ok = drop_spaces(kept.units(), kept.length(), type != kNumeric, &out);
    return ok ? out.take() : nullptr;
}
