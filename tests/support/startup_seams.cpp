// Built into a second copy of the library for the start-up tests: before the
// library's own start-up runs, reads ORBEK_TEST_FAIL_STEP (a start-up step
// to fail) and ORBEK_TEST_TRACE (a file that receives one line per start-up
// and tear-down event).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "core/startup.h"

namespace {

char g_trace_path[1024];
orbek::StartupSeams g_seams;

// Opened for every line, so that the record survives a process that ends
// abruptly.
void trace_line(const char *event) {
    FILE *f = fopen(g_trace_path, "a");
    if (!f) return;
    fprintf(f, "%s\n", event);
    fclose(f);
}

__attribute__((constructor(101))) void install_seams() {
    const char *trace = getenv("ORBEK_TEST_TRACE");
    const char *fail = getenv("ORBEK_TEST_FAIL_STEP");
    if (trace && strlen(trace) < sizeof g_trace_path) {
        strcpy(g_trace_path, trace);
        g_seams.trace = trace_line;
    }
    g_seams.fail_step = fail ? (uint32_t)atoi(fail) : 0;
    orbek::startup_seams = &g_seams;
}

}  // namespace
