// Loader notifications on POSIX systems: the shared object's constructor and
// destructor run the library's start-up and tear-down.  A failing start-up
// cannot refuse the load here, so it ends the process with a message rather
// than letting the library run half-initialised.
#include <stdio.h>
#include <stdlib.h>

#include "core/startup.h"

const char orbek::kLoaderHook = 1;

__attribute__((constructor)) static void orbek_on_load() {
    if (!orbek::process_attach()) {
        fputs("orbek_util: library start-up failed\n", stderr);
        abort();
    }
}

__attribute__((destructor)) static void orbek_on_unload() { orbek::process_detach(); }
