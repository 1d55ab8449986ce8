// Thread-local slots with destructors.  A slot is a system slot plus a
// record in a process-wide registry listing the value each thread stored, so
// that the destructor can reach every value: when its thread ends, when the
// slot is freed and when the library is unloaded.  The registry lives on the
// runtime heap (it outlives the allocation hooks' users and serves the
// library's own last-error cells).
#include <stdlib.h>
#include <string.h>

#include "core/internal.h"
#include "core/startup.h"
#include "thread/module.h"
#include "thread/platform.h"

namespace {

struct ValuePair {
    uint32_t thread;
    void *value;
};

struct SlotRecord {
    uint32_t index;
    orbek_tls_destructor destructor;
    ValuePair *values;
    int32_t count;
    int32_t capacity;
};

constexpr int32_t kInitialCapacity = 16;

struct Registry {
    orbek::sys::Lock *lock;
    SlotRecord *slots;
    int32_t count;
    int32_t capacity;
};
Registry g_reg = {nullptr, nullptr, 0, 0};

// Grows an array of n-byte entries, when full, to trunc(capacity * 1.6)
// entries (16, 25, 40, 64 ...), keeping the entries in order.  False, with
// the array untouched, when memory is short.
bool grow_if_full(void **array, int32_t count, int32_t *capacity, size_t entry) noexcept {
    if (count < *capacity) return true;
    const int64_t wanted = (int64_t)*capacity * 8 / 5;
    if (wanted > INT32_MAX / (int64_t)entry) return false;
    void *bigger = malloc((size_t)wanted * entry);
    if (!bigger) return false;
    if (count) memcpy(bigger, *array, (size_t)count * entry);
    free(*array);
    *array = bigger;
    *capacity = (int32_t)wanted;
    return true;
}

// A destructor's exception must not stop the operation that calls it.
void run_destructor(orbek_tls_destructor destructor, void *value) noexcept {
    if (!destructor) return;
    try {
        destructor(value);
    } catch (...) {
    }
}

SlotRecord *find_slot(uint32_t index) noexcept {
    for (int32_t i = 0; i < g_reg.count; ++i)
        if (g_reg.slots[i].index == index) return &g_reg.slots[i];
    return nullptr;
}

bool registry_lock() noexcept { return g_reg.lock && orbek::sys::lock_enter(g_reg.lock); }
void registry_unlock() noexcept { orbek::sys::lock_leave(g_reg.lock); }

// Runs the destructor on each value of a record already taken out of the
// registry, then releases its list.  Taking it out first means a destructor
// that calls back into the registry never sees the list being walked.
void dispose(const SlotRecord &slot) noexcept {
    for (int32_t i = 0; i < slot.count; ++i) run_destructor(slot.destructor, slot.values[i].value);
    free(slot.values);
}

// Stores value as the calling thread's value in the slot with this index.
int32_t record(uint32_t index, void *value) noexcept {
    if (!registry_lock()) return 0;
    SlotRecord *slot = find_slot(index);
    if (!slot) {
        registry_unlock();
        return (int32_t)ORBEK_ERR_TLS_NOT_REGISTERED;
    }
    const uint32_t me = orbek::sys::thread_id();
    for (int32_t i = 0; i < slot->count; ++i) {
        if (slot->values[i].thread != me) continue;
        void *old = slot->values[i].value;
        // The new value goes in before the destructor runs on the old one,
        // so that a destructor looking at the slot never meets a dead value.
        slot->values[i].value = value;
        if (old != value) run_destructor(slot->destructor, old);
        registry_unlock();
        return 1;
    }
    if (!grow_if_full(reinterpret_cast<void **>(&slot->values), slot->count, &slot->capacity, sizeof(ValuePair))) {
        registry_unlock();
        return (int32_t)ORBEK_ERR_OUT_OF_MEMORY;
    }
    slot->values[slot->count++] = ValuePair{me, value};
    // Where the loader does not report ending threads, have the system call
    // the thread detach for this one.
    orbek::sys::thread_exit_arm();
    registry_unlock();
    return 1;
}

}  // namespace

