// Start-up and tear-down of the library, driven by the platform's loader
// notifications (DllMain on Windows, the shared object's constructor and
// destructor elsewhere).
#ifndef ORBEK_CORE_STARTUP_H
#define ORBEK_CORE_STARTUP_H

#include <stdint.h>

namespace orbek {

// Runs the attach steps in their fixed order; a failing step undoes the
// steps before it and fails the load.
bool process_attach() noexcept;
// Tears down what a successful attach set up (nothing after a failed one).
void process_detach() noexcept;
// A new thread gets its last-error cell (Windows: DLL_THREAD_ATTACH).
void thread_attach() noexcept;
// An ending thread's thread-local values meet their destructors (Windows:
// DLL_THREAD_DETACH; elsewhere the TLS module's exit watch calls it).
void thread_detach() noexcept;

// The last-error slot and cells, and the performance counter (lasterror.cpp).
// Whether a thread gets its cell on first use: set false where the loader
// reports every new thread (the Windows DLL), before process_attach.
void lasterror_cells_on_first_use(bool on) noexcept;
bool lasterror_slot_alloc() noexcept;
void lasterror_slot_release() noexcept;
// Gives the calling thread a fresh cell holding 0; false when it cannot be
// made or stored.
bool lasterror_give_cell() noexcept;
// Reads the counter's frequency: false when there is no counter.
bool counter_start() noexcept;
void counter_forget() noexcept;

// Test seams, null in normal use: a start-up step (1 to 9, in attach order)
// that fails on purpose instead of running, and a recorder of the start-up
// and tear-down events ("+threads" done, "!tls" failed, "-threads" undone or torn down, "+thread" and "-thread"
// for a thread's attach and detach, "cell+" and "cell-" for a last-error
// cell made and released).
struct StartupSeams {
    uint32_t fail_step;
    void (*trace)(const char *event);
};
extern StartupSeams *startup_seams;

// Defined beside the loader hooks (posix/load.cpp, win32/dllmain.cpp).  The
// allocation module refers to it so that a static link of the library keeps
// the hooks, and with them the start-up readings, instead of dropping their
// unreferenced object file.
extern const char kLoaderHook;

}  // namespace orbek

#endif
