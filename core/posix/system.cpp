// The performance counter, sleeping and library loading on POSIX systems.
#include <dlfcn.h>
#include <errno.h>
#include <time.h>

#include "core/platform.h"

namespace orbek {
namespace platform {

const char kDsoRetrySuffix[] = ".so";

// CLOCK_MONOTONIC counts nanoseconds, so its frequency is fixed; asking for
// the time once tells whether the clock exists at all.
bool counter_frequency(double *ticks_per_second) noexcept {
    struct timespec ts;
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return false;
    *ticks_per_second = 1e9;
    return true;
}

bool counter_read(int64_t *ticks) noexcept {
    struct timespec ts;
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return false;
    *ticks = (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
    return true;
}

void sleep_ms(uint32_t ms) noexcept {
    struct timespec left = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// RTLD_LOCAL keeps the module's symbols out of the process's global scope,
// as a Windows module's are; RTLD_NOW makes a missing symbol fail the load
// rather than a later call.
void *dso_open(const char *name) noexcept { return dlopen(name, RTLD_NOW | RTLD_LOCAL); }

int32_t dso_close(void *module) noexcept { return module && dlclose(module) == 0 ? 1 : 0; }

void *dso_symbol(void *module, const char *name) noexcept { return dlsym(module, name); }

}  // namespace platform
}  // namespace orbek
