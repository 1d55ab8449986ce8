// JSON value model: constructors, queries, editing, deep copy, traversal.
#include <string.h>

#include "core/internal.h"
#include "json/json.h"

static const char kOrbekSource[] = "ORBEK_JSON";

namespace orbek {
namespace json {

orbek_json *alloc_string(int32_t length) noexcept {
    orbek_json *v = static_cast<orbek_json *>(ORBEK_ALLOC(sizeof(orbek_json) + (size_t)length + 1));
    if (!v) return nullptr;
    v->kind = kString;
    v->length = length;
    return v;
}

Member *alloc_member(int32_t length, size_t value_size) noexcept {
    size_t head = sizeof(Member) + sizeof(orbek_json) + (size_t)length + 1;
    if (value_size) head = (head + 7) & ~(size_t)7;
    Member *m = static_cast<Member *>(ORBEK_ALLOC(head + value_size));
    if (!m) return nullptr;
    m->key = reinterpret_cast<orbek_json *>(m + 1);
    m->key->kind = kString;
    m->key->length = length;
    str_bytes(m->key)[length] = '\0';
    m->value = value_size ? reinterpret_cast<orbek_json *>(reinterpret_cast<char *>(m) + head) : nullptr;
    m->value_inline = value_size != 0;
    return m;
}

void free_member(void *member) noexcept {
    Member *m = static_cast<Member *>(member);
    if (!m->value_inline) orbek_json_free(m->value);
    ORBEK_FREE(m);
}

size_t scalar_size(const orbek_json *v) noexcept {
    switch (v->kind) {
        case kString: return sizeof(orbek_json) + (size_t)v->length + 1;
        case kNumber: return sizeof(Number);
        case kBoolean: return sizeof(Boolean);
        case kNull: return sizeof(orbek_json);
        default: return 0;
    }
}

Member *copy_member(const char *key, int32_t length, const orbek_json *value) noexcept {
    const size_t size = scalar_size(value);
    Member *m = alloc_member(length, size);
    if (!m) return nullptr;
    if (length) memcpy(str_bytes(m->key), key, (size_t)length);
    if (size) {
        memcpy(m->value, value, size);
    } else if (!(m->value = orbek_json_dup(value))) {
        ORBEK_FREE(m);
        return nullptr;
    }
    return m;
}

static void free_value_item(void *v) noexcept { orbek_json_free(static_cast<orbek_json *>(v)); }

orbek_json *new_container(int32_t kind) noexcept {
    Container *c = ORBEK_ALLOC_T(Container, 1);
    if (!c) return nullptr;
    c->h.kind = kind;
    c->h.length = 0;
    c->pending = nullptr;
    if (!arraylist_init(&c->list, nullptr, kind == kObject ? free_member : free_value_item)) {
        ORBEK_FREE(c);
        return nullptr;
    }
    return &c->h;
}

bool valid_utf8(const char *bytes, int32_t length) noexcept {
    // Plain ASCII (NUL included) is always valid UTF-8; only text with a byte
    // of 0x80 or above needs the Unicode string constructor's verdict.
    const unsigned char *p = reinterpret_cast<const unsigned char *>(bytes);
    int32_t i = 0;
    while (i < length && p[i] < 0x80) ++i;
    if (i == length) return true;
    orbek_ustring *u = orbek_ustring_newutf8(p, length);
    if (!u) return false;
    orbek_ustring_free(u);
    return true;
}

bool utf8_valid(const char *bytes, size_t length) noexcept {
    const unsigned char *s = reinterpret_cast<const unsigned char *>(bytes);
    const unsigned char *const e = s + length;
    while (s < e) {
        while (e - s >= 8 && !(load64(s) & kHighs)) s += 8;
        while (s < e && *s < 0x80) ++s;
        if (s < e && !(s = utf8_run(s, e))) return false;
    }
    return true;
}

// Keys compare by exact bytes: equal length, identical bytes.
static bool key_equals(const orbek_json *key, const char *bytes, int32_t length) noexcept {
    return key->length == length && (length == 0 || memcmp(str_bytes(key), bytes, (size_t)length) == 0);
}

// The key arguments of update and delete: a non-negative length, and bytes
// unless the length is 0.
static bool key_args_ok(const char *key, int32_t length) noexcept { return length >= 0 && (key || length == 0); }

// A member holding a copy of the key (validated as a string) and a deep
// copy of the value.
static Member *make_member(const char *key, int32_t length, const orbek_json *value) noexcept {
    if (length < 0 || length == INT32_MAX || (!key && length != 0)) return nullptr;
    if (length && !valid_utf8(key, length)) return nullptr;
    return copy_member(key, length, value);
}

}  // namespace json
}  // namespace orbek

using namespace orbek::json;

// ------------------------------------------------------------ constructors

ORBEK_EXPORT orbek_json *orbek_json_newnull(void) noexcept {
    orbek_json *v = ORBEK_ALLOC_T(orbek_json, 1);
    if (v) {
        v->kind = kNull;
        v->length = 0;
    }
    return v;
}

