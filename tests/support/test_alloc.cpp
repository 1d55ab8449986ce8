#include "support/test_alloc.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>

#include "support/alloc_trace.h"

#include "orbek_util.h"

namespace testalloc {
namespace {

std::atomic<long> g_live{0};
std::atomic<long> g_total{0};
std::atomic<long> g_countdown{0};
std::atomic<bool> g_hit{false};
thread_local const char *g_last_file = nullptr;
thread_local int32_t g_last_line = -1;

std::atomic<bool> g_in_sweep{false};

void *test_malloc(int32_t size, const char *file, int32_t line) {
    alloctrace::record(g_in_sweep.load());
    g_last_file = file;
    g_last_line = line;
    g_total++;
    long c = g_countdown.load();
    while (c > 0 && !g_countdown.compare_exchange_weak(c, c - 1)) {
    }
    if (c == 1) {
        g_hit = true;
        return nullptr;
    }
    void *p = malloc(size > 0 ? (size_t)size : 1);
    if (p) g_live++;
    return p;
}

void test_free(void *p) {
    if (!p) return;
    g_live--;
    free(p);
}

}  // namespace

bool install() { return orbek_setallocfunc(test_malloc, test_free) == 1; }
long live_blocks() { return g_live.load(); }
long total_allocations() { return g_total.load(); }
void fail_nth(long n) {
    g_hit = false;
    g_countdown = n;
}
bool failure_hit() { return g_hit.load(); }
const char *last_file() { return g_last_file; }
int32_t last_line() { return g_last_line; }

long sweep(const std::function<bool()> &op, long max_steps) {
    const long base = live_blocks();
    for (long n = 1; n <= max_steps; ++n) {
        fail_nth(n);
        long before = total_allocations();
        g_in_sweep = true;
        bool ok = op();
        g_in_sweep = false;
        bool hit = failure_hit();
        fail_nth(0);
        EXPECT_EQ(live_blocks(), base) << "blocks leaked with allocation " << n << " failing";
        if (hit) {
            EXPECT_FALSE(ok) << "allocation " << n << " failed but the operation reported success";
        } else {
            EXPECT_TRUE(ok) << "operation failed with no allocation failing (step " << n << ")";
            return total_allocations() - before;
        }
        if (::testing::Test::HasFailure()) return -1;
    }
    ADD_FAILURE() << "sweep did not finish in " << max_steps << " steps";
    return -1;
}

}  // namespace testalloc
