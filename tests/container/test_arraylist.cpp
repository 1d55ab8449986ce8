#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "container/arraylist.h"
#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

// Items are small heap records so that leaks and double frees show up.
struct Item {
    int value;
};

std::vector<int> g_freed;   // values passed to the free function, in order
bool g_dup_fails = false;
int g_dups = 0;

void *dup_item(void *p) {
    ++g_dups;
    if (g_dup_fails) return nullptr;
    Item *copy = new Item(*static_cast<Item *>(p));
    return copy;
}

void free_item(void *p) {
    g_freed.push_back(static_cast<Item *>(p)->value);
    delete static_cast<Item *>(p);
}

void *as_item(intptr_t v) { return reinterpret_cast<void *>(v); }

std::vector<intptr_t> contents(const orbek_arraylist *l) {
    std::vector<intptr_t> out;
    for (int32_t i = 0; i < orbek_arraylist_count(l); ++i)
        out.push_back(reinterpret_cast<intptr_t>(orbek_arraylist_getitemref(l, i)));
    return out;
}

// The slots past count must all be null.
bool tail_clear(const orbek_arraylist *l) {
    for (int32_t i = l->count; i < l->capacity; ++i)
        if (l->items[i]) return false;
    return true;
}

class ArrayList : public ::testing::Test {
protected:
    void SetUp() override {
        g_freed.clear();
        g_dup_fails = false;
        g_dups = 0;
    }
};

}  // namespace

TEST_F(ArrayList, GrowsByDoublingAndKeepsOrder) {
    orbek_arraylist *l = orbek_arraylist_new(nullptr, nullptr);
    ASSERT_NE(l, nullptr);
    EXPECT_STREQ(testalloc::last_file(), "ORBEK_ArrayList");
    EXPECT_EQ(l->capacity, 16);
    EXPECT_EQ(orbek_arraylist_count(l), 0);
    for (intptr_t i = 1; i <= 16; ++i) ASSERT_EQ(orbek_arraylist_pushback(l, as_item(i)), 1);
    EXPECT_EQ(l->capacity, 16);
    long before = testalloc::total_allocations();
    ASSERT_EQ(orbek_arraylist_pushback(l, as_item(17)), 1);
    EXPECT_EQ(testalloc::total_allocations(), before + 1);
    EXPECT_EQ(l->capacity, 32);
    std::vector<intptr_t> want;
    for (intptr_t i = 1; i <= 17; ++i) want.push_back(i);
    EXPECT_EQ(contents(l), want);
    EXPECT_TRUE(tail_clear(l));
    orbek_arraylist_free(l);
}

TEST_F(ArrayList, InsertClampsAndDeleteClearsVacatedSlot) {
    orbek_arraylist *l = orbek_arraylist_new(nullptr, nullptr);
    ASSERT_NE(l, nullptr);
    ASSERT_EQ(orbek_arraylist_pushback(l, as_item(2)), 1);
    ASSERT_EQ(orbek_arraylist_insert(l, -5, as_item(1)), 1);
    ASSERT_EQ(orbek_arraylist_insert(l, 99, as_item(4)), 1);
    ASSERT_EQ(orbek_arraylist_insert(l, 2, as_item(3)), 1);
    EXPECT_EQ(contents(l), (std::vector<intptr_t>{1, 2, 3, 4}));

    EXPECT_EQ(orbek_arraylist_delete(l, 4), 0);
    EXPECT_EQ(orbek_arraylist_delete(l, -1), 0);
    ASSERT_EQ(orbek_arraylist_delete(l, 1), 1);
    EXPECT_EQ(contents(l), (std::vector<intptr_t>{1, 3, 4}));
    ASSERT_EQ(orbek_arraylist_delete(l, 2), 1);
    EXPECT_EQ(contents(l), (std::vector<intptr_t>{1, 3}));
    EXPECT_TRUE(tail_clear(l));

    // Inserting in the middle of a full list grows it and shifts the rest.
    for (intptr_t i = 10; i < 24; ++i) ASSERT_EQ(orbek_arraylist_pushback(l, as_item(i)), 1);
    ASSERT_EQ(l->count, 16);
    ASSERT_EQ(orbek_arraylist_insert(l, 1, as_item(2)), 1);
    EXPECT_EQ(l->capacity, 32);
    std::vector<intptr_t> c = contents(l);
    ASSERT_EQ(c.size(), 17u);
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[1], 2);
    EXPECT_EQ(c[2], 3);
    EXPECT_EQ(c[16], 23);
    EXPECT_TRUE(tail_clear(l));
    orbek_arraylist_free(l);
}

