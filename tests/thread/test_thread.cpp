// Atomics, locks, semaphores, the read-write lock, threads, the pool and
// thread-local slots, through the public interface of the shared library
// (whose loader notifications run the destructors of ending threads).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

constexpr int32_t kNull = (int32_t)ORBEK_ERR_NULL_POINT;
void *as_item(intptr_t v) { return reinterpret_cast<void *>(v); }
intptr_t as_int(void *p) { return reinterpret_cast<intptr_t>(p); }

// Long enough for a thread that could go on to have done so; a test that
// uses it only ever passes wrongly when the machine is very slow.
void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(40)); }

template <class Pred>
void wait_until(Pred pred) {
    while (!pred()) std::this_thread::yield();
}

}  // namespace

TEST(Atomics, SingleStepsAndManyThreadsAgree) {
    volatile int32_t v = 5;
    EXPECT_EQ(orbek_cas_integer(&v, 5, 9), 1);
    EXPECT_EQ(orbek_atomic_get(&v), 9);
    EXPECT_EQ(orbek_cas_integer(&v, 4, 1), 0);
    EXPECT_EQ(orbek_atomic_get(&v), 9);
    EXPECT_EQ(orbek_atomic_set(&v, 2), 9);
    EXPECT_EQ(orbek_atomic_inc(&v), 3);
    EXPECT_EQ(orbek_atomic_dec(&v), 2);
    EXPECT_EQ(orbek_atomic_dec_and_test(&v), 0);
    EXPECT_EQ(orbek_atomic_dec_and_test(&v), 1);
    EXPECT_EQ(orbek_atomic_dec_and_test(&v), 0);  // -1
    orbek_memory_barrier();

    // Increments, and increments made by compare-and-swap loops, are never lost;
    // exactly one decrement reaches zero.
    volatile int32_t counter = 0, by_cas = 0, refs = 4 * 5000;
    std::atomic<int> zero_hits{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) {
                orbek_atomic_inc(&counter);
                int32_t old;
                do old = orbek_atomic_get(&by_cas);
                while (!orbek_cas_integer(&by_cas, old, old + 1));
                zero_hits += orbek_atomic_dec_and_test(&refs);
            }
        });
    for (auto &t : threads) t.join();
    EXPECT_EQ(counter, 20000);
    EXPECT_EQ(by_cas, 20000);
    EXPECT_EQ(zero_hits.load(), 1);
}

TEST(Lock, IsRecursiveAndExcludesOtherThreads) {
    EXPECT_EQ(orbek_lock_lock(nullptr) + orbek_lock_unlock(nullptr) + orbek_lock_trylock(nullptr), 0);
    orbek_lock_free(nullptr);
    long blocks = testalloc::live_blocks();
    orbek_lock *lock = orbek_lock_new();
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(testalloc::live_blocks(), blocks);  // runtime heap, not the hooks
    auto other_try = [&] {
        int32_t got = -1;
        std::thread([&] {
            got = orbek_lock_trylock(lock);
            if (got == 1) orbek_lock_unlock(lock);
        }).join();
        return got;
    };
    ASSERT_EQ(orbek_lock_lock(lock), 1);
    ASSERT_EQ(orbek_lock_trylock(lock), 1);  // the owner again
    EXPECT_EQ(other_try(), 0);
    EXPECT_EQ(orbek_lock_unlock(lock), 1);
    EXPECT_EQ(other_try(), 0);  // still held once
    EXPECT_EQ(orbek_lock_unlock(lock), 1);
    EXPECT_EQ(other_try(), 1);

    // Mutual exclusion under contention: a plain counter stays exact.
    long plain = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) {
                orbek_lock_lock(lock);
                ++plain;
                orbek_lock_unlock(lock);
            }
        });
    for (auto &t : threads) t.join();
    EXPECT_EQ(plain, 20000);
    orbek_lock_free(lock);
}

TEST(Semaphore, CountsUnitsExactly) {
    EXPECT_EQ(orbek_semaphore_down(nullptr), kNull);
    EXPECT_EQ(orbek_semaphore_up(nullptr), kNull);
    EXPECT_EQ(orbek_semaphore_new(-1), nullptr);
    orbek_semaphore_free(nullptr);

    orbek_semaphore *s = orbek_semaphore_new(0);
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(testalloc::last_file(), "win32\\lock");
    std::atomic<int> passed{0};
    std::thread taker([&] {
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(orbek_semaphore_down(s), 1);
            ++passed;
        }
    });
    EXPECT_EQ(orbek_semaphore_up(s), 1);
    wait_until([&] { return passed == 1; });
    settle();
    EXPECT_EQ(passed.load(), 1);  // one unit lets exactly one down through
    EXPECT_EQ(orbek_semaphore_up(s), 1);
    taker.join();
    EXPECT_EQ(passed.load(), 2);
    orbek_semaphore_free(s);

    s = orbek_semaphore_new(INT32_MAX);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(orbek_semaphore_up(s), 0);  // beyond the maximum
    EXPECT_EQ(orbek_semaphore_down(s), 1);
    EXPECT_EQ(orbek_semaphore_up(s), 1);
    orbek_semaphore_free(s);
}

