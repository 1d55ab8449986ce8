// Loads a copy of the library built with the start-up seams, the way an
// application does (dlopen, LoadLibrary), and works its last-error cells on
// two threads before unloading it.  Usage: startup_child LIBRARY TRACE MODE,
// MODE "run" or "nocounter" (the library has no performance counter).  Adds
// its own "@..." lines to the trace.  Exit code: 0 all well, 1 a check
// failed, 3 the load failed.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

int g_failures = 0;
#define CHECK(cond)                                                            \
    do {                                                                       \
        if (!(cond)) {                                                         \
            fprintf(stderr, "startup_child:%d: check failed: %s\n", __LINE__, #cond); \
            ++g_failures;                                                      \
        }                                                                      \
    } while (0)

const char *g_trace;
void mark(const char *event) {
    FILE *f = fopen(g_trace, "a");
    if (!f) return;
    fprintf(f, "%s\n", event);
    fclose(f);
}

#ifdef _WIN32
void *load(const char *path) { return (void *)LoadLibraryA(path); }
void *symbol(void *lib, const char *name) { return (void *)GetProcAddress((HMODULE)lib, name); }
bool unload(void *lib) { return FreeLibrary((HMODULE)lib) != 0; }
#else
void *load(const char *path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
void *symbol(void *lib, const char *name) { return dlsym(lib, name); }
bool unload(void *lib) { return dlclose(lib) == 0; }
#endif

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) return 2;
    g_trace = argv[2];
    bool counter = strcmp(argv[3], "nocounter") != 0;
    mark("@load");
    void *lib = load(argv[1]);
    if (!lib) return 3;
    auto set = reinterpret_cast<int32_t (*)(int32_t)>(symbol(lib, "orbek_setlasterror"));
    auto get = reinterpret_cast<int32_t (*)()>(symbol(lib, "orbek_getlasterror"));
    auto clock = reinterpret_cast<int64_t (*)()>(symbol(lib, "orbek_time_getmonotonicns"));
    if (!set || !get || !clock) return 1;

    // The loading thread got its cell during the attach.
    CHECK(get() == 0);
    CHECK(set(7) == 1 && get() == 7);
    mark("@thread");
    std::thread([&] {
        CHECK(get() == 0);
        CHECK(set(11) == 1 && get() == 11);
    }).join();
    mark("@joined");
    CHECK(get() == 7);

    int64_t t = clock();
    if (counter) {
        CHECK(t != INT64_MIN && clock() >= t && get() == 7);
    } else {
        CHECK(t == INT64_MIN && get() == 0x10F00);
    }
    CHECK(unload(lib));
    mark("@unloaded");
    return g_failures ? 1 : 0;
}
