// Thread pool: a fixed set of joinable workers running one task function
// over submitted items.  Each item adds one unit to the semaphore; a worker
// takes a unit, then the oldest item under the pool's lock, and runs the
// task with no lock held.  Stop adds one unit per worker, which each worker
// answers by ending once it sees the stopping flag.
#include <string.h>

#include "core/internal.h"

static const char kOrbekSource[] = "ORBEK_Thread";

struct orbek_threadpool {
    int32_t workers;
    int32_t stopping;  // exchanged to 1 by stop, read without the lock
    orbek_threadpool_func task;
    orbek_lock *lock;  // guards the task queue only
    orbek_queue *queue;
    orbek_semaphore *sem;
    orbek_thread **threads;
};

namespace {

bool stopping(orbek_threadpool *pool) noexcept { return __atomic_load_n(&pool->stopping, __ATOMIC_ACQUIRE) != 0; }

void *worker_loop(void *arg) {
    orbek_threadpool *pool = static_cast<orbek_threadpool *>(arg);
    for (;;) {
        if (orbek_semaphore_down(pool->sem) != 1 || stopping(pool)) return nullptr;
        if (!orbek_lock_lock(pool->lock)) return nullptr;
        if (pool->queue && !orbek_queue_isempty(pool->queue)) {
            void *item = orbek_queue_take(pool->queue);
            orbek_lock_unlock(pool->lock);
            pool->task(item);
        } else {
            orbek_lock_unlock(pool->lock);
        }
    }
}

// Releases the parts of a pool whose workers are all gone (or never ran).
void release(orbek_threadpool *pool) noexcept {
    ORBEK_FREE(pool->threads);
    orbek_semaphore_free(pool->sem);
    orbek_queue_free(pool->queue);
    orbek_lock_free(pool->lock);
    ORBEK_FREE(pool);
}

}  // namespace

ORBEK_EXPORT orbek_threadpool *orbek_threadpool_create(int32_t workers, orbek_threadpool_func task) noexcept {
    if (workers < 1 || !task) return nullptr;
    size_t bytes;
    if (!orbek::mul_size((size_t)workers, sizeof(orbek_thread *), &bytes)) return nullptr;
    orbek_threadpool *pool = ORBEK_ALLOC_T(orbek_threadpool, 1);
    if (!pool) return nullptr;
    memset(pool, 0, sizeof *pool);
    pool->workers = workers;
    pool->task = task;
    bool ok = (pool->lock = orbek_lock_new()) && (pool->queue = orbek_queue_new(-1, nullptr, nullptr)) &&
              (pool->sem = orbek_semaphore_new(0)) &&
              (pool->threads = static_cast<orbek_thread **>(ORBEK_ALLOC(bytes)));
    if (!ok) {
        release(pool);
        return nullptr;
    }
    memset(pool->threads, 0, bytes);
    for (int32_t i = 0; i < workers; ++i) {
        pool->threads[i] = orbek_thread_create(0, worker_loop, pool);
        if (!pool->threads[i]) {
            // Stopping joins the workers already running and releases all.
            orbek_threadpool_stop(pool);
            return nullptr;
        }
    }
    return pool;
}

ORBEK_EXPORT int32_t orbek_threadpool_run(orbek_threadpool *pool, void *item) noexcept {
    if (!pool) return (int32_t)ORBEK_ERR_NULL_POINT;
    if (stopping(pool)) return (int32_t)ORBEK_ERR_POOL_STOPPING;
    if (!orbek_lock_lock(pool->lock)) return 0;
    int32_t rc = orbek_queue_put(pool->queue, item);
    orbek_lock_unlock(pool->lock);
    if (rc != 1) return rc;
    return orbek_semaphore_up(pool->sem);
}

ORBEK_EXPORT int32_t orbek_threadpool_stop(orbek_threadpool *pool) noexcept {
    if (!pool) return (int32_t)ORBEK_ERR_NULL_POINT;
    __atomic_exchange_n(&pool->stopping, 1, __ATOMIC_SEQ_CST);
    if (!orbek_lock_lock(pool->lock)) return 0;
    // Items still queued are dropped unseen: the pool never owned them.
    orbek_queue_free(pool->queue);
    pool->queue = nullptr;
    for (int32_t i = 0; i < pool->workers; ++i) {
        if (!pool->threads[i]) continue;
        if (!pool->sem) {
            orbek_lock_unlock(pool->lock);
            return (int32_t)ORBEK_ERR_NULL_POINT;
        }
        if (orbek_semaphore_up(pool->sem) != 1) {
            orbek_lock_unlock(pool->lock);
            return 0;
        }
    }
    orbek_lock_unlock(pool->lock);
    for (int32_t i = 0; i < pool->workers; ++i) {
        orbek_thread *t = pool->threads[i];
        if (!t) continue;
        void *ignored;
        int32_t rc = orbek_thread_join(t, &ignored);
        if (rc != 1) return rc;
        orbek_thread_free(t);
        pool->threads[i] = nullptr;
    }
    release(pool);
    return 1;
}
