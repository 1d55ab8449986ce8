// Condition variables and what waits on them (the blocking queue, the
// countdown latch), run once on the system's back end and once on the
// emulation.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "orbek_util.h"
#include "support/test_alloc.h"
#include "thread/module.h"
#include "thread/platform.h"

namespace {

constexpr int32_t kNull = (int32_t)ORBEK_ERR_NULL_POINT;
void *as_item(intptr_t v) { return reinterpret_cast<void *>(v); }
intptr_t as_int(void *p) { return reinterpret_cast<intptr_t>(p); }

void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(40)); }
template <class Pred>
void wait_until(Pred pred) {
    while (!pred()) std::this_thread::yield();
}

class BackEnd : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { ASSERT_TRUE(orbek::condition_use_native(GetParam())); }
    void TearDown() override { orbek::condition_select(); }
    bool native() const { return GetParam(); }
};

// Threads parked in orbek_condition_wait on one condition.  Each waits once
// (no predicate loop, so that an extra wake-up shows) and, once back, checks
// that it holds the lock: no other waiter may run between its two looks at
// the owner mark.
struct Waiters {
    orbek_lock *lock = orbek_lock_new();
    orbek_condition *cond = orbek_condition_new();
    std::atomic<int> ready{0}, woken{0}, faults{0};
    std::thread::id owner;
    std::vector<std::thread> threads;

    void start(int n) {
        for (int i = 0; i < n; ++i)
            threads.emplace_back([this] {
                orbek_lock_lock(lock);
                ++ready;
                if (orbek_condition_wait(cond, lock) != 1) ++faults;
                owner = std::this_thread::get_id();
                for (int k = 0; k < 50; ++k) std::this_thread::yield();
                if (owner != std::this_thread::get_id()) ++faults;
                ++woken;
                orbek_lock_unlock(lock);
            });
        // A waiter holds the lock from its count until the wait releases it,
        // so once the lock is ours every counted waiter is inside the wait.
        wait_until([&] { return ready == (int)threads.size(); });
        orbek_lock_lock(lock);
        orbek_lock_unlock(lock);
    }
    ~Waiters() {
        for (auto &t : threads) t.join();
        orbek_condition_free(cond);
        orbek_lock_free(lock);
    }
};

}  // namespace

TEST_P(BackEnd, NullArgumentsGiveTheBackEndsOwnResults) {
    orbek_lock *lock = orbek_lock_new();
    orbek_condition *cond = orbek_condition_new();
    ASSERT_TRUE(lock && cond);
    EXPECT_STREQ(testalloc::last_file(), "win32\\lock");
    const int32_t expect = native() ? 0 : kNull;
    EXPECT_EQ(orbek_condition_wait(nullptr, lock), expect);
    EXPECT_EQ(orbek_condition_wait(cond, nullptr), expect);
    EXPECT_EQ(orbek_condition_signal(nullptr), expect);
    EXPECT_EQ(orbek_condition_broadcast(nullptr), expect);
    orbek_condition_free(nullptr);
    orbek_condition_free(cond);
    orbek_lock_free(lock);
    testalloc::sweep([] {
        orbek_condition *c = orbek_condition_new();
        orbek_condition_free(c);
        return c != nullptr;
    });
}

// A signal sent while nobody waits is not kept: later waiters block, and one
// signal then wakes exactly one of them; a broadcast wakes the rest.
TEST_P(BackEnd, SignalWakesOneBroadcastWakesAllAndNoSignalIsKept) {
    Waiters w;
    ASSERT_TRUE(w.lock && w.cond);
    EXPECT_EQ(orbek_condition_broadcast(w.cond), 1);
    EXPECT_EQ(orbek_condition_signal(w.cond), 1);
    w.start(3);
    settle();
    EXPECT_EQ(w.woken.load(), 0);
    orbek_lock_lock(w.lock);
    EXPECT_EQ(orbek_condition_signal(w.cond), 1);
    orbek_lock_unlock(w.lock);
    wait_until([&] { return w.woken == 1; });
    settle();
    EXPECT_EQ(w.woken.load(), 1);
    EXPECT_EQ(orbek_condition_broadcast(w.cond), 1);
    wait_until([&] { return w.woken == 3; });
    EXPECT_EQ(w.faults.load(), 0);
}

// Two threads hand a turn back and forth; a lost wake-up hangs the test.
TEST_P(BackEnd, PingPongLosesNoWakeUp) {
    orbek_lock *lock = orbek_lock_new();
    orbek_condition *cond = orbek_condition_new();
    ASSERT_TRUE(lock && cond);
    int turn = 0;
    auto player = [&](int me) {
        for (int round = 0; round < 2000; ++round) {
            orbek_lock_lock(lock);
            while (turn != me) ASSERT_EQ(orbek_condition_wait(cond, lock), 1);
            turn = 1 - me;
            orbek_condition_signal(cond);
            orbek_lock_unlock(lock);
        }
    };
    std::thread a(player, 0), b(player, 1);
    a.join();
    b.join();
    orbek_condition_free(cond);
    orbek_lock_free(lock);
}

