// Start-up and tear-down of the library, driven by the platform's loader
// notifications (DllMain on Windows, the shared object's constructor and
// destructor elsewhere).
#ifndef ORBEK_CORE_STARTUP_H
#define ORBEK_CORE_STARTUP_H

namespace orbek {

// Runs the attach steps in their fixed order; a failing step undoes the
// steps before it and fails the load.
bool process_attach() noexcept;
void process_detach() noexcept;
void thread_attach() noexcept;
void thread_detach() noexcept;

// Defined beside the loader hooks (posix/load.cpp, win32/dllmain.cpp).  The
// allocation module refers to it so that a static link of the library keeps
// the hooks, and with them the start-up readings, instead of dropping their
// unreferenced object file.
extern const char kLoaderHook;

}  // namespace orbek

#endif
