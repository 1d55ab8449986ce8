// JSON text encoder: compact or pretty text, optional top-level sort.
#include <locale.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "core/internal.h"
#include "json/json.h"

// The text grows in the memory stream: nothing here allocates directly.
[[maybe_unused]] static const char kOrbekSource[] = "ORBEK_JSON";

namespace orbek {
namespace json {

namespace {

const char *bytes_of(const orbek_json *v) { return str_bytes(v); }

int compare_bytes(const orbek_json *a, const orbek_json *b) noexcept {
    const int32_t n = a->length < b->length ? a->length : b->length;
    int c = n ? memcmp(bytes_of(a), bytes_of(b), (size_t)n) : 0;  // memcmp compares unsigned bytes
    if (c) return c < 0 ? -1 : 1;
    return a->length < b->length ? -1 : a->length > b->length ? 1 : 0;
}

}  // namespace

int compare(const orbek_json *a, const orbek_json *b) noexcept {
    const int32_t ka = a ? a->kind : -1;
    const int32_t kb = b ? b->kind : -1;
    if (ka != kb) return ka < kb ? -1 : 1;
    if (!a) return 0;
    switch (ka) {
        case kString: return compare_bytes(a, b);
        case kNumber: {
            // Equal, or unordered with a NaN, counts as equal.
            double x = reinterpret_cast<const Number *>(a)->value, y = reinterpret_cast<const Number *>(b)->value;
            return x < y ? -1 : x > y ? 1 : 0;
        }
        case kBoolean: {
            int32_t x = reinterpret_cast<const Boolean *>(a)->value, y = reinterpret_cast<const Boolean *>(b)->value;
            return x < y ? -1 : x > y ? 1 : 0;
        }
        case kObject:
        case kArray: {
            const orbek_arraylist &la = container(a)->list, &lb = container(b)->list;
            if (la.count != lb.count) return la.count < lb.count ? -1 : 1;
            for (int32_t i = 0; i < la.count; ++i) {
                int c;
                if (ka == kArray) {
                    c = compare(static_cast<const orbek_json *>(la.items[i]),
                                static_cast<const orbek_json *>(lb.items[i]));
                } else {
                    const Member *ma = static_cast<const Member *>(la.items[i]);
                    const Member *mb = static_cast<const Member *>(lb.items[i]);
                    c = compare(ma->key, mb->key);
                    if (!c) c = compare(ma->value, mb->value);
                }
                if (c) return c;
            }
            return 0;
        }
        default: return 0;  // nulls, and kinds the encoder refuses anyway
    }
}

}  // namespace json
}  // namespace orbek

using namespace orbek::json;

namespace {

int compare_slots(const orbek_json *container_value, void *x, void *y) noexcept {
    if (container_value->kind == kArray) return compare(static_cast<orbek_json *>(x), static_cast<orbek_json *>(y));
    const Member *a = static_cast<const Member *>(x);
    const Member *b = static_cast<const Member *>(y);
    int c = compare(a->key, b->key);
    return c ? c : compare(a->value, b->value);
}

// Heap sort of the top-level slots: unstable, in place, O(n log n), and safe
// with the value order's NaN rule (which is not a strict weak order).
void sort_top(orbek_json *v) noexcept {
    orbek_arraylist &l = container(v)->list;
    void **s = l.items;
    const int32_t n = l.count;
    auto sift = [&](int32_t root, int32_t end) {
        for (;;) {
            int32_t child = 2 * root + 1;
            if (child >= end) return;
            if (child + 1 < end && compare_slots(v, s[child], s[child + 1]) < 0) ++child;
            if (compare_slots(v, s[root], s[child]) >= 0) return;
            void *t = s[root];
            s[root] = s[child];
            s[child] = t;
            root = child;
        }
    };
    for (int32_t i = n / 2 - 1; i >= 0; --i) sift(i, n);
    for (int32_t end = n - 1; end > 0; --end) {
        void *t = s[0];
        s[0] = s[end];
        s[end] = t;
        sift(0, end);
    }
}

constexpr uint32_t kPretty = 0x80000000u;
constexpr uint32_t kSpaces = 0x40000000u;
constexpr uint32_t kCR = 0x20000000u;
constexpr uint32_t kLF = 0x10000000u;
constexpr uint32_t kSort = 0x00100000u;

// Collects the text in a local block and hands it to the memory stream in
// large writes; the stream sees the same bytes in the same order as with one
// write per token, with far fewer calls.
class Writer {
public:
    explicit Writer(orbek_stream *s) : stream_(s) {}

    bool ok() const { return ok_; }

    void put(const char *p, size_t n) {
        if (n > sizeof(buf_) - used_) {
            flush();
            if (n > sizeof(buf_)) {
                write_through(p, n);
                return;
            }
        }
        memcpy(buf_ + used_, p, n);
        used_ += n;
    }
    void put(char c) {
        if (used_ == sizeof(buf_)) flush();
        buf_[used_++] = c;
    }
    void repeat(char c, size_t n) {
        while (n) {
            if (used_ == sizeof(buf_)) flush();
            size_t k = sizeof(buf_) - used_;
            if (k > n) k = n;
            memset(buf_ + used_, c, k);
            used_ += k;
            n -= k;
        }
    }
    void flush() {
        if (used_) write_through(buf_, used_);
        used_ = 0;
    }

private:
    void write_through(const char *p, size_t n) {
        if (!ok_) return;
        while (n) {
            int32_t k = n > (size_t)INT32_MAX ? INT32_MAX : (int32_t)n;
            if (orbek_stream_writen(stream_, reinterpret_cast<const uint8_t *>(p), k, nullptr) != 1) {
                ok_ = false;
                return;
            }
            p += k;
            n -= (size_t)k;
        }
    }

