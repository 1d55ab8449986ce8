// Threads with joinable results.  A finished joinable thread leaves its
// routine's result in a process-wide table keyed by thread id and thread
// object, from which join takes it.
#include <stdlib.h>

#include "core/internal.h"
#include "thread/module.h"
#include "thread/platform.h"

static const char kOrbekSource[] = "ORBEK_Thread";

struct orbek_thread {
    orbek::sys::Thread *handle;  // null for a detached thread
    int32_t detached;
    uint32_t id;
};

namespace {

// The start block: released by the new thread once its routine returns.
// It carries the detached flag itself, so that the new thread never reads
// the thread object, which the creator of a detached thread may already
// have freed.
struct StartBlock {
    orbek::sys::ThreadStart head;  // first: the system layer starts from it
    orbek_thread_func routine;
    void *arg;
    orbek_thread *object;
    int32_t detached;
};

struct ResultEntry {
    ResultEntry *next;
    void *result;
    uint32_t id;
    orbek_thread *object;
};

constexpr uint32_t kBuckets = 251;

// On the runtime heap, from the module's start-up to its tear-down.
struct ResultTable {
    orbek::sys::Lock *lock;
    ResultEntry *buckets[kBuckets];
};
ResultTable *g_table = nullptr;

void start_wrapper(orbek::sys::ThreadStart *head) {
    StartBlock *block = reinterpret_cast<StartBlock *>(head);
    void *r = block->routine(block->arg);
    orbek_thread *object = block->object;
    const bool detached = block->detached != 0;
    ORBEK_FREE(block);
    if (!r || detached) return;
    // Without memory or the table's lock the result is dropped: join then
    // gives 0.
    ResultEntry *entry = static_cast<ResultEntry *>(malloc(sizeof(ResultEntry)));
    if (!entry) return;
    entry->result = r;
    entry->id = orbek::sys::thread_id();
    entry->object = object;
    ResultTable *table = g_table;
    if (!table || !orbek::sys::lock_enter(table->lock)) {
        free(entry);
        return;
    }
    ResultEntry **head_of_bucket = &table->buckets[entry->id % kBuckets];
    entry->next = *head_of_bucket;
    *head_of_bucket = entry;
    orbek::sys::lock_leave(table->lock);
}

}  // namespace

namespace orbek {

bool thread_module_startup() noexcept {
    if (g_table) return true;
    ResultTable *table = static_cast<ResultTable *>(calloc(1, sizeof(ResultTable)));
    if (!table) return false;
    table->lock = sys::lock_new();
    if (!table->lock) {
        free(table);
        return false;
    }
    g_table = table;
    return true;
}

void thread_module_teardown() noexcept {
    ResultTable *table = g_table;
    if (!table) return;
    g_table = nullptr;
    for (ResultEntry *&bucket : table->buckets) {
        while (ResultEntry *e = bucket) {
            bucket = e->next;
            free(e);
        }
    }
    sys::lock_free(table->lock);
    free(table);
}

}  // namespace orbek

ORBEK_EXPORT orbek_thread *orbek_thread_create(int32_t detached, orbek_thread_func routine, void *arg) noexcept {
    if (!routine) return nullptr;
    orbek_thread *thread = ORBEK_ALLOC_T(orbek_thread, 1);
    if (!thread) return nullptr;
    StartBlock *block = ORBEK_ALLOC_T(StartBlock, 1);
    if (!block) {
        ORBEK_FREE(thread);
        return nullptr;
    }
    block->head.main = start_wrapper;
    block->routine = routine;
    block->arg = arg;
    block->object = thread;
    block->detached = detached;
    thread->detached = detached;
    // Filled before the start so that the object is complete whatever the
    // new thread does; the handle and id follow once the system gives them.
    thread->handle = nullptr;
    thread->id = 0;
    orbek::sys::Thread *handle = nullptr;
    uint32_t id = 0;
    if (!orbek::sys::thread_start(&block->head, detached != 0, &handle, &id)) {
        ORBEK_FREE(block);
        ORBEK_FREE(thread);
        return nullptr;
    }
    thread->handle = handle;
    thread->id = id;
    return thread;
}

ORBEK_EXPORT int32_t orbek_thread_join(orbek_thread *thread, void **result) noexcept {
    if (!thread || !result) return (int32_t)ORBEK_ERR_NULL_POINT;
    if (thread->detached) return (int32_t)ORBEK_ERR_THREAD_DETACHED;
    if (!orbek::sys::thread_wait(thread->handle)) return 0;
    void *r = nullptr;
    ResultTable *table = g_table;
    if (table) {
        if (!orbek::sys::lock_enter(table->lock)) return 0;
        for (ResultEntry **link = &table->buckets[thread->id % kBuckets]; *link; link = &(*link)->next) {
            ResultEntry *e = *link;
            if (e->id == thread->id && e->object == thread) {
                *link = e->next;
                r = e->result;
                free(e);
                break;
            }
        }
        orbek::sys::lock_leave(table->lock);
    }
    *result = r;
    return 1;
}

ORBEK_EXPORT void orbek_thread_free(orbek_thread *thread) noexcept {
    if (!thread) return;
    orbek::sys::thread_close(thread->handle);
    ORBEK_FREE(thread);
}
