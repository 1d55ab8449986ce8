// The per-thread last-error value and the monotonic clock.
//
// Each thread's value lives in a cell of its own on the runtime heap, held
// in a thread-local slot whose destructor gives the cell back when the
// thread ends, when the library unloads, or when the slot goes.
#include <stdlib.h>

#include "core/internal.h"
#include "core/platform.h"
#include "core/startup.h"
#include "thread/platform.h"

namespace {

constexpr uint32_t kNoSlot = (uint32_t)-1;

// Written at attach and detach only, under the loader's serialisation.
uint32_t g_slot = kNoSlot;
// Whether a thread without a cell gets one on first use: where the loader
// reports no new threads (Linux, a static link on Windows) that is the only
// way a thread that was not the loading one ever gets a cell.
bool g_cells_on_first_use = true;
bool g_counter_available = false;
double g_counter_frequency = 0;

void trace(const char *event) noexcept {
    if (orbek::startup_seams && orbek::startup_seams->trace) orbek::startup_seams->trace(event);
}

void cell_destructor(void *cell) {
    trace("cell-");
    free(cell);
}

// The calling thread's cell, made now when first use may make one.
int32_t *cell(bool make) noexcept {
    if (g_slot == kNoSlot) return nullptr;
    int32_t *c = static_cast<int32_t *>(orbek_tls_getvalue(g_slot));
    if (!c && make && g_cells_on_first_use && orbek::lasterror_give_cell()) {
        c = static_cast<int32_t *>(orbek_tls_getvalue(g_slot));
    }
    return c;
}

}  // namespace

namespace orbek {

void lasterror_cells_on_first_use(bool on) noexcept { g_cells_on_first_use = on; }

void counter_forget() noexcept {
    g_counter_available = false;
    g_counter_frequency = 0;
}

bool lasterror_slot_alloc() noexcept {
    uint32_t index;
    if (orbek_tls_alloc(&index, cell_destructor) != 1) return false;
    g_slot = index;
    return true;
}

void lasterror_slot_release() noexcept {
    if (g_slot == kNoSlot) return;
    // Only the system slot goes: the cells still recorded meet their
    // destructor in the TLS module's tear-down.
    sys::tls_delete(g_slot);
    g_slot = kNoSlot;
}

bool lasterror_give_cell() noexcept {
    if (g_slot == kNoSlot) return false;
    int32_t *c = static_cast<int32_t *>(malloc(sizeof(int32_t)));
    if (!c) return false;
    *c = 0;
    if (orbek_tls_setvalue(g_slot, c) != 1) {
        free(c);
        return false;
    }
    trace("cell+");
    return true;
}

bool counter_start() noexcept {
    double f = 0;
    g_counter_available = platform::counter_frequency(&f);
    g_counter_frequency = f;
    return g_counter_available;
}

}  // namespace orbek

ORBEK_EXPORT int32_t orbek_setlasterror(int32_t code) noexcept {
    int32_t *c = cell(true);
    if (!c) return 0;
    *c = code;
    return 1;
}

ORBEK_EXPORT int32_t orbek_getlasterror(void) noexcept {
    const int32_t *c = cell(false);
    return c ? *c : 0;
}

ORBEK_EXPORT int64_t orbek_time_getmonotonicns(void) noexcept {
    int64_t ticks;
    if (!g_counter_available || !orbek::platform::counter_read(&ticks)) {
        orbek_setlasterror((int32_t)ORBEK_ERR_NO_COUNTER);
        return INT64_MIN;
    }
    double ns = (double)ticks / g_counter_frequency * 1e9;
    // A reading beyond the 64-bit range (a counter running for centuries)
    // stays at the largest value rather than wrapping.
    return ns >= 9223372036854775807.0 ? INT64_MAX : (int64_t)ns;
}
