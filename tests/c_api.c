/* Compiled as C99: the public header must stay valid C.  Also checks the
 * hook rules in a process where nothing has allocated yet, which only a
 * program with its own main can see. */
#include <stdio.h>
#include <string.h>

#include "orbek_util.h"

static int failures = 0;
#define CHECK(cond)                                                    \
    do {                                                               \
        if (!(cond)) {                                                 \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            failures++;                                                \
        }                                                              \
    } while (0)

static int hook_allocs = 0, hook_frees = 0;
static const char *hook_file = NULL;
static int32_t hook_line = -1;
static unsigned char arena[256];

static void *my_alloc(int32_t size, const char *file, int32_t line) {
    hook_allocs++;
    hook_file = file;
    hook_line = line;
    return size <= (int32_t)sizeof arena ? arena : NULL;
}
static void my_free(void *p) {
    (void)p;
    hook_frees++;
}
static void *other_alloc(int32_t size, const char *file, int32_t line) {
    (void)size; (void)file; (void)line;
    return NULL;
}
static void other_free(void *p) { (void)p; }

int main(void) {
    orbek_malloc_func default_alloc = orbek_getmallocfunc();
    orbek_free_func default_free = orbek_getfreefunc();
    CHECK(default_alloc != NULL && default_free != NULL);

    /* One null argument changes neither slot. */
    CHECK(orbek_setallocfunc(my_alloc, NULL) == 0);
    CHECK(orbek_setallocfunc(NULL, my_free) == 0);
    CHECK(orbek_getmallocfunc() == default_alloc && orbek_getfreefunc() == default_free);

    /* A negative size is refused before anything is frozen. */
    CHECK(orbek_malloc(-1, "t", 1) == NULL);
    CHECK(orbek_setallocfunc(other_alloc, other_free) == 1);
    CHECK(orbek_setallocfunc(my_alloc, my_free) == 1); /* the later call wins */
    CHECK(orbek_getmallocfunc() == my_alloc && orbek_getfreefunc() == my_free);

    /* Size 0 still reaches the hook, with the caller's position. */
    CHECK(orbek_malloc(0, "caller.c", 77) == arena);
    CHECK(hook_allocs == 1 && hook_line == 77 && strcmp(hook_file, "caller.c") == 0);

    /* Frozen from now on. */
    CHECK(orbek_setallocfunc(other_alloc, other_free) == 0);
    CHECK(orbek_getmallocfunc() == my_alloc && orbek_getfreefunc() == my_free);

    orbek_free(NULL);
    CHECK(hook_frees == 0);
    orbek_free(arena);
    CHECK(hook_frees == 1);

    CHECK(strcmp(orbek_util_version(), "ORBEK Utility Library 2.8,Build on 2021") == 0);

    if (failures == 0) puts("c api: all checks passed");
    return failures != 0;
}
