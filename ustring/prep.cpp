// String preparation and IDN internals: table lookups, the unit buffer,
// Punycode both ways and nameprep.
#include "ustring/prep.h"

#include <string.h>

static const char kOrbekSource[] = "ORBEK_UString_Prep";

namespace orbek {
namespace prep {

// ---------------------------------------------------------------- lookups

namespace {

int32_t cmp_range(const void *key, const void *element) {
    uint32_t cp = *static_cast<const uint32_t *>(key);
    const Range *r = static_cast<const Range *>(element);
    return cp < r->lo ? -1 : cp > r->hi ? 1 : 0;
}

int32_t cmp_u32(const void *key, const void *element) {
    uint32_t a = *static_cast<const uint32_t *>(key), b = *static_cast<const uint32_t *>(element);
    return a < b ? -1 : a > b ? 1 : 0;
}

int32_t cmp_u16(const void *key, const void *element) {
    uint32_t a = *static_cast<const uint32_t *>(key), b = *static_cast<const uint16_t *>(element);
    return a < b ? -1 : a > b ? 1 : 0;
}

}  // namespace

bool in_ranges(const Range *table, int32_t count, uint32_t cp) noexcept {
    if (cp < table[0].lo || cp > table[count - 1].hi) return false;
    int32_t at;
    return orbek_bsearch(&cp, table, count, sizeof(Range), cmp_range, &at) != 0;
}

bool in_list(const uint32_t *table, int32_t count, uint32_t cp) noexcept {
    if (cp < table[0] || cp > table[count - 1]) return false;
    int32_t at;
    return orbek_bsearch(&cp, table, count, sizeof(uint32_t), cmp_u32, &at) != 0;
}

bool in_list16(const uint16_t *table, int32_t count, uint32_t unit) noexcept {
    if (unit < table[0] || unit > table[count - 1]) return false;
    int32_t at;
    return orbek_bsearch(&unit, table, count, sizeof(uint16_t), cmp_u16, &at) != 0;
}

bool is_unassigned(uint32_t cp) noexcept {
    if (cp < 0x10A59) return in_ranges(kUnassigned, kUnassignedCount, cp);
    if ((cp <= 0x11FFF) || (cp >= 0x12474 && cp <= 0x1CFFF) || (cp >= 0x1D800 && cp <= 0x1FFFD) ||
        (cp >= 0x2A6D7 && cp <= 0x2F7FF) || (cp >= 0xE01F0 && cp <= 0xEFFFD))
        return true;
    if (cp >= 0x30000 && cp <= 0xDFFFD) return (cp & 0xFFFF) < 0xFFFE;
    return in_ranges(kUnassigned, kUnassignedCount, cp);
}

// ---------------------------------------------------------------- buffer

UnitBuf::~UnitBuf() noexcept { ORBEK_FREE(units_); }

bool UnitBuf::reserve(int64_t n) noexcept {
    int64_t need = (int64_t)len_ + n + 1;
    if (need <= cap_) return true;
    // Grow by half again (at least 32 units), so that appending one unit at
    // a time costs amortized constant time.
    int64_t cap = (int64_t)cap_ + cap_ / 2 + 32;
    if (cap < need) cap = need;
    if (cap > INT32_MAX / 2) {
        if (need > INT32_MAX / 2) return false;
        cap = INT32_MAX / 2;
    }
    uint16_t *grown = ustr::alloc_units(cap);
    if (!grown) return false;
    if (len_) memcpy(grown, units_, (size_t)len_ * 2);
    ORBEK_FREE(units_);
    units_ = grown;
    cap_ = (int32_t)cap;
    return true;
}

bool UnitBuf::push_cp(uint32_t cp) noexcept {
    if (len_ + 2 >= cap_ && !reserve(2)) return false;
    int n = ustr::encode_cp(cp, units_ + len_);
    len_ += n;
    pairs_ += n == 2;
    return n != 0;
}

bool UnitBuf::append(const uint16_t *u, int32_t n) noexcept {
    if (!reserve(n)) return false;
    if (n) memcpy(units_ + len_, u, (size_t)n * 2);
    for (int32_t i = 0; i < n; ++i) pairs_ += ustr::is_high(u[i]);
    len_ += n;
    return true;
}

orbek_ustring *UnitBuf::take() noexcept {
    if (!units_ && !reserve(0)) return nullptr;
    orbek_ustring *s = ustr::adopt(units_, len_, pairs_);
    units_ = nullptr;
    len_ = cap_ = pairs_ = 0;
    return s;
}

// ---------------------------------------------------------------- Punycode

namespace {

constexpr uint32_t kBase = 36, kTmin = 1, kTmax = 26, kSkew = 38, kDamp = 700;
constexpr uint32_t kInitialBias = 72, kInitialN = 0x80;

uint32_t adapt(uint32_t delta, uint32_t count, bool first) noexcept {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / count;
    uint32_t k = 0;
    while (delta > ((kBase - kTmin) * kTmax) / 2) {
        delta /= kBase - kTmin;
        k += kBase;
    }
    return k + (kBase - kTmin + 1) * delta / (delta + kSkew);
}

// The threshold of the digit at position k of a variable-length integer.
inline uint32_t threshold(uint32_t k, uint32_t bias) noexcept {
    return k <= bias ? kTmin : k >= bias + kTmax ? kTmax : k - bias;
}

inline uint16_t digit_char(uint32_t d) noexcept { return (uint16_t)(d < 26 ? 'a' + d : '0' + d - 26); }

// A digit's value, or kBase for a character that is not a digit.
inline uint32_t digit_value(uint32_t c) noexcept {
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= '0' && c <= '9') return c - '0' + 26;
    return kBase;
}

}  // namespace

namespace {

// Where the encoder writes: a growing buffer, or a fixed array.
struct BufSink {
    UnitBuf *buf;
    bool put(uint32_t c) noexcept { return buf->push_unit((uint16_t)c); }
};

struct ArraySink {
    uint16_t *out;
    int32_t cap, len;
    bool put(uint32_t c) noexcept {
        if (len == cap) return false;
        out[len++] = (uint16_t)c;
        return true;
    }
};

template <typename Sink>
bool encode(const uint32_t *cps, int32_t count, Sink *out) noexcept {
    uint32_t b = 0;
    for (int32_t j = 0; j < count; ++j)
        if (cps[j] < 0x80) {
            if (!out->put(cps[j])) return false;
            ++b;
        }
    if (b > 0 && !out->put('-')) return false;
    uint32_t h = b, n = kInitialN, delta = 0, bias = kInitialBias;
    while (h < (uint32_t)count) {
        uint32_t m = UINT32_MAX;
        for (int32_t j = 0; j < count; ++j)
            if (cps[j] >= n && cps[j] < m) m = cps[j];
        if (m - n > (UINT32_MAX - delta) / (h + 1)) return false;
        delta += (m - n) * (h + 1);
        n = m;
        for (int32_t j = 0; j < count; ++j) {
            uint32_t c = cps[j];
            if (c < n && ++delta == 0) return false;
            if (c != n) continue;
            uint32_t q = delta;
            for (uint32_t k = kBase;; k += kBase) {
                uint32_t t = threshold(k, bias);
                if (q < t) break;
                if (!out->put(digit_char(t + (q - t) % (kBase - t)))) return false;
                q = (q - t) / (kBase - t);
            }
            if (!out->put(digit_char(q))) return false;
            bias = adapt(delta, h + 1, h == b);
            delta = 0;
            ++h;
        }
        ++delta;
        ++n;
    }
    return true;
}

}  // namespace

bool punycode_encode(const uint32_t *cps, int32_t count, UnitBuf *out) noexcept {
    BufSink sink{out};
    return encode(cps, count, &sink);
}

int32_t punycode_encode_to(const uint32_t *cps, int32_t count, uint16_t *out, int32_t cap) noexcept {
    ArraySink sink{out, cap, 0};
    return encode(cps, count, &sink) ? sink.len : -1;
}

orbek_ustring *punycode_decode(const uint16_t *in, int32_t count, bool *oom) noexcept {
    *oom = false;
    if (count >= (1 << 29)) return nullptr;
    // Everything before the last "-" is copied; a "-" at the very start
    // leaves it to the digits, where it fails.
    int32_t b = count - 1;
    while (b >= 0 && in[b] != '-') --b;
    int32_t start = 0;
    uint32_t out = 0;
    // Labels are short: their code points fit on the stack.
    uint32_t local[64];
    uint32_t *cps = count < 64 ? local : static_cast<uint32_t *>(ORBEK_ALLOC((size_t)count * 4 + 4));
    if (!cps) {
        *oom = true;
        return nullptr;
    }
    orbek_ustring *result = nullptr;
    if (b > 0) {
        for (int32_t j = 0; j < b; ++j) {
            if (in[j] >= 0x80) goto done;
            cps[out++] = in[j];
        }
        start = b + 1;
    }
    {
        uint32_t n = kInitialN, i = 0, bias = kInitialBias;
        for (int32_t pos = start; pos < count;) {
            uint32_t oldi = i, w = 1;
            for (uint32_t k = kBase;; k += kBase) {
                if (pos >= count) goto done;
                uint32_t digit = digit_value(in[pos++]);
                if (digit >= kBase) goto done;
                i += digit * w;
                uint32_t t = threshold(k, bias);
                if (digit < t) break;
                w *= kBase - t;
            }
            bias = adapt(i - oldi, out + 1, oldi == 0);
            n += i / (out + 1);
            i %= out + 1;
            memmove(cps + i + 1, cps + i, (size_t)(out - i) * 4);
            cps[i++] = n;
            ++out;
        }
    }
    // The string constructor refuses surrogates and values past U+10FFFF;
    // tell that apart from a failed allocation by checking the values here.
    for (uint32_t j = 0; j < out; ++j)
        if ((cps[j] >= 0xD800 && cps[j] <= 0xDFFF) || cps[j] > 0x10FFFF) goto done;
    result = orbek_ustring_newutf32(cps, (int32_t)out);
    if (!result) *oom = true;
done:
    if (cps != local) ORBEK_FREE(cps);
    return result;
}

// ---------------------------------------------------------------- nameprep

namespace {

bool prohibited(uint32_t cp) noexcept {
    if (cp < 0xA0) return cp >= 0x80;
    if (is_private_or_nonchar(cp) || (cp >= 0xFFF9 && cp <= 0xFFFD) || (cp >= 0x2FF0 && cp <= 0x2FFB) ||
        cp == 0xE0001 || (cp >= 0xE0020 && cp <= 0xE007F))
        return true;
    return in_list(kNonAsciiSpace, kNonAsciiSpaceCount, cp) || in_list(kNonAsciiControl, kNonAsciiControlCount, cp);
}

// The checks after normalization: prohibited characters, the
// bidirectional rule and (unless allowed) unassigned code points.
bool nameprep_checks(const uint16_t *u, int32_t n, bool allow_unassigned) noexcept {
    bool any_randal = false;
    for (int32_t i = 0; i < n;) {
        uint32_t cp = 0;
        i += ustr::decode_cp(u + i, n - i, &cp);
        if (cp < 0x80) continue;  // ASCII passes every list
        if (prohibited(cp) || is_display(cp) || (!allow_unassigned && is_unassigned(cp))) return false;
        any_randal = any_randal || is_randal(cp);
    }
    if (!any_randal) return true;
    // Right-to-left text: first and last character right-to-left, and no
    // left-to-right character anywhere.
    uint32_t first = 0, last = 0;
    ustr::decode_cp(u, n, &first);
    int32_t back = ustr::is_low(u[n - 1]) ? 2 : 1;
    ustr::decode_cp(u + n - back, back, &last);
    if (!is_randal(first) || !is_randal(last)) return false;
    for (int32_t i = 0; i < n;) {
        uint32_t cp = 0;
        i += ustr::decode_cp(u + i, n - i, &cp);
        if (!is_non_l(cp)) return false;
    }
    return true;
}

}  // namespace

bool fold_nfkc(unorm::WorkBuf *wb, bool fold) noexcept {
    if (fold && !unorm::fold(wb, unorm::kFoldNfkc)) return false;
    if (wb->length == 0 || unorm::quick_check(wb->units, wb->length, unorm::kNfkc) == unorm::kQcYes) return true;
    return unorm::decompose(wb, true) && unorm::reorder(wb) && unorm::compose(wb);
}

int nameprep(const uint16_t *units, int32_t count, bool allow_unassigned, unorm::WorkBuf *wb) noexcept {
    if (!unorm::wb_init(wb, count > INT32_MAX - 32 ? -1 : count + 32)) return -1;
    // The label's characters without those that map to nothing.
    int32_t len = 0;
    for (int32_t i = 0; i < count;) {
        uint32_t cp = 0;
        int used = ustr::decode_cp(units + i, count - i, &cp);
        if (cp < 0xAD || !in_list(kMappedToNothing, kMappedToNothingCount, cp))
            for (int k = 0; k < used; ++k) wb->units[len++] = units[i + k];
        i += used;
    }
    wb->length = len;
    int r = !fold_nfkc(wb, true) ? -1 : nameprep_checks(wb->units, wb->length, allow_unassigned) ? 1 : 0;
    if (r != 1) unorm::wb_release(wb);
    return r;
}

}  // namespace prep
}  // namespace orbek
