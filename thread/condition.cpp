// Condition variables with two back ends behind one table: the system's own
// condition variables, and an emulation from a manual-reset event and a lock
// for systems without them.  The table is filled once at start-up and only
// read afterwards.
#include "core/internal.h"
#include "thread/module.h"
#include "thread/platform.h"

static const char kOrbekSource[] = "win32\\lock";

namespace {

namespace sys = orbek::sys;

sys::Lock *sys_lock(orbek_lock *lock) noexcept { return reinterpret_cast<sys::Lock *>(lock); }

struct Ops {
    orbek_condition *(*create)();
    int32_t (*wait)(orbek_condition *, orbek_lock *);
    int32_t (*signal)(orbek_condition *);
    int32_t (*broadcast)(orbek_condition *);
    void (*destroy)(orbek_condition *);
};

// ---------------------------------------------------------------- native
// The handle is the system's condition storage itself.

orbek_condition *native_new() {
    void *storage = ORBEK_ALLOC(sys::kNativeConditionSize);
    if (!storage) return nullptr;
    if (!sys::native_condition_init(storage)) {
        ORBEK_FREE(storage);
        return nullptr;
    }
    return static_cast<orbek_condition *>(storage);
}

int32_t native_wait(orbek_condition *cond, orbek_lock *lock) {
    if (!cond || !lock) return 0;
    return sys::native_condition_wait(cond, sys_lock(lock)) ? 1 : 0;
}

int32_t native_signal(orbek_condition *cond) { return cond && sys::native_condition_signal(cond) ? 1 : 0; }
int32_t native_broadcast(orbek_condition *cond) { return cond && sys::native_condition_broadcast(cond) ? 1 : 0; }

void native_free(orbek_condition *cond) {
    if (!cond) return;
    sys::native_condition_destroy(cond);
    ORBEK_FREE(cond);
}

// ---------------------------------------------------------------- emulation
// The handle is a holder word pointing to this record.  Waiters sleep on the
// manual-reset event; a signal grants one wake-up (release count) and opens
// a new generation, and only a waiter that began before that generation may
// take a grant, so a thread that starts waiting after a signal cannot steal
// the wake-up meant for an earlier waiter.  Counters change only under the
// record's own lock, which is always taken after the caller's lock.

struct Emulated {
    sys::Event *event;
    sys::Lock *lock;
    int32_t waiters;     // threads inside wait
    int32_t releases;    // wake-ups granted and not yet taken
    int32_t generation;  // advanced by every signal and broadcast
};

struct Holder {
    Emulated *record;
};

Emulated *record_of(orbek_condition *cond) noexcept { return reinterpret_cast<Holder *>(cond)->record; }

orbek_condition *emulated_new() {
    Holder *holder = ORBEK_ALLOC_T(Holder, 1);
    if (!holder) return nullptr;
    Emulated *e = ORBEK_ALLOC_T(Emulated, 1);
    if (e) {
        e->event = sys::event_new();
        e->lock = e->event ? sys::lock_new() : nullptr;
        if (e->lock) {
            e->waiters = e->releases = e->generation = 0;
            holder->record = e;
            return reinterpret_cast<orbek_condition *>(holder);
        }
        sys::event_free(e->event);
        ORBEK_FREE(e);
    }
    ORBEK_FREE(holder);
    return nullptr;
}

// A signal grants a wake-up only while some waiter is without one, so that
// a signal nobody waits for leaves nothing behind: a thread that waits later
// blocks until the next signal or broadcast, rather than waking on a stale
// grant it may not take (and spinning on the still-set event).
int32_t emulated_signal(orbek_condition *cond) {
    if (!cond) return (int32_t)ORBEK_ERR_NULL_POINT;
    Emulated *e = record_of(cond);
    if (!e || !sys::lock_enter(e->lock)) return 0;
    bool ok = true;
    if (e->releases < e->waiters) {
        ++e->releases;
        ++e->generation;
        ok = sys::event_set(e->event);
    }
    sys::lock_leave(e->lock);
    return ok ? 1 : 0;
}

// A broadcast replaces any outstanding grants by one per waiter.
int32_t emulated_broadcast(orbek_condition *cond) {
    if (!cond) return (int32_t)ORBEK_ERR_NULL_POINT;
    Emulated *e = record_of(cond);
    if (!e || !sys::lock_enter(e->lock)) return 0;
    bool ok = true;
    e->releases = e->waiters;
    ++e->generation;
    if (e->waiters > 0) ok = sys::event_set(e->event);
    sys::lock_leave(e->lock);
    return ok ? 1 : 0;
}

int32_t emulated_wait(orbek_condition *cond, orbek_lock *lock) {
    if (!cond || !lock) return (int32_t)ORBEK_ERR_NULL_POINT;
    Emulated *e = record_of(cond);
    if (!e) return 0;
    if (!sys::lock_enter(e->lock)) return 0;
    ++e->waiters;
    const int32_t my_generation = e->generation;
    sys::lock_leave(e->lock);
    sys::lock_leave(sys_lock(lock));

    bool woken;
    for (;;) {
        const bool waited = sys::event_wait(e->event);
        if (!sys::lock_enter(e->lock)) return 0;
        if (e->releases > 0 && e->generation != my_generation) {
            --e->waiters;
            --e->releases;
            woken = true;
            break;
        }
        if (!waited) {
            --e->waiters;
            woken = false;
            break;
        }
        // No grant left for anyone: close the event until the next signal.
        // While grants remain, it stays open for the earlier waiters they
        // belong to, and this one steps aside until they have taken them.
        const bool open_for_others = e->releases != 0;
        if (!open_for_others && !sys::event_reset(e->event)) {
            sys::lock_leave(e->lock);
            return 0;
        }
        sys::lock_leave(e->lock);
        if (open_for_others) sys::thread_yield();
    }
    sys::lock_leave(e->lock);

    if (!sys::lock_enter(sys_lock(lock))) return 0;
    if (!sys::lock_enter(e->lock)) {
        sys::lock_leave(sys_lock(lock));
        return 0;
    }
    // The last waiter out closes the event behind it.
    if (e->waiters == 0 && !sys::event_reset(e->event)) {
        sys::lock_leave(e->lock);
        sys::lock_leave(sys_lock(lock));
        return 0;
    }
    sys::lock_leave(e->lock);
    return woken ? 1 : 0;
}

void emulated_free(orbek_condition *cond) {
    if (!cond) return;
    if (Emulated *e = record_of(cond)) {
        sys::event_free(e->event);
        sys::lock_free(e->lock);
        ORBEK_FREE(e);
    }
    ORBEK_FREE(cond);
}

constexpr Ops kEmulated = {emulated_new, emulated_wait, emulated_signal, emulated_broadcast, emulated_free};
constexpr Ops kNative = {native_new, native_wait, native_signal, native_broadcast, native_free};

// Start as the emulation; start-up switches to the system's back end when it
// has one.
Ops g_ops = kEmulated;

}  // namespace

namespace orbek {

bool condition_select() noexcept {
    g_ops = kEmulated;
    if (sys::native_condition_lookup()) g_ops = kNative;
    return true;
}

bool condition_use_native(bool native) noexcept {
    if (!native) {
        g_ops = kEmulated;
        return true;
    }
    if (!sys::native_condition_lookup()) return false;
    g_ops = kNative;
    return true;
}

}  // namespace orbek

ORBEK_EXPORT orbek_condition *orbek_condition_new(void) noexcept { return g_ops.create(); }
ORBEK_EXPORT int32_t orbek_condition_wait(orbek_condition *cond, orbek_lock *lock) noexcept {
    return g_ops.wait(cond, lock);
}
ORBEK_EXPORT int32_t orbek_condition_signal(orbek_condition *cond) noexcept { return g_ops.signal(cond); }
ORBEK_EXPORT int32_t orbek_condition_broadcast(orbek_condition *cond) noexcept { return g_ops.broadcast(cond); }
ORBEK_EXPORT void orbek_condition_free(orbek_condition *cond) noexcept { g_ops.destroy(cond); }
