// The JSON value records, shared by the value model, the encoder and the
// decoder.  Not installed.
#ifndef ORBEK_JSON_JSON_H
#define ORBEK_JSON_JSON_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "container/arraylist.h"
#include "core/internal.h"
#include "orbek_util.h"

// Every value starts with this header.  Each kind allocates only what it
// needs: a string keeps its bytes (and the NUL after them) in the same block,
// right after the header, so a string is one allocation.
struct orbek_json {
    int32_t kind;
    int32_t length;  // string: content bytes, NUL not counted
};

namespace orbek {
namespace json {

enum : int32_t { kString = 1, kNumber = 2, kBoolean = 3, kNull = 4, kObject = 5, kArray = 6 };

struct Number {
    orbek_json h;
    double value;
};

struct Boolean {
    orbek_json h;
    int32_t value;
};

// Objects hold member records, arrays values, in a list that lives inside
// the container record.  `pending` links containers waiting to be released,
// so that freeing a tree of any depth needs neither recursion nor memory.
struct Container {
    orbek_json h;
    orbek_arraylist list;
    Container *pending;
};

// A member: its key (a string value kept in the same block, right after the
// record) and its value.  A scalar value is usually kept in the same block
// too, after the key (value_inline 1): a member then costs one allocation.
// Containers, and values that replace the first one, are separate records.
struct Member {
    orbek_json *key;
    orbek_json *value;
    int32_t value_inline;
};

inline char *str_bytes(orbek_json *v) noexcept { return reinterpret_cast<char *>(v + 1); }
inline const char *str_bytes(const orbek_json *v) noexcept { return reinterpret_cast<const char *>(v + 1); }
inline Container *container(orbek_json *v) noexcept { return reinterpret_cast<Container *>(v); }
inline const Container *container(const orbek_json *v) noexcept { return reinterpret_cast<const Container *>(v); }
inline bool is_container(const orbek_json *v) noexcept { return v->kind == kObject || v->kind == kArray; }

// A string record with room for length bytes and the NUL (not yet written),
// or null.  length must be within 0 .. INT32_MAX-1.
orbek_json *alloc_string(int32_t length) noexcept;
// A member block whose key has room for length bytes (length and NUL set,
// bytes not written), or null.  With value_size > 0 the block also holds an
// 8-aligned area of that size for the value (value points at it, nothing
// written); otherwise value is null.
Member *alloc_member(int32_t length, size_t value_size) noexcept;
// The size of a scalar's record (what dup copies); 0 for a container.
size_t scalar_size(const orbek_json *v) noexcept;
// A member holding a copy of the key bytes (not validated) and a deep copy
// of value, or null.
Member *copy_member(const char *key, int32_t length, const orbek_json *value) noexcept;
// Releases a member: its value, then the block (key included).
void free_member(void *member) noexcept;
// An empty container of the kind, or null.
orbek_json *new_container(int32_t kind) noexcept;
// Whether the bytes are acceptable string content (valid UTF-8 by the
// Unicode string rules).  False also when the check cannot allocate.
bool valid_utf8(const char *bytes, int32_t length) noexcept;
// The same verdict by a scan of its own, without building a string: the
// decoder's fast path (the fuzz target holds the two to the same answers).
bool utf8_valid(const char *bytes, size_t length) noexcept;

// Word-at-a-time helpers for the string scans.
inline uint64_t load64(const unsigned char *p) noexcept {
    uint64_t v;
    memcpy(&v, p, 8);
    return v;
}
constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighs = 0x8080808080808080ULL;
// Whether any byte of w is a double quote, a backslash or below 0x20: the
// bytes that end a run of plain string content.
inline bool has_special(uint64_t w) noexcept {
    const uint64_t q = w ^ (kOnes * '"');
    const uint64_t b = w ^ (kOnes * '\\');
    return (((w - kOnes * 0x20) | (q - kOnes) | (b - kOnes)) & ~w & kHighs) != 0;
}

// Checks the run of multi-byte sequences that starts at s (a byte of 0x80
// or above) and returns the first byte after it (an ASCII byte or e), or
// null when the run is not valid UTF-8: the shortest form only, no
// surrogates, nothing above U+10FFFF, exactly what the Unicode string
// constructor accepts.  The second byte's range depends on the lead byte
// (E0 A0.., ED ..9F, F0 90.., F4 ..8F); other continuation bytes are 80..BF.
inline const unsigned char *utf8_run(const unsigned char *s, const unsigned char *e) noexcept {
    // Second-byte bounds for three- and four-byte leads, by the lead's low
    // nibble.
    static const unsigned char kLo3[16] = {0xA0, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                           0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
    static const unsigned char kHi3[16] = {0xBF, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF,
                                           0xBF, 0xBF, 0xBF, 0xBF, 0xBF, 0x9F, 0xBF, 0xBF};
    static const unsigned char kLo4[5] = {0x90, 0x80, 0x80, 0x80, 0x80};
    static const unsigned char kHi4[5] = {0xBF, 0xBF, 0xBF, 0xBF, 0x8F};
    auto cont = [](unsigned char c) { return (unsigned char)(c ^ 0x80) < 0x40; };
    while (s < e) {
        const unsigned char c = *s;
        if (c < 0x80) return s;
        if (c < 0xE0) {
            if (c < 0xC2 || e - s < 2 || !cont(s[1])) return nullptr;  // C0/C1 are overlong
            s += 2;
        } else if (c < 0xF0) {
            if (e - s < 3 || s[1] < kLo3[c & 15] || s[1] > kHi3[c & 15] || !cont(s[2])) return nullptr;
            s += 3;
        } else {
            if (c > 0xF4 || e - s < 4 || s[1] < kLo4[c & 7] || s[1] > kHi4[c & 7] || !cont(s[2]) || !cont(s[3]))
                return nullptr;
            s += 4;
        }
    }
    return s;
}

// Three-way comparison in the encoder's value order (null first).  Sets
// *failed (and answers 0) when nesting deeper than its own stack's inline
// room needs memory that cannot be had.
int compare(const orbek_json *a, const orbek_json *b, bool *failed) noexcept;

// The walks over a tree (encoding, copying, comparing) keep their path in
// this stack instead of recursing, so a tree of any depth is handled without
// exhausting the thread's stack.  The first 32 levels need no allocation.
template <class T>
class Stack {
public:
    Stack() = default;
    Stack(const Stack &) = delete;
    Stack &operator=(const Stack &) = delete;
    ~Stack() {
        if (items_ != inline_) release(items_);
    }
    bool push(const T &x) noexcept {
        if (n_ == cap_ && !grow()) return false;
        items_[n_++] = x;
        return true;
    }
    T &top() noexcept { return items_[n_ - 1]; }
    void pop() noexcept { --n_; }
    bool empty() const noexcept { return n_ == 0; }

private:
    bool grow() noexcept {
        size_t bytes;
        if (!mul_size((size_t)cap_ * 2, sizeof(T), &bytes)) return false;
        T *p = static_cast<T *>(alloc(bytes, "ORBEK_JSON", __LINE__));
        if (!p) return false;
        memcpy(static_cast<void *>(p), items_, sizeof(T) * (size_t)n_);
        if (items_ != inline_) release(items_);
        items_ = p;
        cap_ *= 2;
        return true;
    }

    T inline_[32];
    T *items_ = inline_;
    int32_t n_ = 0;
    int32_t cap_ = 32;
};

}  // namespace json
}  // namespace orbek

#endif
