// The concurrency family's system layer on POSIX systems: pthreads and
// POSIX semaphores.
#include <errno.h>
#include <limits.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <stdlib.h>

#include "core/internal.h"
#include "thread/platform.h"

namespace orbek {
namespace sys {

// ---------------------------------------------------------------- locks

struct Lock {
    pthread_mutex_t mutex;
};

Lock *lock_new() noexcept {
    Lock *lock = static_cast<Lock *>(malloc(sizeof(Lock)));
    if (!lock) return nullptr;
    pthread_mutexattr_t attr;
    bool ok = pthread_mutexattr_init(&attr) == 0;
    if (ok) {
        ok = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
             pthread_mutex_init(&lock->mutex, &attr) == 0;
        pthread_mutexattr_destroy(&attr);
    }
    if (!ok) {
        free(lock);
        return nullptr;
    }
    return lock;
}

void lock_free(Lock *lock) noexcept {
    if (!lock) return;
    pthread_mutex_destroy(&lock->mutex);
    free(lock);
}

bool lock_enter(Lock *lock) noexcept { return pthread_mutex_lock(&lock->mutex) == 0; }
bool lock_try(Lock *lock) noexcept { return pthread_mutex_trylock(&lock->mutex) == 0; }
bool lock_leave(Lock *lock) noexcept { return pthread_mutex_unlock(&lock->mutex) == 0; }

// ---------------------------------------------------------------- events

struct Event {
    pthread_mutex_t mutex;
    pthread_cond_t cond;
    bool set;
};

Event *event_new() noexcept {
    Event *e = static_cast<Event *>(malloc(sizeof(Event)));
    if (!e) return nullptr;
    if (pthread_mutex_init(&e->mutex, nullptr) != 0) {
        free(e);
        return nullptr;
    }
    if (pthread_cond_init(&e->cond, nullptr) != 0) {
        pthread_mutex_destroy(&e->mutex);
        free(e);
        return nullptr;
    }
    e->set = false;
    return e;
}

void event_free(Event *e) noexcept {
    if (!e) return;
    pthread_cond_destroy(&e->cond);
    pthread_mutex_destroy(&e->mutex);
    free(e);
}

bool event_set(Event *e) noexcept {
    if (pthread_mutex_lock(&e->mutex) != 0) return false;
    e->set = true;
    int rc = pthread_cond_broadcast(&e->cond);
    pthread_mutex_unlock(&e->mutex);
    return rc == 0;
}

bool event_reset(Event *e) noexcept {
    if (pthread_mutex_lock(&e->mutex) != 0) return false;
    e->set = false;
    pthread_mutex_unlock(&e->mutex);
    return true;
}

bool event_wait(Event *e) noexcept {
    if (pthread_mutex_lock(&e->mutex) != 0) return false;
    int rc = 0;
    while (!e->set && rc == 0) rc = pthread_cond_wait(&e->cond, &e->mutex);
    pthread_mutex_unlock(&e->mutex);
    return rc == 0;
}

// ---------------------------------------------------------------- semaphores

// Linux's SEM_VALUE_MAX is INT_MAX, the maximum the library asks for, so
// sem_post itself refuses a unit beyond it.
static_assert(SEM_VALUE_MAX >= kSemaphoreMax, "semaphores reach the library's maximum");

struct Semaphore {
    sem_t sem;
};

Semaphore *semaphore_new(int32_t initial) noexcept {
    if (initial < 0) return nullptr;
    Semaphore *s = static_cast<Semaphore *>(malloc(sizeof(Semaphore)));
    if (!s) return nullptr;
    if (sem_init(&s->sem, 0, (unsigned)initial) != 0) {
        free(s);
        return nullptr;
    }
    return s;
}

void semaphore_free(Semaphore *s) noexcept {
    if (!s) return;
    sem_destroy(&s->sem);
    free(s);
}

bool semaphore_wait(Semaphore *s) noexcept {
    for (;;) {
        if (sem_wait(&s->sem) == 0) return true;
        if (errno != EINTR) return false;
    }
}

bool semaphore_post(Semaphore *s) noexcept { return sem_post(&s->sem) == 0; }

// ---------------------------------------------------------------- threads

namespace {

// Thread ids are handed out from a counter: a pthread_t is not a 32-bit
// number, and the kernel's thread ids are reused as soon as a thread ends.
// A thread the library starts gets its id before it runs, so that its
// creator knows it at once; any other thread takes one on first use.
uint32_t g_last_id = 0;
thread_local uint32_t t_id = 0;

uint32_t next_id() noexcept {
    uint32_t id;
    do id = __atomic_add_fetch(&g_last_id, 1, __ATOMIC_RELAXED);
    while (id == 0);
    return id;
}

extern "C" void *thread_main(void *arg) {
    ThreadStart *start = static_cast<ThreadStart *>(arg);
    t_id = start->id;
    start->main(start);
    return nullptr;
}

}  // namespace

// A joinable thread.  pthread_join may be called only once, while the
// library's join may be repeated, so the first wait joins under the lock and
// later ones find it done.
struct Thread {
    pthread_t thread;
    pthread_mutex_t mutex;
    bool joined;
};

bool thread_start(ThreadStart *start, bool detached, Thread **handle, uint32_t *id) noexcept {
    Thread *t = nullptr;
    if (!detached) {
        t = static_cast<Thread *>(malloc(sizeof(Thread)));
        if (!t) return false;
        if (pthread_mutex_init(&t->mutex, nullptr) != 0) {
            free(t);
            return false;
        }
        t->joined = false;
    }
    pthread_attr_t attr;
    bool ok = pthread_attr_init(&attr) == 0;
    if (ok) {
        if (detached) ok = pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED) == 0;
        const uint32_t new_id = next_id();
        start->id = new_id;
        pthread_t thread;
        // After a successful create the start block belongs to the new thread.
        ok = ok && pthread_create(&thread, &attr, thread_main, start) == 0;
        pthread_attr_destroy(&attr);
        if (ok) {
            if (t) t->thread = thread;
            *id = new_id;
        }
    }
    if (!ok) {
        if (t) {
            pthread_mutex_destroy(&t->mutex);
            free(t);
        }
        return false;
    }
    *handle = t;
    return true;
}

bool thread_wait(Thread *t) noexcept {
    if (!t || pthread_mutex_lock(&t->mutex) != 0) return false;
    bool ok = t->joined || pthread_join(t->thread, nullptr) == 0;
    if (ok) t->joined = true;
    pthread_mutex_unlock(&t->mutex);
    return ok;
}

void thread_close(Thread *t) noexcept {
    if (!t) return;
    if (!t->joined) pthread_detach(t->thread);
    pthread_mutex_destroy(&t->mutex);
    free(t);
}

uint32_t thread_id() noexcept {
    if (t_id == 0) t_id = next_id();
    return t_id;
}

void thread_yield() noexcept { sched_yield(); }

// The loader says nothing about ending threads here: a pthread key whose
// destructor runs as a thread ends stands in.  pthreads calls it only for
// threads whose value is non-null, hence the arming.
namespace {
pthread_key_t g_exit_key;
bool g_exit_watched = false;
void (*g_on_exit)() = nullptr;

extern "C" void exit_key_destructor(void *) {
    if (g_on_exit) g_on_exit();
}
}  // namespace

bool thread_exit_watch(void (*on_exit)()) noexcept {
    if (g_exit_watched) return true;
    if (pthread_key_create(&g_exit_key, exit_key_destructor) != 0) return false;
    g_on_exit = on_exit;
    g_exit_watched = true;
    return true;
}

void thread_exit_arm() noexcept {
    if (g_exit_watched && !pthread_getspecific(g_exit_key)) pthread_setspecific(g_exit_key, &g_exit_key);
}

void thread_exit_unwatch() noexcept {
    if (!g_exit_watched) return;
    g_exit_watched = false;
    g_on_exit = nullptr;
    pthread_key_delete(g_exit_key);
}

// ---------------------------------------------------------------- thread-local slots

static_assert(sizeof(pthread_key_t) <= sizeof(uint32_t), "slot indexes fit 32 bits");

bool tls_new(uint32_t *index) noexcept {
    pthread_key_t key;
    if (pthread_key_create(&key, nullptr) != 0) return false;
    *index = (uint32_t)key;
    return true;
}

bool tls_delete(uint32_t index) noexcept { return pthread_key_delete((pthread_key_t)index) == 0; }
bool tls_set(uint32_t index, void *value) noexcept {
    return pthread_setspecific((pthread_key_t)index, value) == 0;
}
void *tls_get(uint32_t index) noexcept { return pthread_getspecific((pthread_key_t)index); }

// ---------------------------------------------------------------- condition variables

const size_t kNativeConditionSize = sizeof(pthread_cond_t);

bool native_condition_lookup() noexcept { return true; }

bool native_condition_init(void *storage) noexcept {
    return pthread_cond_init(static_cast<pthread_cond_t *>(storage), nullptr) == 0;
}

void native_condition_destroy(void *storage) noexcept { pthread_cond_destroy(static_cast<pthread_cond_t *>(storage)); }

bool native_condition_wait(void *storage, Lock *lock) noexcept {
    return pthread_cond_wait(static_cast<pthread_cond_t *>(storage), &lock->mutex) == 0;
}

bool native_condition_signal(void *storage) noexcept {
    return pthread_cond_signal(static_cast<pthread_cond_t *>(storage)) == 0;
}

bool native_condition_broadcast(void *storage) noexcept {
    return pthread_cond_broadcast(static_cast<pthread_cond_t *>(storage)) == 0;
}

}  // namespace sys
}  // namespace orbek