ORBEK_EXPORT orbek_json *orbek_json_newboolean(int32_t flag) noexcept {
    Boolean *b = ORBEK_ALLOC_T(Boolean, 1);
    if (!b) return nullptr;
    b->h.kind = kBoolean;
    b->h.length = 0;
    b->value = flag != 0;
    return &b->h;
}

ORBEK_EXPORT orbek_json *orbek_json_newnumber(double number) noexcept {
    Number *n = ORBEK_ALLOC_T(Number, 1);
    if (!n) return nullptr;
    n->h.kind = kNumber;
    n->h.length = 0;
    n->value = number;
    return &n->h;
}

ORBEK_EXPORT orbek_json *orbek_json_newstring(const char *bytes, int32_t length) noexcept {
    if (length < 0 || length == INT32_MAX || (!bytes && length != 0)) return nullptr;
    if (length && !valid_utf8(bytes, length)) return nullptr;
    orbek_json *v = alloc_string(length);
    if (!v) return nullptr;
    if (length) memcpy(str_bytes(v), bytes, (size_t)length);
    str_bytes(v)[length] = '\0';
    return v;
}

ORBEK_EXPORT orbek_json *orbek_json_newobject(void) noexcept { return new_container(kObject); }
ORBEK_EXPORT orbek_json *orbek_json_newarray(void) noexcept { return new_container(kArray); }

ORBEK_EXPORT void orbek_json_free(orbek_json *value) noexcept {
    // Containers met on the way are queued through their `pending` link and
    // released one after the other, so any depth is freed without recursion.
    Container *queue = nullptr;
    while (value) {
        if (is_container(value)) {
            Container *c = container(value);
            const bool object = value->kind == kObject;
            for (int32_t i = 0; i < c->list.count; ++i) {
                void *item = c->list.items[i];
                orbek_json *child = static_cast<orbek_json *>(item);
                if (object) {
                    Member *m = static_cast<Member *>(item);
                    child = m->value_inline ? nullptr : m->value;
                    ORBEK_FREE(m);
                }
                if (!child) continue;
                if (is_container(child)) {
                    container(child)->pending = queue;
                    queue = container(child);
                } else {
                    ORBEK_FREE(child);
                }
            }
            ORBEK_FREE(c->list.items);
        }
        ORBEK_FREE(value);
        value = queue ? &queue->h : nullptr;
        if (queue) queue = queue->pending;
    }
}

namespace {

// A copy of a scalar's record; null for a container or an unknown kind.
orbek_json *dup_scalar(const orbek_json *v) noexcept {
    const size_t size = scalar_size(v);
    if (!size) return nullptr;
    orbek_json *copy = static_cast<orbek_json *>(ORBEK_ALLOC(size));
    if (copy) memcpy(copy, v, size);
    return copy;
}

// A container being copied: the source, its copy, the next item.
struct CopyPair {
    const orbek_json *src;
    orbek_json *dst;
    int32_t index;
};

}  // namespace

ORBEK_EXPORT orbek_json *orbek_json_dup(const orbek_json *value) noexcept {
    if (!value) return nullptr;
    if (!is_container(value)) return dup_scalar(value);
    // Copies without recursion: every new container is attached to its copy
    // parent at once and its source kept on the path until it is done, so a
    // failure anywhere frees everything by freeing the root.
    orbek_json *root = new_container(value->kind);
    if (!root) return nullptr;
    Stack<CopyPair> path;
    bool ok = path.push({value, root, 0});
    while (ok && !path.empty()) {
        CopyPair &top = path.top();
        const orbek_arraylist &src = container(top.src)->list;
        if (top.index == src.count) {
            path.pop();
            continue;
        }
        void *item = src.items[top.index++];
        orbek_arraylist *dst = &container(top.dst)->list;
        const orbek_json *child = nullptr;
        orbek_json *child_copy = nullptr;
        void *slot = nullptr;
        if (top.src->kind == kObject) {
            const Member *m = static_cast<const Member *>(item);
            if (m && m->key && m->value) {
                child = m->value;
                if (!is_container(child)) {
                    slot = copy_member(str_bytes(m->key), m->key->length, child);
                } else if (Member *mc = alloc_member(m->key->length, 0)) {
                    memcpy(str_bytes(mc->key), str_bytes(m->key), (size_t)m->key->length);
                    if ((mc->value = child_copy = new_container(child->kind)))
                        slot = mc;
                    else
                        ORBEK_FREE(mc);
                }
            }
        } else if ((child = static_cast<const orbek_json *>(item))) {
            slot = is_container(child) ? (child_copy = new_container(child->kind)) : dup_scalar(child);
        }
        if (!slot || !orbek_arraylist_pushback(dst, slot)) {
            if (slot) dst->free_fn(slot);
            ok = false;
        } else if (child_copy) {
            ok = path.push({child, child_copy, 0});
        }
    }
    if (!ok) {
        orbek_json_free(root);
        return nullptr;
    }
    return root;
}

// ------------------------------------------------------------ queries

ORBEK_EXPORT int32_t orbek_json_gettype(const orbek_json *value) noexcept { return value ? value->kind : -1; }

