// Internationalized domain names: label and name ToASCII and ToUnicode over
// nameprep and Punycode, with the host-name rules and the wildcard flag.
#include <string.h>

#include "ustring/prep.h"

static const char kOrbekSource[] = "ORBEK_UString_IDN";

using namespace orbek::prep;
namespace ustr = orbek::ustr;

namespace {

// Outcome of the label conversions: done, refused (ToASCII fails, ToUnicode
// keeps the label), or out of memory.
enum Outcome { kRefused = 0, kDone = 1, kNoMemory = -1 };

// ToASCII results are at most this long.
constexpr int32_t kMaxLabel = 63;

struct Flags {
    bool allow_unassigned;
    bool std3;
    bool wildcard;
};

inline bool is_separator(uint32_t u) noexcept { return u == 0x2E || u == 0x3002 || u == 0xFF0E || u == 0xFF61; }

bool all_ascii(const uint16_t *u, int32_t n) noexcept {
    uint32_t any = 0;
    for (int32_t i = 0; i < n; ++i) any |= u[i];
    return any < 0x80;
}

// "xn--", the letters in either case.
inline bool ace_prefix(const uint16_t *u, int32_t n) noexcept {
    return n >= 4 && (u[0] | 0x20) == 'x' && (u[1] | 0x20) == 'n' && u[2] == '-' && u[3] == '-';
}

// Letters, digits and hyphens only ("*" too with the wildcard flag), and no
// hyphen at either end.
bool host_name_ok(const uint16_t *u, int32_t n, bool wildcard) noexcept {
    if (n > 0 && (u[0] == '-' || u[n - 1] == '-')) return false;
    for (int32_t i = 0; i < n; ++i) {
        if (wildcard && u[i] == '*') continue;
        if (in_list16(kNonLdhAscii, kNonLdhAsciiCount, u[i])) return false;
    }
    return true;
}

// Steps after nameprep: the host-name rules, then either the ASCII label
// itself or "xn--" and its Punycode form, 1 to 63 characters, into out.
Outcome finish_ascii(const uint16_t *u, int32_t n, Flags f, char *out, int32_t *outlen) noexcept {
    if (f.std3 && !host_name_ok(u, n, f.wildcard)) return kRefused;
    if (all_ascii(u, n)) {
        if (n < 1 || n > kMaxLabel) return kRefused;
        for (int32_t i = 0; i < n; ++i) out[i] = (char)u[i];
        *outlen = n;
        return kDone;
    }
    if (ace_prefix(u, n)) return kRefused;
    uint32_t cps[kMaxLabel];
    int32_t count = 0;
    for (int32_t i = 0; i < n; ++count) {
        if (count == kMaxLabel) return kRefused;
        i += ustr::decode_cp(u + i, n - i, &cps[count]);
    }
    // "xn--" and the Punycode form, which must fit the 63 characters.
    // Sixty-three code points cannot overflow the encoder's deltas.
    uint16_t ace[kMaxLabel];
    static const uint16_t kPrefix[] = {'x', 'n', '-', '-'};
    memcpy(ace, kPrefix, sizeof kPrefix);
    int32_t len = punycode_encode_to(cps, count, ace + 4, kMaxLabel - 4);
    if (len < 0) return kRefused;
    for (int32_t i = 0; i < len + 4; ++i) out[i] = (char)ace[i];
    *outlen = len + 4;
    return kDone;
}

// Label ToASCII into out (room for 63 bytes).  An all-ASCII label skips
// nameprep, so its letters keep their case.
Outcome label_to_ascii(const uint16_t *u, int32_t n, Flags f, char *out, int32_t *outlen) noexcept {
    if (n == 0) return kRefused;
    if (all_ascii(u, n)) return finish_ascii(u, n, f, out, outlen);
    orbek::unorm::WorkBuf prepared;
    int r = nameprep(u, n, f.allow_unassigned, &prepared);
    if (r != 1) return r < 0 ? kNoMemory : kRefused;
    Outcome done = finish_ascii(prepared.units, prepared.length, f, out, outlen);
    orbek::unorm::wb_release(&prepared);
    return done;
}

// Label ToUnicode: kDone with the decoded label in *decoded, or kRefused
// when the label stands as given.
Outcome label_to_unicode(const uint16_t *u, int32_t n, Flags f, orbek_ustring **decoded) noexcept {
    *decoded = nullptr;
    if (n == 0) return kRefused;
    orbek::unorm::WorkBuf prepared = {};
    if (!all_ascii(u, n)) {
        int r = nameprep(u, n, f.allow_unassigned, &prepared);
        if (r != 1) return r < 0 ? kNoMemory : kRefused;
        u = prepared.units;
        n = prepared.length;
    }
    Outcome r = kRefused;
    // The re-encoding of an ACE label is at most 63 characters long and
    // must match it exactly, so a longer label is not decoded at all.
    if (n >= 5 && n <= kMaxLabel && ace_prefix(u, n) && all_ascii(u, n)) {
        bool oom;
        orbek_ustring *d = punycode_decode(u + 4, n - 4, &oom);
        if (!d) {
            r = oom ? kNoMemory : kRefused;
        } else {
            char again[kMaxLabel];
            int32_t len = 0;
            r = label_to_ascii(d->units, d->length, f, again, &len);
            if (r == kDone) {
                // The label may spell its letters in either case; the
                // re-encoding is what ToASCII makes of the decoded text.
                bool same = len == n;
                for (int32_t i = 0; same && i < n; ++i) {
                    uint32_t c = u[i] >= 'A' && u[i] <= 'Z' ? u[i] + 0x20 : u[i];
                    same = c == (uint8_t)again[i];
                }
                r = same ? kDone : kRefused;
            }
            if (r == kDone)
                *decoded = d;
            else
                orbek_ustring_free(d);
        }
    }
    orbek::unorm::wb_release(&prepared);
    return r;
}

Flags flags_of(uint32_t allow_unassigned, uint32_t use_std3, uint32_t wildcard) noexcept {
    return Flags{allow_unassigned != 0, use_std3 != 0, wildcard != 0};
}

// A growable byte buffer through the allocation hooks, with room kept for
// a terminating 0.
class ByteBuf {
public:
    ~ByteBuf() noexcept { ORBEK_FREE(bytes_); }
    bool append(const char *p, int32_t n) noexcept {
        int64_t need = (int64_t)len_ + n + 1;
        if (need > cap_) {
            int64_t cap = (int64_t)cap_ * 2;
            if (cap < need) cap = need;
            if (cap > INT32_MAX) return false;
            char *grown = static_cast<char *>(ORBEK_ALLOC((size_t)cap));
            if (!grown) return false;
            if (len_) memcpy(grown, bytes_, (size_t)len_);
            ORBEK_FREE(bytes_);
            bytes_ = grown;
            cap_ = (int32_t)cap;
        }
        memcpy(bytes_ + len_, p, (size_t)n);
        len_ += n;
        return true;
    }
    // Hands the 0-terminated bytes to the caller.
    char *take(int32_t *len) noexcept {
        if (!bytes_) return nullptr;
        bytes_[len_] = 0;
        *len = len_;
        char *b = bytes_;
        bytes_ = nullptr;
        return b;
    }

private:
    char *bytes_ = nullptr;
    int32_t len_ = 0;
    int32_t cap_ = 0;
};

}  // namespace

