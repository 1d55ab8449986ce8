// Queues of pointer-sized items: the first-in first-out ring, the blocking
// queue built on it, and the priority queue (a binary heap).
#include <string.h>

#include "core/internal.h"

static const char kOrbekSource[] = "ORBEK_Queue";

namespace {

constexpr int32_t kUnboundedStart = 32;

// A slot array whose byte size would not fit a signed 32-bit count cannot be
// made, whatever the platform's pointer size.
void **new_slots(int32_t capacity) noexcept {
    if ((int64_t)capacity * (int64_t)sizeof(void *) > INT32_MAX) return nullptr;
    return ORBEK_ALLOC_T(void *, capacity);
}

}  // namespace

// ---------------------------------------------------------------- ring queue

// Items occupy count consecutive slots from head, wrapping from the last
// slot to slot 0; tail = (head + count) mod capacity is where the next goes.
struct orbek_queue {
    void **items;
    int32_t count;
    int32_t capacity;
    uint32_t bounded;
    int32_t head;
    int32_t tail;
    orbek_queue_dup_func dup_fn;
    orbek_queue_free_func free_fn;
};

ORBEK_EXPORT orbek_queue *orbek_queue_new(int32_t capacity, orbek_queue_dup_func dup_fn,
                                          orbek_queue_free_func free_fn) noexcept {
    if (capacity == 0) return nullptr;
    const bool bounded = capacity > 0;
    if (!bounded) capacity = kUnboundedStart;
    orbek_queue *q = ORBEK_ALLOC_T(orbek_queue, 1);
    if (!q) return nullptr;
    q->items = new_slots(capacity);
    if (!q->items) {
        ORBEK_FREE(q);
        return nullptr;
    }
    q->count = 0;
    q->capacity = capacity;
    q->bounded = bounded ? 1 : 0;
    q->head = q->tail = 0;
    q->dup_fn = dup_fn;
    q->free_fn = free_fn;
    return q;
}

ORBEK_EXPORT void orbek_queue_free(orbek_queue *q) noexcept {
    if (!q) return;
    if (q->free_fn) {
        int32_t at = q->head;
        for (int32_t i = 0; i < q->count; ++i) {
            q->free_fn(q->items[at]);
            if (++at == q->capacity) at = 0;
        }
    }
    ORBEK_FREE(q->items);
    ORBEK_FREE(q);
}

ORBEK_EXPORT int32_t orbek_queue_isempty(const orbek_queue *q) noexcept { return !q || q->count == 0 ? 1 : 0; }

ORBEK_EXPORT int32_t orbek_queue_isfull(const orbek_queue *q) noexcept {
    return q && q->bounded && q->count == q->capacity ? 1 : 0;
}

ORBEK_EXPORT int32_t orbek_queue_count(const orbek_queue *q) noexcept { return q ? q->count : -1; }

ORBEK_EXPORT int32_t orbek_queue_put(orbek_queue *q, void *item) noexcept {
    if (!q) return (int32_t)ORBEK_ERR_NULL_POINT;
    if (q->count == q->capacity) {
        if (q->bounded) return (int32_t)ORBEK_ERR_QUEUE_FULL;
        // Full, so head == tail: the run head .. end keeps its place and the
        // wrapped run 0 .. tail-1 moves to just after the old end.
        if (q->capacity > INT32_MAX / 2) return (int32_t)ORBEK_ERR_OUT_OF_MEMORY;
        const int32_t old = q->capacity;
        void **items = new_slots(old * 2);
        if (!items) return (int32_t)ORBEK_ERR_OUT_OF_MEMORY;
        memcpy(items + q->head, q->items + q->head, sizeof(void *) * (size_t)(old - q->head));
        memcpy(items + old, q->items, sizeof(void *) * (size_t)q->tail);
        ORBEK_FREE(q->items);
        q->items = items;
        q->tail += old;
        q->capacity = old * 2;
    }
    void *value = item;
    if (item && q->dup_fn) {
        value = q->dup_fn(item);
        if (!value) return 0;
    }
    q->items[q->tail] = value;
    if (++q->tail == q->capacity) q->tail = 0;
    ++q->count;
    return 1;
}