TEST(RWLock, ReadersShareAndAWaitingWriterHoldsBackNewReaders) {
    EXPECT_EQ(orbek_rwlock_readerlock(nullptr), kNull);
    EXPECT_EQ(orbek_rwlock_readerunlock(nullptr), kNull);
    EXPECT_EQ(orbek_rwlock_writerlock(nullptr), kNull);
    EXPECT_EQ(orbek_rwlock_writerunlock(nullptr), kNull);
    orbek_rwlock_free(nullptr);
    testalloc::sweep([] {
        orbek_rwlock *rw = orbek_rwlock_new();
        orbek_rwlock_free(rw);
        return rw != nullptr;
    });

    orbek_rwlock *rw = orbek_rwlock_new();
    ASSERT_NE(rw, nullptr);
    std::atomic<int> second_reader{0}, writer{0}, third_reader{0};
    ASSERT_EQ(orbek_rwlock_readerlock(rw), 1);
    std::thread r2([&] {
        EXPECT_EQ(orbek_rwlock_readerlock(rw), 1);
        second_reader = 1;
        wait_until([&] { return second_reader == 2; });
        EXPECT_EQ(orbek_rwlock_readerunlock(rw), 1);
    });
    wait_until([&] { return second_reader == 1; });  // two readers inside at once
    std::thread w([&] {
        EXPECT_EQ(orbek_rwlock_writerlock(rw), 1);
        writer = 1;
        wait_until([&] { return writer == 2; });
        EXPECT_EQ(orbek_rwlock_writerunlock(rw), 1);
    });
    settle();
    EXPECT_EQ(writer.load(), 0);
    std::thread r3([&] {
        EXPECT_EQ(orbek_rwlock_readerlock(rw), 1);
        third_reader = 1;
        EXPECT_EQ(orbek_rwlock_readerunlock(rw), 1);
    });
    settle();
    EXPECT_EQ(third_reader.load(), 0);  // behind the waiting writer
    EXPECT_EQ(orbek_rwlock_readerunlock(rw), 1);
    second_reader = 2;
    wait_until([&] { return writer == 1; });
    settle();
    EXPECT_EQ(third_reader.load(), 0);  // still behind the writing writer
    writer = 2;
    r2.join();
    w.join();
    r3.join();
    EXPECT_EQ(third_reader.load(), 1);
    orbek_rwlock_free(rw);
}

// Readers check that the two halves written together always agree; writers
// check that they are alone.
TEST(RWLock, StressKeepsWritersExclusive) {
    orbek_rwlock *rw = orbek_rwlock_new();
    ASSERT_NE(rw, nullptr);
    long a = 0, b = 0;
    std::atomic<int> readers_in{0}, writers_in{0}, faults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 5; ++t)
        threads.emplace_back([&, t] {
            const bool is_writer = t < 2;
            for (int i = 0; i < 1500; ++i) {
                if (is_writer) {
                    orbek_rwlock_writerlock(rw);
                    if (++writers_in != 1 || readers_in != 0) ++faults;
                    ++a;
                    ++b;
                    --writers_in;
                    orbek_rwlock_writerunlock(rw);
                } else {
                    orbek_rwlock_readerlock(rw);
                    ++readers_in;
                    if (a != b || writers_in != 0) ++faults;
                    --readers_in;
                    orbek_rwlock_readerunlock(rw);
                }
            }
        });
    for (auto &t : threads) t.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(a, 3000);
    orbek_rwlock_free(rw);
}

// ---------------------------------------------------------------- threads

namespace {
void *return_arg(void *arg) { return arg; }
orbek_semaphore *g_gate = nullptr;
void *wait_gate(void *arg) {
    orbek_semaphore_down(g_gate);
    return arg;
}
}  // namespace

