// The operating-system layer of the concurrency family: recursive locks,
// manual-reset events, counting semaphores, threads, thread-local slots and
// the system's condition variable.  Implemented once in thread/posix/
// (pthreads) and once in thread/win32/ (critical sections, events,
// semaphores, TlsAlloc, _beginthreadex, the condition-variable functions
// looked up at start-up).  Every object here lives on the runtime heap or is
// a system object: none of it goes through the allocation hooks.  Internal:
// not installed.
#ifndef ORBEK_THREAD_PLATFORM_H
#define ORBEK_THREAD_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

namespace orbek {
namespace sys {

// ---------------------------------------------------------------- locks
// A recursive lock: the owning thread may take it again and releases it as
// many times.  The storage comes from the runtime heap.  An orbek_lock is
// this lock, and its exported functions are defined beside these.
struct Lock;
// A new unlocked lock, or null when memory is short or the system refuses.
Lock *lock_new() noexcept;
// Null is ignored.  The lock must not be held.
void lock_free(Lock *lock) noexcept;
// Waits until the calling thread holds the lock; false when the system fails.
bool lock_enter(Lock *lock) noexcept;
// Takes the lock only when that needs no waiting (or the caller holds it).
bool lock_try(Lock *lock) noexcept;
// Releases one level of the caller's hold.
bool lock_leave(Lock *lock) noexcept;

// ---------------------------------------------------------------- events
// A manual-reset event: once set it stays set, releasing every waiter,
// until it is reset.
struct Event;
// A new event, not set; null when the system refuses.
Event *event_new() noexcept;
void event_free(Event *event) noexcept;  // null ignored
bool event_set(Event *event) noexcept;
bool event_reset(Event *event) noexcept;
// Waits without time limit until the event is set.
bool event_wait(Event *event) noexcept;

// ---------------------------------------------------------------- semaphores
// A counting semaphore whose count may rise to kSemaphoreMax.
constexpr int32_t kSemaphoreMax = INT32_MAX;
struct Semaphore;
// Null when the initial count is negative or the system refuses.
Semaphore *semaphore_new(int32_t initial) noexcept;
void semaphore_free(Semaphore *sem) noexcept;  // null ignored
// Takes one unit, waiting without time limit; false when the wait fails.
bool semaphore_wait(Semaphore *sem) noexcept;
// Releases one unit; false when the count is at its maximum.
bool semaphore_post(Semaphore *sem) noexcept;

// ---------------------------------------------------------------- threads
// The head of a thread's start block: the new thread calls main(start).
// The start block may be released by main; the layer reads nothing from it
// afterwards.  id is for the layer's own use.
struct ThreadStart {
    void (*main)(ThreadStart *start);
    uint32_t id;
};
// A joinable thread's handle (null for a detached one).
struct Thread;
// Starts a thread with the default stack size, running at once.  detached:
// no handle is kept and the thread's resources go when it ends.  Stores the
// handle (null when detached) and the new thread's id; false when the
// system cannot start it (start is then untouched by any thread).
bool thread_start(ThreadStart *start, bool detached, Thread **handle, uint32_t *id) noexcept;
// Waits without time limit for the thread to end (its thread-local
// destructors included).  Waiting again, or from several threads, is fine.
bool thread_wait(Thread *handle) noexcept;
// Gives the handle back; the thread itself carries on.  Null is ignored.
void thread_close(Thread *handle) noexcept;
// The calling thread's 32-bit id, distinct among the process's threads.
uint32_t thread_id() noexcept;
// Gives the rest of the calling thread's time slice to another ready thread.
void thread_yield() noexcept;

// Calls on_exit on a thread that ends after thread_exit_arm was called on
// it.  Where the system's loader reports ending threads itself (Windows)
// this does nothing and the loader's notification is used instead.
bool thread_exit_watch(void (*on_exit)()) noexcept;
void thread_exit_arm() noexcept;
void thread_exit_unwatch() noexcept;

// ---------------------------------------------------------------- thread-local slots
// Platform slot indexes; a fresh slot holds null in every thread.
bool tls_new(uint32_t *index) noexcept;
bool tls_delete(uint32_t index) noexcept;
bool tls_set(uint32_t index, void *value) noexcept;
void *tls_get(uint32_t index) noexcept;

// ---------------------------------------------------------------- condition variables
// The system's condition variable, when it has one.  Its storage
// (kNativeConditionSize bytes, pointer-aligned) is the caller's.
extern const size_t kNativeConditionSize;
// True when the system offers every function the native back end needs
// (looked up once, at start-up, where they may be missing).
bool native_condition_lookup() noexcept;
bool native_condition_init(void *storage) noexcept;
void native_condition_destroy(void *storage) noexcept;
// Releases the lock (held once by the caller), waits without time limit
// and takes the lock again.
bool native_condition_wait(void *storage, Lock *lock) noexcept;
bool native_condition_signal(void *storage) noexcept;
bool native_condition_broadcast(void *storage) noexcept;

}  // namespace sys
}  // namespace orbek

#endif
