// The memory functions the library gives GMP: the runtime heap, not the
// allocation hooks, and an exception instead of GMP's abort when the heap
// refuses.  The big-integer code catches gmpexception around its GMP calls,
// inside a GmpScope that accounts for the blocks GMP holds.
#include "core/gmp_memory.h"

#include <gmp.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>

#include "core/util.h"

namespace {

// The innermost live scope of this thread, if any.
thread_local orbek::GmpScope *t_scope = nullptr;

// Countdown of the test seam; 0 when no failure is asked for.
std::atomic<long> g_fail_countdown{0};
std::atomic<bool> g_fail_hit{false};

// True when this request is the one the seam was told to refuse.
bool injected_failure() {
    long c = g_fail_countdown.load(std::memory_order_relaxed);
    while (c > 0 && !g_fail_countdown.compare_exchange_weak(c, c - 1, std::memory_order_relaxed)) {
    }
    if (c != 1) return false;
    g_fail_hit = true;
    return true;
}

void *gmp_alloc(size_t n) {
    void *p = injected_failure() ? nullptr : malloc(n ? n : 1);
    if (!p) throw gmpexception();
    if (t_scope) t_scope->add(p, n);
    return p;
}

void *gmp_realloc(void *block, size_t, size_t n) {
    void *p = injected_failure() ? nullptr : realloc(block, n ? n : 1);
    // On failure the old block stays where it was, still owned by GMP.
    if (!p) throw gmpexception();
    if (t_scope) t_scope->moved(block, p, n);
    return p;
}

void gmp_free(void *block, size_t) {
    if (t_scope) t_scope->remove(block);
    free(block);
}

}  // namespace

namespace orbek {

bool settings_register_gmp() noexcept {
    mp_set_memory_functions(gmp_alloc, gmp_realloc, gmp_free);
    return true;
}

GmpScope::GmpScope() noexcept : blocks_(inline_), outer_(t_scope) { t_scope = this; }

GmpScope::~GmpScope() {
    t_scope = outer_;
    if (blocks_ != inline_) free(blocks_);
}

GmpScope *GmpScope::suspend() noexcept {
    GmpScope *s = t_scope;
    t_scope = nullptr;
    return s;
}

void GmpScope::resume(GmpScope *scope) noexcept { t_scope = scope; }

void GmpScope::release() noexcept {
    // Through the registered release function, so that whoever wraps GMP's
    // memory sees the blocks go; the entries leave the record first.
    void (*release_fn)(void *, size_t) = nullptr;
    mp_get_memory_functions(nullptr, nullptr, &release_fn);
    while (count_ > 0) {
        const Block b = blocks_[--count_];
        release_fn(b.p, b.size);
    }
}

void GmpScope::add(void *p, size_t size) {
    if (count_ == capacity_) {
        Block *grown = static_cast<Block *>(malloc(2 * capacity_ * sizeof(Block)));
        if (!grown) {
            free(p);
            throw gmpexception();
        }
        memcpy(grown, blocks_, count_ * sizeof(Block));
        if (blocks_ != inline_) free(blocks_);
        blocks_ = grown;
        capacity_ *= 2;
    }
    blocks_[count_++] = Block{p, size};
}

// The newest blocks are the likeliest to change, so the search runs backwards.
void GmpScope::moved(void *old_block, void *p, size_t size) noexcept {
    for (size_t i = count_; i-- > 0;)
        if (blocks_[i].p == old_block) {
            blocks_[i] = Block{p, size};
            return;
        }
}

void GmpScope::remove(void *p) noexcept {
    for (size_t i = count_; i-- > 0;)
        if (blocks_[i].p == p) {
            blocks_[i] = blocks_[--count_];
            return;
        }
}

void gmp_fail_nth(long n) noexcept {
    g_fail_hit = false;
    g_fail_countdown = n;
}

bool gmp_failure_hit() noexcept { return g_fail_hit.load(); }

}  // namespace orbek
