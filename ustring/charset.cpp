// Conversions between ustrings and byte strings in a named charset: the
// Unicode forms by name, everything else through the system's code pages or
// a caller's converter.
#include "ustring/charset.h"

#include <stdio.h>
#include <string.h>

#include "ustring/codepage.h"
#include "ustring/ustring.h"

static const char kOrbekSource[] = "ORBEK_UString";

namespace orbek {
namespace charset {

Record resolve(const char *upper) noexcept {
    Record none = {nullptr, 0, 0};
    if (!upper || !*upper) return none;
    if ((upper[0] == 'C' || upper[0] == 'c') && (upper[1] == 'P' || upper[1] == 'p') && upper[2]) {
        uint64_t value = 0;
        const char *p = upper + 2;
        for (; *p >= '0' && *p <= '9'; ++p) {
            // Digits past 32 bits name no page; the value sticks at the
            // largest one, which no system converts.
            value = value * 10 + (uint64_t)(*p - '0');
            if (value > UINT32_MAX) value = UINT32_MAX;
        }
        if (!*p) {
            uint32_t cp = (uint32_t)value;
            if (cp == 936 && codepage::valid(54936)) cp = 54936;
            return Record{upper, cp, cp};
        }
    }
    int32_t lo = 0, hi = kTableSize;
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        int c = strcmp(kTable[mid].name, upper);  // compares unsigned bytes
        if (c == 0) return kTable[mid];
        if (c < 0) lo = mid + 1;
        else hi = mid;
    }
    return none;
}

}  // namespace charset
}  // namespace orbek

using namespace orbek;
using namespace orbek::ustr;

namespace {

// The registered converters: plain globals that a host sets before other
// threads convert.
void *g_mbs_user = nullptr;
orbek_mbstowcs_func g_mbs_func = nullptr;
void *g_wcs_user = nullptr;
orbek_wcstombs_func g_wcs_func = nullptr;

// An upper-cased copy of a charset name (only a-z change).  Names that fit
// the inline buffer, which all names of the table do, need no allocation.
class UpperName {
public:
    explicit UpperName(const char *name) noexcept {
        size_t n = strlen(name);
        if (n < sizeof inline_) {
            text_ = inline_;
        } else {
            text_ = static_cast<char *>(ORBEK_ALLOC(n + 1));
            heap_ = text_;
            if (!text_) return;
        }
        for (size_t i = 0; i <= n; ++i) {
            char c = name[i];
            text_[i] = c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
        }
    }
    ~UpperName() { ORBEK_FREE(heap_); }
    UpperName(const UpperName &) = delete;
    UpperName &operator=(const UpperName &) = delete;

    // Null when the copy could not be allocated.
    const char *get() const noexcept { return text_; }
    bool is(const char *s) const noexcept { return strcmp(text_, s) == 0; }

private:
    char inline_[64];
    char *text_ = nullptr;
    char *heap_ = nullptr;
};

// A converter's own count must lie within the capacity it was given.
bool sane(int32_t status, int32_t written, int32_t cap) noexcept {
    return status == 1 && written >= 0 && written <= cap;
}

// Runs one direction of the code-page conversion: the primary page when the
// system has it, then the fallback page, then the registered converter.
// Returns true with *written set on success.
template <typename In, typename Out, typename System, typename Func>
bool convert(const char *upper, const In *in, int32_t len, Out *out, int32_t cap, int32_t *written,
             System system, Func func, void *user) noexcept {
    charset::Record r = charset::resolve(upper);
    auto registered = [&]() {
        if (!func) return false;
        int32_t n = -1;
        int32_t status = func(user, upper, in, len, out, cap, &n);
        if (!sane(status, n, cap)) return false;
        *written = n;
        return true;
    };
    if (r.primary == 0) return registered();
    bool primary_valid = codepage::valid(r.primary);
    if (primary_valid) {
        int32_t n = system(r.primary, in, len, out, cap);
        if (n > 0) {
            *written = n;
            return true;
        }
    }
    if (codepage::valid(r.fallback)) {
        // The same page again would only fail again.
        if (primary_valid && r.fallback == r.primary) return false;
        int32_t n = system(r.fallback, in, len, out, cap);
        if (n <= 0) return false;
        *written = n;
        return true;
    }
    return registered();
}

// Counts the surrogate pairs of count units, or -1 when one stands alone.
// Most text has no surrogate at all, which one branch-free pass (that the
// compiler vectorizes) tells.
int32_t pairs_of(const uint16_t *u, int32_t count) noexcept {
    uint32_t any = 0;
    for (int32_t i = 0; i < count; ++i) any |= (uint32_t)((u[i] & 0xF800u) == 0xD800u);
    if (!any) return 0;
    int32_t pairs = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (!is_surrogate(u[i])) continue;
        if (!is_high(u[i]) || i + 1 >= count || !is_low(u[i + 1])) return -1;
        ++pairs;
        ++i;
    }
    return pairs;
}

