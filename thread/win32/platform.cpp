// The concurrency family's system layer on Windows: critical sections,
// events, semaphores, _beginthreadex, TlsAlloc and the condition-variable
// functions, which older systems lack and which are therefore looked up in
// Kernel32 at start-up.
#include <windows.h>
#include <process.h>
#include <stdlib.h>

#include "core/internal.h"
#include "thread/platform.h"

namespace orbek {
namespace sys {

namespace {
HANDLE handle_of(const void *p) noexcept { return const_cast<void *>(p); }
}  // namespace

// ---------------------------------------------------------------- locks

struct Lock {
    CRITICAL_SECTION cs;
};

Lock *lock_new() noexcept {
    Lock *lock = static_cast<Lock *>(malloc(sizeof(Lock)));
    if (!lock) return nullptr;
    // The spin-count form reports a failure instead of raising an exception
    // as InitializeCriticalSection may on old systems.
    if (!InitializeCriticalSectionAndSpinCount(&lock->cs, 0)) {
        free(lock);
        return nullptr;
    }
    return lock;
}

void lock_free(Lock *lock) noexcept {
    if (!lock) return;
    DeleteCriticalSection(&lock->cs);
    free(lock);
}

bool lock_enter(Lock *lock) noexcept {
    EnterCriticalSection(&lock->cs);
    return true;
}

bool lock_try(Lock *lock) noexcept { return TryEnterCriticalSection(&lock->cs) != 0; }

bool lock_leave(Lock *lock) noexcept {
    LeaveCriticalSection(&lock->cs);
    return true;
}

// ---------------------------------------------------------------- events
// The handle itself stands for the object.

Event *event_new() noexcept { return static_cast<Event *>(CreateEventA(nullptr, TRUE, FALSE, nullptr)); }
void event_free(Event *e) noexcept {
    if (e) CloseHandle(handle_of(e));
}
bool event_set(Event *e) noexcept { return SetEvent(handle_of(e)) != 0; }
bool event_reset(Event *e) noexcept { return ResetEvent(handle_of(e)) != 0; }
bool event_wait(Event *e) noexcept { return WaitForSingleObject(handle_of(e), INFINITE) == WAIT_OBJECT_0; }

// ---------------------------------------------------------------- semaphores

Semaphore *semaphore_new(int32_t initial) noexcept {
    if (initial < 0) return nullptr;
    return static_cast<Semaphore *>(CreateSemaphoreA(nullptr, initial, kSemaphoreMax, nullptr));
}
void semaphore_free(Semaphore *s) noexcept {
    if (s) CloseHandle(handle_of(s));
}
bool semaphore_wait(Semaphore *s) noexcept { return WaitForSingleObject(handle_of(s), INFINITE) == WAIT_OBJECT_0; }
bool semaphore_post(Semaphore *s) noexcept { return ReleaseSemaphore(handle_of(s), 1, nullptr) != 0; }

// ---------------------------------------------------------------- threads

namespace {
unsigned __stdcall thread_main(void *arg) {
    ThreadStart *start = static_cast<ThreadStart *>(arg);
    start->main(start);
    return 0;
}
}  // namespace

bool thread_start(ThreadStart *start, bool detached, Thread **handle, uint32_t *id) noexcept {
    unsigned new_id = 0;
    uintptr_t h = _beginthreadex(nullptr, 0, thread_main, start, 0, &new_id);
    if (h == 0) return false;
    if (detached) {
        CloseHandle(reinterpret_cast<HANDLE>(h));
        h = 0;
    }
    *handle = reinterpret_cast<Thread *>(h);
    *id = new_id;
    return true;
}

bool thread_wait(Thread *t) noexcept { return t && WaitForSingleObject(handle_of(t), INFINITE) == WAIT_OBJECT_0; }
void thread_close(Thread *t) noexcept {
    if (t) CloseHandle(handle_of(t));
}
uint32_t thread_id() noexcept { return GetCurrentThreadId(); }
void thread_yield() noexcept { SwitchToThread(); }

// DllMain's thread-detach notification reports ending threads.
bool thread_exit_watch(void (*)()) noexcept { return true; }
void thread_exit_arm() noexcept {}
void thread_exit_unwatch() noexcept {}

// ---------------------------------------------------------------- thread-local slots

bool tls_new(uint32_t *index) noexcept {
    DWORD i = TlsAlloc();
    if (i == TLS_OUT_OF_INDEXES) return false;
    *index = i;
    return true;
}
bool tls_delete(uint32_t index) noexcept { return TlsFree(index) != 0; }
bool tls_set(uint32_t index, void *value) noexcept { return TlsSetValue(index, value) != 0; }
void *tls_get(uint32_t index) noexcept { return TlsGetValue(index); }

// ---------------------------------------------------------------- condition variables

namespace {
typedef BOOL(WINAPI *SleepCsFn)(void *cond, CRITICAL_SECTION *cs, DWORD ms);
typedef void(WINAPI *CondFn)(void *cond);

// Written once by the lookup at start-up, read only afterwards.
SleepCsFn g_sleep = nullptr;
CondFn g_wake = nullptr;
CondFn g_wake_all = nullptr;
CondFn g_init = nullptr;

// Function pointers of unrelated types convert through void (*)(void).
typedef void (*AnyFn)(void);
AnyFn lookup(HMODULE lib, const char *name) noexcept {
    return reinterpret_cast<AnyFn>(GetProcAddress(lib, name));
}
}  // namespace

const size_t kNativeConditionSize = sizeof(void *);

bool native_condition_lookup() noexcept {
    HMODULE lib = LoadLibraryA("Kernel32.dll");
    if (!lib) return false;
    const char *const names[] = {"SleepConditionVariableCS", "WakeConditionVariable", "WakeAllConditionVariable",
                                 "InitializeConditionVariable"};
    AnyFn found[4];
    for (int i = 0; i < 4; ++i) {
        found[i] = lookup(lib, names[i]);
        if (!found[i]) {
            FreeLibrary(lib);
            return false;
        }
    }
    // Kernel32 stays loaded for the process's life: the addresses remain good.
    FreeLibrary(lib);
    g_sleep = reinterpret_cast<SleepCsFn>(found[0]);
    g_wake = reinterpret_cast<CondFn>(found[1]);
    g_wake_all = reinterpret_cast<CondFn>(found[2]);
    g_init = reinterpret_cast<CondFn>(found[3]);
    return true;
}

bool native_condition_init(void *storage) noexcept {
    if (!g_init) return false;
    g_init(storage);
    return true;
}

void native_condition_destroy(void *) noexcept {}

bool native_condition_wait(void *storage, Lock *lock) noexcept {
    return g_sleep && g_sleep(storage, &lock->cs, INFINITE) != 0;
}

bool native_condition_signal(void *storage) noexcept {
    if (!g_wake) return false;
    g_wake(storage);
    return true;
}

bool native_condition_broadcast(void *storage) noexcept {
    if (!g_wake_all) return false;
    g_wake_all(storage);
    return true;
}

}  // namespace sys
}  // namespace orbek

// ---------------------------------------------------------------- exported locks
// A lock handle is the system lock itself (runtime-heap storage).

namespace {
CRITICAL_SECTION *cs_of(orbek_lock *lock) noexcept { return &reinterpret_cast<orbek::sys::Lock *>(lock)->cs; }
}  // namespace

ORBEK_EXPORT orbek_lock *orbek_lock_new(void) noexcept { return reinterpret_cast<orbek_lock *>(orbek::sys::lock_new()); }
ORBEK_EXPORT void orbek_lock_free(orbek_lock *lock) noexcept {
    orbek::sys::lock_free(reinterpret_cast<orbek::sys::Lock *>(lock));
}
ORBEK_EXPORT int32_t orbek_lock_lock(orbek_lock *lock) noexcept {
    if (!lock) return 0;
    EnterCriticalSection(cs_of(lock));
    return 1;
}
ORBEK_EXPORT int32_t orbek_lock_unlock(orbek_lock *lock) noexcept {
    if (!lock) return 0;
    LeaveCriticalSection(cs_of(lock));
    return 1;
}
ORBEK_EXPORT int32_t orbek_lock_trylock(orbek_lock *lock) noexcept {
    return lock && TryEnterCriticalSection(cs_of(lock)) ? 1 : 0;
}
