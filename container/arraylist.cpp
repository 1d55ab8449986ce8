// Array list: a growable vector of opaque pointer-sized items.
#include "container/arraylist.h"

#include <string.h>

#include "core/internal.h"

static const char kOrbekSource[] = "ORBEK_ArrayList";

namespace {

// Doubles the slot array.  The list is untouched when the doubled array would
// need 2^31 bytes or more (counted with 8-byte slots whatever the platform,
// so every platform stops at the same 2^28 slots) or the allocation fails.
bool grow(orbek_arraylist *list) noexcept {
    if (list->capacity >= orbek::kArrayListMaxCapacity) return false;
    const int32_t cap = list->capacity * 2;
    void **items = ORBEK_ALLOC_T(void *, cap);
    if (!items) return false;
    memcpy(items, list->items, sizeof(void *) * (size_t)list->count);
    memset(items + list->count, 0, sizeof(void *) * (size_t)(cap - list->count));
    ORBEK_FREE(list->items);
    list->items = items;
    list->capacity = cap;
    return true;
}

}  // namespace

namespace orbek {

bool arraylist_init(orbek_arraylist *list, orbek_arraylist_dup_func dup_fn,
                    orbek_arraylist_free_func free_fn) noexcept {
    list->items = ORBEK_ALLOC_T(void *, kArrayListInitialCapacity);
    if (!list->items) return false;
    memset(list->items, 0, sizeof(void *) * kArrayListInitialCapacity);
    list->count = 0;
    list->capacity = kArrayListInitialCapacity;
    list->free_fn = free_fn;
    list->dup_fn = dup_fn;
    return true;
}

}  // namespace orbek

ORBEK_EXPORT orbek_arraylist *orbek_arraylist_new(orbek_arraylist_dup_func dup_fn,
                                                  orbek_arraylist_free_func free_fn) noexcept {
    orbek_arraylist *list = ORBEK_ALLOC_T(orbek_arraylist, 1);
    if (!list) return nullptr;
    if (!orbek::arraylist_init(list, dup_fn, free_fn)) {
        ORBEK_FREE(list);
        return nullptr;
    }
    return list;
}

ORBEK_EXPORT void orbek_arraylist_free(orbek_arraylist *list) noexcept {
    if (!list) return;
    if (list->free_fn)
        for (int32_t i = 0; i < list->count; ++i) list->free_fn(list->items[i]);
    ORBEK_FREE(list->items);
    ORBEK_FREE(list);
}

ORBEK_EXPORT void orbek_arraylist_freeitem(orbek_arraylist *list, void *item) noexcept {
    if (list && list->free_fn && item) list->free_fn(item);
}

ORBEK_EXPORT int32_t orbek_arraylist_count(const orbek_arraylist *list) noexcept {
    return list ? list->count : 0;
}

ORBEK_EXPORT void *orbek_arraylist_getitem(const orbek_arraylist *list, int32_t index) noexcept {
    if (!list || index < 0 || index >= list->count) return nullptr;
    void *item = list->items[index];
    return list->dup_fn ? list->dup_fn(item) : item;
}

ORBEK_EXPORT void *orbek_arraylist_getitemref(const orbek_arraylist *list, int32_t index) noexcept {
    if (!list || index < 0 || index >= list->count) return nullptr;
    return list->items[index];
}

ORBEK_EXPORT int32_t orbek_arraylist_pushback(orbek_arraylist *list, void *item) noexcept {
    if (!list || !item) return 0;
    if (list->count == list->capacity && !grow(list)) return 0;
    void *stored = list->dup_fn ? list->dup_fn(item) : item;
    if (!stored) return 0;  // the slot stays null
    list->items[list->count++] = stored;
    return 1;
}

ORBEK_EXPORT int32_t orbek_arraylist_insert(orbek_arraylist *list, int32_t index, void *item) noexcept {
    if (!list || !item) return 0;
    if (index < 0) index = 0;
    if (index > list->count) index = list->count;
    if (list->count == list->capacity && !grow(list)) return 0;
    // Duplicating before the slots move gives the same result as moving them
    // up and back down when the duplicate fails, with no moves at all.
    void *stored = list->dup_fn ? list->dup_fn(item) : item;
    if (!stored) return 0;
    void **slot = list->items + index;
    memmove(slot + 1, slot, sizeof(void *) * (size_t)(list->count - index));
    *slot = stored;
    ++list->count;
    return 1;
}

ORBEK_EXPORT int32_t orbek_arraylist_delete(orbek_arraylist *list, int32_t index) noexcept {
    if (!list || index < 0 || index >= list->count) return 0;
    void **slot = list->items + index;
    if (list->free_fn) list->free_fn(*slot);
    memmove(slot, slot + 1, sizeof(void *) * (size_t)(list->count - index - 1));
    list->items[--list->count] = nullptr;
    return 1;
}
