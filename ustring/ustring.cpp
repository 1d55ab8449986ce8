// The ustring record: constructors and encoders for UTF-8, UTF-16, UCS-2,
// UTF-32, BSTR and ASCII.
#include "ustring/ustring.h"

#include <string.h>

#include "ustring/bstr.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static const char kOrbekSource[] = "ORBEK_UString";

namespace orbek {
namespace ustr {

uint16_t *alloc_units(int64_t units) noexcept {
    // The byte size is a signed 32-bit quantity: anything that does not fit
    // is an allocation failure, never a truncated request.
    int64_t bytes = units * 2;
    if (units < 0 || bytes > INT32_MAX) return nullptr;
    return static_cast<uint16_t *>(ORBEK_ALLOC((size_t)bytes));
}

orbek_ustring *adopt(uint16_t *units, int32_t length, int32_t pairs) noexcept {
    orbek_ustring *s = ORBEK_ALLOC_T(orbek_ustring, 1);
    if (!s) {
        ORBEK_FREE(units);
        return nullptr;
    }
    units[length] = 0;
    s->units = units;
    s->length = length;
    s->charcount = length - pairs;
    s->supplementary = pairs > 0 ? 1 : 0;
    s->refcount = 1;
    return s;
}

orbek_ustring *from_valid(const uint16_t *units, int32_t count, int32_t pairs) noexcept {
    uint16_t *buf = alloc_units((int64_t)count + 1);
    if (!buf) return nullptr;
    if (count) memcpy(buf, units, (size_t)count * 2);
    return adopt(buf, count, pairs);
}

orbek_ustring *empty() noexcept {
    uint16_t *buf = alloc_units(1);
    return buf ? adopt(buf, 0, 0) : nullptr;
}

}  // namespace ustr
}  // namespace orbek

using namespace orbek::ustr;

namespace {

// Counts the surrogate pairs of count units, or -1 when a surrogate stands
// alone.
int32_t count_pairs(const uint16_t *u, int32_t count) noexcept {
    int32_t pairs = 0;
    for (int32_t i = 0; i < count; ++i) {
        uint32_t a = u[i];
        if (!is_surrogate(a)) continue;
        if (!is_high(a) || i + 1 >= count || !is_low(u[i + 1])) return -1;
        ++pairs;
        ++i;
    }
    return pairs;
}

// The common argument rules of the (data, length) constructors: a negative
// length, or a null pointer with a non-zero length, is refused; a null
// pointer with length 0 gives the empty string.  Returns true when the
// caller should go on decoding.
bool start(const void *data, int32_t len, orbek_ustring **result) noexcept {
    *result = nullptr;
    if (len < 0) return false;
    if (!data) {
        if (len == 0) *result = empty();
        return false;
    }
    return true;
}

inline uint64_t load64(const uint8_t *p) noexcept {
    uint64_t w;
    memcpy(&w, p, 8);
    return w;
}

constexpr uint64_t kHighBits = 0x8080808080808080ull;

// Widens the ASCII run that starts at in[0] into out and returns the number
// of bytes done: whole blocks while they are pure ASCII, then single bytes
// up to the first non-ASCII one.
inline size_t widen_ascii(const uint8_t *in, size_t n, uint16_t *out) noexcept {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    while (n - i >= 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        if (_mm_movemask_epi8(v)) break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_unpackhi_epi8(v, zero));
        i += 16;
    }
#endif
    while (n - i >= 8) {
        if (load64(in + i) & kHighBits) break;
        for (int k = 0; k < 8; ++k) out[i + k] = in[i + k];
        i += 8;
    }
    while (i < n && in[i] < 0x80) {
        out[i] = in[i];
        ++i;
    }
    return i;
}

inline bool cont(uint8_t b) noexcept { return (b & 0xC0) == 0x80; }

