// The debug allocator: a pair of allocation hooks that guard every block
// with marker bytes, keep the live blocks tagged with the source position
// that asked for them, refuse and record releases of damaged blocks, and
// write a leak and corruption report on request.
//
// All of its own memory comes from the runtime heap, never through the
// hooks, and it is never torn down: a report can be written at any time,
// during shutdown included.
#include "core/debug_alloc.h"

#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "core/internal.h"
#include "core/platform.h"

namespace orbek {
namespace debugalloc {
namespace {

// The one lock that serialises every allocation, release and report (a
// lock of the concurrency family: its storage is on the runtime heap, so
// taking it never re-enters the hooks).
using Lock = orbek_lock;
Lock *lock_new() noexcept { return orbek_lock_new(); }
void lock_free(Lock *l) noexcept { orbek_lock_free(l); }
bool lock_take(Lock *l) noexcept { return orbek_lock_lock(l) == 1; }
void lock_give(Lock *l) noexcept { orbek_lock_unlock(l); }

const uint8_t kHeadGuard[4] = {0xDE, 0xAD, 0xDE, 0xAD};
const uint8_t kTailGuard[4] = {0xDD, 0xDD, 0xDD, 0xDD};

struct Stats {
    Record *live;  // newest first
    int64_t alloc_count;
    int64_t free_count;
    int64_t bytes_allocated;
    int64_t bytes_released;
    int64_t peak;
    int64_t outstanding;
};

struct Corruption {
    void *pointer;
    int32_t reason;
    Corruption *next;
    Corruption *prev;
};

// An interned file name: the text follows the entry in the same block.
struct Name {
    uint32_t bucket;
    char *text;
    Name *next;
};
constexpr uint32_t kBuckets = 257;

// Written by orbek_setdebugalloc on one thread before any other use; read
// and changed afterwards only under g_lock.
Lock *g_lock = nullptr;
Stats *g_stats = nullptr;
Corruption *g_corrupt = nullptr;
int32_t g_free_failures = 0;
int64_t g_watched = -1;
Name *g_names[kBuckets];

void sleep_for(uint32_t ms) { platform::sleep_ms(ms); }

uint32_t name_hash(const char *name, size_t *len) noexcept {
    uint32_t h = 0;
    const char *p = name;
    for (; *p; ++p) h = h * 31 + (uint32_t)(int32_t)(signed char)*p;
    *len = (size_t)(p - name);
    return h;
}

void print_pointer(FILE *f, const void *p) {
    // Fixed width, upper case and no prefix, as the Windows runtime prints
    // "%p", so reports read the same on every platform.
    fprintf(f, "%0*" PRIXPTR, (int)(2 * sizeof(void *)), (uintptr_t)p);
}

void release_locked(uint8_t *p) noexcept {
    int32_t reason = validate(p);
    if (reason == 0) {
        Record *r;
        memcpy(&r, p - kHeadSize + kRecordOffset, sizeof r);
        if (r->prev)
            r->prev->next = r->next;
        else
            g_stats->live = r->next;
        if (r->next) r->next->prev = r->prev;
        g_stats->free_count += 1;
        g_stats->bytes_released += r->size;
        g_stats->outstanding -= r->size;
        memset(r->block, 0, (size_t)r->size + kOverhead);
        free(r->block);
        free(r);
        return;
    }
    // A damaged block stays where it is: giving it back could corrupt the
    // heap.  It is remembered for the report.
    Corruption *c = static_cast<Corruption *>(malloc(sizeof(Corruption)));
    if (c) {
        c->pointer = p;
        c->reason = reason;
        c->prev = nullptr;
        c->next = g_corrupt;
        if (g_corrupt) g_corrupt->prev = c;
        g_corrupt = c;
    }
    g_free_failures += 1;
}

void *debug_alloc(int32_t size, const char *file, int32_t line) {
    if (size < 0 || size > kMaxSize || !file) return nullptr;
    uint8_t *block = static_cast<uint8_t *>(malloc((size_t)size + kOverhead));
    if (!block) return nullptr;
    if (!lock_take(g_lock)) {
        free(block);
        return nullptr;
    }
    memcpy(block, kHeadGuard, 4);
    memcpy(block + kHeadSize + size, kTailGuard, 4);
    const char *name = intern(file);
    Record *r = name ? static_cast<Record *>(malloc(sizeof(Record))) : nullptr;
    if (!r) {
        free(block);
        lock_give(g_lock);
        return nullptr;
    }
    // A failed allocation takes no serial number.
    *r = Record{block, size, name, line, g_stats->alloc_count++, nullptr, nullptr};
    memcpy(block + kRecordOffset, &r, sizeof r);
    if (g_watched > 0 && g_watched == r->serial) stall(kStallMs);
    g_stats->bytes_allocated += size;
    g_stats->outstanding += size;
    if (g_stats->outstanding > g_stats->peak) g_stats->peak = g_stats->outstanding;
    r->next = g_stats->live;
    if (r->next) r->next->prev = r;
    g_stats->live = r;
    lock_give(g_lock);
    return block + kHeadSize;
}

void debug_free(void *ptr) {
    if (!ptr || !lock_take(g_lock)) return;
    release_locked(static_cast<uint8_t *>(ptr));
    lock_give(g_lock);
}

void write_report(FILE *f) {
    const Stats &s = *g_stats;
    fprintf(f, "Memory alloc count: %" PRId64 ",amount: %" PRId64 " bytes,peak value: %" PRId64 " bytes\n",
            s.alloc_count, s.bytes_allocated, s.peak);
    fprintf(f, "Memory free count: %" PRId64 ",amount: %" PRId64 " bytes\n", s.free_count, s.bytes_released);
    if (g_free_failures > 0) fprintf(f, "Memory free failure:%d\n\n", (int)g_free_failures);
    if (s.live) {
        fprintf(f, "Memory leap: %" PRId64 " bytes\n", s.outstanding);
        // Two characters and a blank for each of up to 1024 dumped bytes.
        static const char kHex[] = "0123456789ABCDEF";
        char dump[3 * 1024 + 1];
        for (const Record *r = s.live; r; r = r->next) {
            const uint8_t *p = r->block + kHeadSize;
            int32_t reason = validate(p);
            fputc('\t', f);
            print_pointer(f, p);
            if (reason == 0) {
                fprintf(f, "(%" PRId64 "):%s(%d)\t%ldbytes\n\t\t", r->serial, r->file, (int)r->line, (long)r->size);
                int32_t n = r->size < 1024 ? r->size : 1024;
                for (int32_t i = 0; i < n; ++i) {
                    dump[3 * i] = kHex[p[i] >> 4];
                    dump[3 * i + 1] = kHex[p[i] & 15];
                    dump[3 * i + 2] = ' ';
                }
                dump[3 * n] = '\n';
                fwrite(dump, 1, (size_t)(3 * n + 1), f);
            } else {
                fprintf(f, "(%" PRId64 "):%s(%d)----corrupt(%s)\n", r->serial, r->file ? r->file : "NULL",
                        (int)r->line, reason_text(reason));
            }
        }
        fputc('\n', f);
    }
    if (g_corrupt) {
        fputs("Memory corrupt:\n", f);
        for (const Corruption *c = g_corrupt; c; c = c->next) {
            fputc('\t', f);
            print_pointer(f, c->pointer);
            fprintf(f, "(%s)\n", reason_text(c->reason));
        }
        fputc('\n', f);
    }
}

}  // namespace

void (*stall)(uint32_t ms) = sleep_for;

const char *reason_text(int32_t reason) noexcept {
    static const char *const kTexts[] = {"bad head",  "node field is null", "node mismatch", "bad size",
                                         "filename is null", "bad block number", "bad tail"};
    return reason >= 1 && reason <= 7 ? kTexts[reason - 1] : "unknown error";
}

int32_t validate(const uint8_t *p) noexcept {
    const uint8_t *block = p - kHeadSize;
    if (memcmp(block, kHeadGuard, 4) != 0) return kBadHead;
    const Record *r;
    memcpy(&r, block + kRecordOffset, sizeof r);
    if (!r) return kNullRecord;
    if (r->block != block) return kRecordMismatch;
    if (r->size < 0) return kBadSize;
    if (!r->file) return kNullFile;
    if (r->serial < 0) return kBadSerial;
    if (memcmp(p + r->size, kTailGuard, 4) != 0) return kBadTail;
    return 0;
}

const char *intern(const char *name) noexcept {
    size_t len;
    uint32_t bucket = name_hash(name, &len) % kBuckets;
    for (const Name *n = g_names[bucket]; n; n = n->next)
        if (memcmp(n->text, name, len) == 0 && n->text[len] == 0) return n->text;
    Name *n = static_cast<Name *>(malloc(sizeof(Name) + len + 1));
    if (!n) return nullptr;
    n->bucket = bucket;
    n->text = reinterpret_cast<char *>(n + 1);
    memcpy(n->text, name, len + 1);
    n->next = g_names[bucket];
    g_names[bucket] = n;
    return n->text;
}

int64_t parse_watched(const char *text) noexcept {
    if (!text) return -1;
    // The reading of a C runtime's decimal conversion: blanks, a sign, then
    // digits up to the first non-digit; saturating instead of overflowing.
    const char *p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    // v stops at 2^63, which is past every value but INT64_MIN's magnitude.
    const uint64_t kCap = (uint64_t)1 << 63;
    uint64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v >= kCap / 10 + 1 ? kCap : v * 10 + (uint64_t)(*p - '0');
        if (v > kCap) v = kCap;
    }
    if (negative) return v > (uint64_t)INT64_MAX ? INT64_MIN : -(int64_t)v;
    return v > (uint64_t)INT64_MAX ? INT64_MAX : (int64_t)v;
}

}  // namespace debugalloc
}  // namespace orbek

