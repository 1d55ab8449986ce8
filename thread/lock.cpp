// Atomics and semaphores: thin handles over the system layer.
#include "core/internal.h"
#include "thread/platform.h"

static const char kOrbekSource[] = "win32\\lock";

// ---------------------------------------------------------------- atomics
// Sequentially consistent read-modify-write operations, as the interlocked
// instructions are; the plain read is relaxed (one aligned load).

ORBEK_EXPORT int32_t orbek_atomic_inc(volatile int32_t *value) noexcept {
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}

ORBEK_EXPORT int32_t orbek_atomic_dec(volatile int32_t *value) noexcept {
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}

ORBEK_EXPORT int32_t orbek_atomic_set(volatile int32_t *value, int32_t new_value) noexcept {
    return __atomic_exchange_n(value, new_value, __ATOMIC_SEQ_CST);
}

ORBEK_EXPORT int32_t orbek_atomic_get(volatile int32_t *value) noexcept {
    return __atomic_load_n(value, __ATOMIC_RELAXED);
}

ORBEK_EXPORT int32_t orbek_cas_integer(volatile int32_t *value, int32_t expected, int32_t new_value) noexcept {
    return __atomic_compare_exchange_n(value, &expected, new_value, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST) ? 1
                                                                                                              : 0;
}

ORBEK_EXPORT int32_t orbek_atomic_dec_and_test(volatile int32_t *value) noexcept {
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST) == 0 ? 1 : 0;
}

// Kept as the empty operation callers have always had: the atomics and the
// locks carry all the ordering the library promises.
ORBEK_EXPORT void orbek_memory_barrier(void) noexcept {}

// ---------------------------------------------------------------- locks
// The lock functions are the system layer's own (thread/posix/,
// thread/win32/): a lock handle is the system lock itself, and the
// uncontended lock/unlock pair is a single call into the system each.

// ---------------------------------------------------------------- semaphores

// The holder comes through the allocation hooks; the system object inside
// it does not.
struct orbek_semaphore {
    orbek::sys::Semaphore *sem;
};

ORBEK_EXPORT orbek_semaphore *orbek_semaphore_new(int32_t initial) noexcept {
    orbek_semaphore *s = ORBEK_ALLOC_T(orbek_semaphore, 1);
    if (!s) return nullptr;
    s->sem = orbek::sys::semaphore_new(initial);
    if (!s->sem) {
        ORBEK_FREE(s);
        return nullptr;
    }
    return s;
}

ORBEK_EXPORT int32_t orbek_semaphore_down(orbek_semaphore *s) noexcept {
    if (!s) return (int32_t)ORBEK_ERR_NULL_POINT;
    return orbek::sys::semaphore_wait(s->sem) ? 1 : 0;
}

ORBEK_EXPORT int32_t orbek_semaphore_up(orbek_semaphore *s) noexcept {
    if (!s) return (int32_t)ORBEK_ERR_NULL_POINT;
    return orbek::sys::semaphore_post(s->sem) ? 1 : 0;
}

ORBEK_EXPORT void orbek_semaphore_free(orbek_semaphore *s) noexcept {
    if (!s) return;
    orbek::sys::semaphore_free(s->sem);
    ORBEK_FREE(s);
}
