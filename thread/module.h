// The concurrency family's entries for library start-up and tear-down.
// Internal: not installed.
#ifndef ORBEK_THREAD_MODULE_H
#define ORBEK_THREAD_MODULE_H

namespace orbek {

// Thread module: the process-wide table where joinable threads leave their
// results.  Start-up fails when memory or its lock cannot be had; tear-down
// discards the results nobody collected.
bool thread_module_startup() noexcept;
void thread_module_teardown() noexcept;

// TLS module: the registry of thread-local slots and the values every thread
// stored in them.  Start-up fails when memory or its lock cannot be had.
// Thread detach runs the ending thread's destructors (on systems whose
// loader does not report ending threads, the module arranges for this
// call itself); tear-down runs every remaining destructor and releases the
// registry.
bool tls_module_startup() noexcept;
void tls_module_thread_detach() noexcept;
void tls_module_teardown() noexcept;

// Chooses the condition-variable back end: the system's condition variables
// when it offers them, else the emulation from an event and a lock.  Always
// succeeds (the emulation is always there).
bool condition_select() noexcept;

// For tests: puts the native back end (when the system has it; false
// otherwise) or the emulation into the condition table.  No condition may
// exist while the back end changes.
bool condition_use_native(bool native) noexcept;

}  // namespace orbek

#endif
