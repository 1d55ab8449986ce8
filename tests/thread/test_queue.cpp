// The ring queue and the priority queue, single-threaded: order, bounds,
// growth (and growth that fails), ownership of items.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

using Ints = std::vector<intptr_t>;
void *as_item(intptr_t v) { return reinterpret_cast<void *>(v); }
intptr_t as_int(void *p) { return reinterpret_cast<intptr_t>(p); }

// Owned items: heap records, so that leaks and double frees show up.
struct Item {
    intptr_t value;
};
Ints g_freed;
bool g_dup_fails = false;
void *dup_item(void *p) { return g_dup_fails ? nullptr : new Item{as_int(p)}; }
void free_item(void *p) {
    g_freed.push_back(static_cast<Item *>(p)->value);
    delete static_cast<Item *>(p);
}

Ints drain(orbek_queue *q) {
    Ints out;
    while (!orbek_queue_isempty(q)) out.push_back(as_int(orbek_queue_take(q)));
    return out;
}

int32_t greater(void *a, void *b) { return as_int(a) > as_int(b); }

}  // namespace

TEST(Queue, BoundedRefusesWhenFullAndNullQueuesAnswerAsDocumented) {
    EXPECT_EQ(orbek_queue_new(0, nullptr, nullptr), nullptr);
    EXPECT_EQ(orbek_queue_count(nullptr), -1);
    EXPECT_EQ(orbek_queue_isempty(nullptr), 1);
    EXPECT_EQ(orbek_queue_isfull(nullptr), 0);
    EXPECT_EQ(orbek_queue_put(nullptr, as_item(1)), (int32_t)ORBEK_ERR_NULL_POINT);
    EXPECT_EQ(orbek_queue_take(nullptr), nullptr);
    EXPECT_EQ(orbek_queue_peek(nullptr), nullptr);

    orbek_queue *q = orbek_queue_new(2, nullptr, nullptr);
    ASSERT_NE(q, nullptr);
    EXPECT_STREQ(testalloc::last_file(), "ORBEK_Queue");
    EXPECT_EQ(orbek_queue_take(q), nullptr);
    EXPECT_EQ(orbek_queue_put(q, as_item(1)), 1);
    EXPECT_EQ(orbek_queue_put(q, nullptr), 1);  // a null item is an item
    EXPECT_EQ(orbek_queue_put(q, as_item(3)), (int32_t)ORBEK_ERR_QUEUE_FULL);
    EXPECT_EQ(orbek_queue_isfull(q), 1);
    EXPECT_EQ(orbek_queue_count(q), 2);
    EXPECT_EQ(as_int(orbek_queue_peek(q)), 1);
    EXPECT_EQ(as_int(orbek_queue_take(q)), 1);
    EXPECT_EQ(orbek_queue_put(q, as_item(3)), 1);  // wraps to slot 0
    EXPECT_EQ(drain(q), (Ints{0, 3}));
    EXPECT_EQ(orbek_queue_isfull(q), 0);
    orbek_queue_free(q);
}

// 20 in, 10 out, 22 in: the ring of 32 is full and wrapped when the 33rd put
// doubles it; everything still comes out in put order.
TEST(Queue, UnboundedDoublesAWrappedRingAndKeepsOrder) {
    orbek_queue *q = orbek_queue_new(-1, nullptr, nullptr);
    ASSERT_NE(q, nullptr);
    Ints want;
    intptr_t next = 1;
    for (int i = 0; i < 20; ++i) ASSERT_EQ(orbek_queue_put(q, as_item(next++)), 1);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(as_int(orbek_queue_take(q)), i + 1);
    for (intptr_t v = 11; v < 20 + 1; ++v) want.push_back(v);
    auto put_counting = [&](int n) {
        long before = testalloc::total_allocations();
        for (int i = 0; i < n; ++i) {
            want.push_back(next);
            EXPECT_EQ(orbek_queue_put(q, as_item(next++)), 1);
        }
        return testalloc::total_allocations() - before;
    };
    EXPECT_EQ(put_counting(22), 0);  // exactly full
    EXPECT_EQ(orbek_queue_isfull(q), 0);
    EXPECT_EQ(put_counting(1), 1);   // 33rd: one new array of 64
    EXPECT_EQ(put_counting(31), 0);  // up to 64 without another
    EXPECT_EQ(put_counting(1), 1);
    EXPECT_EQ(orbek_queue_count(q), 65);
    EXPECT_EQ(drain(q), want);
    orbek_queue_free(q);
}