ORBEK_EXPORT void *orbek_queue_take(orbek_queue *q) noexcept {
    if (!q || q->count == 0) return nullptr;
    void *item = q->items[q->head];
    if (++q->head == q->capacity) q->head = 0;
    --q->count;
    return item;
}

ORBEK_EXPORT void *orbek_queue_peek(const orbek_queue *q) noexcept {
    return q && q->count ? q->items[q->head] : nullptr;
}

// ---------------------------------------------------------------- blocking queue

struct orbek_blockingqueue {
    orbek_queue *queue;
    orbek_lock *lock;
    orbek_condition *not_empty;
    orbek_condition *not_full;  // bounded queues only
};

ORBEK_EXPORT void orbek_blockingqueue_free(orbek_blockingqueue *bq) noexcept {
    if (!bq) return;
    orbek_condition_free(bq->not_full);
    orbek_condition_free(bq->not_empty);
    orbek_lock_free(bq->lock);
    orbek_queue_free(bq->queue);
    ORBEK_FREE(bq);
}

ORBEK_EXPORT orbek_blockingqueue *orbek_blockingqueue_new(int32_t capacity, orbek_queue_dup_func dup_fn,
                                                          orbek_queue_free_func free_fn) noexcept {
    if (capacity == 0) return nullptr;
    orbek_blockingqueue *bq = ORBEK_ALLOC_T(orbek_blockingqueue, 1);
    if (!bq) return nullptr;
    memset(bq, 0, sizeof *bq);
    bool ok = (bq->queue = orbek_queue_new(capacity, dup_fn, free_fn)) && (bq->lock = orbek_lock_new()) &&
              (bq->not_empty = orbek_condition_new()) && (capacity < 0 || (bq->not_full = orbek_condition_new()));
    if (!ok) {
        // Nothing was put in yet, so the queue's free function sees no item.
        orbek_blockingqueue_free(bq);
        return nullptr;
    }
    return bq;
}

ORBEK_EXPORT int32_t orbek_blockingqueue_put(orbek_blockingqueue *bq, void *item) noexcept {
    if (!bq || !item) return (int32_t)ORBEK_ERR_NULL_POINT;
    if (!orbek_lock_lock(bq->lock)) return 0;
    orbek_queue *q = bq->queue;
    while (q->bounded && q->count == q->capacity) {
        int32_t rc = orbek_condition_wait(bq->not_full, bq->lock);
        if (rc != 1) {
            orbek_lock_unlock(bq->lock);
            return rc;
        }
    }
    int32_t rc = orbek_queue_put(q, item);
    if (rc == 1) rc = orbek_condition_signal(bq->not_empty);
    orbek_lock_unlock(bq->lock);
    return rc;
}

ORBEK_EXPORT void *orbek_blockingqueue_take(orbek_blockingqueue *bq) noexcept {
    if (!bq || !orbek_lock_lock(bq->lock)) return nullptr;
    orbek_queue *q = bq->queue;
    while (q->count == 0) {
        if (orbek_condition_wait(bq->not_empty, bq->lock) != 1) {
            orbek_lock_unlock(bq->lock);
            return nullptr;
        }
    }
    void *item = orbek_queue_take(q);
    if (bq->not_full) orbek_condition_signal(bq->not_full);
    orbek_lock_unlock(bq->lock);
    return item;
}

// ---------------------------------------------------------------- priority queue

// A binary heap in slots 0 .. count-1: the children of slot i are 2i+1 and
// 2i+2, and no child must come out before its parent.
struct orbek_priorityqueue {
    void **items;
    int32_t count;
    int32_t capacity;
    uint32_t bounded;
    orbek_queue_dup_func dup_fn;
    orbek_queue_free_func free_fn;
    orbek_priorityqueue_compare_func compare;
};