TEST(Thread, JoinGivesTheResultOnceAndRefusesDetachedThreads) {
    EXPECT_EQ(orbek_thread_create(0, nullptr, nullptr), nullptr);
    void *r = as_item(7);
    EXPECT_EQ(orbek_thread_join(nullptr, &r), kNull);
    orbek_thread_free(nullptr);

    orbek_thread *t42 = orbek_thread_create(0, return_arg, as_item(42));
    orbek_thread *t0 = orbek_thread_create(0, return_arg, nullptr);
    ASSERT_TRUE(t42 && t0);
    EXPECT_STREQ(testalloc::last_file(), "ORBEK_Thread");
    EXPECT_EQ(orbek_thread_join(t42, nullptr), kNull);
    ASSERT_EQ(orbek_thread_join(t42, &r), 1);
    EXPECT_EQ(as_int(r), 42);
    r = as_item(7);
    ASSERT_EQ(orbek_thread_join(t42, &r), 1);  // the result was handed out
    EXPECT_EQ(r, nullptr);
    ASSERT_EQ(orbek_thread_join(t0, &r), 1);
    EXPECT_EQ(r, nullptr);
    orbek_thread_free(t42);
    orbek_thread_free(t0);

    // A detached thread's object may go at once: the thread never reads it.
    g_gate = orbek_semaphore_new(0);
    ASSERT_NE(g_gate, nullptr);
    long blocks = testalloc::live_blocks();
    orbek_thread *d = orbek_thread_create(1, wait_gate, as_item(5));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(orbek_thread_join(d, &r), (int32_t)ORBEK_ERR_THREAD_DETACHED);
    orbek_thread_free(d);
    orbek_semaphore_up(g_gate);
    wait_until([&] { return testalloc::live_blocks() == blocks; });  // the thread released its start block
    orbek_semaphore_free(g_gate);

    testalloc::sweep([] {
        orbek_thread *t = orbek_thread_create(0, return_arg, as_item(3));
        if (!t) return false;
        void *res = nullptr;
        EXPECT_EQ(orbek_thread_join(t, &res), 1);
        orbek_thread_free(t);
        return as_int(res) == 3;
    });
}

// ---------------------------------------------------------------- pool

namespace {
std::atomic<int> g_ran{0};
std::atomic<intptr_t> g_sum{0};
void *count_task(void *item) {
    g_sum += as_int(item);
    ++g_ran;
    return nullptr;
}
void *gated_task(void *item) {
    ++g_ran;
    orbek_semaphore_down(g_gate);
    return item;
}
}  // namespace

TEST(ThreadPool, RunsEveryItemTakenBeforeStop) {
    EXPECT_EQ(orbek_threadpool_create(0, count_task), nullptr);
    EXPECT_EQ(orbek_threadpool_create(2, nullptr), nullptr);
    EXPECT_EQ(orbek_threadpool_run(nullptr, nullptr), kNull);
    EXPECT_EQ(orbek_threadpool_stop(nullptr), kNull);

    g_ran = 0;
    g_sum = 0;
    orbek_threadpool *pool = orbek_threadpool_create(3, count_task);
    ASSERT_NE(pool, nullptr);
    for (intptr_t i = 1; i <= 100; ++i) ASSERT_EQ(orbek_threadpool_run(pool, as_item(i == 50 ? 0 : i)), 1);
    wait_until([] { return g_ran == 100; });
    EXPECT_EQ(orbek_threadpool_stop(pool), 1);
    EXPECT_EQ(g_ran.load(), 100);
    EXPECT_EQ(g_sum.load(), 5050 - 50);

    testalloc::sweep([] {
        orbek_threadpool *p = orbek_threadpool_create(2, count_task);
        if (!p) return false;
        int32_t ran = orbek_threadpool_run(p, nullptr);
        return orbek_threadpool_stop(p) == 1 && ran == 1;
    });
}

// Two workers stuck in their tasks, eight items queued: stop refuses new
// items at once, waits for the two running tasks, and drops the eight.
TEST(ThreadPool, StopInTheMiddleDropsQueuedItemsAndWaitsForRunningTasks) {
    for (int round = 0; round < 3; ++round) {
        g_ran = 0;
        g_gate = orbek_semaphore_new(0);
        ASSERT_NE(g_gate, nullptr);
        orbek_threadpool *pool = orbek_threadpool_create(2, gated_task);
        ASSERT_NE(pool, nullptr);
        for (intptr_t i = 1; i <= 10; ++i) ASSERT_EQ(orbek_threadpool_run(pool, as_item(i)), 1);
        wait_until([] { return g_ran == 2; });
        std::atomic<int32_t> stopped{-1};
        std::thread stopper([&] { stopped = orbek_threadpool_stop(pool); });
        // Once the flag is up, submissions are refused (nothing more is queued).
        int32_t rc;
        while ((rc = orbek_threadpool_run(pool, as_item(99))) == 1) std::this_thread::yield();
        EXPECT_EQ(rc, (int32_t)ORBEK_ERR_POOL_STOPPING);
        settle();
        EXPECT_EQ(stopped.load(), -1);  // still waiting for the two tasks
        for (int i = 0; i < 2; ++i) orbek_semaphore_up(g_gate);
        stopper.join();
        EXPECT_EQ(stopped.load(), 1);
        EXPECT_EQ(g_ran.load(), 2);
        orbek_semaphore_free(g_gate);
    }
}

