// JSON text decoder: a strict parser over exactly the given bytes.
#include <float.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <locale.h>
#include <stdlib.h>
#include <string.h>

#include "core/internal.h"
#include "json/json.h"

static const char kOrbekSource[] = "ORBEK_JSON";

using namespace orbek::json;

namespace {

inline bool is_ws(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
inline bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// Four hex digits at p (the caller checked that they lie in the input) as
// a value up to 0xFFFF, or a larger value when one is not a hex digit.
uint32_t hex4(const unsigned char *p) {
    // Digit values; 0x10000 marks the bytes that are not digits, and stays
    // set whatever the other digits add.
    static const struct Table {
        uint32_t v[256];
        constexpr Table() : v() {
            for (int c = 0; c < 256; ++c)
                v[c] = c >= '0' && c <= '9' ? (uint32_t)(c - '0')
                     : c >= 'a' && c <= 'f' ? (uint32_t)(c - 'a' + 10)
                     : c >= 'A' && c <= 'F' ? (uint32_t)(c - 'A' + 10) : 0x10000u;
        }
    } kHex;
    const uint32_t a = kHex.v[p[0]], b = kHex.v[p[1]], c = kHex.v[p[2]], d = kHex.v[p[3]];
    return ((a | b | c | d) & 0x10000u) | a << 12 | b << 8 | c << 4 | d;
}

// Powers of ten that a double holds exactly.
const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

class Parser {
public:
    Parser(const unsigned char *text, int32_t length, int32_t limit)
        : p_(text), end_(text + length), limit_(limit) {}

    bool at_end() const { return p_ == end_; }

    // Parses the whole document.  Containers are attached to their parent
    // as soon as they open and linked back to it through `pending` while
    // they are filled, so nesting costs no recursion and no memory beyond
    // the tree itself, and a failure frees everything by freeing the root.
    // Values go straight into their container: the tree is the same as with
    // a copy per level, built without the copies.
    orbek_json *parse() {
        bool open;
        orbek_json *root = begin(0, &open);
        if (!root || !open) return root;
        Container *cur = container(root);
        int32_t depth = 0;
        bool first = true;  // cur has just opened
        for (;;) {
            const unsigned char close = cur->h.kind == kObject ? '}' : ']';
            bool closing;
            if (first) {
                closing = *p_ == close;  // begin() left a byte to look at
            } else {
                skip_ws();
                if (p_ == end_) break;
                closing = *p_ == close;
                if (!closing) {
                    if (*p_ != ',') break;
                    ++p_;
                    skip_ws();
                    if (p_ == end_) break;
                }
            }
            if (closing) {
                ++p_;
                skip_ws();
                if (&cur->h == root) return root;
                cur = cur->pending;
                --depth;
                first = false;
                continue;
            }
            first = false;
            orbek_json *child;
            bool child_open;
            if (cur->h.kind == kArray) {
                child = begin(depth + 1, &child_open);
                if (!child) break;
                if (!orbek_arraylist_pushback(&cur->list, child)) {
                    orbek_json_free(child);
                    break;
                }
            } else {
                if (*p_ != '"') break;
                Member *m = member(depth, &child_open);
                if (!m) break;
                if (!orbek_arraylist_pushback(&cur->list, m)) {
                    free_member(m);
                    break;
                }
                child = m->value;
            }
            if (child_open) {
                container(child)->pending = cur;
                cur = container(child);
                ++depth;
                first = true;
            }
        }
        orbek_json_free(root);
        return nullptr;
    }

private:
    // The value at the current position, at the given depth.  A scalar comes
    // back complete; a container comes back empty and open (*open set), its
    // bracket and the whitespace after it consumed, with a byte left.
    orbek_json *begin(int32_t depth, bool *open) {
        *open = false;
        if (p_ >= end_ || depth >= limit_) return nullptr;
        switch (*p_) {
            case '"': return string_value();
            case 'n':
                if (!literal("null", 4)) return nullptr;
                return orbek_json_newnull();
            case 't':
                if (!literal("true", 4)) return nullptr;
                return orbek_json_newboolean(1);
            case 'f':
                if (!literal("false", 5)) return nullptr;
                return orbek_json_newboolean(0);
            case '-': case '0': case '1': case '2': case '3': case '4':
            case '5': case '6': case '7': case '8': case '9':
                return number();
            default: break;
        }
        skip_ws();
        if (p_ == end_ || (*p_ != '[' && *p_ != '{')) return nullptr;
        const int32_t kind = *p_ == '[' ? kArray : kObject;
        ++p_;
        skip_ws();
        if (p_ == end_) return nullptr;
        orbek_json *c = new_container(kind);
        *open = c != nullptr;
        return c;
    }

    void skip_ws() {
        while (p_ < end_ && is_ws(*p_)) ++p_;
    }

    bool literal(const char *word, int32_t n) {
        if (end_ - p_ < n || memcmp(p_, word, (size_t)n) != 0) return false;
        p_ += n;
        return true;
    }

    orbek_json *number() {
        double x;
        return parse_number(&x) ? orbek_json_newnumber(x) : nullptr;
    }

    bool parse_number(double *out) {
        const unsigned char *start = p_, *q = p_;
        const bool negative = *q == '-';
        if (negative) ++q;
        if (q == end_) return false;
        // The first significant digits (at most 19 are kept, the fast path
        // uses 15) and the power of ten that scales them.
        uint64_t mantissa = 0;
        int digits = 0, scale = 0;
        if (*q == '0') {
            ++q;
        } else if (is_digit(*q)) {
            while (q < end_ && is_digit(*q)) {
                if (digits < 19) mantissa = mantissa * 10 + (uint64_t)(*q - '0');
                ++digits;
                ++q;
            }
        } else {
            return false;
        }
        if (q < end_ && *q == '.') {
            ++q;
            if (q == end_ || !is_digit(*q)) return false;
            while (q < end_ && is_digit(*q)) {
                if (digits < 19) {
                    mantissa = mantissa * 10 + (uint64_t)(*q - '0');
                    if (mantissa) ++digits;
                    --scale;
                }
                ++q;
            }
        }
        if (q < end_ && (*q == 'e' || *q == 'E')) {
            ++q;
            const bool minus = q < end_ && *q == '-';
            if (q < end_ && (*q == '+' || *q == '-')) ++q;
            if (q == end_ || !is_digit(*q)) return false;
            int32_t exponent = 0;
            while (q < end_ && is_digit(*q)) {
                if (exponent < 100000) exponent = exponent * 10 + (*q - '0');
                ++q;
            }
            scale += minus ? -exponent : exponent;
        }
        p_ = q;
        double x;
        if (digits <= 15 && fast_path_exact() && scale >= -22 && scale <= 22) {
            // Up to 15 digits fit a double exactly, and so do the powers of
            // ten up to 1e22: one correctly rounded multiplication or
            // division gives what the decimal conversion gives.
            x = (double)mantissa;
            x = scale < 0 ? x / kPow10[-scale] : x * kPow10[scale];
            if (negative) x = -x;
        } else if (!convert(start, (size_t)(q - start), &x)) {
            return false;
        }
        *out = x;
        return true;
    }

    // The fast path is exact only where doubles are computed in double
    // precision (not in the x87's extended registers).
    static constexpr bool fast_path_exact() {
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0
        return true;
#else
        return false;
#endif
    }

    // The runtime's decimal conversion over a NUL-terminated copy of the
    // number text, with the point spelled as the current locale wants it.
    static bool convert(const unsigned char *text, size_t n, double *out) {
        char small[64];
        char *buf = n < sizeof(small) ? small : static_cast<char *>(ORBEK_ALLOC(n + 1));
        if (!buf) return false;
        memcpy(buf, text, n);
        buf[n] = '\0';
        const char *dp = localeconv()->decimal_point;
        if (dp && dp[0] && dp[0] != '.' && !dp[1]) {
            char *c = static_cast<char *>(memchr(buf, '.', n));
            if (c) *c = dp[0];
        }
        *out = strtod(buf, nullptr);
        if (buf != small) ORBEK_FREE(buf);
        return true;
    }

    // Scans the string at the opening quote and checks its raw bytes above
    // 0x7F as UTF-8 on the way (escapes always give whole sequences, so a
    // raw sequence cut by an escape is invalid either way).  Stores the span
    // of raw content and whether it holds escapes.  False for a control
    // character (raw, or after a backslash, where unescaping would refuse
    // it), invalid UTF-8, a backslash at the end, or a missing closing
    // quote.
    bool scan_string(const unsigned char **content, size_t *raw, bool *escapes) {
        if (end_ - p_ < 2) return false;
        const unsigned char *q = p_ + 1;
        bool esc = false;
        // The byte at q is escaped: the bytes before it end in an odd run of
        // backslashes.
        bool carry = false;
#if defined(__SSE2__)
        // Sixteen bytes a step, as bit masks of the backslashes, quotes,
        // control bytes and bytes above 0x7F, so that the short runs between
        // escapes in escape-dense text cost no branch each.  A step stops at
        // its first byte above 0x7F, where a run of multi-byte sequences is
        // checked.
        while (end_ - q >= 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q));
            uint32_t bs = (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8('\\')));
            uint32_t qt = (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8('"')));
            const uint32_t hi = (uint32_t)_mm_movemask_epi8(x);
            // A signed compare takes the bytes above 0x7F along with the
            // control bytes; they are taken out again.
            const uint32_t ctl = (uint32_t)_mm_movemask_epi8(_mm_cmplt_epi8(x, _mm_set1_epi8(0x20))) & ~hi;
            if (carry) {  // the first byte stands for itself
                bs &= ~1u;
                qt &= ~1u;
            }
            const uint32_t upto = hi ? (hi & (0u - hi)) - 1 : 0xFFFFu;  // the bytes before the first high one
            for (uint32_t qs = qt & upto; qs; qs &= qs - 1) {
                const int j = __builtin_ctz(qs);
                if (backslash_run(bs, j) & 1) continue;  // an escaped quote
                const uint32_t before = (1u << j) - 1;
                if (ctl & before) return false;
                esc |= (bs & before) != 0;
                q += j;
                goto closing_quote;
            }
            if (ctl & upto) return false;
            esc |= (bs & upto) != 0;
            if (upto == 0xFFFFu) {
                // Sixteen backslashes in a row after an even run leave it even.
                carry = backslash_run(bs, 16) & 1;
                q += 16;
                continue;
            }
            const int k = __builtin_ctz(hi);
            if (k == 0 ? carry : (backslash_run(bs, k) & 1)) return false;  // an escaped byte above 0x7F
            if (!(q = utf8_run(q + k, end_))) return false;
            carry = false;
        }
