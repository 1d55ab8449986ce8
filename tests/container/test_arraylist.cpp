#include <gtest/gtest.h>

#include <vector>

#include "container/arraylist.h"
#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

// Owned items are small heap records, so that leaks and double frees show up.
struct Item { int value; };
std::vector<int> g_freed;  // values passed to the free function, in order
bool g_dup_fails = false;

void *dup_item(void *p) { return g_dup_fails ? nullptr : new Item(*static_cast<Item *>(p)); }
void free_item(void *p) {
    g_freed.push_back(static_cast<Item *>(p)->value);
    delete static_cast<Item *>(p);
}
void *as_item(intptr_t v) { return reinterpret_cast<void *>(v); }
int value_at(const orbek_arraylist *l, int32_t i) {
    return static_cast<Item *>(orbek_arraylist_getitemref(l, i))->value;
}

// The stored items as numbers; the slots past count must all be null.
using Ints = std::vector<intptr_t>;
Ints contents(const orbek_arraylist *l) {
    Ints out;
    for (int32_t i = 0; i < orbek_arraylist_count(l); ++i)
        out.push_back(reinterpret_cast<intptr_t>(orbek_arraylist_getitemref(l, i)));
    for (int32_t i = l->count; i < l->capacity; ++i) EXPECT_EQ(l->items[i], nullptr) << "slot " << i;
    return out;
}

}  // namespace

TEST(ArrayList, InsertClampsDeleteShiftsAndAFullListDoubles) {
    orbek_arraylist *l = orbek_arraylist_new(nullptr, nullptr);
    ASSERT_NE(l, nullptr);
    EXPECT_STREQ(testalloc::last_file(), "ORBEK_ArrayList");
    EXPECT_EQ(orbek_arraylist_pushback(l, nullptr) + orbek_arraylist_insert(l, 0, nullptr), 0);
    ASSERT_EQ(orbek_arraylist_pushback(l, as_item(2)), 1);
    ASSERT_EQ(orbek_arraylist_insert(l, -5, as_item(1)), 1);
    ASSERT_EQ(orbek_arraylist_insert(l, 99, as_item(4)), 1);
    ASSERT_EQ(orbek_arraylist_insert(l, 2, as_item(3)), 1);
    EXPECT_EQ(contents(l), (Ints{1, 2, 3, 4}));
    EXPECT_TRUE(!orbek_arraylist_getitem(l, 4) && !orbek_arraylist_getitem(l, -1));
    EXPECT_EQ(orbek_arraylist_delete(l, 4) + orbek_arraylist_delete(l, -1), 0);
    ASSERT_EQ(orbek_arraylist_delete(l, 1), 1);
    ASSERT_EQ(orbek_arraylist_delete(l, 2), 1);
    EXPECT_EQ(contents(l), (Ints{1, 3}));
    orbek_arraylist_freeitem(l, as_item(7));  // no free function: nothing to do

    // A list of 16 is full; inserting in its middle grows it once, by doubling.
    Ints want{1, 2, 3};
    for (intptr_t i = 5; i <= 18; ++i) want.push_back(i * orbek_arraylist_pushback(l, as_item(i)));
    EXPECT_EQ(l->capacity, 16);
    long before = testalloc::total_allocations();
    ASSERT_EQ(orbek_arraylist_insert(l, 1, as_item(2)), 1);
    EXPECT_EQ(testalloc::total_allocations(), before + 1);
    EXPECT_EQ(l->capacity, 32);
    EXPECT_EQ(contents(l), want);

    // At the slot limit a full list refuses to grow, whatever the platform.
    const orbek_arraylist saved = *l;
    l->capacity = l->count = orbek::kArrayListMaxCapacity;
    before = testalloc::total_allocations();
    EXPECT_EQ(orbek_arraylist_pushback(l, as_item(8)) + orbek_arraylist_insert(l, 0, as_item(8)), 0);
    EXPECT_EQ(testalloc::total_allocations(), before);
    EXPECT_TRUE(l->items == saved.items && l->count == orbek::kArrayListMaxCapacity);
    *l = saved;
    orbek_arraylist_free(l);
}

TEST(ArrayList, DuplicateAndFreeFunctionsOwnTheItems) {
    g_freed.clear();
    orbek_arraylist *l = orbek_arraylist_new(dup_item, free_item);
    ASSERT_NE(l, nullptr);
    Item a{1}, b{2}, c{3};
    ASSERT_EQ(orbek_arraylist_pushback(l, &a), 1);
    ASSERT_EQ(orbek_arraylist_pushback(l, &b), 1);
    ASSERT_EQ(orbek_arraylist_insert(l, 0, &c), 1);
    EXPECT_NE(orbek_arraylist_getitemref(l, 0), &c) << "the list stores the duplicate";

    // getitem hands out a fresh copy each time, for the caller to free.
    void *copy1 = orbek_arraylist_getitem(l, 1), *copy2 = orbek_arraylist_getitem(l, 1);
    EXPECT_NE(copy1, copy2);
    orbek_arraylist_freeitem(l, copy1);
    orbek_arraylist_freeitem(l, copy2);
    EXPECT_EQ(g_freed, (std::vector<int>{1, 1}));

    // A failing duplicate refuses the item and leaves every slot as it was.
    const Ints before = contents(l);
    g_dup_fails = true;
    EXPECT_EQ(orbek_arraylist_pushback(l, &a) + orbek_arraylist_insert(l, 1, &a), 0);
    EXPECT_EQ(orbek_arraylist_getitem(l, 0), nullptr);
    g_dup_fails = false;
    EXPECT_EQ(contents(l), before);

    // Delete frees the item; the rest are freed in index order with the list.
    ASSERT_EQ(orbek_arraylist_delete(l, 0), 1);
    EXPECT_EQ(orbek_arraylist_delete(l, 2), 0);
    orbek_arraylist_free(l);
    EXPECT_EQ(g_freed, (std::vector<int>{1, 1, 3, 1, 2}));
}

TEST(ArrayList, AllocationFailureSweepOverCreationAndGrowth) {
    // 40 items: creation plus two doublings (16 -> 32 -> 64).  A failed
    // growth leaves the list exactly as it was.
    EXPECT_EQ(testalloc::sweep([] {
                  orbek_arraylist *l = orbek_arraylist_new(nullptr, nullptr);
                  if (!l) return false;
                  bool ok = true;
                  Ints want;
                  for (intptr_t i = 1; i <= 40 && ok; ++i)
                      if ((ok = orbek_arraylist_pushback(l, as_item(i)) == 1)) want.push_back(i);
                  EXPECT_EQ(contents(l), want);
                  EXPECT_EQ(l->capacity, l->count <= 16 ? 16 : l->count <= 32 ? 32 : 64);
                  orbek_arraylist_free(l);
                  return ok;
              }),
              4);
    // The same through insert at the front, with owned items.
    EXPECT_EQ(testalloc::sweep([] {
                  orbek_arraylist *l = orbek_arraylist_new(dup_item, free_item);
                  bool ok = l != nullptr;
                  for (int i = 0; i < 20 && ok; ++i) {
                      Item it{i};
                      ok = orbek_arraylist_insert(l, 0, &it) == 1;
                  }
                  EXPECT_TRUE(!ok || (value_at(l, 0) == 19 && value_at(l, 19) == 0));
                  orbek_arraylist_free(l);
                  return ok;
              }),
              3);
}