TEST_P(BackEnd, BlockingQueueWaitsForRoomAndForItems) {
    EXPECT_EQ(orbek_blockingqueue_new(0, nullptr, nullptr), nullptr);
    EXPECT_EQ(orbek_blockingqueue_put(nullptr, as_item(1)), kNull);
    EXPECT_EQ(orbek_blockingqueue_take(nullptr), nullptr);
    orbek_blockingqueue_free(nullptr);
    orbek_blockingqueue *q = orbek_blockingqueue_new(1, nullptr, nullptr);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(orbek_blockingqueue_put(q, nullptr), kNull);  // unlike the plain queue

    std::atomic<int> step{0};
    std::thread producer([&] {
        EXPECT_EQ(orbek_blockingqueue_put(q, as_item(1)), 1);
        step = 1;
        EXPECT_EQ(orbek_blockingqueue_put(q, as_item(2)), 1);  // full: waits
        step = 2;
    });
    wait_until([&] { return step == 1; });
    settle();
    EXPECT_EQ(step.load(), 1);
    EXPECT_EQ(as_int(orbek_blockingqueue_take(q)), 1);
    producer.join();
    EXPECT_EQ(as_int(orbek_blockingqueue_take(q)), 2);

    std::thread consumer([&] { EXPECT_EQ(as_int(orbek_blockingqueue_take(q)), 3); step = 3; });
    settle();
    EXPECT_EQ(step.load(), 2);  // empty: the taker waits
    EXPECT_EQ(orbek_blockingqueue_put(q, as_item(3)), 1);
    consumer.join();
    orbek_blockingqueue_free(q);
}

// Many producers and consumers on a small bounded queue and on an unbounded
// one: every item comes out exactly once.
TEST_P(BackEnd, BlockingQueueStressAccountsForEveryItem) {
    constexpr int kProducers = 4, kConsumers = 3, kEach = 1500;
    for (int32_t capacity : {3, -1}) {
        orbek_blockingqueue *q = orbek_blockingqueue_new(capacity, nullptr, nullptr);
        ASSERT_NE(q, nullptr);
        std::vector<std::atomic<int>> seen(kProducers * kEach);
        std::vector<std::thread> threads;
        for (int p = 0; p < kProducers; ++p)
            threads.emplace_back([&, p] {
                for (int i = 0; i < kEach; ++i) ASSERT_EQ(orbek_blockingqueue_put(q, as_item(1 + p * kEach + i)), 1);
            });
        for (int c = 0; c < kConsumers; ++c)
            threads.emplace_back([&] {
                for (;;) {
                    intptr_t v = as_int(orbek_blockingqueue_take(q));
                    if (v < 0) return;  // the end marker
                    ASSERT_TRUE(v >= 1 && v <= kProducers * kEach);
                    ++seen[(size_t)v - 1];
                }
            });
        for (int p = 0; p < kProducers; ++p) threads[(size_t)p].join();
        for (int c = 0; c < kConsumers; ++c) ASSERT_EQ(orbek_blockingqueue_put(q, as_item(-1)), 1);
        for (size_t t = kProducers; t < threads.size(); ++t) threads[t].join();
        int missing = 0;
        for (auto &n : seen) missing += n != 1;
        EXPECT_EQ(missing, 0) << "capacity " << capacity;
        orbek_blockingqueue_free(q);
    }
}

TEST_P(BackEnd, LatchReleasesEveryWaiterAtZeroAndStaysOpen) {
    EXPECT_EQ(orbek_countdownlatch_new(0), nullptr);
    EXPECT_EQ(orbek_countdownlatch_new(-3), nullptr);
    EXPECT_EQ(orbek_countdownlatch_countdown(nullptr), kNull);
    EXPECT_EQ(orbek_countdownlatch_wait(nullptr), kNull);
    orbek_countdownlatch_free(nullptr);
    testalloc::sweep([] {
        orbek_countdownlatch *l = orbek_countdownlatch_new(1);
        orbek_countdownlatch_free(l);
        return l != nullptr;
    });

    for (int round = 0; round < 5; ++round) {
        orbek_countdownlatch *latch = orbek_countdownlatch_new(2);
        ASSERT_NE(latch, nullptr);
        std::atomic<int> through{0};
        std::vector<std::thread> waiters;
        for (int i = 0; i < 6; ++i)
            waiters.emplace_back([&] {
                EXPECT_EQ(orbek_countdownlatch_wait(latch), 1);
                ++through;
            });
        EXPECT_EQ(orbek_countdownlatch_countdown(latch), 1);
        if (round == 0) {
            settle();
            EXPECT_EQ(through.load(), 0);
        }
        EXPECT_EQ(orbek_countdownlatch_countdown(latch), 1);
        for (auto &t : waiters) t.join();
        EXPECT_EQ(through.load(), 6);
        EXPECT_EQ(orbek_countdownlatch_countdown(latch), 1);  // below zero
        EXPECT_EQ(orbek_countdownlatch_wait(latch), 1);
        orbek_countdownlatch_free(latch);
    }
}

INSTANTIATE_TEST_SUITE_P(Condition, BackEnd, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "Native" : "Emulated";
                         });

TEST(ThreadLocal, AnIndexTheRegistryNeverSawIsRefusedAndLeftNull) {
    uint32_t raw;
    ASSERT_TRUE(orbek::sys::tls_new(&raw));
    EXPECT_EQ(orbek_tls_setvalue(raw, as_item(5)), (int32_t)ORBEK_ERR_TLS_NOT_REGISTERED);
    EXPECT_EQ(orbek_tls_getvalue(raw), nullptr);
    EXPECT_TRUE(orbek::sys::tls_delete(raw));
}
