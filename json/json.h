// The JSON value records, shared by the value model, the encoder and the
// decoder.  Not installed.
#ifndef ORBEK_JSON_JSON_H
#define ORBEK_JSON_JSON_H

#include <stddef.h>
#include <stdint.h>

#include "container/arraylist.h"
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
// record) and its value.
struct Member {
    orbek_json *key;
    orbek_json *value;
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
// bytes not written; value null), or null.
Member *alloc_member(int32_t length) noexcept;
// Releases a member: its value, then the block (key included).
void free_member(void *member) noexcept;
// An empty container of the kind, or null.
orbek_json *new_container(int32_t kind) noexcept;
// Whether the bytes are acceptable string content (valid UTF-8 by the
// Unicode string rules).  False also when the check cannot allocate.
bool valid_utf8(const char *bytes, int32_t length) noexcept;
// Three-way comparison in the encoder's value order (null first).
int compare(const orbek_json *a, const orbek_json *b) noexcept;

}  // namespace json
}  // namespace orbek

#endif
