// Read-write lock with writer priority, built from two counting locks and
// two semaphores.  The resource semaphore is held by the writer or by the
// readers as a group (the first reader in takes it, the last one out gives
// it back).  The first writer to arrive takes the reader-entry semaphore and
// the last writer to leave gives it back, so readers arriving while any
// writer waits or writes are held at the door; readers already inside
// finish, and the writers then take the resource one at a time.
#include "core/internal.h"

static const char kOrbekSource[] = "ORBEK_RWLock";

struct orbek_rwlock {
    int32_t readers;
    int32_t writers;  // waiting or writing
    orbek_lock *reader_lock;
    orbek_lock *writer_lock;
    orbek_semaphore *resource;
    orbek_semaphore *reader_entry;
};

ORBEK_EXPORT void orbek_rwlock_free(orbek_rwlock *rw) noexcept {
    if (!rw) return;
    orbek_semaphore_free(rw->reader_entry);
    orbek_semaphore_free(rw->resource);
    orbek_lock_free(rw->writer_lock);
    orbek_lock_free(rw->reader_lock);
    ORBEK_FREE(rw);
}

ORBEK_EXPORT orbek_rwlock *orbek_rwlock_new(void) noexcept {
    orbek_rwlock *rw = ORBEK_ALLOC_T(orbek_rwlock, 1);
    if (!rw) return nullptr;
    rw->readers = rw->writers = 0;
    rw->writer_lock = nullptr;
    rw->resource = rw->reader_entry = nullptr;
    bool ok = (rw->reader_lock = orbek_lock_new()) && (rw->writer_lock = orbek_lock_new()) &&
              (rw->resource = orbek_semaphore_new(1)) && (rw->reader_entry = orbek_semaphore_new(1));
    if (!ok) {
        orbek_rwlock_free(rw);
        return nullptr;
    }
    return rw;
}

ORBEK_EXPORT int32_t orbek_rwlock_readerlock(orbek_rwlock *rw) noexcept {
    if (!rw || !rw->reader_entry) return (int32_t)ORBEK_ERR_NULL_POINT;
    int32_t rc = orbek_semaphore_down(rw->reader_entry);
    if (rc != 1) return rc;
    if (!orbek_lock_lock(rw->reader_lock)) {
        orbek_semaphore_up(rw->reader_entry);
        return 0;
    }
    if (++rw->readers == 1) {
        rc = orbek_semaphore_down(rw->resource);
        if (rc != 1) {
            --rw->readers;
            orbek_lock_unlock(rw->reader_lock);
            orbek_semaphore_up(rw->reader_entry);
            return rc;
        }
    }
    orbek_lock_unlock(rw->reader_lock);
    orbek_semaphore_up(rw->reader_entry);
    return 1;
}

ORBEK_EXPORT int32_t orbek_rwlock_readerunlock(orbek_rwlock *rw) noexcept {
    if (!rw) return (int32_t)ORBEK_ERR_NULL_POINT;
    if (!orbek_lock_lock(rw->reader_lock)) return 0;
    if (--rw->readers == 0 && orbek_semaphore_up(rw->resource) != 1) {
        orbek_lock_unlock(rw->reader_lock);
        return 0;
    }
    orbek_lock_unlock(rw->reader_lock);
    return 1;
}

ORBEK_EXPORT int32_t orbek_rwlock_writerlock(orbek_rwlock *rw) noexcept {
    if (!rw || !rw->reader_entry || !rw->resource) return (int32_t)ORBEK_ERR_NULL_POINT;
    if (!orbek_lock_lock(rw->writer_lock)) return 0;
    if (++rw->writers == 1 && orbek_semaphore_down(rw->reader_entry) != 1) {
        orbek_lock_unlock(rw->writer_lock);
        return 0;
    }
    orbek_lock_unlock(rw->writer_lock);
    return orbek_semaphore_down(rw->resource) == 1 ? 1 : 0;
}

ORBEK_EXPORT int32_t orbek_rwlock_writerunlock(orbek_rwlock *rw) noexcept {
    if (!rw || !rw->reader_entry || !rw->resource) return (int32_t)ORBEK_ERR_NULL_POINT;
    if (orbek_semaphore_up(rw->resource) != 1) return 0;
    if (!orbek_lock_lock(rw->writer_lock)) return 0;
    if (--rw->writers == 0) {
        int32_t rc = orbek_semaphore_up(rw->reader_entry);
        if (rc != 1) {
            orbek_lock_unlock(rw->writer_lock);
            return rc;
        }
    }
    orbek_lock_unlock(rw->writer_lock);
    return 1;
}