// Decodes n bytes of strict UTF-8 into out (room for n units); returns the
// units written, or -1 for any malformed, overlong, surrogate or
// out-of-range sequence.  *pairs receives the number of surrogate pairs.
int64_t decode_utf8(const uint8_t *in, size_t n, uint16_t *out, int32_t *pairs) noexcept {
    size_t i = 0;
    uint16_t *o = out;
    int32_t np = 0;
    while (i < n) {
        uint32_t b = in[i];
        if (b < 0x80) {
            size_t done = widen_ascii(in + i, n - i, o);
            i += done;
            o += done;
            continue;
        }
        size_t r = n - i;
        if ((b & 0xE0) == 0xC0) {
            // C0 and C1 can only start overlong forms.
            if (r < 2 || b < 0xC2 || !cont(in[i + 1])) return -1;
            *o++ = (uint16_t)(((b & 0x1F) << 6) | (in[i + 1] & 0x3F));
            i += 2;
        } else if ((b & 0xF0) == 0xE0) {
            if (r < 3 || !cont(in[i + 1]) || !cont(in[i + 2])) return -1;
            uint32_t v = ((b & 0x0F) << 12) | ((uint32_t)(in[i + 1] & 0x3F) << 6) | (in[i + 2] & 0x3F);
            if (v < 0x800 || is_surrogate(v)) return -1;
            *o++ = (uint16_t)v;
            i += 3;
        } else if ((b & 0xF8) == 0xF0) {
            if (r < 4 || !cont(in[i + 1]) || !cont(in[i + 2]) || !cont(in[i + 3])) return -1;
            uint32_t v = ((b & 0x07) << 18) | ((uint32_t)(in[i + 1] & 0x3F) << 12) |
                         ((uint32_t)(in[i + 2] & 0x3F) << 6) | (in[i + 3] & 0x3F);
            if (v < 0x10000 || v > 0x10FFFF) return -1;
            o[0] = (uint16_t)(((v - 0x10000) >> 10) | 0xD800);
            o[1] = (uint16_t)((v & 0x3FF) | 0xDC00);
            o += 2;
            ++np;
            i += 4;
        } else {
            return -1;  // a continuation byte or F8..FF in lead position
        }
    }
    *pairs = np;
    return o - out;
}

// The bitwise OR of eight units: one test then tells whether all of them
// are ASCII, or all below U+0800.
inline uint32_t or8(const uint16_t *in) noexcept {
    uint64_t a, b;
    memcpy(&a, in, 8);
    memcpy(&b, in + 4, 8);
    uint64_t w = a | b;
    w |= w >> 32;
    w |= w >> 16;
    return (uint32_t)(w & 0xFFFF);
}

// Whether all eight units lie in U+0800..U+FFFF outside the surrogates.
inline bool all_three_byte(const uint16_t *in) noexcept {
#if defined(__SSE2__)
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in));
    __m128i zero = _mm_setzero_si128();
    __m128i below = _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x7FF)), zero);
    __m128i surrogate = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16((short)0xF800)),
                                        _mm_set1_epi16((short)0xD800));
    return _mm_movemask_epi8(_mm_or_si128(below, surrogate)) == 0;
#else
    uint32_t ok = 1;
    for (int k = 0; k < 8; ++k) ok &= (uint32_t)(in[k] >= 0x800) & (uint32_t)!is_surrogate(in[k]);
    return ok != 0;
#endif
}

// Writes u (below U+0800) as one or two bytes at o and moves o past them,
// without a branch: both bytes are always stored (the caller's buffer has
// room for the second), on little-endian machines as one two-byte store.
inline void put12(uint8_t *&o, uint32_t u) noexcept {
    uint32_t two = u >= 0x80;
    uint32_t b0 = two ? 0xC0 | (u >> 6) : u, b1 = 0x80 | (u & 0x3F);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint16_t w = (uint16_t)(b0 | b1 << 8);
    memcpy(o, &w, 2);
#else
    o[0] = (uint8_t)b0;
    o[1] = (uint8_t)b1;
#endif
    o += 1 + two;
}

// Writes the three-byte form of u at o.  On little-endian machines as one
// four-byte store whose last byte the next character overwrites (the
// caller's buffer has room for it).
inline void put3(uint8_t *o, uint32_t u) noexcept {
    uint32_t b0 = 0xE0 | (u >> 12), b1 = 0x80 | ((u >> 6) & 0x3F), b2 = 0x80 | (u & 0x3F);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint32_t w = b0 | b1 << 8 | b2 << 16;
    memcpy(o, &w, 4);
#else
    o[0] = (uint8_t)b0;
    o[1] = (uint8_t)b1;
    o[2] = (uint8_t)b2;
#endif
}