using namespace orbek::debugalloc;

ORBEK_EXPORT int32_t orbek_setdebugalloc(void) noexcept {
    if (orbek::alloc_started()) return 0;
    int64_t watched = parse_watched(getenv("ORBEK_DEBUG_MEMORY_NUMBER"));
    Lock *lock = lock_new();
    if (!lock) return 0;
    if (!lock_take(lock)) {
        lock_free(lock);
        return 0;
    }
    Stats *stats = static_cast<Stats *>(calloc(1, sizeof(Stats)));
    if (!stats) {
        lock_give(lock);
        lock_free(lock);
        return 0;
    }
    // A repeated call before the first allocation starts afresh.  The
    // earlier lock and statistics (kept until now, so that a failed call
    // leaves the earlier switch in force) have served no allocation.
    lock_free(g_lock);
    free(g_stats);
    while (g_corrupt) {
        Corruption *next = g_corrupt->next;
        free(g_corrupt);
        g_corrupt = next;
    }
    g_lock = lock;
    g_stats = stats;
    g_watched = watched;
    g_free_failures = 0;
    orbek::install_hooks(debug_alloc, debug_free);
    lock_give(lock);
    return 1;
}

ORBEK_EXPORT void orbek_printdebugalloc(const char *path) noexcept {
    if (!path) return;
    FILE *f = fopen(path, "w");
    if (!f) return;
    if (!lock_take(g_lock)) {
        fclose(f);
        return;
    }
    write_report(f);
    fclose(f);
    lock_give(g_lock);
}