#endif
        for (;;) {
            if (!carry) {
                while (end_ - q >= 8) {
                    const uint64_t w = load64(q);
                    if ((w & kHighs) || has_special(w)) break;
                    q += 8;
                }
            }
            if (q == end_) return false;
            const unsigned char c = *q;
            if (carry) {
                if (c < 0x20 || c >= 0x80) return false;
                carry = false;
                ++q;
            } else if (c == '"') {
                break;
            } else if (c < 0x20) {
                return false;
            } else if (c == '\\') {
                esc = carry = true;
                ++q;
            } else if (c >= 0x80) {
                if (!(q = utf8_run(q, end_))) return false;
            } else {
                ++q;
            }
        }
#if defined(__SSE2__)
    closing_quote:
#endif
        *content = p_ + 1;
        *raw = (size_t)(q - (p_ + 1));
        *escapes = esc;
        p_ = q + 1;
        return true;
    }

    // The number of backslashes (bits of bs) right before bit j.
    static int backslash_run(uint32_t bs, int j) {
        const uint32_t others = ~bs & ((1u << j) - 1);
        return others ? j - 1 - (31 - __builtin_clz(others)) : j;
    }

    // Decodes the escape at s (a backslash; the scan guarantees the byte
    // after it) into o, advancing both; false when it is refused.  Writes up
    // to three bytes past o whatever the result: the escapes that give more
    // bytes than one are at least six bytes long, and output never runs
    // ahead of input, so the buffer always has that room.
    static bool escape(const unsigned char *&s, const unsigned char *end, char *&o) {
        // What each byte after a backslash stands for: 0 refuses it, 1 is
        // the \u escape.
        static const struct Table {
            unsigned char v[256];
            constexpr Table() : v() {
                const char pairs[] = "\"\"\\\\//b\bf\fn\nr\rt\tu\1";
                for (int i = 0; pairs[i]; i += 2) v[(unsigned char)pairs[i]] = (unsigned char)pairs[i + 1];
            }
        } kSimple;
        const unsigned char c = kSimple.v[s[1]];
        if (c > 1) {
            *o++ = (char)c;
            s += 2;
            return true;
        }
        if (!c || end - s < 6) return false;
        const uint32_t u = hex4(s + 2);
        if (u > 0xFFFF) return false;
        s += 6;
        if (u - 0xD800 < 0x800) {  // a surrogate: only a high one, with a low one after it
            if (u >= 0xDC00 || end - s < 6 || s[0] != '\\' || s[1] != 'u') return false;
            const uint32_t lo = hex4(s + 2);
            if (lo - 0xDC00 >= 0x400) return false;
            s += 6;
            const uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
            o[0] = (char)(0xF0 | cp >> 18);
            o[1] = (char)(0x80 | ((cp >> 12) & 0x3F));
            o[2] = (char)(0x80 | ((cp >> 6) & 0x3F));
            o[3] = (char)(0x80 | (cp & 0x3F));
            o += 4;
            return true;
        }
        // One to three bytes, chosen without branches: all three are
        // written and the length says how many count.
        const uint32_t n = 1 + (u >= 0x80) + (u >= 0x800);
        const uint32_t b0 = n == 1 ? u : n == 2 ? 0xC0 | u >> 6 : 0xE0 | u >> 12;
        const uint32_t b1 = n == 2 ? 0x80 | (u & 0x3F) : 0x80 | ((u >> 6) & 0x3F);
        o[0] = (char)b0;
        o[1] = (char)b1;
        o[2] = (char)(0x80 | (u & 0x3F));
        o += n;
        return true;
    }

    // Unescapes n raw bytes into out; returns the bytes written or -1.  The
    // result is never longer than the raw text.
    static int32_t unescape(const unsigned char *s, size_t n, char *out) {
        const unsigned char *end = s + n;
        char *o = out;
        for (;;) {
            // The scan has refused quotes and control bytes: only backslashes
            // interrupt the plain runs.  Output never runs ahead of input, so
            // whole blocks are stored while the input has them, and the
            // position moves by the bytes that count.
#if defined(__SSE2__)
            while (end - s >= 16) {
                const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s));
                const uint32_t mask = (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8('\\')));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(o), x);
                if (!mask) {
                    o += 16;
                    s += 16;
                    continue;
                }
                const int k = __builtin_ctz(mask);
                o += k;
                s += k;
                if (!escape(s, end, o)) return -1;
            }
