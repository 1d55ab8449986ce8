// Countdown latch: waiters block until the count set at creation has been
// counted down to zero; after that the latch stays open.
#include "core/internal.h"

static const char kOrbekSource[] = "ORBEK_CountDownLatch";

struct orbek_countdownlatch {
    int32_t count;
    orbek_lock *lock;
    orbek_condition *cond;
};

ORBEK_EXPORT void orbek_countdownlatch_free(orbek_countdownlatch *latch) noexcept {
    if (!latch) return;
    orbek_condition_free(latch->cond);
    orbek_lock_free(latch->lock);
    ORBEK_FREE(latch);
}

ORBEK_EXPORT orbek_countdownlatch *orbek_countdownlatch_new(int32_t count) noexcept {
    if (count < 1) return nullptr;
    orbek_countdownlatch *latch = ORBEK_ALLOC_T(orbek_countdownlatch, 1);
    if (!latch) return nullptr;
    latch->count = count;
    latch->cond = nullptr;
    if (!(latch->lock = orbek_lock_new()) || !(latch->cond = orbek_condition_new())) {
        orbek_countdownlatch_free(latch);
        return nullptr;
    }
    return latch;
}

ORBEK_EXPORT int32_t orbek_countdownlatch_countdown(orbek_countdownlatch *latch) noexcept {
    if (!latch) return (int32_t)ORBEK_ERR_NULL_POINT;
    if (!orbek_lock_lock(latch->lock)) return 0;
    // Only the step to exactly 0 wakes the waiters; later steps go below 0
    // quietly.
    if (--latch->count == 0) {
        int32_t rc = orbek_condition_broadcast(latch->cond);
        if (rc != 1) {
            orbek_lock_unlock(latch->lock);
            return rc;
        }
    }
    orbek_lock_unlock(latch->lock);
    return 1;
}

ORBEK_EXPORT int32_t orbek_countdownlatch_wait(orbek_countdownlatch *latch) noexcept {
    if (!latch) return (int32_t)ORBEK_ERR_NULL_POINT;
    if (!orbek_lock_lock(latch->lock)) return 0;
    while (latch->count > 0) {
        int32_t rc = orbek_condition_wait(latch->cond, latch->lock);
        if (rc != 1) {
            orbek_lock_unlock(latch->lock);
            return rc;
        }
    }
    orbek_lock_unlock(latch->lock);
    return 1;
}