// ---------------------------------------------------------------- thread-local slots

namespace {
std::mutex g_dtor_mutex;
std::vector<intptr_t> g_destroyed;
void record_destructor(void *value) {
    std::lock_guard<std::mutex> hold(g_dtor_mutex);
    g_destroyed.push_back(as_int(value));
}
std::vector<intptr_t> destroyed() {
    std::lock_guard<std::mutex> hold(g_dtor_mutex);
    std::vector<intptr_t> out;
    out.swap(g_destroyed);
    return out;
}
using Ints = std::vector<intptr_t>;
}  // namespace

TEST(ThreadLocal, ReplacedAndEndingThreadsValuesMeetTheDestructor) {
    EXPECT_EQ(orbek_tls_alloc(nullptr, record_destructor), kNull);
    uint32_t slot;
    ASSERT_EQ(orbek_tls_alloc(&slot, record_destructor), 1);
    EXPECT_EQ(orbek_tls_getvalue(slot), nullptr);
    ASSERT_EQ(orbek_tls_setvalue(slot, as_item(1)), 1);
    ASSERT_EQ(orbek_tls_setvalue(slot, as_item(1)), 1);  // same value: nothing to destroy
    EXPECT_EQ(destroyed(), Ints{});
    ASSERT_EQ(orbek_tls_setvalue(slot, as_item(2)), 1);
    EXPECT_EQ(destroyed(), Ints{1});
    EXPECT_EQ(as_int(orbek_tls_getvalue(slot)), 2);

    // Threads that end have their own values destroyed, and only those.
    for (intptr_t v = 10; v < 13; ++v) {
        orbek_thread *t = orbek_thread_create(0, [](void *arg) -> void * {
            uint32_t s = (uint32_t)as_int(arg);
            void *before = orbek_tls_getvalue(s);
            orbek_tls_setvalue(s, as_item(100));
            return before;  // null: a new thread starts with none
        }, as_item((intptr_t)slot));
        ASSERT_NE(t, nullptr);
        void *r = as_item(1);
        ASSERT_EQ(orbek_thread_join(t, &r), 1);
        EXPECT_EQ(r, nullptr);
        orbek_thread_free(t);
        EXPECT_EQ(destroyed(), Ints{100});
    }
    EXPECT_EQ(as_int(orbek_tls_getvalue(slot)), 2);

    // Freeing the slot destroys every live thread's value (20 threads: the
    // value list grows past its first 16 entries).
    g_gate = orbek_semaphore_new(0);
    ASSERT_NE(g_gate, nullptr);
    std::atomic<int> set{0};
    std::vector<std::thread> holders;
    for (intptr_t i = 0; i < 20; ++i)
        holders.emplace_back([&, i] {
            EXPECT_EQ(orbek_tls_setvalue(slot, as_item(1000 + i)), 1);
            ++set;
            orbek_semaphore_down(g_gate);
        });
    wait_until([&] { return set == 20; });
    EXPECT_EQ(orbek_tls_free(slot), 1);
    Ints got = destroyed();
    ASSERT_EQ(got.size(), 21u);
    EXPECT_EQ(got[0], 2);  // the main thread's value was recorded first
    std::sort(got.begin(), got.end());
    for (intptr_t i = 0; i < 20; ++i) EXPECT_EQ(got[1 + i], 1000 + i);
    for (int i = 0; i < 20; ++i) orbek_semaphore_up(g_gate);
    for (auto &t : holders) t.join();
    EXPECT_EQ(destroyed(), Ints{});  // nothing left for the ending threads
    orbek_semaphore_free(g_gate);
}

// 40 slots: the registry grows past 16 and 25 entries and keeps each slot's
// destructor with its slot.
TEST(ThreadLocal, ManySlotsKeepTheirOwnValues) {
    std::vector<uint32_t> slots(40);
    for (size_t i = 0; i < slots.size(); ++i) {
        ASSERT_EQ(orbek_tls_alloc(&slots[i], i % 2 ? record_destructor : nullptr), 1);
        ASSERT_EQ(orbek_tls_setvalue(slots[i], as_item(500 + (intptr_t)i)), 1);
    }
    for (size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(as_int(orbek_tls_getvalue(slots[i])), 500 + (intptr_t)i);
    for (size_t i = slots.size(); i-- > 0;) {
        ASSERT_EQ(orbek_tls_free(slots[i]), 1);
        EXPECT_EQ(destroyed(), i % 2 ? Ints{500 + (intptr_t)i} : Ints{});
    }
}
