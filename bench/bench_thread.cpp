// Concurrency against GLib, in one run: the blocking queue's hand-off
// between two threads against GAsyncQueue, pool throughput on 100,000 tiny
// tasks against GThreadPool, and an uncontended lock/unlock pair against
// GRecMutex.
#include <benchmark/benchmark.h>
#include <glib.h>

#include <atomic>
#include <thread>

#include "orbek_util.h"

namespace {

constexpr intptr_t kHandOff = 20000;
constexpr int kTasks = 100000;
constexpr int kWorkers = 2;

void *as_item(intptr_t v) { return reinterpret_cast<void *>(v); }

// One producer (the benchmark thread) hands kHandOff items to one consumer.
void BM_HandOff_Orbek(benchmark::State &state) {
    orbek_blockingqueue *q = orbek_blockingqueue_new(-1, nullptr, nullptr);
    for (auto _ : state) {
        std::thread consumer([q] {
            for (intptr_t i = 1; i <= kHandOff; ++i) benchmark::DoNotOptimize(orbek_blockingqueue_take(q));
        });
        for (intptr_t i = 1; i <= kHandOff; ++i) orbek_blockingqueue_put(q, as_item(i));
        consumer.join();
    }
    state.SetItemsProcessed(state.iterations() * kHandOff);
    orbek_blockingqueue_free(q);
}
BENCHMARK(BM_HandOff_Orbek)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_HandOff_GAsyncQueue(benchmark::State &state) {
    GAsyncQueue *q = g_async_queue_new();
    for (auto _ : state) {
        std::thread consumer([q] {
            for (intptr_t i = 1; i <= kHandOff; ++i) benchmark::DoNotOptimize(g_async_queue_pop(q));
        });
        for (intptr_t i = 1; i <= kHandOff; ++i) g_async_queue_push(q, as_item(i));
        consumer.join();
    }
    state.SetItemsProcessed(state.iterations() * kHandOff);
    g_async_queue_unref(q);
}
BENCHMARK(BM_HandOff_GAsyncQueue)->UseRealTime()->Unit(benchmark::kMillisecond);

// Pools of kWorkers threads, made once; each iteration submits kTasks tasks
// that count themselves and waits until all have run.
std::atomic<int> g_done{0};

void *orbek_task(void *) {
    g_done.fetch_add(1, std::memory_order_relaxed);
    return nullptr;
}

void wait_for_tasks() {
    while (g_done.load(std::memory_order_acquire) < kTasks) std::this_thread::yield();
    g_done = 0;
}

void BM_Pool_Orbek(benchmark::State &state) {
    orbek_threadpool *pool = orbek_threadpool_create(kWorkers, orbek_task);
    for (auto _ : state) {
        for (int i = 0; i < kTasks; ++i) orbek_threadpool_run(pool, as_item(1));
        wait_for_tasks();
    }
    state.SetItemsProcessed(state.iterations() * kTasks);
    orbek_threadpool_stop(pool);
}
BENCHMARK(BM_Pool_Orbek)->UseRealTime()->Unit(benchmark::kMillisecond);

void glib_task(gpointer, gpointer) { g_done.fetch_add(1, std::memory_order_relaxed); }

void BM_Pool_GThreadPool(benchmark::State &state) {
    GThreadPool *pool = g_thread_pool_new(glib_task, nullptr, kWorkers, FALSE, nullptr);
    for (auto _ : state) {
        for (int i = 0; i < kTasks; ++i) g_thread_pool_push(pool, as_item(1), nullptr);
        wait_for_tasks();
    }
    state.SetItemsProcessed(state.iterations() * kTasks);
    g_thread_pool_free(pool, FALSE, TRUE);
}
BENCHMARK(BM_Pool_GThreadPool)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Lock_Orbek(benchmark::State &state) {
    orbek_lock *lock = orbek_lock_new();
    for (auto _ : state) {
        orbek_lock_lock(lock);
        orbek_lock_unlock(lock);
    }
    orbek_lock_free(lock);
}
BENCHMARK(BM_Lock_Orbek);

void BM_Lock_GRecMutex(benchmark::State &state) {
    GRecMutex m;
    g_rec_mutex_init(&m);
    for (auto _ : state) {
        g_rec_mutex_lock(&m);
        g_rec_mutex_unlock(&m);
    }
    g_rec_mutex_clear(&m);
}
BENCHMARK(BM_Lock_GRecMutex);

}  // namespace

BENCHMARK_MAIN();
