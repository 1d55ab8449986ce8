// ORBEK_DEBUG_ALLOC=FILE: the tool runs under the library's debug allocator
// and writes its report to FILE when it exits, so that a leak or a damaged
// block in any command shows up there.
#include <stdlib.h>

#include "cli/commands.h"
#include "orbek_util.h"

namespace {
const char *g_report = nullptr;
void write_report() { orbek_printdebugalloc(g_report); }
}  // namespace

bool cli_debug_alloc_start() {
    const char *path = getenv("ORBEK_DEBUG_ALLOC");
    if (!path || !*path) return true;
    // Nothing has allocated yet: this is the first thing main does.
    if (orbek_setdebugalloc() != 1) {
        cli_error("ORBEK_DEBUG_ALLOC: the debug allocator could not be switched on");
        return false;
    }
    g_report = path;
    atexit(write_report);
    return true;
}