// Writes the units as UTF-8 into out (room for n × 3 bytes); returns the
// bytes written or -1 for a lone surrogate.  Works in blocks of eight units:
// an all-ASCII block is narrowed at once, a block below U+0800 (ASCII mixed
// with Latin, Greek, Cyrillic and the like) is written without a branch per
// unit, and any other block goes unit by unit.
int64_t encode_utf8(const uint16_t *in, int32_t n, uint8_t *out) noexcept {
    uint8_t *o = out;
    int32_t i = 0;
    while (i < n) {
        int32_t end = n - i >= 8 ? i + 8 : n;
        if (end - i == 8) {
            uint32_t all = or8(in + i);
            if (all < 0x80) {
#if defined(__SSE2__)
                __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
                _mm_storel_epi64(reinterpret_cast<__m128i *>(o), _mm_packus_epi16(v, v));
#else
                for (int k = 0; k < 8; ++k) o[k] = (uint8_t)in[i + k];
#endif
                o += 8;
                i += 8;
                continue;
            }
            if (all < 0x800) {
                for (int k = 0; k < 8; ++k) put12(o, in[i + k]);
                i += 8;
                continue;
            }
        }
        if (end - i == 8 && all_three_byte(in + i)) {
            // Eight three-byte characters (CJK text between line ends):
            // fixed output positions, no branch per unit.
            for (int k = 0; k < 8; ++k) put3(o + 3 * k, in[i + k]);
            o += 24;
            i += 8;
            continue;
        }
        // Unit by unit for mixed blocks.  A surrogate pair may end one unit
        // past the block.
        while (i < end) {
            uint32_t u = in[i];
            if (u < 0x80) {
                *o++ = (uint8_t)u;
                ++i;
                continue;
            }
            if (u < 0x800) {
                o[0] = (uint8_t)(0xC0 | (u >> 6));
                o[1] = (uint8_t)(0x80 | (u & 0x3F));
                o += 2;
                ++i;
                continue;
            }
            if (!is_surrogate(u)) {
                o[0] = (uint8_t)(0xE0 | (u >> 12));
                o[1] = (uint8_t)(0x80 | ((u >> 6) & 0x3F));
                o[2] = (uint8_t)(0x80 | (u & 0x3F));
                o += 3;
                ++i;
                continue;
            }
            uint32_t cp;
            if (decode_cp(in + i, n - i, &cp) != 2) return -1;
            o[0] = (uint8_t)(0xF0 | (cp >> 18));
            o[1] = (uint8_t)(0x80 | ((cp >> 12) & 0x3F));
            o[2] = (uint8_t)(0x80 | ((cp >> 6) & 0x3F));
            o[3] = (uint8_t)(0x80 | (cp & 0x3F));
            o += 4;
            i += 2;
        }
    }
    return o - out;
}

// Validates a string and its two out-parameters for an encoder; clears the
// out-parameters so that a failing call leaves nothing the caller owns.
template <typename T>
bool enc_start(const orbek_ustring *s, T **out, int32_t *len) noexcept {
    if (!s || !out || !len) return false;
    *out = nullptr;
    *len = 0;
    return true;
}

// Byte sizes of encoder buffers are signed 32-bit; a size that does not fit
// is an allocation failure.
void *alloc_bytes(int64_t bytes) noexcept {
    if (bytes < 0 || bytes > INT32_MAX) return nullptr;
    return ORBEK_ALLOC((size_t)bytes);
}