TEST(Queue, AFailedGrowthLosesNothing) {
    orbek_queue *q = orbek_queue_new(-1, nullptr, nullptr);
    ASSERT_NE(q, nullptr);
    Ints want;
    for (intptr_t v = 1; v <= 40; ++v) ASSERT_EQ(orbek_queue_put(q, as_item(v)), 1);
    for (intptr_t v = 1; v <= 8; ++v) orbek_queue_take(q);
    for (intptr_t v = 9; v <= 64 + 8; ++v) want.push_back(v);
    for (intptr_t v = 41; v <= 64 + 8; ++v) ASSERT_EQ(orbek_queue_put(q, as_item(v)), 1);
    testalloc::fail_nth(1);
    EXPECT_EQ(orbek_queue_put(q, as_item(99)), (int32_t)ORBEK_ERR_OUT_OF_MEMORY);
    testalloc::fail_nth(0);
    EXPECT_EQ(orbek_queue_count(q), 64);
    EXPECT_EQ(drain(q), want);
    orbek_queue_free(q);
}

TEST(Queue, DuplicatesOnTheWayInAndFreesWhatIsLeftOldestFirst) {
    g_freed.clear();
    orbek_queue *q = orbek_queue_new(3, dup_item, free_item);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(orbek_queue_put(q, as_item(1)), 1);
    EXPECT_EQ(orbek_queue_put(q, nullptr), 1);  // null bypasses the duplicate function
    g_dup_fails = true;
    EXPECT_EQ(orbek_queue_put(q, as_item(9)), 0);
    g_dup_fails = false;
    EXPECT_EQ(orbek_queue_count(q), 2);
    Item *taken = static_cast<Item *>(orbek_queue_take(q));
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->value, 1);
    free_item(taken);  // the caller owns what it takes
    EXPECT_EQ(orbek_queue_take(q), nullptr);
    for (intptr_t v = 2; v <= 4; ++v) ASSERT_EQ(orbek_queue_put(q, as_item(v)), 1);
    orbek_queue_free(q);
    EXPECT_EQ(g_freed, (Ints{1, 2, 3, 4}));
}

TEST(PriorityQueue, TakesInPriorityOrderAndRefusesBadArguments) {
    EXPECT_EQ(orbek_priorityqueue_new(0, greater, nullptr, nullptr), nullptr);
    EXPECT_EQ(orbek_priorityqueue_new(4, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(orbek_priorityqueue_put(nullptr, as_item(1)), (int32_t)ORBEK_ERR_NULL_POINT);
    EXPECT_EQ(orbek_priorityqueue_take(nullptr), nullptr);
    EXPECT_EQ(orbek_priorityqueue_peek(nullptr), nullptr);

    orbek_priorityqueue *pq = orbek_priorityqueue_new(3, greater, nullptr, nullptr);
    ASSERT_NE(pq, nullptr);
    EXPECT_EQ(orbek_priorityqueue_put(pq, nullptr), (int32_t)ORBEK_ERR_NULL_POINT);
    for (intptr_t v : {3, 1, 5}) ASSERT_EQ(orbek_priorityqueue_put(pq, as_item(v)), 1);
    EXPECT_EQ(orbek_priorityqueue_put(pq, as_item(7)), (int32_t)ORBEK_ERR_QUEUE_FULL);
    EXPECT_EQ(as_int(orbek_priorityqueue_peek(pq)), 5);
    Ints out;
    while (void *p = orbek_priorityqueue_take(pq)) out.push_back(as_int(p));
    EXPECT_EQ(out, (Ints{5, 3, 1}));
    orbek_priorityqueue_free(pq);

    // A heap sort of random keys with repeats checks sift-up and sift-down.
    std::mt19937 rng(7);
    pq = orbek_priorityqueue_new(-1, greater, nullptr, nullptr);
    ASSERT_NE(pq, nullptr);
    Ints keys, got;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 300; ++i) {
            keys.push_back(1 + (intptr_t)(rng() % 100));
            ASSERT_EQ(orbek_priorityqueue_put(pq, as_item(keys.back())), 1);
        }
        std::sort(keys.begin(), keys.end());
        for (int i = 0; i < 150; ++i) {  // take half, leaving a mixed heap
            got.push_back(as_int(orbek_priorityqueue_take(pq)));
            EXPECT_EQ(got.back(), keys.back());
            keys.pop_back();
        }
    }
    orbek_priorityqueue_free(pq);
}

