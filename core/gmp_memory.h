// The bookkeeping that lets the big-integer code survive GMP running out of
// memory.  Internal: not installed.
#ifndef ORBEK_CORE_GMP_MEMORY_H
#define ORBEK_CORE_GMP_MEMORY_H

#include <stddef.h>

namespace orbek {

// GMP's functions are not written for their memory functions to throw: an
// integer being written may be left claiming a block it never got, and the
// temporaries a function holds are never freed.  While a scope lives (the
// innermost on its thread), the memory functions record every block GMP
// obtains and drop the ones it releases.  An operation that catches the
// exception calls release() to free whatever GMP still holds from the scope,
// and abandons the integers it was writing without clearing them.  Blocks
// that belonged to integers before the scope began are never recorded, and
// GMP leaves those intact (a failed reallocation keeps the old block).
class GmpScope {
public:
    GmpScope() noexcept;
    ~GmpScope();
    GmpScope(const GmpScope &) = delete;
    GmpScope &operator=(const GmpScope &) = delete;

    // Frees every block recorded and still held.
    void release() noexcept;

    // Stops recording on this thread (for a caller's callback, whose own
    // use of GMP is none of the scope's business) until resume.
    static GmpScope *suspend() noexcept;
    static void resume(GmpScope *scope) noexcept;

    // For the memory functions.  add throws gmpexception (having freed p)
    // when the record cannot grow.
    void add(void *p, size_t size);
    void moved(void *old_block, void *p, size_t size) noexcept;
    void remove(void *p) noexcept;

private:
    struct Block {
        void *p;
        size_t size;
    };
    static constexpr size_t kInline = 16;
    Block inline_[kInline];
    Block *blocks_;
    size_t count_ = 0, capacity_ = kInline;
    GmpScope *outer_;
};

// Test seam: the nth GMP allocation or reallocation from now (1 = the next)
// behaves as if the runtime heap had refused it; 0 cancels.  gmp_failure_hit
// tells whether that failure has happened since.
void gmp_fail_nth(long n) noexcept;
bool gmp_failure_hit() noexcept;

}  // namespace orbek

#endif