namespace orbek {

bool tls_module_startup() noexcept {
    if (g_reg.lock) return true;
    sys::Lock *lock = sys::lock_new();
    if (!lock) return false;
    SlotRecord *slots = static_cast<SlotRecord *>(malloc(sizeof(SlotRecord) * kInitialCapacity));
    if (!slots || !sys::thread_exit_watch(thread_detach)) {
        free(slots);
        sys::lock_free(lock);
        return false;
    }
    g_reg = Registry{lock, slots, 0, kInitialCapacity};
    return true;
}

void tls_module_thread_detach() noexcept {
    if (!registry_lock()) return;
    const uint32_t me = sys::thread_id();
    // A destructor may free slots (the recursive lock lets it in), so the
    // walk re-checks its position against the registry after every call.
    for (int32_t s = g_reg.count - 1; s >= 0; --s) {
        if (s >= g_reg.count) continue;
        SlotRecord *slot = &g_reg.slots[s];
        const uint32_t index = slot->index;
        for (int32_t i = slot->count - 1; i >= 0; --i) {
            if (slot->values[i].thread != me) continue;
            // The pair leaves before its destructor runs: a destructor that
            // stores a new value in the slot then makes a new pair instead
            // of meeting this one again.
            void *value = slot->values[i].value;
            orbek_tls_destructor destructor = slot->destructor;
            memmove(&slot->values[i], &slot->values[i + 1], sizeof(ValuePair) * (size_t)(slot->count - i - 1));
            --slot->count;
            run_destructor(destructor, value);
            break;
        }
        sys::tls_set(index, nullptr);
    }
    registry_unlock();
}

void tls_module_teardown() noexcept {
    if (!g_reg.lock) return;
    sys::lock_enter(g_reg.lock);
    // Every remaining value meets its destructor; the system slots stay
    // allocated (the process is going away or the library unloading).
    while (g_reg.count > 0) {
        SlotRecord slot = g_reg.slots[--g_reg.count];
        dispose(slot);
    }
    free(g_reg.slots);
    g_reg.slots = nullptr;
    g_reg.capacity = 0;
    sys::thread_exit_unwatch();
    sys::Lock *lock = g_reg.lock;
    g_reg.lock = nullptr;
    sys::lock_leave(lock);
    sys::lock_free(lock);
}

}  // namespace orbek

ORBEK_EXPORT int32_t orbek_tls_alloc(uint32_t *index, orbek_tls_destructor destructor) noexcept {
    if (!index) return (int32_t)ORBEK_ERR_NULL_POINT;
    uint32_t fresh;
    if (!orbek::sys::tls_new(&fresh)) return 0;
    ValuePair *values = static_cast<ValuePair *>(malloc(sizeof(ValuePair) * kInitialCapacity));
    bool ok = values && registry_lock();
    if (ok) {
        ok = grow_if_full(reinterpret_cast<void **>(&g_reg.slots), g_reg.count, &g_reg.capacity, sizeof(SlotRecord));
        if (ok) g_reg.slots[g_reg.count++] = SlotRecord{fresh, destructor, values, 0, kInitialCapacity};
        registry_unlock();
    }
    if (!ok) {
        free(values);
        orbek::sys::tls_delete(fresh);
        return 0;
    }
    *index = fresh;
    return 1;
}

ORBEK_EXPORT int32_t orbek_tls_setvalue(uint32_t index, void *value) noexcept {
    if (!orbek::sys::tls_set(index, value)) return 0;
    int32_t rc = record(index, value);
    if (rc != 1) orbek::sys::tls_set(index, nullptr);
    return rc;
}

ORBEK_EXPORT void *orbek_tls_getvalue(uint32_t index) noexcept { return orbek::sys::tls_get(index); }

ORBEK_EXPORT int32_t orbek_tls_free(uint32_t index) noexcept {
    if (registry_lock()) {
        if (SlotRecord *slot = find_slot(index)) {
            SlotRecord taken = *slot;
            const int32_t at = (int32_t)(slot - g_reg.slots);
            memmove(slot, slot + 1, sizeof(SlotRecord) * (size_t)(g_reg.count - at - 1));
            --g_reg.count;
            dispose(taken);
        }
        registry_unlock();
    }
    return orbek::sys::tls_delete(index) ? 1 : 0;
}
