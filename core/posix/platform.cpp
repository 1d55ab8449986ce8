// The runtime core's system queries on POSIX systems.
#include <string.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "core/platform.h"

namespace orbek {
namespace platform {

const char kPathSeparator = '/';

namespace {
// Reads the decimal number at *p and moves past it; 0 when there is none.
uint32_t take_number(const char **p) noexcept {
    uint32_t v = 0;
    for (; **p >= '0' && **p <= '9'; ++*p) v = v * 10 + (uint32_t)(**p - '0');
    return v;
}
}  // namespace

bool os_version(orbek_winversion *record) noexcept {
    struct utsname u;
    if (uname(&u) != 0) return false;
    // "major.minor.patch-extra": the patch level stands in for the build.
    const char *p = u.release;
    record->major = take_number(&p);
    if (*p == '.') ++p;
    record->minor = take_number(&p);
    if (*p == '.') ++p;
    record->build = take_number(&p);
    record->platform_id = 2;
    size_t n = strlen(u.release);
    if (n >= sizeof record->service_pack) n = sizeof record->service_pack - 1;
    memcpy(record->service_pack, u.release, n);
    record->service_pack[n] = 0;
    return true;
}

int32_t cpu_count() noexcept {
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > INT32_MAX ? INT32_MAX : (int32_t)n;
}

int32_t exe_path(char *buf, int32_t cap) noexcept {
    if (cap < 1) return -1;
    ssize_t n = readlink("/proc/self/exe", buf, (size_t)cap);
    // A result that fills the buffer may have been cut short.
    if (n < 0 || n >= cap) return -1;
    buf[n] = 0;
    return (int32_t)n;
}

}  // namespace platform
}  // namespace orbek
