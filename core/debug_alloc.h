// The debug allocator's bookkeeping, shown to the library's own tests.
// Internal: not installed.
#ifndef ORBEK_CORE_DEBUG_ALLOC_H
#define ORBEK_CORE_DEBUG_ALLOC_H

#include <stdint.h>

namespace orbek {
namespace debugalloc {

// Every guarded block: head guard, record pointer, caller's bytes, tail guard.
constexpr int32_t kHeadSize = 16;
constexpr int32_t kOverhead = 20;
constexpr int32_t kRecordOffset = 8;
constexpr int32_t kMaxSize = INT32_MAX - kOverhead;
constexpr uint32_t kStallMs = 3600000;

// One per live block, newest first.
struct Record {
    uint8_t *block;  // the start of the guarded block
    int32_t size;
    const char *file;  // the interned name
    int32_t line;
    int64_t serial;
    Record *next;
    Record *prev;
};

// Reason codes of a refused release.
enum Reason : int32_t {
    kBadHead = 1,
    kNullRecord = 2,
    kRecordMismatch = 3,
    kBadSize = 4,
    kNullFile = 5,
    kBadSerial = 6,
    kBadTail = 7,
};

// The report's text for a reason code ("unknown error" for any other).
const char *reason_text(int32_t reason) noexcept;

// 0 when the caller's pointer p heads an intact guarded block, else the
// reason code of the first check that fails.
int32_t validate(const uint8_t *p) noexcept;

// The interned copy of name (null when it cannot be made); equal names give
// the same copy.
const char *intern(const char *name) noexcept;

// The value ORBEK_DEBUG_MEMORY_NUMBER asks for: leading blanks and a sign,
// then digits up to the first non-digit; -1 for null (unset), 0 for no digits.
int64_t parse_watched(const char *text) noexcept;

// Called instead of sleeping when the watched allocation is reached, with
// the allocator's lock held; tests replace it to observe the stall.
extern void (*stall)(uint32_t ms);

}  // namespace debugalloc
}  // namespace orbek

#endif