    orbek_stream *stream_;
    size_t used_ = 0;
    bool ok_ = true;
    char buf_[8192];
};

void prefix(Writer &w, int32_t level, uint32_t f) {
    if (!(f & kPretty)) return;
    const uint32_t spaces = (f & kSpaces) ? (f & 0xFFu) : 0;
    for (int32_t i = 0; i < level; ++i) {
        if (spaces) w.repeat(' ', spaces);
        w.put('\t');
    }
}

void line_end(Writer &w, uint32_t f) {
    if (!(f & kPretty)) return;
    if (f & kCR) w.put('\r');
    if (f & kLF) w.put('\n');
}

// 1 for the bytes that must be escaped: the double quote, the backslash and
// the control characters 0x00-0x1F.
const uint8_t kEscape[256] = {
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,
};

void write_string(Writer &w, const orbek_json *v) {
    const unsigned char *p = reinterpret_cast<const unsigned char *>(str_bytes(v));
    const unsigned char *end = p + v->length;
    w.put('"');
    while (p < end) {
        const unsigned char *run = p;
        while (end - p >= 8 && !has_special(load64(p))) p += 8;
        while (p < end && !kEscape[*p]) ++p;
        if (p > run) w.put(reinterpret_cast<const char *>(run), (size_t)(p - run));
        if (p == end) break;
        if (*p == '"') {
            w.put("\\\"", 2);
        } else if (*p == '\\') {
            w.put("\\\\", 2);
        } else {
            static const char hex[] = "0123456789ABCDEF";
            const char esc[6] = {'\\', 'u', '0', '0', hex[*p >> 4], hex[*p & 15]};
            w.put(esc, 6);
        }
        ++p;
    }
    w.put('"');
}

// Whole numbers in the int32 range as "%d"; everything else as "%lf" with
// the trailing zeros (and a bare point) trimmed.
void write_number(Writer &w, double x) {
    if (x - floor(x) == 0.0 && x >= -2147483648.0 && x <= 2147483647.0) {
        int64_t i = (int64_t)x;
        char digits[12];
        char *q = digits + sizeof(digits);
        uint32_t u = (uint32_t)(i < 0 ? -i : i);
        do {
            *--q = (char)('0' + u % 10);
            u /= 10;
        } while (u);
        if (i < 0) *--q = '-';
        w.put(q, (size_t)(digits + sizeof(digits) - q));
        return;
    }
    // Fixed notation needs up to 317 characters: sign, 309 integer digits,
    // the point and six decimals.
    char text[400];
    int n = snprintf(text, sizeof(text), "%lf", x);
    if (n < 0) n = 0;
    if (n >= (int)sizeof(text)) n = (int)sizeof(text) - 1;
    // JSON wants a point whatever the caller's locale uses.
    const char *dp = localeconv()->decimal_point;
    if (dp && dp[0] && dp[0] != '.' && !dp[1]) {
        char *c = (char *)memchr(text, dp[0], (size_t)n);
        if (c) *c = '.';
    }
    if (memchr(text, '.', (size_t)n)) {
        while (n > 0 && text[n - 1] == '0') --n;
        if (n > 0 && text[n - 1] == '.') --n;
    }
    w.put(text, (size_t)n);
}

bool write_value(Writer &w, const orbek_json *v, int32_t level, uint32_t f) {
    prefix(w, level, f);
    switch (v->kind) {
        case kString: write_string(w, v); return true;
        case kNumber: write_number(w, reinterpret_cast<const Number *>(v)->value); return true;
        case kBoolean:
            if (reinterpret_cast<const Boolean *>(v)->value)
                w.put("true", 4);
            else
                w.put("false", 5);
            return true;
        case kNull: w.put("null", 4); return true;
        case kObject:
        case kArray: break;
        default: return false;
    }
    const bool object = v->kind == kObject;
    const orbek_arraylist &l = container(v)->list;
    w.put(object ? '{' : '[');
    line_end(w, f);
    for (int32_t i = 0; i < l.count; ++i) {
        if (object) {
            const Member *m = static_cast<const Member *>(l.items[i]);
            if (!m->key || !m->value) return false;
            if (!write_value(w, m->key, level + 1, f)) return false;
            w.put(':');
            // A member's value is always written compact.
            if (!write_value(w, m->value, level + 1, 0)) return false;
        } else {
            if (!write_value(w, static_cast<const orbek_json *>(l.items[i]), level + 1, f)) return false;
        }
        if (i + 1 < l.count) w.put(',');
        line_end(w, f);
        if (!w.ok()) return false;
    }
    prefix(w, level, f);
    w.put(object ? '}' : ']');
    return true;
}

}  // namespace

ORBEK_EXPORT int32_t orbek_json_encode(orbek_json *value, uint32_t flags, char **text, int32_t *length) noexcept {
    if (!value || !text || !length) return 0;
    if (value->kind < kString || value->kind > kArray) return 0;
    if ((flags & kSort) && is_container(value)) sort_top(value);
    orbek_stream *s = orbek_stream_new_mem(32, nullptr);
    if (!s) return 0;
    uint8_t *data = nullptr;
    int32_t size = 0;
    bool ok;
    {
        Writer w(s);
        ok = write_value(w, value, 0, flags);
        w.put('\0');
        w.flush();
        ok = ok && w.ok() && orbek_memstreamdeatch(s, &data, &size) == 1;
    }
    orbek_stream_free(s);
    if (!ok) {
        orbek_free(data);
        return 0;
    }
    *text = reinterpret_cast<char *>(data);
    *length = size - 1;
    return 1;
}
