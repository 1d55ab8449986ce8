// The memory functions the library gives GMP: the runtime heap, not the
// allocation hooks, and an exception instead of GMP's abort when the heap
// refuses.  The big-integer code catches gmpexception around its GMP calls.
#include <gmp.h>
#include <stdlib.h>

#include "core/util.h"

namespace {

void *gmp_alloc(size_t n) {
    void *p = malloc(n ? n : 1);
    if (!p) throw gmpexception();
    return p;
}

void *gmp_realloc(void *block, size_t, size_t n) {
    void *p = realloc(block, n ? n : 1);
    // On failure the old block stays where it was, still owned by GMP.
    if (!p) throw gmpexception();
    return p;
}

void gmp_free(void *block, size_t) { free(block); }

}  // namespace

namespace orbek {

bool settings_register_gmp() noexcept {
    mp_set_memory_functions(gmp_alloc, gmp_realloc, gmp_free);
    return true;
}

}  // namespace orbek
