// No registry here: the system names its zone with a tz name, taken from the
// TZ environment variable, else /etc/timezone, else the target of the
// /etc/localtime link below a zoneinfo/ folder.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "time/registry.h"

namespace orbek {
namespace reg {

const Ops *system_ops() noexcept { return nullptr; }

bool system_tz_names(bool (*accept)(const char *name, void *ctx), void *ctx) noexcept {
    const char *tz = getenv("TZ");
    if (tz && *tz && accept(tz, ctx)) return true;

    char buf[PATH_MAX];
    if (FILE *f = fopen("/etc/timezone", "r")) {
        const bool got = fgets(buf, sizeof buf, f) != nullptr;
        fclose(f);
        if (got) {
            size_t n = strcspn(buf, " \t\r\n");
            buf[n] = '\0';
            if (n > 0 && accept(buf, ctx)) return true;
        }
    }

    const ssize_t n = readlink("/etc/localtime", buf, sizeof buf - 1);
    if (n > 0) {
        buf[n] = '\0';
        const char *name = nullptr;
        for (const char *p = strstr(buf, "zoneinfo/"); p; p = strstr(p + 1, "zoneinfo/")) name = p + 9;
        if (name) {
            // The variants some systems keep beside the plain zones.
            if (strncmp(name, "posix/", 6) == 0) name += 6;
            else if (strncmp(name, "right/", 6) == 0) name += 6;
            if (accept(name, ctx)) return true;
        }
    }
    return false;
}

}  // namespace reg
}  // namespace orbek
