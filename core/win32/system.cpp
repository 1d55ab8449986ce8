// The performance counter, sleeping and library loading on Windows.
#include <windows.h>

#include "core/platform.h"

namespace orbek {
namespace platform {

const char kDsoRetrySuffix[] = ".DLL";

bool counter_frequency(double *ticks_per_second) noexcept {
    LARGE_INTEGER f;
    if (!QueryPerformanceFrequency(&f) || f.QuadPart <= 0) return false;
    *ticks_per_second = (double)f.QuadPart;
    return true;
}

bool counter_read(int64_t *ticks) noexcept {
    LARGE_INTEGER c;
    if (!QueryPerformanceCounter(&c)) return false;
    *ticks = c.QuadPart;
    return true;
}

void sleep_ms(uint32_t ms) noexcept { Sleep(ms); }

void *dso_open(const char *name) noexcept { return (void *)LoadLibraryA(name); }

int32_t dso_close(void *module) noexcept { return module && FreeLibrary((HMODULE)module) ? 1 : 0; }

void *dso_symbol(void *module, const char *name) noexcept {
    return (void *)GetProcAddress((HMODULE)module, name);
}

}  // namespace platform
}  // namespace orbek
