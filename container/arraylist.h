// The array list record, shared with the families that keep their items in
// one (the JSON value model reads and reorders the slots directly).
#ifndef ORBEK_CONTAINER_ARRAYLIST_H
#define ORBEK_CONTAINER_ARRAYLIST_H

#include <stdint.h>

#include "orbek_util.h"

struct orbek_arraylist {
    void **items;       // slot array; slots count .. capacity-1 are always null
    int32_t count;      // items in use, in slots 0 .. count-1
    int32_t capacity;   // 16 * 2^k slots, never shrinks
    orbek_arraylist_free_func free_fn;
    orbek_arraylist_dup_func dup_fn;
};

namespace orbek {

// Capacity of a new list, and the largest slot array a list may have.
constexpr int32_t kArrayListInitialCapacity = 16;
constexpr int32_t kArrayListMaxCapacity = 1 << 28;

// Sets up a list record that lives inside another object (a JSON container):
// only the slot array is allocated.  False when that allocation fails.
bool arraylist_init(orbek_arraylist *list, orbek_arraylist_dup_func dup_fn,
                    orbek_arraylist_free_func free_fn) noexcept;

}  // namespace orbek

#endif
