// orbek sysinfo: the process settings and system readings the library took
// at load.
#include <stdio.h>
#include <string.h>

#include "cli/commands.h"
#include "orbek_util.h"

int cmd_sysinfo(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        puts("usage: orbek sysinfo\n"
             "Prints the library's version, the recursion level (ORBEK_RECURSIVE_LEVEL),\n"
             "the system version record, the processor count and this executable's path.");
        return 0;
    }
    if (argc != 1) {
        fputs("usage: orbek sysinfo\n", stderr);
        return 2;
    }
    orbek_winversion v;
    orbek_getwinversion(&v);
    char *path = orbek_getexepath();
    char *name = orbek_getexefilename();
    printf("version: %s\n", orbek_util_version());
    printf("recursion level: %d\n", (int)orbek_get_recursive_level());
    printf("system version: %u.%u.%u platform %u%s%s\n", (unsigned)v.major, (unsigned)v.minor, (unsigned)v.build,
           (unsigned)v.platform_id, v.service_pack[0] ? " " : "", v.service_pack);
    printf("unicode: %s\n", orbek_winuseunicode() ? "yes" : "no");
    printf("processors: %d\n", (int)orbek_getcpucount());
    printf("executable: %s\n", path ? path : "(unknown)");
    printf("executable name: %s\n", name ? name : "(unknown)");
    orbek_free(path);
    orbek_free(name);
    return 0;
}