TEST_F(ArrayList, RefusalsLeaveTheListAlone) {
    orbek_arraylist *l = orbek_arraylist_new(nullptr, nullptr);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(orbek_arraylist_pushback(l, nullptr), 0);
    EXPECT_EQ(orbek_arraylist_insert(l, 0, nullptr), 0);
    EXPECT_EQ(orbek_arraylist_count(l), 0);
    ASSERT_EQ(orbek_arraylist_pushback(l, as_item(7)), 1);
    EXPECT_EQ(orbek_arraylist_getitem(l, 1), nullptr);
    EXPECT_EQ(orbek_arraylist_getitem(l, -1), nullptr);
    // No free function: freeitem is a no-op (the item is not a pointer).
    orbek_arraylist_freeitem(l, as_item(7));

    // At the slot limit a full list refuses to grow, whatever the platform.
    void **items = l->items;
    l->capacity = orbek::kArrayListMaxCapacity;
    l->count = orbek::kArrayListMaxCapacity;
    long before = testalloc::total_allocations();
    EXPECT_EQ(orbek_arraylist_pushback(l, as_item(8)), 0);
    EXPECT_EQ(orbek_arraylist_insert(l, 0, as_item(8)), 0);
    EXPECT_EQ(testalloc::total_allocations(), before);
    EXPECT_EQ(l->items, items);
    EXPECT_EQ(l->count, orbek::kArrayListMaxCapacity);
    l->capacity = 16;
    l->count = 1;
    orbek_arraylist_free(l);
}

TEST_F(ArrayList, DuplicateAndFreeFunctionsOwnTheItems) {
    orbek_arraylist *l = orbek_arraylist_new(dup_item, free_item);
    ASSERT_NE(l, nullptr);
    Item a{1}, b{2}, c{3};
    ASSERT_EQ(orbek_arraylist_pushback(l, &a), 1);
    ASSERT_EQ(orbek_arraylist_pushback(l, &b), 1);
    ASSERT_EQ(orbek_arraylist_insert(l, 0, &c), 1);
    EXPECT_EQ(g_dups, 3);
    EXPECT_NE(orbek_arraylist_getitemref(l, 0), &c) << "the list stores the duplicate";

    // getitem hands out a fresh copy each time; getitemref the stored item.
    void *copy1 = orbek_arraylist_getitem(l, 1);
    void *copy2 = orbek_arraylist_getitem(l, 1);
    ASSERT_NE(copy1, nullptr);
    EXPECT_NE(copy1, copy2);
    EXPECT_EQ(static_cast<Item *>(copy1)->value, 1);
    EXPECT_EQ(orbek_arraylist_getitemref(l, 1), orbek_arraylist_getitemref(l, 1));
    orbek_arraylist_freeitem(l, copy1);
    orbek_arraylist_freeitem(l, copy2);
    EXPECT_EQ(g_freed, (std::vector<int>{1, 1}));
    EXPECT_EQ(orbek_arraylist_count(l), 3) << "freeitem does not touch the list";
    g_freed.clear();

    // A failing duplicate refuses the item and leaves every slot as it was.
    std::vector<intptr_t> before = contents(l);
    g_dup_fails = true;
    EXPECT_EQ(orbek_arraylist_pushback(l, &a), 0);
    EXPECT_EQ(orbek_arraylist_insert(l, 1, &a), 0);
    EXPECT_EQ(orbek_arraylist_getitem(l, 0), nullptr);
    g_dup_fails = false;
    EXPECT_EQ(contents(l), before);
    EXPECT_TRUE(tail_clear(l));

    // Delete frees the item; the rest are freed in index order with the list.
    ASSERT_EQ(orbek_arraylist_delete(l, 0), 1);
    EXPECT_EQ(g_freed, (std::vector<int>{3}));
    EXPECT_EQ(orbek_arraylist_delete(l, 2), 0);
    EXPECT_EQ(g_freed.size(), 1u) << "a refused delete calls no free function";
    g_freed.clear();
    orbek_arraylist_free(l);
    EXPECT_EQ(g_freed, (std::vector<int>{1, 2}));
}

TEST_F(ArrayList, AllocationFailureSweepOverCreationAndGrowth) {
    // 40 items: creation plus two doublings (16 -> 32 -> 64).
    long n = testalloc::sweep([] {
        orbek_arraylist *l = orbek_arraylist_new(nullptr, nullptr);
        if (!l) return false;
        bool ok = true;
        for (intptr_t i = 1; i <= 40 && ok; ++i) {
            int32_t count = l->count;
            int32_t cap = l->capacity;
            if (orbek_arraylist_pushback(l, as_item(i)) != 1) {
                // A failed growth leaves the list exactly as it was.
                EXPECT_EQ(l->count, count);
                EXPECT_EQ(l->capacity, cap);
                EXPECT_TRUE(tail_clear(l));
                for (int32_t k = 0; k < l->count; ++k)
                    EXPECT_EQ(reinterpret_cast<intptr_t>(l->items[k]), k + 1);
                ok = false;
            }
        }
        orbek_arraylist_free(l);
        return ok;
    });
    EXPECT_EQ(n, 4);

    // The same through insert at the front, with owned items.
    n = testalloc::sweep([] {
        orbek_arraylist *l = orbek_arraylist_new(dup_item, free_item);
        if (!l) return false;
        bool ok = true;
        Item it{0};
        for (int i = 0; i < 20 && ok; ++i) {
            it.value = i;
            ok = orbek_arraylist_insert(l, 0, &it) == 1;
        }
        if (ok) {
            EXPECT_EQ(static_cast<Item *>(orbek_arraylist_getitemref(l, 0))->value, 19);
            EXPECT_EQ(static_cast<Item *>(orbek_arraylist_getitemref(l, 19))->value, 0);
        }
        orbek_arraylist_free(l);
        return ok;
    });
    EXPECT_EQ(n, 3);
}
