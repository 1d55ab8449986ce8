// Loader notifications on Windows.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include "core/startup.h"

const char orbek::kLoaderHook = 1;

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        // The loader reports every thread that starts from now on, and each
        // gets its last-error cell then.
        orbek::lasterror_cells_on_first_use(false);
        return orbek::process_attach() ? TRUE : FALSE;
    case DLL_THREAD_ATTACH:
        orbek::thread_attach();
        break;
    case DLL_THREAD_DETACH:
        orbek::thread_detach();
        break;
    case DLL_PROCESS_DETACH:
        orbek::process_detach();
        break;
    default:
        break;
    }
    return TRUE;
}

namespace {

// Linked statically into an executable, this code never sees DllMain: a
// constructor of the executable runs the start-up instead (and a failing
// start-up ends the process, as a failing DLL load would).  Inside the DLL
// the constructor finds itself in a module other than the executable and
// leaves the work to DllMain.
struct StaticLinkStart {
    bool started = false;
    StaticLinkStart() {
        HMODULE self = nullptr;
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                &orbek::kLoaderHook, &self) ||
            self != GetModuleHandleA(nullptr))
            return;
        if (!orbek::process_attach()) {
            fputs("orbek_util: library start-up failed\n", stderr);
            abort();
        }
        started = true;
    }
    ~StaticLinkStart() {
        if (started) orbek::process_detach();
    }
} g_static_link_start;

}  // namespace
