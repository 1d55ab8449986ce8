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

int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads four hex digits at p (the caller checked that they lie in the input).
int32_t hex4(const unsigned char *p) {
    int32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        int h = hex_value(p[i]);
        if (h < 0) return -1;
        v = v << 4 | h;
    }
    return v;
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
    // of raw content and whether it holds escapes.  False for a raw control
    // character, invalid UTF-8, a backslash at the end, or a missing closing
    // quote.
    bool scan_string(const unsigned char **content, size_t *raw, bool *escapes) {
        if (end_ - p_ < 2) return false;
        const unsigned char *q = p_ + 1;
        bool esc = false;
        for (;;) {
            // Sixteen or eight bytes at a time while they are plain ASCII,
            // then byte by byte up to the byte that ends the run.
#if defined(__SSE2__)
            while (end_ - q >= 16) {
                const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q));
                // A signed compare takes the bytes above 0x7F along with the
                // control bytes.
                const __m128i stop = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('"')),
                                                               _mm_cmpeq_epi8(x, _mm_set1_epi8('\\'))),
                                                  _mm_cmplt_epi8(x, _mm_set1_epi8(0x20)));
                const int mask = _mm_movemask_epi8(stop);
                if (mask) {
                    q += __builtin_ctz((unsigned)mask);
                    break;
                }
                q += 16;
            }
#endif
            while (end_ - q >= 8) {
                const uint64_t w = load64(q);
                if ((w & kHighs) || has_special(w)) break;
                q += 8;
            }
            while (q < end_ && *q >= 0x20 && *q != '"' && *q != '\\' && *q < 0x80) ++q;
            if (q == end_ || *q < 0x20) return false;
            if (*q >= 0x80) {
                if (!(q = utf8_run(q, end_))) return false;
                continue;
            }
            if (*q == '"') break;
            // A backslash: the byte after it is judged when unescaping.
            esc = true;
            if (++q == end_) return false;
            ++q;
        }
        *content = p_ + 1;
        *raw = (size_t)(q - (p_ + 1));
        *escapes = esc;
        p_ = q + 1;
        return true;
    }

    // Unescapes n raw bytes into out; returns the bytes written or -1.  The
    // result is never longer than the raw text.
    static int32_t unescape(const unsigned char *s, size_t n, char *out) {
        const unsigned char *end = s + n;
        char *o = out;
        while (s < end) {
            // The scan has refused quotes and control bytes: only backslashes
            // interrupt the plain runs.  Output never runs ahead of input, so
            // whole words can be stored while the input has them.
#if defined(__SSE2__)
            while (end - s >= 16) {
                const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s));
                const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8('\\')));
                if (mask) {
                    const int k = __builtin_ctz((unsigned)mask);
                    memcpy(o, s, (size_t)k);
                    o += k;
                    s += k;
                    break;
                }
                _mm_storeu_si128(reinterpret_cast<__m128i *>(o), x);
                o += 16;
                s += 16;
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
            ++s;  // the scan guarantees a byte after the backslash
            unsigned char c = *s++;
            switch (c) {
                case '"': case '\\': case '/': *o++ = (char)c; continue;
                case 'b': *o++ = '\b'; continue;
                case 'f': *o++ = '\f'; continue;
                case 'n': *o++ = '\n'; continue;
                case 'r': *o++ = '\r'; continue;
                case 't': *o++ = '\t'; continue;
                case 'u': break;
                default: return -1;
            }
            if (end - s < 4) return -1;
            int32_t u = hex4(s);
            if (u < 0) return -1;
            s += 4;
            uint32_t cp = (uint32_t)u;
            if (u >= 0xD800 && u <= 0xDBFF) {
                if (end - s < 6 || s[0] != '\\' || s[1] != 'u') return -1;
                int32_t lo = hex4(s + 2);
                if (lo < 0xDC00 || lo > 0xDFFF) return -1;
                s += 6;
                cp = 0x10000 + (((uint32_t)u - 0xD800) << 10) + ((uint32_t)lo - 0xDC00);
            } else if (u >= 0xDC00 && u <= 0xDFFF) {
                return -1;
            }
            if (cp < 0x80) {
                *o++ = (char)cp;
            } else if (cp < 0x800) {
                *o++ = (char)(0xC0 | cp >> 6);
                *o++ = (char)(0x80 | (cp & 0x3F));
            } else if (cp < 0x10000) {
                *o++ = (char)(0xE0 | cp >> 12);
                *o++ = (char)(0x80 | ((cp >> 6) & 0x3F));
                *o++ = (char)(0x80 | (cp & 0x3F));
            } else {
                *o++ = (char)(0xF0 | cp >> 18);
                *o++ = (char)(0x80 | ((cp >> 12) & 0x3F));
                *o++ = (char)(0x80 | ((cp >> 6) & 0x3F));
                *o++ = (char)(0x80 | (cp & 0x3F));
            }
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