ORBEK_EXPORT orbek_priorityqueue *orbek_priorityqueue_new(int32_t capacity, orbek_priorityqueue_compare_func compare,
                                                          orbek_queue_dup_func dup_fn,
                                                          orbek_queue_free_func free_fn) noexcept {
    if (capacity == 0 || !compare) return nullptr;
    const bool bounded = capacity > 0;
    if (!bounded) capacity = kUnboundedStart;
    orbek_priorityqueue *pq = ORBEK_ALLOC_T(orbek_priorityqueue, 1);
    if (!pq) return nullptr;
    pq->items = new_slots(capacity);
    if (!pq->items) {
        ORBEK_FREE(pq);
        return nullptr;
    }
    pq->count = 0;
    pq->capacity = capacity;
    pq->bounded = bounded ? 1 : 0;
    pq->dup_fn = dup_fn;
    pq->free_fn = free_fn;
    pq->compare = compare;
    return pq;
}

ORBEK_EXPORT void orbek_priorityqueue_free(orbek_priorityqueue *pq) noexcept {
    if (!pq) return;
    if (pq->free_fn)
        for (int32_t i = 0; i < pq->count; ++i) pq->free_fn(pq->items[i]);
    ORBEK_FREE(pq->items);
    ORBEK_FREE(pq);
}

ORBEK_EXPORT int32_t orbek_priorityqueue_put(orbek_priorityqueue *pq, void *item) noexcept {
    if (!pq || !item) return (int32_t)ORBEK_ERR_NULL_POINT;
    if (pq->count == pq->capacity) {
        if (pq->bounded) return (int32_t)ORBEK_ERR_QUEUE_FULL;
        // Growth by 1.6 (32, 51, 81, 129 ...), truncated.
        const int64_t wanted = (int64_t)pq->capacity * 8 / 5;
        void **items = wanted > INT32_MAX ? nullptr : new_slots((int32_t)wanted);
        if (!items) return (int32_t)ORBEK_ERR_OUT_OF_MEMORY;
        memcpy(items, pq->items, sizeof(void *) * (size_t)pq->count);
        ORBEK_FREE(pq->items);
        pq->items = items;
        pq->capacity = (int32_t)wanted;
    }
    void *value = item;
    if (pq->dup_fn) {
        value = pq->dup_fn(item);
        if (!value) return 0;
    }
    void **slots = pq->items;
    int32_t i = pq->count;
    slots[i] = value;
    while (i > 0) {
        const int32_t parent = (i - 1) / 2;
        if (!pq->compare(slots[i], slots[parent])) break;
        void *t = slots[i];
        slots[i] = slots[parent];
        slots[parent] = t;
        i = parent;
    }
    ++pq->count;
    return 1;
}

ORBEK_EXPORT void *orbek_priorityqueue_take(orbek_priorityqueue *pq) noexcept {
    if (!pq || pq->count == 0) return nullptr;
    void **slots = pq->items;
    void *result = slots[0];
    const int32_t n = --pq->count;
    // The last item moves to the top and sinks; the result is parked in the
    // slot it left.
    slots[0] = slots[n];
    slots[n] = result;
    int32_t i = 0, k = 1;
    while (k < n) {
        if (k + 1 < n && pq->compare(slots[k + 1], slots[k])) ++k;
        if (pq->compare(slots[i], slots[k])) break;
        void *t = slots[i];
        slots[i] = slots[k];
        slots[k] = t;
        i = k;
        k = 2 * k + 1;
    }
    return result;
}

ORBEK_EXPORT void *orbek_priorityqueue_peek(const orbek_priorityqueue *pq) noexcept {
    return pq && pq->count ? pq->items[0] : nullptr;
}
