// Loader notifications on Windows.
#include <windows.h>

#include "core/startup.h"

const char orbek::kLoaderHook = 1;

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
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