ORBEK_EXPORT int32_t orbek_ustring_idnlabel_toascii(const orbek_ustring *label, uint32_t allow_unassigned,
                                                    uint32_t use_std3, uint32_t wildcard, char **ascii,
                                                    int32_t *len) noexcept {
    if (ascii) *ascii = nullptr;
    if (len) *len = 0;
    if (!label || label->length == 0 || !ascii || !len) return 0;
    char out[kMaxLabel];
    int32_t n = 0;
    if (label_to_ascii(label->units, label->length, flags_of(allow_unassigned, use_std3, wildcard), out, &n) != kDone)
        return 0;
    char *copy = static_cast<char *>(ORBEK_ALLOC((size_t)n + 1));
    if (!copy) return 0;
    memcpy(copy, out, (size_t)n);
    copy[n] = 0;
    *ascii = copy;
    *len = n;
    return 1;
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_idnlabel_tounicode(orbek_ustring *label, uint32_t allow_unassigned,
                                                            uint32_t use_std3, uint32_t wildcard) noexcept {
    if (!label) return nullptr;
    orbek_ustring *decoded;
    if (label_to_unicode(label->units, label->length, flags_of(allow_unassigned, use_std3, wildcard), &decoded) ==
        kDone)
        return decoded;
    return orbek_ustring_dup(label);
}

ORBEK_EXPORT int32_t orbek_ustring_idn_toascii(const orbek_ustring *name, uint32_t allow_unassigned, uint32_t use_std3,
                                               uint32_t wildcard, char **ascii, int32_t *len) noexcept {
    if (ascii) *ascii = nullptr;
    if (len) *len = 0;
    if (!name || name->length == 0 || !ascii || !len) return 0;
    Flags f = flags_of(allow_unassigned, use_std3, wildcard);
    const uint16_t *u = name->units;
    int32_t n = name->length;
    ByteBuf out;
    char label[kMaxLabel];
    for (int32_t start = 0, i = 0; i <= n; ++i) {
        // Separators are BMP characters, never part of a surrogate pair.
        bool end = i == n;
        if (!end && !is_separator(u[i])) continue;
        // An empty label: a separator at the start, two in a row, or one at
        // the end.
        if (i == start) return 0;
        int32_t k = 0;
        if (label_to_ascii(u + start, i - start, f, label, &k) != kDone) return 0;
        if (!out.append(label, k) || (!end && !out.append(".", 1))) return 0;
        start = i + 1;
    }
    *ascii = out.take(len);
    return 1;
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_idn_tounicode(orbek_ustring *name, uint32_t allow_unassigned,
                                                       uint32_t use_std3, uint32_t wildcard) noexcept {
    if (!name) return nullptr;
    const uint16_t *u = name->units;
    int32_t n = name->length;
    if (n == 0) return orbek_ustring_dup(name);
    Flags f = flags_of(allow_unassigned, use_std3, wildcard);
    UnitBuf out;
    if (!out.reserve(n)) return orbek_ustring_dup(name);
    for (int32_t start = 0, i = 0; i <= n; ++i) {
        bool end = i == n;
        if (!end && !is_separator(u[i])) continue;
        if (i == start) return orbek_ustring_dup(name);
        orbek_ustring *decoded;
        Outcome r = label_to_unicode(u + start, i - start, f, &decoded);
        if (r == kNoMemory) return orbek_ustring_dup(name);
        bool ok = r == kDone ? out.append(decoded->units, decoded->length) : out.append(u + start, i - start);
        orbek_ustring_free(decoded);
        if (!ok || (!end && !out.push_unit('.'))) return orbek_ustring_dup(name);
        start = i + 1;
    }
    orbek_ustring *s = out.take();
    return s ? s : orbek_ustring_dup(name);
}