// Byte sizes are signed 32-bit: a size that does not fit is an allocation
// failure.
uint8_t *alloc_bytes(int64_t bytes) noexcept {
    if (bytes < 0 || bytes > INT32_MAX) return nullptr;
    return static_cast<uint8_t *>(ORBEK_ALLOC((size_t)bytes));
}

inline uint32_t load_be16(const uint8_t *p) noexcept { return (uint32_t)p[0] << 8 | p[1]; }
inline uint32_t load_le16(const uint8_t *p) noexcept { return (uint32_t)p[1] << 8 | p[0]; }

// UTF-16 in the given byte order; the units then go through the usual
// surrogate check.
orbek_ustring *from_utf16(const uint8_t *bytes, int32_t len, bool big) noexcept {
    if (len & 1) return nullptr;
    int32_t n = len / 2;
    uint16_t *buf = alloc_units((int64_t)n + 1);
    if (!buf) return nullptr;
    for (int32_t i = 0; i < n; ++i) buf[i] = (uint16_t)(big ? load_be16(bytes + 2 * i) : load_le16(bytes + 2 * i));
    int32_t pairs = pairs_of(buf, n);
    if (pairs < 0) {
        ORBEK_FREE(buf);
        return nullptr;
    }
    return adopt(buf, n, pairs);
}

// UTF-32 in the given byte order, through the code-point checks.
orbek_ustring *from_utf32(const uint8_t *bytes, int32_t len, bool big) noexcept {
    if (len & 3) return nullptr;
    if (big) return orbek_ustring_newutf32be(bytes, len);
    int32_t n = len / 4;
    uint16_t *buf = alloc_units((int64_t)n * 2 + 1);
    if (!buf) return nullptr;
    int32_t units = 0, pairs = 0;
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t *p = bytes + 4 * (size_t)i;
        uint32_t cp = (uint32_t)p[3] << 24 | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
        int w = encode_cp(cp, buf + units);
        if (!w) {
            ORBEK_FREE(buf);
            return nullptr;
        }
        units += w;
        pairs += w - 1;
    }
    return adopt(buf, units, pairs);
}

// Through the code pages: a buffer of len + 1 units (no page yields more
// units than bytes, and the converters are held to len).  A result that
// fills most of the buffer keeps it; a much shorter one (double-byte text)
// is copied into a buffer of its own size.
orbek_ustring *from_codepage(const char *upper, const uint8_t *bytes, int32_t len) noexcept {
    uint16_t *buf = alloc_units((int64_t)len + 1);
    if (!buf) return nullptr;
    int32_t n = 0;
    if (!convert(upper, bytes, len, buf, len, &n, codepage::to_units, g_mbs_func, g_mbs_user)) {
        ORBEK_FREE(buf);
        return nullptr;
    }
    int32_t pairs = pairs_of(buf, n);
    if (pairs < 0) {
        ORBEK_FREE(buf);
        return nullptr;
    }
    if ((int64_t)n * 4 >= (int64_t)len * 3) return adopt(buf, n, pairs);
    orbek_ustring *s = from_valid(buf, n, pairs);
    ORBEK_FREE(buf);
    return s;
}

// The UTF-16 forms: each unit as two bytes in the given order, then one 0
// byte.
int32_t to_utf16(const orbek_ustring *s, bool big, uint8_t **bytes, int32_t *len) noexcept {
    uint8_t *buf = alloc_bytes((int64_t)s->length * 2 + 1);
    if (!buf) return 0;
    for (int32_t i = 0; i < s->length; ++i) {
        uint32_t u = s->units[i];
        buf[2 * i + (big ? 0 : 1)] = (uint8_t)(u >> 8);
        buf[2 * i + (big ? 1 : 0)] = (uint8_t)u;
    }
    buf[(size_t)s->length * 2] = 0;
    *bytes = buf;
    *len = s->length * 2;
    return 1;
}