#endif
            while (end - s >= 8) {
                const uint64_t w = load64(s);
                const uint64_t b = w ^ (kOnes * '\\');
                if ((b - kOnes) & ~b & kHighs) break;
                memcpy(o, &w, 8);
                o += 8;
                s += 8;
            }
            while (s < end && *s != '\\') *o++ = (char)*s++;
            if (s == end) break;
            if (!escape(s, end, o)) return -1;
        }
        return (int32_t)(o - out);
    }

    // Fills a string record (or a member's key) of raw capacity from the
    // scanned content; false when an escape is refused.
    static bool fill(orbek_json *str, const unsigned char *content, size_t raw, bool escapes) {
        char *bytes = str_bytes(str);
        int32_t n = (int32_t)raw;
        if (escapes) {
            n = unescape(content, raw, bytes);
            if (n < 0) return false;
            str->length = n;
        } else if (raw) {
            memcpy(bytes, content, raw);
        }
        bytes[n] = '\0';
        return true;
    }

    orbek_json *string_value() {
        const unsigned char *content;
        size_t raw;
        bool escapes;
        if (!scan_string(&content, &raw, &escapes)) return nullptr;
        orbek_json *s = alloc_string((int32_t)raw);
        if (!s) return nullptr;
        if (!fill(s, content, raw, escapes)) {
            ORBEK_FREE(s);
            return nullptr;
        }
        return s;
    }

    // One member: the key, the colon and the value.  A scalar value is
    // parsed before the member is allocated, so that it can live in the
    // member's own block.
    Member *member(int32_t depth, bool *open) {
        *open = false;
        const unsigned char *kc;
        size_t kraw;
        bool kesc;
        if (!scan_string(&kc, &kraw, &kesc)) return nullptr;
        skip_ws();
        if (p_ == end_ || *p_ != ':') return nullptr;
        ++p_;
        skip_ws();
        if (p_ == end_) return nullptr;
        Member *m = nullptr;
        const unsigned char c = *p_;
        if (depth + 1 >= limit_ || c == '[' || c == '{') {
            m = alloc_member((int32_t)kraw, 0);
            if (!m) return nullptr;
            if (!fill(m->key, kc, kraw, kesc) || !(m->value = begin(depth + 1, open))) {
                ORBEK_FREE(m);
                return nullptr;
            }
            return m;
        }
        if (c == '"') {
            const unsigned char *vc;
            size_t vraw;
            bool vesc;
            if (!scan_string(&vc, &vraw, &vesc)) return nullptr;
            m = alloc_member((int32_t)kraw, sizeof(orbek_json) + vraw + 1);
            if (!m) return nullptr;
            m->value->kind = kString;
            m->value->length = (int32_t)vraw;
            if (!fill(m->value, vc, vraw, vesc)) {
                ORBEK_FREE(m);
                return nullptr;
            }
        } else if (c == 'n' || c == 't' || c == 'f') {
            const int32_t flag = c == 't';
            if (!(c == 'n' ? literal("null", 4) : flag ? literal("true", 4) : literal("false", 5))) return nullptr;
            m = alloc_member((int32_t)kraw, c == 'n' ? sizeof(orbek_json) : sizeof(Boolean));
            if (!m) return nullptr;
            m->value->kind = c == 'n' ? kNull : kBoolean;
            m->value->length = 0;
            if (c != 'n') reinterpret_cast<Boolean *>(m->value)->value = flag;
        } else if (c == '-' || is_digit(c)) {
            double x;
            if (!parse_number(&x)) return nullptr;
            m = alloc_member((int32_t)kraw, sizeof(Number));
            if (!m) return nullptr;
            m->value->kind = kNumber;
            m->value->length = 0;
            reinterpret_cast<Number *>(m->value)->value = x;
        } else {
            return nullptr;
        }
        if (!fill(m->key, kc, kraw, kesc)) {
            ORBEK_FREE(m);
            return nullptr;
        }
        return m;
    }

    const unsigned char *p_;
    const unsigned char *const end_;
    const int32_t limit_;
};

}  // namespace

ORBEK_EXPORT orbek_json *orbek_json_decode(const char *text, int32_t length) noexcept {
    if (!text || length <= 0) return nullptr;
    Parser parser(reinterpret_cast<const unsigned char *>(text), length, orbek_get_recursive_level());
    orbek_json *v = parser.parse();
    if (v && !parser.at_end()) {
        orbek_json_free(v);
        return nullptr;
    }
    return v;
}
