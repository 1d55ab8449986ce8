// JSON text encoder: compact or pretty text, optional top-level sort.
#include <locale.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "core/internal.h"
#include "json/json.h"

// The text grows in the memory stream and the path in Stack, which names
// this source itself: nothing here calls the allocation hook directly.
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

namespace {

// Compares two values as far as they can be told apart without looking
// inside containers; *descend says that both are containers of the same
// kind and size whose items decide.
int compare_head(const orbek_json *a, const orbek_json *b, bool *descend) noexcept {
    *descend = false;
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
            const int32_t na = container(a)->list.count, nb = container(b)->list.count;
            if (na != nb) return na < nb ? -1 : 1;
            *descend = na > 0;
            return 0;
        }
        default: return 0;  // nulls, and kinds the encoder refuses anyway
    }
}

struct ComparePair {
    const orbek_json *a, *b;
    int32_t index;
};

}  // namespace

int compare(const orbek_json *a, const orbek_json *b, bool *failed) noexcept {
    bool descend;
    int c = compare_head(a, b, &descend);
    if (!descend) return c;
    // Items in list order, depth first; for members the key, then the value.
    Stack<ComparePair> path;
    if (!path.push({a, b, 0})) {
        *failed = true;
        return 0;
    }
    while (!path.empty()) {
        ComparePair &top = path.top();
        const orbek_arraylist &la = container(top.a)->list, &lb = container(top.b)->list;
        if (top.index == la.count) {
            path.pop();
            continue;
        }
        const int32_t i = top.index++;
        const orbek_json *x, *y;
        if (top.a->kind == kArray) {
            x = static_cast<const orbek_json *>(la.items[i]);
            y = static_cast<const orbek_json *>(lb.items[i]);
        } else {
            const Member *ma = static_cast<const Member *>(la.items[i]);
            const Member *mb = static_cast<const Member *>(lb.items[i]);
            if ((c = compare_head(ma->key, mb->key, &descend)) != 0) return c;
            x = ma->value;
            y = mb->value;
        }
        if ((c = compare_head(x, y, &descend)) != 0) return c;
        if (descend && !path.push({x, y, 0})) {
            *failed = true;
            return 0;
        }
    }
    return 0;
}

}  // namespace json
}  // namespace orbek

using namespace orbek::json;

namespace {

int compare_slots(const orbek_json *container_value, void *x, void *y, bool *failed) noexcept {
    if (container_value->kind == kArray)
        return compare(static_cast<orbek_json *>(x), static_cast<orbek_json *>(y), failed);
    const Member *a = static_cast<const Member *>(x);
    const Member *b = static_cast<const Member *>(y);
    int c = compare(a->key, b->key, failed);
    return c ? c : compare(a->value, b->value, failed);
}

// Heap sort of the top-level slots: unstable, in place, O(n log n), and safe
// with the value order's NaN rule (which is not a strict weak order).  False
// when a comparison ran out of memory; the slots then hold the same items
// in some order.
bool sort_top(orbek_json *v) noexcept {
    orbek_arraylist &l = container(v)->list;
    void **s = l.items;
    const int32_t n = l.count;
    bool failed = false;
    auto sift = [&](int32_t root, int32_t end) {
        while (!failed) {
            int32_t child = 2 * root + 1;
            if (child >= end) return;
            if (child + 1 < end && compare_slots(v, s[child], s[child + 1], &failed) < 0) ++child;
            if (compare_slots(v, s[root], s[child], &failed) >= 0) return;
            void *t = s[root];
            s[root] = s[child];
            s[child] = t;
            root = child;
        }
    };
    for (int32_t i = n / 2 - 1; i >= 0 && !failed; --i) sift(i, n);
    for (int32_t end = n - 1; end > 0 && !failed; --end) {
        void *t = s[0];
        s[0] = s[end];
        s[end] = t;
        sift(0, end);
    }
    return !failed;
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

// A container being written: its next item, its level and its flag word.
struct Open {
    const orbek_json *v;
    int32_t index;
    int32_t level;
    uint32_t flags;
};

// Writes the start of a value: a scalar whole, a container up to its first
// item (and puts it on the path).  False for an unknown kind or a path that
// cannot grow.
bool start_value(Writer &w, Stack<Open> &path, const orbek_json *v, int32_t level, uint32_t f) {
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
    w.put(v->kind == kObject ? '{' : '[');
    line_end(w, f);
    return path.push({v, 0, level, f});
}

// After an item of the container on top of the path: the comma unless it
// was the last, and the line end.
void end_item(Writer &w, const Open &o) {
    if (o.index < container(o.v)->list.count) w.put(',');
    line_end(w, o.flags);
}

// Writes a tree without recursion: the path holds the open containers.
bool write_tree(Writer &w, const orbek_json *root, uint32_t f) {
    Stack<Open> path;
    if (!start_value(w, path, root, 0, f)) return false;
    while (!path.empty()) {
        if (!w.ok()) return false;
        const Open o = path.top();
        const orbek_arraylist &l = container(o.v)->list;
        if (o.index == l.count) {
            prefix(w, o.level, o.flags);
            w.put(o.v->kind == kObject ? '}' : ']');
            path.pop();
            if (!path.empty()) end_item(w, path.top());
            continue;
        }
        ++path.top().index;
        const orbek_json *item;
        if (o.v->kind == kObject) {
            const Member *m = static_cast<const Member *>(l.items[o.index]);
            if (!m->key || !m->value) return false;
            prefix(w, o.level + 1, o.flags);
            write_string(w, m->key);
            w.put(':');
            // A member's value is always written compact.
            item = m->value;
            if (!start_value(w, path, item, o.level + 1, 0)) return false;
        } else {
            item = static_cast<const orbek_json *>(l.items[o.index]);
            if (!start_value(w, path, item, o.level + 1, o.flags)) return false;
        }
        // A scalar is complete at once; a container ends when it is popped.
        if (!is_container(item)) end_item(w, path.top());
    }
    return w.ok();
}

}  // namespace

ORBEK_EXPORT int32_t orbek_json_encode(orbek_json *value, uint32_t flags, char **text, int32_t *length) noexcept {
    if (!value || !text || !length) return 0;
    if (value->kind < kString || value->kind > kArray) return 0;
    if ((flags & kSort) && is_container(value) && !sort_top(value)) return 0;
    orbek_stream *s = orbek_stream_new_mem(32, nullptr);
    if (!s) return 0;
    uint8_t *data = nullptr;
    int32_t size = 0;
    bool ok;
    {
        Writer w(s);
        ok = write_tree(w, value, flags);
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