int32_t to_codepage(const orbek_ustring *s, const char *upper, uint8_t **bytes, int32_t *len) noexcept {
    if (s->charcount == 0) {
        // The empty string needs no charset at all.
        uint8_t *buf = alloc_bytes(1);
        if (!buf) return 0;
        buf[0] = 0;
        *bytes = buf;
        return 1;
    }
    int64_t cap = (int64_t)s->charcount * 4;
    uint8_t *buf = alloc_bytes(cap + 1);
    if (!buf) return 0;
    int32_t n = 0;
    if (!convert(upper, s->units, s->length, buf, (int32_t)cap, &n, codepage::to_bytes, g_wcs_func, g_wcs_user)) {
        ORBEK_FREE(buf);
        return 0;
    }
    buf[n] = 0;
    *bytes = buf;
    *len = n;
    return 1;
}

}  // namespace

ORBEK_EXPORT char *orbek_ustring_getdefaultcharset(void) noexcept {
    uint32_t cp = codepage::ansi();
    if (cp == 936 && codepage::valid(54936)) cp = 54936;
    char text[16];
    int n = snprintf(text, sizeof text, "cp%u", (unsigned)cp);
    char *out = static_cast<char *>(::orbek::alloc((size_t)n + 1, "win32\\string", __LINE__));
    if (out) memcpy(out, text, (size_t)n + 1);
    return out;
}

ORBEK_EXPORT int32_t orbek_ustring_setmbstowcscallback(void *user, orbek_mbstowcs_func func) noexcept {
    g_mbs_user = user;
    g_mbs_func = func;
    return 1;
}

ORBEK_EXPORT int32_t orbek_ustring_setwcstombscallback(void *user, orbek_wcstombs_func func) noexcept {
    g_wcs_user = user;
    g_wcs_func = func;
    return 1;
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_newmbs(const char *charset, const uint8_t *bytes, int32_t len) noexcept {
    if (!bytes || len <= 0) return len == 0 ? empty() : nullptr;
    if (!charset || !*charset) return nullptr;
    UpperName name(charset);
    if (!name.get()) return nullptr;
    if (name.is("UTF-8")) return orbek_ustring_newutf8(bytes, len);
    if (name.is("ASCII")) return orbek_ustring_newascii(bytes, len);
    if (name.is("UTF-16BE")) return from_utf16(bytes, len, true);
    if (name.is("UTF-16LE")) return from_utf16(bytes, len, false);
    if (name.is("UTF-32BE")) return from_utf32(bytes, len, true);
    if (name.is("UTF-32LE")) return from_utf32(bytes, len, false);
    return from_codepage(name.get(), bytes, len);
}

ORBEK_EXPORT int32_t orbek_ustring_tombs(const orbek_ustring *s, const char *charset, uint8_t **bytes,
                                         int32_t *len) noexcept {
    if (!s || !charset || !bytes || !len) return 0;
    *bytes = nullptr;
    *len = 0;
    UpperName name(charset);
    if (!name.get()) return 0;
    if (name.is("UTF-8")) return orbek_ustring_toutf8(s, bytes, len);
    if (name.is("ASCII")) {
        for (int32_t i = 0; i < s->length; ++i)
            if (s->units[i] >= 0x80) return 0;
        return orbek_ustring_toutf8(s, bytes, len);
    }
    if (name.is("UTF-16BE")) return to_utf16(s, true, bytes, len);
    if (name.is("UTF-16LE")) return to_utf16(s, false, bytes, len);
    if (name.is("UTF-32BE")) return orbek_ustring_toutf32be(s, bytes, len);
    if (name.is("UTF-32LE")) {
        if (!orbek_ustring_toutf32be(s, bytes, len)) return 0;
        for (int32_t i = 0; i < *len; i += 4) {
            uint8_t *p = *bytes + i;
            uint8_t a = p[0], b = p[1];
            p[0] = p[3];
            p[1] = p[2];
            p[2] = b;
            p[3] = a;
        }
        return 1;
    }
    return to_codepage(s, name.get(), bytes, len);
}
