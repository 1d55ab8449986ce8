#include "support/alloc_trace.h"

#include <stdlib.h>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#endif

namespace alloctrace {

#if defined(__GLIBC__)
namespace {

struct State {
    std::mutex lock;
    // Return address -> the exported function it lies in (null: none).
    std::unordered_map<uintptr_t, const char *> names;
    // (name, inside a sweep); names point into the objects' string tables.
    std::set<std::pair<const char *, bool>> seen;
    const char *path;
};

State *g_state;

void flush() {
    std::set<std::string> lines;
    for (const auto &e : g_state->seen) lines.insert(std::string(e.second ? "S " : "A ") + e.first);
    FILE *f = fopen(g_state->path, "a");
    if (!f) return;
    for (const std::string &l : lines) fprintf(f, "%s\n", l.c_str());
    fclose(f);
}

State *state() {
    static State *s = [] {
        const char *path = getenv("ORBEK_ALLOC_TRACE");
        if (!path || !*path) return static_cast<State *>(nullptr);
        g_state = new State;
        g_state->path = path;
        atexit(flush);
        return g_state;
    }();
    return s;
}

// The exported library function (an "orbek_" symbol of the dynamic symbol
// table: the shared library's exports, or a statically linked program's,
// which exports its symbols for this) whose code holds the return address.
const char *export_at(uintptr_t ret) {
    Dl_info info;
    void *extra = nullptr;
    const uintptr_t pc = ret - 1;  // the call itself, even when it ends its function
    if (!dladdr1(reinterpret_cast<void *>(pc), &info, &extra, RTLD_DL_SYMENT) || !info.dli_sname || !extra ||
        strncmp(info.dli_sname, "orbek_", 6) != 0)
        return nullptr;
    const ElfW(Sym) *sym = static_cast<const ElfW(Sym) *>(extra);
    const uintptr_t start = reinterpret_cast<uintptr_t>(info.dli_saddr);
    return pc >= start && pc - start < sym->st_size ? info.dli_sname : nullptr;
}

}  // namespace

void record(bool in_sweep) {
    State *st = state();
    if (!st) return;
    void *frames[64];
    const int n = backtrace(frames, 64);
    std::lock_guard<std::mutex> guard(st->lock);
    for (int i = 1; i < n; ++i) {
        const uintptr_t ret = reinterpret_cast<uintptr_t>(frames[i]);
        auto it = st->names.find(ret);
        if (it == st->names.end()) it = st->names.emplace(ret, export_at(ret)).first;
        if (it->second) st->seen.emplace(it->second, in_sweep);
    }
}
#else
void record(bool) {}
#endif

}  // namespace alloctrace