// Walks the code points of s, handing each to put; false when a unit
// sequence is refused.
template <typename Put>
bool each_cp(const orbek_ustring *s, Put put) noexcept {
    const uint16_t *u = s->units;
    int32_t n = s->length;
    for (int32_t i = 0, k = 0; i < n; ++k) {
        uint32_t cp;
        int used = decode_cp(u + i, n - i, &cp);
        if (!used) return false;
        put(k, cp);
        i += used;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------- lifetime

ORBEK_EXPORT void orbek_ustring_free(orbek_ustring *s) noexcept {
    if (!s || --s->refcount > 0) return;
    ORBEK_FREE(s->units);
    ORBEK_FREE(s);
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_dup(orbek_ustring *s) noexcept {
    if (s) ++s->refcount;
    return s;
}

ORBEK_EXPORT int32_t orbek_ustring_getcharcount(const orbek_ustring *s) noexcept { return s ? s->charcount : 0; }

// ---------------------------------------------------------------- constructors

ORBEK_EXPORT orbek_ustring *orbek_ustring_newlength(const uint16_t *units, int32_t count) noexcept {
    orbek_ustring *r;
    if (!start(units, count, &r)) return r;
    int32_t pairs = count_pairs(units, count);
    if (pairs < 0) return nullptr;
    return from_valid(units, count, pairs);
}

namespace {
int32_t unit_strlen(const uint16_t *text) noexcept {
    const uint16_t *p = text;
    while (*p) ++p;
    // A terminator more than 2^31 units away cannot be a valid length.
    return p - text > INT32_MAX ? -1 : (int32_t)(p - text);
}
}  // namespace

ORBEK_EXPORT orbek_ustring *orbek_ustring_new(const uint16_t *text) noexcept {
    if (!text) return empty();
    return orbek_ustring_newlength(text, unit_strlen(text));
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_newwcs(const uint16_t *text) noexcept {
    if (!text) return nullptr;
    return orbek_ustring_newlength(text, unit_strlen(text));
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_newutf8(const uint8_t *bytes, int32_t len) noexcept {
    orbek_ustring *r;
    if (!start(bytes, len, &r)) return r;
    // No UTF-8 sequence yields more units than it has bytes.
    uint16_t *buf = alloc_units((int64_t)len + 1);
    if (!buf) return nullptr;
    int32_t pairs = 0;
    int64_t n = decode_utf8(bytes, (size_t)len, buf, &pairs);
    if (n < 0) {
        ORBEK_FREE(buf);
        return nullptr;
    }
    return adopt(buf, (int32_t)n, pairs);
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_newbmp(const uint8_t *bytes, int32_t len) noexcept {
    orbek_ustring *r;
    if (!start(bytes, len, &r)) return r;
    if (len & 1) return nullptr;
    int32_t n = len / 2;
    uint16_t *buf = alloc_units((int64_t)n + 1);
    if (!buf) return nullptr;
    for (int32_t i = 0; i < n; ++i) {
        uint16_t u = (uint16_t)(bytes[2 * i] << 8 | bytes[2 * i + 1]);
        if (is_surrogate(u)) {
            ORBEK_FREE(buf);
            return nullptr;
        }
        buf[i] = u;
    }
    return adopt(buf, n, 0);
}

namespace {
// Encodes count code points fetched by get(i) into a new string.
template <typename Get>
orbek_ustring *from_cps(int32_t count, Get get) noexcept {
    uint16_t *buf = alloc_units((int64_t)count * 2 + 1);
    if (!buf) return nullptr;
    int32_t n = 0, pairs = 0;
    for (int32_t i = 0; i < count; ++i) {
        int w = encode_cp(get(i), buf + n);
        if (!w) {
            ORBEK_FREE(buf);
            return nullptr;
        }
        n += w;
        pairs += w - 1;
    }
    return adopt(buf, n, pairs);
}
}  // namespace

ORBEK_EXPORT orbek_ustring *orbek_ustring_newutf32be(const uint8_t *bytes, int32_t len) noexcept {
    orbek_ustring *r;
    if (!start(bytes, len, &r)) return r;
    if (len & 3) return nullptr;
    return from_cps(len / 4, [bytes](int32_t i) {
        const uint8_t *p = bytes + 4 * (size_t)i;
        return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
    });
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_newutf32(const uint32_t *values, int32_t count) noexcept {
    orbek_ustring *r;
    if (!start(values, count, &r)) return r;
    return from_cps(count, [values](int32_t i) { return values[i]; });
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_newascii(const uint8_t *bytes, int32_t len) noexcept {
    orbek_ustring *r;
    if (!start(bytes, len, &r)) return r;
    uint16_t *buf = alloc_units((int64_t)len + 1);
    if (!buf) return nullptr;
    if (widen_ascii(bytes, (size_t)len, buf) != (size_t)len) {
        ORBEK_FREE(buf);
        return nullptr;
    }
    return adopt(buf, len, 0);
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_newbstr(const uint16_t *bstr) noexcept {
    if (!bstr) return empty();
    int64_t bytes = orbek::bstr::byte_len(bstr);
    if (bytes < 0 || bytes > INT32_MAX || (bytes & 1)) return nullptr;
    return orbek_ustring_newlength(bstr, (int32_t)(bytes / 2));
}

// ---------------------------------------------------------------- encoders

ORBEK_EXPORT int32_t orbek_ustring_toutf8(const orbek_ustring *s, uint8_t **bytes, int32_t *len) noexcept {
    if (!enc_start(s, bytes, len)) return 0;
    uint8_t *buf = static_cast<uint8_t *>(alloc_bytes((int64_t)s->length * 3 + 1));
    if (!buf) return 0;
    int64_t n = encode_utf8(s->units, s->length, buf);
    if (n < 0) {
        ORBEK_FREE(buf);
        return 0;
    }
    buf[n] = 0;
    *bytes = buf;
    *len = (int32_t)n;
    return 1;
}

ORBEK_EXPORT uint16_t *orbek_ustring_towcs(const orbek_ustring *s) noexcept {
    if (!s) return nullptr;
    uint16_t *buf = alloc_units((int64_t)s->length + 1);
    if (!buf) return nullptr;
    memcpy(buf, s->units, ((size_t)s->length + 1) * 2);
    return buf;
}

ORBEK_EXPORT int32_t orbek_ustring_toutf16(const orbek_ustring *s, uint16_t **units, int32_t *count) noexcept {
    if (!enc_start(s, units, count)) return 0;
    uint16_t *buf = orbek_ustring_towcs(s);
    if (!buf) return 0;
    *units = buf;
    *count = s->length;
    return 1;
}

ORBEK_EXPORT int32_t orbek_ustring_tobmp(const orbek_ustring *s, uint8_t **bytes, int32_t *len) noexcept {
    if (!enc_start(s, bytes, len) || s->supplementary) return 0;
    uint8_t *buf = static_cast<uint8_t *>(alloc_bytes((int64_t)s->length * 2 + 2));
    if (!buf) return 0;
    for (int32_t i = 0; i <= s->length; ++i) {  // the terminating 0 unit included
        buf[2 * i] = (uint8_t)(s->units[i] >> 8);
        buf[2 * i + 1] = (uint8_t)s->units[i];
    }
    *bytes = buf;
    *len = s->length * 2;
    return 1;
}

ORBEK_EXPORT int32_t orbek_ustring_toutf32be(const orbek_ustring *s, uint8_t **bytes, int32_t *len) noexcept {
    if (!enc_start(s, bytes, len)) return 0;
    uint8_t *buf = static_cast<uint8_t *>(alloc_bytes((int64_t)s->charcount * 4 + 4));
    if (!buf) return 0;
    bool ok = each_cp(s, [buf](int32_t k, uint32_t cp) {
        uint8_t *p = buf + 4 * (size_t)k;
        p[0] = (uint8_t)(cp >> 24);
        p[1] = (uint8_t)(cp >> 16);
        p[2] = (uint8_t)(cp >> 8);
        p[3] = (uint8_t)cp;
    });
    if (!ok) {
        ORBEK_FREE(buf);
        return 0;
    }
    memset(buf + 4 * (size_t)s->charcount, 0, 4);
    *bytes = buf;
    *len = s->charcount * 4;
    return 1;
}

ORBEK_EXPORT int32_t orbek_ustring_toutf32(const orbek_ustring *s, uint32_t **values, int32_t *count) noexcept {
    if (!enc_start(s, values, count)) return 0;
    uint32_t *buf = static_cast<uint32_t *>(alloc_bytes((int64_t)s->charcount * 4 + 4));
    if (!buf) return 0;
    if (!each_cp(s, [buf](int32_t k, uint32_t cp) { buf[k] = cp; })) {
        ORBEK_FREE(buf);
        return 0;
    }
    buf[s->charcount] = 0;
    *values = buf;
    *count = s->charcount;
    return 1;
}

ORBEK_EXPORT uint16_t *orbek_ustring_tobstr(const orbek_ustring *s) noexcept {
    return s ? orbek::bstr::alloc_len(s->units, s->length) : nullptr;
}

ORBEK_EXPORT void orbek_ustring_freebstr(uint16_t *bstr) noexcept { orbek::bstr::release(bstr); }