// ---------------------------------------------------------------- exported locks
// A lock handle is the system lock itself (runtime-heap storage).

namespace {
pthread_mutex_t *mutex_of(orbek_lock *lock) noexcept { return &reinterpret_cast<orbek::sys::Lock *>(lock)->mutex; }
}  // namespace

ORBEK_EXPORT orbek_lock *orbek_lock_new(void) noexcept { return reinterpret_cast<orbek_lock *>(orbek::sys::lock_new()); }
ORBEK_EXPORT void orbek_lock_free(orbek_lock *lock) noexcept {
    orbek::sys::lock_free(reinterpret_cast<orbek::sys::Lock *>(lock));
}
ORBEK_EXPORT int32_t orbek_lock_lock(orbek_lock *lock) noexcept {
    return lock && pthread_mutex_lock(mutex_of(lock)) == 0 ? 1 : 0;
}
ORBEK_EXPORT int32_t orbek_lock_unlock(orbek_lock *lock) noexcept {
    if (!lock) return 0;
    pthread_mutex_unlock(mutex_of(lock));
    return 1;
}
ORBEK_EXPORT int32_t orbek_lock_trylock(orbek_lock *lock) noexcept {
    return lock && pthread_mutex_trylock(mutex_of(lock)) == 0 ? 1 : 0;
}
