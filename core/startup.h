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

}  // namespace orbek

#endif