// 32 slots, then 51, then 81: one allocation at the 33rd and the 52nd put; a
// growth that fails leaves the heap as it was.
TEST(PriorityQueue, GrowsByOnePointSixAndAFailedGrowthChangesNothing) {
    orbek_priorityqueue *pq = orbek_priorityqueue_new(-1, greater, nullptr, nullptr);
    ASSERT_NE(pq, nullptr);
    std::vector<long> allocs;
    for (intptr_t v = 1; v <= 52; ++v) {
        if (v == 33 || v == 52) {
            testalloc::fail_nth(1);
            EXPECT_EQ(orbek_priorityqueue_put(pq, as_item(1000 + v)), (int32_t)ORBEK_ERR_OUT_OF_MEMORY);
            testalloc::fail_nth(0);
            EXPECT_EQ(as_int(orbek_priorityqueue_peek(pq)), v - 1);
        }
        long before = testalloc::total_allocations();
        ASSERT_EQ(orbek_priorityqueue_put(pq, as_item(v)), 1);
        if (testalloc::total_allocations() != before) allocs.push_back((long)v);
    }
    EXPECT_EQ(allocs, (std::vector<long>{33, 52}));
    for (intptr_t v = 52; v >= 1; --v) ASSERT_EQ(as_int(orbek_priorityqueue_take(pq)), v);
    orbek_priorityqueue_free(pq);
}

TEST(PriorityQueue, DuplicatesAndFreesInSlotOrder) {
    g_freed.clear();
    auto by_value = [](void *a, void *b) -> int32_t {
        return static_cast<Item *>(a)->value > static_cast<Item *>(b)->value;
    };
    orbek_priorityqueue *pq = orbek_priorityqueue_new(-1, by_value, dup_item, free_item);
    ASSERT_NE(pq, nullptr);
    // The heap's slots after 1, 2, 3: {3, 1, 2}.
    for (intptr_t v = 1; v <= 3; ++v) ASSERT_EQ(orbek_priorityqueue_put(pq, as_item(v)), 1);
    g_dup_fails = true;
    EXPECT_EQ(orbek_priorityqueue_put(pq, as_item(9)), 0);
    g_dup_fails = false;
    orbek_priorityqueue_free(pq);
    EXPECT_EQ(g_freed, (Ints{3, 1, 2}));
}

TEST(Queues, ConstructorsSurviveEveryAllocationFailure) {
    for (int32_t capacity : {4, -1}) {
        testalloc::sweep([&] {
            orbek_queue *q = orbek_queue_new(capacity, nullptr, nullptr);
            orbek_queue_free(q);
            return q != nullptr;
        });
        testalloc::sweep([&] {
            orbek_blockingqueue *q = orbek_blockingqueue_new(capacity, nullptr, nullptr);
            orbek_blockingqueue_free(q);
            return q != nullptr;
        });
        testalloc::sweep([&] {
            orbek_priorityqueue *q = orbek_priorityqueue_new(capacity, greater, nullptr, nullptr);
            orbek_priorityqueue_free(q);
            return q != nullptr;
        });
    }
    // Growth inside the blocking queue: a refused put keeps what was there.
    orbek_blockingqueue *bq = orbek_blockingqueue_new(-1, nullptr, nullptr);
    ASSERT_NE(bq, nullptr);
    for (intptr_t v = 1; v <= 32; ++v) ASSERT_EQ(orbek_blockingqueue_put(bq, as_item(v)), 1);
    testalloc::fail_nth(1);
    EXPECT_EQ(orbek_blockingqueue_put(bq, as_item(33)), (int32_t)ORBEK_ERR_OUT_OF_MEMORY);
    testalloc::fail_nth(0);
    for (intptr_t v = 1; v <= 32; ++v) EXPECT_EQ(as_int(orbek_blockingqueue_take(bq)), v);
    orbek_blockingqueue_free(bq);
}
