// The library's start-up and tear-down.
#include "core/startup.h"

#include <stddef.h>

#include "core/util.h"
#include "thread/module.h"

namespace orbek {

StartupSeams *startup_seams = nullptr;

namespace {

struct Step {
    const char *name;  // for the test seams' record
    bool (*attach)();
    // Undoes the step when a later step fails the attach.
    void (*undo)();
    // Whether a failure fails the load (without a performance counter the
    // library still loads; the clock then reports its absence).
    bool required;
};

void no_counter() { counter_forget(); }

// The attach order.  A failure undoes the steps before it, latest first:
// a failing version query or TLS start-up leaves only the thread module to
// tear down; a failing slot adds the TLS tear-down; a loading thread whose
// cell cannot be made or stored also gives the slot back, so that no system
// slot is lost.
const Step kSteps[] = {
    {"threads", thread_module_startup, thread_module_teardown, true},
    {"recursion", settings_read_recursive_level, nullptr, true},
    {"version", settings_read_version, nullptr, true},
    {"gmp", settings_register_gmp, nullptr, true},
    {"tls", tls_module_startup, tls_module_teardown, true},
    {"slot", lasterror_slot_alloc, lasterror_slot_release, true},
    {"cell", lasterror_give_cell, nullptr, true},
    {"condition", condition_select, nullptr, true},
    {"counter", counter_start, nullptr, false},
};
constexpr size_t kStepCount = sizeof kSteps / sizeof *kSteps;

bool g_attached = false;

void trace(char mark, const char *name) noexcept {
    if (!startup_seams || !startup_seams->trace) return;
    char event[32];
    size_t n = 0;
    event[n++] = mark;
    while (*name && n < sizeof event - 1) event[n++] = *name++;
    event[n] = 0;
    startup_seams->trace(event);
}

}  // namespace

bool process_attach() noexcept {
    if (g_attached) return true;
    for (size_t i = 0; i < kStepCount; ++i) {
        const Step &s = kSteps[i];
        bool forced = startup_seams && startup_seams->fail_step == i + 1;
        bool ok = !forced && s.attach();
        trace(ok ? '+' : '!', s.name);
        if (ok) continue;
        if (!s.required) {
            no_counter();
            continue;
        }
        while (i-- > 0) {
            if (!kSteps[i].undo) continue;
            kSteps[i].undo();
            trace('-', kSteps[i].name);
        }
        return false;
    }
    g_attached = true;
    return true;
}

// Thread results go first, then the system slot of the last-error cells;
// the TLS tear-down then runs every destructor still due, the cells' among
// them.
void process_detach() noexcept {
    if (!g_attached) return;
    g_attached = false;
    thread_module_teardown();
    trace('-', "threads");
    lasterror_slot_release();
    trace('-', "slot");
    tls_module_teardown();
    trace('-', "tls");
}

// A thread whose cell cannot be made goes without: its last-error calls
// answer 0.
void thread_attach() noexcept {
    trace('+', "thread");
    lasterror_give_cell();
}

void thread_detach() noexcept {
    trace('-', "thread");
    tls_module_thread_detach();
}

}  // namespace orbek