ORBEK_EXPORT int32_t orbek_json_istrue(const orbek_json *value) noexcept {
    return value && value->kind == kBoolean ? reinterpret_cast<const Boolean *>(value)->value : 0;
}

ORBEK_EXPORT double orbek_json_getnumber(const orbek_json *value) noexcept {
    return value && value->kind == kNumber ? reinterpret_cast<const Number *>(value)->value : -1.0;
}

ORBEK_EXPORT const char *orbek_json_getstring(const orbek_json *value) noexcept {
    return value && value->kind == kString ? str_bytes(value) : nullptr;
}

ORBEK_EXPORT int32_t orbek_json_getstringlength(const orbek_json *value) noexcept {
    return value && value->kind == kString ? value->length : -1;
}

ORBEK_EXPORT int32_t orbek_json_getarraysize(const orbek_json *value) noexcept {
    return value && value->kind == kArray ? container(value)->list.count : -1;
}

ORBEK_EXPORT orbek_json *orbek_json_getarrayitem(const orbek_json *array, int32_t index) noexcept {
    if (!array || array->kind != kArray) return nullptr;
    return static_cast<orbek_json *>(orbek_arraylist_getitemref(&container(array)->list, index));
}

ORBEK_EXPORT orbek_json *orbek_json_getobjectvalue(const orbek_json *object, const char *key,
                                                  int32_t key_length) noexcept {
    if (!object || object->kind != kObject || !key_args_ok(key, key_length)) return nullptr;
    const orbek_arraylist &l = container(object)->list;
    for (int32_t i = l.count - 1; i >= 0; --i) {
        const Member *m = static_cast<const Member *>(l.items[i]);
        if (m->key && key_equals(m->key, key, key_length)) return m->value;
    }
    return nullptr;
}

// ------------------------------------------------------------ editing

ORBEK_EXPORT int32_t orbek_json_addobjectitem(orbek_json *object, const char *key, int32_t key_length,
                                              const orbek_json *value) noexcept {
    if (!object || object->kind != kObject || !value) return 0;
    Member *m = make_member(key, key_length, value);
    if (!m) return 0;
    if (!orbek_arraylist_pushback(&container(object)->list, m)) {
        free_member(m);
        return 0;
    }
    return 1;
}

ORBEK_EXPORT int32_t orbek_json_updateobjectitem(orbek_json *object, const char *key, int32_t key_length,
                                                 const orbek_json *value) noexcept {
    if (!object || object->kind != kObject || !value || !key_args_ok(key, key_length)) return 0;
    orbek_arraylist &l = container(object)->list;
    for (int32_t i = 0; i < l.count; ++i) {
        Member *m = static_cast<Member *>(l.items[i]);
        if (!m->key || !key_equals(m->key, key, key_length)) continue;
        orbek_json *copy = orbek_json_dup(value);
        if (!copy) return 0;
        if (!m->value_inline) orbek_json_free(m->value);
        m->value = copy;
        m->value_inline = 0;
        return 1;
    }
    return orbek_json_addobjectitem(object, key, key_length, value);
}

ORBEK_EXPORT int32_t orbek_json_deleteobjectitem(orbek_json *object, const char *key, int32_t key_length) noexcept {
    if (!object || object->kind != kObject || !key_args_ok(key, key_length)) return 0;
    orbek_arraylist &l = container(object)->list;
    for (int32_t i = 0; i < l.count; ++i) {
        const Member *m = static_cast<const Member *>(l.items[i]);
        if (m->key && key_equals(m->key, key, key_length)) return orbek_arraylist_delete(&l, i);
    }
    return 0;
}

ORBEK_EXPORT int32_t orbek_json_addarrayitem(orbek_json *array, const orbek_json *value) noexcept {
    if (!array || array->kind != kArray || !value) return 0;
    orbek_json *copy = orbek_json_dup(value);
    if (!copy) return 0;
    if (!orbek_arraylist_pushback(&container(array)->list, copy)) {
        orbek_json_free(copy);
        return 0;
    }
    return 1;
}

ORBEK_EXPORT int32_t orbek_json_deletearrayitem(orbek_json *array, int32_t index) noexcept {
    if (!array || array->kind != kArray) return 0;
    return orbek_arraylist_delete(&container(array)->list, index);
}

// ------------------------------------------------------------ traversal

ORBEK_EXPORT int32_t orbek_json_traverse(orbek_json *object, orbek_json_traverse_func callback, void *arg) noexcept {
    if (!object || object->kind != kObject || !callback) return 0;
    orbek_arraylist *l = &container(object)->list;
    // The count is read once; a member that a callback removed in the
    // meantime ends the walk with 0.
    const int32_t count = l->count;
    for (int32_t i = 0; i < count; ++i) {
        Member *m = static_cast<Member *>(orbek_arraylist_getitemref(l, i));
        if (!m || !m->key || !m->value) return 0;
        if (callback(arg, str_bytes(m->key), m->key->length, m->value) != 1) return 0;
    }
    return 1;
}
